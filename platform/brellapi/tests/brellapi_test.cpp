// The client library stand-in: its default answers, scripted start and stop results, the counts
// the plug-in and game tests rely on, and calls from several threads.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "brellapi_control.h"
#include "plat.h"
#include "registry.h"

namespace {

class Brellapi : public ::testing::Test {
protected:
    // Each test is a machine of its own, with an empty registry file.
    void SetUp() override {
        const std::string path = plat::TempDir() + "/brellapi-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path.c_str());
        plat::SetRegistryPath(path);
        BwControlReset();
    }
    void TearDown() override { BwControlReset(); }
    static BwCallCounts Counts() {
        BwCallCounts c{};
        BwControlGetCounts(&c);
        return c;
    }
};

TEST_F(Brellapi, DefaultsStartStopAndHost) {
    EXPECT_EQ(BwStartup(), 0);
    EXPECT_EQ(BwGetPlayerIndex(), 1);
    EXPECT_EQ(BwGetLastError(), 0);
    EXPECT_EQ(BwShutdown(), 0);
    BwCallCounts c = Counts();
    EXPECT_EQ(c.startup, 1);
    EXPECT_EQ(c.shutdown, 1);
    EXPECT_EQ(c.getPlayerIndex, 1);
    EXPECT_EQ(c.getLastError, 1);
}

TEST_F(Brellapi, ScriptedResultsAnswerInOrderThenZero) {
    struct Case {
        const char* name;
        std::vector<int32_t> script;
        int32_t count;
        std::vector<int32_t> expected; // answers of the next calls
    };
    const Case cases[] = {
        {"fails once", {-7}, 1, {-7, 0, 0}},
        {"fails twice", {3, -1}, 2, {3, -1, 0}},
        {"count shorter than list", {5, 6, 7}, 1, {5, 0}},
        {"zero count clears", {5}, 0, {0}},
        {"negative count clears", {5}, -3, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BwControlReset();
        BwControlScriptStartup(c.script.data(), c.count);
        BwControlScriptShutdown(c.script.data(), c.count);
        for (int32_t want : c.expected) {
            EXPECT_EQ(BwStartup(), want);
            EXPECT_EQ(BwShutdown(), want);
        }
    }
    BwControlScriptStartup(nullptr, 4); // a null list clears the script
    EXPECT_EQ(BwStartup(), 0);
}

TEST_F(Brellapi, ShutdownLoopOfTheGameEnds) {
    // The game calls BwShutdown until it answers 0: a script of failures ends, then 0.
    std::vector<int32_t> failures(200, -1);
    BwControlScriptShutdown(failures.data(), int32_t(failures.size()));
    int calls = 1;
    while (BwShutdown() != 0)
        ++calls;
    EXPECT_EQ(calls, kBwMaxScript + 1); // the script is cut to its longest length
    EXPECT_EQ(Counts().shutdown, kBwMaxScript + 1);
}

TEST_F(Brellapi, PlayerIndexAndLastErrorFollowTheControls) {
    BwControlSetPlayerIndex(3);
    BwControlSetLastError(-42);
    EXPECT_EQ(BwGetPlayerIndex(), 3);
    EXPECT_EQ(BwGetLastError(), -42);
    BwControlReset();
    EXPECT_EQ(BwGetPlayerIndex(), 1);
    EXPECT_EQ(BwGetLastError(), 0);
    EXPECT_EQ(Counts().getPlayerIndex, 1);
    BwControlGetCounts(nullptr); // ignored
}

TEST_F(Brellapi, CallsFromSeveralThreadsAreAllCounted) {
    std::vector<int32_t> script(kBwMaxScript, 9);
    BwControlScriptStartup(script.data(), int32_t(script.size()));
    std::vector<std::thread> threads;
    std::vector<int> nines(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &nines] {
            for (int i = 0; i < 100; ++i) {
                if (BwStartup() == 9)
                    ++nines[t];
                BwGetLastError();
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(Counts().startup, 400);
    EXPECT_EQ(Counts().getLastError, 400);
    EXPECT_EQ(nines[0] + nines[1] + nines[2] + nines[3], kBwMaxScript); // each answer given once
}

// The simulated machine's values under HKLM\Software\Platform\Brellapi.
void SetMachineValue(const char* name, uint32_t value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\Brellapi", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD word = value;
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Brellapi, TheMachineRegistryScriptsStartStopAndHost) {
    struct Case {
        const char* name;
        uint32_t startupFailures, shutdownBusy, playerIndex;
        std::vector<int32_t> startups, shutdowns;  // answers of the first calls
    };
    const Case cases[] = {
        {"nothing set", 0, 0, 1, {0, 0}, {0}},
        {"one start fails", 1, 0, 2, {1, 0, 0}, {0}},
        {"two starts fail", 2, 0, 3, {1, 1, 0}, {0}},
        {"stop busy three times", 0, 3, 1, {0}, {1, 1, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetMachineValue("StartupFailures", c.startupFailures);
        SetMachineValue("ShutdownBusy", c.shutdownBusy);
        SetMachineValue("PlayerIndex", c.playerIndex);
        BwControlReset();
        for (int32_t want : c.startups) EXPECT_EQ(BwStartup(), want);
        for (int32_t want : c.shutdowns) EXPECT_EQ(BwShutdown(), want);
        EXPECT_EQ(BwGetPlayerIndex(), int32_t(c.playerIndex));
    }
}

TEST_F(Brellapi, AnEndlessBusyStopNeverAnswersZeroAndControlsWinOverTheMachine) {
    SetMachineValue("ShutdownBusy", 0xFFFFFFFFu);
    SetMachineValue("PlayerIndex", 4);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(BwShutdown(), 1);
    // A script answers before the machine's values; the control's index replaces the machine's.
    const int32_t ok = 0;
    BwControlScriptShutdown(&ok, 1);
    EXPECT_EQ(BwShutdown(), 0);
    EXPECT_EQ(BwShutdown(), 1);
    EXPECT_EQ(BwGetPlayerIndex(), 4);
    BwControlSetPlayerIndex(1);
    EXPECT_EQ(BwGetPlayerIndex(), 1);
}

} // namespace
