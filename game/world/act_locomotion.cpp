// The locomotion actions: the AI's slot, standing, the player's idle (which turns the player's
// commands into actions), starting and keeping up a walk or a run, stepping back and turning on
// the spot, with the footsteps and the idle look that their animations carry.
#include "common/game_clock.h"
#include "common/match.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "net/net.h"
#include "shell/snd.h"
#include "world/act_support.h"
#include "world/act_table.h"
#include "world/bod_record.h"
#include "world/game_frame.h"
#include "world/game_state.h"
#include "world/mdl_world.h"
#include "world/phy.h"

namespace {
constexpr int32_t kIdleLookAfterMs = 15000;
constexpr int32_t kNetIdleAfterMs = 30000;
constexpr int32_t kIdleTimerMs = 30000;
constexpr int32_t kZombieWalkFrameMs = 58;
constexpr int32_t kZombieRunFrameMs = 25;
constexpr int32_t kStepBackFrameMs = 32;
constexpr int32_t kFootstepVolume = 30;
constexpr int32_t kAttackStateAi = 5;
constexpr int32_t kCrawling = 8;
constexpr int32_t kPlayerKind = 1;
constexpr int32_t kZombieGameType = 6;  // humans against zombies

// Footsteps: on the host of a network game only for this machine's characters.
int32_t Footstep(uintptr_t data) {
    Bod* bod = reinterpret_cast<Bod*>(data);
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return 0;
    if (ACT_IsNetworkGame() && NET_IsHost() && !ACT_IsLocal(control))
        return 1;
    const Vec3 position = BOD_PositionOf(control);
    const float at[3] = {position.x, position.y, position.z};
    SND_PlayAt(ACT_SOUND_FOOTSTEP, at, kFootstepVolume, ACT_SOUND_RADIUS);
    return 1;
}

// The last frame of the idle look: back to standing; the callback removes itself.
int32_t IdleLookEnded(uintptr_t data) {
    BOD_SetAction(reinterpret_cast<Bod*>(data), ACTION_STAND);
    return 0;
}

// In a network game, a character that its AI is driving into an attack is handed back to it and
// the handler stops.
bool AiKeepsAttacking(CharacterControl* control) {
    AICharacter* ai = ACT_AiOf(control);
    if (!ACT_IsNetworkGame() || !ai || ai->state != kAttackStateAi || ai->aiDrives != 1)
        return false;
    ai->aiDrives = 0;
    return true;
}

int AttackAction(const CharacterControl* control) {
    return ACT_ZombiePlayerMode(control) ? ACTION_GRAB_START : ACTION_ATTACK;
}

void ClearEatingMarks(CharacterControl* control) {
    ModelInstance* instance = control->instance;
    if (instance->kind != MDL_KIND_SKINNED)
        return;
    for (int32_t b = 0; b < instance->model.skinned->boneCount; ++b)
        instance->boneStates[b] &= ~ACT_BONE_EATING;
}

// The idle look of single player; the plain timer of a network game.
void IdleLook(Bod* bod, CharacterControl* control) {
    const int32_t now = g_GameClock.nowMs;
    // Measured from the start of the instance's current frame.
    const int32_t idle = now - control->instance->startTime;
    if (!ACT_IsNetworkGame()) {
        if (idle > kIdleLookAfterMs) {
            ACT_Play(control, "idle look", 0);
            ACT_SetCallbackAt(bod, control, ACT_LastFrameOffset(control), IdleLookEnded);
            control->timer = now + kIdleTimerMs;
        }
        return;
    }
    if (idle > kNetIdleAfterMs)
        control->timer = now + kIdleTimerMs;
    ACT_SetAiDrives(control, 0);
}

// The use command: bare hands and most objects use, a key card swipes, a time bomb attacks.
void UseCommand(Bod* bod, CharacterControl* control) {
    if (!control->useCommand || ACT_ZombiePlayerMode(control))
        return;
    const uint32_t type = ACT_SelectedType(control);
    if (type >= ACT_FIRST_KEY_CARD && type <= ACT_LAST_KEY_CARD)
        BOD_SetAction(bod, ACTION_SWIPE_CARD);
    else if (type == ACT_TIME_BOMB)
        control->attackCommand = 1;
    else
        BOD_SetAction(bod, ACTION_USE);
}
}  // namespace

void ACT_Ai(Bod* bod, CharacterControl* control) {
    const AICharacter* ai = ACT_AiOf(control);
    if (ACT_IsNetworkGame() && ai && ai->health > 0.0f && ai->aiDrives == 0 && ai->state == 0)
        BOD_SetAction(bod, ACTION_PLAYER_IDLE);
}

void ACT_Stand(Bod* bod, CharacterControl* control) {
    control->busy = 0;
    if (ACT_IsNetworkGame()) {
        if (AiKeepsAttacking(control))
            return;
        ACT_SetAiDrives(control, 0);
        control->inReaction = 0;
    }
    APP_StopCarriedItemSounds(control->playerId);
    const AICharacter* ai = ACT_AiOf(control);
    if (!ai)
        return;
    ClearEatingMarks(control);
    if (!ACT_KeepsAnimation(control)) {
        if (ai->kind == kPlayerKind || ai->posture != kCrawling)
            ACT_Play(control, "stand", 1);
        else
            ACT_Play(control, "crawl chew", 0);
    }
    const bool playerSteers = bod == g_FocusBod && g_FocusAiMode == 0;
    if (playerSteers || (ACT_IsNetworkGame() && !(bod->classMask & BOD_CLASS_NPC))) {
        control->gait = 1;
        BOD_SetAction(bod, ACTION_PLAYER_IDLE);
    } else {
        AI_SyncHeading(bod);
        BOD_SetAction(bod, ACTION_AI);
    }
}

void ACT_PlayerIdle(Bod* bod, CharacterControl* control) {
    control->busy = 0;
    if (AiKeepsAttacking(control))
        return;
    APP_StopCarriedItemSounds(control->playerId);
    IdleLook(bod, control);
    UseCommand(bod, control);
    if (!control->moveCommand && !control->turnCommand) {
        const bool zombieGame = ACT_IsNetworkGame() && APP_GetMultiplayerGameType() == kZombieGameType;
        if (control->attackCommand) {
            const bool remoteZombie = zombieGame && !NET_IsHost() && !ACT_IsLocal(control);
            BOD_SetAction(bod, ACT_ZombiePlayerMode(control) || remoteZombie ? ACTION_GRAB_START : ACTION_ATTACK);
        } else if (control->pushCommand) {
            BOD_SetAction(bod, ACTION_PUSH);
        } else if (!(zombieGame && NET_IsHost()) && control->kickCommand) {
            BOD_SetAction(bod, ACTION_KICK);
        }
    } else {
        // Every matching command sets its action; the last one wins.
        if (control->turnCommand == 1)
            BOD_SetAction(bod, ACTION_ROTATE_LEFT);
        else if (control->turnCommand == 2)
            BOD_SetAction(bod, ACTION_ROTATE_RIGHT);
        if (control->moveCommand == 4)
            BOD_SetAction(bod, ACTION_STEP_BACK);
        else if (control->moveCommand == 3)
            BOD_SetAction(bod, control->gait == 1 ? ACTION_START_WALK : ACTION_START_RUN);
    }
    if (ACT_IsNetworkGame())
        MDL_SetHeading(control, control->heading);
    else
        PHY_MoveCharacter(bod);
}

void ACT_StartWalk(Bod* bod, CharacterControl* control) {
    if (!ACT_KeepsAnimation(control)) {
        if (ACT_ZombiePlayerMode(control) && control->playerId >= 0) {
            ACT_Play(control, control->playerId % 2 ? "zomwalk3" : "zomwalk2", 1);
            ACT_SetFrameMs(control, kZombieWalkFrameMs);
        } else {
            ACT_Play(control, "walk", 1);
        }
    }
    ACT_SetCallbackAt(bod, control, 6, Footstep);
    ACT_SetCallbackAt(bod, control, 24, Footstep);
    control->instance->loopMode = 1;
    BOD_SetAction(bod, ACTION_WALK);
}

void ACT_StartRun(Bod* bod, CharacterControl* control) {
    if (ACT_ZombiePlayerMode(control) && bod->classMask == BOD_CLASS_PLAYER && control->playerId >= 0) {
        ACT_Play(control, control->playerId % 2 ? "zomwalk" : "zomwalk4", 1);
        ACT_SetFrameMs(control, kZombieRunFrameMs);
    } else {
        ACT_Play(control, control->selectedSlot ? "run" : "run no weapon", 1);
        ACT_SetCallbackAt(bod, control, 3, Footstep);
        ACT_SetCallbackAt(bod, control, 11, Footstep);
    }
    control->instance->loopMode = 1;
    BOD_SetAction(bod, ACTION_RUN);
}

void ACT_Walk(Bod* bod, CharacterControl* control) {
    control->busy = 0;
    if (ACT_IsNetworkGame())
        ACT_SetAiDrives(control, 0);
    if (ACT_ZombiePlayerMode(control))
        ACT_SetFrameMs(control, kZombieWalkFrameMs);
    APP_StopCarriedItemSounds(control->playerId);
    if (control->attackCommand) {
        BOD_SetAction(bod, AttackAction(control));
    } else if (control->moveCommand == 4) {
        BOD_SetAction(bod, ACTION_STEP_BACK);
    } else {
        if (control->gait == 2)
            BOD_SetAction(bod, ACTION_START_RUN);
        ACT_TurnByCommand(control, ACT_TURN_RATE);
        if (control->moveCommand != 3)
            BOD_SetAction(bod, ACTION_STAND);
    }
    PHY_MoveCharacter(bod);
}

// "run no weapon" becomes "run" on the same step of the cycle once an object is selected.
namespace {
void SwapToArmedRun(Bod* bod, CharacterControl* control) {
    ModelInstance* instance = control->instance;
    if (instance->kind != MDL_KIND_SKINNED || !ACT_HasSelectedObject(control) || !ACT_IsPlaying(control, "run no weapon"))
        return;
    const SkinnedModel* model = instance->model.skinned;
    const int found = ACT_FindAnimation(control, "run");
    if (found < 0)
        return;
    const ModelAnimation& from = model->animations[instance->animation];
    const ModelAnimation& to = model->animations[found];
    int32_t frame = to.firstFrame + (instance->frame - from.firstFrame);
    if (frame > to.lastFrame)
        frame = to.lastFrame;
    instance->animation = found;
    instance->frame = frame;
    instance->nextFrame = frame + 1 > to.lastFrame ? to.firstFrame : frame + 1;
    instance->blending = 0;
    instance->blendMs = 0;
    ACT_SetCallbackAt(bod, control, 3, Footstep);
    ACT_SetCallbackAt(bod, control, 11, Footstep);
}
}  // namespace

void ACT_Run(Bod* bod, CharacterControl* control) {
    SwapToArmedRun(bod, control);
    APP_StopCarriedItemSounds(control->playerId);
    control->busy = 0;
    if (ACT_IsNetworkGame())
        ACT_SetAiDrives(control, 0);
    if (ACT_ZombiePlayerMode(control))
        ACT_SetFrameMs(control, kZombieRunFrameMs);
    if (control->attackCommand) {
        BOD_SetAction(bod, AttackAction(control));
    } else if (control->moveCommand == 4) {
        BOD_SetAction(bod, ACTION_STEP_BACK);
    } else if (control->gait == 1) {
        BOD_SetAction(bod, ACTION_START_WALK);
    } else {
        ACT_TurnByCommand(control, ACT_TURN_RATE);
        if (control->moveCommand != 3)
            BOD_SetAction(bod, ACTION_STAND);
    }
    PHY_MoveCharacter(bod);
}

void ACT_StepBack(Bod* bod, CharacterControl* control) {
    if (control->moveCommand != 4)
        BOD_SetAction(bod, ACTION_STAND);
    if (!ACT_IsPlaying(control, "step back") && !ACT_KeepsAnimation(control))
        ACT_Play(control, "step back", 1);
    ACT_SetFrameMs(control, kStepBackFrameMs);
    ACT_TurnByCommand(control, ACT_TURN_RATE);
    PHY_MoveCharacter(bod);
}

namespace {
// Turning on the spot: rate +pi (right) or -pi (left); `opposite` is the turn command that
// reverses it and `other` the action that turns the other way.
void Rotate(Bod* bod, CharacterControl* control, float rate, const char* animation, int32_t opposite, int other) {
    control->busy = 0;
    if (ACT_IsNetworkGame())
        ACT_SetAiDrives(control, 0);
    ACT_TurnPlayer(g_ActiveSlot, rate);
    ACT_Play(control, animation, 1);
    if (ACT_IsNetworkGame())
        MDL_SetHeading(control, control->heading);
    else
        PHY_MoveCharacter(bod);
    if (control->moveCommand || control->turnCommand == 0)
        BOD_SetAction(bod, ACTION_STAND);
    if (control->turnCommand == opposite)
        BOD_SetAction(bod, other);
    if (control->attackCommand)
        BOD_SetAction(bod, AttackAction(control));
}
}  // namespace

void ACT_RotateRight(Bod* bod, CharacterControl* control) {
    Rotate(bod, control, ACT_TURN_RATE, "rotate right", 1, ACTION_ROTATE_LEFT);
}

void ACT_RotateLeft(Bod* bod, CharacterControl* control) {
    Rotate(bod, control, -ACT_TURN_RATE, "rotate left", 2, ACTION_ROTATE_RIGHT);
}
