// DirectSound as the game uses it: the device list, the DirectSound object, the primary buffer
// and static secondary buffers with their duplicates, volume and play once or looping. Our own
// declarations, holding only what callers use.
//
// Secondary buffers are PCM (8 or 16 bits, mono or stereo, any rate) mixed in software into the
// platform's one audio output (audio_out.h). A duplicate shares its original's sample memory but
// has its own play position, volume and state. Volumes are hundredths of a decibel, 0 (full) down
// to -10000 (silence): the gain is 10^(volume / 2000). The primary buffer's volume is the
// system's master volume: it lives for the whole process, across every open and close of a
// DirectSound object, and scales everything the buffers play.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "mmsystem.h"
#include "plat.h"
#include "win32.h"

constexpr HRESULT MakeDirectSoundResult(uint32_t code) {
    return static_cast<HRESULT>(0x88780000u | code);
}

enum : HRESULT {
    DS_OK = 0,
    DSERR_ALLOCATED = MakeDirectSoundResult(10),
    DSERR_CONTROLUNAVAIL = MakeDirectSoundResult(30),
    DSERR_INVALIDCALL = MakeDirectSoundResult(50),
    DSERR_PRIOLEVELNEEDED = MakeDirectSoundResult(70),
    DSERR_BADFORMAT = MakeDirectSoundResult(100),
    DSERR_NODRIVER = MakeDirectSoundResult(120),
    DSERR_ALREADYINITIALIZED = MakeDirectSoundResult(130),
    DSERR_BUFFERLOST = MakeDirectSoundResult(150),
    DSERR_OTHERAPPHASPRIO = MakeDirectSoundResult(160),
    DSERR_UNINITIALIZED = MakeDirectSoundResult(170),
    DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u),
    DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu),
    DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u),
    DSERR_GENERIC = static_cast<HRESULT>(0x80004005u),
    DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u),
};

// Cooperative levels.
enum : DWORD { DSSCL_NORMAL = 1, DSSCL_PRIORITY = 2, DSSCL_EXCLUSIVE = 3, DSSCL_WRITEPRIMARY = 4 };

// Buffer capabilities.
enum : DWORD {
    DSBCAPS_PRIMARYBUFFER = 0x00000001,
    DSBCAPS_STATIC = 0x00000002,
    DSBCAPS_CTRLVOLUME = 0x00000080,
    DSBCAPS_GETCURRENTPOSITION2 = 0x00010000,
};

enum : DWORD { DSBPLAY_LOOPING = 0x1 };
enum : DWORD { DSBSTATUS_PLAYING = 0x1, DSBSTATUS_LOOPING = 0x4 };
enum : DWORD { DSBLOCK_FROMWRITECURSOR = 0x1, DSBLOCK_ENTIREBUFFER = 0x2 };
enum : LONG { DSBVOLUME_MIN = -10000, DSBVOLUME_MAX = 0 };
constexpr DWORD DSBSIZE_MIN = 4, DSBSIZE_MAX = 0x0FFFFFFF;
constexpr DWORD DSBFREQUENCY_MIN = 100, DSBFREQUENCY_MAX = 100000;

struct DSBUFFERDESC {
    DWORD dwSize;  // sizeof(DSBUFFERDESC)
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    const WAVEFORMATEX* lpwfxFormat;
};

// The device's capabilities: 96 bytes of 32-bit fields.
struct DSCAPS {
    DWORD dwSize;  // 96
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwOther[19];
};
static_assert(sizeof(DSCAPS) == 96, "DSCAPS is 96 bytes");
enum : DWORD {
    DSCAPS_PRIMARYMONO = 0x1,
    DSCAPS_PRIMARYSTEREO = 0x2,
    DSCAPS_PRIMARY8BIT = 0x4,
    DSCAPS_PRIMARY16BIT = 0x8,
    DSCAPS_EMULDRIVER = 0x20,
    DSCAPS_SECONDARYMONO = 0x100,
    DSCAPS_SECONDARYSTEREO = 0x200,
    DSCAPS_SECONDARY8BIT = 0x400,
    DSCAPS_SECONDARY16BIT = 0x800,
};

class IDirectSoundBuffer {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // DSBSTATUS_PLAYING (and DSBSTATUS_LOOPING) while it plays; a played-out buffer is stopped.
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    // The primary buffer only; the format is accepted and the mix goes on at the output's rate.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    // A once-played buffer starts from where it stands (the start after its end or a new copy).
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    // Stops where it is.
    virtual HRESULT Stop() = 0;
    // The buffer memory from offset on, in two parts when the region wraps past the end.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;

protected:
    virtual ~IDirectSoundBuffer() = default;
};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;

class IDirectSound {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, LPDIRECTSOUNDBUFFER* out, void* outer) = 0;
    virtual HRESULT GetCaps(DSCAPS* caps) = 0;
    virtual HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

protected:
    virtual ~IDirectSound() = default;
};
typedef IDirectSound* LPDIRECTSOUND;

// The enumeration callback: a null GUID is the system's primary sound driver. TRUE goes on.
typedef BOOL (*LPDSENUMCALLBACKA)(LPGUID guid, LPCSTR description, LPCSTR module, void* context);
PLATAPI HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);
// A null GUID opens the primary sound driver.
PLATAPI HRESULT DirectSoundCreate(LPGUID guid, LPDIRECTSOUND* out, void* outer);

namespace plat {

// Test controls of the sound devices.
struct DsoundDevice {
    bool primaryDriver = false;  // enumerated with a null GUID
    std::string description;
    std::string module;
};
// The machine's device list, in enumeration order. By default the primary sound driver and one
// device behind it, both playing into the platform's audio output. An empty list is a machine
// without sound: DirectSoundCreate fails with DSERR_NODRIVER.
PLATEXPORT void DsoundSetDevices(const std::vector<DsoundDevice>& devices);
enum class DsoundCall { Create, CreateSoundBuffer, Duplicate, Lock, SetVolume, Play, GetStatus };
// Every later call of this kind fails with the code (DS_OK restores normal answers).
PLATEXPORT void DsoundSetFailure(DsoundCall call, HRESULT code);
// The system's primary volume (hundredths of a decibel), as another program would leave it.
PLATEXPORT void DsoundSetSystemVolume(LONG volume);
PLATEXPORT LONG DsoundSystemVolume();
// Buffers and DirectSound objects not yet released.
PLATEXPORT int DsoundLiveBuffers();
PLATEXPORT int DsoundLiveObjects();
// Secondary buffers playing now (after the output has caught up with the clock).
PLATEXPORT int DsoundPlayingBuffers();
// The default device list, no failures, system volume 0. Buffers and objects that exist stay.
PLATEXPORT void DsoundResetForTests();

}  // namespace plat
