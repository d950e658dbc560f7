// A scenario file is outside input: cut anywhere, or with bytes changed at random, it is either
// refused with the line it stops at or read and run (a few frames), never more. In process, over
// the same reader and runner as the program.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "scenario.h"

namespace {

const std::string kText =
    "handlers game\nframes 9\nfloor -500 -500 500 500 0\nplayer 0 0 0 0\nnpc 3 0 0 90 64 52\n"
    "at 1 select player0 93\nat 1 command player0 use 1\nat 2 action npc3 24\nat 2 remote player0 200\n"
    "levelframes 3\nmatch 5 2\nat 1 finish 1 7\nat 2 frag 0 1 0\n";

void Check(const std::string& text, const std::string& what) {
    std::istringstream in(text);
    Scenario scenario;
    std::string error;
    if (!ReadScenario(in, &scenario, &error)) {
        EXPECT_EQ(error.rfind("line ", 0), 0u) << what << ": " << error;
        return;
    }
    scenario.frames = 3;
    std::ostringstream out;
    RunScenario(scenario, out);
    EXPECT_EQ(out.str().rfind("level ", 0), 0u) << what;
}

TEST(ScenarioHostile, EveryTruncationIsReadOrRefused) {
    for (size_t length = 0; length <= kText.size(); ++length)
        Check(kText.substr(0, length), "cut at " + std::to_string(length));
}

TEST(ScenarioHostile, SeededMutationsAreReadOrRefused) {
    const char alphabet[] = "0123456789 -.e\n#abz";
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 300; ++round) {
        std::string mutant = kText;
        for (int flips = 1 + int(next() % 4); flips > 0; --flips)
            mutant[next() % mutant.size()] = alphabet[next() % (sizeof alphabet - 1)];
        Check(mutant, "mutation " + std::to_string(round) + ":\n" + mutant);
    }
}

TEST(ScenarioHostile, HugeNumbersAreRefused) {
    for (const char* text : {"frames 1e30\n", "object 1e20 0 0 0\n", "step 5e9\n", "player 0 0 0 0 1e12\n",
                             "at 1 select player0 1e15\n", "at 1 command player0 gait -3e10\n",
                             "levelframes 1e12\n", "match 5 1e20\n", "at 1 frag 1e11 0 0\n", "at 1 finish 1 -2e10\n"}) {
        std::istringstream in(text);
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ReadScenario(in, &scenario, &error)) << text;
        EXPECT_EQ(error.rfind("line 1", 0), 0u) << text;
    }
}

}  // namespace
