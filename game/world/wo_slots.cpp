// The carried objects of a character (see wo_slots.h).
#include "world/wo_slots.h"

#include "common/match.h"
#include "world/game_frame.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/wo.h"
#include "world/wo_master.h"

namespace {

constexpr int kFirstSlot = 1;
constexpr int kLastSlot = ACT_ITEM_SLOTS - 1;
constexpr uint32_t kForceGun = 135;
constexpr int32_t kForceGunLevel = 14;

WorldObjectControl* SlotObject(const CharacterControl* control, int slot) {
    if (slot < kFirstSlot || slot > kLastSlot || control->items[slot].itemType == ACT_NO_ITEM)
        return nullptr;
    return BOD_ObjectOf(control->items[slot].itemBod);
}

}  // namespace

WorldObjectControl* WOGetCurrentItem(Bod* characterBod) {
    const CharacterControl* control = BOD_CharacterOf(characterBod);
    if (!control)
        return nullptr;
    if (control->selectedSlot == 0)
        return WO_BARE_HANDS;
    return SlotObject(control, int(control->selectedSlot));  // a slot past 8 holds nothing
}

void WORemoveFromSlots(Bod* characterBod, Bod* objectBod) {
    CharacterControl* control = BOD_CharacterOf(characterBod);
    if (!control || !objectBod)
        return;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (control->items[slot].itemBod != objectBod)
            continue;
        for (int later = slot; later < kLastSlot; ++later)
            control->items[later] = control->items[later + 1];
        control->items[kLastSlot] = {ACT_NO_ITEM, nullptr, 0};
        if (control->selectedSlot == uint32_t(slot))
            control->selectedSlot = 0;
        else if (control->selectedSlot > uint32_t(slot))
            --control->selectedSlot;
        return;
    }
}

void ACT_SelectWeapon(Bod* characterBod) {
    CharacterControl* control = BOD_CharacterOf(characterBod);
    if (!control)
        return;
    int best = 0;
    uint32_t bestDamage = 0;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const WorldObjectControl* object = SlotObject(control, slot);
        if (!object || (object->woFlags & WO_FLAG_NEVER_CURRENT))
            continue;
        if (object->ammoMax != 0 && object->ammo <= 0)
            continue;
        if (best == 0 || object->damage > bestDamage) {
            best = slot;
            bestDamage = object->damage;
        }
    }
    if (best == 0 || uint32_t(best) == control->selectedSlot) {
        for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
            const WorldObjectControl* object = SlotObject(control, slot);
            if (object && (object->woFlags & WO_FLAG_SELECT_AT_ONCE)) {
                best = slot;
                break;
            }
        }
    }
    if (best == 0) {
        const WorldObjectControl* previous = SlotObject(control, int(control->selectedSlot));
        if (previous && previous->weaponKind == WO_KIND_FIREARM)
            return;
    }
    control->selectedSlot = uint32_t(best);
}

void WOSpendAmmo(WorldObjectControl* control) {
    if (!control)
        return;
    if (!APP_IsMultiplayerGame() && g_LevelNumber == kForceGunLevel && control->head.firstWord == kForceGun)
        return;
    control->ammo -= control->ammoPerShot;
    if (control->ammo < 0)
        control->ammo = 0;
}
