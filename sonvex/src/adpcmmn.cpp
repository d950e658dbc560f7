// The mono 4-bit ADPCM decoder and its block factory.
#include "adpcmmn.h"

#include "integer.h"
#include "sonvex_log.h"

namespace {

int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace

adpcmMono::adpcmMono(uint32_t rate, const uint8_t* block, uint32_t length) : adpcmSource(rate, block) {
    if (length < 4)
        AUDIO_FATAL("adpcmMonoHdr::Block too short, length is " << length);
    m_count = 2 * length - 7;
    m_data = block + 4;
    rewind();
}

void adpcmMono::describe(std::ostream& out) const {
    out << "Monophonic adpcm source, sample rate " << m_rate << ", " << m_count << " samples" << '\n';
}

void adpcmMono::rewind() {
    m_position = 0;
    m_state.predictor = le16(m_header);
    m_state.index = m_header[2] | (m_header[3] << 8);
    if (m_state.index > svxfmt::kMaxIndex)
        AUDIO_FATAL("adpcmMono::Bogus initial index " << m_state.index);
}

uint32_t adpcmMono::next() {
    if (remaining() == 0)
        AUDIO_FATAL("adpcmMono::Calling next() on empty source");
    if (m_position % 2 == 0) {
        ++m_position;
        return MonoWord(m_state.predictor);
    }
    uint8_t b = m_data[(m_position - 1) / 2];
    svxfmt::StepClamped(m_state, b >> 4);
    int32_t first = m_state.predictor;
    svxfmt::StepClamped(m_state, b & 0xF);
    ++m_position;
    return MonoWord(first);
}

uint32_t adpcmMono::extract(uint32_t* words, uint32_t n) {
    if (n > remaining())
        n = remaining();
    uint32_t done = 0;
    if (n > 0 && m_position % 2 == 0) {
        words[done++] = next();
        if (n == 1)
            return 1;
    }
    uint32_t pairs = (n - done) / 2;
    if (pairs > 0) {
        // The position is odd here, so the loop starts at a high nibble.
        const uint8_t* p = m_data + (m_position - 1) / 2;
        svxfmt::Channel c = m_state;
        for (uint32_t k = 0; k < pairs; ++k) {
            uint8_t b = p[k];
            svxfmt::StepFree(c, b >> 4);
            words[done++] = MonoWord(c.predictor);
            svxfmt::StepFree(c, b & 0xF);
            words[done++] = MonoWord(c.predictor);
        }
        m_state = c;
        m_position += 2 * pairs;
    }
    if (done < n)
        words[done++] = next();
    return done;
}

adpcmMonoBlockFactory::adpcmMonoBlockFactory(uint32_t rate, uint32_t blockSize)
    : adpcmFixedBlockFactory(sizeof(adpcmMono), rate, blockSize) {}

audioSource* adpcmMonoBlockFactory::makeSource() {
    const uint8_t* block = nextBlock("adpcmMonoBlockFactory");
    return block ? build<adpcmMono>(m_rate, block, m_blockSize) : nullptr;
}
