// The stereo 4-bit ADPCM decoder (one byte per stereo word, left code in the high nibble) and
// its fixed-size block factory.
#pragma once
#include <cstdint>

#include "adpcm.h"

class adpcmStereo final : public adpcmSource {
public:
    adpcmStereo(uint32_t rate, const uint8_t* block, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
    void rewind() override;

private:
    svxfmt::Channel m_left;
    svxfmt::Channel m_right;
};

class adpcmStereoBlockFactory final : public adpcmFixedBlockFactory {
public:
    adpcmStereoBlockFactory(uint32_t rate, uint32_t blockSize);
    audioSource* makeSource() override;
};
