// The Windows multimedia calls the system makes, declared by us from what the callers use, one
// section per family. Implemented over the platform's one audio output (audio_out.h).
//   - waveOut: movie sound (platform/src/mmsystem_wave.cpp)
//   - multimedia timer: timeGetTime, declared with the other clocks in win32.h
#pragma once
#include <cstdint>
#include <functional>

#include "plat.h"
#include "win32.h"

typedef UINT MMRESULT;
typedef uintptr_t DWORD_PTR;

// Result codes shared by every family.
enum : MMRESULT {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALFLAG = 10,
    MMSYSERR_INVALPARAM = 11,
};

// Time formats of MMTIME.
enum : UINT { TIME_MS = 0x1, TIME_SAMPLES = 0x2, TIME_BYTES = 0x4 };

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
    } u;
};

// ---------------------------------------------------------------------------------------------
// waveOut
// ---------------------------------------------------------------------------------------------

enum : MMRESULT {
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
    WAVERR_SYNC = 35,
};

enum : WORD { WAVE_FORMAT_PCM = 1 };
enum : DWORD { CALLBACK_NULL = 0 };

// Header flags.
enum : DWORD {
    WHDR_DONE = 0x01,
    WHDR_PREPARED = 0x02,
    WHDR_BEGINLOOP = 0x04,
    WHDR_ENDLOOP = 0x08,
    WHDR_INQUEUE = 0x10,
};

// The format record. Packed, as the movie container's stream-buffer library hands it out with
// a samples-per-block word directly after cbSize (byte 18).
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};

struct PlatWaveOut;
typedef PlatWaveOut* HWAVEOUT;

PLATAPI UINT waveOutGetNumDevs(void);
// Only CALLBACK_NULL opens are offered: no caller asks to be called back.
PLATAPI MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags);
PLATAPI MMRESULT waveOutClose(HWAVEOUT device);
PLATAPI MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
PLATAPI MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
// Queues a prepared header. A header flagged WHDR_BEGINLOOP | WHDR_ENDLOOP plays dwLoops times.
PLATAPI MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT headerSize);
// The bytes played since the open or the last reset (wrapping at 2^32), in the asked format or
// in another one the device prefers (the answer's wType says which).
PLATAPI MMRESULT waveOutGetPosition(HWAVEOUT device, MMTIME* time, UINT timeSize);
PLATAPI MMRESULT waveOutPause(HWAVEOUT device);
PLATAPI MMRESULT waveOutRestart(HWAVEOUT device);
// Stops, marks every queued header done and sets the position back to 0.
PLATAPI MMRESULT waveOutReset(HWAVEOUT device);

namespace plat {

// Test and tool controls of the wave output devices. Every device plays into the one audio
// output; these shape how the devices answer.
enum class WaveCall { Open, Close, Prepare, Unprepare, Write, GetPosition, Pause, Restart, Reset };
// Number of devices offered (default 1; 0 simulates a machine without sound).
PLATEXPORT void WaveOutSetDeviceCount(UINT count);
// A refusing device answers every open with WAVERR_BADFORMAT.
PLATEXPORT void WaveOutRefuseDevice(UINT deviceId, bool refuse);
// Every later call of this kind fails with the code (0 restores normal answers).
PLATEXPORT void WaveOutSetFailure(WaveCall call, MMRESULT code);
// The format in which positions are answered (TIME_BYTES by default, or TIME_SAMPLES, TIME_MS),
// whatever the caller asks for.
PLATEXPORT void WaveOutSetPositionType(UINT type);
// Positions are reported in whole steps of this many frames (1 by default), like a driver
// whose position moves in coarse updates.
PLATEXPORT void WaveOutSetPositionStep(DWORD frames);
// Receives every byte a device plays, in the device's own format, as it is played.
using WaveTap = std::function<void(const WAVEFORMATEX& format, const uint8_t* bytes, size_t count)>;
PLATEXPORT void WaveOutSetTap(WaveTap tap);
// Back to one plain device with no failures, no tap and bytes positions.
PLATEXPORT void WaveOutResetForTests();

}  // namespace plat
