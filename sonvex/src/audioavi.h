// Movie sound from the stream buffer: the block factory chosen from the stream's audio format,
// and the library state behind the playback exports (sonvex.h). The movie player pumps the sound
// by calling FillAudio; the chunk in hand lives in the player's variables between calls.
#pragma once
#include <cstdint>

#include "pcmblock.h"
#include "sonvex.h"
#include "waveout/speaker.h"

// The factory for a stream's format (null when it cannot be allocated); bad headers are fatal.
audioBlockFactory* makeAudioFactory(int32_t channels, int32_t rate, int32_t formatTag, int32_t bitsPerSample,
                                    int32_t samplesPerBlock);

// The stream-buffer calls the exports make (40, 57, 58, 59). Tests hand in a scripted stand-in;
// null returns to the stream-buffer library.
struct sonvexStreamCalls {
    const WAVEFORMATEX* (*audioFormat)(SBSTREAM*, int32_t*, int32_t*, int32_t*, int32_t*);
    int32_t (*nextChunk)(SBSTREAM*, const uint8_t**, int32_t*, int32_t, int32_t);
    int32_t (*release)(SBBUFFER*, int32_t);
    int32_t (*position)(SBSTREAM*, int32_t);
};
void sonvexUseStreamCalls(const sonvexStreamCalls* calls);

// Where SetupAudio gets its speaker factory: by default 44100 Hz altStereo 16-bit signed with
// a 1500 ms ring (minimum 250 ms). Null restores the default.
using speakerFactoryProvider = wdzFactory* (*)();
void sonvexSetSpeakerFactoryProvider(speakerFactoryProvider provider);
wdzFactory* sonvexDefaultSpeakerFactory();

// The library state, for tests.
int32_t sonvexMode();
audioSpeaker* sonvexSpeaker();
audioBlockFactory* sonvexFactory();
int32_t sonvexStreamRate();
