// The mute list on its own (no game bound): creation once, names compared without case and cut at
// 16 characters, the first free entry reported and reused, enumeration in entry order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lobbex_exports.h"

namespace {

std::vector<std::string> Listed() {
    std::vector<std::string> out;
    const int n = KrEnumMuteList(
        [](int index, const char* name, uintptr_t context) {
            reinterpret_cast<std::vector<std::string>*>(context)->push_back(std::to_string(index) + ":" + name);
        },
        reinterpret_cast<uintptr_t>(&out));
    EXPECT_EQ(n, (int)out.size());
    return out;
}

TEST(MuteList, NamesAddFindRemoveAndEnumerate) {
    KrDestroyMuteList();
    int free = 99;
    EXPECT_EQ(KrAddNameToMuteList("a"), -1) << "no list";
    EXPECT_EQ(KrRemoveNameFromMuteList("a"), -1) << "no list";
    EXPECT_EQ(KrFindIgnoramusIndex("a", &free), -1);
    EXPECT_EQ(free, -1);
    EXPECT_EQ(KrEnumMuteList(nullptr, 0), 0);
    EXPECT_EQ(KrCreateMuteList(0), 0);
    ASSERT_EQ(KrCreateMuteList(4), 4);
    struct Step {
        const char* call; // "add", "remove" or "find"
        const char* name;
        int result;
        int firstFree; // find only
    } steps[] = {
        {"add", "", -1, 0},                     // an empty name matches the first empty entry
        {"add", "Alpha", 0, 0},
        {"add", "ALPHA", -1, 0},                // differs only in case
        {"add", "seventeen-letters", 1, 0},     // kept as its first 16 characters
        {"find", "seventeen-letterZ", 1, -1},   // compared on 16 characters; no free entry before it
        {"find", "nobody", -1, 2},
        {"add", "beta", 2, 0},
        {"remove", "alpha", 0, 0},
        {"remove", "alpha", 0, 0},              // absent: still 0
        {"find", "beta", 2, 0},                 // entry 0 is free again, before the match
        {"add", "gamma", 0, 0},                 // the first free entry
        {"add", "delta", 3, 0},
        {"add", "epsilon", -1, 0},              // full
        {"find", "epsilon", -1, -1},
    };
    for (const Step& s : steps) {
        const std::string call = s.call;
        if (call == "add") {
            EXPECT_EQ(KrAddNameToMuteList(s.name), s.result) << s.name;
        } else if (call == "remove") {
            EXPECT_EQ(KrRemoveNameFromMuteList(s.name), s.result) << s.name;
        } else {
            free = 99;
            EXPECT_EQ(KrFindIgnoramusIndex(s.name, &free), s.result) << s.name;
            EXPECT_EQ(free, s.firstFree) << s.name;
        }
    }
    EXPECT_EQ(Listed(), (std::vector<std::string>{"0:gamma", "1:seventeen-letter", "2:beta", "3:delta"}));
    EXPECT_EQ(KrGetMuteListSize(), 4) << "the capacity, not the number of names";
    EXPECT_EQ(KrCreateMuteList(20), 4) << "a list exists";
    EXPECT_EQ(KrPurgeMuteList(), 0);
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(KrGetMuteListSize(), 4);
    EXPECT_EQ(KrDestroyMuteList(), 0);
    EXPECT_EQ(KrGetMuteListSize(), 0);
}

}  // namespace
