// Carrying world objects (see wo_carry.h), the inventory reset and the count of carried objects.
#include "world/wo_carry.h"

#include <string>

#include "common/calltrace.h"
#include "common/match.h"
#include "net/msg.h"
#include "net/net.h"
#include "shell/snd.h"
#include "ui/hud_records.h"
#include "win32.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_state.h"
#include "world/snd_pos.h"
#include "world/wo.h"
#include "world/wo_behaviour.h"
#include "world/wo_master.h"
#include "world/wo_slots.h"
#include "world/world_label.h"
#include "engine/mdl.h"

int32_t g_WOGasStopped = 0;

namespace {

constexpr int kFirstSlot = 1;
constexpr int kLastSlot = ACT_ITEM_SLOTS - 1;
constexpr int kVolume = 90;
constexpr float kRadius = 1500.0f;
constexpr float kFullHealth = 64.0f;
constexpr float kHealthGain = 32.0f;
constexpr int kSkinGameType = 6;
constexpr int kAiDying = 3;
constexpr uint32_t kClassObjectPlayersOnly = 576;
constexpr uint8_t kMsgObjectTaken = 'F';
constexpr uint8_t kMsgHealthTaken = '>';

// States in which an object cannot be picked up: in flight, dropped (and falling, landing),
// smoking.
constexpr int kStateFlying = 17;
constexpr int kStateDropFalling = 20;
constexpr int kStateDropLanding = 22;
constexpr int kStateSmoke = 35;
constexpr int kStateFuse = 36;

bool Multiplayer() { return APP_IsMultiplayerGame() != 0; }
bool Host() { return NET_IsHost() != 0; }
// Local effects (sounds) of carrying are skipped while a received message is applied.
bool LocalEffects() { return !Multiplayer() || g_WOAnnounce != 0; }

AICharacter* AiOf(const CharacterControl* control) {
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

int PlayerIndex(const Bod* bod) {
    for (int i = 0; i < BOD_PLAYER_SLOTS; ++i)
        if (bod && g_PlayerBods[i] == bod)
            return i;
    return -1;
}

void PlayAtCharacter(SoundId id, const CharacterControl* control) {
    const Vec3 at = BOD_PositionOf(control);
    const float position[3] = {at.x, at.y, at.z};
    SND_PlayAt(id, position, kVolume, kRadius);
}

void Broadcast(int fromSlot, const uint8_t* bytes, int length) {
    NET_Broadcast(fromSlot, bytes, length);
}

uint8_t CurrentNetId(Bod* takerBod) {
    WorldObjectControl* current = WOGetCurrentItem(takerBod);
    return (current && current != WO_BARE_HANDS) ? current->netId : WO_NO_NET_ID;
}

// Steps 4 and 5 of taking an object: where it is, its bod, and the current weapon.
void TakeIntoSlot(Bod* objectBod, WorldObjectControl* object, Bod* takerBod, CharacterControl* taker, int slot) {
    object->where = takerBod->classMask;
    objectBod->active = 0;
    WorldObjectControl* current = WOGetCurrentItem(takerBod);
    if (object->woFlags & WO_FLAG_SELECT_AT_ONCE) {
        if (taker->selectedSlot == 0)
            taker->selectedSlot = uint32_t(slot);
    } else if (!(object->woFlags & WO_FLAG_NEVER_CURRENT)) {
        if (current == WO_BARE_HANDS || (current && current->damage < object->damage))
            taker->selectedSlot = uint32_t(slot);
    }
    current = WOGetCurrentItem(takerBod);
    if (current && current != WO_BARE_HANDS && current->weaponKind == WO_KIND_FIREARM && current->ammo == 0 &&
        object->weaponKind == WO_KIND_FIREARM) {
        for (int s = kFirstSlot; s <= kLastSlot; ++s)
            if (taker->items[s].itemBod == objectBod)
                taker->selectedSlot = uint32_t(s);
    }
}

int Refuse(const char* text) {
    OutputDebugStringA(text);
    OutputDebugStringA("\n");
    return WO_PICKUP_REFUSED;
}

}  // namespace

void WOClearInventory(Bod* characterBod) {
    CharacterControl* control = BOD_CharacterOf(characterBod);
    if (!control)
        return;
    for (CharacterItem& item : control->items)
        item = {ACT_NO_ITEM, nullptr, 0};
    control->items[0].itemType = 0;
}

int WO_CountCarried(const Bod* bod, uint32_t woFlags) {
    const CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return 0;
    int count = 0;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (control->items[slot].itemType == ACT_NO_ITEM)
            continue;
        const WorldObjectControl* object = BOD_ObjectOf(control->items[slot].itemBod);
        if (object && (object->woFlags & woFlags))
            ++count;
    }
    return count;
}

int WOPutInSlot(Bod* takerBod, Bod* objectBod) {
    CharacterControl* taker = BOD_CharacterOf(takerBod);
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    if (!taker || !object)
        return -1;
    if (takerBod->classMask != BOD_CLASS_PLAYER && object->weaponKind != WO_KIND_HAND)
        return -1;
    const int32_t kind = object->weaponKind;
    const bool duplicatesAllowed = kind == 0 || kind == 7 || kind == 8 || kind == 9;
    int free = -1;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const uint32_t type = taker->items[slot].itemType;
        if (type == ACT_NO_ITEM) {
            if (free < 0)
                free = slot;
        } else if (!duplicatesAllowed && type == object->head.firstWord) {
            return -1;
        }
    }
    if (free < 0)
        return -1;
    taker->items[free].itemType = object->head.firstWord;
    taker->items[free].itemBod = objectBod;
    object->where = WO_CARRIED;
    object->holder = takerBod;
    if (APP_GetLevelFrameCount() > 1 && LocalEffects())
        PlayAtCharacter(WO_SOUND_PICKUP, taker);
    if (!Multiplayer() || g_WOAnnounce != 0)
        WOUseCarriedAmmo(takerBod, objectBod);
    BOD_SetAction(objectBod, WO_STATE_CARRIED);
    // Using up carried ammunition may have moved the object down a slot.
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot)
        if (taker->items[slot].itemBod == objectBod)
            return slot;
    return free;
}

void WOUseCarriedAmmo(Bod* characterBod, Bod* weaponBod) {
    CharacterControl* character = BOD_CharacterOf(characterBod);
    WorldObjectControl* weapon = BOD_ObjectOf(weaponBod);
    if (!character || !weapon || weapon->ammo >= 1)
        return;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        Bod* ammoBod = character->items[slot].itemBod;
        const WorldObjectControl* ammo = BOD_ObjectOf(ammoBod);
        if (character->items[slot].itemType == ACT_NO_ITEM || !ammo || !ammo->isAmmo ||
            ammo->ammoFor != weapon->head.firstWord)
            continue;
        weapon->ammo = weapon->ammoMax;
        if (Multiplayer() && !MSG_IsLocalPlayerId(character->playerId)) {
            WORemoveFromSlots(characterBod, ammoBod);
            return;
        }
        if (LocalEffects())
            SND_PlayOnObject(character, WO_SOUND_RELOAD, kVolume, 0, kRadius);
        WORemoveFromSlots(characterBod, ammoBod);
        return;
    }
}

int WORefillFromAmmo(Bod* takerBod, Bod* ammoBod, int* outSlot) {
    CharacterControl* taker = BOD_CharacterOf(takerBod);
    WorldObjectControl* ammo = BOD_ObjectOf(ammoBod);
    if (!taker || !ammo)
        return 1;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (taker->items[slot].itemType == ACT_NO_ITEM || taker->items[slot].itemType != ammo->ammoFor)
            continue;
        WorldObjectControl* weapon = BOD_ObjectOf(taker->items[slot].itemBod);
        if (!weapon || weapon->ammo >= 1)
            continue;
        weapon->ammo = weapon->ammoMax;
        SND_PlayOnObject(taker, WO_SOUND_RELOAD, kVolume, 0, kRadius);
        if (Multiplayer() && Host()) {
            const uint8_t message[4] = {kMsgObjectTaken, uint8_t(MSG_PlayerIdIndex(taker->playerId)), ammo->netId,
                                        CurrentNetId(takerBod)};
            Broadcast(APP_GetLocalPlayerSlot(), message, int(sizeof message));
        }
        if (outSlot)
            *outSlot = slot;
        return 0;
    }
    return 1;
}

int pickupweapobj(Bod* objectBod, Bod* takerBod) {
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    CharacterControl* taker = BOD_CharacterOf(takerBod);
    if (Multiplayer() && !Host())
        return WO_PICKUP_REFUSED;
    if (!object || !taker)
        return Refuse(!taker ? "ERR_WO_PICKUPCANTPICKUP (pickupweapobj)" : "ERR_WO_PICKUPNONINTERACTIVE (pickupweapobj)");
    const int state = object->head.action;
    if (state == WO_STATE_DROPPED || state == kStateDropFalling || state == kStateDropLanding ||
        state == kStateFlying || state == kStateSmoke)
        return WO_PICKUP_REFUSED;
    if (Multiplayer() && APP_GetMultiplayerGameType() == kSkinGameType && takerBod->classMask == BOD_CLASS_PLAYER &&
        taker->instance && taker->instance->skin == taker->altSkin)
        return WO_PICKUP_REFUSED;
    // Only a lying object is taken; anything else (carried, kicked about, a fuse) is refused.
    if (state != WO_STATE_LYING)
        return WO_PICKUP_REFUSED;
    // Reachable through ordering mistakes of the AI rather than through bad data: reported and
    // refused, the game goes on.
    if (takerBod->classMask != BOD_CLASS_PLAYER)
        return Refuse("ERR_WO_PICKUPCANTPICKUP (pickupweapobj)");
    if (!(objectBod->classMask & BOD_CLASS_OBJECT))
        return Refuse("ERR_WO_PICKUPNONINTERACTIVE (pickupweapobj)");
    if (object->where != WO_IN_WORLD)
        return Refuse("ERR_WO_PICKUPNOTWORLD (pickupweapobj)");
    int slot = -1;
    if (!(object->isAmmo && WORefillFromAmmo(takerBod, objectBod, &slot) == 0))
        slot = WOPutInSlot(takerBod, objectBod);
    if (slot < 0)
        return WO_PICKUP_NO_SLOT;
    TakeIntoSlot(objectBod, object, takerBod, taker, slot);
    if (takerBod->classMask == BOD_CLASS_PLAYER && (objectBod->classMask & BOD_CLASS_OBJECT) &&
        object->head.action == WO_STATE_CARRIED)
        APP_AnnouncePickup(taker->playerId, int(object->head.firstWord));
    const int index = PlayerIndex(takerBod);
    if (index >= 0 && Multiplayer() && Host()) {
        const uint8_t message[4] = {kMsgObjectTaken, uint8_t(index), object->netId, CurrentNetId(takerBod)};
        Broadcast(NET_GetLocalSlot(), message, int(sizeof message));
    }
    return 0;
}

void WOAddToInventory(Bod* objectBod, Bod* takerBod) {
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    CharacterControl* taker = BOD_CharacterOf(takerBod);
    if (!object || !taker)
        return;
    if (CharacterControl* carrier = BOD_CharacterOf(object->holder); carrier && object->where != WO_IN_WORLD) {
        const AICharacter* ai = AiOf(carrier);
        if (object->holder->classMask == BOD_CLASS_PLAYER && ai && ai->health > 0.0f)
            return;
        WORemoveFromSlots(object->holder, objectBod);
    }
    if (takerBod->classMask != BOD_CLASS_PLAYER && !object->npcTakes)
        return;
    int slot = -1;
    if (!(object->isAmmo && g_WOAnnounce != 0 && WORefillFromAmmo(takerBod, objectBod, &slot) == 0))
        slot = WOPutInSlot(takerBod, objectBod);
    if (slot < 0)
        return;
    TakeIntoSlot(objectBod, object, takerBod, taker, slot);
}

int WODropObject(Bod* objectBod, Bod* carrierBod) {
    CharacterControl* carrier = BOD_CharacterOf(carrierBod);
    if (!carrier)
        return WO_DROP_NOT_CHARACTER;
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    if (!object || objectBod->classMask != BOD_CLASS_OBJECT)
        return WO_DROP_NOT_OBJECT;
    if (object->where == WO_IN_WORLD)
        return WO_DROP_IN_WORLD;
    object->where = WO_IN_WORLD;
    objectBod->active = 1;
    const Vec3 at = BOD_PositionOf(carrier);
    BOD_SetPosition(object, at);
    BOD_SetAction(objectBod, WO_STATE_DROPPED);
    object->surface = carrier->surface;
    object->dropHeading = carrier->dropHeading;
    if (LocalEffects()) {
        const float position[3] = {at.x, at.y, at.z};
        SND_PlayAt(WO_SOUND_DROP, position, kVolume, kRadius);
    }
    ACT_SelectWeapon(carrierBod);
    return 0;
}

void WODropFromCharacter(Bod* characterBod, Bod* objectBod) {
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    if (object && object->onDrop)
        object->onDrop(characterBod, objectBod);
}

void WOPickupOnTouch(Bod* characterBod, Bod* objectBod) {
    {
        // One name at a time: the label comes from a shared buffer.
        const std::string character = BOD_TraceLabel(characterBod);
        TRC_Trace("WOPickupOnTouch", "%s,%s", character.c_str(), BOD_TraceLabel(objectBod));
    }
    const CharacterControl* character = BOD_CharacterOf(characterBod);
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    if (!character || !object || !object->onPickup || character->dead)
        return;
    if (const AICharacter* ai = AiOf(character); ai && ai->state == kAiDying)
        return;
    object->onPickup(characterBod, objectBod);
}

void WODropFromSlot(int index, int slot) {
    if (index < 0 || index >= BOD_PLAYER_SLOTS || slot < kFirstSlot || slot > kLastSlot)
        return;
    Bod* characterBod = g_PlayerBods[index];
    CharacterControl* character = BOD_CharacterOf(characterBod);
    if (!character || character->items[slot].itemType == ACT_NO_ITEM)
        return;
    Bod* objectBod = character->items[slot].itemBod;
    if (WorldObjectControl* object = BOD_ObjectOf(objectBod))
        object->dropHeading = character->dropHeading;
    WODropFromCharacter(characterBod, objectBod);
}

int WOPickupHealth(Bod* characterBod, Bod* objectBod, int remote) {
    CharacterControl* character = BOD_CharacterOf(characterBod);
    WorldObjectControl* object = BOD_ObjectOf(objectBod);
    AICharacter* ai = AiOf(character);
    if (!object || !ai || characterBod->classMask != BOD_CLASS_PLAYER || ai->health >= kFullHealth)
        return 0;
    ai->health += kHealthGain;
    if (ai->health > kFullHealth)
        ai->health = kFullHealth;
    SND_PlayOnObject(character, WO_SOUND_HEALTH, kVolume, 0, kRadius);
    object->where = WO_CARRIED;
    objectBod->active = 0;
    objectBod->flags |= BOD_FLAG_REMOVE;
    if (Multiplayer() && !remote) {
        const uint8_t message[3] = {kMsgHealthTaken, uint8_t(character->playerId), object->netId};
        Broadcast(APP_GetLocalPlayerSlot(), message, int(sizeof message));
    }
    return 1;
}

int WOPickupSerum(Bod*, Bod* objectBod) {
    const WorldObjectControl* object = BOD_ObjectOf(objectBod);
    if (!object || object->head.action == kStateFuse)
        return 0;
    g_WOGasStopped = 1;
    for (Bod* player : g_PlayerBods) {
        AICharacter* ai = AiOf(BOD_CharacterOf(player));
        if (ai && ai->health > 0.0f)
            ai->health = kFullHealth;
    }
    return 0;
}

int WODestroyCarried(WorldObjectControl* control) {
    if (!control || !BOD_CharacterOf(control->holder))
        return 0;
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (bod->control != control)
            continue;
        WORemoveFromSlots(control->holder, bod);
        control->holder = nullptr;
        bod->active = 0;
        bod->flags |= BOD_FLAG_REMOVE;
        return 1;
    }
    return 0;
}

void WO_BodHook(Bod* bod, void* record) {
    WorldObjectControl* object = static_cast<WorldObjectControl*>(record);
    if (!bod || !object || object->where != WO_IN_WORLD || !object->onPickup || bod->classMask == BOD_CLASS_STATIC)
        return;
    // Objects made during play are picked up by players only; placed objects by any character.
    const bool playersOnly = bod->classMask == BOD_CLASS_OBJECT || bod->classMask == kClassObjectPlayersOnly;
    const uint32_t mask = playersOnly ? BOD_MASK_PLAYERS : BOD_MASK_CHARACTERS;
    const Vec3 at = BOD_PositionOf(object);
    const float objectRadius = object->instance ? MDL_GetRadius(object->instance) : 0.0f;
    for (Bod* other = BOD_FindFirst(&g_WorldBods, mask); other; other = BOD_FindNext(&g_WorldBods, mask, other)) {
        const CharacterControl* character = BOD_CharacterOf(other);
        if (other->active != 1 || !character || !character->instance)
            continue;
        const Vec3 c = BOD_PositionOf(character);
        const float reach = MDL_GetRadius(character->instance) + objectRadius;
        const float dx = c.x - at.x, dy = c.y - at.y, dz = c.z - at.z;
        if (dx * dx + dy * dy + dz * dz > reach * reach)
            continue;
        WOPickupOnTouch(other, bod);
        if (object->where != WO_IN_WORLD)
            return;
    }
}

int ACT_SetPlayerInventory(int index, const PlayerStatus* status) {
    if (index < 0 || index >= BOD_PLAYER_SLOTS || !status)
        return 0;
    Bod* characterBod = g_PlayerBods[index];
    CharacterControl* character = BOD_CharacterOf(characterBod);
    if (!character)
        return 0;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const int32_t type = status->entryTypes[slot];
        Bod* bod = status->entryBods[slot];
        if (type < 0 || uint32_t(type) >= ACT_NO_ITEM || !bod)
            character->items[slot] = {ACT_NO_ITEM, nullptr, 0};
        else
            character->items[slot] = {uint32_t(type), bod, character->items[slot].spare};
    }
    ACT_SelectWeapon(characterBod);
    return int(character->selectedSlot);
}

void WO_ForgetBod(Bod* gone) {
    if (!gone)
        return;
    const WorldObjectControl* goneObject = BOD_ObjectOf(gone);
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (bod == gone)
            continue;
        if (CharacterControl* c = BOD_CharacterOf(bod)) {
            for (int slot = kFirstSlot; slot <= kLastSlot; ++slot)
                if (c->items[slot].itemBod == gone)
                    WORemoveFromSlots(bod, gone);
            if (goneObject && c->weaponObject == goneObject)
                c->weaponObject = nullptr;
            if (c->lastHitBod == gone)
                c->lastHitBod = nullptr;
            if (c->machineBod == gone)
                c->machineBod = nullptr;
        } else if (WorldObjectControl* o = BOD_ObjectOf(bod)) {
            for (Bod** link : {&o->holder, &o->thrower, &o->param3Bod, &o->onObject, &o->offObject})
                if (*link == gone)
                    *link = nullptr;
        }
    }
    if (g_WOCurrentSwitch == gone)
        g_WOCurrentSwitch = nullptr;
    if (g_WOSwitchedObject == gone)
        g_WOSwitchedObject = nullptr;
}
