// The carried objects of a character: the current item, removing an entry, choosing the current
// weapon and spending ammunition.
#pragma once
#include <cstdint>

struct Bod;
struct WorldObjectControl;

// WOGetCurrentItem's answer for bare hands (slot 0): not an object, never dereferenced.
inline WorldObjectControl* const WO_BARE_HANDS = reinterpret_cast<WorldObjectControl*>(~uintptr_t(0));

// The control record of the selected carried object; WO_BARE_HANDS when the selected slot is 0;
// null when the bod is no character, the slot is empty or out of range.
WorldObjectControl* WOGetCurrentItem(Bod* characterBod);
// Takes the entry holding `objectBod` out of slots 1..8, moving the later entries down one place;
// the selection follows its object (0 when it was the removed one).
void WORemoveFromSlots(Bod* characterBod, Bod* objectBod);
// Selects the carried object of the highest damage (the lowest slot on a tie) that is not flagged
// never-current and is not an empty firearm; when that is the current slot or none qualifies, the
// first object flagged select-at-once instead. Bare hands keep a firearm selected.
void ACT_SelectWeapon(Bod* characterBod);
// One shot's ammunition, never below 0; the force gun never runs out on level 14 in single player.
void WOSpendAmmo(WorldObjectControl* control);
