// The reaction actions: playing an animation to its end and handing the character back to the
// player or the AI, hit reactions, the electric shock, falls and landings, the jump's take-off and
// a zombie's feeding.
#include "common/game_clock.h"
#include "common/match.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "net/msg.h"
#include "net/net.h"
#include "shell/snd.h"
#include "world/act.h"
#include "world/act_support.h"
#include "world/act_table.h"
#include "world/bod_record.h"
#include "world/game_frame.h"
#include "world/mdl_world.h"
#include "world/phy.h"
#include "world/snd_pos.h"

namespace {
constexpr int32_t kRecoilFrameMs = 27;
constexpr int32_t kNetRecoilFrameMs = 13;
constexpr int32_t kShockMs = 1000;
constexpr int32_t kShockDamage = 8;
constexpr int32_t kShockVolume = 90;
constexpr float kBleedSeconds = 5.0f;
constexpr float kDeadlyLandingSpeed = -1128.0f;
constexpr int32_t kCrouchFrameMs = 200;
constexpr int32_t kDieLandingFrameMs = 45;
constexpr float kJumpUp = 600.0f;
constexpr float kJumpForward = 0.75f;
constexpr float kJumpReactionBoost = 1.3f;
constexpr float kJumpVerticalSpeed = 15.0f;
constexpr int32_t kJumpFrameMs = 150;
// The jump hands over to an empty slot: the character keeps its velocity until another part
// sets its action.
constexpr int kActionAfterJump = 48;
constexpr int32_t kEatMs = 12500;
constexpr int32_t kChewEveryMs = 350;
constexpr int32_t kChewVolume = 50;
constexpr int32_t kDeathByShock = 2;
constexpr int32_t kZombieGameType = 6;

// The chew sounds by chew index.
constexpr uint32_t kChewSounds[16] = {0x1001b, 0x1001c, 0x1001d, 0x1001e, 0x1001d, 0x1001c, 0x1001e, 0x1001b,
                                      0x1001d, 0x1001c, 0x1001e, 0x1001d, 0x1001c, 0x1001b, 0x1001e, 0x1001c};

bool Dying(const CharacterControl* control) {
    return ACT_Health(control) < 1.0f;
}

bool OnClient() {
    return ACT_IsNetworkGame() && !NET_IsHost();
}

// Advances the animation: true once a play-once animation has reached its end.
bool PlayedToTheEnd(CharacterControl* control) {
    ANM_Update(control->instance);
    return ACT_AnimationEnded(control);
}

// Hands the character back to its AI.
void BackToAi(Bod* bod) {
    BOD_SetAction(bod, ACTION_AI);
    AI_TakeBack(bod);
}

// Host or single player: 8 damage, the hurt reaction, and death below 1.
void DealShockDamage(Bod* bod, CharacterControl* control) {
    AICharacter* ai = ACT_AiOf(control);
    if (!ai)
        return;
    if (ACT_IsNetworkGame())
        AI_OnDamaged(ai, ai, float(kShockDamage));
    if (ai->health == 0.0f)
        return;
    ai->health -= float(kShockDamage);
    AI_OnHurt(ai);
    if (ai->health < 1.0f) {
        ai->health = 0.0f;
        ACT_KillCharacter(bod, nullptr, kDeathByShock, 1);
    }
}

void SetBoneMark(CharacterControl* control, int namedBone, bool set) {
    ModelInstance* instance = control->instance;
    if (instance->kind != MDL_KIND_SKINNED)
        return;
    const int32_t bone = instance->model.skinned->namedBones[namedBone];
    if (bone < 0)
        return;
    if (set)
        instance->boneStates[bone] |= ACT_BONE_EATING;
    else
        instance->boneStates[bone] &= ~ACT_BONE_EATING;
}

void MarkHands(CharacterControl* control, bool set) {
    SetBoneMark(control, MDL_BONE_LHAND, set);
    SetBoneMark(control, MDL_BONE_RHAND, set);
}

// Recoils: the player who steers the character keeps it (21), others go back to the AI (56).
void Recoil(Bod* bod, CharacterControl* control, const char* animation) {
    control->inReaction = 1;
    ACT_Play(control, animation, 0);
    const bool netPlayer = ACT_IsNetworkGame() && bod->classMask == BOD_CLASS_PLAYER;
    ACT_SetFrameMs(control, netPlayer ? kNetRecoilFrameMs : kRecoilFrameMs);
    if (AI_IsFocusUnderPlayer(bod)) {
        BOD_SetAction(bod, ACTION_FINISH_STEER);
    } else if (!ACT_IsNetworkGame()) {
        BOD_SetAction(bod, ACTION_REACTION_END);
        AI_Release(bod);
    } else {
        const bool steered = control->playerId != -1 && MSG_GetPlayerFlag(control->playerId);
        BOD_SetAction(bod, steered ? ACTION_FINISH_STEER : ACTION_REACTION_END);
    }
}

void ChewHit(Bod* bod, CharacterControl* control, const char* animation) {
    control->inReaction = 1;
    ACT_Play(control, animation, 0);
    if (AI_IsFocusUnderPlayer(bod)) {
        BOD_SetAction(bod, ACTION_FINISH);
    } else {
        BOD_SetAction(bod, ACTION_REACTION_END);
        AI_Release(bod);
    }
}
}  // namespace

void ACT_Finish(Bod* bod, CharacterControl* control) {
    if (PlayedToTheEnd(control)) {
        control->inReaction = 0;
        BOD_SetAction(bod, Dying(control) ? ACTION_DIE : ACTION_STAND);
    }
    AI_SyncHeading(bod);
}

void ACT_FinishSteer(Bod* bod, CharacterControl* control) {
    const bool ended = PlayedToTheEnd(control);
    ACT_TurnByCommand(control, ACT_STEER_RATE);
    MDL_SetHeading(control, control->heading);
    if (control->moveCommand || control->kickCommand || control->useCommand || control->pushCommand)
        BOD_SetAction(bod, ACTION_PLAYER_IDLE);
    if (!ended)
        return;
    control->inReaction = 0;
    // One outcome: a dying character dies, a network game goes back to the player's idle, single
    // player stands.
    if (Dying(control)) {
        BOD_SetAction(bod, ACTION_DIE);
    } else if (ACT_IsNetworkGame()) {
        BOD_SetAction(bod, ACTION_PLAYER_IDLE);
        if (bod->classMask == BOD_CLASS_PLAYER)
            ACT_Play(control, "stand", 0);
    } else {
        BOD_SetAction(bod, ACTION_STAND);
    }
}

void ACT_FinishThenAi(Bod* bod, CharacterControl* control) {
    if (!PlayedToTheEnd(control))
        return;
    if (ACT_IsNetworkGame() || AI_IsFocusUnderPlayer(bod))
        BOD_SetAction(bod, ACTION_STAND);
    else
        BackToAi(bod);
}

void ACT_FallDead(Bod* bod, CharacterControl* control) {
    ACT_Play(control, "die", 0);
    control->instance->loopMode = 0;
    BOD_SetAction(bod, ACTION_FINISH);
}

void ACT_RecoilBack(Bod* bod, CharacterControl* control) {
    Recoil(bod, control, "recoil back");
}

void ACT_RecoilForward(Bod* bod, CharacterControl* control) {
    Recoil(bod, control, "recoil forward");
}

void ACT_ChewHitFront(Bod* bod, CharacterControl* control) {
    ChewHit(bod, control, "chew hit front");
}

void ACT_ChewHitBack(Bod* bod, CharacterControl* control) {
    ChewHit(bod, control, "chew hit back");
}

void ACT_ReactionEnd(Bod* bod, CharacterControl* control) {
    if (!PlayedToTheEnd(control))
        return;
    control->inReaction = 0;
    // A dying character dies; it is not handed back to its AI.
    if (Dying(control)) {
        BOD_SetAction(bod, ACTION_DIE);
        return;
    }
    const bool zombieGame = ACT_IsNetworkGame() && APP_GetMultiplayerGameType() == kZombieGameType;
    if (zombieGame && bod->classMask == BOD_CLASS_PLAYER && !MSG_GetPlayerFlag(control->playerId)) {
        const CharacterControl* attacker = BOD_CharacterOf(control->lastHitBod);
        const bool character = control->lastHitBod &&
                               (control->lastHitBod->classMask & (BOD_CLASS_PLAYER | BOD_CLASS_NPC)) != 0;
        if (character && attacker && attacker->ai)
            AI_TurnOnAttacker(ACT_AiOf(attacker), ACT_AiOf(control));
    }
    BackToAi(bod);
}

void ACT_BackToAi(Bod* bod, CharacterControl* control) {
    if (PlayedToTheEnd(control))
        BackToAi(bod);
}

void ACT_Shock(Bod* bod, CharacterControl* control) {
    AI_Release(bod);
    ACT_Play(control, "shock", 1);
    control->inReaction = control->moveCommand == 4 ? 1 : 0;
    control->timer = g_GameClock.nowMs + kShockMs;
    if (!ACT_IsNetworkGame() || ACT_IsLocal(control))
        SND_PlayOnObject(control, ACT_SOUND_SHOCK, kShockVolume, 0, ACT_SOUND_RADIUS);
    ANM_StartShockEffect(control, 0.0f);
    if (!OnClient())
        DealShockDamage(bod, control);
    BOD_SetAction(bod, ACTION_SHOCKED);
}

void ACT_Shocked(Bod* bod, CharacterControl* control) {
    PHY_MoveCharacter(bod);
    if (g_GameClock.nowMs > control->timer)
        BOD_SetAction(bod, ACTION_SHOCK_DAMAGE);
}

void ACT_ShockDamage(Bod* bod, CharacterControl* control) {
    ANM_StartBleedEffect(control, kBleedSeconds);
    BOD_SetAction(bod, ACTION_STAND);
    if (!OnClient())
        DealShockDamage(bod, control);
    control->inReaction = 0;
}

void ACT_LandOk(Bod* bod, CharacterControl* control) {
    AI_Release(bod);
    ACT_Play(control, "land ok", 0);
    ACT_SetFrameMs(control, 0);
    control->landed = 1;
    BOD_SetAction(bod, ACTION_FALLING);
}

void ACT_Falling(Bod* bod, CharacterControl* control) {
    PHY_MoveCharacter(bod);
    if (!PHY_FallStep(bod))
        return;
    if (control->velocity[1] > kDeadlyLandingSpeed) {
        ACT_Play(control, "land crouch", 0);
        ACT_SetFrameMs(control, kCrouchFrameMs);
    } else {
        ACT_Play(control, "land die", 0);
        ACT_SetFrameMs(control, kDieLandingFrameMs);
    }
    BOD_SetAction(bod, ACTION_LAND_CROUCH);
}

void ACT_LandCrouch(Bod* bod, CharacterControl* control) {
    ACT_Play(control, "land crouch", 0);
    ACT_SetFrameMs(control, kCrouchFrameMs);
    BOD_SetAction(bod, ACTION_LANDING);
}

void ACT_Landing(Bod* bod, CharacterControl* control) {
    PHY_MoveCharacter(bod);
    if (!ACT_AnimationEnded(control))
        return;
    if (!AI_IsFocusUnderPlayer(bod))
        BackToAi(bod);
    BOD_SetAction(bod, ACTION_STAND);
}

void ACT_Airborne(Bod* bod, CharacterControl*) {
    PHY_MoveCharacter(bod);
}

void ACT_Jump(Bod* bod, CharacterControl* control) {
    ModelInstance* instance = control->instance;
    // The forward speed is the current frame's root motion over the frame time; a held animation
    // (frame time 0) gives none.
    float forward = 0.0f;
    if (instance->kind == MDL_KIND_SKINNED && instance->frameMs > 0) {
        const float frameSeconds = float(instance->frameMs) * 0.001f;
        forward = -instance->model.skinned->rootMotion[instance->frame].z / frameSeconds * kJumpForward;
        if (control->inReaction)
            forward *= kJumpReactionBoost;
    }
    const Vec3 jump{0.0f, kJumpUp, forward};
    Vec3 velocity;
    MTH_RotateVector(&velocity, &jump, &control->transform);
    control->velocity[0] = velocity.x;
    control->velocity[1] = kJumpVerticalSpeed;
    control->velocity[2] = velocity.z;
    ACT_SetFrameMs(control, kJumpFrameMs);
    control->landed = 1;
    BOD_SetAction(bod, kActionAfterJump);
}

void ACT_StartEat(Bod* bod, CharacterControl* control) {
    ACT_Play(control, "start eat", 0);
    BOD_SetAction(bod, ACTION_EAT);
    AI_Release(bod);
    control->timer = 0;
    MarkHands(control, true);
}

void ACT_Eat(Bod* bod, CharacterControl* control) {
    ANM_Update(control->instance);
    const int32_t now = g_GameClock.nowMs;
    AICharacter* ai = ACT_AiOf(control);
    if (control->timer == 0) {
        if (ACT_IsPlaying(control, "start eat") && ACT_AnimationEnded(control)) {
            control->timer = now + kEatMs;
            ACT_Play(control, "eat", 1);
            if (ai) {
                ai->lastChewMs = now;
                ai->chewIndex = 0;
            }
        }
        return;
    }
    if (now >= control->timer) {
        MarkHands(control, false);
        ACT_Play(control, "stop eat", 0);
        BOD_SetAction(bod, ACTION_BACK_TO_AI);
        return;
    }
    if (ai && now - ai->lastChewMs > kChewEveryMs) {
        const Vec3 position = BOD_PositionOf(control);
        const float at[3] = {position.x, position.y, position.z};
        const int32_t index = ai->chewIndex >= 0 && ai->chewIndex < 16 ? ai->chewIndex : 0;
        SND_PlayAt(kChewSounds[index], at, kChewVolume, ACT_SOUND_RADIUS);
        ai->chewIndex = (index + 1) % 16;
        ai->lastChewMs = now;
    }
}

void ACT_GetUp(Bod* bod, CharacterControl* control) {
    ACT_Play(control, "get up", 0);
    BOD_SetAction(bod, ACTION_BACK_TO_AI);
}
