// The library's start and stop: only the first start and the last stop do work, in their fixed
// order; the count never goes below 0; a game still joined at the last stop is left.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "krcgame.h"
#include "krrq_sess.h"
#include "lobbex_exports.h"
#include "test_machine.h"

namespace {

class LibraryStart : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        while (KrStartCount() > 0) LobbexDestroy();
    }
    void TearDown() override {
        while (KrStartCount() > 0) LobbexDestroy();
    }
};

// Each module of the start and stop sequence writes a level-4 line when it starts and stops; the
// request layer is followed by its own count.
struct Marker {
    const char* line; // how the module's line begins
    const char* step;
};
constexpr Marker kMarkers[] = {
    {"KrCacheLocksInit:", "cache+"},         {"KrSpeechCompressionInit:", "codecs+"},
    {"KrSpeechInit:", "speech+"},            {"KrSpeechDestroy:", "speech-"},
    {"KrSpeechCompressionCleanup:", "codecs-"}, {"KrCacheLocksDelete:", "cache-"},
};
constexpr char kStart[] = "cache+ codecs+ speech+ ";
constexpr char kStop[] = "speech- codecs- cache- ";

// The start and stop steps in the order the trace saw them: the modules' lines and, when API calls
// are traced, the calls of the modules that take part (the GULP table, leaving a game).
std::string TracedSteps(const std::string& trace) {
    std::string steps;
    for (const std::string& line : kt::Lines(trace)) {
        for (const Marker& m : kMarkers)
            if (line.find(m.line) != std::string::npos) steps += std::string(m.step) + " ";
        for (const char* call : {"InitGULPs", "CleanupGULPs", "KrLeaveGame"}) {
            const std::string text = std::string(call) + " called";
            if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0)
                steps += std::string(call) + " ";
        }
    }
    return steps;
}

TEST_F(LibraryStart, OnlyTheOuterStartAndStopDoWork) {
    struct Step {
        int16_t (*call)();
        int32_t count;
        const char* notes;
    } steps[] = {
        {LobbexDestroy, 0, ""}, // no start: stays 0, nothing stopped
        {LobbexInit, 1, kStart},
        {LobbexInit, 2, ""},
        {LobbexInit, 3, ""},
        {LobbexDestroy, 2, ""},
        {LobbexDestroy, 1, ""},
        {LobbexDestroy, 0, kStop},
        {LobbexDestroy, 0, ""},
        {LobbexDestroy, 0, ""},
        {LobbexInit, 1, kStart}, // started again after a full stop
        {LobbexDestroy, 0, kStop},
    };
    int i = 0;
    for (const Step& s : steps) {
        const std::string dir = kt::FreshTraceDir();
        EXPECT_EQ(s.call(), 0) << "step " << i;
        KrTraceClose();
        EXPECT_EQ(KrStartCount(), s.count) << "step " << i;
        EXPECT_EQ(TracedSteps(kt::ReadFile(dir + "/krtrace.txt")), s.notes) << "step " << i;
        EXPECT_EQ(KrRqModuleCount(), s.count > 0 ? 1u : 0u) << "step " << i << ": the request layer starts once";
        ++i;
    }
}

TEST_F(LibraryStart, StartClearsTheGameTableAndKnowsThisMachine) {
    GetGamePtr(4)->state = KRGAME_PREPARED;
    GetGamePtr(4)->joinCount = 3;
    ASSERT_EQ(LobbexInit(), 0);
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g) {
        EXPECT_EQ(GetGamePtr(g)->state, KRGAME_FREE) << g;
        EXPECT_EQ(GetGamePtr(g)->joinCount, 0) << g;
        EXPECT_EQ(GetGamePtr(g)->event.state, KR_EVENT_RESET) << g;
    }
    EXPECT_STREQ(KrGetMyIPText(), "127.0.0.1");
    const char* first = KrGetMyIPText();
    EXPECT_EQ(KrGetMyIPText(), first) << "one static buffer";
    EXPECT_GT(std::strlen(KrGetMyHostName()), 0u);
    LobbexDestroy();
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g) EXPECT_EQ(GetGamePtr(g)->event.state, KR_EVENT_DESTROYED) << g;
}

TEST_F(LibraryStart, TheGulpTableStartsAndStopsInItsPlace) {
    const std::string dir = kt::FreshTraceDir();
    const uint32_t saved = KrGetTrace();
    KrSetTrace(saved | 0x01000000u); // API calls to the trace file
    ASSERT_EQ(LobbexInit(), 0);
    KrSetTrace(saved | 0x01000000u);
    ASSERT_EQ(LobbexDestroy(), 0);
    KrSetTrace(saved);
    EXPECT_EQ(TracedSteps(kt::ReadFile(dir + "/krtrace.txt")),
              "cache+ codecs+ InitGULPs speech+ speech- CleanupGULPs codecs- cache- ");
}

TEST_F(LibraryStart, AJoinedGameIsLeftAtTheLastStopWhateverItsJoinCount) {
    const uint32_t saved = KrGetTrace();
    ASSERT_EQ(LobbexInit(), 0);
    const std::string dir = kt::FreshTraceDir(); // only the stop
    GetGamePtr(5)->state = KRGAME_JOINED;
    GetGamePtr(5)->joinCount = 4;
    GetGamePtr(7)->state = KRGAME_PREPARED; // not joined: not left
    KrSetTrace(saved | 0x01000000u);
    LobbexDestroy();
    KrSetTrace(saved);
    EXPECT_EQ(TracedSteps(kt::ReadFile(dir + "/krtrace.txt")), "speech- CleanupGULPs KrLeaveGame codecs- cache- ")
        << "game 5 is left once, after the GULP table and before the request layer stops";
    EXPECT_EQ(KrRqModuleCount(), 0u);
    EXPECT_EQ(GetGamePtr(5)->state, KRGAME_FREE);
    EXPECT_EQ(GetGamePtr(5)->joinCount, 0);
    GetGamePtr(7)->state = KRGAME_FREE;
}

}  // namespace
