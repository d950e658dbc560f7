// Readable bod names for the stand-ins' trace (see world_label.h).
#include "world/world_label.h"

#include <cstdio>

#include "world/bod.h"

const char* BOD_TraceLabel(const Bod* bod) {
    static char name[32];
    if (!bod)
        return "null";
    for (int i = 0; i < BOD_PLAYER_SLOTS; ++i)
        if (g_PlayerBods[i] == bod) {
            std::snprintf(name, sizeof name, "player%d", i);
            return name;
        }
    for (int i = 0; i < BOD_NPC_POOL; ++i)
        if (g_NpcBods[i] == bod) {
            std::snprintf(name, sizeof name, "npc%d", i);
            return name;
        }
    if (bod->classMask & BOD_CLASS_STATIC)
        return "static";
    if (bod->classMask & BOD_CLASS_OBJECT)
        return "object";
    std::snprintf(name, sizeof name, "class%u", bod->classMask);
    return name;
}

const char* BOD_TraceLabelOfRecord(const void* control) {
    if (control)
        for (const Bod* bod = g_WorldBods.head; bod; bod = bod->next)
            if (bod->control == control)
                return BOD_TraceLabel(bod);
    return "null";
}
