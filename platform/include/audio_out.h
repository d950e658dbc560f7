// The platform's one audio output. Everything that sounds (the game's DirectSound buffers, the
// movie sound's waveOut ring) is a source mixed into one 44100 Hz stereo 16-bit stream, which
// goes to the SDL2 audio device (sdl backend), or to nowhere (the null device); with
// PLATFORM_AUDIO_OUT=path.wav the mixed stream is also kept and written to that file when the
// process ends.
//
// Time: with a real device, the device pulls the stream on its own thread. Otherwise the stream
// follows the platform clock (GetTickCount: virtual time on the headless backend), and is mixed
// lazily up to "now" whenever a source asks (AudioOutAdvance), so headless runs are exact and
// reproducible.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "plat.h"

namespace plat {

constexpr uint32_t kAudioOutRate = 44100;  // frames per second of the mixed stream (stereo, 16-bit)

// A sound source. Both calls run with AudioOutMutex() held, on whichever thread moves the
// output on; a source changes its own state only under the same lock.
class AudioOutSource {
public:
    virtual ~AudioOutSource() = default;
    // Adds `frames` stereo frames (left, right) at kAudioOutRate into mix.
    virtual void MixInto(int32_t* mix, uint32_t frames) = 0;
    // The same time passes, but nobody listens: move on without producing sound.
    virtual void Skip(uint64_t frames) = 0;
};

// The lock over the output and all its sources (recursive: a source may call back in).
PLATEXPORT std::recursive_mutex& AudioOutMutex();
// Attached sources play from the next mixed frame on; detach before destroying one.
PLATEXPORT void AudioOutAttach(AudioOutSource* source);
PLATEXPORT void AudioOutDetach(AudioOutSource* source);
// Mixes up to the current time when the output follows the clock; nothing with a real device.
PLATEXPORT void AudioOutAdvance();
// Frames of the mixed stream produced so far.
PLATEXPORT uint64_t AudioOutFramesMixed();
// True when a real device plays the stream (only on the sdl backend, when SDL could open one).
PLATEXPORT bool AudioOutHasDevice();

// Writes a 16-bit PCM WAVE file (little-endian, left channel first); false on failure.
PLATEXPORT bool WriteWav(const std::string& path, uint32_t rate, uint16_t channels, const int16_t* samples,
                         size_t frames);

// Tests: forget every source, start the output at the current time, read PLATFORM_AUDIO_OUT
// again at the next use, and (capture) keep the mixed stream in memory for AudioOutCaptured.
PLATEXPORT void AudioOutResetForTests(bool capture);
PLATEXPORT std::vector<int16_t> AudioOutCaptured();

}  // namespace plat
