// PCM block sources and the PCM block factory.
#include "pcmblock.h"

#include <algorithm>

#include "integer.h"
#include "sonvex_log.h"

namespace {
int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
uint32_t pbm8Word(uint8_t b) {
    return MonoWord(static_cast<int32_t>(static_cast<uint32_t>(b ^ 0x80u) << 8));
}
uint32_t pbs8Word(const uint8_t* p) {
    return SampleWord((p[0] - 128) * 256, (p[1] - 128) * 256);
}
uint32_t pbs16Word(const uint8_t* p) {
    return SampleWord(le16(p), le16(p + 2));
}
}  // namespace

pcmBlockSource::pcmBlockSource(uint32_t rate, const uint8_t* data, uint32_t length, uint32_t bytesPerWord)
    : m_rate(rate), m_count(length / bytesPerWord), m_data(data) {}

uint32_t pcmBlockSource::skip(uint32_t n) {
    uint32_t k = take(n);
    m_position += k;
    return k;
}

PBM8::PBM8(uint32_t rate, const uint8_t* data, uint32_t length) : pcmBlockSource(rate, data, length, 1) {}

void PBM8::describe(std::ostream& out) const {
    out << "block of " << m_count << " monophonic 8-bit audio samples" << '\n';
}

uint32_t PBM8::next() {
    if (remaining() == 0)
        AUDIO_FATAL("PBM8::Trying to extract from an empty source");
    return pbm8Word(m_data[m_position++]);
}

uint32_t PBM8::extract(uint32_t* words, uint32_t n) {
    uint32_t k = take(n);
    const uint8_t* p = m_data + m_position;
    for (uint32_t i = 0; i < k; ++i)
        words[i] = pbm8Word(p[i]);
    m_position += k;
    return k;
}

PBM16::PBM16(uint32_t rate, const uint8_t* data, uint32_t length) : pcmBlockSource(rate, data, length, 2) {
    if (length % 2 != 0)
        AUDIO_FATAL("PBM16::Invalid block length " << length);
}

void PBM16::describe(std::ostream& out) const {
    out << "block of " << m_count << " monophonic 16-bit audio samples" << '\n';
}

uint32_t PBM16::next() {
    if (remaining() == 0)
        AUDIO_FATAL("PBM16::Trying to extract from an empty source");
    return MonoWord(le16(m_data + 2 * m_position++));
}

uint32_t PBM16::extract(uint32_t* words, uint32_t n) {
    uint32_t k = take(n);
    const uint8_t* p = m_data + 2 * static_cast<size_t>(m_position);
    for (uint32_t i = 0; i < k; ++i)
        words[i] = MonoWord(le16(p + 2 * i));
    m_position += k;
    return k;
}

PBS8::PBS8(uint32_t rate, const uint8_t* data, uint32_t length) : pcmBlockSource(rate, data, length, 2) {
    if (length % 2 != 0)
        AUDIO_FATAL("PBS8::Invalid block length " << length);
}

void PBS8::describe(std::ostream& out) const {
    out << "block of " << m_count << " stereo 8-bit audio samples" << '\n';
}

uint32_t PBS8::next() {
    if (remaining() == 0)
        AUDIO_FATAL("PBS8::Trying to extract from an empty source");
    return pbs8Word(m_data + 2 * static_cast<size_t>(m_position++));
}

uint32_t PBS8::extract(uint32_t* words, uint32_t n) {
    uint32_t k = take(n);
    const uint8_t* p = m_data + 2 * static_cast<size_t>(m_position);
    for (uint32_t i = 0; i < k; ++i)
        words[i] = pbs8Word(p + 2 * i);
    m_position += k;
    return k;
}

PBS16::PBS16(uint32_t rate, const uint8_t* data, uint32_t length) : pcmBlockSource(rate, data, length, 4) {
    if (length % 4 != 0)
        AUDIO_FATAL("PBS16::Invalid block length " << length);
}

void PBS16::describe(std::ostream& out) const {
    out << "block of " << m_count << " stereo 16-bit audio samples" << '\n';
}

uint32_t PBS16::next() {
    if (remaining() == 0)
        AUDIO_FATAL("PBS16::Trying to extract from an empty source");
    return pbs16Word(m_data + 4 * static_cast<size_t>(m_position++));
}

uint32_t PBS16::extract(uint32_t* words, uint32_t n) {
    uint32_t k = take(n);
    const uint8_t* p = m_data + 4 * static_cast<size_t>(m_position);
    for (uint32_t i = 0; i < k; ++i)
        words[i] = pbs16Word(p + 4 * i);
    m_position += k;
    return k;
}

audioSource* audioBlockFactory::setChunk(const uint8_t* data, uint32_t length) {
    release();
    m_data = data;
    m_left = length;
    return makeSource();
}

void audioBlockFactory::reset() {
    release();
    m_left = 0;
}

pcmBlockFactory::pcmBlockFactory(uint32_t rate, Kind kind)
    : audioBlockFactory(std::max({sizeof(PBM8), sizeof(PBM16), sizeof(PBS8), sizeof(PBS16)}), rate), m_kind(kind) {}

audioSource* pcmBlockFactory::makeSource() {
    if (m_left == 0)
        return nullptr;
    const uint8_t* data = m_data;
    uint32_t length = m_left;
    m_data += length;
    m_left = 0;
    switch (m_kind) {
    case mono8:
        return build<PBM8>(m_rate, data, length);
    case mono16:
        return build<PBM16>(m_rate, data, length);
    case stereo8:
        return build<PBS8>(m_rate, data, length);
    default:
        return build<PBS16>(m_rate, data, length);
    }
}
