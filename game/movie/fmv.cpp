// The movie player's outer steps: FMV_PlayMovie (no movie in a network game, the path under the
// install source, the CD music stopped and resumed around the movie), FMV_Play (open, first
// frame, loop, close), the loop paced by the movie clock, and the abort poll. Owns the context,
// the clock and the state word.
#include "movie/fmv.h"

#include <cstring>
#include <string>

#include "common/calltrace.h"
#include "common/match.h"
#include "common/muf.h"
#include "engine/rnd_state.h"
#include "movie/fmv_player.h"
#include "shell/cda.h"
#include "shell/inp.h"
#include "win32.h"

MovieContext g_MovieContext;
int32_t g_FmvArea[4];
uint32_t g_FmvStartTime;
int32_t g_FmvFrameRate;
int32_t g_FmvState;
FmvStats g_FmvStats;

namespace {
// Frames that a pass may wait for before it gives up on a stream that never delivers.
constexpr int kTakeRetries = 64;

void FMV_StopSound(MovieContext*) {
    StopPlaying();
    EndAudio();
}
}  // namespace

int FMV_PlayMovie(const char* path) {
    if (int multiplayer = APP_IsMultiplayerGame())
        return multiplayer;
    if (!path)
        return 0;
    const char* slash = std::strchr(path, '\\');
    const std::string source = MUF_MakeSourcePath(slash ? slash + 1 : path);
    TRC_Trace("FMV_PlayMovie", "%s", source.c_str());
    FMV_PlayFile(source.c_str());
    return 0;
}

void FMV_PlayFile(const char* path) {
    g_FmvState = FMV_STATE_PLAYING;
    g_FmvArea[0] = 0;
    g_FmvArea[1] = 0;
    g_FmvArea[2] = int32_t(RND_GetScreenWidth());
    g_FmvArea[3] = int32_t(RND_GetScreenHeight());
    const int wasPlaying = CDA_Stop();
    FMV_Play(path, FMV_BUFFER_BYTES);
    if (wasPlaying)
        CDA_Resume();
    FMV_GuardAudio(FMV_StopSound, &g_MovieContext);
    longjmpOnAudioErrors(nullptr);
}

int FMV_Play(const char* path, int32_t bufferBytes) {
    g_FmvStats = FmvStats{};
    g_FmvFrameRate = 0;
    sbInit(1, 2, 1);
    MovieContext* context = &g_MovieContext;
    if (FMV_InitVideo() && FMV_OpenMovie(path, context, bufferBytes) >= 0) {
        // A movie without pictures is no movie.
        if (context->videoStream) {
            context->firstFrame = 0;
            int32_t key = -1;
            for (int32_t frame = context->firstFrame; frame >= 0; --frame)
                if (sbFrameFlags(context->videoStream, frame, 0) & SB_KEYFRAME) {
                    key = frame;
                    break;
                }
            if (key >= 0) {
                sbSeek(context->streamBuffer, context->movie, key, -2);
                FMV_SetupAudio(context);
                FMV_ShowFirstFrame(context, 1);
            }
            context->lastFrame = -1;
            FMV_PlayLoop(context);
        }
        FMV_CloseMovie(context);
    }
    FMV_ExitVideo();
    sbExit();
    return 0;
}

int FMV_OpenMovie(const char* path, MovieContext* context, int32_t bufferBytes) {
    *context = MovieContext{};
    context->audioChunk = -1;
    context->frameInHand = -1;
    context->streamBuffer = sbAllocBuffer(bufferBytes, 0);
    if (!context->streamBuffer)
        return -1;
    context->movie = sbOpenMovie(path, context->streamBuffer);
    if (!context->movie) {
        sbFreeBuffer(context->streamBuffer);
        context->streamBuffer = nullptr;
        return -1;
    }
    context->videoStream = sbOpenStream(context->movie, 0, 1, SB_VIDEO);
    context->audioStream = sbOpenStream(context->movie, 0, 1, SB_AUDIO);
    return 0;
}

void FMV_CloseMovie(MovieContext* context) {
    if (context->picture)
        Vvl_DestroyXImage(context->picture);
    context->picture = nullptr;
    sbCloseStream(context->audioStream);
    context->audioStream = nullptr;
    sbCloseStream(context->videoStream);
    context->videoStream = nullptr;
    sbCloseMovie(context->movie);
    context->movie = nullptr;
    sbFreeBuffer(context->streamBuffer);
    context->streamBuffer = nullptr;
}

int FMV_FramesDue() {
    return int(uint32_t((wdzTimeGetTime() - g_FmvStartTime) * uint32_t(g_FmvFrameRate)) / 1000u);
}

int FMV_TakeFrame(MovieContext* context) {
    int32_t taken = sbNextChunk(context->videoStream, &context->frameData, &context->frameLength, 1, 1);
    for (int retry = 0; taken < -1 && retry < kTakeRetries; ++retry) {
        const int32_t read = sbReadAhead(context->streamBuffer, 0, -2);
        if (read < 0)
            return read;
        taken = sbNextChunk(context->videoStream, &context->frameData, &context->frameLength, 1, 1);
    }
    return taken;
}

namespace {
// Ahead of the clock: wait until frame n is due. The wait sleeps, so that it ends on the
// headless backend's virtual clock and burns no core in a window.
void FMV_WaitForFrame(int n) {
    if (g_FmvFrameRate <= 0)
        return;
    const uint32_t dueAt = g_FmvStartTime + uint32_t((uint64_t(n) * 1000u + uint32_t(g_FmvFrameRate) - 1) /
                                                     uint32_t(g_FmvFrameRate));
    const int32_t wait = int32_t(dueAt - wdzTimeGetTime());
    Sleep(DWORD(wait > 0 ? (wait < 100 ? wait : 100) : 1));
}
}  // namespace

int FMV_PlayLoop(MovieContext* context) {
    int n = 0;
    int stalled = 0;  // passes in a row on which the next frame was not available
    FMV_StartClock();
    for (;;) {
        FMV_FillAudio(context);
        if (n > FMV_FramesDue()) {
            FMV_WaitForFrame(n);
        } else {
            const int32_t read = sbReadAhead(context->streamBuffer, 0, -2);
            if (read < 0) {
                FMV_GuardAudio([](MovieContext*) { StopPlaying(); }, context);
                return read;
            }
            bool decode = true;
            if (context->frameInHand < 0) {
                context->frameInHand =
                    sbNextChunk(context->videoStream, &context->frameData, &context->frameLength, 1, 1);
                if (context->frameInHand == -1)
                    break;
                decode = context->frameInHand >= 0;
                // A frame that never becomes available (larger than the whole buffer) ends the
                // movie instead of holding the game forever.
                if (!decode && ++stalled > kTakeRetries)
                    break;
            }
            if (decode) {
                const int draw = n + 3 > FMV_FramesDue();
                if (FMV_DecodeFrame(context, draw) < 0) {
                    FMV_GuardAudio([](MovieContext*) { StopPlaying(); }, context);
                    return -3;
                }
                sbRelease(context->streamBuffer, context->frameInHand);
                stalled = 0;
                ++n;
                context->frameInHand = -3;
                if (context->lastFrame > context->firstFrame && n > context->lastFrame - context->firstFrame)
                    break;
            }
        }
        if (FMV_PollAbort())
            break;
    }
    FMV_GuardAudio([](MovieContext*) { StopPlaying(); }, context);
    return 0;
}

int FMV_PollAbort() {
    g_FmvState = FMV_STATE_PLAYING;
    INP_Poll();
    if (INP_AnyKeyDown() || INP_GetMouseButton())
        g_FmvState = FMV_STATE_ABORTED;
    return g_FmvState;
}
