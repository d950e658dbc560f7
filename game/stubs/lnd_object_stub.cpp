// Stand-in for the landscape object set-up: records the call.
#include "stubs/lnd_object_stub.h"

#include "engine/lnd.h"
#include "stubs/trace.h"

int32_t LND_SetUpObject(int32_t object) {
    STUB_Trace("LND_SetUpObject", "%d", object);
    if (!g_Landscape || object < 1 || object > g_Landscape->objectCount) return 0;
    return g_Landscape->objectCount;
}
