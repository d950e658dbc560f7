// The 3-bit mid/side decoder. A group of 4 words takes 3 bytes B0 B1 B2:
//   word 0: mid from B0 low, side from B0 high, side used = (side before + side after) >> 1
//   word 1: mid from B1 low, the current side
//   word 2: mid from B1 high, side from B2 low, interpolated as for word 0
//   word 3: mid from B2 high, the current side
// and each word is high = clamp(M + side), low = clamp(2M - high).
#include "adpcm3.h"

#include "integer.h"
#include "sonvex_log.h"

namespace {

int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t outputWord(int32_t mid, int32_t side) {
    int64_t high = int64_t{mid} + side;
    high = high < -32768 ? -32768 : (high > 32767 ? 32767 : high);
    int64_t low = 2 * int64_t{mid} - high;
    low = low < -32768 ? -32768 : (low > 32767 ? 32767 : low);
    return SampleWord(static_cast<int32_t>(high), static_cast<int32_t>(low));
}

int32_t average(int32_t a, int32_t b) {
    return static_cast<int32_t>((int64_t{a} + b) >> 1);
}

// Decodes word r (0..3) of the group at g into a word, with the step function given.
template <void (*Step)(svxfmt::Channel&, uint32_t)>
uint32_t groupWord(const uint8_t* g, uint32_t r, svxfmt::Channel& mid, svxfmt::Channel& side) {
    int32_t used;
    switch (r) {
    case 0: {
        Step(mid, g[0] & 0xF);
        int32_t before = side.predictor;
        Step(side, g[0] >> 4);
        used = average(before, side.predictor);
        break;
    }
    case 1:
        Step(mid, g[1] & 0xF);
        used = side.predictor;
        break;
    case 2: {
        Step(mid, g[1] >> 4);
        int32_t before = side.predictor;
        Step(side, g[2] & 0xF);
        used = average(before, side.predictor);
        break;
    }
    default:
        Step(mid, g[2] >> 4);
        used = side.predictor;
        break;
    }
    return outputWord(mid.predictor, used);
}

}  // namespace

uint64_t adpcm3::dataLength(uint32_t count) {
    uint64_t d = 3 * uint64_t{count / 4} + count % 4;
    return (d + 3) / 4 * 4;
}

adpcm3::adpcm3(const uint8_t* block, uint32_t available, uint32_t* used) : adpcmSource(0, block) {
    if (available < 16)
        AUDIO_FATAL("adpcm3::Block too short, length " << available << ", should be " << 16);
    m_typeId = block[0];
    m_version = block[1];
    if (m_typeId != 0 || m_version != 0)
        AUDIO_FATAL("adpcm3::Bogus block, typeID = " << m_typeId << ", version = " << m_version);
    m_rate = le32(block + 2);
    if (m_rate != 44100 && m_rate != 22050)
        AUDIO_FATAL("adpcm3::Weird sample rate " << m_rate);
    m_count = le32(block + 6);
    uint64_t length = dataLength(m_count) + 16;
    if (available < length)
        AUDIO_FATAL("adpcm3::Block too short, length " << available << ", should be " << length);
    m_data = block + 16;
    *used = static_cast<uint32_t>(length);
    rewind();
}

void adpcm3::describe(std::ostream& out) const {
    out << "3-bit adpcm source ( " << m_typeId << ", " << m_version << ")  srate " << m_rate << ", " << m_count
        << " samples" << '\n';
}

void adpcm3::rewind() {
    m_position = 0;
    m_mid.predictor = le16(m_header + 10);
    m_side.predictor = le16(m_header + 12);
    m_mid.index = m_header[14] > svxfmt::kMaxIndex ? svxfmt::kMaxIndex : m_header[14];
    m_side.index = m_header[15] > svxfmt::kMaxIndex ? svxfmt::kMaxIndex : m_header[15];
}

uint32_t adpcm3::next() {
    if (remaining() == 0)
        AUDIO_FATAL("adpcm3::Calling next() on empty source");
    const uint8_t* g = m_data + 3 * static_cast<size_t>(m_position / 4);
    uint32_t w = groupWord<svxfmt::StepClamped>(g, m_position % 4, m_mid, m_side);
    ++m_position;
    return w;
}

uint32_t adpcm3::extract(uint32_t* words, uint32_t n) {
    if (n > remaining())
        n = remaining();
    uint32_t done = 0;
    while (done < n && m_position % 4 != 0)
        words[done++] = next();
    uint32_t groups = (n - done) / 4;  // whole groups of the request only
    if (groups > 0) {
        const uint8_t* g = m_data + 3 * static_cast<size_t>(m_position / 4);
        svxfmt::Channel mid = m_mid, side = m_side;
        for (uint32_t k = 0; k < groups; ++k, g += 3)
            for (uint32_t r = 0; r < 4; ++r)
                words[done++] = groupWord<svxfmt::StepFree>(g, r, mid, side);
        mid.index = mid.index > svxfmt::kMaxIndex ? svxfmt::kMaxIndex : mid.index;
        side.index = side.index > svxfmt::kMaxIndex ? svxfmt::kMaxIndex : side.index;
        m_mid = mid;
        m_side = side;
        m_position += 4 * groups;
    }
    while (done < n)
        words[done++] = next();
    return done;
}

adpcm3BlockFactory::adpcm3BlockFactory() : audioBlockFactory(sizeof(adpcm3), 0) {}

audioSource* adpcm3BlockFactory::makeSource() {
    if (m_left == 0)
        return nullptr;
    uint32_t used = 0;
    audioSource* s = build<adpcm3>(m_data, m_left, &used);
    m_data += used;
    m_left -= used;
    return s;
}
