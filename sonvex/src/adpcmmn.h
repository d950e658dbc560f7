// The 4-bit ADPCM arithmetic shared by the library's decoders (the 89 x 8 magnitude table and
// the code step), the mono decoder adpcmMono and its fixed-size block factory.
#pragma once
#include <array>
#include <cstdint>

#include "pcmblock.h"

// Magnitude table: entry [i][m] = floor((2m + 1) * S[i] / 8), S being the published IMA step
// table with one added in the 44 rows the format lists.
extern const std::array<std::array<uint16_t, 8>, 89> adpcmMagnitudes;

// One channel's decoder state.
struct adpcmChannel {
    int32_t predictor = 0;
    int32_t index = 0;
};

// The index update shared by every code: -1 for 0-3, +2/+4/+6/+8 for 4-7, kept in 0..88.
inline int32_t adpcmNextIndex(int32_t index, uint32_t magnitude) {
    int32_t i = magnitude < 4 ? index - 1 : index + 2 * static_cast<int32_t>(magnitude) - 6;
    return i < 0 ? 0 : (i > 88 ? 88 : i);
}

// One code without clamping: the predictor runs on as a wrapping 32-bit value.
inline void adpcmStepFree(adpcmChannel& c, uint32_t code) {
    uint32_t m = code & 7;
    uint32_t d = adpcmMagnitudes[static_cast<size_t>(c.index)][m];
    c.index = adpcmNextIndex(c.index, m);
    uint32_t p = static_cast<uint32_t>(c.predictor);
    c.predictor = static_cast<int32_t>((code & 8) ? p - d : p + d);
}

// One code with the predictor limited to -32768..32767.
inline void adpcmStepClamped(adpcmChannel& c, uint32_t code) {
    uint32_t m = code & 7;
    int64_t d = adpcmMagnitudes[static_cast<size_t>(c.index)][m];
    c.index = adpcmNextIndex(c.index, m);
    int64_t p = (code & 8) ? int64_t{c.predictor} - d : int64_t{c.predictor} + d;
    c.predictor = static_cast<int32_t>(p < -32768 ? -32768 : (p > 32767 ? 32767 : p));
}

// Mono block: int16 predictor, uint16 step index, then codes, high nibble first.
class adpcmMono final : public audioSeekableSource {
public:
    adpcmMono(uint32_t rate, const uint8_t* block, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t rate() const override { return m_rate; }
    uint32_t next() override;
    uint32_t remaining() const override { return m_count - m_position; }
    uint32_t position() const override { return m_position; }
    uint32_t extract(uint32_t* words, uint32_t n) override;
    void rewind() override;

private:
    uint32_t m_rate;
    uint32_t m_count;
    const uint8_t* m_header;
    const uint8_t* m_data;
    adpcmChannel m_state;
    uint32_t m_position = 0;
};

// Cuts the chunk into blocks of a fixed size, one adpcmMono each.
class adpcmMonoBlockFactory final : public audioBlockFactory {
public:
    adpcmMonoBlockFactory(uint32_t rate, uint32_t blockSize);
    audioSource* makeSource() override;

private:
    uint32_t m_blockSize;
};
