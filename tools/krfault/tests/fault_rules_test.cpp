// The fault proxy's rules: what parses and what does not, which units each selection picks, and
// what each action makes of a unit (drop, dup, reorder, delay, corrupt, truncate, split, reset).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_rules.h"
#include "proxy.h"

namespace {

using kf::Action;
using kf::Select;

std::vector<uint8_t> Unit(uint8_t tag, size_t size) {
    std::vector<uint8_t> u(size);
    for (size_t i = 0; i < size; ++i) u[i] = (uint8_t)(tag + i);
    return u;
}

kf::FaultEngine Engine(std::vector<std::string> words) {
    kf::RuleSet set;
    std::string error;
    EXPECT_TRUE(kf::ParseRules(words, &set, &error)) << error;
    return kf::FaultEngine(set);
}

// The first byte of each unit sent on, in order.
std::vector<int> Tags(const kf::Verdict& v) {
    std::vector<int> tags;
    for (const kf::Emit& e : v.emits) tags.push_back(e.bytes.empty() ? -1 : e.bytes[0]);
    return tags;
}

TEST(FaultRules, ParseWordsIntoRules) {
    struct Case {
        const char* word;
        Action action;
        uint32_t argument;
        int directions;
        Select select;
        uint32_t number;
    } cases[] = {
        {"drop", Action::kDrop, 0, 3, Select::kEvery, 0},
        {"drop:c2s#3", Action::kDrop, 0, 1, Select::kNth, 3},
        {"dup:s2c%25", Action::kDup, 0, 2, Select::kPercent, 25},
        {"delay=40:both", Action::kDelay, 40, 3, Select::kEvery, 0},
        {"truncate=100#2", Action::kTruncate, 100, 3, Select::kNth, 2},
        {"reset:c2s>20000", Action::kReset, 0, 1, Select::kAfterBytes, 20000},
        {"corrupt~dead", Action::kCorrupt, 0, 3, Select::kPattern, 0},
        {"split:s2c", Action::kSplit, 0, 2, Select::kEvery, 0},
        {"stall:c2s", Action::kStall, 0, 1, Select::kEvery, 0},
        {"noaccept", Action::kNoAccept, 0, 3, Select::kEvery, 0},
    };
    for (const Case& c : cases) {
        kf::RuleSet set;
        std::string error;
        ASSERT_TRUE(kf::ParseRules({c.word, "seed=7"}, &set, &error)) << c.word << ": " << error;
        ASSERT_EQ(set.rules.size(), 1u) << c.word;
        const kf::Rule& r = set.rules[0];
        EXPECT_EQ(r.action, c.action) << c.word;
        EXPECT_EQ(r.argument, c.argument) << c.word;
        EXPECT_EQ(r.directions, c.directions) << c.word;
        EXPECT_EQ(r.select, c.select) << c.word;
        EXPECT_EQ(r.number, c.number) << c.word;
        EXPECT_EQ(set.seed, 7u);
    }
    kf::RuleSet set;
    std::string error;
    ASSERT_TRUE(kf::ParseRules({"corrupt~DEad01"}, &set, &error));
    EXPECT_EQ(set.rules[0].pattern, (std::vector<uint8_t>{0xDE, 0xAD, 0x01}));
}

TEST(FaultRules, RefuseWordsThatAreNotRules) {
    for (const char* word : {"explode", "delay", "delay=", "delay=x", "truncate=5:up", "drop#0", "drop#", "dup%101",
                             "corrupt~abc", "corrupt~zz", "drop:c2s!", "seed=-1", "drop=3x"}) {
        kf::RuleSet set;
        std::string error;
        EXPECT_FALSE(kf::ParseRules({word}, &set, &error)) << word;
        EXPECT_FALSE(error.empty()) << word;
    }
}

TEST(FaultRules, TheNthUnitOfADirectionIsPickedOnce) {
    kf::FaultEngine e = Engine({"drop:c2s#2"});
    std::vector<size_t> sent;
    for (int i = 1; i <= 4; ++i) {
        sent.push_back(e.Apply(kf::kServerToClient, Unit((uint8_t)i, 4)).emits.size());
        kf::Verdict v = e.Apply(kf::kClientToServer, Unit((uint8_t)i, 4));
        sent.push_back(v.emits.size());
        if (i == 2) {
            ASSERT_EQ(v.log.size(), 1u);
            EXPECT_EQ(v.log[0], "krfault: c2s #2 drop (4 bytes)");
        }
    }
    EXPECT_EQ(sent, (std::vector<size_t>{1, 1, 1, 0, 1, 1, 1, 1}));
}

TEST(FaultRules, PatternsPickTheUnitsThatHoldThem) {
    kf::FaultEngine e = Engine({"dup~0304"});
    EXPECT_EQ(e.Apply(kf::kClientToServer, {1, 2, 3, 4}).emits.size(), 2u);
    EXPECT_EQ(e.Apply(kf::kClientToServer, {3, 5, 4}).emits.size(), 1u);
    EXPECT_EQ(e.Apply(kf::kServerToClient, {9, 3, 4}).emits.size(), 2u);
    EXPECT_EQ(e.Apply(kf::kServerToClient, {}).emits.size(), 1u);
}

TEST(FaultRules, ASeededShareIsTheSameEveryRun) {
    auto run = [](uint32_t seed) {
        kf::FaultEngine e = Engine({"drop%30", "seed=" + std::to_string(seed)});
        std::vector<size_t> kept;
        for (int i = 0; i < 200; ++i) kept.push_back(e.Apply(kf::kClientToServer, Unit(0, 1)).emits.size());
        return kept;
    };
    std::vector<size_t> a = run(11), b = run(11), c = run(12);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    size_t dropped = 0;
    for (size_t k : a) dropped += k == 0;
    EXPECT_GT(dropped, 30u);
    EXPECT_LT(dropped, 90u);
}

TEST(FaultRules, AReorderedUnitFollowsTheNextOne) {
    kf::FaultEngine e = Engine({"reorder:c2s#2"});
    EXPECT_EQ(Tags(e.Apply(kf::kClientToServer, Unit(1, 3))), (std::vector<int>{1}));
    EXPECT_EQ(Tags(e.Apply(kf::kClientToServer, Unit(2, 3))), (std::vector<int>{}));
    EXPECT_EQ(Tags(e.Apply(kf::kServerToClient, Unit(9, 3))), (std::vector<int>{9})) << "other direction";
    EXPECT_EQ(Tags(e.Apply(kf::kClientToServer, Unit(3, 3))), (std::vector<int>{3, 2}));
    EXPECT_EQ(Tags(e.Apply(kf::kClientToServer, Unit(4, 3))), (std::vector<int>{4}));
}

TEST(FaultRules, ActionsChangeTheUnit) {
    struct Case {
        const char* rule;
        size_t size;
        size_t emits;
        size_t length; // of the first emit
        uint32_t delay;
        bool split;
        bool reset;
        int changedBytes;
    } cases[] = {
        {"truncate=100", 512, 1, 100, 0, false, false, 0},
        {"truncate=100", 60, 1, 60, 0, false, false, 0},
        {"corrupt", 512, 1, 512, 0, false, false, 1},
        {"corrupt", 0, 1, 0, 0, false, false, 0},
        {"delay=25", 10, 1, 10, 25, false, false, 0},
        {"split", 10, 1, 10, 0, true, false, 0},
        {"dup", 10, 2, 10, 0, false, false, 0},
        {"drop", 10, 0, 0, 0, false, false, 0},
        {"reset", 10, 0, 0, 0, false, true, 0},
    };
    for (const Case& c : cases) {
        kf::FaultEngine e = Engine({c.rule});
        std::vector<uint8_t> unit = Unit(7, c.size);
        kf::Verdict v = e.Apply(kf::kClientToServer, unit);
        ASSERT_EQ(v.emits.size(), c.emits) << c.rule;
        EXPECT_EQ(v.split, c.split) << c.rule;
        EXPECT_EQ(v.reset, c.reset) << c.rule;
        if (!c.emits) continue;
        const std::vector<uint8_t>& out = v.emits[0].bytes;
        EXPECT_EQ(out.size(), c.length) << c.rule;
        EXPECT_EQ(v.emits[0].delayMs, c.delay) << c.rule;
        int changed = 0;
        for (size_t i = 0; i < out.size(); ++i) changed += out[i] != unit[i];
        EXPECT_EQ(changed, c.changedBytes) << c.rule;
    }
}

TEST(FaultRules, AResetFiresOnceTheByteCountHasPassed) {
    kf::FaultEngine e = Engine({"reset:c2s>1000"});
    int resets = 0, unitAtReset = 0;
    for (int i = 1; i <= 10; ++i) {
        if (e.Apply(kf::kServerToClient, Unit(0, 300)).reset) ADD_FAILURE() << "other direction";
        if (e.Apply(kf::kClientToServer, Unit(0, 300)).reset) {
            ++resets;
            unitAtReset = i;
        }
    }
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(unitAtReset, 4) << "1200 bytes is the first count above 1000";
}

TEST(FaultRules, RulesAndSwitchesOfTheSetUp) {
    kf::FaultEngine e = Engine({"stall:c2s", "noaccept"});
    EXPECT_TRUE(e.Has(Action::kStall, kf::kClientToServer));
    EXPECT_FALSE(e.Has(Action::kStall, kf::kServerToClient));
    EXPECT_TRUE(e.Has(Action::kNoAccept, kf::kServerToClient));
    EXPECT_EQ(e.Apply(kf::kClientToServer, Unit(1, 5)).emits.size(), 1u) << "set-up rules leave units alone";
}

TEST(FaultRules, CommandsFromTheStandardInput) {
    kf::Control c;
    EXPECT_TRUE(kf::ApplyCommand("stall c2s", &c));
    EXPECT_TRUE(c.stalled[0]);
    EXPECT_FALSE(c.stalled[1]);
    EXPECT_TRUE(kf::ApplyCommand("stall both\r", &c));
    EXPECT_TRUE(c.stalled[1]);
    EXPECT_TRUE(kf::ApplyCommand("resume c2s", &c));
    EXPECT_FALSE(c.stalled[0]);
    EXPECT_TRUE(c.stalled[1]);
    EXPECT_TRUE(kf::ApplyCommand("reset", &c));
    EXPECT_TRUE(c.resetAll);
    EXPECT_FALSE(kf::ApplyCommand("stall sideways", &c));
    EXPECT_FALSE(kf::ApplyCommand("jump", &c));
    EXPECT_FALSE(c.quit);
    EXPECT_TRUE(kf::ApplyCommand("quit", &c));
    EXPECT_TRUE(c.quit);
}

}  // namespace
