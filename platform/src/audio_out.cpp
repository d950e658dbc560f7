// The one audio output: mixes every attached source into a 44100 Hz stereo 16-bit stream for the
// SDL2 device, the null device, and the PLATFORM_AUDIO_OUT capture (written at process end).
// Without a real device the stream follows the platform clock and is mixed lazily up to "now",
// so on the headless backend sound advances exactly with virtual time.
#include "audio_out.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "internal.h"
#include "win32.h"

#if defined(PLATFORM_HAVE_SDL2)
#include <SDL.h>
#endif

namespace plat {
namespace {

constexpr uint32_t kChunkFrames = 1024;

struct OutState {
    std::recursive_mutex lock;
    bool configured = false;
    std::vector<AudioOutSource*> sources;
    // Clock-driven output: milliseconds followed so far and frames produced for them. The
    // process's clock starts at 0, so the output covers the whole run.
    bool clockStarted = true;
    uint32_t lastMs = 0;
    uint64_t followedMs = 0;
    uint64_t mixed = 0;
    // PLATFORM_AUDIO_OUT: the mixed stream goes to the file as it is made; the header's sizes
    // are filled in at the end.
    bool capture = false;
    std::string capturePath;
    std::FILE* file = nullptr;
    uint64_t fileFrames = 0;
    bool written = false;
    // Tests keep the mixed stream in memory instead.
    bool keep = false;
    std::vector<int16_t> captured;
#if defined(PLATFORM_HAVE_SDL2)
    SDL_AudioDeviceID device = 0;
#endif
};

OutState& S() {
    static OutState* s = new OutState;  // never destroyed: the exit handler still uses it
    return *s;
}

int16_t Clamp16(int32_t v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// Mixes n <= kChunkFrames frames of every source; out receives them as 16-bit stereo when given.
void MixChunk(OutState& s, uint32_t n, int16_t* out) {
    int32_t mix[2 * kChunkFrames];
    std::fill(mix, mix + 2 * n, 0);
    for (AudioOutSource* src : s.sources)
        src->MixInto(mix, n);
    if (out)
        for (uint32_t i = 0; i < 2 * n; ++i)
            out[i] = Clamp16(mix[i]);
    if (s.keep)
        for (uint32_t i = 0; i < 2 * n; ++i)
            s.captured.push_back(Clamp16(mix[i]));
    if (s.file) {
        uint8_t bytes[4 * kChunkFrames];
        for (uint32_t i = 0; i < 2 * n; ++i) {
            const uint16_t v = static_cast<uint16_t>(Clamp16(mix[i]));
            bytes[2 * i] = static_cast<uint8_t>(v);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        if (std::fwrite(bytes, 1, 4 * size_t{n}, s.file) == 4 * size_t{n})
            s.fileFrames += n;
    }
    s.mixed += n;
}

// Produces n frames nobody but the capture listens to.
void Produce(OutState& s, uint64_t n) {
    if (!s.capture) {
        for (AudioOutSource* src : s.sources)
            src->Skip(n);
        s.mixed += n;
        return;
    }
    while (n > 0) {
        uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(n, kChunkFrames));
        MixChunk(s, step, nullptr);
        n -= step;
    }
}

bool HasDevice(OutState& s) {
#if defined(PLATFORM_HAVE_SDL2)
    return s.device != 0;
#else
    (void)s;
    return false;
#endif
}

// Brings a clock-driven output up to the current time. Lock held.
void AdvanceLocked(OutState& s) {
    if (HasDevice(s))
        return;
    uint32_t now = timeGetTime();
    if (!s.clockStarted) {
        s.clockStarted = true;
        s.lastMs = now;
        return;
    }
    uint32_t delta = now - s.lastMs;
    s.lastMs = now;
    if (delta >= 0x80000000u)  // the clock was set back (tests): nothing to play
        return;
    s.followedMs += delta;
    uint64_t due = s.followedMs * kAudioOutRate / 1000;
    if (due > s.mixed)
        Produce(s, due - s.mixed);
}

// The 44-byte header of a 16-bit stereo PCM WAVE file of `frames` frames.
std::vector<uint8_t> WavHeader(uint32_t rate, uint16_t channels, uint64_t frames);

// Starts the file of PLATFORM_AUDIO_OUT with a header whose sizes come at the end.
void OpenCapture(OutState& s) {
    s.file = std::fopen(s.capturePath.c_str(), "wb");
    if (!s.file) {
        std::fprintf(stderr, "platform: cannot write the sound to %s\n", s.capturePath.c_str());
        s.capture = s.keep;
        return;
    }
    std::vector<uint8_t> header = WavHeader(kAudioOutRate, 2, 0);
    std::fwrite(header.data(), 1, header.size(), s.file);
}

void FinishCapture(OutState& s) {
    if (s.written || !s.file)
        return;
    s.written = true;
    std::vector<uint8_t> header = WavHeader(kAudioOutRate, 2, s.fileFrames);
    bool ok = std::fseek(s.file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), s.file) == header.size();
    ok = std::fclose(s.file) == 0 && ok;
    s.file = nullptr;
    if (!ok)
        std::fprintf(stderr, "platform: cannot write the sound to %s\n", s.capturePath.c_str());
}

void CloseDevice(OutState& s) {
#if defined(PLATFORM_HAVE_SDL2)
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        device = s.device;
        s.device = 0;
    }
    // Not under the lock: closing waits for the device thread, which takes it.
    if (device) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
#else
    (void)s;
#endif
}


#if defined(PLATFORM_HAVE_SDL2)
void DeviceCallback(void*, Uint8* stream, int len) {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    uint32_t frames = static_cast<uint32_t>(len) / 4;
    while (frames > 0) {
        uint32_t step = std::min(frames, kChunkFrames);
        MixChunk(s, step, out);
        out += 2 * step;
        frames -= step;
    }
}

void OpenDevice(OutState& s) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kAudioOutRate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = DeviceCallback;
    SDL_AudioSpec have{};
    s.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (s.device == 0) {
        std::fprintf(stderr, "platform: no audio device (%s); sound is not played\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    SDL_PauseAudioDevice(s.device, 0);
}
#endif

// First use: read PLATFORM_AUDIO_OUT and open the device on the sdl backend.
// Lock held.
void EnsureConfigured(OutState& s, bool openDevice = true) {
    if (s.configured)
        return;
    s.configured = true;
    const char* path = std::getenv("PLATFORM_AUDIO_OUT");
    if (path && *path) {
        s.capturePath = path;
        s.capture = true;
        OpenCapture(s);
    }
#if defined(PLATFORM_HAVE_SDL2)
    if (openDevice && CurrentBackend() == Backend::Sdl)
        OpenDevice(s);
#else
    (void)openDevice;
#endif
}

void PutU16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}
void PutTag(std::vector<uint8_t>& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}

}  // namespace

// Called once the process ends (the platform's exit path): what was played up to now is heard,
// then written to PLATFORM_AUDIO_OUT.
void detail::WriteExitAudio() {
    OutState& s = S();
    CloseDevice(s);
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    EnsureConfigured(s, false);  // nothing ever sounded: the file still tells how long the run was
    AdvanceLocked(s);
    FinishCapture(s);
}

std::recursive_mutex& AudioOutMutex() {
    return S().lock;
}

void AudioOutAttach(AudioOutSource* source) {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    EnsureConfigured(s);
    AdvanceLocked(s);  // the new source plays from now on, not from the last mix
    if (std::find(s.sources.begin(), s.sources.end(), source) == s.sources.end())
        s.sources.push_back(source);
}

void AudioOutDetach(AudioOutSource* source) {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    AdvanceLocked(s);  // what it played until now is heard
    s.sources.erase(std::remove(s.sources.begin(), s.sources.end(), source), s.sources.end());
}

void AudioOutAdvance() {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    EnsureConfigured(s);
    AdvanceLocked(s);
}

uint64_t AudioOutFramesMixed() {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.mixed;
}

bool AudioOutHasDevice() {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    EnsureConfigured(s);
    return HasDevice(s);
}

namespace {
std::vector<uint8_t> WavHeader(uint32_t rate, uint16_t channels, uint64_t frames) {
    const uint64_t dataBytes = std::min<uint64_t>(frames * channels * 2, 0xFFFFFFFFull - 36);
    std::vector<uint8_t> b;
    b.reserve(44);
    PutTag(b, "RIFF");
    PutU32(b, static_cast<uint32_t>(36 + dataBytes));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    PutU32(b, 16);
    PutU16(b, 1);  // PCM
    PutU16(b, channels);
    PutU32(b, rate);
    PutU32(b, rate * channels * 2);
    PutU16(b, channels * 2);
    PutU16(b, 16);
    PutTag(b, "data");
    PutU32(b, static_cast<uint32_t>(dataBytes));
    return b;
}
}  // namespace

bool WriteWav(const std::string& path, uint32_t rate, uint16_t channels, const int16_t* samples, size_t frames) {
    const uint64_t dataBytes = static_cast<uint64_t>(frames) * channels * 2;
    if (channels == 0 || dataBytes > 0xFFFFFFFFull - 36)
        return false;
    std::vector<uint8_t> b = WavHeader(rate, channels, frames);
    b.reserve(44 + dataBytes);
    for (size_t i = 0; i < frames * channels; ++i)
        PutU16(b, static_cast<uint16_t>(samples[i]));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return static_cast<bool>(out);
}

void AudioOutResetForTests(bool capture) {
    OutState& s = S();
    CloseDevice(s);
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.file)
        std::fclose(s.file);
    s.file = nullptr;
    s.fileFrames = 0;
    s.capturePath.clear();
    s.captured.clear();
    s.written = false;
    s.sources.clear();
    s.configured = false;  // PLATFORM_AUDIO_OUT is read again at the next use
    s.keep = capture;
    s.capture = capture;
    s.clockStarted = true;  // the output starts now
    s.lastMs = timeGetTime();
    s.followedMs = 0;
    s.mixed = 0;
}

std::vector<int16_t> AudioOutCaptured() {
    OutState& s = S();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    AdvanceLocked(s);
    return s.captured;
}

}  // namespace plat
