// The 3-bit mid/side ADPCM decoder (self-sized blocks with a 16-byte header carrying their own
// rate and word count) and its block factory.
#pragma once
#include <cstdint>

#include "adpcmmn.h"

class adpcm3 final : public audioSeekableSource {
public:
    // Reads the header and reports the bytes the block uses (header + data) through *used.
    adpcm3(const uint8_t* block, uint32_t available, uint32_t* used);
    void describe(std::ostream& out) const override;
    uint32_t rate() const override { return m_rate; }
    uint32_t next() override;
    uint32_t remaining() const override { return m_count - m_position; }
    uint32_t position() const override { return m_position; }
    uint32_t extract(uint32_t* words, uint32_t n) override;
    void rewind() override;

    // Data bytes of a block of `count` words: 3 per group of 4, one per word of a last partial
    // group, rounded up to a multiple of 4.
    static uint64_t dataLength(uint32_t count);

private:
    uint32_t m_typeId;
    uint32_t m_version;
    uint32_t m_rate;
    uint32_t m_count;
    const uint8_t* m_header;
    const uint8_t* m_data;
    adpcmChannel m_mid;
    adpcmChannel m_side;
    uint32_t m_position = 0;
};

class adpcm3BlockFactory final : public audioBlockFactory {
public:
    adpcm3BlockFactory();
    audioSource* makeSource() override;
};
