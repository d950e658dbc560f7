// Stand-in for the characters' damage routines, kind tables and player status exchange: health
// changes as the routines describe it; each damage call is recorded with the bod's name; the
// player status records are kept here in place of the character records.
#include "world/act.h"

#include "common/match.h"
#include "net/net.h"
#include "world/ai.h"
#include "common/calltrace.h"
#include "world/world_label.h"
#include "ui/hud_records.h"
#include "world/character.h"

int32_t g_FriendlyFire = 0;

namespace {
AICharacter* AiOf(Bod* bod) {
    CharacterControl* control = BOD_CharacterOf(bod);
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

bool OnClient() {
    return APP_IsMultiplayerGame() && !NET_IsHost();
}

// Subtracts, clamps at 0; 1 when the health fell below 1.
int Subtract(AICharacter* ai, int amount) {
    ai->health -= float(amount);
    if (ai->health < 1.0f) {
        ai->health = 0.0f;
        return 1;
    }
    return 0;
}

// The few player characters the stand-in knows: ids 0..3.
constexpr ActKindFiles kKinds[] = {
    {"graphics\\models\\female.qkm", "graphics\\skins\\Human Skins\\ace.bmp", "graphics\\skins\\Human Skins\\ace_b.bmp"},
    {"graphics\\models\\male.qkm", "graphics\\skins\\Human Skins\\bo.bmp", "graphics\\skins\\Human Skins\\bo_b.bmp"},
    {"graphics\\models\\male.qkm", "graphics\\skins\\Human Skins\\cy.bmp", "graphics\\skins\\Human Skins\\cy_b.bmp"},
    {"graphics\\models\\female.qkm", "graphics\\skins\\Human Skins\\di.bmp", "graphics\\skins\\Human Skins\\di_b.bmp"},
};
}  // namespace

int ACT_Damage(Bod* bod, int amount) {
    TRC_Trace("ACT_Damage", "%s,%d", BOD_TraceLabel(bod), amount);
    AICharacter* ai = AiOf(bod);
    if (OnClient() || !ai)
        return 0;
    return Subtract(ai, amount);
}

int ACT_DamageCharacter(Bod* bod, int amount, int kind) {
    TRC_Trace("ACT_DamageCharacter", "%s,%d,%d", BOD_TraceLabel(bod), amount, kind);
    AICharacter* ai = AiOf(bod);
    if (OnClient() || !ai)
        return 0;
    if (ai->health != 0.0f)
        Subtract(ai, amount);
    return 1;
}

int ACT_DamageNoScore(Bod* bod, int amount, int kind) {
    TRC_Trace("ACT_DamageNoScore", "%s,%d,%d", BOD_TraceLabel(bod), amount, kind);
    AICharacter* ai = AiOf(bod);
    if (OnClient() || !ai)
        return 0;
    if (ai->health != 0.0f)
        Subtract(ai, amount);
    return 1;
}

int ACT_GetKindFiles(int characterId, ActKindFiles* out) {
    if (characterId < 0 || characterId >= int(sizeof kKinds / sizeof kKinds[0]) || !out)
        return 0;
    *out = kKinds[characterId];
    return 1;
}

namespace {
PlayerStatus g_StubStatus[BOD_PLAYER_SLOTS];

Bod* PlayerBod(int index) {
    return index >= 0 && index < BOD_PLAYER_SLOTS ? g_PlayerBods[index] : nullptr;
}
}  // namespace

int ACT_GetPlayerStatus(int index, PlayerStatus* status) {
    TRC_Trace("ACT_GetPlayerStatus", "%d", index);
    Bod* bod = PlayerBod(index);
    if (!bod || !status)
        return 0;
    *status = g_StubStatus[index];
    status->bod = bod;
    status->controlFlag = BOD_CharacterOf(bod) ? 1 : 0;
    return 1;
}

int ACT_SetPlayerStatus(int index, const PlayerStatus* status) {
    Bod* bod = PlayerBod(index);
    if (!bod || !status)
        return 0;
    TRC_Trace("ACT_SetPlayerStatus", "%d,turn=%d,move=%d,use=%d,spare=%d,alt=%d,ctrl=%d,runoff=%d,k=%d,entry=%d,flag=%d",
               index, status->turnCommand, status->moveCommand, status->useCommand, status->spareCommand,
               status->pushCommand, status->attackCommand, status->runFlag, status->kickCommand,
               status->selectedEntry, status->controlFlag);
    g_StubStatus[index] = *status;
    if (CharacterControl* control = BOD_CharacterOf(bod)) {
        control->turnCommand = status->turnCommand;
        control->moveCommand = status->moveCommand;
        control->useCommand = uint32_t(status->useCommand);
        control->commandWord = uint32_t(status->spareCommand);
        control->pushCommand = uint32_t(status->pushCommand);
        control->attackCommand = uint32_t(status->attackCommand);
        control->kickCommand = uint32_t(status->kickCommand);
    }
    return 1;
}

PlayerStatus* ACT_StubStatus(int index) {
    return index >= 0 && index < BOD_PLAYER_SLOTS ? &g_StubStatus[index] : nullptr;
}
