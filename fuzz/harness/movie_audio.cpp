// Movie sound blocks: the input's first byte picks the stream format (PCM 8 or 16 bits, mono or
// stereo, or the mono, stereo and 3-bit ADPCM forms), the next two bytes the samples per block
// of 4-bit ADPCM, and the rest is one chunk of the stream. The factory the movie player would
// make for that format takes the chunk, and every block of it is decoded word by word and in
// runs. A header or block the library cannot play ends in its fatal path (the error that its
// exports turn into their failure), which is caught here.
#include <vector>

#include "audioavi.h"
#include "fuzz_support.h"
#include "sonvex_log.h"

namespace {

struct Form {
    int32_t tag, channels, bits;
};
constexpr Form kForms[] = {
    {1, 1, 8}, {1, 1, 16}, {1, 2, 8}, {1, 2, 16}, {2, 1, 4}, {2, 2, 4}, {2, 2, 3}, {2, 1, 3},
};

// Words decoded per input at most: a block may state any length, and a long one is only slower.
constexpr uint32_t kMaxWords = 1u << 18;

audioBlockFactory* g_factory = nullptr;

void Decode(const uint8_t* data, size_t size) {
    fz::Input in{data, size};
    const Form& f = kForms[in.U8() % (sizeof kForms / sizeof kForms[0])];
    const int32_t samplesPerBlock = in.U16();
    g_factory = makeAudioFactory(f.channels, 22050, f.tag, f.bits, samplesPerBlock);
    if (!g_factory) return;
    std::vector<uint32_t> words(512);
    uint32_t total = 0;
    audioSource* s = g_factory->setChunk(in.data, uint32_t(in.size));
    for (bool wordwise = true; s && total < kMaxWords; wordwise = !wordwise) {
        s->rate();
        s->position();
        while (s->remaining() > 0 && total < kMaxWords) {
            if (wordwise) {
                s->next();
                ++total;
            } else {
                total += s->extract(words.data(), uint32_t(words.size()));
            }
        }
        s = g_factory->advance();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        Decode(data, size);
    } catch (const audioFatalError&) {
    }
    delete g_factory;
    g_factory = nullptr;
    return 0;
}
