// sonvexcat MOVIE OUT.wav [RATE]: plays a movie's sound through the audio library's exports, as
// the movie player does (SetupAudio, ResyncAudio, FillAudio, StartPlaying, FillAudio while it
// plays), and writes what the wave device played into OUT.wav: the whole sound, then a tenth of
// a second of what follows it (silence). Without RATE the device runs at the sound's own rate;
// with RATE the library's fallback speaker runs at that rate and the library converts.
// Time passes through Sleep: virtual time on the headless backend, real time otherwise.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio_out.h"
#include "mmsystem.h"
#include "sonvex.h"
#include "strimbuf.h"
#include "vidvex.h"
#include "win32.h"

namespace {

struct Capture {
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    std::vector<uint8_t> bytes;
};
Capture g_capture;
std::jmp_buf g_failed;
char g_messages[2048];

int Fail(const std::string& what) {
    std::fprintf(stderr, "sonvexcat: %s\n", what.c_str());
    return 1;
}

// The played bytes as 16-bit samples of the device's channels.
std::vector<int16_t> Samples(const Capture& c) {
    std::vector<int16_t> s;
    if (c.bits == 16) {
        for (size_t i = 0; i + 1 < c.bytes.size(); i += 2)
            s.push_back(static_cast<int16_t>(c.bytes[i] | (c.bytes[i + 1] << 8)));
    } else {
        for (uint8_t b : c.bytes)
            s.push_back(static_cast<int16_t>((b - 128) * 256));
    }
    return s;
}

int Run(const char* moviePath, const char* outPath, int32_t deviceRate) {
    sbInit(1, 2, 1);
    SBBUFFER* buffer = sbAllocBuffer(0x200000, 0);
    SBMOVIE* movie = sbOpenMovie(moviePath, buffer);
    if (!movie)
        return Fail(std::string("cannot open ") + moviePath);
    SBSTREAM* video = sbOpenStream(movie, 0, 1, SB_VIDEO);
    SBSTREAM* audio = sbOpenStream(movie, 0, 1, SB_AUDIO);
    if (!audio)
        return Fail(std::string(moviePath) + " has no sound");
    int32_t fps = 0, rate = 0;
    sbRates(video, audio, &fps, &rate);
    const uint64_t sourceFrames = sbStreamInfo(audio)->length;

    plat::WaveOutSetTap([](const WAVEFORMATEX& f, const uint8_t* bytes, size_t n) {
        g_capture.rate = f.nSamplesPerSec;
        g_capture.channels = f.nChannels;
        g_capture.bits = f.wBitsPerSample;
        g_capture.bytes.insert(g_capture.bytes.end(), bytes, bytes + n);
    });
    ErrorBuffer(g_messages);
    longjmpOnAudioErrors(&g_failed);
    if (setjmp(g_failed) != 0) {
        EndAudio();
        return Fail(std::string("the audio library gave up:\n") + g_messages);
    }

    int32_t index = -1;
    const uint8_t* data = nullptr;
    int32_t length = 0;
    const int32_t mode = deviceRate ? 3 : 2;
    if (!SetupAudio(buffer, audio, mode, deviceRate ? deviceRate : rate, 1, 1))
        return Fail("no wave device takes the sound");
    ResyncAudio(buffer, audio, &index, &data, &length, 0, fps > 0 ? static_cast<uint32_t>(fps) : 1);
    FillAudio(buffer, audio, &index, &data, &length, -1, 1);
    StartPlaying();

    // Play until the device has played the whole sound and the tail after it.
    const uint32_t outRate = deviceRate ? static_cast<uint32_t>(deviceRate) : static_cast<uint32_t>(rate);
    const uint64_t soundFrames = (sourceFrames * outRate + static_cast<uint32_t>(rate) - 1) / static_cast<uint32_t>(rate);
    const uint64_t wanted = soundFrames + outRate / 10;
    const uint64_t passes = wanted * 1000 / outRate / 10 + 1000;
    // With a real device the tap runs on the device's thread, under the output's lock.
    auto playedFrames = [] {
        std::lock_guard<std::recursive_mutex> lock(plat::AudioOutMutex());
        const size_t frameBytes = g_capture.channels * g_capture.bits / 8u;
        return frameBytes ? g_capture.bytes.size() / frameBytes : 0;
    };
    for (uint64_t pass = 0; pass < passes; ++pass) {
        if (playedFrames() >= wanted)
            break;
        Sleep(10);
        FillAudio(buffer, audio, &index, &data, &length, -1, 1);
    }
    StopPlaying();
    EndAudio();
    longjmpOnAudioErrors(nullptr);
    plat::WaveOutSetTap(nullptr);  // no device plays any more: the capture is ours alone
    sbCloseStream(audio);
    sbCloseStream(video);
    sbCloseMovie(movie);
    sbFreeBuffer(buffer);
    sbExit();

    if (g_capture.channels == 0)
        return Fail("the device played nothing");
    std::vector<int16_t> samples = Samples(g_capture);
    const size_t frames = std::min<size_t>(samples.size() / g_capture.channels, static_cast<size_t>(wanted));
    if (!plat::WriteWav(outPath, g_capture.rate, g_capture.channels, samples.data(), frames))
        return Fail(std::string("cannot write ") + outPath);
    std::printf("%s: %zu frames at %u Hz, %u channels\n", outPath, frames, g_capture.rate, g_capture.channels);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: sonvexcat MOVIE OUT.wav [RATE]\n");
        return 2;
    }
    int32_t deviceRate = 0;
    if (argc == 4) {
        char* end = nullptr;
        long r = std::strtol(argv[3], &end, 10);
        if (*end != '\0' || r <= 0 || r > 100000) {
            std::fprintf(stderr, "sonvexcat: RATE must be a sample rate, not \"%s\"\n", argv[3]);
            return 2;
        }
        deviceRate = static_cast<int32_t>(r);
    }
    return Run(argv[1], argv[2], deviceRate);
}
