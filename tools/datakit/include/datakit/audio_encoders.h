// Encoders for movie sound: PCM and the three ADPCM block formats of the audio library. Each
// encoder is closed-loop: it runs the format's own decoding arithmetic to choose every code, and
// returns, beside the bytes, the sample words the audio library will decode from them. The
// encoders keep every predictor inside 16 bits, so the library's per-word and bulk decoding
// paths give the same words.
//
// Sample words: 32 bits, the left channel as signed 16 bits in the high half, the right in the
// low half; mono in both halves (the packing of sonvex_format.h).
#pragma once
#include <cstdint>
#include <vector>

#include "sonvex_format.h"

namespace dk {

using svxfmt::MonoWord;
using svxfmt::SampleWord;
using svxfmt::WordLeft;
using svxfmt::WordRight;

struct EncodedAudio {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> decoded;  // the words the audio library decodes from bytes
};

// PCM of 1 or 2 channels, 8 or 16 bits (interleaved, left first; 8-bit unsigned). Mono takes
// the left half of each word.
EncodedAudio EncodePcm(const std::vector<uint32_t>& words, int channels, int bits);

// The magnitude table of the 4-bit formats (sonvex_format.h): [index 0..88][code & 7].
uint16_t AdpcmMagnitude(int index, int magnitude);

// One mono block: the first sample goes into the header, the rest two per byte (high nibble
// first). A block of L bytes holds 2L - 7 samples, so samples.size() must be odd (>= 1).
EncodedAudio EncodeAdpcmMonoBlock(const std::vector<int16_t>& samples, int initialIndex = 16);
// One stereo block: 8-byte header (left then right predictor and index), one byte per further
// word (left code high). L bytes hold L - 7 words.
EncodedAudio EncodeAdpcmStereoBlock(const std::vector<uint32_t>& words, int initialIndex = 16);
// One 3-bit mid/side block of any word count with its 16-byte header (rate 22050 or 44100).
EncodedAudio EncodeAdpcm3Block(const std::vector<uint32_t>& words, uint32_t rate, int initialIndex = 16);

// Whole streams in the blocks the library's factories cut: mono blocks of spb/2 + 4 bytes,
// stereo blocks of spb + 7 bytes, 3-bit blocks of blockWords words. A last partial block is
// filled up by repeating the last sample (the filling is part of `decoded`).
EncodedAudio EncodeAdpcmMono(const std::vector<int16_t>& samples, uint32_t samplesPerBlock);
EncodedAudio EncodeAdpcmStereo(const std::vector<uint32_t>& words, uint32_t samplesPerBlock);
EncodedAudio EncodeAdpcm3(const std::vector<uint32_t>& words, uint32_t rate, uint32_t blockWords);

// Cuts bytes into chunks of `chunkBytes` (the last may be shorter); for ADPCM streams pass a
// whole number of blocks.
std::vector<std::vector<uint8_t>> SplitChunks(const std::vector<uint8_t>& bytes, size_t chunkBytes);

}  // namespace dk
