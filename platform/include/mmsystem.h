// The Windows multimedia calls the system makes, declared by us from what the callers use, one
// section per family. Implemented over the platform's one audio output (audio_out.h).
//   - waveOut: movie sound (platform/src/mmsystem_wave.cpp)
//   - MCI command strings: CD audio (platform/src/mmsystem_cd.cpp)
//   - multimedia timer: timeGetTime, declared with the other clocks in win32.h
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

// ---------------------------------------------------------------------------------------------
// MCI command strings: the "cdaudio" device
// ---------------------------------------------------------------------------------------------
//
// A small interpreter of the commands the game sends, case-insensitive, words separated by
// blanks:
//   open cdaudio | close cdaudio | stop cdaudio | set cdaudio time format tmsf|msf|milliseconds
//   play cdaudio [from T] [to U] [notify]      (T, U: tracks; the time format must be tmsf)
// A play runs from the start of track T to the start of track U (U may be one past the last
// track: to the end of the disc); a play from T to T is empty and ends at once. The disc's tracks
// are the files "music\trackNN.wav" (PCM) resolved from the current directory when present,
// silent tracks of a configured length otherwise; they sound through the platform's audio
// output, and their time follows the platform clock.
// Notifications (MM_MCINOTIFY, wParam the code, lParam the device id) go to the window given
// with a "notify" play: successful when the range has played, superseded when another notifying
// play replaces it, aborted by a stop or close, failure when a track file cannot be read. A
// command that returns an error posts nothing; the device must be open, and a play needs a disc.

typedef DWORD MCIERROR;

enum : WPARAM {
    MCI_NOTIFY_SUCCESSFUL = 0x1,
    MCI_NOTIFY_SUPERSEDED = 0x2,
    MCI_NOTIFY_ABORTED = 0x4,
    MCI_NOTIFY_FAILURE = 0x8,
};

enum : MCIERROR {
    MCIERR_UNRECOGNIZED_KEYWORD = 259,
    MCIERR_UNRECOGNIZED_COMMAND = 261,
    MCIERR_INVALID_DEVICE_NAME = 263,
    MCIERR_DEVICE_OPEN = 265,
    MCIERR_BAD_INTEGER = 270,
    MCIERR_MISSING_PARAMETER = 273,
    MCIERR_UNSUPPORTED_FUNCTION = 274,
    MCIERR_DEVICE_NOT_READY = 276,
    MCIERR_OUTOFRANGE = 282,
};

// Sends one command string; the return string, when given, receives "" (no command here answers
// with text). Returns 0 or an MCIERR_ code.
PLATAPI MCIERROR mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback);

namespace plat {

// Test controls of the CD device.
struct CdCommand {
    std::string command;  // as sent
    HWND callback;
    MCIERROR result;
};
// Every command sent since the last reset or clear, in order.
PLATEXPORT std::vector<CdCommand> CdCommandLog();
PLATEXPORT void CdClearLog();
// The disc in the drive: none (plays fail with MCIERR_DEVICE_NOT_READY), or tracks 1..trackCount
// whose missing files are silent tracks of silentTrackMs. By default 10 tracks of 3 minutes.
// Takes effect at the next "open cdaudio".
PLATEXPORT void CdSetDisc(bool present, int trackCount, uint32_t silentTrackMs);
// True while a play runs, with its track range [from, to).
PLATEXPORT bool CdPlaying(int* fromTrack, int* toTrack);
// Closed device, default disc, empty log.
PLATEXPORT void CdResetForTests();

}  // namespace plat
