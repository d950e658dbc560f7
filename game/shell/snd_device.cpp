// The sound device: DirectSound start-up and shutdown, the enumerated device list (tracked copies
// of each name), the primary buffer and the system's primary volume, and the percent-to-
// attenuation curve with the master volume built on it.
#include "shell/snd_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/mem.h"
#include "shell/snd.h"

SoundDevice g_SndDevices[SND_MAX_DEVICES] = {};
int g_SndDeviceCount = 0;
LPDIRECTSOUND g_DirectSound = nullptr;
LPDIRECTSOUNDBUFFER g_PrimaryBuffer = nullptr;
LONG g_SavedPrimaryVolume = 0;
DSCAPS g_SndCaps = {};

namespace {

constexpr LONG kSilence = DSBVOLUME_MIN;
constexpr double kCurve = 0.6;
constexpr LONG kGetVolumeFloor = -3600;

// A tracked copy of a device's text (tag 8); null when none was given or the heap refuses.
char* SND_CopyText(LPCSTR text) {
    if (!text)
        return nullptr;
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(MEM_Alloc(static_cast<uint32_t>(length + 1), SND_MEM_TAG));
    if (copy)
        std::memcpy(copy, text, length + 1);
    return copy;
}

void SND_FreeDeviceCopies() {
    for (int i = 0; i < g_SndDeviceCount; ++i) {
        SoundDevice& device = g_SndDevices[i];
        if (device.description)
            MEM_Free(device.description);
        if (device.module)
            MEM_Free(device.module);
        device = SoundDevice{};
    }
    g_SndDeviceCount = 0;
}

// -((100 - p) * 0.6)^2, truncated toward zero; far outside 0..100 the result stops at the
// lowest value a LONG holds.
LONG SND_Curve(int percent) {
    const double x = (100.0 - percent) * kCurve;
    const double magnitude = std::min(x * x, 2147483647.0);
    return -static_cast<LONG>(magnitude);
}

}  // namespace

BOOL SND_EnumDeviceCallback(LPGUID guid, LPCSTR description, LPCSTR module, void*) {
    if (g_SndDeviceCount >= SND_MAX_DEVICES)
        return FALSE;
    SoundDevice& device = g_SndDevices[g_SndDeviceCount++];
    device.hasGuid = guid ? 1 : 0;
    device.guid = guid ? *guid : GUID{};
    device.description = SND_CopyText(description);
    device.module = SND_CopyText(module);
    return TRUE;
}

int SND_InitDevice(HWND window) {
    SND_Trace("SND_InitDevice");
    g_SndMissCount = 0;
    g_SndSlotFailures = 0;
    // The list starts empty; copies of an earlier start without shutdown stay with the tracked
    // heap, which frees them with everything else.
    for (SoundDevice& device : g_SndDevices)
        device = SoundDevice{};
    g_SndDeviceCount = 0;
    DirectSoundEnumerateA(SND_EnumDeviceCallback, nullptr);

    LPGUID first = (g_SndDeviceCount > 0 && g_SndDevices[0].hasGuid) ? &g_SndDevices[0].guid : nullptr;
    if (FAILED(DirectSoundCreate(first, &g_DirectSound, nullptr)) || !g_DirectSound) {
        g_DirectSound = nullptr;
        return 0;
    }
    g_DirectSound->SetCooperativeLevel(window, DSSCL_EXCLUSIVE);
    g_SndCaps = DSCAPS{};
    g_SndCaps.dwSize = sizeof(DSCAPS);
    g_DirectSound->GetCaps(&g_SndCaps);

    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    if (FAILED(g_DirectSound->CreateSoundBuffer(&desc, &g_PrimaryBuffer, nullptr)))
        g_PrimaryBuffer = nullptr;
    if (g_PrimaryBuffer) {
        WAVEFORMATEX format = {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = 22050;
        format.nAvgBytesPerSec = 44100;
        format.nBlockAlign = 2;
        format.wBitsPerSample = 16;
        format.cbSize = 0;
        g_PrimaryBuffer->SetFormat(&format);
        g_PrimaryBuffer->GetVolume(&g_SavedPrimaryVolume);
        g_PrimaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
    }

    if (g_SoundWorldHooks.initEmitters)
        g_SoundWorldHooks.initEmitters();
    for (SoundSlot& slot : g_SoundSlots)
        slot.buffer = nullptr;
    if (g_SoundWorldHooks.initSpeechSlots)
        g_SoundWorldHooks.initSpeechSlots();
    return 1;
}

int SND_ShutdownDevice() {
    SND_Trace("SND_ShutdownDevice");
    if (g_SoundWorldHooks.releaseSpeechSlots)
        g_SoundWorldHooks.releaseSpeechSlots();
    if (g_SoundWorldHooks.clearEmitters)
        g_SoundWorldHooks.clearEmitters();
    SND_ReleasePlaybackSlots();
    SND_ReleaseAllGroups();
    if (g_PrimaryBuffer) {
        g_PrimaryBuffer->SetVolume(g_SavedPrimaryVolume);
        g_PrimaryBuffer->Release();
        g_PrimaryBuffer = nullptr;
    }
    if (g_DirectSound) {
        g_DirectSound->Release();
        g_DirectSound = nullptr;
    }
    SND_FreeDeviceCopies();
    return 1;
}

int SND_PercentToAttenuation(int percent) {
    return percent == 0 ? kSilence : SND_Curve(percent);
}

int SND_SetMasterVolume(int percent) {
    if (!g_DirectSound || !g_PrimaryBuffer)
        return 0;
    g_PrimaryBuffer->SetVolume(percent == 0 ? kSilence : SND_Curve(percent));
    return 1;
}

int SND_GetMasterVolume() {
    if (!g_DirectSound || !g_PrimaryBuffer)
        return 0;
    LONG volume = 0;
    g_PrimaryBuffer->GetVolume(&volume);
    if (volume <= kGetVolumeFloor)
        return 0;
    if (volume > 0)
        volume = 0;  // no louder than full
    double percent = 100.0 - std::sqrt(static_cast<double>(-volume)) / kCurve;
    if (percent < 0.0)
        percent = 0.0;
    if (percent > 100.0)
        percent = 100.0;
    return static_cast<int>(percent);
}
