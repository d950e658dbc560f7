// A character's carried objects: the choice of the current weapon (damage, ties, empty firearms,
// never-current objects, the select-at-once fallback, a firearm kept in bare hands), removing an
// entry with the selection following its object, the current item for every kind of slot, and
// spending ammunition with the force gun's endless level.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/wo.h"
#include "world/wo_create.h"
#include "world/wo_slots.h"
#include "world_fixture.h"

namespace {

constexpr uint32_t kPistol = 47, kColt = 14, kM16 = 33, kColtAmmo = 112, kAxe = 2, kGrenade = 27;
constexpr uint32_t kForceGun = 135;

struct Carried {
    uint32_t type;
    int ammo = -1;   // -1: as made
};

class SlotsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0}}, {});
        character = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0});
        ASSERT_NE(character, nullptr);
    }

    // Fills slots 1.. with new objects of the given types; returns their bods.
    std::vector<Bod*> Carry(const std::vector<Carried>& items, uint32_t selected) {
        WOClearInventory(character);
        std::vector<Bod*> bods;
        CharacterControl* control = WH_Character(character);
        for (size_t i = 0; i < items.size(); ++i) {
            const Vec3 at = {0, 0, 0};
            Bod* bod = WOCreateAt(&at, 0, items[i].type, nullptr, nullptr);
            EXPECT_NE(bod, nullptr);
            if (items[i].ammo >= 0)
                WH_Object(bod)->ammo = items[i].ammo;
            control->items[i + 1] = {items[i].type, bod, 0};
            bods.push_back(bod);
        }
        control->selectedSlot = selected;
        return bods;
    }

    Bod* character = nullptr;
};

TEST_F(SlotsTest, TheCurrentWeaponIsTheStrongestUsableOne) {
    struct Case {
        const char* what;
        std::vector<Carried> items;
        uint32_t selectedBefore;
        uint32_t selectedAfter;
    } const cases[] = {
        {"highest damage", {{kPistol}, {kM16}}, 0, 2},
        {"a tie keeps the lower slot", {{kPistol}, {kColt}}, 0, 1},
        {"an empty firearm is passed over", {{kM16, 0}, {kPistol}}, 0, 2},
        {"never-current ammunition is passed over", {{kColtAmmo}, {kAxe}}, 0, 2},
        {"an empty firearm stays selected when nothing qualifies", {{kM16, 0}}, 1, 1},
        {"bare hands when nothing qualifies and the old slot held no firearm", {{kColtAmmo}}, 1, 0},
        {"select-at-once when nothing qualifies", {{kColtAmmo}, {kGrenade}}, 0, 2},
        {"select-at-once when the best is already current", {{kGrenade}, {kAxe}}, 2, 1},
        {"an empty inventory", {}, 0, 0},
        {"a selection past the slots does not count as a firearm", {{kColtAmmo}}, 99, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Carry(c.items, c.selectedBefore);
        ACT_SelectWeapon(character);
        EXPECT_EQ(WH_Character(character)->selectedSlot, c.selectedAfter);
    }
}

TEST_F(SlotsTest, RemovingAnEntryMovesTheLaterOnesDownAndTheSelectionFollows) {
    struct Case {
        int removed;          // index into the carried bods, -1 a bod not carried
        uint32_t selectedBefore;
        uint32_t selectedAfter;
    } const cases[] = {
        {1, 2, 0},   // the selected entry goes: bare hands
        {1, 3, 2},   // a later selection moves down with its object
        {1, 1, 1},   // an earlier one stays
        {0, 0, 0},
        {2, 3, 0},   // the last carried entry
        {-1, 2, 2},  // not carried: nothing changes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("removed " + std::to_string(c.removed) + ", selected " + std::to_string(c.selectedBefore));
        const std::vector<Bod*> bods = Carry({{kPistol}, {kM16}, {kAxe}}, c.selectedBefore);
        Bod* stranger = WOCreateAt(nullptr, 0, kColt, nullptr, nullptr);
        WORemoveFromSlots(character, c.removed >= 0 ? bods[size_t(c.removed)] : stranger);
        const CharacterControl* control = WH_Character(character);
        std::vector<Bod*> left;
        for (Bod* b : bods)
            if (c.removed < 0 || b != bods[size_t(c.removed)])
                left.push_back(b);
        for (int slot = 1; slot < ACT_ITEM_SLOTS; ++slot) {
            const size_t i = size_t(slot - 1);
            if (i < left.size()) {
                EXPECT_EQ(control->items[slot].itemBod, left[i]) << "slot " << slot;
            } else {
                EXPECT_EQ(control->items[slot].itemBod, nullptr) << "slot " << slot;
                EXPECT_EQ(control->items[slot].itemType, ACT_NO_ITEM) << "slot " << slot;
            }
        }
        EXPECT_EQ(control->selectedSlot, c.selectedAfter);
    }
    // A full inventory: the last slot is emptied when the first entry goes.
    std::vector<Carried> eight(8, Carried{kColtAmmo});
    const std::vector<Bod*> full = Carry(eight, 8);
    WORemoveFromSlots(character, full[0]);
    EXPECT_EQ(WH_Character(character)->items[7].itemBod, full[7]);
    EXPECT_EQ(WH_Character(character)->items[8].itemType, ACT_NO_ITEM);
    EXPECT_EQ(WH_Character(character)->selectedSlot, 7u);
}

TEST_F(SlotsTest, TheCurrentItemForEverySelection) {
    const std::vector<Bod*> bods = Carry({{kPistol}, {kM16}}, 0);
    EXPECT_EQ(WOGetCurrentItem(character), WO_BARE_HANDS);
    struct Case { uint32_t selected; WorldObjectControl* expected; } const cases[] = {
        {1, WH_Object(bods[0])}, {2, WH_Object(bods[1])}, {3, nullptr}, {8, nullptr},
        {9, nullptr}, {0xFFFFFFFFu, nullptr},
    };
    for (const Case& c : cases) {
        WH_Character(character)->selectedSlot = c.selected;
        EXPECT_EQ(WOGetCurrentItem(character), c.expected) << "slot " << c.selected;
    }
    EXPECT_EQ(WOGetCurrentItem(bods[0]), nullptr) << "an object carries nothing";
    EXPECT_EQ(WOGetCurrentItem(nullptr), nullptr);
}

TEST_F(SlotsTest, ShotsSpendAmmunitionExceptTheForceGunsEndlessLevel) {
    struct Case {
        uint32_t type;
        int level;
        bool network;
        int ammo;
        int after;
    } const cases[] = {
        {kM16, 3, false, 10, 6},
        {kM16, 3, false, 3, 0},        // never below 0
        {kM16, 14, false, 10, 6},
        {kForceGun, 14, false, 10, 10},
        {kForceGun, 13, false, 10, 9},
        {kForceGun, 14, true, 10, 9},
        {kForceGun, 14, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " level " + std::to_string(c.level));
        if (c.network)
            WH_SetNetworkGame(true, 0);
        else
            WH_SetSinglePlayer();
        WH_EnterLevel(c.level);
        Bod* bod = WOCreateAt(nullptr, 0, c.type, nullptr, nullptr);
        ASSERT_NE(bod, nullptr);
        WH_Object(bod)->ammo = c.ammo;
        WOSpendAmmo(WH_Object(bod));
        EXPECT_EQ(WH_Object(bod)->ammo, c.after);
    }
    WOSpendAmmo(nullptr);
}

}  // namespace
