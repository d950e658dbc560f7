// Drawing the bods of a level frame: the characters with their held objects, culled by their
// surface's drawn mark and a sphere test, and the world objects. Only active bods of the draw mask
// are drawn.
#include "world/mdl_world.h"
#include "engine/rnd_display.h"
#include "engine/mdl.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_light.h"
#include "engine/lnd_material.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr uint32_t kDrawFlags = 0;

// The placement of a record seen from the camera: matrix = view x transform, the drawing pose =
// camera rotation x the record's pose rotation with the matrix's translation.
template <class Record>
void Place(const Matrix34* viewMatrix, const Pose* cameraPose, const Record* record, Matrix34* matrix, Pose* pose) {
    MTH_MatrixMultiply(matrix, viewMatrix, &record->transform);
    MTH_QuatMultiply(&cameraPose->rotation, &record->pose.rotation, &pose->rotation);
    pose->translation = Vec3{matrix->m[9], matrix->m[10], matrix->m[11]};
}

bool SphereVisible(const Matrix34& matrix, const ModelInstance* instance) {
    const Vec3 centre{matrix.m[9], matrix.m[10], matrix.m[11]};
    return LND_IsSphereVisible(&centre, MDL_GetRadius(instance)) != 0;
}

// The control record of the object a character holds, or null (bare hands, empty slot).
WorldObjectControl* HeldObject(const CharacterControl* control) {
    const uint32_t slot = control->selectedSlot;
    if (slot == 0 || slot >= uint32_t(ACT_ITEM_SLOTS))
        return nullptr;
    return BOD_ObjectOf(control->items[slot].itemBod);
}

void DrawCharacter(const Matrix34* viewMatrix, const Pose* cameraPose, CharacterControl* control) {
    ModelInstance* instance = control->instance;
    g_DrawSurface = control->surface;
    WorldObjectControl* held = HeldObject(control);
    const bool skinned = instance->kind == MDL_KIND_SKINNED;
    if (skinned && instance->boneEffects && control->holdBone >= 0 &&
        control->holdBone < instance->model.skinned->boneCount) {
        instance->boneEffects[control->holdBone] = held ? MDL_AttachmentEffect : nullptr;
        instance->boneEffectUntil[control->holdBone] = held ? reinterpret_cast<intptr_t>(held) : 0;
    }
    Matrix34 matrix;
    Pose pose;
    Place(viewMatrix, cameraPose, control, &matrix, &pose);
    control->pose.translation = BOD_PositionOf(control);
    if (!LND_IsSurfaceDrawn(int32_t(control->surface)) || !SphereVisible(matrix, instance))
        return;
    MDL_DrawInstanceQuat(MDL_GetVertexBuffer(), instance, &pose, kDrawFlags);
    if (!skinned && held && held->instance) {
        // A rigid holder has no bones: the held object is drawn at the holder's own placement.
        Matrix34 boneMatrix = matrix;
        MDL_GetBoneMatrix(instance, instance->frame, control->holdBone, &matrix, &boneMatrix);
        MDL_DrawInstance(MDL_GetVertexBuffer(), held->instance, &boneMatrix, kDrawFlags);
    }
}

void DrawObject(const Matrix34* viewMatrix, const Pose* cameraPose, const Bod* bod, WorldObjectControl* object) {
    g_DrawSurface = object->surface;
    // A plain world object takes its orientation from its heading; a placed one keeps the
    // transform its behaviours set.
    if (bod->classMask == BOD_CLASS_OBJECT) {
        const Vec3 position = BOD_PositionOf(object);
        MTH_MatrixRotation(&object->transform, object->heading, MTH_AXIS_Y);
        BOD_SetPosition(object, position);
        MTH_QuatFromAxisAngle(&object->pose.rotation, object->heading, MTH_AXIS_Y);
    }
    ModelInstance* instance = object->instance;
    if (!instance)
        return;
    Matrix34 matrix;
    Pose pose;
    Place(viewMatrix, cameraPose, object, &matrix, &pose);
    if (!SphereVisible(matrix, instance))
        return;
    if (instance->kind == MDL_KIND_SKINNED)
        MDL_DrawInstanceQuat(MDL_GetVertexBuffer(), instance, &pose, kDrawFlags);
    else
        MDL_DrawInstance(MDL_GetVertexBuffer(), instance, &matrix, kDrawFlags);
}
}  // namespace

void GAME_DrawBods(const Matrix34* viewMatrix, const Pose* cameraPose) {
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (bod->active != 1 || !(bod->classMask & BOD_MASK_DRAW))
            continue;
        if (CharacterControl* control = BOD_CharacterOf(bod)) {
            if (control->instance)
                DrawCharacter(viewMatrix, cameraPose, control);
        } else if (WorldObjectControl* object = BOD_ObjectOf(bod)) {
            DrawObject(viewMatrix, cameraPose, bod, object);
        }
    }
}
