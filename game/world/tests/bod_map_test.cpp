// The overview-map blips: which bods show and as what kind (players, humans, zombies, dropped
// objects; from either side of a humans-against-zombies network game), the projection onto the map
// and the rotated radar by the level's map parameters, and the caller's capacity.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/match.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

class BodMapTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        const float params[GAME_MAP_PARAMS] = {0, 0, 2, 4, 64, 32, 6, 8};
        std::copy(params, params + GAME_MAP_PARAMS, g_LevelMapParams);
        MTH_MatrixIdentity(&rotation);
        MTH_MatrixIdentity(&view);
    }
    // The kinds of the blips collected, in order.
    std::vector<float> Kinds(int capacity = 64) {
        float positions[64][3], map[64][3];
        const int count = BOD_CollectMapBlips(&rotation, positions, map, 1.0f, 1.0f, &view, capacity);
        std::vector<float> kinds;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(positions[i][1], map[i][1]);
            kinds.push_back(map[i][1]);
        }
        return kinds;
    }
    Matrix34 rotation, view;
};

TEST_F(BodMapTest, ShownBodsAndTheirKindsInListOrder) {
    WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    Bod* deadPlayer = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 0.0f);
    WH_Character(deadPlayer)->dead = 1;
    WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0}, 0.0f, 64.0f, 0);
    WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0}, 0.0f, 64.0f, 4);  // not shown in AI state 4
    WH_MakeCharacter(BOD_CLASS_HUMAN, {0, 0, 0}, 0.0f, 64.0f);
    Bod* inactive = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0}, 0.0f, 64.0f);
    inactive->active = 0;
    WH_MakeObject(BOD_CLASS_OBJECT, 47, {0, 0, 0});
    WH_MakeObject(BOD_CLASS_PLACED, 47, {0, 0, 0});
    WH_MakeObject(576, 131, {0, 0, 0});  // a torn-off piece
    WH_MakeObject(BOD_CLASS_STATIC, 151, {0, 0, 0});
    EXPECT_EQ(Kinds(), (std::vector<float>{2, 1, 0, 3}));
}

TEST_F(BodMapTest, PlayersOfBothSidesInAHumansAgainstZombiesGame) {
    // Player ids 0 (this machine's slot 0) and 2 (another machine's).
    Bod* own = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    Bod* other = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    WH_SetPlayer(0, own, 0);
    WH_SetPlayer(1, other, 2);
    struct {
        bool host;
        int gameType;
        std::vector<float> kinds;
    } cases[] = {{true, 6, {2, 4}}, {false, 6, {4, 2}}, {true, 5, {2, 2}}, {false, 5, {2, 2}}};
    for (const auto& c : cases) {
        WH_SetNetworkGame(c.host, 0);
        g_Match.settings.gameType = c.gameType;
        EXPECT_EQ(Kinds(), c.kinds) << "host " << c.host << " type " << c.gameType;
    }
}

TEST_F(BodMapTest, ProjectionOntoTheMapAndTheRotatedRadar) {
    WH_MakeObject(BOD_CLASS_OBJECT, 47, {640, 0, 320});
    view.m[9] = 4.0f;
    view.m[11] = 5.0f;
    // A quarter turn about y: (x, 0, z) becomes (z, 0, -x).
    MTH_MatrixRotation(&rotation, float(M_PI / 2), MTH_AXIS_Y);
    float positions[4][3], map[4][3];
    ASSERT_EQ(BOD_CollectMapBlips(&rotation, positions, map, 1.0f, 2.0f, &view, 4), 1);
    // Map: x 640 x 1 / 64 = 10, z 320 x 2 / 32 = 20. Radar: the offset (6, 0, 15) turned to
    // (15, 0, -6), then x by -(6 / 2) and z by 8 / 4.
    EXPECT_FLOAT_EQ(map[0][0], 10.0f);
    EXPECT_FLOAT_EQ(map[0][1], 3.0f);
    EXPECT_FLOAT_EQ(map[0][2], 20.0f);
    EXPECT_NEAR(positions[0][0], -45.0f, 1e-4f);
    EXPECT_FLOAT_EQ(positions[0][1], 3.0f);
    EXPECT_NEAR(positions[0][2], -12.0f, 1e-4f);
}

TEST_F(BodMapTest, StopsAtTheCallersCapacity) {
    for (int i = 0; i < 5; ++i)
        WH_MakeObject(BOD_CLASS_OBJECT, 47, {float(i), 0, 0});
    float positions[3][3], map[3][3];
    float guard[3] = {-7, -7, -7};
    float (*out)[3] = map;
    EXPECT_EQ(BOD_CollectMapBlips(&rotation, positions, out, 1.0f, 1.0f, &view, 2), 2);
    std::copy(guard, guard + 3, map[2]);
    EXPECT_EQ(BOD_CollectMapBlips(&rotation, positions, map, 1.0f, 1.0f, &view, 2), 2);
    EXPECT_EQ(map[2][0], -7.0f) << "nothing written past the capacity";
    EXPECT_EQ(Kinds(0).size(), 0u);
}

TEST_F(BodMapTest, ALevelWithoutMapParametersShowsNothing) {
    WH_MakeObject(BOD_CLASS_OBJECT, 47, {0, 0, 0});
    g_LevelMapParams[4] = 0.0f;
    EXPECT_TRUE(Kinds().empty());
}

}  // namespace
