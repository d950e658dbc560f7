// worldsim's world objects under the game's own behaviours (see objects.h).
#include "objects.h"

#include <cstdio>
#include <deque>

#include "engine/lnd.h"
#include "net/msg.h"
#include "scenario.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/lvl_placement.h"
#include "world/wo.h"
#include "world/wo_behaviour.h"
#include "world/wo_carry.h"
#include "world/wo_create.h"
#include "world/wo_master.h"
#include "world/wo_slots.h"
#include "world_harness.h"

namespace {

constexpr uint32_t kStaticType = 151;

// The records the placed statics point to, for the run.
std::deque<WODoorRecord> g_Doors;
std::deque<WOConveyorRecord> g_Belts;

// What was last reported of each bod.
std::map<std::string, std::string> g_Seen;

std::string Format(const char* format, double a, double b, double c) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

Bod* PlaceStatic(const ScenarioBod& b, uint32_t initialState, const void* record, uint32_t param11) {
    WOPlacement list[2] = {};
    list[0].type = kStaticType;
    list[0].name = b.target.c_str();
    list[0].initialState = initialState;
    list[0].param10 = record;
    list[0].param11 = param11;
    list[1].type = WO_END_TYPE;
    return LVL_CreatePlacedObjects(list, 2) == 1 ? g_WorldBods.tail : nullptr;
}

Bod* Find(const std::map<std::string, Bod*>& bods, const std::string& name) {
    const auto it = bods.find(name);
    return it == bods.end() ? nullptr : it->second;
}

std::string DoorState(const WorldObjectControl* c) {
    const Landscape* l = g_Landscape;
    if (!l || c->landscapeObject < 1 || int32_t(c->landscapeObject) > l->objectCount)
        return "";
    const LandscapeObject& o = l->objects[c->landscapeObject];
    if (o.positionRef < 1 || o.positionRef > l->vertexCount)
        return "";
    const Vec3 p = l->vertices[o.positionRef].position;
    return Format("%.2f %.2f phase %.0f", p.x, p.z, c->param11);
}

std::string CarryState(const CharacterControl* c) {
    std::string types;
    for (int slot = 1; slot < ACT_ITEM_SLOTS; ++slot)
        if (c->items[slot].itemType != ACT_NO_ITEM)
            types += (types.empty() ? "" : ",") + std::to_string(c->items[slot].itemType);
    return (types.empty() ? "-" : types) + " selected " + std::to_string(c->selectedSlot);
}

}  // namespace

void SimResetObjects() {
    g_Doors.clear();
    g_Belts.clear();
    g_Seen.clear();
}

bool SimReadStatic(const std::string& command, std::istringstream& words, Scenario* s, int objects) {
    ScenarioBod bod{command, objects, 0, 0, 0, 0, 0};
    std::vector<float>& n = bod.params;
    float value;
    if (command == "door" && !(words >> bod.target))
        return false;
    while (n.size() < 5 && words >> value)
        n.push_back(value);
    std::string rest;
    if (words >> rest)
        return false;
    if (command == "door" && (n.size() < 4 || !(n[3] > 0.0f) || !(n[3] < 1e6f)))
        return false;
    if (command == "conveyor" && (n.size() < 2 || n.size() > 3 || n[1] < 1 || n[1] > 65535 ||
                                  (n.size() > 2 && (n[2] < 1 || n[2] > 65535))))
        return false;
    s->bods.push_back(bod);
    return true;
}

bool SimIsCarryEvent(const std::string& what) {
    return what == "pickup" || what == "take" || what == "drop" || what == "health" || what == "return";
}

bool SimReadCarryEvent(ScenarioEvent* event, std::istringstream& words) {
    if (!(words >> event->who))
        return false;
    if (event->what != "drop" && event->what != "return" && !(words >> event->field))
        return false;
    std::string rest;
    return !(words >> rest);
}

Bod* SimMakeGameObject(const ScenarioBod& b) {
    if (b.kind == "door") {
        g_Doors.push_back({b.params[0], b.params[1], b.params[2], b.params[3]});
        const uint32_t phase = b.params.size() > 4 && b.params[4] != 0.0f ? WO_DOOR_OPEN : WO_DOOR_CLOSED;
        return PlaceStatic(b, WO_BEHAVIOUR_DOOR_INIT, &g_Doors.back(), phase);
    }
    if (b.kind == "conveyor") {
        const int32_t first = int32_t(b.params[1]);
        g_Belts.push_back({b.params[0], {first, b.params.size() > 2 ? int32_t(b.params[2]) : first}, 0});
        return PlaceStatic(b, WO_BEHAVIOUR_CONVEYOR_SET, &g_Belts.back(), 0);
    }
    // The type's model and skin as small placeholders where the game loads them.
    if (b.value >= 0) {
        const std::string model = WO_TypeModelFile(uint32_t(b.value)) ? WO_TypeModelFile(uint32_t(b.value)) : "";
        const std::string skin = WO_TypeSkinFile(uint32_t(b.value)) ? WO_TypeSkinFile(uint32_t(b.value)) : "";
        if (model.size() > 4 && model.compare(model.size() - 4, 4, ".qmd") == 0)
            WH_WriteCube(model, 10.0f);
        if (!skin.empty())
            WH_WriteSkin(skin);
    }
    const LevelSpawnRecord record{0, 0, {b.x, b.y, b.z}, b.value, 0.0f};
    Bod* bod = LVL_SpawnObject(&record);
    WorldObjectControl* control = BOD_ObjectOf(bod);
    if (!bod) {
        const Vec3 at{b.x, b.y, b.z};
        bod = b.value >= 0 ? WOCreateAt(&at, 0, uint32_t(b.value), nullptr, &control) : nullptr;
        if (!bod)
            return nullptr;
        control->netId = WO_TakeNetId();
        control->startTransform = control->transform;
        bod->active = 1;
    }
    if (!b.params.empty())
        control->ammo = int32_t(b.params[0]);
    return bod;
}

void SimCarryEvent(const ScenarioEvent& e, const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines) {
    if (e.what == "return") {
        WorldObjectControl* o = BOD_ObjectOf(Find(bods, e.who));
        if (!o) {
            lines->push_back("(no object " + e.who + ")");
            return;
        }
        WOReturnToPlace(o);
        lines->push_back("return " + e.who + Format(" %.1f %.1f %.1f", o->transform.m[9], o->transform.m[10], o->transform.m[11]));
        return;
    }
    Bod* character = Find(bods, e.who);
    if (!BOD_CharacterOf(character)) {
        lines->push_back("(no character " + e.who + ")");
        return;
    }
    if (e.what == "drop") {
        WorldObjectControl* current = WOGetCurrentItem(character);
        CharacterControl* c = BOD_CharacterOf(character);
        if (!current || current == WO_BARE_HANDS) {
            lines->push_back("drop " + e.who + " nothing");
            return;
        }
        Bod* object = c->items[c->selectedSlot].itemBod;
        c->dropHeading = c->heading;
        const int result = WODropObject(object, character);
        WORemoveFromSlots(character, object);
        ACT_SelectWeapon(character);
        lines->push_back("drop " + e.who + " -> " + std::to_string(result));
        return;
    }
    Bod* object = Find(bods, e.field);
    if (!BOD_ObjectOf(object)) {
        lines->push_back("(no object " + e.field + ")");
        return;
    }
    if (e.what == "health") {
        lines->push_back("health " + e.who + " " + e.field + " -> " + std::to_string(WOPickupHealth(character, object, 0)));
        return;
    }
    if (e.what == "take") {
        // As the message layer applies another machine's message: no announcements.
        const int32_t announce = g_WOAnnounce;
        g_WOAnnounce = 0;
        WOAddToInventory(object, character);
        g_WOAnnounce = announce;
        lines->push_back("take " + e.who + " " + e.field);
        return;
    }
    lines->push_back("pickup " + e.who + " " + e.field + " -> " + std::to_string(pickupweapobj(object, character)));
}

void SimObjectLines(const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines, bool print) {
    if (!print)
        g_Seen.clear();
    for (const auto& [name, bod] : bods) {
        std::string line;
        if (const CharacterControl* c = BOD_CharacterOf(bod)) {
            line = "carry " + name + " " + CarryState(c);
        } else if (const WorldObjectControl* o = BOD_ObjectOf(bod)) {
            bool isBelt = false;
            for (const WOConveyorRecord& b : g_Belts)
                isBelt = isBelt || o->param10 == &b;
            if (isBelt) {
                const auto* belt = static_cast<const WOConveyorRecord*>(o->param10);
                const Landscape* l = g_Landscape;
                const int32_t m = belt->materials[0];
                const float rate = (l && m >= 1 && m <= l->materialCount) ? l->materials[m].uvAnimDv : 0.0f;
                line = "belt " + name + Format(" mode %.0f rate %.1f", o->param11, rate, 0.0);
            } else if (o->param10 && o->head.firstWord >= kStaticType) {
                const std::string door = DoorState(o);
                if (door.empty() || static_cast<const void*>(o->param10) == nullptr)
                    continue;
                bool isDoor = false;
                for (const WODoorRecord& d : g_Doors)
                    isDoor = isDoor || o->param10 == &d;
                if (!isDoor)
                    continue;
                line = "door " + name + " " + door;
            } else if (o->head.firstWord < kStaticType) {
                line = "where " + name + " " + std::to_string(o->where) + (o->holder ? " held" : "");
            } else {
                continue;
            }
        } else {
            continue;
        }
        std::string& seen = g_Seen[name];
        if (print && line != seen)
            lines->push_back(line);
        seen = line;
    }
}

bool SimReportsObjectCall(const std::string& call) {
    return call.rfind("SND_Stop", 0) == 0 || call.rfind("APP_AnnouncePickup", 0) == 0;
}
