// What the library's ADPCM decoders share: adpcmSource, the base of every decoder over one block
// that the stream buffer owns (valid until it is released), and adpcmFixedBlockFactory, which
// cuts a chunk into the blocks of one size that the 4-bit formats use. The channel arithmetic the
// decoders run (magnitude table, index update, the clamped and the free step) is the format's,
// in sonvex_format.h.
#pragma once
#include <cstdint>

#include "pcmblock.h"
#include "sonvex_format.h"

// A decoder over one block: its header, its codes, the words it holds and the next one to give.
// A decoder reads its channels' start state from the header on rewind().
class adpcmSource : public audioSeekableSource {
public:
    uint32_t rate() const override { return m_rate; }
    uint32_t remaining() const override { return m_count - m_position; }
    uint32_t position() const override { return m_position; }

protected:
    adpcmSource(uint32_t rate, const uint8_t* header) : m_rate(rate), m_header(header) {}
    uint32_t m_rate;
    uint32_t m_count = 0;
    const uint8_t* m_header;
    const uint8_t* m_data = nullptr;
    uint32_t m_position = 0;
};

// A chunk cut into blocks of one size, one decoder each.
class adpcmFixedBlockFactory : public audioBlockFactory {
protected:
    adpcmFixedBlockFactory(size_t storageBytes, uint32_t rate, uint32_t blockSize)
        : audioBlockFactory(storageBytes, rate), m_blockSize(blockSize) {}
    // The next block of the chunk, null at its end; a last block shorter than the others is
    // fatal, its message led by `owner`.
    const uint8_t* nextBlock(const char* owner);
    uint32_t m_blockSize;
};
