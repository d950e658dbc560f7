// The 4-bit ADPCM encoders (mono and stereo blocks) and the decoding step they share with the
// 3-bit encoder (the format's own, from sonvex_format.h). Each code is chosen by trying all
// sixteen against that step and keeping the closest result that stays inside 16 bits.
#include <cstdlib>
#include <stdexcept>

#include "audio_adpcm_step.h"
#include "datakit/audio_encoders.h"

namespace dk {

uint16_t AdpcmMagnitude(int index, int magnitude) {
    return svxfmt::kMagnitudes[static_cast<size_t>(index)][static_cast<size_t>(magnitude)];
}

namespace adpcm {

int32_t Step(Chan& c, uint32_t code) {
    svxfmt::StepFree(c, code);
    return c.predictor;
}

bool InRange(int32_t v) {
    return v >= -32768 && v <= 32767;
}

uint32_t BestCode(const Chan& c, int32_t target) {
    uint32_t best = 0;
    int64_t bestErr = -1;
    for (uint32_t code = 0; code < 16; ++code) {
        Chan t = c;
        int32_t p = Step(t, code);
        if (!InRange(p))
            continue;
        int64_t err = std::llabs(int64_t{target} - p);
        if (bestErr < 0 || err < bestErr) {
            bestErr = err;
            best = code;
        }
    }
    return best;
}

}  // namespace adpcm

using adpcm::Chan;

EncodedAudio EncodeAdpcmMonoBlock(const std::vector<int16_t>& samples, int initialIndex) {
    if (samples.empty() || samples.size() % 2 == 0 || initialIndex < 0 || initialIndex > 88)
        throw std::invalid_argument("EncodeAdpcmMonoBlock: an odd number of samples and an index 0..88");
    const size_t length = (samples.size() + 7) / 2;
    EncodedAudio out;
    out.bytes.assign(length, 0);
    out.bytes[0] = static_cast<uint8_t>(samples[0]);
    out.bytes[1] = static_cast<uint8_t>(static_cast<uint16_t>(samples[0]) >> 8);
    out.bytes[2] = static_cast<uint8_t>(initialIndex);
    out.bytes[3] = 0;
    Chan c{samples[0], initialIndex};
    out.decoded.push_back(MonoWord(c.predictor));
    for (size_t j = 1; j < samples.size(); ++j) {
        uint32_t code = adpcm::BestCode(c, samples[j]);
        adpcm::Step(c, code);
        uint8_t& b = out.bytes[4 + (j - 1) / 2];
        b |= static_cast<uint8_t>((j % 2 == 1) ? code << 4 : code);
        out.decoded.push_back(MonoWord(c.predictor));
    }
    return out;
}

EncodedAudio EncodeAdpcmStereoBlock(const std::vector<uint32_t>& words, int initialIndex) {
    if (words.empty() || initialIndex < 0 || initialIndex > 88)
        throw std::invalid_argument("EncodeAdpcmStereoBlock: at least one word and an index 0..88");
    EncodedAudio out;
    Chan l{WordLeft(words[0]), initialIndex}, r{WordRight(words[0]), initialIndex};
    for (const Chan& c : {l, r}) {
        out.bytes.push_back(static_cast<uint8_t>(c.predictor));
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(c.predictor) >> 8));
        out.bytes.push_back(static_cast<uint8_t>(initialIndex));
        out.bytes.push_back(0);
    }
    out.decoded.push_back(words[0]);
    for (size_t j = 1; j < words.size(); ++j) {
        uint32_t cl = adpcm::BestCode(l, WordLeft(words[j]));
        uint32_t cr = adpcm::BestCode(r, WordRight(words[j]));
        adpcm::Step(l, cl);
        adpcm::Step(r, cr);
        out.bytes.push_back(static_cast<uint8_t>(cl << 4 | cr));
        out.decoded.push_back(SampleWord(l.predictor, r.predictor));
    }
    return out;
}

namespace {
// Cuts words into blocks of n, repeating the last word to fill the last block.
template <class T>
std::vector<std::vector<T>> Blocks(const std::vector<T>& all, size_t n) {
    std::vector<std::vector<T>> blocks;
    for (size_t at = 0; at < all.size(); at += n) {
        std::vector<T> b(all.begin() + static_cast<ptrdiff_t>(at),
                         all.begin() + static_cast<ptrdiff_t>(at + n < all.size() ? at + n : all.size()));
        while (b.size() < n)
            b.push_back(b.back());
        blocks.push_back(std::move(b));
    }
    return blocks;
}

void Append(EncodedAudio& to, const EncodedAudio& block) {
    to.bytes.insert(to.bytes.end(), block.bytes.begin(), block.bytes.end());
    to.decoded.insert(to.decoded.end(), block.decoded.begin(), block.decoded.end());
}
}  // namespace

EncodedAudio EncodeAdpcmMono(const std::vector<int16_t>& samples, uint32_t samplesPerBlock) {
    const size_t blockBytes = samplesPerBlock / 2 + 4;
    EncodedAudio out;
    for (const auto& b : Blocks(samples, 2 * blockBytes - 7))
        Append(out, EncodeAdpcmMonoBlock(b));
    return out;
}

EncodedAudio EncodeAdpcmStereo(const std::vector<uint32_t>& words, uint32_t samplesPerBlock) {
    if (samplesPerBlock == 0)
        throw std::invalid_argument("EncodeAdpcmStereo: blocks of at least one word");
    EncodedAudio out;
    for (const auto& b : Blocks(words, samplesPerBlock))
        Append(out, EncodeAdpcmStereoBlock(b));
    return out;
}

EncodedAudio EncodeAdpcm3(const std::vector<uint32_t>& words, uint32_t rate, uint32_t blockWords) {
    if (blockWords == 0)
        throw std::invalid_argument("EncodeAdpcm3: blocks of at least one word");
    EncodedAudio out;
    for (const auto& b : Blocks(words, blockWords))
        Append(out, EncodeAdpcm3Block(b, rate));
    return out;
}

}  // namespace dk
