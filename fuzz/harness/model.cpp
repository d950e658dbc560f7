// Models: the input's first byte picks the file kind (even: rigid .qmd, odd: skinned .qkm) and
// the rest is the file. A model that loads is animated (each of its first animations started,
// stepped over a few frames with the root motion taken), posed bone by bone, measured and drawn
// through the model drawer, then freed.
#include "common/game_clock.h"
#include "common/match.h"
#include "common/mem.h"
#include "common/muf.h"
#include "engine/anm.h"
#include "engine/lnd_draw.h"
#include "engine/mdl.h"
#include "fuzz_support.h"
#include "testsupport/rnd_texture_device.h"

namespace {

bool Setup() {
    fz::Scratch();
    MEM_ResetTracker();
    g_MufReady = 1;
    // Skins are real textures: the software device loads them. Meshes are only looked at.
    TST_OpenTextureDevice(false);
    LND_SetModelMeshObserver([](const LndModelMesh& m) {
        // The drawer checks each corner against the vertex count: only the arrays' ends are read.
        volatile float sum = 0;
        if (m.vertexCount > 0) sum = sum + m.vertices[3 * m.vertexCount - 1];
        if (m.faceCount > 0) sum = sum + float(m.faces[m.faceCount - 1].corner[2]);
    });
    return true;
}

int32_t Animations(const ModelInstance* m) {
    if (m->kind == MDL_KIND_RIGID) return m->model.rigid->animationCount > 0 ? m->model.rigid->animationCount : 1;
    return m->model.skinned->animationCount;
}
int32_t Bones(const ModelInstance* m) { return m->kind == MDL_KIND_SKINNED ? m->model.skinned->boneCount : 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Setup();
    (void)ready;
    if (size < 1) return 0;
    const char* name = (data[0] & 1) ? "fuzz.qkm" : "fuzz.qmd";
    if (!fz::Put(name, data + 1, size - 1)) return 0;
    g_GameClock = GameClock{};
    g_GameClock.nowMs = 1000;
    ModelInstance* instance = nullptr;
    if (MDL_Load(name, &instance) == MDL_OK && instance) {
        const Matrix34 identity = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 400};
        const int32_t animations = Animations(instance);
        for (int32_t a = 0; a < animations && a < 4; ++a) {
            ANM_SetByIndex(instance, a, a & 1);
            for (int step = 0; step < 4; ++step) {
                g_GameClock.previousMs = g_GameClock.nowMs;
                g_GameClock.nowMs += 70;
                Vec3 motion{};
                ANM_Advance(instance, &motion);
                ANM_Update(instance);
            }
            ANM_GetGroundOffset(instance);
            for (int32_t b = 0; b < Bones(instance) && b < 64; ++b) {
                Matrix34 matrix;
                Pose pose;
                const Pose rest = {{0, 0, 0, 1}, {0, 0, 0}};
                MDL_GetBoneTransformQ(instance, instance->frame, b, &rest, &matrix, &pose);
                MDL_GetBoneMatrix(instance, instance->frame, b, &identity, &matrix);
                Vec3 lo, hi;
                MDL_GetBoneBounds(instance, instance->frame, b, &lo, &hi);
                MDL_GetBoneRadius(instance, b);
            }
            Vec3 lo, hi;
            MDL_GetCurrentBounds(instance, &lo, &hi);
            MDL_GetRadius(instance);
            MDL_DrawInstance(MDL_GetVertexBuffer(), instance, &identity, 0);
        }
        MDL_FreeInstance(instance);
    }
    MDL_FreeAll();
    MUF_CloseAll();
    g_MufReady = 1;
    return 0;
}
