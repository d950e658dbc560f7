// Carrying world objects: inventory sequences (the ninth object, duplicates, ammunition refills and
// carried ammunition, the current weapon after a drop), the refusals of a pickup, the drop's
// results, the health item and the serum, the messages a host sends and a client does not, the
// carrying sounds, the start items and the spawner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/calltrace.h"
#include "net/msg.h"
#include "ui/hud_records.h"
#include "world/ai.h"
#include "world/game_state.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/lvl_placement.h"
#include "world/wo.h"
#include "world/wo_carry.h"
#include "world/wo_create.h"
#include "world/wo_master.h"
#include "world/wo_slots.h"
#include "world_fixture.h"

namespace {

constexpr uint32_t kPistol = 47, kPistolAmmo = 48, kM16 = 33, kAxe = 2, kColt = 14, kColtAmmo = 112;
constexpr uint32_t kGrenade = 27, kArm = 131, kSerum = 147, kHealth = 149, kKey = 79;

class CarryTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0}}, {});
        player = WH_MakeCharacter(BOD_CLASS_PLAYER, {100, 0, 200}, 0.0f, 40.0f);
        ASSERT_NE(player, nullptr);
        WH_SetPlayer(0, player, 0);
        WOClearInventory(player);
    }

    Bod* Make(uint32_t type, int ammo = -1) {
        const Vec3 at{0, 0, 0};
        WorldObjectControl* control = nullptr;
        Bod* bod = WOCreateAt(&at, 0, type, nullptr, &control);
        EXPECT_NE(bod, nullptr) << type;
        if (bod && ammo >= 0)
            control->ammo = ammo;
        return bod;
    }

    std::vector<uint32_t> Types() const {
        std::vector<uint32_t> types;
        const CharacterControl* c = WH_Character(player);
        for (int s = 1; s < ACT_ITEM_SLOTS; ++s)
            if (c->items[s].itemType != ACT_NO_ITEM)
                types.push_back(c->items[s].itemType);
        return types;
    }

    Bod* player = nullptr;
};

// One step of an inventory sequence: pick up a new object of `type` (with `ammo`, -1 as made), or
// drop the object in `dropSlot` the way the interface does (through its drop callback, then the
// entries written back without it).
struct Step {
    uint32_t type;
    int ammo = -1;
    int expect = 0;  // pickupweapobj's result
    int dropSlot = 0;
};

struct Sequence {
    const char* what;
    std::vector<Step> steps;
    std::vector<uint32_t> carried;  // types in slots 1.. afterwards
    uint32_t selected;
    uint32_t refilledType = 0;      // a carried weapon of this type must be full
};

TEST_F(CarryTest, InventorySequences) {
    const std::vector<Step> eight = {{kAxe}, {kPistol}, {kM16}, {kColt}, {kGrenade}, {kKey}, {kColtAmmo}, {kColtAmmo}};
    std::vector<Step> nine = eight;
    nine.push_back({kColtAmmo, -1, WO_PICKUP_NO_SLOT});
    const Sequence sequences[] = {
        {"the ninth object finds no entry", nine,
         {kAxe, kPistol, kM16, kColt, kGrenade, kKey, kColtAmmo, kColtAmmo}, 3},
        {"a second pistol is refused, a second ammunition box is not",
         {{kPistol}, {kPistol, -1, WO_PICKUP_NO_SLOT}, {kColtAmmo}, {kColtAmmo}},
         {kPistol, kColtAmmo, kColtAmmo}, 1},
        {"ammunition refills an empty weapon and is not carried",
         {{kColt, 0}, {kColtAmmo}}, {kColt}, 1, kColt},
        {"ammunition without an empty weapon is carried", {{kColt}, {kColtAmmo}}, {kColt, kColtAmmo}, 1},
        {"an empty weapon uses carried ammunition at once",
         {{kColtAmmo}, {kAxe}, {kColt, 0}}, {kAxe, kColt}, 2, kColt},
        {"a stronger weapon becomes current", {{kAxe}, {kPistol}, {kM16}}, {kAxe, kPistol, kM16}, 3},
        {"a weaker weapon does not", {{kM16}, {kAxe}}, {kM16, kAxe}, 1},
        {"a firearm replaces an empty firearm in hand", {{kM16, 0}, {kPistol}}, {kM16, kPistol}, 2},
        {"ammunition never becomes current", {{kPistolAmmo}}, {kPistolAmmo}, 0},
        {"a select-at-once object is taken in bare hands only", {{kAxe}, {kGrenade}}, {kAxe, kGrenade}, 1},
        {"dropping the selected weapon re-selects by damage",
         {{kAxe}, {kPistol}, {kM16}, {0, -1, 0, 3}}, {kAxe, kPistol}, 2},
        {"an empty firearm is never chosen after a drop",
         {{kAxe}, {kPistol, 0}, {kM16}, {0, -1, 0, 3}}, {kAxe, kPistol}, 1},
    };
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.what);
        WOClearInventory(player);
        CharacterControl* control = WH_Character(player);
        control->selectedSlot = 0;
        std::vector<Bod*> refused;
        for (const Step& step : sequence.steps) {
            if (step.dropSlot) {
                Bod* dropped = control->items[step.dropSlot].itemBod;
                WODropFromSlot(0, step.dropSlot);
                EXPECT_EQ(WH_Object(dropped)->where, WO_IN_WORLD);
                EXPECT_EQ(WH_Object(dropped)->head.action, WO_STATE_DROPPED);
                PlayerStatus status{};
                int k = 1;
                for (int s = 1; s < ACT_ITEM_SLOTS; ++s) {
                    status.entryTypes[s] = int32_t(ACT_NO_ITEM);
                    if (s != step.dropSlot && control->items[s].itemType != ACT_NO_ITEM) {
                        status.entryTypes[k] = int32_t(control->items[s].itemType);
                        status.entryBods[k++] = control->items[s].itemBod;
                    }
                }
                for (; k < ACT_ITEM_SLOTS; ++k)
                    status.entryTypes[k] = int32_t(ACT_NO_ITEM);
                EXPECT_EQ(ACT_SetPlayerInventory(0, &status), int(sequence.selected));
                continue;
            }
            Bod* object = Make(step.type, step.ammo);
            EXPECT_EQ(pickupweapobj(object, player), step.expect) << "type " << step.type;
            if (step.expect != 0)
                refused.push_back(object);
        }
        EXPECT_EQ(Types(), sequence.carried);
        EXPECT_EQ(control->selectedSlot, sequence.selected);
        for (Bod* object : refused) {
            EXPECT_EQ(WH_Object(object)->where, WO_IN_WORLD) << "a refused object stays in the world";
            EXPECT_EQ(WH_Object(object)->head.action, WO_STATE_LYING);
        }
        if (sequence.refilledType) {
            for (int s = 1; s < ACT_ITEM_SLOTS; ++s) {
                if (control->items[s].itemType != sequence.refilledType)
                    continue;
                const WorldObjectControl* weapon = WH_Object(control->items[s].itemBod);
                EXPECT_EQ(weapon->ammo, weapon->ammoMax);
                EXPECT_GT(weapon->ammo, 0);
            }
        }
    }
}

TEST_F(CarryTest, TakenObjectsAreCarriedAndInactive) {
    Bod* pistol = Make(kPistol);
    ASSERT_EQ(pickupweapobj(pistol, player), 0);
    const WorldObjectControl* object = WH_Object(pistol);
    EXPECT_EQ(object->where, uint32_t(BOD_CLASS_PLAYER));
    EXPECT_EQ(object->holder, player);
    EXPECT_EQ(object->head.action, WO_STATE_CARRIED);
    EXPECT_EQ(pistol->active, 0u);
    EXPECT_EQ(WH_Calls(WH_TraceSince(0), "APP_AnnouncePickup"), std::vector<std::string>{"APP_AnnouncePickup(0,47)"});
}

TEST_F(CarryTest, PickupRefusals) {
    struct Case {
        const char* what;
        int state;              // -1: as made
        uint32_t takerClass;
        uint32_t where;
        const char* report;     // on the debug output, or null
    } const cases[] = {
        {"dropped", WO_STATE_DROPPED, BOD_CLASS_PLAYER, WO_IN_WORLD, nullptr},
        {"falling after a drop", 20, BOD_CLASS_PLAYER, WO_IN_WORLD, nullptr},
        {"landing after a drop", 22, BOD_CLASS_PLAYER, WO_IN_WORLD, nullptr},
        {"in flight", 17, BOD_CLASS_PLAYER, WO_IN_WORLD, nullptr},
        {"smoking", 35, BOD_CLASS_PLAYER, WO_IN_WORLD, nullptr},
        {"already carried", WO_STATE_CARRIED, BOD_CLASS_PLAYER, WO_CARRIED, nullptr},
        {"a taker that is no player", -1, BOD_CLASS_NPC, WO_IN_WORLD, "ERR_WO_PICKUPCANTPICKUP"},
        {"lying but not in the world", -1, BOD_CLASS_PLAYER, WO_CARRIED, "ERR_WO_PICKUPNOTWORLD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bod* taker = c.takerClass == BOD_CLASS_PLAYER ? player : WH_MakeCharacter(c.takerClass, {0, 0, 0}, 0, 40);
        WOClearInventory(taker);
        Bod* object = Make(kPistol);
        if (c.state >= 0)
            WH_Object(object)->head.action = c.state;
        WH_Object(object)->where = c.where;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(pickupweapobj(object, taker), WO_PICKUP_REFUSED);
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (c.report) {
            EXPECT_NE(err.find(c.report), std::string::npos) << err;
        }
        EXPECT_TRUE(Types().empty());
        EXPECT_EQ(WH_Character(taker)->items[1].itemType, ACT_NO_ITEM);
    }
}

TEST_F(CarryTest, DropResults) {
    Bod* pistol = Make(kPistol);
    ASSERT_EQ(pickupweapobj(pistol, player), 0);
    WH_Character(player)->dropHeading = 1.25f;
    Bod* placed = WH_MakeObject(BOD_CLASS_PLACED, kAxe, {0, 0, 0});
    WH_Object(placed)->where = WO_CARRIED;
    Bod* lying = Make(kM16);
    EXPECT_EQ(WODropObject(pistol, lying), WO_DROP_NOT_CHARACTER);
    EXPECT_EQ(WODropObject(placed, player), WO_DROP_NOT_OBJECT) << "only class 64 exactly";
    EXPECT_EQ(WODropObject(lying, player), WO_DROP_IN_WORLD);
    const size_t mark = WH_TraceMark();
    EXPECT_EQ(WODropObject(pistol, player), 0);
    const WorldObjectControl* object = WH_Object(pistol);
    EXPECT_EQ(object->where, WO_IN_WORLD);
    EXPECT_EQ(pistol->active, 1u);
    EXPECT_EQ(object->head.action, WO_STATE_DROPPED);
    EXPECT_FLOAT_EQ(object->dropHeading, 1.25f);
    EXPECT_FLOAT_EQ(object->transform.m[9], 100.0f);
    EXPECT_FLOAT_EQ(object->transform.m[11], 200.0f);
    EXPECT_EQ(WH_Sounds(WH_TraceSince(mark)), std::vector<std::string>{"SND_PlayAt(0x10008,90)"});
    EXPECT_EQ(WODropObject(pistol, player), WO_DROP_IN_WORLD) << "a second drop";
}

TEST_F(CarryTest, HealthAndSerum) {
    struct Case {
        float before;
        int used;
        float after;
    } const cases[] = {{10, 1, 42}, {32, 1, 64}, {40, 1, 64}, {63, 1, 64}, {64, 0, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        WH_Ai(player)->health = c.before;
        Bod* item = Make(kHealth);
        const size_t mark = WH_TraceMark();
        EXPECT_EQ(WOPickupHealth(player, item, 0), c.used);
        EXPECT_FLOAT_EQ(WH_Ai(player)->health, c.after);
        EXPECT_EQ(WH_Sounds(WH_TraceSince(mark)).size(), size_t(c.used));
        EXPECT_EQ((item->flags & BOD_FLAG_REMOVE) != 0, c.used == 1) << "used up only when used";
    }
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0}, 0, 10);
    EXPECT_EQ(WOPickupHealth(npc, Make(kHealth), 0), 0) << "players only";

    // The serum heals every living player to 64 and leaves the dead as they are.
    Bod* second = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0, 5);
    Bod* dead = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0, 0);
    WH_SetPlayer(1, second, 1);
    WH_SetPlayer(2, dead, 2);
    WH_Ai(player)->health = 20;
    Bod* serum = Make(kSerum);
    ASSERT_NE(WH_Object(serum)->onPickup, nullptr);
    WOPickupOnTouch(player, serum);
    EXPECT_FLOAT_EQ(WH_Ai(player)->health, 64);
    EXPECT_FLOAT_EQ(WH_Ai(second)->health, 64);
    EXPECT_FLOAT_EQ(WH_Ai(dead)->health, 0);
    EXPECT_EQ(g_WOGasStopped, 1);
}

TEST_F(CarryTest, TouchPicksUpUnlessDeadOrDying) {
    struct Case {
        const char* what;
        uint32_t dead;
        int aiState;
        bool taken;
    } const cases[] = {{"alive", 0, 0, true}, {"dead", 1, 0, false}, {"dying", 0, 3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WOClearInventory(player);
        WH_Character(player)->dead = c.dead;
        WH_Ai(player)->state = c.aiState;
        Bod* pistol = Make(kPistol);
        WOPickupOnTouch(player, pistol);
        EXPECT_EQ(WH_Object(pistol)->holder == player, c.taken);
    }
}

// The touch hook: a player whose sphere reaches a lying object takes it; one too far away, an
// object not in the world, or one without a pickup callback is left alone.
TEST_F(CarryTest, TheTouchHookTakesObjectsWithinReach) {
    WH_AddModel(WH_Rigid("graphics\\models\\body.qmd", 50.0f));
    WH_GiveModel(player, "graphics\\models\\body.qmd");
    ASSERT_NE(WH_Character(player)->instance, nullptr);
    player->active = 1;
    struct Case {
        const char* what;
        float x;          // the object's x; the player stands at x 100
        bool pickable;
        bool taken;
    } const cases[] = {
        {"within reach", 140, true, true},
        {"out of reach", 300, true, false},
        {"no pickup callback", 120, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WOClearInventory(player);
        Bod* pistol = Make(kPistol);
        WorldObjectControl* object = WH_Object(pistol);
        object->transform.m[9] = c.x;
        object->transform.m[11] = 200.0f;
        if (!c.pickable)
            object->onPickup = nullptr;
        WO_BodHook(pistol, object);
        EXPECT_EQ(object->holder == player, c.taken);
        EXPECT_EQ(Types().size(), c.taken ? 1u : 0u);
    }
}

// The bytes a host sends and a client does not; the pickup sound waits for the level's second
// frame and stays silent while a received message is applied.
TEST_F(CarryTest, MessagesAndSounds) {
    WH_SetNetworkGame(true, 0);
    g_WOAnnounce = 1;
    WH_SetPlayer(0, player, 0);
    Bod* m16 = Make(kM16);
    WH_Object(m16)->netId = 7;
    ASSERT_EQ(pickupweapobj(m16, player), 0);
    Bod* pistol = Make(kPistol);
    WH_Object(pistol)->netId = 9;
    ASSERT_EQ(pickupweapobj(pistol, player), 0);
    ASSERT_EQ(WH_Messages().size(), 2u);
    EXPECT_EQ(WH_Messages()[0].bytes, (std::vector<uint8_t>{'F', 0, 7, 7}));
    EXPECT_EQ(WH_Messages()[1].bytes, (std::vector<uint8_t>{'F', 0, 9, 7})) << "the current item stays the M16";
    EXPECT_EQ(WH_Messages()[0].to, -1);

    // An empty machine gun, then its ammunition: the refill names the player's index and the
    // ammunition, and the pickup itself is told too.
    Bod* gun = Make(37, 0);
    WH_Object(gun)->netId = 13;
    ASSERT_EQ(pickupweapobj(gun, player), 0);
    WH_ClearMessages();
    Bod* ammo = Make(38);
    WH_Object(ammo)->netId = 11;
    ASSERT_EQ(pickupweapobj(ammo, player), 0);
    EXPECT_EQ(WH_Object(gun)->ammo, WH_Object(gun)->ammoMax);
    ASSERT_EQ(WH_Messages().size(), 2u);
    EXPECT_EQ(WH_Messages()[0].bytes, (std::vector<uint8_t>{'F', uint8_t(MSG_PlayerIdIndex(0)), 11, 7}));
    EXPECT_EQ(WH_Messages()[1].bytes, (std::vector<uint8_t>{'F', 0, 11, 7}));

    // The health item: '>' with the taker's id and the item's number, not when remote.
    WH_ClearMessages();
    WH_Ai(player)->health = 10;
    Bod* health = Make(kHealth);
    WH_Object(health)->netId = 25;
    ASSERT_EQ(WOPickupHealth(player, health, 0), 1);
    ASSERT_EQ(WH_Messages().size(), 1u);
    EXPECT_EQ(WH_Messages()[0].bytes, (std::vector<uint8_t>{'>', 0, 25}));
    WH_ClearMessages();
    ASSERT_EQ(WOPickupHealth(player, Make(kHealth), 1), 1);
    EXPECT_TRUE(WH_Messages().empty());

    // Applying a received message: taken silently.
    g_WOAnnounce = 0;
    size_t mark = WH_TraceMark();
    WOAddToInventory(Make(kAxe), player);
    EXPECT_EQ(Types().back(), kAxe);
    EXPECT_TRUE(WH_Sounds(WH_TraceSince(mark)).empty());
    EXPECT_TRUE(WH_Messages().empty());

    // A client refuses and sends nothing.
    WH_SetNetworkGame(false, 1);
    g_WOAnnounce = 1;
    WH_SetPlayer(0, player, 0);
    WOClearInventory(player);
    WH_ClearMessages();
    EXPECT_EQ(pickupweapobj(Make(kPistol), player), WO_PICKUP_REFUSED);
    EXPECT_TRUE(WH_Messages().empty());

    // Single player: the pickup sound only from the level's second frame on.
    WH_SetSinglePlayer();
    for (int frame : {1, 2}) {
        SCOPED_TRACE(frame);
        WOClearInventory(player);
        g_LevelFrameCount = frame;
        mark = WH_TraceMark();
        ASSERT_EQ(pickupweapobj(Make(kAxe), player), 0);
        EXPECT_EQ(WH_Sounds(WH_TraceSince(mark)),
                  frame > 1 ? std::vector<std::string>{"SND_PlayAt(0x10007,90)"} : std::vector<std::string>{});
    }
}

// A destroyed bod leaves nothing pointing at it: its carried entry goes (the later ones move
// down, the selection follows), and objects it held or threw forget it.
TEST_F(CarryTest, DestroyedBodsAreForgotten) {
    Bod* axe = Make(kAxe);
    Bod* pistol = Make(kPistol);
    Bod* m16 = Make(kM16);
    for (Bod* b : {axe, pistol, m16})
        ASSERT_EQ(pickupweapobj(b, player), 0);
    ASSERT_EQ(WH_Character(player)->selectedSlot, 3u);
    WH_Character(player)->lastHitBod = pistol;
    BOD_Destroy(&g_WorldBods, pistol);
    EXPECT_EQ(Types(), (std::vector<uint32_t>{kAxe, kM16}));
    EXPECT_EQ(WH_Character(player)->items[2].itemBod, m16);
    EXPECT_EQ(WH_Character(player)->selectedSlot, 2u);
    EXPECT_EQ(WH_Character(player)->lastHitBod, nullptr);

    WH_Object(axe)->thrower = player;
    BOD_Destroy(&g_WorldBods, player);
    player = nullptr;
    EXPECT_EQ(WH_Object(axe)->holder, nullptr);
    EXPECT_EQ(WH_Object(axe)->thrower, nullptr);
    EXPECT_EQ(WH_Object(m16)->holder, nullptr);
}

TEST_F(CarryTest, StartItems) {
    struct Case {
        int type;
        int percent;
        size_t carried;
    } const cases[] = {{kColt, 50, 1}, {kColt, 33, 1}, {0, 100, 0}, {kArm, 100, 0}, {200, 100, 0}, {-3, 100, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        WOClearInventory(player);
        const uint32_t before = g_WorldBods.count;
        LVL_GiveStartItem(c.percent, player, c.type);
        ASSERT_EQ(Types().size(), c.carried);
        if (c.carried) {
            const WorldObjectControl* colt = WH_Object(WH_Character(player)->items[1].itemBod);
            EXPECT_EQ(colt->ammo, colt->ammoMax * c.percent / 100) << "truncated";
        }
        if (c.type == int(kArm)) {
            ASSERT_EQ(g_WorldBods.count, before + 1);
            EXPECT_NE(g_WorldBods.tail->flags & BOD_FLAG_REMOVE, 0u) << "an arm given is removed at once";
        }
    }
}

TEST_F(CarryTest, SpawnerRulesAndNumbers) {
    struct Case {
        int type;
        bool network;
        bool spawned;
    } const cases[] = {
        {int(kPistol), false, true}, {int(kPistol), true, true}, {int(kSerum), false, true},
        {int(kSerum), true, false},  {int(kArm), false, false},  {150, false, false},
        {-1, false, false},          {int(kHealth), true, false},
    };
    WO_ResetNetIds();
    uint8_t expectId = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + (c.network ? " network" : ""));
        if (c.network)
            WH_SetNetworkGame(true, 0);
        else
            WH_SetSinglePlayer();
        const LevelSpawnRecord record{0, 0, {300, 500, -400}, c.type, 0.5f};
        Bod* bod = LVL_SpawnObject(&record);
        ASSERT_EQ(bod != nullptr, c.spawned);
        if (!bod)
            continue;
        const WorldObjectControl* object = WH_Object(bod);
        EXPECT_EQ(object->netId, expectId++);
        EXPECT_EQ(bod->active, 1u);
        EXPECT_FLOAT_EQ(object->transform.m[9], 300.0f);
        EXPECT_FLOAT_EQ(object->transform.m[10], 50.0f) << "50 above the floor";
        EXPECT_FLOAT_EQ(object->transform.m[11], -400.0f);
        EXPECT_EQ(object->spawned, 1u);
    }
}

}  // namespace
