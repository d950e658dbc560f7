// The character pools: the player and NPC bods made at level load, the placing of zombies and
// humans into the free NPC bods, and the player characters' frame hook.
#include <cstdio>

#include "common/match.h"
#include "common/mem.h"
#include "engine/anm.h"
#include "engine/landscape_query.h"
#include "engine/mdl.h"
#include "win32.h"
#include "world/act.h"
#include "world/act_table.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/cmb.h"
#include "world/mdl_world.h"

namespace {
// The look the next zombie spawned with look -1 takes; it lives as long as the program.
int g_LookCursor = 0;

// A character record for a pool bod, attached to the action table; null when the heap refuses.
Bod* MakeCharacterBod(uint32_t classMask, BodHandler hook) {
    Bod* bod = BOD_Create(&g_WorldBods, classMask, hook);
    if (!bod)
        return nullptr;
    CharacterControl* control = MEM_AllocCharacterControl(nullptr);
    if (!control) {
        BOD_Destroy(&g_WorldBods, bod);
        return nullptr;
    }
    BOD_AttachControl(bod, control, g_ActionTable.data());
    MTH_MatrixIdentity(&control->transform);
    MTH_PoseIdentity(&control->pose);
    control->gait = 1;
    control->playerId = -1;
    control->holdBone = -1;
    return bod;
}

int FirstFreeNpc() {
    for (int i = 0; i < BOD_NPC_POOL; ++i) {
        const CharacterControl* control = BOD_CharacterOf(g_NpcBods[i]);
        if (control && !control->ai)
            return i;
    }
    return -1;
}

// Loads the model into a fresh instance (the bod's old one is freed only once the new one loaded);
// false, logged, when it cannot be loaded.
bool LoadModel(CharacterControl* control, const char* model) {
    ModelInstance* instance = nullptr;
    if (!model || MDL_Load(model, &instance) < 0 || !instance) {
        char line[300];
        std::snprintf(line, sizeof line, "character model %s not loaded: no spawn\n", model ? model : "(none)");
        OutputDebugStringA(line);
        return false;
    }
    MDL_FreeInstance(control->instance);
    control->instance = instance;
    return true;
}

// Steps shared by both spawns once the model is in: class, position, heading, surface, the
// animation, and the body put on the ground.
int Place(int index, uint32_t classMask, float x, float y, float z, float heading, const char* animation,
          int playerId) {
    Bod* bod = g_NpcBods[index];
    CharacterControl* control = BOD_CharacterOf(bod);
    bod->classMask = classMask;
    bod->active = 1;
    Vec3 position{x, y, z};
    BOD_SetPosition(control, position);
    control->heading = heading;
    control->gait = 1;
    control->surface = uint32_t(LND_LocateSurface(0, &position));
    control->dead = 0;
    ANM_SetByName(control->instance, animation, 1);
    position.y = float(LND_GetGroundHeight(&position, int32_t(control->surface)) - ANM_GetGroundOffset(control->instance));
    BOD_SetPosition(control, position);
    MDL_SetHeading(control, heading);
    control->playerId = playerId;
    return index;
}

int NextLook() {
    const int look = g_LookCursor;
    do {
        g_LookCursor = (g_LookCursor + 1) % ACT_ZOMBIE_LOOKS;
    } while (kActZombieLooks[g_LookCursor].modelSelector == 0);
    return look;
}
}  // namespace

void ACT_CreatePlayerBods() {
    const int count = APP_IsMultiplayerGame() ? BOD_PLAYER_SLOTS : 4;
    for (int i = 0; i < BOD_PLAYER_SLOTS; ++i) {
        g_PlayerBods[i] = i < count ? MakeCharacterBod(BOD_CLASS_PLAYER, ACT_PlayerFrameHook) : nullptr;
        if (g_PlayerBods[i])
            g_PlayerBods[i]->active = 1;
    }
}

void ACT_CreateNpcBods() {
    for (Bod*& bod : g_NpcBods)
        bod = MakeCharacterBod(BOD_CLASS_NPC, nullptr);
}

int ACT_SpawnZombie(float x, float y, float z, float heading, int look) {
    if (look < -1 || look >= ACT_ZOMBIE_LOOKS)
        return -1;
    // The cursor moves on even when no bod is free.
    const int chosen = look == -1 ? NextLook() : look;
    const int index = FirstFreeNpc();
    if (index < 0)
        return -1;
    ActKindFiles files = {};
    ACT_GetLookFiles(chosen, &files);
    CharacterControl* control = BOD_CharacterOf(g_NpcBods[index]);
    if (!LoadModel(control, files.model))
        return -1;
    MDL_LoadSkin(control->instance, files.skinA);
    return Place(index, BOD_CLASS_NPC, x, y, z, heading, "zomwalk", look);
}

int ACT_SpawnHuman(float x, float y, float z, float heading, int kind) {
    ActKindFiles files = {};
    if (!ACT_GetKindFiles(kind, &files))
        return -1;
    const int index = FirstFreeNpc();
    if (index < 0)
        return -1;
    CharacterControl* control = BOD_CharacterOf(g_NpcBods[index]);
    if (!LoadModel(control, files.model))
        return -1;
    MDL_LoadSkin(control->instance, files.skinB);
    control->altSkin = control->instance->skin;
    MDL_LoadSkin(control->instance, files.skinA);
    return Place(index, BOD_CLASS_HUMAN, x, y, z, heading, "walk", kind);
}

int ACT_PeekLookCursor() {
    return g_LookCursor;
}

void ACT_PlayerFrameHook(Bod* bod, void* record) {
    auto* control = static_cast<CharacterControl*>(record);
    if (!bod || !control)
        return;
    if (control->limbsRestoreAt != 0 && control->limbsRestoreAt < g_GameClock.nowMs && control->instance) {
        CMB_RestoreLimbs(control);
        control->limbsRestoreAt = 0;
    }
    AI_HeldCheck(control);
}
