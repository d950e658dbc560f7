// Reads the layout of a movie file (RIFF "AVI "): the main header, each stream's header and
// format, and the list of items (video frames, audio chunks) with their file offsets, sizes,
// key flags and, for audio, sample-frame counts. Every size is checked against its parent chunk
// and the file; nothing is trusted.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "strimbuf.h"

namespace sb {

struct Item {
    uint64_t offset = 0;  // of the item's bytes in the file
    uint32_t size = 0;
    bool key = false;
    uint32_t samples = 0;  // audio: sample frames in the item
};

struct StreamIndex {
    int32_t kind = 0;       // SB_VIDEO or SB_AUDIO
    uint32_t number = 0;    // the NN of the chunk ids
    SBSTREAMINFO info{};
    SBAUDIOFORMAT audio{};  // audio streams only
    std::vector<Item> items;
    std::vector<uint64_t> sampleStart;  // audio: sample frames before item i (one more entry)
};

struct MovieIndex {
    uint32_t microSecPerFrame = 0;
    uint32_t totalFrames = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool fromIndexChunk = false;  // items came from idx1 (else from a scan of movi)
    std::vector<StreamIndex> streams;
};

// Reads the movie behind fd (fileSize bytes). False with a reason when it is not a movie this
// library can play: no "AVI " form, no header list, a video stream with a zero rate or scale or
// with frames larger than the video library's largest picture, or no movie data. What it
// allocates grows with the file's own bytes, never with a size that a header states.
bool ReadMovie(int fd, uint64_t fileSize, MovieIndex* movie, std::string* why);

// Sample frames in one audio item of the stream's format (the bytes are read only for the
// self-sized 3-bit blocks; other formats count by size and may pass null).
uint32_t AudioItemSamples(const SBAUDIOFORMAT& format, const uint8_t* bytes, uint32_t size);

// Whether a video frame is a key frame, from its own header: an intra stream's frames all are;
// an inter stream marks its key frames with flag 0x10.
bool FrameHeaderIsKey(const uint8_t* frame, uint32_t size);

}  // namespace sb
