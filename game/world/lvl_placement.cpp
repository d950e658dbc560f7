// A level's placed objects: every record of the level's placement list becomes a world object
// (types below 151: an active class-320 bod with its type's model and the touch hook) or a
// landscape static (types 151 and above: a class-128 bod without hook or model, bound to the
// landscape object of its name). Placed objects lie in the world, are their own holder and
// cannot be picked up by touch.
#include "world/lvl_placement.h"

#include "common/mem.h"
#include "engine/lnd.h"
#include "engine/lnd_material.h"
#include "engine/mdl.h"
#include "win32.h"
#include "world/bod.h"
#include "world/wo.h"
#include "world/wo_master.h"

namespace {

constexpr uint32_t kFirstStaticType = 151;

const LandscapeObject* ObjectRecord(const char* name) {
    const int32_t index = (name && *name) ? LND_FindObject(name) : 0;
    return index > 0 ? &g_Landscape->objects[index] : nullptr;
}

Bod* CreatePlaced(const WOPlacement& record) {
    auto* control = static_cast<WorldObjectControl*>(MEM_Alloc(sizeof(WorldObjectControl), MEM_TAG_WORLD_OBJECT));
    if (!control)
        return nullptr;
    const bool isStatic = record.type >= kFirstStaticType;
    Bod* bod = BOD_Create(&g_WorldBods, isStatic ? BOD_CLASS_STATIC : BOD_CLASS_PLACED,
                          isStatic ? nullptr : &WO_BodHook);
    if (!bod) {
        MEM_Free(control);
        return nullptr;
    }
    BOD_AttachControl(bod, control, g_WOBehaviourTable);
    control->head.firstWord = record.type;
    MTH_MatrixIdentity(&control->transform);
    MTH_PoseIdentity(&control->pose);
    control->ammoFor = WO_NO_TYPE;
    control->linkedType = WO_NO_TYPE;
    control->where = WO_IN_WORLD;
    control->holder = bod;
    control->useBehaviour = record.useBehaviour;
    control->name = record.name;
    control->param3 = record.param3;
    control->requiredItem = record.requiredItem;
    control->param5 = record.param5;
    control->param6 = record.param6;
    control->param7 = record.param7;
    control->param8 = record.param8;
    control->param10 = record.param10;
    control->param11 = record.param11;
    control->landscapeObjectRec = ObjectRecord(record.name);
    if (isStatic) {
        const int32_t index = (record.name && *record.name) ? LND_FindObject(record.name) : 0;
        control->landscapeObject = uint32_t(index > 0 ? index : 0);
        if (index <= 0) {
            OutputDebugStringA(" object not found ");
            OutputDebugStringA(record.name ? record.name : "");
            OutputDebugStringA("\n");
        }
    } else {
        if (const char* model = WO_TypeModelFile(record.type)) {
            MDL_Load(model, &control->instance);
            if (const char* skin = WO_TypeSkinFile(record.type); skin && control->instance)
                MDL_LoadSkin(control->instance, skin);
        }
        bod->active = 1;
    }
    if (record.initialState != 0)
        BOD_SetAction(bod, int(record.initialState));
    return bod;
}

}  // namespace

int LVL_CreatePlacedObjects(const WOPlacement* list, size_t capacity) {
    int created = 0;
    for (size_t i = 0; list && i < capacity && list[i].type != WO_END_TYPE; ++i) {
        // 162 is "no object"; nothing above the end type is a type at all.
        if (list[i].type >= WO_NO_TYPE) {
            OutputDebugStringA(" placement of an unknown object type skipped\n");
            continue;
        }
        if (!CreatePlaced(list[i]))
            break;
        ++created;
    }
    return created;
}
