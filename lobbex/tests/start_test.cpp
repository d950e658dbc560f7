// The library's start and stop: only the first start and the last stop do work, in their fixed
// order; the count never goes below 0; a game still joined at the last stop is left.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "../stubs/krstub_log.h"
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
        KrStubClearNotes();
    }
    void TearDown() override {
        while (KrStartCount() > 0) LobbexDestroy();
    }
};

// The stand-ins note their calls; the request layer, which is built, is followed by its own count.
constexpr char kStart[] = "cache+ codecs+ speech+ ";
constexpr char kStop[] = "speech- codecs- cache- ";

// The start and stop steps in the order the API trace saw them: the stand-ins' notes ("stub X")
// and the calls of the real modules that take part (the GULP table, leaving a game).
std::string TracedSteps(const std::string& trace) {
    std::string steps;
    for (const std::string& line : kt::Lines(trace)) {
        size_t at = line.find("stub ");
        if (at != std::string::npos) {
            steps += line.substr(at + 5) + " ";
            continue;
        }
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
        KrStubClearNotes();
        EXPECT_EQ(s.call(), 0) << "step " << i;
        EXPECT_EQ(KrStartCount(), s.count) << "step " << i;
        EXPECT_EQ(KrStubNotes(), s.notes) << "step " << i;
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
    const std::string dir = kt::FreshTraceDir();
    const uint32_t saved = KrGetTrace();
    ASSERT_EQ(LobbexInit(), 0);
    GetGamePtr(5)->state = KRGAME_JOINED;
    GetGamePtr(5)->joinCount = 4;
    GetGamePtr(7)->state = KRGAME_PREPARED; // not joined: not left
    KrStubClearNotes();
    KrSetTrace(saved | 0x01000000u);
    LobbexDestroy();
    KrSetTrace(saved);
    EXPECT_EQ(KrStubNotes(), "speech- codecs- cache- ");
    EXPECT_EQ(TracedSteps(kt::ReadFile(dir + "/krtrace.txt")), "speech- CleanupGULPs KrLeaveGame codecs- cache- ")
        << "game 5 is left once, after the GULP table and before the request layer stops";
    EXPECT_EQ(KrRqModuleCount(), 0u);
    EXPECT_EQ(GetGamePtr(5)->state, KRGAME_FREE);
    EXPECT_EQ(GetGamePtr(5)->joinCount, 0);
    GetGamePtr(7)->state = KRGAME_FREE;
}

}  // namespace
