// The stereo 4-bit ADPCM decoder and its block factory. Neither path clamps the predictors:
// each sample is the low 16 bits of its channel's predictor.
#include "adpcmst.h"

#include "integer.h"
#include "sonvex_log.h"

namespace {
int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
}  // namespace

adpcmStereo::adpcmStereo(uint32_t rate, const uint8_t* block, uint32_t length) : adpcmSource(rate, block) {
    if (length < 8)
        AUDIO_FATAL("adpcmStereoHdr::Block too short, length is " << length);
    m_count = length - 7;
    m_data = block + 8;
    rewind();
}

void adpcmStereo::describe(std::ostream& out) const {
    out << "Stereophonic adpcm source, sample rate " << m_rate << ", " << m_count << " samples" << '\n';
}

void adpcmStereo::rewind() {
    m_position = 0;
    m_left.predictor = le16(m_header);
    m_left.index = m_header[2] | (m_header[3] << 8);
    m_right.predictor = le16(m_header + 4);
    m_right.index = m_header[6] | (m_header[7] << 8);
    if (m_left.index > svxfmt::kMaxIndex || m_right.index > svxfmt::kMaxIndex)
        AUDIO_FATAL("adpcmStereo::Bogus initial indices L:" << m_left.index << " R:" << m_right.index);
}

uint32_t adpcmStereo::next() {
    if (remaining() == 0)
        AUDIO_FATAL("adpcmStereo::Calling next() on empty source");
    if (m_position > 0) {
        uint8_t b = m_data[m_position - 1];
        svxfmt::StepFree(m_left, b >> 4);
        svxfmt::StepFree(m_right, b & 0xF);
    }
    ++m_position;
    return SampleWord(m_left.predictor, m_right.predictor);
}

uint32_t adpcmStereo::extract(uint32_t* words, uint32_t n) {
    if (n > remaining())
        n = remaining();
    uint32_t done = 0;
    if (n > 0 && m_position == 0)
        words[done++] = next();
    if (done < n) {
        const uint8_t* p = m_data + (m_position - 1);
        svxfmt::Channel l = m_left, r = m_right;
        uint32_t k = n - done;
        for (uint32_t j = 0; j < k; ++j) {
            uint8_t b = p[j];
            svxfmt::StepFree(l, b >> 4);
            svxfmt::StepFree(r, b & 0xF);
            words[done++] = SampleWord(l.predictor, r.predictor);
        }
        m_left = l;
        m_right = r;
        m_position += k;
    }
    return done;
}

adpcmStereoBlockFactory::adpcmStereoBlockFactory(uint32_t rate, uint32_t blockSize)
    : adpcmFixedBlockFactory(sizeof(adpcmStereo), rate, blockSize) {}

audioSource* adpcmStereoBlockFactory::makeSource() {
    const uint8_t* block = nextBlock("adpcmStereoBlockFactory");
    return block ? build<adpcmStereo>(m_rate, block, m_blockSize) : nullptr;
}
