// The stereo 4-bit ADPCM decoder (one byte per stereo word, left code in the high nibble) and
// its fixed-size block factory.
#pragma once
#include <cstdint>

#include "adpcmmn.h"

class adpcmStereo final : public audioSeekableSource {
public:
    adpcmStereo(uint32_t rate, const uint8_t* block, uint32_t length);
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
    adpcmChannel m_left;
    adpcmChannel m_right;
    uint32_t m_position = 0;
};

class adpcmStereoBlockFactory final : public audioBlockFactory {
public:
    adpcmStereoBlockFactory(uint32_t rate, uint32_t blockSize);
    audioSource* makeSource() override;

private:
    uint32_t m_blockSize;
};
