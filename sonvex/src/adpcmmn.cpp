// The magnitude table, the mono 4-bit ADPCM decoder and its block factory.
#include "adpcmmn.h"

#include "integer.h"
#include "strings.h"

namespace {

constexpr uint16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// The rows whose step is one above the published value.
constexpr bool raisedRow(int i) {
    return i == 7 || i == 9 || i == 13 || i == 17 || i == 19 || (i >= 22 && i <= 28) || i == 32 ||
           (i >= 34 && i <= 37) || (i >= 40 && i <= 44) || i == 49 || i == 51 || i == 54 || i == 57 ||
           (i >= 60 && i <= 63) || (i >= 67 && i <= 70) || (i >= 72 && i <= 76) || (i >= 78 && i <= 80) ||
           i == 85 || i == 87;
}

constexpr std::array<std::array<uint16_t, 8>, 89> makeMagnitudes() {
    std::array<std::array<uint16_t, 8>, 89> t{};
    for (int i = 0; i < 89; ++i) {
        uint32_t s = kImaSteps[i] + (raisedRow(i) ? 1u : 0u);
        for (uint32_t m = 0; m < 8; ++m)
            t[static_cast<size_t>(i)][m] = static_cast<uint16_t>((2 * m + 1) * s / 8);
    }
    return t;
}

int32_t le16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace

constexpr std::array<std::array<uint16_t, 8>, 89> adpcmMagnitudes = makeMagnitudes();

adpcmMono::adpcmMono(uint32_t rate, const uint8_t* block, uint32_t length) : m_rate(rate), m_header(block) {
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
    if (m_state.index > 88)
        AUDIO_FATAL("adpcmMono::Bogus initial index " << m_state.index);
}

uint32_t adpcmMono::next() {
    if (remaining() == 0)
        AUDIO_FATAL("adpcmMono::Calling next() on empty source");
    if (m_position % 2 == 0) {
        ++m_position;
        return monoWord(m_state.predictor);
    }
    uint8_t b = m_data[(m_position - 1) / 2];
    adpcmStepClamped(m_state, b >> 4);
    int32_t first = m_state.predictor;
    adpcmStepClamped(m_state, b & 0xF);
    ++m_position;
    return monoWord(first);
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
        adpcmChannel c = m_state;
        for (uint32_t k = 0; k < pairs; ++k) {
            uint8_t b = p[k];
            adpcmStepFree(c, b >> 4);
            words[done++] = monoWord(c.predictor);
            adpcmStepFree(c, b & 0xF);
            words[done++] = monoWord(c.predictor);
        }
        m_state = c;
        m_position += 2 * pairs;
    }
    if (done < n)
        words[done++] = next();
    return done;
}

adpcmMonoBlockFactory::adpcmMonoBlockFactory(uint32_t rate, uint32_t blockSize)
    : audioBlockFactory(sizeof(adpcmMono), rate), m_blockSize(blockSize) {}

audioSource* adpcmMonoBlockFactory::makeSource() {
    if (m_left == 0)
        return nullptr;
    if (m_left < m_blockSize)
        AUDIO_FATAL("adpcmMonoBlockFactory::Block too short, length = " << m_left << ", should be " << m_blockSize);
    const uint8_t* block = m_data;
    m_data += m_blockSize;
    m_left -= m_blockSize;
    return build<adpcmMono>(m_rate, block, m_blockSize);
}
