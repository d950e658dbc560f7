// The world objects' behaviour table and the behaviours of doors, switches, the padlock,
// conveyors, the toggle and dropped objects (see wo_behaviour.h).
//
// A door moves its landscape object's reference vertex in two legs: from the closed position C
// across to the middle M, then along to the open position O, and back. Each leg moves the vertex
// straight toward the leg's end at the door's speed and stops exactly there once the rest of the
// way is no longer than one frame's step, whatever the door's heading.
#include "world/wo_behaviour.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/game_clock.h"
#include "common/match.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "shell/snd.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/game_frame.h"
#include "world/game_state.h"
#include "world/phy.h"
#include "world/snd_pos.h"
#include "world/thr.h"
#include "net/net.h"
#include "ui/hud.h"
#include "ui/txt.h"
#include "win32.h"
#include "world/ai.h"
#include "world/character.h"
#include "world/wo.h"
#include "world/wo_slots.h"

Bod* g_WOCurrentSwitch = nullptr;
Bod* g_WOSwitchedObject = nullptr;
int32_t g_WOToggleFlag = 0;

namespace {

constexpr int kStateNone = 0;
constexpr int kDoorStartVolume = 70;
constexpr int kSoundFrames = 5;        // door sounds only once the level has run this many frames
constexpr int32_t kDoorShiftLevel = 5;
constexpr float kDoorShift = 15.0f;
constexpr int kBeltVolume = 50;
constexpr float kBeltRadius = 1500.0f;
constexpr float kDropSpeed = 250.0f;
constexpr int32_t kSettleMs = 750;
constexpr int32_t kSettleMsNetwork = 1500;
constexpr float kAboveGround = 50.0f;
constexpr uint8_t kMsgReturned = 25;

// Each table slot has a handler of the table's own type; the empty slots share this one.
void NoBehaviour(Bod*, void*) {}

WorldObjectControl* Object(void* record) { return static_cast<WorldObjectControl*>(record); }

bool SoundsAllowed() { return APP_GetLevelFrameCount() > kSoundFrames; }

// ---- Doors ----

const WODoorRecord* DoorOf(const WorldObjectControl* c) { return static_cast<const WODoorRecord*>(c->param10); }

LandscapeObject* LandscapeObjectOf(const WorldObjectControl* c) {
    const Landscape* l = g_Landscape;
    if (!l || !l->objects || c->landscapeObject < 1 || int32_t(c->landscapeObject) > l->objectCount)
        return nullptr;
    return &l->objects[c->landscapeObject];
}

bool ReferenceOf(const WorldObjectControl* c, Vec3* out) {
    const LandscapeObject* o = LandscapeObjectOf(c);
    const Landscape* l = g_Landscape;
    if (!o || o->positionRef < 1 || o->positionRef > l->vertexCount)
        return false;
    *out = l->vertices[o->positionRef].position;
    return true;
}

void MoveReference(const WorldObjectControl* c, const Vec3& to) {
    PHY_MoveLandscapeObjectTo(int32_t(c->landscapeObject), to.x, to.y, to.z);
}

bool OnAlongLeg(const WorldObjectControl* c) {
    const WODoorRecord* door = DoorOf(c);
    Vec3 p;
    if (!door || !ReferenceOf(c, &p))
        return false;
    const float along = (p.x - c->doorMiddle.x) * std::sin(door->heading) + (p.z - c->doorMiddle.z) * std::cos(door->heading);
    return along > 1e-3f;
}

// One frame of a leg toward `target`: true when the door has reached it (and stands exactly there).
bool DoorStep(WorldObjectControl* c, const Vec3& target) {
    const WODoorRecord* door = DoorOf(c);
    Vec3 p;
    if (!door || !ReferenceOf(c, &p))
        return true;
    const float dx = target.x - p.x, dz = target.z - p.z;
    const float rest = std::sqrt(dx * dx + dz * dz);
    const float step = std::fabs(door->speed) * g_GameClock.deltaSeconds;
    if (rest <= step || rest == 0.0f) {
        c->doorVelocity[0] = c->doorVelocity[1] = 0.0f;
        MoveReference(c, target);
        return true;
    }
    c->doorVelocity[0] = dx / rest * std::fabs(door->speed);
    c->doorVelocity[1] = dz / rest * std::fabs(door->speed);
    MoveReference(c, Vec3{p.x + dx / rest * step, target.y, p.z + dz / rest * step});
    return false;
}

bool HasAcross(const WorldObjectControl* c) {
    const WODoorRecord* door = DoorOf(c);
    return door && door->across != 0.0f;
}

void StartOpening(Bod* bod, WorldObjectControl* c, bool sound) {
    if (sound && !APP_IsMultiplayerGame() && SoundsAllowed())
        SND_PlayAtVolume(WO_SOUND_DOOR_START, kDoorStartVolume);
    c->param11 = WO_DOOR_OPENING;
    BOD_SetAction(bod, HasAcross(c) && !OnAlongLeg(c) ? WO_BEHAVIOUR_DOOR_TO_MIDDLE : WO_BEHAVIOUR_DOOR_TO_OPEN);
}

void DoorOpenWith(Bod* bod, WorldObjectControl* c, bool sound) {
    switch (c->param11) {
    case WO_DOOR_CLOSED:
        StartOpening(bod, c, sound);
        break;
    case WO_DOOR_OPEN:
        BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
        break;
    default:  // opening goes on; a closing door opens again
        c->param11 = WO_DOOR_OPENING;
        BOD_SetAction(bod, HasAcross(c) && !OnAlongLeg(c) ? WO_BEHAVIOUR_DOOR_TO_MIDDLE : WO_BEHAVIOUR_DOOR_TO_OPEN);
        break;
    }
}

void DoorOpen(Bod* bod, void* record) { DoorOpenWith(bod, Object(record), true); }

void DoorClose(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    switch (c->param11) {
    case WO_DOOR_CLOSED:
        BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
        return;
    case WO_DOOR_OPEN:
        if (SoundsAllowed())
            SND_Play(WO_SOUND_DOOR_CLOSING);
        break;
    default:
        break;
    }
    c->param11 = WO_DOOR_CLOSING;
    BOD_SetAction(bod, OnAlongLeg(c) ? WO_BEHAVIOUR_DOOR_BACK_TO_MIDDLE : WO_BEHAVIOUR_DOOR_TO_CLOSED);
}

void DoorToMiddle(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (DoorStep(c, c->doorMiddle))
        BOD_SetAction(bod, WO_BEHAVIOUR_DOOR_TO_OPEN);
}

void DoorToOpen(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (DoorStep(c, c->doorOpen)) {
        c->param11 = WO_DOOR_OPEN;
        BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
    }
}

void DoorShut(Bod* bod, WorldObjectControl* c, bool sound) {
    c->param11 = WO_DOOR_CLOSED;
    if (sound && SoundsAllowed())
        SND_Play(WO_SOUND_DOOR_SHUT);
    BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
}

void DoorBackToMiddle(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (!DoorStep(c, c->doorMiddle))
        return;
    if (HasAcross(c))
        BOD_SetAction(bod, WO_BEHAVIOUR_DOOR_TO_CLOSED);
    else
        DoorShut(bod, c, true);
}

void DoorToClosed(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (DoorStep(c, c->doorClosed))
        DoorShut(bod, c, false);
}

void DoorInit(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    const WODoorRecord* door = DoorOf(c);
    Vec3 closed;
    if (!door || !ReferenceOf(c, &closed)) {
        BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
        return;
    }
    if (g_LevelNumber == kDoorShiftLevel) {
        closed.x += kDoorShift;
        MoveReference(c, closed);
    }
    const float h = door->heading;
    c->doorClosed = closed;
    c->doorMiddle = {closed.x + door->across * std::cos(h), closed.y, closed.z - door->across * std::sin(h)};
    c->doorOpen = {c->doorMiddle.x + door->along * std::sin(h), closed.y, c->doorMiddle.z + door->along * std::cos(h)};
    if (APP_IsMultiplayerGame()) {
        c->param11 = WO_DOOR_CLOSED;
        BOD_SetAction(bod, WO_BEHAVIOUR_DOOR_OPEN);
    } else if (c->param11 == WO_DOOR_OPEN) {
        c->param11 = WO_DOOR_CLOSED;
        DoorOpenWith(bod, c, false);
    } else {
        c->param11 = WO_DOOR_CLOSED;
        BOD_SetAction(bod, WO_BEHAVIOUR_IDLE);
    }
}

// ---- Switches, padlock, toggle ----

void Switch(Bod* bod, WorldObjectControl* c, uint32_t on) {
    g_WOCurrentSwitch = bod;
    if (!c->disabled) {
        c->on = on;
        Bod* target = on ? c->onObject : c->offObject;
        if (target) {
            g_WOSwitchedObject = target;
            BOD_SetAction(target, int(on ? c->param6 : c->param8));
        }
    }
    BOD_SetAction(bod, kStateNone);
}

void SwitchOff(Bod* bod, void* record) { Switch(bod, Object(record), 0); }
void SwitchOn(Bod* bod, void* record) { Switch(bod, Object(record), 1); }

void Padlock(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (c->name && std::strncmp(c->name, "padlock", 7) == 0)
        if (LandscapeObject* o = LandscapeObjectOf(c))
            o->active = 0;
    SND_Play(WO_SOUND_CLICK);
    BOD_SetAction(bod, c->on == 1 ? WO_BEHAVIOUR_SWITCH_OFF : WO_BEHAVIOUR_SWITCH_ON);
}

void Toggle(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    c->on ^= 1u;
    g_WOToggleFlag = int32_t(c->on);
    BOD_SetAction(bod, kStateNone);
}

// ---- Conveyors ----

bool BeltRuns(uint32_t mode) { return mode == 1 || mode == 3; }

void ApplyBelt(Bod* bod, WorldObjectControl* c, uint32_t mode) {
    const auto* belt = static_cast<const WOConveyorRecord*>(c->param10);
    const bool wasRunning = BeltRuns(c->param11);
    c->param11 = mode;
    if (!belt)
        return;
    const float rate = mode == 1 ? -belt->speed : mode == 3 ? belt->speed : 0.0f;
    Landscape* l = g_Landscape;
    for (int32_t m : belt->materials) {
        if (!l || !l->materials || m < 1 || m > l->materialCount)
            continue;
        LandscapeMaterial& x = l->materials[m];
        x.uvAnimKind = 1;
        x.uvAnimAngle = 0.0f;
        x.uvAnimR = 0.0f;
        x.uvAnimCu = x.uvAnimCv = 0.0f;
        x.uvAnimDu = 0.0f;
        x.uvAnimDv = rate;
    }
    if (wasRunning && !BeltRuns(mode))
        SND_StopEmitter(bod);
    if (BeltRuns(mode) && !wasRunning)
        c->emitter = SND_PlayOnObject(c, WO_SOUND_BELT, kBeltVolume, 1, kBeltRadius);
    if (!BeltRuns(mode))
        c->emitter = nullptr;
}

void ConveyorSet(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    const auto* belt = static_cast<const WOConveyorRecord*>(c->param10);
    const uint32_t mode = belt ? uint32_t(belt->wantedMode) & 3u : 0u;
    ApplyBelt(bod, c, mode);
    BOD_SetAction(bod, kStateNone);
}

void ConveyorStep(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    SND_Play(WO_SOUND_CLICK);
    ApplyBelt(bod, c, (c->param11 + 1) & 3u);
    BOD_SetAction(bod, kStateNone);
}

// ---- Dropped objects ----

void DropStart(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    c->velocity[0] = kDropSpeed * std::sin(c->dropHeading);
    c->velocity[1] = kDropSpeed;
    c->velocity[2] = kDropSpeed * std::cos(c->dropHeading);
    BOD_SetAction(bod, WO_BEHAVIOUR_DROP_FALL);
}

void GroundObject(WorldObjectControl* c) {
    Vec3 at = BOD_PositionOf(c);
    const int32_t surface = LND_LocateSurface(int32_t(c->surface), &at);
    if (surface <= 0)
        return;
    c->surface = uint32_t(surface);
    at.y = float(LND_GetGroundHeight(&at, surface)) + kAboveGround;
    BOD_SetPosition(c, at);
}

void DropFall(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    if (!THR_FlightStep(bod, c))
        return;
    c->timer = g_GameClock.nowMs + (APP_IsMultiplayerGame() ? kSettleMsNetwork : kSettleMs);
    GroundObject(c);
    BOD_SetAction(bod, WO_BEHAVIOUR_DROP_SETTLE);
}

void DropSettle(Bod* bod, void* record) {
    WorldObjectControl* c = Object(record);
    GroundObject(c);
    if (g_GameClock.nowMs >= c->timer)
        BOD_SetAction(bod, WO_BEHAVIOUR_LYING);
}

}  // namespace

void WOReturnToPlace(WorldObjectControl* c) {
    if (!c)
        return;
    const Matrix34& saved = c->startTransform;
    if (saved.m[9] == 0.0f && saved.m[10] == 0.0f && saved.m[11] == 0.0f)
        return;
    c->transform = saved;
    GroundObject(c);
    if (APP_IsMultiplayerGame() && NET_IsHost()) {
        uint8_t message[16] = {kMsgReturned, c->netId, 0, 0};
        const float position[3] = {c->transform.m[9], c->transform.m[10], c->transform.m[11]};
        std::memcpy(message + 4, position, sizeof position);
        NET_Broadcast(APP_GetLocalPlayerSlot(), message, int(sizeof message));
    }
}

const char* const WO_NEED_PHRASE = "You need the";        // chosen
const char* const WO_MEMBER_NEEDS_PHRASE = "needs the";  // chosen

int WOUseStatic(uint32_t landscapeObject, Bod* userBod) {
    if (APP_IsMultiplayerGame())
        return 0;
    Bod* staticBod = BOD_FindStaticByObjectIndex(landscapeObject);
    WorldObjectControl* s = BOD_ObjectOf(staticBod);
    if (!s || s->useBehaviour >= uint32_t(BOD_OBJECT_BEHAVIOURS))
        return 0;
    const char* name = s->name ? s->name : "";
    if (s->requiredItem == WO_NO_TYPE) {
        BOD_RunBehaviour(staticBod, int(s->useBehaviour));
        OutputDebugStringA(" EXECUTING STATIC:");
        OutputDebugStringA(name);
        OutputDebugStringA("\n");
        return 1;
    }
    WorldObjectControl* item = WOGetCurrentItem(userBod);
    if (item && item != WO_BARE_HANDS && item->head.firstWord == s->requiredItem) {
        BOD_RunBehaviour(staticBod, int(s->useBehaviour));
        SND_PlayOnObject(item, item->useSound, 90, 0, 1500.0f);
        OutputDebugStringA("Executing Static :");
        OutputDebugStringA(name);
        OutputDebugStringA("\n");
        return 1;
    }
    if (s->requiredItem < 1 || s->requiredItem > 149)
        return 0;
    const char* object = TXT_Str(g_ObjectNames[s->requiredItem]);
    char line[255];
    if (AI_IsFocusUnderPlayer(userBod)) {
        std::snprintf(line, sizeof line, "%s %s", WO_NEED_PHRASE, object);
    } else {
        const CharacterControl* user = BOD_CharacterOf(userBod);
        const int32_t id = user ? user->playerId : -1;
        const char* member = id >= 0 && id < TXT_CHARACTER_TEXTS ? TXT_Str(g_CharacterTexts[id]) : "";
        std::snprintf(line, sizeof line, "%s %s %s", member, WO_MEMBER_NEEDS_PHRASE, object);
    }
    HUD_AddMessage(line);
    return 0;
}

const BodHandler g_WOBehaviourTable[BOD_OBJECT_BEHAVIOURS] = {
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,                      // 0-3
    DoorOpen, DoorToOpen, DoorToMiddle, DoorBackToMiddle, DoorToClosed,      // 4-8
    DoorClose, DoorInit, NoBehaviour,                                        // 9-11
    SwitchOff, SwitchOn, Padlock, ConveyorSet, ConveyorStep,                 // 12-16
    NoBehaviour, NoBehaviour, NoBehaviour,                                   // 17-19: flight, lying
    DropFall, DropStart, DropSettle,                                         // 20-22
    NoBehaviour, NoBehaviour,                                                // 23-24: machines
    Toggle,                                                                  // 25
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,         // 26-30: level machines
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,                      // 31-34
    NoBehaviour, NoBehaviour,                                                // 35-36: smoke, fuse
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,         // 37-41
    NoBehaviour, NoBehaviour,                                                // 42-43
    NoBehaviour, NoBehaviour, NoBehaviour,                                   // 44-46: fuses, explosions
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,                      // 47-50
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,                      // 51-54: projectiles
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,         // 55-59
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,         // 60-64
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,         // 65-69
};
