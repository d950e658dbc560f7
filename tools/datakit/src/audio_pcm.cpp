// PCM encoding of sample words, and cutting an encoded stream into chunks.
#include <stdexcept>

#include "datakit/audio_encoders.h"

namespace dk {

EncodedAudio EncodePcm(const std::vector<uint32_t>& words, int channels, int bits) {
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16))
        throw std::invalid_argument("EncodePcm: 1 or 2 channels of 8 or 16 bits");
    EncodedAudio out;
    auto put8 = [&](int16_t v) {
        uint8_t b = static_cast<uint8_t>((v >> 8) + 128);
        out.bytes.push_back(b);
        return static_cast<int32_t>((b - 128) * 256);
    };
    auto put16 = [&](int16_t v) {
        out.bytes.push_back(static_cast<uint8_t>(v));
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        return static_cast<int32_t>(v);
    };
    for (uint32_t w : words) {
        const int16_t l = WordLeft(w), r = WordRight(w);
        if (channels == 1) {
            int32_t v = bits == 8 ? put8(l) : put16(l);
            out.decoded.push_back(MonoWord(v));
        } else {
            int32_t a = bits == 8 ? put8(l) : put16(l);
            int32_t b = bits == 8 ? put8(r) : put16(r);
            out.decoded.push_back(SampleWord(a, b));
        }
    }
    return out;
}

std::vector<std::vector<uint8_t>> SplitChunks(const std::vector<uint8_t>& bytes, size_t chunkBytes) {
    if (chunkBytes == 0)
        throw std::invalid_argument("SplitChunks: empty chunks");
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t at = 0; at < bytes.size(); at += chunkBytes) {
        size_t n = bytes.size() - at < chunkBytes ? bytes.size() - at : chunkBytes;
        chunks.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + n));
    }
    return chunks;
}

}  // namespace dk
