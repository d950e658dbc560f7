// Bods: the list kept in creation order through creation and removal anywhere, everything a bod
// owns freed with it, and the per-frame update: handler then hook in creation order, bods
// destroyed or created from inside a handler or hook, the player rules (attack command at the
// level's end, the active slot in a network game) and handler indexes outside the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/mdl.h"
#include "common/mem.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

int LiveBlocks() {
    int count = 0;
    for (const MemBlockHeader* h = g_MemHead; h; h = h->older)
        ++count;
    return count;
}

// The list from the head, checking every back link and the tail on the way.
std::vector<Bod*> ListOf(const BodList& list) {
    std::vector<Bod*> bods;
    const Bod* prev = nullptr;
    for (Bod* bod = list.head; bod && bods.size() <= list.count; bod = bod->next) {
        EXPECT_EQ(bod->prev, prev);
        bods.push_back(bod);
        prev = bod;
    }
    EXPECT_EQ(list.tail, prev);
    EXPECT_EQ(bods.size(), list.count);
    return bods;
}

std::vector<std::string> Log(const std::vector<Bod*>& names) {
    std::vector<std::string> out;
    for (const WhCall& call : WH_HandlerLog()) {
        std::string who = "?";
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == call.bod)
                who = "b" + std::to_string(i + 1);
        out.push_back(call.action < 0 ? who + ".hook" : who + "." + std::to_string(call.action));
    }
    return out;
}

class BodUpdateTest : public WorldTest {
protected:
    // Four characters b1..b4 with actions 1..4 and the logging hook.
    void MakeFour() {
        for (int i = 0; i < 4; ++i) {
            Bod* bod = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
            WH_Character(bod)->head.action = i + 1;
            bod->hook = WH_LoggingHook;
            b.push_back(bod);
        }
    }
    std::vector<Bod*> b;
};

TEST_F(BodUpdateTest, ListKeepsCreationOrderThroughRemovalsAnywhere) {
    const int before = LiveBlocks();
    std::vector<Bod*> bods;
    for (uint32_t classMask : {4u, 8u, 64u, 128u, 16u})
        bods.push_back(BOD_Create(&g_WorldBods, classMask, WH_LoggingHook));
    EXPECT_EQ(ListOf(g_WorldBods), bods);
    EXPECT_EQ(bods[2]->classMask, 64u);
    EXPECT_EQ(bods[2]->hook, WH_LoggingHook);
    EXPECT_EQ(bods[2]->active, 0u) << "zero-filled";

    BOD_Destroy(&g_WorldBods, bods[2]);  // middle
    BOD_Destroy(&g_WorldBods, bods[0]);  // head
    BOD_Destroy(&g_WorldBods, bods[4]);  // tail
    EXPECT_EQ(ListOf(g_WorldBods), (std::vector<Bod*>{bods[1], bods[3]}));
    BOD_DestroyWorld();
    EXPECT_EQ(ListOf(g_WorldBods), std::vector<Bod*>{});
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(BodUpdateTest, DestroyFreesControlModelsAndOwnedBlock) {
    WH_AddModel(WH_Skinned("graphics\\models\\male.qkm", {"root", "hold_pos"}));
    WH_AddModel(WH_Rigid("graphics\\models\\weapons\\forcebolt.qmd", 10.0f));
    const int before = LiveBlocks();

    Bod* character = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);  // AI record owned
    WH_GiveModel(character, "graphics\\models\\male.qkm");
    ASSERT_NE(WH_Character(character)->instance, nullptr);
    Bod* object = WH_MakeObject(BOD_CLASS_OBJECT, 135, {0, 0, 0});
    WH_GiveModel(object, "graphics\\models\\weapons\\forcebolt.qmd");
    ASSERT_EQ(MDL_Load("graphics\\models\\weapons\\forcebolt.qmd", &WH_Object(object)->linkedInstance), 0);
    EXPECT_EQ(LiveBlocks(), before + 8) << "2 bods, 2 controls, 1 AI record, 3 instances";

    BOD_Destroy(&g_WorldBods, character);
    BOD_Destroy(&g_WorldBods, object);
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(BodUpdateTest, HandlerThenHookInCreationOrder) {
    MakeFour();
    Bod* hookOnly = BOD_Create(&g_WorldBods, BOD_CLASS_NPC, WH_LoggingHook);  // no control record
    Bod* noTable = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
    WH_Character(noTable)->head.actionTable = nullptr;
    noTable->hook = WH_LoggingHook;
    b.push_back(hookOnly);
    b.push_back(noTable);

    BOD_UpdateAll(&g_WorldBods);
    EXPECT_EQ(Log(b), (std::vector<std::string>{"b1.1", "b1.hook", "b2.2", "b2.hook", "b3.3", "b3.hook", "b4.4",
                                                "b4.hook", "b5.hook", "b6.hook"}));
    EXPECT_EQ(WH_Character(b[0])->head.action, 1) << "the update does not change actions";
}

// What a handler (or hook) of b2 does during the update, and what must follow.
struct DuringUpdate {
    const char* name;
    int when;  // the action of b2's handler (2), or -1 for b2's hook
    void (*act)(std::vector<Bod*>& b);
    std::vector<std::string> log;
    std::vector<int> remaining;  // b1..b4 numbers still listed afterwards
};

void PrintTo(const DuringUpdate& c, std::ostream* os) {
    *os << c.name;
}

class BodDestroyDuringUpdateTest : public BodUpdateTest, public ::testing::WithParamInterface<DuringUpdate> {};

TEST_P(BodDestroyDuringUpdateTest, OthersAreStillUpdatedAndNothingFreedIsTouched) {
    const DuringUpdate& c = GetParam();
    MakeFour();
    const int before = LiveBlocks();
    b.resize(5, nullptr);  // a bod created during the update is b5
    Bod* b2 = b[1];
    WH_SetReaction([&](Bod* bod, int action) {
        if (bod == b2 && action == c.when)
            c.act(b);
    });
    BOD_UpdateAll(&g_WorldBods);
    WH_SetReaction(nullptr);
    EXPECT_EQ(Log(b), c.log);
    std::vector<int> remaining;
    for (Bod* bod : ListOf(g_WorldBods))
        for (int i = 0; i < 5; ++i)
            if (b[i] == bod)
                remaining.push_back(i + 1);
    EXPECT_EQ(remaining, c.remaining);
    EXPECT_EQ(g_WorldBods.cursor, nullptr);
    EXPECT_EQ(g_WorldBods.current, nullptr);
    EXPECT_LE(LiveBlocks(), before + 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BodDestroyDuringUpdateTest,
    ::testing::Values(
        DuringUpdate{"ItselfByFlag", 2, [](std::vector<Bod*>& b) { b[1]->flags |= BOD_FLAG_REMOVE; },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook", "b3.3", "b3.hook", "b4.4", "b4.hook"}, {1, 3, 4}},
        DuringUpdate{"ItselfDirectly", 2, [](std::vector<Bod*>& b) { BOD_Destroy(&g_WorldBods, b[1]); },
                     {"b1.1", "b1.hook", "b2.2", "b3.3", "b3.hook", "b4.4", "b4.hook"}, {1, 3, 4}},
        DuringUpdate{"ItselfFromItsHook", -1,
                     [](std::vector<Bod*>& b) {
                         b[1]->flags |= BOD_FLAG_REMOVE;  // and destroyed at once as well
                         BOD_Destroy(&g_WorldBods, b[1]);
                     },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook", "b3.3", "b3.hook", "b4.4", "b4.hook"}, {1, 3, 4}},
        DuringUpdate{"TheNextBod", 2, [](std::vector<Bod*>& b) { BOD_Destroy(&g_WorldBods, b[2]); },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook", "b4.4", "b4.hook"}, {1, 2, 4}},
        DuringUpdate{"TheNextTwoBods", 2,
                     [](std::vector<Bod*>& b) {
                         BOD_Destroy(&g_WorldBods, b[2]);
                         BOD_Destroy(&g_WorldBods, b[3]);
                     },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook"}, {1, 2}},
        DuringUpdate{"AnEarlierBod", 2, [](std::vector<Bod*>& b) { BOD_Destroy(&g_WorldBods, b[0]); },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook", "b3.3", "b3.hook", "b4.4", "b4.hook"}, {2, 3, 4}},
        DuringUpdate{"TheWholeWorld", 2, [](std::vector<Bod*>&) { BOD_DestroyWorld(); },
                     {"b1.1", "b1.hook", "b2.2"}, {}},
        DuringUpdate{"TheNextAndMakesANewOne", 2,
                     [](std::vector<Bod*>& b) {
                         BOD_Destroy(&g_WorldBods, b[2]);
                         b[2] = nullptr;  // its block may well be reused for the new bod
                         b[4] = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
                         WH_Character(b[4])->head.action = 9;
                     },
                     {"b1.1", "b1.hook", "b2.2", "b2.hook", "b4.4", "b4.hook", "b5.9"}, {1, 2, 4, 5}}),
    [](const ::testing::TestParamInfo<DuringUpdate>& info) { return std::string(info.param.name); });

TEST_F(BodUpdateTest, PlayerAttackCommandIsClearedWhileTheLevelIsFinished) {
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0});
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
    uint32_t seenByHandler = 99;
    WH_SetReaction([&](Bod* bod, int) {
        if (bod == player)
            seenByHandler = WH_Character(player)->attackCommand;
    });
    for (int finished : {0, 1}) {
        TRC_SetResult("AI_LevelFinished", finished);
        WH_Character(player)->attackCommand = 1;
        WH_Character(npc)->attackCommand = 1;
        BOD_UpdateAll(&g_WorldBods);
        EXPECT_EQ(seenByHandler, finished ? 0u : 1u) << "finished " << finished;
        EXPECT_EQ(WH_Character(npc)->attackCommand, 1u) << "only player characters";
    }
}

TEST_F(BodUpdateTest, ActiveSlotIsThePlayersOwnWhileItsHandlerRunsInANetworkGame) {
    Bod* player3 = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0});
    Bod* stray = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0});  // not in the player slots
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
    WH_SetPlayer(3, player3, 3);
    g_NpcBods[0] = npc;
    std::vector<int> seen;
    WH_SetReaction([&](Bod*, int) { seen.push_back(g_ActiveSlot); });
    for (bool network : {false, true}) {
        if (network)
            WH_SetNetworkGame(true, 0);
        g_ActiveSlot = 1;
        seen.clear();
        BOD_UpdateAll(&g_WorldBods);
        // player3, then the player bod outside the slots and the NPC, which keep the slot.
        EXPECT_EQ(seen, network ? (std::vector<int>{3, 1, 1}) : (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(stray->next, npc);
        EXPECT_EQ(g_ActiveSlot, 1) << "restored after the handler";
    }
}

TEST_F(BodUpdateTest, HandlerIndexesOutsideTheTableAreNeverCalled) {
    Bod* character = WH_MakeCharacter(BOD_CLASS_HUMAN, {0, 0, 0});
    Bod* object = WH_MakeObject(BOD_CLASS_PLACED, 5, {0, 0, 0});
    character->hook = WH_LoggingHook;
    for (int action : {-1, 101, 255}) {
        WH_ClearHandlerLog();
        WH_Character(character)->head.action = action;
        WH_Object(object)->head.action = 70;
        BOD_UpdateAll(&g_WorldBods);
        EXPECT_EQ(Log({character, object}), std::vector<std::string>{"b1.hook"}) << "action " << action;
    }

    WH_ClearHandlerLog();
    WH_Character(character)->head.action = 7;
    BOD_RunBehaviour(character, 100);
    BOD_RunBehaviour(object, 69);
    BOD_RunBehaviour(object, 70);
    BOD_RunBehaviour(object, 255);
    BOD_RunBehaviour(object, -2);
    BOD_RunBehaviour(character, -1);
    BOD_RunBehaviour(nullptr, 3);
    EXPECT_EQ(Log({character, object}), (std::vector<std::string>{"b1.100", "b2.69", "b1.hook"}));
    EXPECT_EQ(WH_Character(character)->head.action, 7) << "running a behaviour does not change the action";
}

TEST_F(BodUpdateTest, AnUpdateStartedInsideTheUpdateDoesNothing) {
    MakeFour();
    WH_SetReaction([&](Bod* bod, int action) {
        if (bod == b[0] && action == 1)
            BOD_UpdateAll(&g_WorldBods);
    });
    BOD_UpdateAll(&g_WorldBods);
    EXPECT_EQ(Log(b), (std::vector<std::string>{"b1.1", "b1.hook", "b2.2", "b2.hook", "b3.3", "b3.hook", "b4.4",
                                                "b4.hook"}));
}

}  // namespace
