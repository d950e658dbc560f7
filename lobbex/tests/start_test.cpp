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
constexpr char kStart[] = "cache+ codecs+ gulps+ speech+ ";
constexpr char kStop[] = "speech- gulps- codecs- cache- ";

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

TEST_F(LibraryStart, AJoinedGameIsLeftAtTheLastStopWhateverItsJoinCount) {
    ASSERT_EQ(LobbexInit(), 0);
    GetGamePtr(5)->state = KRGAME_JOINED;
    GetGamePtr(5)->joinCount = 4;
    GetGamePtr(7)->state = KRGAME_PREPARED; // not joined: not left
    KrStubClearNotes();
    LobbexDestroy();
    EXPECT_EQ(KrStubNotes(), "speech- gulps- leave5 codecs- cache- ");
    EXPECT_EQ(KrRqModuleCount(), 0u);
    EXPECT_EQ(GetGamePtr(5)->state, KRGAME_FREE);
    EXPECT_EQ(GetGamePtr(5)->joinCount, 0);
    GetGamePtr(7)->state = KRGAME_FREE;
}

}  // namespace
