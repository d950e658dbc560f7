// The stereo 4-bit ADPCM decoder and its block factory. Neither path clamps the predictors:
// each sample is the low 16 bits of its channel's predictor.
#include "adpcmst.h"

#include "integer.h"
#include "strings.h"

namespace {
int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
}  // namespace

adpcmStereo::adpcmStereo(uint32_t rate, const uint8_t* block, uint32_t length) : m_rate(rate), m_header(block) {
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
    if (m_left.index > 88 || m_right.index > 88)
        AUDIO_FATAL("adpcmStereo::Bogus initial indices L:" << m_left.index << " R:" << m_right.index);
}

uint32_t adpcmStereo::next() {
    if (remaining() == 0)
        AUDIO_FATAL("adpcmStereo::Calling next() on empty source");
    if (m_position > 0) {
        uint8_t b = m_data[m_position - 1];
        adpcmStepFree(m_left, b >> 4);
        adpcmStepFree(m_right, b & 0xF);
    }
    ++m_position;
    return sampleWord(m_left.predictor, m_right.predictor);
}

uint32_t adpcmStereo::extract(uint32_t* words, uint32_t n) {
    if (n > remaining())
        n = remaining();
    uint32_t done = 0;
    if (n > 0 && m_position == 0)
        words[done++] = next();
    if (done < n) {
        const uint8_t* p = m_data + (m_position - 1);
        adpcmChannel l = m_left, r = m_right;
        uint32_t k = n - done;
        for (uint32_t j = 0; j < k; ++j) {
            uint8_t b = p[j];
            adpcmStepFree(l, b >> 4);
            adpcmStepFree(r, b & 0xF);
            words[done++] = sampleWord(l.predictor, r.predictor);
        }
        m_left = l;
        m_right = r;
        m_position += k;
    }
    return done;
}

adpcmStereoBlockFactory::adpcmStereoBlockFactory(uint32_t rate, uint32_t blockSize)
    : audioBlockFactory(sizeof(adpcmStereo), rate), m_blockSize(blockSize) {}

audioSource* adpcmStereoBlockFactory::makeSource() {
    if (m_left == 0)
        return nullptr;
    if (m_left < m_blockSize)
        AUDIO_FATAL("adpcmStereoBlockFactory::Block too short, length = " << m_left << ", should be "
                                                                        << m_blockSize);
    const uint8_t* block = m_data;
    m_data += m_blockSize;
    m_left -= m_blockSize;
    return build<adpcmStereo>(m_rate, block, m_blockSize);
}
