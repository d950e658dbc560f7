// worldsim's characters under the game's own action table (see characters.h).
#include "characters.h"

#include <cstdio>

#include "engine/anm.h"
#include "engine/mdl.h"
#include "world/act.h"
#include "world/act_table.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/wo.h"
#include "world_harness.h"

namespace {
constexpr int kPlayerKind = 1;

const char* const kBody = "graphics\\models\\female.qkm";

std::string AnimationName(const ModelInstance* instance) {
    if (!instance || instance->kind != MDL_KIND_SKINNED)
        return "";
    return instance->model.skinned->animations[instance->animation].name;
}
}  // namespace

void SimWriteCharacterFiles() {
    for (const char* model : kActModelFiles)
        WH_WriteCharacterBody(model);
}

void SimUseGameHandlers(Bod* bod, bool player) {
    CharacterControl* control = WH_Character(bod);
    if (!control)
        return;
    control->head.actionTable = g_ActionTable.data();
    control->gait = 1;
    WOClearInventory(bod);  // as the level start leaves it: nothing carried
    WH_GiveModel(bod, kBody);
    ANM_SetByName(control->instance, "stand", 1);
    if (player)
        bod->hook = ACT_PlayerFrameHook;
    if (AICharacter* ai = WH_Ai(bod))
        ai->kind = player ? kPlayerKind : 0;
}

bool SimCommand(Bod* bod, const std::string& field, int value) {
    CharacterControl* c = WH_Character(bod);
    if (!c)
        return false;
    if (field == "turn")
        c->turnCommand = value;
    else if (field == "move")
        c->moveCommand = value;
    else if (field == "attack")
        c->attackCommand = uint32_t(value);
    else if (field == "use")
        c->useCommand = uint32_t(value);
    else if (field == "push")
        c->pushCommand = uint32_t(value);
    else if (field == "kick")
        c->kickCommand = uint32_t(value);
    else if (field == "gait")
        c->gait = value;
    else
        return false;
    return true;
}

bool SimSelect(Bod* bod, int type) {
    CharacterControl* c = WH_Character(bod);
    if (!c)
        return false;
    if (type < 0) {
        c->selectedSlot = 0;
        return true;
    }
    // The carried object: a bod of the type that takes no part in the world's update.
    Bod* object = WH_MakeObject(BOD_CLASS_OBJECT, uint32_t(type), {0, 0, 0});
    static_cast<BodControl*>(object->control)->actionTable = nullptr;
    object->active = 0;
    c->items[1] = {uint32_t(type), object, 0};
    c->selectedSlot = 1;
    return true;
}

void SimCharacterLines(const std::map<std::string, Bod*>& bods, std::map<std::string, SimCharacterState>* seen,
                       std::vector<std::string>* lines, bool print) {
    for (const auto& [name, bod] : bods) {
        const CharacterControl* c = WH_Character(bod);
        if (!c)
            continue;
        SimCharacterState& state = (*seen)[name];
        const int animation = c->instance ? c->instance->animation : -1;
        if (print && animation != state.animation && animation >= 0)
            lines->push_back("anim " + name + " " + AnimationName(c->instance));
        state.animation = animation;
        const AICharacter* ai = WH_Ai(bod);
        const float health = ai ? ai->health : -1.0f;
        if (print && health != state.health) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", health);
            lines->push_back("health " + name + " " + text);
        }
        state.health = health;
    }
}

bool SimReportsCall(const std::string& call) {
    static const char* const kPrefixes[] = {"SND_Play", "ACT_KillCharacter", "AI_OnDamaged", "AI_OnHurt",
                                            "AI_Release", "AI_TakeBack", "AI_TurnOnAttacker", "CMB_RestoreLimbs"};
    for (const char* prefix : kPrefixes)
        if (call.rfind(prefix, 0) == 0)
            return true;
    return false;
}
