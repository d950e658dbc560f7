// Stand-in for the characters' damage and kill routines and the player status exchange: health
// changes as the routines describe it; each damage or kill call is recorded with the bod's name;
// the player status records are kept here in place of the character records.
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

void ACT_KillCharacter(Bod* bod, void* item, int kind, int corpseFlag) {
    TRC_Trace("ACT_KillCharacter", "%s,%s,%d,%d", BOD_TraceLabel(bod), item ? "item" : "none", kind, corpseFlag);
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

int ACT_SurfaceDeath(Bod* bod, int amount, int kind) {
    TRC_Trace("ACT_SurfaceDeath", "%s,%d,%d", BOD_TraceLabel(bod), amount, kind);
    AICharacter* ai = AiOf(bod);
    if (!ai)
        return 0;
    ai->deathKind = kind;
    if (OnClient() || ai->health == 0.0f)
        return 0;
    return Subtract(ai, amount);
}

void ACT_TakeDirectControl() {
    TRC_Trace("ACT_TakeDirectControl");
}

void ACT_ReleaseDirectControl() {
    TRC_Trace("ACT_ReleaseDirectControl");
}

void ACT_StopPlayersAtLevelEnd() {
    TRC_Trace("ACT_StopPlayersAtLevelEnd");
}
