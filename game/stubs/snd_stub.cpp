// Stand-in for the sound device and sound groups: nothing sounds; each call is recorded.
#include "stubs/snd_stub.h"

#include "stubs/trace.h"

int SND_InitDevice(HWND) {
    STUB_Trace("SND_InitDevice");
    return 1;
}

int SND_ShutdownDevice() {
    STUB_Trace("SND_ShutdownDevice");
    return 1;
}

int SND_LoadGroup(uint32_t groupId) {
    STUB_Trace("SND_LoadGroup", "0x%X", groupId);
    return 1;
}

int SND_ReleaseGroup(uint32_t groupId) {
    STUB_Trace("SND_ReleaseGroup", "0x%X", groupId);
    return 1;
}
