// The level start steps that put the player characters into a new level: the reset of the frame
// state, the placing of the players with their models, skins and start items, the grounding of
// the characters with the level hooks, and the level's init.
#include "world/mdl_world.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "common/match.h"
#include "world/act.h"
#include "engine/landscape_query.h"
#include "world/lvl.h"
#include "world/wo.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"

namespace {
constexpr int kActionAi = 0;
constexpr int kActionStand = 11;
constexpr int kActionPlayerIdle = 18;
constexpr int kDefaultStartHealth = 100;
constexpr int kItemTypeWord = 1;
constexpr int kItemPercentWord = 10;
constexpr int kStartItems = 8;

bool ValidLevel(int level) {
    return level >= 0 && level < GAME_LEVEL_COUNT;
}

int PlayerBodCount() {
    return APP_IsMultiplayerGame() ? BOD_PLAYER_SLOTS : GAME_MEMBER_RECORDS;
}

// Heading applied, surface found, and the body set on the ground under its position.
void Ground(CharacterControl* control) {
    MDL_SetHeading(control, control->heading);
    Vec3 position = BOD_PositionOf(control);
    control->surface = uint32_t(LND_LocateSurface(0, &position));
    position.y = float(LND_GetGroundHeight(&position, int32_t(control->surface)) - ANM_GetGroundOffset(control->instance));
    BOD_SetPosition(control, position);
}
}  // namespace

void GAME_ResetLevelState() {
    g_ActiveSlot = 0;
    g_LastActiveSlot = 0;
    g_FocusAiMode = 0;
    g_LevelNumber = 1;
    g_FocusHeading = 0.0f;
    g_FriendlyFire = 0;
    g_LevelMs = 0;
}

void GAME_PlacePlayers(int level, const int32_t characterIds[8], const int32_t healths[8],
                       const int32_t memberRecords[GAME_MEMBER_RECORDS][GAME_MEMBER_WORDS]) {
    const int players = PlayerBodCount();
    for (int i = 0; i < players; ++i) {
        if (!g_PlayerBods[i])
            continue;
        GAME_SetupPlayerCharacter(g_PlayerBods[i], characterIds[i], healths[i], memberRecords[i % GAME_MEMBER_RECORDS],
                                  GAME_ANGLE_STEP);
        // An unused slot keeps its bod in the world list, inactive, but no longer counts as a player.
        if (characterIds[i] == -1)
            g_PlayerBods[i] = nullptr;
    }
    g_LevelNumber = level;
    for (int w = 0; w < GAME_MAP_PARAMS; ++w)
        g_LevelMapParams[w] = ValidLevel(level) ? kGameLevelMapParams[level][w] : 0.0f;
}

void GAME_SetupPlayerCharacter(Bod* bod, int characterId, int health, const int32_t memberRecord[GAME_MEMBER_WORDS],
                               float angleStep) {
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return;
    WOClearInventory(bod);
    if (characterId == -1) {
        control->playerId = -1;
        bod->active = 0;
        control->slotChanged = 0;
        BOD_SetAction(bod, kActionAi);
        return;
    }
    control->gait = 1;
    control->surface = 0;
    control->selectedSlot = 0;
    MDL_FreeInstance(control->instance);
    control->instance = nullptr;
    ActKindFiles files = {};
    if (ACT_GetKindFiles(characterId, &files)) {
        MDL_Load(files.model, &control->instance);
        // Skin B first, kept as the second skin; skin A is the one worn.
        MDL_LoadSkin(control->instance, files.skinB);
        control->altSkin = control->instance ? control->instance->skin : nullptr;
        MDL_LoadSkin(control->instance, files.skinA);
    }
    if (control->instance) {
        if (control->instance->kind == MDL_KIND_SKINNED)
            control->holdBone = MDL_FindBone(control->instance, "hold_pos");
        ANM_SetByName(control->instance, "stand", 1);
    }
    control->angleStep = angleStep;
    control->playerId = characterId;
    control->startHealth = health < 0 ? kDefaultStartHealth : health;
    BOD_SetAction(bod, kActionPlayerIdle);
    bod->active = 1;
    if (!memberRecord)
        return;
    for (int i = 0; i < kStartItems; ++i) {
        const int32_t type = memberRecord[kItemTypeWord + i];
        if (type != -1)
            LVL_GiveStartItem(memberRecord[kItemPercentWord + i], bod, type);
    }
}

void LVL_SetLevelHooks() {
    const bool level = ValidLevel(g_LevelNumber);
    const int players = PlayerBodCount();
    for (int i = 0; i < players; ++i) {
        CharacterControl* control = BOD_CharacterOf(g_PlayerBods[i]);
        if (!control)
            continue;
        control->limbsRestoreAt = 0;
        Ground(control);
        g_PlayerBods[i]->hook = level ? g_LevelPlayerHooks[g_LevelNumber] : nullptr;
    }
    for (Bod* bod : g_NpcBods) {
        CharacterControl* control = BOD_CharacterOf(bod);
        if (!control)
            continue;
        control->limbsRestoreAt = 0;
        if (control->ai) {
            Ground(control);
            bod->active = 1;
        }
        bod->hook = level ? g_LevelNpcHooks[g_LevelNumber] : nullptr;
        WOClearInventory(bod);
    }
    BOD_SetAction(g_PlayerBods[0], kActionStand);
}

int LVL_RunLevelInit() {
    if (!ValidLevel(g_LevelNumber) || !g_LevelInits[g_LevelNumber])
        return 0;
    g_LevelInits[g_LevelNumber]();
    return 1;
}
