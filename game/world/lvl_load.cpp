// Loading and unloading a level: the fixed build order of a level's world (characters, light,
// map, triggers, clock, textures, sounds, effects, players, AI, camera, objects) and its release
// in the reverse dependency order. Owns g_LevelSoundGroup.
#include <cstdio>

#include "common/app_services.h"
#include "common/calltrace.h"
#include "common/match.h"
#include "engine/landscape_query.h"
#include "engine/lnd_light.h"
#include "engine/lnd_material.h"
#include "engine/map_load.h"
#include "engine/mdl.h"
#include "engine/rnd_display.h"
#include "net/msg.h"
#include "shell/snd.h"
#include "world/act.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/cam.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/exp.h"
#include "world/game_frame.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "world/lvl_table.h"
#include "world/phy.h"
#include "world/snd_pos.h"

uint32_t g_LevelSoundGroup = 0;

namespace {

// The ambient light floor of a level for the display's colour depth, on all four channels.
void SetLevelAmbient(const LevelTableEntry& row) {
    const float a = g_DspBitsPerPixel == 8 ? row.light8 : row.light16;
    const float floor[4] = {a, a, a, a};
    LND_SetAmbientLight(floor);
}

// The character the camera starts behind: in a network game the first player character this
// machine owns, else player 0.
CharacterControl* CameraCharacter() {
    if (APP_IsMultiplayerGame()) {
        for (Bod* bod : g_PlayerBods) {
            CharacterControl* c = BOD_CharacterOf(bod);
            if (c && c->playerId != -1 && MSG_IsLocalPlayerId(c->playerId))
                return c;
        }
    }
    return BOD_CharacterOf(g_PlayerBods[0]);
}

}  // namespace

int LVL_LoadLevel(int level, const int32_t characterIds[8], const int32_t healths[8],
                  const int32_t memberRecords[4][18]) {
    const LevelTableEntry* row = LVL_TableEntry(level);
    if (!row)
        return 0;
    g_LevelLoaded = 0;
    APP_ResetLevelFrameCount();

    ACT_CreatePlayerBods();
    ACT_CreateNpcBods();
    Bod* const player0 = g_PlayerBods[0];
    CharacterControl* const control0 = BOD_CharacterOf(player0);
    if (player0)
        BOD_SetAction(player0, 11);
    g_FocusBod = player0;
    if (control0)
        control0->surface = 1;

    SetLevelAmbient(*row);
    if (!MAP_LoadMap(control0 ? &control0->transform : nullptr, row->mapFile)) {
        char text[128];
        std::snprintf(text, sizeof text, "Unable to open map file: %s", row->mapFile);
        APP_FatalError(text);
    }
    PHY_BindSurfaceTriggers(level);
    SetLevelAmbient(*row);
    CLK_InitLevel();
    LND_LoadTextures(2);

    SND_LoadGroup(LVL_COMMON_SOUND_GROUP);
    g_LevelSoundGroup = row->soundGroup;
    SND_LoadGroup(g_LevelSoundGroup);

    if (control0) {
        MTH_MatrixIdentity(&control0->transform);
        Vec3 centre{};
        LND_GetSurfaceCentre(&centre, 1);
        control0->transform.m[9] = centre.x;
        control0->transform.m[10] = centre.y;
        control0->transform.m[11] = centre.z;
    }
    EXP_LoadFrames();
    GAME_ResetLevelState();
    GAME_PlacePlayers(level, characterIds, healths, memberRecords);
    AI_InitLevel(level);

    g_FocusBod = g_PlayerBods[0];
    if (APP_IsMultiplayerGame())
        for (Bod* bod : g_PlayerBods)
            if (CharacterControl* c = BOD_CharacterOf(bod); c && c->playerId != -1)
                c->netEcho = 0;

    CAM_Reset();
    CAM_SetLevelMode(level);
    if (CharacterControl* c = CameraCharacter())
        CAM_SnapBehind(c);

    LVL_LoadObjects(level);
    LVL_ResetTimedEvents();
    g_LevelLoaded = 1;
    return 1;
}

void LVL_UnloadLevel() {
    TRC_Trace("LVL_UnloadLevel");
    if (!g_LevelLoaded)
        return;
    SND_StopAllEmitters();
    EXP_FreeAll();
    if (g_LevelSoundGroup != 0)  // group 0 holds the interface's sounds
        SND_ReleaseGroup(g_LevelSoundGroup);
    SND_ReleaseGroup(LVL_COMMON_SOUND_GROUP);

    AI_Shutdown();
    BOD_DestroyWorld();
    MDL_FreeAll();
    DSP_ReleaseTextureSurfaces();
    MAP_UnloadMap();
    g_LevelSoundGroup = 0;
    g_LevelLoaded = 0;
}
