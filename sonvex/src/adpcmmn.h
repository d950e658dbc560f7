// The mono 4-bit ADPCM decoder adpcmMono and its fixed-size block factory.
#pragma once
#include <cstdint>

#include "adpcm.h"

// Mono block: int16 predictor, uint16 step index, then codes, high nibble first.
class adpcmMono final : public adpcmSource {
public:
    adpcmMono(uint32_t rate, const uint8_t* block, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
    void rewind() override;

private:
    svxfmt::Channel m_state;
};

// Cuts the chunk into blocks of a fixed size, one adpcmMono each.
class adpcmMonoBlockFactory final : public adpcmFixedBlockFactory {
public:
    adpcmMonoBlockFactory(uint32_t rate, uint32_t blockSize);
    audioSource* makeSource() override;
};
