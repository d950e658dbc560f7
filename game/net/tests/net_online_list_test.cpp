// The online back end's placing of the game server's player list into the slot tables: the list
// and the names come from the network, so every truncation of a list and a seeded mutation loop
// must leave tables that hold together (slot = address - 1, no repeats, one own player at most,
// names of at most 16 characters, a count that matches the slots in use).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/net.h"
#include "net/net_online.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {

// Names as a hostile server could send them: the buffer filled to its end, no terminator.
void FullName(uint32_t address, char* name, int size) {
    std::memset(name, 'a' + int(address % 26), size_t(size));
}

void ShortName(uint32_t address, char* name, int size) {
    std::snprintf(name, size_t(size), "P%u", address);
}

// The tables hold together; the number of slots in use.
int CheckTables(uint32_t own) {
    int used = 0, mine = 0;
    for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) {
        const int32_t address = g_Net.onlineAddr[slot];
        if (address == -1) {
            EXPECT_EQ(g_Net.onlineName[slot], nullptr) << slot;
            EXPECT_EQ(g_Net.onlineIsMe[slot], 0) << slot;
            continue;
        }
        ++used;
        EXPECT_EQ(address, slot + 1);
        EXPECT_NE(g_Net.onlineName[slot], nullptr);
        if (g_Net.onlineName[slot]) {
            EXPECT_LE(std::strlen(g_Net.onlineName[slot]), size_t(NET_MAX_NAME));
        }
        EXPECT_EQ(g_Net.onlineIsMe[slot], uint32_t(address) == own ? 1 : 0);
        mine += g_Net.onlineIsMe[slot];
    }
    EXPECT_LE(mine, 1);
    EXPECT_EQ(g_Net.onlinePlayerCount, used);
    return used;
}

class NetOnlineList : public ::testing::Test {
protected:
    void SetUp() override {
        MEM_ResetTracker();
        for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) {
            g_Net.onlineAddr[slot] = -1;
            g_Net.onlineName[slot] = nullptr;
            g_Net.onlineIsMe[slot] = 0;
        }
    }
    void TearDown() override { NET_OnlinePlacePlayers(nullptr, 0, 0, nullptr); }
};

TEST_F(NetOnlineList, ListsPlaceBySlotAndSkipWhatHasNoSlot) {
    struct Case {
        const char* name;
        std::vector<uint32_t> list;
        uint32_t own;
        std::vector<int> slots;  // in use afterwards
        int local;
    };
    const Case cases[] = {
        {"empty", {0}, 1, {}, -1},
        {"host and one", {2, 1, 2}, 2, {0, 1}, 1},
        {"out of order", {3, 7, 1, 3}, 7, {0, 2, 6}, 6},
        {"addresses 0 and 101 skipped", {4, 0, 101, 5, 100}, 100, {4, 99}, 99},
        {"far addresses skipped", {3, 0xFFFFFFFFu, 0x80000001u, 0x1000}, 1, {}, -1},
        {"repeats placed once", {3, 4, 4, 4}, 4, {3}, 3},
        {"a count beyond the list is cut", {90, 1, 2}, 9, {0, 1}, -1},
        {"a count word alone", {5}, 1, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int placed = NET_OnlinePlacePlayers(c.list.data(), c.list.size(), c.own, ShortName);
        EXPECT_EQ(placed, int(c.slots.size()));
        EXPECT_EQ(CheckTables(c.own), placed);
        for (int slot : c.slots) {
            EXPECT_EQ(g_Net.onlineAddr[slot], slot + 1);
            EXPECT_EQ(std::string(g_Net.onlineName[slot]), "P" + std::to_string(slot + 1));
        }
        int local = -1;
        for (int slot = 0; slot < NET_MAX_SLOTS && local < 0; ++slot)
            if (g_Net.onlineIsMe[slot]) local = slot;
        EXPECT_EQ(local, c.local);
    }
}

TEST_F(NetOnlineList, ANameThatFillsItsBufferKeepsSixteenCharacters) {
    const uint32_t list[] = {2, 1, 2};
    ASSERT_EQ(NET_OnlinePlacePlayers(list, 3, 1, FullName), 2);
    EXPECT_EQ(std::string(g_Net.onlineName[0]), std::string(16, 'b'));
    EXPECT_EQ(std::string(g_Net.onlineName[1]), std::string(16, 'c'));
}

TEST_F(NetOnlineList, EveryTruncationOfAFullList) {
    // A full list of 100 players, given with every shorter word count.
    std::vector<uint32_t> list(1 + NET_MAX_SLOTS);
    list[0] = NET_MAX_SLOTS;
    for (int i = 0; i < NET_MAX_SLOTS; ++i) list[size_t(1 + i)] = uint32_t(NET_MAX_SLOTS - i);
    for (size_t words = 0; words <= list.size(); ++words) {
        SCOPED_TRACE(words);
        const int placed = NET_OnlinePlacePlayers(list.data(), words, 50, FullName);
        EXPECT_EQ(placed, words == 0 ? 0 : int(words) - 1);
        EXPECT_EQ(CheckTables(50), placed);
    }
}

TEST_F(NetOnlineList, MutatedListsLeaveTablesThatHoldTogether) {
    std::mt19937 random(20260611);
    std::vector<uint32_t> list(1 + NET_MAX_SLOTS);
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        for (uint32_t& word : list) {
            switch (random() % 4) {
            case 0: word = random(); break;              // anything
            case 1: word = random() % 110; break;        // near the slots
            case 2: word = 0xFFFFFFFFu - random() % 4; break;
            default: word = 1 + random() % 100; break;   // a real address
            }
        }
        const size_t words = random() % (list.size() + 1);
        const uint32_t own = random() % 102;
        const int placed = NET_OnlinePlacePlayers(list.data(), words, own, random() % 2 ? FullName : ShortName);
        ASSERT_EQ(CheckTables(own), placed);
        ASSERT_LE(placed, NET_MAX_SLOTS);
    }
}

}  // namespace
