// The sound device: opening and closing DirectSound for the game window, the primary buffer's
// format, the system's primary volume kept and given back, and the percent-to-attenuation curve
// of every volume the game sets. Opened at start-up and again after every movie. Main thread only.
#pragma once
#include <cstdint>

#include "dsound.h"

constexpr int SND_MAX_DEVICES = 9;
// Tracked heap tag of the device name copies (and of the positional sounds' records).
constexpr uint32_t SND_MEM_TAG = 8;

// One enumerated device: its GUID (none for the system's primary sound driver) and tracked copies
// of its description and module name.
struct SoundDevice {
    GUID guid;
    uint32_t hasGuid;
    char* description;
    char* module;
};
extern SoundDevice g_SndDevices[SND_MAX_DEVICES];
extern int g_SndDeviceCount;
extern LPDIRECTSOUNDBUFFER g_PrimaryBuffer;  // null when it could not be created
extern LONG g_SavedPrimaryVolume;            // the system's volume when the device started
extern DSCAPS g_SndCaps;

// Opens DirectSound on the first enumerated device, sets the primary buffer playing at 22050 Hz
// mono 16-bit and makes the sound layer ready: 1, or 0 without a device (the game runs silent).
int SND_InitDevice(HWND window);
// The enumeration callback: stores the device while fewer than 9 are stored; 0 stops.
BOOL SND_EnumDeviceCallback(LPGUID guid, LPCSTR description, LPCSTR module, void* context);
// Releases the positional sounds, slots and groups, gives the system its volume back, releases
// DirectSound and frees the device copies; 1.
int SND_ShutdownDevice();
// 0 -> -10000 (silence); else -((100 - p) * 0.6)^2 truncated toward zero (100 -> 0, 50 -> -900,
// 1 -> -3528). Values above 100 are not limited.
int SND_PercentToAttenuation(int percent);
// Sets the primary volume by the same curve: 1, or 0 without the device or its primary buffer.
int SND_SetMasterVolume(int percent);
// The primary volume as a percent, 0..100 (100 at full volume); 0 without the device, without
// its primary buffer, or at -3600 and below.
int SND_GetMasterVolume();
