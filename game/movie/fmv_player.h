// The movie player's steps and its one context, as the player's own files, the playmovie tool,
// the benchmark and the tests use them. The rest of the game calls FMV_PlayMovie (fmv.h) alone.
#pragma once
#include <cstdint>

#include "sonvex.h"
#include "strimbuf.h"
#include "vidvex.h"

// What the player holds of the movie it plays.
struct MovieContext {
    SBBUFFER* streamBuffer;
    SBMOVIE* movie;
    XImage* picture;          // null until the first frame
    SBSTREAM* audioStream;    // null: a silent movie
    SBSTREAM* videoStream;
    int32_t audioChunk;       // -1 when no chunk is held (written by the audio library)
    int32_t frameInHand;      // >= 0 held; -1 none or end; -3 consumed; below -1 not yet read
    int32_t audioLength, frameLength;
    const uint8_t* audioData;
    const uint8_t* frameData;
    int32_t pictureX, pictureY, pictureWidth, pictureHeight;
    int32_t firstFrame;       // always 0
    int32_t lastFrame;        // -1: the whole movie
};
extern MovieContext g_MovieContext;

// Movie state word: playing, or ended by the player.
enum : int32_t { FMV_STATE_PLAYING = 0, FMV_STATE_ABORTED = 4 };
// The stream buffer that FMV_PlayMovie plays with.
constexpr int32_t FMV_BUFFER_BYTES = 0x200000;

// FMV_PlayMovie once the path is a file's: the picture area set to the whole display, the CD
// music stopped, the movie played, the music resumed if it was playing, the sound torn down.
void FMV_PlayFile(const char* path);
int FMV_Play(const char* path, int32_t bufferBytes);
int FMV_OpenMovie(const char* path, MovieContext* context, int32_t bufferBytes);
void FMV_CloseMovie(MovieContext* context);
void FMV_SetupAudio(MovieContext* context);
void FMV_FillAudio(MovieContext* context);
void FMV_StartClock();
int FMV_FramesDue();
int FMV_ShowFirstFrame(MovieContext* context, int advance);
int FMV_DecodeFrame(MovieContext* context, int draw);
int FMV_PlayLoop(MovieContext* context);
int FMV_InitVideo();
void FMV_ExitVideo();
int FMV_PollAbort();
// Takes the next video frame into the context, reading ahead and asking again while it is not
// yet available (a bounded number of times): its index, -1 at the end, or a negative error.
int FMV_TakeFrame(MovieContext* context);

// The picture area: x, y, width, height on the screen.
extern int32_t g_FmvArea[4];
// The movie clock: start time (audio library milliseconds) and frames per second.
extern uint32_t g_FmvStartTime;
extern int32_t g_FmvFrameRate;
extern int32_t g_FmvState;
// The virtual screen laid over the primary surface; null outside a movie.
extern VScreen* g_FmvScreen;

// Counts of the last movie, for the playmovie tool and tests: frames drawn to the screen and
// frames decoded (drawn or not), and whether the sound was ended by an audio library error.
struct FmvStats {
    int32_t shown;
    int32_t decoded;
    int32_t audioFailed;
};
extern FmvStats g_FmvStats;

// Audio library calls go through here: the library's fatal errors jump back to this guard,
// which logs the message, ends the sound and leaves the movie to play on silently. Returns 0
// when the call failed that way (fmv_audio.cpp).
int FMV_GuardAudio(void (*call)(MovieContext*), MovieContext* context);
