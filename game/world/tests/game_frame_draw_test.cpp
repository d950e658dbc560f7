// Drawing the bods: which bods reach the model drawer (active, of the draw mask, with a model;
// characters culled by their surface's drawn mark and the sphere test, objects by the sphere test),
// the held object hung on the hold bone, the pose a character is drawn with, and plain world
// objects turned to their heading while placed ones keep their transform.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "world/mdl_world.h"
#include "engine/mdl.h"
#include "engine/lnd_draw.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

class DrawBodsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_WriteHumanoid("graphics\\models\\male.qkm");
        WH_WriteCube("graphics\\models\\weapons\\crate.qmd", 20.0f);
        LND_SetModelMeshObserver([this](const LndModelMesh& mesh) { surfaces.insert(mesh.surface); });
        // Eight surfaces, all drawn in this frame.
        WH_BuildLandscape({{0, 0, 100, 100, 0}, {100, 0, 200, 100, 0}, {0, 100, 100, 200, 0}, {100, 100, 200, 200, 0}},
                          {});
        for (int s = 1; s <= 8; ++s)
            WH_MarkSurfaceDrawn(s, true);
        MTH_PoseIdentity(&camera);
        MTH_MatrixIdentity(&view);
    }
    void TearDown() override {
        LND_SetModelMeshObserver({});
        WorldTest::TearDown();
    }
    // Each bod gets its own surface, so the meshes tell which bods were drawn.
    Bod* Character(uint32_t surface, bool withModel = true) {
        Bod* bod = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 500}, 0.0f, 64.0f);
        WH_Character(bod)->surface = surface;
        if (withModel)
            WH_GiveModel(bod, "graphics\\models\\male.qkm");
        return bod;
    }
    Bod* Object(uint32_t classMask, uint32_t surface) {
        Bod* bod = WH_MakeObject(classMask, 20, {0, 0, 500});
        WH_Object(bod)->surface = surface;
        WH_GiveModel(bod, "graphics\\models\\weapons\\crate.qmd");
        return bod;
    }
    std::set<uint32_t> Drawn() {
        surfaces.clear();
        GAME_DrawBods(&view, &camera);
        return surfaces;
    }
    std::set<uint32_t> surfaces;
    Pose camera;
    Matrix34 view;
};

TEST_F(DrawBodsTest, OnlyActiveBodsOfTheDrawMaskWithAModel) {
    Character(1);
    Character(2, false);                    // no model instance
    Bod* inactive = Character(3);
    inactive->active = 0;
    Object(BOD_CLASS_OBJECT, 4);
    Object(BOD_CLASS_PLACED, 5);
    Object(BOD_CLASS_STATIC, 6);            // statics are not drawn as bods
    Bod* human = Character(7);
    human->classMask = BOD_CLASS_HUMAN;
    EXPECT_EQ(Drawn(), (std::set<uint32_t>{1, 4, 5, 7}));
    EXPECT_EQ(g_DrawSurface, 7u) << "the surface of the last bod drawn";
}

TEST_F(DrawBodsTest, CharactersAreCulledByTheirSurfaceObjectsOnlyByTheSphere) {
    Character(1);
    Object(BOD_CLASS_OBJECT, 2);
    WH_MarkSurfaceDrawn(1, false);
    WH_MarkSurfaceDrawn(2, false);
    EXPECT_EQ(Drawn(), (std::set<uint32_t>{2}));
    WH_MarkSurfaceDrawn(1, true);
    EXPECT_EQ(Drawn(), (std::set<uint32_t>{1, 2}));
    // Behind the camera neither is drawn.
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (CharacterControl* c = WH_Character(bod))
            c->transform.m[11] = -500.0f;
        if (WorldObjectControl* o = WH_Object(bod))
            o->transform.m[11] = -500.0f;
    }
    EXPECT_EQ(Drawn(), (std::set<uint32_t>{}));
}

TEST_F(DrawBodsTest, TheHeldObjectHangsOnTheHoldBone) {
    Bod* npc = Character(1);
    CharacterControl* c = WH_Character(npc);
    c->holdBone = MDL_FindBone(c->instance, "hold_pos");
    ASSERT_GE(c->holdBone, 0);
    Bod* crate = Object(BOD_CLASS_OBJECT, 2);
    crate->active = 0;  // carried
    c->items[3] = {20, crate, 0};

    c->selectedSlot = 3;
    Drawn();
    EXPECT_EQ(c->instance->boneEffects[c->holdBone], MDL_AttachmentEffect);
    EXPECT_EQ(c->instance->boneEffectUntil[c->holdBone], reinterpret_cast<intptr_t>(WH_Object(crate)));

    c->selectedSlot = 0;  // bare hands
    Drawn();
    EXPECT_EQ(c->instance->boneEffects[c->holdBone], nullptr);
    EXPECT_EQ(c->instance->boneEffectUntil[c->holdBone], 0);

    c->selectedSlot = 4;  // a slot without a bod
    c->items[3] = {20, crate, 0};
    Drawn();
    EXPECT_EQ(c->instance->boneEffects[c->holdBone], nullptr);
}

TEST_F(DrawBodsTest, ACharactersPoseFollowsItsPosition) {
    Bod* npc = Character(1);
    CharacterControl* c = WH_Character(npc);
    c->transform.m[9] = 30.0f, c->transform.m[10] = 40.0f, c->transform.m[11] = 50.0f;
    Drawn();
    EXPECT_EQ(c->pose.translation.x, 30.0f);
    EXPECT_EQ(c->pose.translation.y, 40.0f);
    EXPECT_EQ(c->pose.translation.z, 50.0f);
}

TEST_F(DrawBodsTest, PlainObjectsTurnToTheirHeadingPlacedOnesKeepTheirTransform) {
    Bod* plain = Object(BOD_CLASS_OBJECT, 1);
    Bod* placed = Object(BOD_CLASS_PLACED, 2);
    for (Bod* bod : {plain, placed}) {
        WorldObjectControl* o = WH_Object(bod);
        o->heading = float(M_PI / 2);
        for (int i = 0; i < 9; ++i)
            o->transform.m[i] = 0.5f;  // whatever the behaviours left there
        o->transform.m[9] = 7.0f, o->transform.m[10] = 8.0f, o->transform.m[11] = 9.0f;
    }
    Drawn();
    Matrix34 turned;
    MTH_MatrixRotation(&turned, float(M_PI / 2), MTH_AXIS_Y);
    const WorldObjectControl* p = WH_Object(plain);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(p->transform.m[i], turned.m[i], 1e-6f) << i;
    EXPECT_EQ(p->transform.m[9], 7.0f);
    EXPECT_EQ(p->transform.m[11], 9.0f);
    EXPECT_NEAR(p->pose.rotation.w, std::cos(float(M_PI / 4)), 1e-6f);
    EXPECT_NEAR(std::fabs(p->pose.rotation.y), std::sin(float(M_PI / 4)), 1e-6f);
    const WorldObjectControl* q = WH_Object(placed);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(q->transform.m[i], 0.5f) << i;
}

}  // namespace
