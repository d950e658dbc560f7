// The stream-buffer library's exports, as the movie player and the audio library call them: it
// reads a movie file (RIFF "AVI ") and hands out its video frames and audio chunks one at a time
// from a buffer with a byte budget. Handles are opaque; every call accepts null handles (a null
// stream gives -1 from sbNextChunk, the other calls do nothing).
//
//  31 sbInit        32 sbExit        51 sbAllocBuffer  52 sbFreeBuffer   33 sbOpenMovie
//  34 sbCloseMovie  36 sbOpenStream  37 sbCloseStream  38 sbStreamInfo   40 sbAudioFormat
//  42 sbRates       53 sbSeek        56 sbReadAhead    57 sbNextChunk    58 sbRelease
//  59 sbPosition    60 sbFrameFlags
#pragma once
#include <cstddef>
#include <cstdint>

#include "mmsystem.h"

#if defined(STRIMBUF_BUILD)
#define SBAPI extern "C" __attribute__((visibility("default")))
#else
#define SBAPI extern "C"
#endif

struct SBBUFFER;
struct SBMOVIE;
struct SBSTREAM;

// Stream kinds of sbOpenStream.
enum : int32_t { SB_AUDIO = 1, SB_VIDEO = 2 };

// Key-frame bit of sbFrameFlags.
enum : int32_t { SB_KEYFRAME = 8 };

// What sbStreamInfo describes. The frame width and height sit at bytes 46 and 48, where the
// movie player reads them.
struct SBSTREAMINFO {
    uint32_t fccType;          // "vids" or "auds"
    uint32_t fccHandler;
    uint32_t flags;
    uint32_t scale;            // rate / scale = frames (or sample frames) per second
    uint32_t rate;
    uint32_t start;
    uint32_t length;           // items of a video stream, sample frames of an audio stream
    uint32_t suggestedBufferSize;
    uint32_t sampleSize;
    uint32_t itemCount;        // chunks in the stream
    uint32_t compression;      // video: biCompression; audio: the format tag
    uint16_t bitCount;         // video: biBitCount; audio: bits per sample
    uint16_t width;            // byte 46
    uint16_t height;           // byte 48
    uint16_t reserved;
};
static_assert(offsetof(SBSTREAMINFO, width) == 46, "frame width at byte 46");
static_assert(offsetof(SBSTREAMINFO, height) == 48, "frame height at byte 48");

// The audio format as sbAudioFormat hands it out: a packed WAVEFORMATEX followed directly by
// the samples-per-block word (0 when the file's record has none).
#pragma pack(push, 1)
struct SBAUDIOFORMAT {
    WAVEFORMATEX format;
    WORD samplesPerBlock;
};
#pragma pack(pop)
static_assert(sizeof(SBAUDIOFORMAT) == 20, "WAVEFORMATEX and samples per block are 20 bytes");
static_assert(offsetof(SBAUDIOFORMAT, samplesPerBlock) == 18, "samples per block follows cbSize");

SBAPI int32_t sbInit(int32_t a, int32_t b, int32_t c);
SBAPI void sbExit(void);
// A buffer of `bytes` for the items that are handed out and not yet released; null on failure.
SBAPI SBBUFFER* sbAllocBuffer(int32_t bytes, int32_t flags);
SBAPI void sbFreeBuffer(SBBUFFER* buffer);
// Opens a movie ("graphics\movies\x.avi" style paths are resolved without regard to case);
// null when the file cannot be opened or is not a movie this library can read.
SBAPI SBMOVIE* sbOpenMovie(const char* path, SBBUFFER* buffer);
SBAPI void sbCloseMovie(SBMOVIE* movie);
// The index-th stream of a kind (SB_VIDEO, SB_AUDIO); null when there is none.
SBAPI SBSTREAM* sbOpenStream(SBMOVIE* movie, int32_t index, int32_t mode, int32_t kind);
SBAPI void sbCloseStream(SBSTREAM* stream);
SBAPI const SBSTREAMINFO* sbStreamInfo(SBSTREAM* stream);
// The audio stream's format: the four values through the pointers, the record as result.
SBAPI const WAVEFORMATEX* sbAudioFormat(SBSTREAM* stream, int32_t* channels, int32_t* samplesPerSec,
                                        int32_t* bytesPerSec, int32_t* formatTag);
// Whole frames per second (a fractional rate is truncated) and audio samples per second.
SBAPI int32_t sbRates(SBSTREAM* video, SBSTREAM* audio, int32_t* framesPerSec, int32_t* samplesPerSec);
// Continues the movie at a frame: video at that frame, audio at the chunk that holds its time.
SBAPI int32_t sbSeek(SBBUFFER* buffer, SBMOVIE* movie, int32_t frame, int32_t mode);
// Nothing to do: items are read when they are asked for. Returns 0.
SBAPI int32_t sbReadAhead(SBBUFFER* buffer, int32_t a, int32_t b);
// Called (stream, &data, &length, 1, 1): the next item, read into the buffer with at least 64
// zero bytes after it; returns its index (>= 0), -1 at the end, -2 while the unreleased items
// fill the buffer. Called (stream, null, null, 2, 0): primes the stream, taking nothing.
SBAPI int32_t sbNextChunk(SBSTREAM* stream, const uint8_t** data, int32_t* length, int32_t mode, int32_t wait);
// Gives an item back; its bytes stay valid until then. Unknown indices are ignored.
SBAPI int32_t sbRelease(SBBUFFER* buffer, int32_t index);
// Video: the number of the next frame; audio: the sample frames before the next chunk.
SBAPI int32_t sbPosition(SBSTREAM* stream, int32_t mode);
// SB_KEYFRAME for a key frame.
SBAPI int32_t sbFrameFlags(SBSTREAM* video, int32_t frame, int32_t mode);
