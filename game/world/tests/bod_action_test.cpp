// Action changes and their network rules: BOD_SetAction over single player and network games, host
// and client, local and remote characters and the action sets, with the stored action, the echo
// flag and the exact bytes of every message sent; ACT_ApplyRemoteAction's own rules; and action
// numbers outside the tables, which are dropped wherever they come from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "world/game_state.h"
#include "world/ai.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "world/bod.h"
#include "world/character.h"
#include "world_fixture.h"

namespace {
using Bytes = std::vector<uint8_t>;

enum Game { kSingle, kHost, kClient };
// The player character sits in slot 2. This machine owns slot 0; a local character has player id 0
// (a member of slot 0), a remote one player id 2.
constexpr int kSlot = 2;
constexpr int kLocalId = 0, kRemoteId = 2;

struct SetActionCase {
    const char* name;
    Game game;
    uint32_t classMask;   // 4 the player in slot 2, 8 the NPC in pool slot 5, 64 an object
    bool local;
    uint32_t netEcho;
    int aiState;
    int current;
    int requested;
    int expectAction;
    uint32_t expectEcho;
    std::vector<Bytes> messages;
};

void PrintTo(const SetActionCase& c, std::ostream* os) {
    *os << c.name;
}

class SetActionTest : public WorldTest, public ::testing::WithParamInterface<SetActionCase> {};

TEST_P(SetActionTest, StoresTheActionAndSendsExactlyTheseMessages) {
    const SetActionCase& c = GetParam();
    if (c.game != kSingle)
        WH_SetNetworkGame(c.game == kHost, 0);
    Bod* bod = c.classMask == BOD_CLASS_OBJECT ? WH_MakeObject(BOD_CLASS_OBJECT, 27, {0, 0, 0})
                                               : WH_MakeCharacter(c.classMask, {0, 0, 0}, 0.0f, 64.0f, c.aiState);
    if (c.classMask == BOD_CLASS_PLAYER)
        WH_SetPlayer(kSlot, bod, c.local ? kLocalId : kRemoteId);
    if (c.classMask == BOD_CLASS_NPC)
        WH_SetNpc(5, bod);
    auto* head = static_cast<BodControl*>(bod->control);
    head->action = c.current;
    if (CharacterControl* control = WH_Character(bod))
        control->netEcho = c.netEcho;

    BOD_SetAction(bod, c.requested);
    EXPECT_EQ(head->action, c.expectAction);
    if (CharacterControl* control = WH_Character(bod)) {
        EXPECT_EQ(control->netEcho, c.expectEcho);
    }
    std::vector<Bytes> sent;
    for (const WhMessage& m : WH_Messages()) {
        EXPECT_EQ(m.to, -1) << "broadcast";
        EXPECT_EQ(m.from, c.game == kSingle ? -1 : 0) << "from the local player slot";
        sent.push_back(m.bytes);
    }
    EXPECT_EQ(sent, c.messages);
}

const Bytes S(int slot, int action) {
    return {'S', uint8_t(slot), uint8_t(action)};
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SetActionTest,
    ::testing::Values(
        // Single player: every action is simply stored.
        SetActionCase{"SinglePlayer", kSingle, 4, true, 1, 0, 16, 11, 11, 1, {}},
        SetActionCase{"SinglePlayerNpcDeath", kSingle, 8, false, 0, 0, 0, 70, 70, 0, {}},
        SetActionCase{"SinglePlayerObject", kSingle, 64, false, 0, 0, 19, 21, 21, 0, {}},
        // Non-player characters in a network game: the host announces action 70 of the first 20.
        SetActionCase{"HostNpcDeath", kHost, 8, false, 0, 0, 0, 70, 70, 0, {{'u', 5, 70}}},
        SetActionCase{"HostNpcOtherAction", kHost, 8, false, 0, 0, 0, 16, 16, 0, {}},
        SetActionCase{"ClientNpcDeath", kClient, 8, false, 0, 0, 0, 70, 70, 0, {}},
        // A player character without echo takes any action; the local host announces a throw.
        SetActionCase{"HostLocalThrow", kHost, 4, true, 0, 0, 18, 76, 76, 0, {S(kSlot, 76)}},
        SetActionCase{"HostLocalWalk", kHost, 4, true, 0, 0, 18, 16, 16, 0, {}},
        SetActionCase{"ClientLocalThrow", kClient, 4, true, 0, 0, 18, 76, 76, 0, {}},
        SetActionCase{"HostRemoteThrow", kHost, 4, false, 0, 0, 18, 76, 76, 0, {}},
        // Actions that clear the echo are stored directly.
        SetActionCase{"EchoClearedBySwing", kHost, 4, true, 1, 0, 70, 3, 3, 0, {}},
        SetActionCase{"EchoClearedByThrow", kHost, 4, true, 1, 0, 70, 76, 76, 0, {S(kSlot, 76)}},
        // With the echo set, 11 neither clears it nor is accepted.
        SetActionCase{"EchoRefusesStand", kHost, 4, true, 1, 0, 70, 11, 70, 1, {}},
        SetActionCase{"EchoRefusesWalk", kClient, 4, false, 1, 0, 70, 16, 70, 1, {}},
        // Accepted with the echo set: the local host announces it, then applies it as remote.
        SetActionCase{"HostLocalIdle", kHost, 4, true, 1, 0, 70, 18, 18, 0, {S(kSlot, 18)}},
        SetActionCase{"HostLocalDeath", kHost, 4, true, 1, 0, 18, 70, 70, 1, {S(kSlot, 70)}},
        SetActionCase{"HostLocalHeldNotTaken", kHost, 4, true, 1, 0, 18, 82, 18, 1, {S(kSlot, 82)}},
        SetActionCase{"HostLocalFinishNotTaken", kHost, 4, true, 1, 0, 18, 21, 18, 1, {S(kSlot, 21)}},
        // The host announces only some actions of other machines' characters.
        SetActionCase{"HostRemotePull", kHost, 4, false, 1, 0, 18, 51, 51, 1, {S(kSlot, 51)}},
        SetActionCase{"HostRemoteIdleAfterHeld", kHost, 4, false, 1, 0, 82, 18, 18, 0, {S(kSlot, 18)}},
        SetActionCase{"HostRemoteIdle", kHost, 4, false, 1, 0, 16, 18, 18, 0, {}},
        SetActionCase{"HostRemoteFinishRefused", kHost, 4, false, 1, 0, 16, 21, 16, 1, {}},
        SetActionCase{"ClientRemoteDeath", kClient, 4, false, 1, 0, 16, 70, 70, 1, {}},
        SetActionCase{"ClientLocalUse", kClient, 4, true, 1, 0, 16, 65, 65, 1, {}},
        // Accepted by AI state: 77, 39, 36, 40 in state 5; 0 in state 1.
        SetActionCase{"MeleeInState5", kHost, 4, true, 1, 5, 16, 77, 16, 1, {S(kSlot, 77)}},
        SetActionCase{"MeleeInState0", kHost, 4, true, 1, 0, 16, 77, 16, 1, {}},
        SetActionCase{"KickInState5Remote", kHost, 4, false, 1, 5, 16, 39, 39, 1, {}},
        SetActionCase{"AiInState1", kHost, 4, false, 1, 1, 16, 0, 0, 1, {}},
        SetActionCase{"AiInState0", kHost, 4, false, 1, 0, 16, 0, 16, 1, {}},
        // Numbers outside the tables are dropped.
        SetActionCase{"CharacterActionPastTable", kHost, 4, true, 0, 0, 18, 101, 18, 0, {}},
        SetActionCase{"NegativeAction", kSingle, 8, false, 0, 0, 18, -1, 18, 0, {}},
        SetActionCase{"NpcActionPastTable", kHost, 8, false, 0, 0, 18, 200, 18, 0, {}},
        SetActionCase{"ObjectBehaviourPastTable", kSingle, 64, false, 0, 0, 19, 70, 19, 0, {}},
        SetActionCase{"ObjectLastBehaviour", kSingle, 64, false, 0, 0, 19, 69, 69, 0, {}}),
    [](const ::testing::TestParamInfo<SetActionCase>& info) { return std::string(info.param.name); });

struct RemoteCase {
    const char* name;
    Game game;
    bool local;
    int levelFrames;
    int current;
    uint32_t netEcho;
    int received;
    int expectAction;
    uint32_t expectEcho;
};

void PrintTo(const RemoteCase& c, std::ostream* os) {
    *os << c.name;
}

class RemoteActionTest : public WorldTest, public ::testing::WithParamInterface<RemoteCase> {};

TEST_P(RemoteActionTest, AppliesOnlyWhatTheCharacterMayTake) {
    const RemoteCase& c = GetParam();
    WH_SetNetworkGame(c.game == kHost, 0);
    g_LevelFrameCount = c.levelFrames;
    Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    WH_SetPlayer(kSlot, bod, c.local ? kLocalId : kRemoteId);
    WH_Character(bod)->head.action = c.current;
    WH_Character(bod)->netEcho = c.netEcho;
    ACT_ApplyRemoteAction(bod, c.received);
    EXPECT_EQ(WH_Character(bod)->head.action, c.expectAction);
    EXPECT_EQ(WH_Character(bod)->netEcho, c.expectEcho);
    EXPECT_TRUE(WH_Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RemoteActionTest,
    ::testing::Values(
        // A local character takes only 70, 82, 65 and 18; on the host not even 82.
        RemoteCase{"LocalDeath", kClient, true, 50, 16, 0, 70, 70, 1},
        RemoteCase{"LocalHeldOnClient", kClient, true, 50, 16, 1, 82, 82, 0},
        RemoteCase{"LocalHeldOnHost", kHost, true, 50, 16, 1, 82, 16, 1},
        RemoteCase{"LocalUse", kHost, true, 50, 16, 0, 65, 65, 1},
        RemoteCase{"LocalIdle", kClient, true, 50, 16, 1, 18, 18, 0},
        RemoteCase{"LocalWalkRefused", kClient, true, 50, 18, 1, 16, 18, 1},
        // Another machine's character refuses its own attack and firing sequences.
        RemoteCase{"RemoteWalk", kHost, false, 50, 18, 0, 16, 16, 1},
        RemoteCase{"RemoteAttack", kClient, false, 50, 18, 1, 19, 19, 0},
        RemoteCase{"RemoteMeleeRefused", kClient, false, 50, 18, 0, 77, 18, 0},
        RemoteCase{"RemoteFireRefused", kClient, false, 50, 18, 0, 93, 18, 0},
        RemoteCase{"RemoteThrowRefused", kClient, false, 50, 18, 0, 76, 18, 0},
        // During the first frames of a level only the echo flag changes.
        RemoteCase{"SecondFrameWalk", kClient, false, 2, 18, 0, 16, 18, 1},
        RemoteCase{"SecondFrameIdle", kClient, false, 2, 16, 1, 18, 16, 0},
        RemoteCase{"ThirdFrameWalk", kClient, false, 3, 18, 0, 16, 16, 1},
        // A byte from the network that is no action at all.
        RemoteCase{"ByteOutsideTheTable", kClient, false, 50, 18, 0, 200, 18, 0},
        RemoteCase{"Byte101", kHost, false, 50, 18, 0, 101, 18, 0}),
    [](const ::testing::TestParamInfo<RemoteCase>& info) { return std::string(info.param.name); });

TEST_F(WorldTest, RemoteActionsReachOnlyCharacters) {
    WH_SetNetworkGame(false, 0);
    Bod* object = WH_MakeObject(BOD_CLASS_OBJECT, 27, {0, 0, 0});
    WH_Object(object)->head.action = 19;
    ACT_ApplyRemoteAction(object, 21);
    ACT_ApplyRemoteAction(nullptr, 21);
    BOD_SetAction(nullptr, 21);
    EXPECT_EQ(WH_Object(object)->head.action, 19);
}

TEST_F(WorldTest, AnNpcMessageGoesOutForEachMatchingEntryOfTheFirst20) {
    WH_SetNetworkGame(true, 0);
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0}, 0.0f, 64.0f);
    WH_SetNpc(3, npc);
    WH_SetNpc(19, npc);
    WH_SetNpc(20, npc);  // beyond the networked NPCs
    BOD_SetAction(npc, 70);
    ASSERT_EQ(WH_Messages().size(), 2u);
    EXPECT_EQ(WH_FormatMessage(WH_Messages()[0]), "u 03 46");
    EXPECT_EQ(WH_FormatMessage(WH_Messages()[1]), "u 13 46");
}

}  // namespace
