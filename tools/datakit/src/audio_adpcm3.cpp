// The 3-bit mid/side encoder. A group of 4 words takes 3 bytes B0 B1 B2: mid codes in B0 low,
// B1 low, B1 high and B2 high; side codes in B0 high (at word 0) and B2 low (at word 2), each
// used as the average of the side before and after it. Words are high = clamp(M + side),
// low = clamp(2M - high). Codes at words 0 and 2 are chosen as mid/side pairs.
#include <cstdlib>
#include <stdexcept>

#include "audio_adpcm_step.h"
#include "datakit/audio_encoders.h"

namespace dk {
namespace {

using adpcm::Chan;

int32_t Clamp(int64_t v) {
    return static_cast<int32_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

uint32_t Output(int32_t mid, int32_t side) {
    int32_t high = Clamp(int64_t{mid} + side);
    int32_t low = Clamp(2 * int64_t{mid} - high);
    return SampleWord(high, low);
}

int64_t Error(uint32_t got, uint32_t want) {
    return std::llabs(int64_t{WordLeft(got)} - WordLeft(want)) + std::llabs(int64_t{WordRight(got)} - WordRight(want));
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutI16(std::vector<uint8_t>& b, int32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8));
}

}  // namespace

EncodedAudio EncodeAdpcm3Block(const std::vector<uint32_t>& words, uint32_t rate, int initialIndex) {
    if (rate != 22050 && rate != 44100)
        throw std::invalid_argument("EncodeAdpcm3Block: rate 22050 or 44100");
    if (initialIndex < 0 || initialIndex > 88)
        throw std::invalid_argument("EncodeAdpcm3Block: index 0..88");
    const uint32_t count = static_cast<uint32_t>(words.size());
    size_t data = 3 * size_t{count / 4} + count % 4;
    data = (data + 3) / 4 * 4;

    EncodedAudio out;
    int32_t m0 = 0, s0 = 0;
    if (count > 0) {
        m0 = (int32_t{WordLeft(words[0])} + WordRight(words[0])) >> 1;
        s0 = (int32_t{WordLeft(words[0])} - WordRight(words[0])) >> 1;
    }
    out.bytes.push_back(0);  // type
    out.bytes.push_back(0);  // version
    PutU32(out.bytes, rate);
    PutU32(out.bytes, count);
    PutI16(out.bytes, m0);
    PutI16(out.bytes, s0);
    out.bytes.push_back(static_cast<uint8_t>(initialIndex));
    out.bytes.push_back(static_cast<uint8_t>(initialIndex));
    const size_t base = out.bytes.size();
    out.bytes.resize(base + data, 0);

    Chan mid{m0, initialIndex}, side{s0, initialIndex};
    for (uint32_t p = 0; p < count; ++p) {
        uint8_t* g = &out.bytes[base + 3 * size_t{p / 4}];
        const uint32_t want = words[p];
        const uint32_t r = p % 4;
        if (r == 0 || r == 2) {
            // A mid code and a side code together.
            uint32_t bestM = 0, bestS = 0;
            int64_t bestErr = -1;
            for (uint32_t cm = 0; cm < 16; ++cm) {
                Chan tm = mid;
                if (!adpcm::InRange(adpcm::Step(tm, cm)))
                    continue;
                for (uint32_t cs = 0; cs < 16; ++cs) {
                    Chan ts = side;
                    if (!adpcm::InRange(adpcm::Step(ts, cs)))
                        continue;
                    int32_t used = static_cast<int32_t>((int64_t{side.predictor} + ts.predictor) >> 1);
                    int64_t err = Error(Output(tm.predictor, used), want);
                    if (bestErr < 0 || err < bestErr) {
                        bestErr = err;
                        bestM = cm;
                        bestS = cs;
                    }
                }
            }
            adpcm::Step(mid, bestM);
            int32_t before = side.predictor;
            adpcm::Step(side, bestS);
            int32_t used = static_cast<int32_t>((int64_t{before} + side.predictor) >> 1);
            if (r == 0) {
                g[0] = static_cast<uint8_t>(bestS << 4 | bestM);
            } else {
                g[1] |= static_cast<uint8_t>(bestM << 4);
                g[2] |= static_cast<uint8_t>(bestS);
            }
            out.decoded.push_back(Output(mid.predictor, used));
        } else {
            uint32_t best = 0;
            int64_t bestErr = -1;
            for (uint32_t cm = 0; cm < 16; ++cm) {
                Chan tm = mid;
                if (!adpcm::InRange(adpcm::Step(tm, cm)))
                    continue;
                int64_t err = Error(Output(tm.predictor, side.predictor), want);
                if (bestErr < 0 || err < bestErr) {
                    bestErr = err;
                    best = cm;
                }
            }
            adpcm::Step(mid, best);
            if (r == 1)
                g[1] |= static_cast<uint8_t>(best);
            else
                g[2] |= static_cast<uint8_t>(best << 4);
            out.decoded.push_back(Output(mid.predictor, side.predictor));
        }
    }
    return out;
}

}  // namespace dk
