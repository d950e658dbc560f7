// Movie files: the input is a movie (RIFF "AVI ") opened by the stream-buffer library as the
// movie player opens it; the rates and formats are asked for, every item of the video and the
// audio stream is taken and released in turn, then the movie is sought to a frame and read on.
#include "fuzz_support.h"
#include "strimbuf.h"

namespace {
volatile uint32_t g_sink;

// Takes up to `limit` items of a stream, touching each one's first and last byte.
void Drain(SBBUFFER* buffer, SBSTREAM* stream, int limit) {
    if (!stream) return;
    for (int n = 0; n < limit; ++n) {
        const uint8_t* data = nullptr;
        int32_t length = 0;
        const int32_t index = sbNextChunk(stream, &data, &length, 1, 1);
        if (index < 0) break;
        if (data && length > 0) g_sink = g_sink + data[0] + data[length - 1];
        sbPosition(stream, 0);
        sbRelease(buffer, index);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fz::Put("fuzz.avi", data, size)) return 0;
    sbInit(1, 2, 1);
    SBBUFFER* buffer = sbAllocBuffer(0x100000, 0);
    SBMOVIE* movie = sbOpenMovie((fz::Scratch() + "/fuzz.avi").c_str(), buffer);
    if (movie) {
        SBSTREAM* video = sbOpenStream(movie, 0, 1, SB_VIDEO);
        SBSTREAM* audio = sbOpenStream(movie, 0, 1, SB_AUDIO);
        if (video) sbStreamInfo(video);
        if (audio) {
            int32_t channels, rate, bytes, tag;
            sbAudioFormat(audio, &channels, &rate, &bytes, &tag);
        }
        int32_t fps = 0, sps = 0;
        sbRates(video, audio, &fps, &sps);
        for (int32_t f = -1; f < 4; ++f) sbFrameFlags(video, f, 0);
        Drain(buffer, video, 256);
        Drain(buffer, audio, 256);
        sbSeek(buffer, movie, 1, 0);
        Drain(buffer, video, 8);
        Drain(buffer, audio, 8);
        sbCloseStream(audio);
        sbCloseStream(video);
        sbCloseMovie(movie);
    }
    sbFreeBuffer(buffer);
    sbExit();
    return 0;
}
