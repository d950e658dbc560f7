// The movie player's sound: the audio library set up from the movie's audio stream, fed each
// pass, and the clock started with it. Every audio library call runs under a guard: the
// library's fatal errors write into the player's message buffer and jump back to the guard,
// which ends the sound and lets the pictures play on silently. Owns the guard's jump target,
// the message buffer and whether the sound of this movie is set up.
#include <csetjmp>
#include <cstdio>

#include "movie/fmv_player.h"

namespace {
std::jmp_buf g_AudioJump;
char g_AudioMessages[2048];
// The sound of the movie playing is set up and has not failed.
bool g_AudioReady;
// An audio error is being handled (an error while the sound is ended lands here again).
bool g_AudioEnding;
int32_t g_SetupResult;

// After a fatal error of the audio library: the message to the log, the sound ended, and the
// movie's audio stream given up, so that nothing feeds the library any more.
void FMV_AudioFailed(MovieContext* context) {
    if (!g_AudioEnding) {
        g_AudioEnding = true;
        std::fprintf(stderr, "movie: sound stopped: %s\n", g_AudioMessages);
        ++g_FmvStats.audioFailed;
        EndAudio();
    }
    g_AudioEnding = false;
    g_AudioReady = false;
    if (context->audioChunk >= 0)
        sbRelease(context->streamBuffer, context->audioChunk);
    context->audioChunk = -1;
    sbCloseStream(context->audioStream);
    context->audioStream = nullptr;
}
}  // namespace

int FMV_GuardAudio(void (*call)(MovieContext*), MovieContext* context) {
    static MovieContext* volatile s_context;
    s_context = context;
    ErrorBuffer(g_AudioMessages);
    longjmpOnAudioErrors(&g_AudioJump);
    if (setjmp(g_AudioJump) != 0) {
        FMV_AudioFailed(s_context);
        return 0;
    }
    call(context);
    return 1;
}

void FMV_SetupAudio(MovieContext* context) {
    g_AudioReady = false;
    int32_t frameRate = 0, audioRate = 0;
    sbRates(context->videoStream, context->audioStream, &frameRate, &audioRate);
    g_FmvFrameRate = frameRate;
    if (!context->audioStream)
        return;
    // Without a frame rate the sound cannot be placed at the first frame's time.
    if (frameRate <= 0) {
        sbCloseStream(context->audioStream);
        context->audioStream = nullptr;
        return;
    }
    static int32_t s_audioRate;
    s_audioRate = audioRate;
    g_SetupResult = 0;
    if (!FMV_GuardAudio([](MovieContext* c) { g_SetupResult = SetupAudio(c->streamBuffer, c->audioStream, 2, s_audioRate, 1, 1); },
                        context))
        return;
    if (!g_SetupResult) {
        // No speaker takes the sound: the movie is silent.
        FMV_GuardAudio([](MovieContext*) { EndAudio(); }, context);
        sbCloseStream(context->audioStream);
        context->audioStream = nullptr;
        return;
    }
    g_AudioReady = true;
    FMV_GuardAudio(
        [](MovieContext* c) {
            ResyncAudio(c->streamBuffer, c->audioStream, &c->audioChunk, &c->audioData, &c->audioLength,
                        uint32_t(c->firstFrame), uint32_t(g_FmvFrameRate));
            FillAudio(c->streamBuffer, c->audioStream, &c->audioChunk, &c->audioData, &c->audioLength, -1, 1);
        },
        context);
}

void FMV_FillAudio(MovieContext* context) {
    if (!g_AudioReady)
        return;
    FMV_GuardAudio(
        [](MovieContext* c) {
            FillAudio(c->streamBuffer, c->audioStream, &c->audioChunk, &c->audioData, &c->audioLength, -1, 1);
        },
        context);
}

void FMV_StartClock() {
    g_FmvStartTime = wdzTimeGetTime();
    if (g_AudioReady)
        FMV_GuardAudio([](MovieContext*) { StartPlaying(); }, &g_MovieContext);
}
