// Objects made during play: the master row copied into the control record, the report for a
// type without a row, the projectile model of weapons that fire objects loaded at creation (so a
// weapon made after the level's start can fire), placement at a position, and the message numbers
// that never wrap onto an object still alive.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/mdl.h"
#include "world/bod.h"
#include "world/wo.h"
#include "world/wo_create.h"
#include "world/wo_master.h"
#include "world_fixture.h"

namespace {

class CreateTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 0, 2000, 0}, {0, -2000, 2000, 2000, 0}}, {});
        WH_AddModel(WH_Rigid("graphics\\models\\weapons\\forcebolt.qmd", 10.0f));
        WH_AddModel(WH_Rigid("graphics\\models\\weapons\\laserbolt.qmd", 10.0f));
        WO_ResetNetIds();
    }

    static Bod* Make(uint32_t type, Vec3 at = {0, 0, 0}) {
        Bod* bod = nullptr;
        WorldObjectControl* control = nullptr;
        EXPECT_EQ(WOCreateAt(&at, 0, type, &bod, &control), bod);
        EXPECT_EQ(bod ? WH_Object(bod) : nullptr, control);
        return bod;
    }
};

TEST_F(CreateTest, TheMasterRowIsCopiedAndTheObjectLiesInTheWorld) {
    for (uint32_t type : {1u, 112u, 2u, 27u, 135u, 93u, 148u}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const MasterWORecord* row = WO_FindMaster(type);
        ASSERT_NE(row, nullptr);
        Bod* bod = Make(type, {-500.0f, 0.0f, 100.0f});
        ASSERT_NE(bod, nullptr);
        const WorldObjectControl* c = WH_Object(bod);
        EXPECT_EQ(bod->classMask, uint32_t(BOD_CLASS_OBJECT));
        EXPECT_EQ(bod->hook, &WO_BodHook);
        EXPECT_EQ(c->head.actionTable, g_WOBehaviourTable);
        EXPECT_EQ(c->head.action, WO_STATE_LYING);
        EXPECT_EQ(c->head.firstWord, type);
        EXPECT_EQ(c->weaponKind, row->weaponKind);
        EXPECT_EQ(c->range, row->range);
        EXPECT_EQ(c->fullDamageRange, row->fullDamageRange);
        EXPECT_EQ(c->npcTakes, row->npcTakes);
        EXPECT_EQ(c->damage, row->damage);
        EXPECT_EQ(c->rankExtra, row->rankExtra);
        EXPECT_EQ(c->ammoMax, row->ammoMax);
        EXPECT_EQ(c->ammoPerShot, row->ammoPerShot);
        EXPECT_EQ(c->ammoFor, row->ammoFor);
        EXPECT_EQ(c->linkedType, row->linkedType);
        EXPECT_EQ(c->isAmmo, row->isAmmo);
        EXPECT_EQ(c->ammo, row->ammoStart);
        EXPECT_EQ(c->ammoStart, row->ammoStart);
        EXPECT_EQ(c->fireSound, row->fireSound);
        EXPECT_EQ(c->emptySound, row->emptySound);
        EXPECT_EQ(c->sound3, row->sound3);
        EXPECT_EQ(c->useSound, row->useSound);
        EXPECT_EQ(c->woFlags, row->woFlags);
        EXPECT_EQ(c->where, WO_IN_WORLD);
        EXPECT_EQ(c->holder, nullptr);
        EXPECT_EQ(c->spawned, 1u);
        EXPECT_EQ(c->netId, WO_NO_NET_ID);
        EXPECT_FLOAT_EQ(c->transform.m[9], -500.0f);
        EXPECT_FLOAT_EQ(c->transform.m[11], 100.0f);
        EXPECT_FLOAT_EQ(c->transform.m[0], 1.0f);
        EXPECT_GT(c->surface, 0u) << "the surface under the object is located";
    }
}

TEST_F(CreateTest, ATypeWithoutARowIsReportedAndNothingIsMade) {
    struct Case { uint32_t type; const char* named; } const cases[] = {
        {105, "graphics\\models\\weapons\\crank.qmd"},   // a model but no row
        {106, "No model, it's kippered"},          // neither
        {162, "No model, it's kippered"},
        {163, "No model, it's kippered"},                  // the end row is not a type
        {0xFFFFFFFFu, "No model, it's kippered"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        Bod* bod = reinterpret_cast<Bod*>(1);
        WorldObjectControl* control = reinterpret_cast<WorldObjectControl*>(1);
        const Vec3 at = {0, 0, 0};
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(WOCreateAt(&at, 0, c.type, &bod, &control), nullptr);
        const std::string debug = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(bod, nullptr);
        EXPECT_EQ(control, nullptr);
        EXPECT_NE(debug.find("MASTER OBJECT DETAILS NOT FOUND IN MASTERWO"), std::string::npos) << debug;
        EXPECT_NE(debug.find(c.named), std::string::npos) << debug;
    }
    EXPECT_EQ(g_WorldBods.head, nullptr);
}

TEST_F(CreateTest, WeaponsThatFireObjectsGetTheirProjectileModelWhenMade) {
    struct Case { uint32_t type; const char* projectile; } const cases[] = {
        {135, "forcebolt"}, {138, "laserbolt"},
        {34, nullptr},    // the rocket launcher's row links no projectile
        {144, nullptr},   // ammunition links its weapon, not a projectile
        {47, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        Bod* bod = Make(c.type);
        ASSERT_NE(bod, nullptr);
        const WorldObjectControl* object = WH_Object(bod);
        if (!c.projectile) {
            EXPECT_EQ(object->linkedInstance, nullptr);
            continue;
        }
        ASSERT_NE(object->linkedInstance, nullptr);
        EXPECT_STREQ(object->linkedInstance->model.rigid->name, c.projectile);
    }
}

TEST_F(CreateTest, MessageNumbersSkipNoneAndNeverReuseALiveObjectsNumber) {
    std::vector<Bod*> live;
    std::set<uint8_t> held;
    // Take numbers far past the range, freeing the oldest object after every third: the counter
    // wraps, every number ends up held, and then only a freed number is handed out again.
    bool exhausted = false;
    for (int i = 0; i < 600; ++i) {
        const uint8_t id = WO_TakeNetId();
        SCOPED_TRACE("allocation " + std::to_string(i));
        if (held.size() == 254) {
            ASSERT_EQ(id, WO_NO_NET_ID) << "every number is held";
            exhausted = true;
            held.erase(WH_Object(live.front())->netId);
            BOD_Destroy(&g_WorldBods, live.front());
            live.erase(live.begin());
            continue;
        }
        ASSERT_NE(id, 0);
        ASSERT_NE(id, WO_NO_NET_ID);
        ASSERT_EQ(held.count(id), 0u) << "number " << int(id) << " belongs to a live object";
        Bod* bod = Make(1);
        ASSERT_NE(bod, nullptr);
        WH_Object(bod)->netId = id;
        live.push_back(bod);
        held.insert(id);
        if (i % 3 == 2) {
            held.erase(WH_Object(live.front())->netId);
            BOD_Destroy(&g_WorldBods, live.front());
            live.erase(live.begin());
        }
    }
    EXPECT_TRUE(exhausted);
    WO_ResetNetIds();
    BOD_DestroyWorld();
    EXPECT_EQ(WO_TakeNetId(), 1) << "a new level counts from 1";
    EXPECT_EQ(WO_TakeNetId(), 2);
}

}  // namespace
