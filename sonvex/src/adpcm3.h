// The 3-bit mid/side ADPCM decoder (self-sized blocks with a 16-byte header carrying their own
// rate and word count) and its block factory.
#pragma once
#include <cstdint>

#include "adpcm.h"

class adpcm3 final : public adpcmSource {
public:
    // Reads the header and reports the bytes the block uses (header + data) through *used.
    adpcm3(const uint8_t* block, uint32_t available, uint32_t* used);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
    void rewind() override;

    // Data bytes of a block of `count` words: 3 per group of 4, one per word of a last partial
    // group, rounded up to a multiple of 4.
    static uint64_t dataLength(uint32_t count);

private:
    uint32_t m_typeId;
    uint32_t m_version;
    svxfmt::Channel m_mid;
    svxfmt::Channel m_side;
};

class adpcm3BlockFactory final : public audioBlockFactory {
public:
    adpcm3BlockFactory();
    audioSource* makeSource() override;
};
