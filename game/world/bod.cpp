// Bods: creation, control records, destruction, the per-frame dispatch of handlers and hooks, and
// the searches over a list by class mask or by static name.
#include "world/bod.h"
#include "world/wo.h"

#include <strings.h>

#include "engine/mdl.h"
#include "common/app_services.h"
#include "common/match.h"
#include "common/mem.h"
#include "world/ai.h"
#include "world/bod_record.h"
#include "world/game_frame.h"

BodList g_WorldBods = {};
Bod* g_PlayerBods[BOD_PLAYER_SLOTS] = {};
Bod* g_NpcBods[BOD_NPC_POOL] = {};
uint32_t g_BodSearchSteps = 0;
uint32_t g_BodSearchLimit = 1024;

namespace {
// The search guard never fires before this many steps, and otherwise only past four steps per
// bod of the searched list: no legitimate search (even several nested ones) comes near it, but a
// search that runs in a circle still ends.
constexpr uint32_t kSearchStepFloor = 1024;
constexpr uint32_t kSearchStepsPerBod = 4;

bool IsCharacterClass(uint32_t classMask) {
    return (classMask & BOD_MASK_CHARACTERS) != 0;
}

bool IsObjectClass(uint32_t classMask) {
    return (classMask & (BOD_CLASS_OBJECT | BOD_CLASS_STATIC)) != 0;
}

int PlayerSlotOf(const Bod* bod) {
    for (int i = 0; i < BOD_PLAYER_SLOTS; ++i)
        if (g_PlayerBods[i] == bod)
            return i;
    return -1;
}
}  // namespace

CharacterControl* BOD_CharacterOf(const Bod* bod) {
    if (!bod || !bod->control || !IsCharacterClass(bod->classMask))
        return nullptr;
    return static_cast<CharacterControl*>(bod->control);
}

WorldObjectControl* BOD_ObjectOf(const Bod* bod) {
    if (!bod || !bod->control || IsCharacterClass(bod->classMask) || !IsObjectClass(bod->classMask))
        return nullptr;
    return static_cast<WorldObjectControl*>(bod->control);
}

int BOD_ActionCount(const Bod* bod) {
    if (!bod)
        return 0;
    if (IsCharacterClass(bod->classMask))
        return BOD_CHARACTER_ACTIONS;
    if (IsObjectClass(bod->classMask))
        return BOD_OBJECT_BEHAVIOURS;
    return 0;
}

Bod* BOD_Create(BodList* list, uint32_t classMask, BodHandler hook) {
    if (!list)
        return nullptr;
    auto* bod = static_cast<Bod*>(MEM_Alloc(sizeof(Bod), MEM_TAG_BOD));
    if (!bod)
        return nullptr;
    bod->classMask = classMask;
    bod->hook = hook;
    bod->prev = list->tail;
    if (list->tail)
        list->tail->next = bod;
    else
        list->head = bod;
    list->tail = bod;
    ++list->count;
    return bod;
}

void BOD_AttachControl(Bod* bod, void* control, const BodHandler* table) {
    if (!bod)
        return;
    bod->control = control;
    if (!control)
        return;
    auto* head = static_cast<BodControl*>(control);
    head->actionTable = table;
    head->action = 0;
}

void BOD_Destroy(BodList* list, Bod* bod) {
    if (!list || !bod)
        return;
    if (bod->prev)
        bod->prev->next = bod->next;
    else
        list->head = bod->next;
    if (bod->next)
        bod->next->prev = bod->prev;
    else
        list->tail = bod->prev;
    --list->count;
    // A running update must neither visit this bod next nor go on with it.
    if (list->cursor == bod)
        list->cursor = bod->next;
    if (list->current == bod)
        list->current = nullptr;
    // Nothing may go on pointing at it: carried entries, holders, links.
    WO_ForgetBod(bod);

    if (WorldObjectControl* object = BOD_ObjectOf(bod); object && (bod->classMask & BOD_CLASS_OBJECT)) {
        MDL_FreeInstance(object->linkedInstance);
        object->linkedInstance = nullptr;
    }
    BOD_WithRecord(bod, [](auto* record) {
        MDL_FreeInstance(record->instance);
        record->instance = nullptr;
    });
    MEM_Free(bod->control);
    MEM_Free(bod->ownedBlock);
    MEM_Free(bod);
}

void BOD_DestroyAll(BodList* list) {
    if (!list)
        return;
    while (list->head)
        BOD_Destroy(list, list->head);
}

void BOD_DestroyWorld() {
    BOD_DestroyAll(&g_WorldBods);
}

void BOD_UpdateAll(BodList* list) {
    if (!list || list->updating)
        return;
    list->updating = 1;
    list->cursor = list->head;
    while (Bod* bod = list->cursor) {
        list->cursor = bod->next;
        list->current = bod;
        auto* head = static_cast<BodControl*>(bod->control);
        if (head && head->actionTable && head->action >= 0 && head->action < BOD_ActionCount(bod)) {
            const BodHandler handler = head->actionTable[head->action];
            CharacterControl* player = bod->classMask == BOD_CLASS_PLAYER ? BOD_CharacterOf(bod) : nullptr;
            if (player && AI_LevelFinished() == 1)
                player->attackCommand = 0;
            // While a player's handler runs in a network game, the active slot is that player's.
            const bool overrideSlot = player && APP_IsMultiplayerGame();
            const int32_t savedSlot = g_ActiveSlot;
            if (overrideSlot) {
                const int slot = PlayerSlotOf(bod);
                if (slot >= 0)
                    g_ActiveSlot = slot;
            }
            if (handler)
                handler(bod, bod->control);
            if (overrideSlot)
                g_ActiveSlot = savedSlot;
        }
        // A bod destroyed by its own handler or hook is gone: nothing more is done with it.
        if (list->current == bod && bod->hook)
            bod->hook(bod, bod->control);
        if (list->current == bod && (bod->flags & BOD_FLAG_REMOVE))
            BOD_Destroy(list, bod);
    }
    list->current = nullptr;
    list->updating = 0;
}

void BOD_RunBehaviour(Bod* bod, int index) {
    if (!bod)
        return;
    if (index == -1) {
        if (bod->hook)
            bod->hook(bod, bod->control);
        return;
    }
    auto* head = static_cast<BodControl*>(bod->control);
    // The index may come from placement data: only handlers inside the table are run.
    if (!head || !head->actionTable || index < 0 || index >= BOD_ActionCount(bod))
        return;
    if (const BodHandler handler = head->actionTable[index])
        handler(bod, bod->control);
}

Bod* BOD_FindFirst(BodList* list, uint32_t mask) {
    g_BodSearchSteps = 0;
    if (!list) {
        g_BodSearchLimit = kSearchStepFloor;
        return nullptr;
    }
    const uint64_t perBod = uint64_t(list->count) * kSearchStepsPerBod;
    g_BodSearchLimit = perBod > kSearchStepFloor ? (perBod > UINT32_MAX ? UINT32_MAX : uint32_t(perBod)) : kSearchStepFloor;
    for (Bod* bod = list->head; bod; bod = bod->next)
        if (bod->classMask & mask)
            return bod;
    return nullptr;
}

Bod* BOD_FindNext(BodList*, uint32_t mask, Bod* bod) {
    if (++g_BodSearchSteps > g_BodSearchLimit)
        APP_FatalError("number of bod searches has exceeded limit!");
    for (Bod* next = bod ? bod->next : nullptr; next; next = next->next)
        if (next->classMask & mask)
            return next;
    return nullptr;
}

Bod* BOD_FindStaticByName(const char* name) {
    if (!name)
        return nullptr;
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (bod->classMask != BOD_CLASS_STATIC)
            continue;
        const WorldObjectControl* object = BOD_ObjectOf(bod);
        if (object && object->name && strcasecmp(object->name, name) == 0)
            return bod;
    }
    return nullptr;
}

Bod* BOD_FindStaticByObjectIndex(uint32_t index) {
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (bod->classMask != BOD_CLASS_STATIC)
            continue;
        const WorldObjectControl* object = BOD_ObjectOf(bod);
        if (object && object->landscapeObject == index)
            return bod;
    }
    return nullptr;
}

CharacterControl* MEM_AllocCharacterControl(void* aiRecord) {
    auto* control = static_cast<CharacterControl*>(MEM_Alloc(sizeof(CharacterControl), MEM_TAG_CHARACTER));
    if (control) control->ai = aiRecord;
    return control;
}
