// Player ids to player indexes over the 8 x 4 slot member table, the direct-control flag lookup
// with its bounds, and which ids belong to this machine.
#include <gtest/gtest.h>

#include <cstring>

#include "testsupport/loopback_hub.h"
#include "net/msg.h"
#include "ui/gui.h"

namespace {
using SlotTable = int32_t[GUI_MAX_SLOTS][GUI_MEMBERS_PER_SLOT];

class MsgPlayersTest : public ::testing::Test {
protected:
    void SetUp() override { std::memcpy(saved_, g_Match.slotPlayerIds, sizeof saved_); }
    void TearDown() override {
        std::memcpy(g_Match.slotPlayerIds, saved_, sizeof saved_);
        for (int32_t& flag : g_MsgPlayerFlags)
            flag = 0;
    }
    static void Fill(const SlotTable& table) { std::memcpy(g_Match.slotPlayerIds, table, sizeof(SlotTable)); }
    SlotTable saved_;
};

constexpr int32_t N = -1;
}  // namespace

TEST_F(MsgPlayersTest, PlayerIdIndexCountsOccupiedEntriesInSlotOrder) {
    const SlotTable full = {{40, 41, 42, 43}, {50, 51, N, N}, {60, N, N, N}, {N, N, N, N},
                            {N, N, N, N},     {N, N, N, N},   {N, N, N, N},  {N, N, N, N}};
    const SlotTable gaps = {{N, 9, N, 8}, {N, N, N, N}, {N, N, 7, N}, {N, N, N, N},
                            {N, N, N, N}, {N, N, N, N}, {N, N, N, N}, {N, N, N, N}};
    const SlotTable empty = {{N, N, N, N}, {N, N, N, N}, {N, N, N, N}, {N, N, N, N},
                             {N, N, N, N}, {N, N, N, N}, {N, N, N, N}, {N, N, N, N}};
    const struct {
        const SlotTable* table;
        int id;
        int index;
    } cases[] = {
        {&full, 40, 0}, {&full, 43, 3}, {&full, 51, 5},
        {&full, 60, 6},   // slot 2's first entry after 4 and 2 ids
        {&full, 99, 6},   // absent: the occupied count minus 1
        {&full, N, 6},    // -1 matches nothing, not even the free entries
        {&gaps, 9, 0}, {&gaps, 8, 1}, {&gaps, 7, 2},
        {&empty, 5, -1},
    };
    for (const auto& c : cases) {
        Fill(*c.table);
        EXPECT_EQ(MSG_PlayerIdIndex(c.id), c.index) << "id " << c.id;
    }
}

TEST_F(MsgPlayersTest, PlayerFlagOnlyForHeldIdsWithinEightPlayers) {
    // Twelve ids: the last four have indexes 8..11, beyond the eight flags.
    const SlotTable table = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {N, N, N, N},
                             {N, N, N, N}, {N, N, N, N}, {N, N, N, N},   {N, N, N, N}};
    Fill(table);
    for (int i = 0; i < MSG_PLAYERS; ++i)
        g_MsgPlayerFlags[i] = 100 + i;
    const struct {
        int id;
        int flag;
    } cases[] = {{0, 100}, {5, 105}, {7, 107}, {8, 0}, {11, 0}, {N, 0}, {42, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(MSG_GetPlayerFlag(c.id), c.flag) << "id " << c.id;
}

TEST_F(MsgPlayersTest, LocalIdsAreThoseOfThisMachinesSlot) {
    const SlotTable table = {{5, 6, N, N}, {7, N, N, N}, {N, N, N, N}, {8, N, N, N},
                             {N, N, N, N}, {N, N, N, N}, {N, N, N, N}, {N, N, N, N}};
    Fill(table);
    {
        LoopbackHub hub(2);  // machine 0 holds slot 0, machine 1 slot 1; slot 3 has no machine
        hub.Use(0);
        EXPECT_EQ(MSG_IsLocalPlayerId(5), 1);
        EXPECT_EQ(MSG_IsLocalPlayerId(6), 1);
        EXPECT_EQ(MSG_IsLocalPlayerId(7), 0);
        EXPECT_EQ(MSG_IsLocalPlayerId(8), 0);
        EXPECT_EQ(MSG_IsLocalPlayerId(N), 0);
        hub.Use(1);
        EXPECT_EQ(MSG_IsLocalPlayerId(5), 0);
        EXPECT_EQ(MSG_IsLocalPlayerId(7), 1);
    }
    // Without a player of its own nothing is local, not even the ids of unowned slots.
    g_Match.localSlot = -1;
    EXPECT_EQ(MSG_IsLocalPlayerId(8), 0);
}
