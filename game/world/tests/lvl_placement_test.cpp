// Placed objects from a level's placement list: world objects and statics with their classes,
// models, landscape objects and copied words; a missing landscape object reported; and lists that
// lie (no end record, unknown types, out-of-range states, missing names) creating nothing they
// should not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/lnd_material.h"
#include "engine/mdl.h"
#include "world/bod.h"
#include "world/lvl_placement.h"
#include "world/wo.h"
#include "world/wo_master.h"
#include "world_fixture.h"

namespace {

constexpr const char* kAxe = "graphics\\models\\weapons\\axe.qmd";

struct DoorRecord {
    float heading, along, across, speed;
};
constexpr DoorRecord kDoor = {0.0f, 100.0f, 10.0f, 50.0f};

WOPlacement Record(uint32_t type, const char* name, uint32_t state = 0) {
    WOPlacement r{};
    r.type = type;
    r.name = name;
    r.requiredItem = WO_NO_TYPE;
    r.initialState = state;
    return r;
}

class PlacementTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0}},
                          {{100, -50, 100, 50, 0, 300}, {-100, -50, -100, 50, 0, 300}});
        WH_AddModel(WH_Rigid(kAxe, 10.0f));
        WH_WriteSkin("graphics\\models\\weapons\\axe.bmp");
    }

    static std::vector<Bod*> Created() {
        std::vector<Bod*> bods;
        for (Bod* bod = g_WorldBods.head; bod; bod = bod->next)
            bods.push_back(bod);
        return bods;
    }

    static int Created(const std::vector<WOPlacement>& list, size_t capacity, std::string* debug) {
        ::testing::internal::CaptureStderr();
        const int n = LVL_CreatePlacedObjects(list.data(), capacity);
        *debug = ::testing::internal::GetCapturedStderr();
        return n;
    }
};

TEST_F(PlacementTest, ObjectsAndStaticsTakeTheirClassModelLandscapeObjectAndWords) {
    WOPlacement object = Record(2, "wall0", 19);
    WOPlacement gate = Record(151, "wall1", 10);
    gate.useBehaviour = 12;
    gate.param3 = "link";
    gate.requiredItem = 93;
    gate.param5 = "on";
    gate.param6 = 6;
    gate.param7 = "off";
    gate.param8 = 8;
    gate.param10 = &kDoor;
    gate.param11 = 11;
    const std::vector<WOPlacement> list = {object, gate, Record(151, "nosuch"), Record(3, nullptr),
                                           Record(WO_END_TYPE, nullptr), Record(2, "wall0")};
    std::string debug;
    ASSERT_EQ(Created(list, list.size(), &debug), 4);
    const std::vector<Bod*> bods = Created();
    ASSERT_EQ(bods.size(), 4u) << "nothing after the end record";

    struct Expect {
        uint32_t classMask;
        bool hook, active, model;
        int32_t landscapeObject;
        int state;
    } const expect[] = {
        {BOD_CLASS_PLACED, true, true, true, 0, 19},
        {BOD_CLASS_STATIC, false, false, false, LND_FindObject("wall1"), 10},
        {BOD_CLASS_STATIC, false, false, false, 0, 0},
        {BOD_CLASS_PLACED, true, true, false, 0, 0},   // a type without a model file
    };
    for (size_t i = 0; i < bods.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const WorldObjectControl* c = WH_Object(bods[i]);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(bods[i]->classMask, expect[i].classMask);
        EXPECT_EQ(bods[i]->hook != nullptr, expect[i].hook);
        EXPECT_EQ(bods[i]->active != 0, expect[i].active);
        EXPECT_EQ(c->instance != nullptr, expect[i].model);
        EXPECT_EQ(int32_t(c->landscapeObject), expect[i].landscapeObject);
        EXPECT_EQ(c->head.action, expect[i].state);
        EXPECT_EQ(c->head.firstWord, list[i].type);
        EXPECT_EQ(c->head.actionTable, g_WOBehaviourTable);
        EXPECT_EQ(c->where, WO_IN_WORLD);
        EXPECT_EQ(c->holder, bods[i]) << "a placed object holds itself";
    }
    EXPECT_GT(LND_FindObject("wall1"), 0);
    // The object and the static are bound to their landscape object records by name.
    ASSERT_NE(WH_Object(bods[0])->landscapeObjectRec, nullptr);
    EXPECT_STREQ(WH_Object(bods[0])->landscapeObjectRec->name, "wall0");
    EXPECT_EQ(WH_Object(bods[2])->landscapeObjectRec, nullptr);
    const WorldObjectControl* g = WH_Object(bods[1]);
    EXPECT_EQ(g->useBehaviour, 12u);
    EXPECT_STREQ(g->name, "wall1");
    EXPECT_STREQ(g->param3, "link");
    EXPECT_EQ(g->requiredItem, 93u);
    EXPECT_STREQ(g->param5, "on");
    EXPECT_EQ(g->param6, 6u);
    EXPECT_STREQ(g->param7, "off");
    EXPECT_EQ(g->param8, 8u);
    EXPECT_EQ(g->param10, &kDoor);
    EXPECT_EQ(g->param11, 11u);
    EXPECT_NE(debug.find(" object not found nosuch\n"), std::string::npos) << debug;
    EXPECT_EQ(debug.find("wall1"), std::string::npos) << "found statics are not reported";
}

TEST_F(PlacementTest, ListsThatLieCreateOnlyTheirValidRecords) {
    struct Case {
        const char* what;
        std::vector<WOPlacement> list;
        size_t capacity;
        int created;
    } const cases[] = {
        {"no end record: the capacity stops the walk", {Record(2, "wall0"), Record(151, "wall1")}, 2, 2},
        {"capacity shorter than the list", {Record(2, "wall0"), Record(2, "wall0"), Record(WO_END_TYPE, nullptr)}, 1, 1},
        {"unknown types skipped",
         {Record(WO_NO_TYPE, "wall0"), Record(200, "wall0"), Record(0xFFFFFFFFu, "wall0"), Record(151, "wall1"),
          Record(WO_END_TYPE, nullptr)}, 5, 1},
        {"empty list", {Record(WO_END_TYPE, nullptr)}, 1, 0},
        {"zero capacity", {Record(2, "wall0")}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BOD_DestroyWorld();
        std::string debug;
        EXPECT_EQ(Created(c.list, c.capacity, &debug), c.created);
        EXPECT_EQ(Created().size(), size_t(c.created));
    }
    BOD_DestroyWorld();
    EXPECT_EQ(LVL_CreatePlacedObjects(nullptr, 5), 0);
    EXPECT_EQ(g_WorldBods.head, nullptr);
}

TEST_F(PlacementTest, BadStatesAndMissingNamesLeaveTheObjectAtRest) {
    const char* const names[] = {nullptr, "", "a name far longer than any landscape object name can ever be"};
    for (const char* name : names) {
        for (uint32_t state : {uint32_t(BOD_OBJECT_BEHAVIOURS), 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            BOD_DestroyWorld();
            std::string debug;
            const std::vector<WOPlacement> list = {Record(151, name, state), Record(WO_END_TYPE, nullptr)};
            ASSERT_EQ(Created(list, list.size(), &debug), 1);
            const WorldObjectControl* c = WH_Object(g_WorldBods.head);
            EXPECT_EQ(c->head.action, 0) << "state " << state;
            EXPECT_EQ(c->landscapeObject, 0u);
            EXPECT_EQ(c->landscapeObjectRec, nullptr);
            EXPECT_NE(debug.find(" object not found "), std::string::npos);
        }
    }
}

}  // namespace
