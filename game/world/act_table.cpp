// The characters' action table: handler i runs while a character's action is i. The handlers take
// the character's own record; each slot adapts one to the bods' handler type, and a character
// whose model never loaded is left alone by every handler (it stays inactive, nothing to play).
#include "world/act_table.h"

#include "world/character.h"

namespace {

template <ActionHandler Handler>
void Run(Bod* bod, void* control) {
    auto* character = static_cast<CharacterControl*>(control);
    if (!character || !character->instance)
        return;
    Handler(bod, character);
}

constexpr std::array<BodHandler, ACT_ACTION_COUNT> MakeTable() {
    std::array<BodHandler, ACT_ACTION_COUNT> t{};
    for (BodHandler& slot : t)
        slot = ACT_NoAction;
    t[ACTION_AI] = Run<ACT_Ai>;
    t[ACTION_WALK] = Run<ACT_Walk>;
    t[ACTION_RUN] = Run<ACT_Run>;
    t[ACTION_SWING] = Run<ACT_Swing>;
    t[ACTION_STAB] = Run<ACT_Stab>;
    t[ACTION_THRUST] = Run<ACT_Thrust>;
    t[ACTION_START_FIRE] = Run<ACT_StartFire>;
    t[ACTION_FIRE_PROJECTILE] = Run<ACT_FireProjectile>;
    t[ACTION_FALL_DEAD] = Run<ACT_FallDead>;
    t[ACTION_DIE_AT_TIMER] = Run<ACT_DieAtTimer>;
    t[ACTION_DIE] = Run<ACT_Die>;
    t[ACTION_STAND] = Run<ACT_Stand>;
    t[ACTION_RECOIL_BACK] = Run<ACT_RecoilBack>;
    t[ACTION_RECOIL_FORWARD] = Run<ACT_RecoilForward>;
    t[ACTION_CHEW_HIT_FRONT] = Run<ACT_ChewHitFront>;
    t[ACTION_CHEW_HIT_BACK] = Run<ACT_ChewHitBack>;
    t[ACTION_START_WALK] = Run<ACT_StartWalk>;
    t[ACTION_START_RUN] = Run<ACT_StartRun>;
    t[ACTION_PLAYER_IDLE] = Run<ACT_PlayerIdle>;
    t[ACTION_ATTACK] = Run<ACT_Attack>;
    t[ACTION_FINISH] = Run<ACT_Finish>;
    t[ACTION_FINISH_STEER] = Run<ACT_FinishSteer>;
    t[ACTION_END_UZI] = Run<ACT_EndUzi>;
    t[ACTION_DEATH] = Run<ACT_Death>;
    t[ACTION_SHOCK] = Run<ACT_Shock>;
    t[ACTION_SHOCKED] = Run<ACT_Shocked>;
    t[ACTION_SHOCK_DAMAGE] = Run<ACT_ShockDamage>;
    t[ACTION_LAND_OK] = Run<ACT_LandOk>;
    t[ACTION_FALLING] = Run<ACT_Falling>;
    t[ACTION_USE] = Run<ACT_Use>;
    t[ACTION_USE_WAIT] = Run<ACT_UseWait>;
    t[ACTION_LAND_CROUCH] = Run<ACT_LandCrouch>;
    t[ACTION_LANDING] = Run<ACT_Landing>;
    t[ACTION_PUSH] = Run<ACT_Push>;
    t[ACTION_PUSHING] = Run<ACT_Pushing>;
    t[ACTION_PUSH_END] = Run<ACT_PushEnd>;
    t[ACTION_KICK] = Run<ACT_Kick>;
    t[ACTION_KICKING] = Run<ACT_Kicking>;
    t[ACTION_SWIPE_CARD] = Run<ACT_SwipeCard>;
    t[ACTION_SWIPE_CARD_WAIT] = Run<ACT_SwipeCardWait>;
    t[ACTION_SHOVED] = Run<ACT_Shoved>;
    t[ACTION_AIRBORNE] = Run<ACT_Airborne>;
    t[ACTION_JUMP] = Run<ACT_Jump>;
    t[ACTION_LEVEL_PULL_START] = Run<ACT_LevelPullStart>;
    t[ACTION_LEVEL_PULL] = Run<ACT_LevelPull>;
    t[ACTION_START_EAT] = Run<ACT_StartEat>;
    t[ACTION_EAT] = Run<ACT_Eat>;
    t[ACTION_GET_UP] = Run<ACT_GetUp>;
    t[ACTION_BACK_TO_AI] = Run<ACT_BackToAi>;
    t[ACTION_REACTION_END] = Run<ACT_ReactionEnd>;
    t[ACTION_GRINDER_TAKEN] = Run<ACT_GrinderTaken>;
    t[ACTION_GRINDER_SHRED] = Run<ACT_GrinderShred>;
    t[ACTION_MACHINE_RELEASE] = Run<ACT_MachineRelease>;
    t[ACTION_SHOVE_END] = Run<ACT_ShoveEnd>;
    t[ACTION_PULL_CATCH] = Run<ACT_PullCatch>;
    t[ACTION_CRUSHED] = Run<ACT_Crushed>;
    t[ACTION_FARM_MACHINE] = Run<ACT_FarmMachine>;
    t[ACTION_DEADLY_ZONE] = Run<ACT_DeadlyZone>;
    t[ACTION_STEER_MACHINE] = Run<ACT_SteerMachine>;
    t[ACTION_BLOWN_UP] = Run<ACT_BlownUp>;
    t[ACTION_XRAY] = Run<ACT_XRay>;
    t[ACTION_STEP_BACK] = Run<ACT_StepBack>;
    t[ACTION_ROTATE_RIGHT] = Run<ACT_RotateRight>;
    t[ACTION_ROTATE_LEFT] = Run<ACT_RotateLeft>;
    t[ACTION_THROW] = Run<ACT_Throw>;
    t[ACTION_MELEE] = Run<ACT_Melee>;
    t[ACTION_GRAB_START] = Run<AI_GrabStart>;
    t[ACTION_GRABBING] = Run<AI_Grabbing>;
    t[ACTION_FEEDING] = Run<AI_Feeding>;
    t[ACTION_HELD] = Run<AI_Held>;
    t[ACTION_UZI_START] = Run<ACT_UziStart>;
    t[ACTION_UZI_STEER] = Run<ACT_FireSteer>;
    t[ACTION_UZI_REPEAT] = Run<ACT_UziRepeat>;
    t[ACTION_ONE_HAND_START] = Run<ACT_OneHandStart>;
    t[ACTION_ONE_HAND_STEER] = Run<ACT_FireSteer>;
    t[ACTION_ONE_HAND_REPEAT] = Run<ACT_OneHandRepeat>;
    t[ACTION_ONE_HAND_HOLD] = Run<ACT_FireHold>;
    t[ACTION_RIFLE_START] = Run<ACT_RifleStart>;
    t[ACTION_RIFLE_STEER] = Run<ACT_FireSteer>;
    t[ACTION_RIFLE_REPEAT] = Run<ACT_RifleRepeat>;
    t[ACTION_RIFLE_HOLD] = Run<ACT_FireHold>;
    t[ACTION_AUTO_START] = Run<ACT_AutoStart>;
    t[ACTION_AUTO_STEER] = Run<ACT_FireSteer>;
    t[ACTION_AUTO_REPEAT] = Run<ACT_AutoRepeat>;
    t[ACTION_AUTO_HOLD] = Run<ACT_FireHold>;
    t[ACTION_FINISH_THEN_AI] = Run<ACT_FinishThenAi>;
    t[ACTION_SHOTGUN_REPEAT] = Run<ACT_ShotgunRepeat>;
    return t;
}

}  // namespace

void ACT_NoAction(Bod*, void*) {}

constinit const std::array<BodHandler, ACT_ACTION_COUNT> g_ActionTable = MakeTable();
