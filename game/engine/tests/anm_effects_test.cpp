// The bone effects of a character's skinned instance: shock (with its timer turning into
// bleeding), bleeding, the network message a host sends for a shock, and instances the effects
// leave alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "world/mdl_world.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"
#include "testsupport/net_test_seam.h"
#include "ui/gui.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/clk.h"

namespace {

struct Broadcast {
    int from;
    std::vector<uint8_t> bytes;
};
std::vector<Broadcast> g_Sent;
int g_Host = 1;

int CaptureBroadcast(int from, const uint8_t* bytes, int length) {
    g_Sent.push_back({from, std::vector<uint8_t>(bytes, bytes + length)});
    return 1;
}
int NoSend(int, int, const uint8_t*, int) { return 0; }
int NoHandler(int, NetMessageHandler) { return 1; }
int LocalSlot() { return 2; }
int HostSlot() { return 0; }
int IsHost() { return g_Host; }
int PlayerId(int slot) { return slot; }
const char* PlayerName(int) { return "p"; }
const NetTestTransport kCapture = {NoSend, CaptureBroadcast, NoHandler, LocalSlot, HostSlot, IsHost, PlayerId, PlayerName};

class AnmEffects : public MdlTest {
protected:
    CharacterControl control{};
    ModelInstance* body = nullptr;
    int32_t bones = 0;

    void SetUp() override {
        MdlTest::SetUp();
        body = Load("male.qkm", dk::QkmBytes(dk::QkmHumanoid()));
        control.instance = body;
        bones = body->model.skinned->boneCount;
        SetClock(20000, 20000);
        g_Sent.clear();
        g_Host = 1;
    }
    void ExpectEveryBone(ModelBoneEffect effect, intptr_t until) {
        for (int32_t b = 0; b < bones; ++b) {
            EXPECT_EQ(body->boneEffects[b], effect) << b;
            EXPECT_EQ(body->boneEffectUntil[b], until) << b;
        }
    }
};

TEST_F(AnmEffects, ShockAndBleedMarkEveryBone) {
    ANM_ApplyShockEffect(&control, 1.5f);
    EXPECT_EQ(body->effectTimer, 10000);
    ExpectEveryBone(MDL_ShockEffect, 21500);
    // A negative time: a shock without end.
    ANM_ApplyShockEffect(&control, -1.0f);
    ExpectEveryBone(MDL_ShockEffect, 0);
    body->effectTimer = 1234;
    ANM_StartBleedEffect(&control, 2.0f);
    ExpectEveryBone(MDL_BleedEffect, 22000);
    EXPECT_EQ(body->effectTimer, 1234) << "bleeding leaves the shock timer alone";
    // Times from the network are not trusted: no number is no time, huge ones are held.
    ANM_ApplyShockEffect(&control, NAN);
    ExpectEveryBone(MDL_ShockEffect, 20000);
    ANM_StartBleedEffect(&control, 1.0e30f);
    EXPECT_EQ(body->boneEffectUntil[0], 20000 + 1000000000);
}

TEST_F(AnmEffects, TheShockTimerRunsOutIntoBleeding) {
    ANM_SetByIndex(body, 0, 1);
    ANM_ApplyShockEffect(&control, -1.0f);
    SetClock(20000, 29000);
    ANM_Update(body);
    EXPECT_EQ(body->effectTimer, 1000);
    ExpectEveryBone(MDL_ShockEffect, 0);
    SetClock(29000, 30000);
    ANM_Update(body);
    EXPECT_EQ(body->effectTimer, 0);
    ExpectEveryBone(MDL_BleedEffect, 31000);
    // Without the shock on its bones the timer stands.
    body->effectTimer = 500;
    SetClock(30000, 31000);
    ANM_Update(body);
    EXPECT_EQ(body->effectTimer, 500);
    // The timer runs even while play is halted.
    ANM_ApplyShockEffect(&control, -1.0f);
    g_Match.inLevel = 1;
    g_Match.halted = 1;
    SetClock(31000, 33000);
    ANM_Update(body);
    EXPECT_EQ(body->effectTimer, 8000);
}

TEST_F(AnmEffects, RigidAndMissingInstancesAreLeftAlone) {
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    CharacterControl rigid{};
    rigid.instance = cube;
    const uint32_t before = g_MemBytes;
    ANM_ApplyShockEffect(&rigid, 1.0f);
    ANM_StartShockEffect(&rigid, 1.0f);
    ANM_StartBleedEffect(&rigid, 1.0f);
    EXPECT_EQ(cube->effectTimer, 0);
    CharacterControl empty{};
    ANM_StartShockEffect(&empty, 1.0f);
    ANM_StartBleedEffect(&empty, 1.0f);
    ANM_ApplyShockEffect(nullptr, 1.0f);
    ANM_StartShockEffect(nullptr, 1.0f);
    EXPECT_EQ(g_MemBytes, before);
}

TEST_F(AnmEffects, TheHostAnnouncesAShock) {
    Bod players[8] = {}, npcs[30] = {};
    CharacterControl other{};
    for (int i = 0; i < 8; ++i) g_PlayerBods[i] = &players[i];
    for (int i = 0; i < 30; ++i) g_NpcBods[i] = &npcs[i];
    NET_SetTestTransport(&kCapture);
    g_Match.mpGameRunning = 1;
    struct Case {
        const char* what;
        Bod* bod;
        bool host;
        bool network;
        std::vector<uint8_t> bytes;  // empty: nothing sent
    };
    const Case cases[] = {
        {"player 5", &players[5], true, true, {24, 1, 5, 0, 0x00, 0x00, 0xC0, 0x3F}},
        {"npc 0", &npcs[0], true, true, {24, 0, 0, 0, 0x00, 0x00, 0xC0, 0x3F}},
        {"npc 19", &npcs[19], true, true, {24, 0, 19, 0, 0x00, 0x00, 0xC0, 0x3F}},
        {"npc 20 cannot be named", &npcs[20], true, true, {}},
        {"not the host", &players[1], false, true, {}},
        {"not a network game", &players[1], true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_Sent.clear();
        g_Host = c.host;
        g_Match.mpGameRunning = c.network;
        for (Bod& b : players) b.control = &other;
        for (Bod& b : npcs) b.control = &other;
        c.bod->control = &control;
        ANM_StartShockEffect(&control, 1.5f);
        ExpectEveryBone(MDL_ShockEffect, 21500);
        if (c.bytes.empty()) {
            EXPECT_TRUE(g_Sent.empty());
        } else {
            ASSERT_EQ(g_Sent.size(), 1u);
            EXPECT_EQ(g_Sent[0].bytes, c.bytes);
            EXPECT_EQ(g_Sent[0].from, g_Match.localSlot);
        }
    }
    for (Bod*& b : g_PlayerBods) b = nullptr;
    for (Bod*& b : g_NpcBods) b = nullptr;
}

}  // namespace
