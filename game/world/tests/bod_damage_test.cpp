// Area damage: the blast's linear fall-off in single player and full amount in a network game, the
// doubling by class, truncation after the doubling, cover behind the landscape, the friendly-fire
// rule with its "none" attacker distinct from a null one, whose AI record the report names, the
// kill and the push that throws the body apart; and the full-strength area damage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/msg.h"
#include "world/act.h"
#include "world/ai.h"
#include "ui/gui.h"
#include "world/bod.h"
#include "world/character.h"
#include "world_fixture.h"

namespace {

enum Attacker { kNone, kNull, kPlayerAttacker };

struct BlastCase {
    const char* name;
    bool network;
    int friendlyFire;
    Attacker attacker;
    uint32_t victimClass;
    Vec3 at;  // where the victim stands; the blast is at (0, 50, 0)
    float health;
    float amount;
    std::vector<std::string> calls;
};

void PrintTo(const BlastCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr float kRadius = 200.0f, kPushRadius = 100.0f;

class BlastDamageTest : public WorldTest, public ::testing::WithParamInterface<BlastCase> {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        // A floor and, along x = 100 beside the blast, a short wall to hide behind.
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0}}, {{100, -50, 100, 50, 0, 300}});
    }
};

// The damage, AI, kill and push calls of the trace.
std::vector<std::string> DamageCalls(size_t mark) {
    std::vector<std::string> calls;
    for (const std::string& entry : WH_TraceSince(mark))
        if (entry.rfind("ACT_", 0) == 0 || entry.rfind("AI_OnDamaged", 0) == 0 || entry.rfind("CMB_", 0) == 0)
            calls.push_back(entry);
    return calls;
}

TEST_P(BlastDamageTest, DealsExactlyTheseCalls) {
    const BlastCase& c = GetParam();
    if (c.network)
        WH_SetNetworkGame(true, 0);
    g_FriendlyFire = c.friendlyFire;
    Bod* attacker = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 50, -3000}, 0.0f, 64.0f);  // far away
    WH_SetPlayer(0, attacker, 0);
    Bod* victim = WH_MakeCharacter(c.victimClass, c.at, 0.0f, c.health);
    if (c.victimClass == BOD_CLASS_PLAYER)
        WH_SetPlayer(1, victim, 1);
    else
        WH_SetNpc(0, victim);
    Bod* attackerBod = c.attacker == kNone ? BOD_NO_ATTACKER : c.attacker == kNull ? nullptr : attacker;
    const Vec3 point{0, 50, 0};
    const size_t mark = WH_TraceMark();
    BOD_BlastDamage(attackerBod, &point, kRadius, kPushRadius, c.amount, BOD_MASK_CHARACTERS);
    EXPECT_EQ(DamageCalls(mark), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlastDamageTest,
    ::testing::Values(
        // Single player: amount x (radius - d) / radius, doubled for non-player characters.
        BlastCase{"FallOff", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 100}, 64, 40, {"ACT_Damage(npc0,40)"}},
        BlastCase{"TruncatedAfterDoubling", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 101}, 64, 40, {"ACT_Damage(npc0,39)"}},
        BlastCase{"HumanUnderNoAttacker", false, 0, kNone, BOD_CLASS_HUMAN, {0, 50, 50}, 64, 40, {"ACT_Damage(npc0,30)"}},
        BlastCase{"HumanUnderNullAttacker", false, 0, kNull, BOD_CLASS_HUMAN, {0, 50, 50}, 64, 40, {}},
        BlastCase{"NpcUnderNullAttacker", false, 0, kNull, BOD_CLASS_NPC, {0, 50, 100}, 64, 40, {"ACT_Damage(npc0,40)"}},
        BlastCase{"PlayerUnderPlayerAttacker", false, 0, kPlayerAttacker, BOD_CLASS_PLAYER, {0, 50, 100}, 64, 40, {}},
        BlastCase{"FriendlyFire", false, 1, kPlayerAttacker, BOD_CLASS_PLAYER, {0, 50, 100}, 64, 40, {"ACT_Damage(player1,20)"}},
        BlastCase{"AtTheRadius", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 200}, 64, 40, {}},
        BlastCase{"BehindTheWall", false, 0, kNone, BOD_CLASS_NPC, {150, 50, 0}, 64, 40, {}},
        BlastCase{"OnTheOpenSide", false, 0, kNone, BOD_CLASS_NPC, {-150, 50, 0}, 64, 40, {"ACT_Damage(npc0,20)"}},
        BlastCase{"AlreadyDead", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 50}, 0, 40, {}},
        // Killed: the death kind 7 and, in single player, a push only inside the push radius.
        BlastCase{"KilledNearIsPushed", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 50}, 10, 40,
                  {"ACT_Damage(npc0,60)", "ACT_DamageCharacter(npc0,128,7)",
                   "CMB_GibCharacterFly(npc0,0,-250.00,291.04,-177.24,500,500,500)"}},
        BlastCase{"KilledFarIsNotPushed", false, 0, kNone, BOD_CLASS_NPC, {0, 50, 150}, 10, 80,
                  {"ACT_Damage(npc0,40)", "ACT_DamageCharacter(npc0,128,7)"}},
        // Network game: the full amount anywhere inside, players doubled too, always a push, and
        // the AI told with the attacker's record or else the victim's own.
        BlastCase{"NetworkFullAmount", true, 0, kNone, BOD_CLASS_NPC, {0, 50, 150}, 64, 10,
                  {"AI_OnDamaged(own,20)", "ACT_Damage(npc0,20)"}},
        BlastCase{"NetworkPlayerDoubled", true, 0, kNone, BOD_CLASS_PLAYER, {0, 50, 150}, 64, 10,
                  {"AI_OnDamaged(own,20)", "ACT_Damage(player1,20)"}},
        BlastCase{"NetworkAttackersRecord", true, 0, kPlayerAttacker, BOD_CLASS_NPC, {0, 50, 150}, 64, 10,
                  {"AI_OnDamaged(other,20)", "ACT_Damage(npc0,20)"}},
        BlastCase{"NetworkNullAttacker", true, 0, kNull, BOD_CLASS_NPC, {0, 50, 150}, 64, 10,
                  {"AI_OnDamaged(own,20)", "ACT_Damage(npc0,20)"}},
        BlastCase{"NetworkKillAlwaysPushed", true, 0, kNone, BOD_CLASS_NPC, {0, 50, 150}, 64, 40,
                  {"AI_OnDamaged(own,80)", "ACT_Damage(npc0,80)", "ACT_DamageCharacter(npc0,128,7)",
                   "CMB_GibCharacterFly(npc0,0,-250.00,240.00,-70.00,500,500,500)"}}),
    [](const ::testing::TestParamInfo<BlastCase>& info) { return std::string(info.param.name); });

TEST_F(WorldTest, BlastSkipsInactiveBodiesThoseWithoutAiAndThoseOutsideTheMask) {
    Bod* inactive = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 10}, 0.0f, 64.0f);
    inactive->active = 0;
    WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 10});                  // no AI record
    Bod* human = WH_MakeCharacter(BOD_CLASS_HUMAN, {0, 0, 10}, 0.0f, 64.0f);
    const Vec3 point{0, 0, 0};
    const size_t mark = WH_TraceMark();
    BOD_BlastDamage(BOD_NO_ATTACKER, &point, 100, 50, 40, BOD_CLASS_NPC);
    EXPECT_TRUE(DamageCalls(mark).empty());
    EXPECT_EQ(WH_Ai(human)->health, 64.0f);
}

TEST_F(WorldTest, PushVelocityDriftsTheSameWayWhateverTheDirection) {
    struct {
        Vec3 bod;
        Vec3 expect;
    } cases[] = {
        {{300, 0, 400}, {-82.874f, 111.417f, -27.166f}},   // L = sqrt(290000) = 538.5165
        {{-300, 0, -400}, {-417.126f, 111.417f, -472.834f}},
        {{0, 0, 0}, {-250.0f, 300.0f, -250.0f}},           // at the blast point: straight up
    };
    const Vec3 point{0, 0, 0};
    for (const auto& c : cases) {
        Vec3 v;
        BOD_PushVelocity(&c.bod, &point, &v);
        EXPECT_NEAR(v.x, c.expect.x, 1e-3f);
        EXPECT_NEAR(v.y, c.expect.y, 1e-3f);
        EXPECT_NEAR(v.z, c.expect.z, 1e-3f);
    }
}

class AreaDamageTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0}}, {});
    }
};

TEST_F(AreaDamageTest, KillsEveryCharacterWithinTwiceTheRadiusAndPushesIt) {
    Bod* near = WH_MakeCharacter(BOD_CLASS_NPC, {0, 50, 150}, 0.0f, 64.0f);
    Bod* far = WH_MakeCharacter(BOD_CLASS_NPC, {0, 50, 250}, 0.0f, 64.0f);
    Bod* dying = WH_MakeCharacter(BOD_CLASS_NPC, {0, 50, 10}, 0.0f, 0.5f);
    WH_SetNpc(0, near);
    WH_SetNpc(1, far);
    WH_SetNpc(2, dying);
    const Vec3 point{0, 50, 0};
    const size_t mark = WH_TraceMark();
    BOD_AreaDamage(&point, 100, 10, -1);
    EXPECT_EQ(DamageCalls(mark), (std::vector<std::string>{"ACT_DamageNoScore(npc0,128,7)", "ACT_Damage(npc0,20)",
                                                           "CMB_GibCharacterFly(npc0,0,-250.00,240.00,-70.00,500,500,500)"}));
    EXPECT_EQ(WH_Ai(near)->health, 0.0f);
    EXPECT_EQ(WH_Ai(far)->health, 64.0f);
}

TEST_F(AreaDamageTest, NetworkReportNamesTheAttackingPlayerAndNeverReadsPastThePlayers) {
    WH_SetNetworkGame(true, 0);
    Bod* attacker = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 50, -3000}, 0.0f, 64.0f);
    WH_SetPlayer(1, attacker, 1);
    Bod* victim = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 50, 50}, 0.0f, 64.0f);
    WH_SetPlayer(2, victim, 2);
    const Vec3 point{0, 50, 0};
    size_t mark = WH_TraceMark();
    BOD_AreaDamage(&point, 100, 10, 1);
    EXPECT_EQ(DamageCalls(mark)[0], "AI_OnDamaged(other,20)");

    // Twelve members in the slot table: id 40 is the twelfth, past the eight player bods.
    for (int s = 0; s < 4; ++s)
        for (int m = 0; m < 3; ++m)
            g_Match.slotPlayerIds[s][m] = s == 3 && m == 2 ? 40 : 10 * s + m + 100;
    ASSERT_EQ(MSG_PlayerIdIndex(40), 11);
    WH_Ai(victim)->health = 64.0f;
    mark = WH_TraceMark();
    BOD_AreaDamage(&point, 100, 10, 40);
    EXPECT_EQ(DamageCalls(mark)[0], "AI_OnDamaged(own,20)");
}

}  // namespace
