// The client library stand-in: its default answers, scripted start and stop results, the counts
// the plug-in and game tests rely on, and calls from several threads.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "brellapi_control.h"

namespace {

class Brellapi : public ::testing::Test {
protected:
    void SetUp() override { BwControlReset(); }
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

} // namespace
