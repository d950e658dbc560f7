// The audio library's exports, as the game's movie player calls them (the export table).
// Ordinals 81, 85, 86, 88-96 and 107-110 have no function behind them.
//
//  80 GetAudioProfile     82 makeAVIaudioFactory  83 StartPlaying    84 DLLVersion
//  87 longjmpOnAudioErrors 97 StopPlaying        98 EndAudio        99 TakeBack
// 100 PauseSpeaker       101 ResumeSpeaker      102 TimeSpeaker    103 FillAudio
// 104 SetupAudio         105 IsPlaying          106 ResyncAudio
// 111-118 Setwrenfield_malloc, _calloc, _free, _close, _read, _seek, _seek_slow, _open
//
// A fatal error inside any export hands its text to the video library's Announcement and then
// jumps to the target registered with longjmpOnAudioErrors (value 1), or ends the process with
// exit code 1 (the text also on stderr) when none is registered.
#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdint>

#include "strimbuf.h"

#if defined(SONVEX_BUILD)
#define SVXAPI extern "C" __attribute__((visibility("default")))
#else
#define SVXAPI extern "C"
#endif

class audioBlockFactory;

SVXAPI uint32_t GetAudioProfile(void);
SVXAPI audioBlockFactory* makeAVIaudioFactory(int32_t channels, int32_t rate, int32_t formatTag, int32_t bitsPerSample,
                                              int32_t samplesPerBlock);
SVXAPI void StartPlaying(void);
SVXAPI int32_t DLLVersion(void);
SVXAPI std::jmp_buf* longjmpOnAudioErrors(std::jmp_buf* target);
SVXAPI void StopPlaying(void);
SVXAPI void EndAudio(void);
SVXAPI void TakeBack(void);
SVXAPI void PauseSpeaker(void);
SVXAPI void ResumeSpeaker(void);
SVXAPI uint32_t TimeSpeaker(void);
SVXAPI int32_t FillAudio(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
                         int32_t drain, int32_t loop);
SVXAPI int32_t SetupAudio(SBBUFFER* ignored, SBSTREAM* stream, int32_t mode, int32_t fallbackRate, int32_t fallback16,
                          int32_t fallbackStereo);
SVXAPI int32_t IsPlaying(void);
SVXAPI void ResyncAudio(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
                        uint32_t numerator, uint32_t denominator);

// The hook table: each setter stores the function it is given and returns it.
typedef void* (*wrenfieldMalloc)(size_t size);
typedef void* (*wrenfieldCalloc)(size_t count, size_t size);
typedef void (*wrenfieldFree)(void* p);
typedef int (*wrenfieldClose)(int handle);
typedef long (*wrenfieldRead)(int handle, void* buffer, unsigned count);
typedef long (*wrenfieldSeek)(int handle, long offset, int origin);
typedef int (*wrenfieldOpen)(const char* path, int flags);
SVXAPI wrenfieldMalloc Setwrenfield_malloc(wrenfieldMalloc f);
SVXAPI wrenfieldCalloc Setwrenfield_calloc(wrenfieldCalloc f);
SVXAPI wrenfieldFree Setwrenfield_free(wrenfieldFree f);
SVXAPI wrenfieldClose Setwrenfield_close(wrenfieldClose f);
SVXAPI wrenfieldRead Setwrenfield_read(wrenfieldRead f);
SVXAPI wrenfieldSeek Setwrenfield_seek(wrenfieldSeek f);
SVXAPI wrenfieldSeek Setwrenfield_seek_slow(wrenfieldSeek f);
SVXAPI wrenfieldOpen Setwrenfield_open(wrenfieldOpen f);

// The library's millisecond clock (timeGetTime); the movie player paces its frames by it.
SVXAPI uint32_t wdzTimeGetTime(void);
