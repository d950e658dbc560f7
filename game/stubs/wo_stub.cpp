// Stand-in for the world objects: the inventory reset, the start items (recorded), a behaviour
// table whose every state does nothing yet, and a touch hook that does nothing yet.
#include "world/wo.h"

#include <string>

#include "common/calltrace.h"
#include "world/world_label.h"
#include "world/character.h"

namespace {
void NoBehaviour(Bod*, void*) {}
}  // namespace

const BodHandler g_WOBehaviourTable[BOD_OBJECT_BEHAVIOURS] = {
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
};

void WO_BodHook(Bod*, void*) {}

void WOClearInventory(Bod* characterBod) {
    CharacterControl* control = BOD_CharacterOf(characterBod);
    if (!control)
        return;
    for (CharacterItem& item : control->items)
        item = {ACT_NO_ITEM, nullptr, 0};
    control->items[0].itemType = 0;
}

void LVL_GiveStartItem(int ammoPercent, Bod* characterBod, int type) {
    TRC_Trace("LVL_GiveStartItem", "%d,%s,%d", ammoPercent, BOD_TraceLabel(characterBod), type);
}

void WOPickupOnTouch(Bod* characterBod, Bod* objectBod) {
    // One name at a time: the label comes from a shared buffer.
    const std::string character = BOD_TraceLabel(characterBod);
    TRC_Trace("WOPickupOnTouch", "%s,%s", character.c_str(), BOD_TraceLabel(objectBod));
}

int WO_CountCarried(const Bod* bod, uint32_t woFlags) {
    TRC_Trace("WO_CountCarried", "%s,0x%x", BOD_TraceLabel(bod), woFlags);
    return TRC_Result("WO_CountCarried", 0);
}
