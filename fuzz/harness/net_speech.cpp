// Speech messages from the network: the input is a run of messages, each a 16-bit little-endian
// length (taken modulo 600) and that many bytes, handed one by one (as exact copies) to the play
// queue; after every fourth message playback drains what it can in blocks whose sizes come from
// the input. Every phrase is decoded with its own style's codec (styles 3 and 4 from the codec
// folder), so the decoders see hostile frames as well. Playback never delivers more than a block.
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "krerrno.h"
#include "lobbex_exports.h"

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        setenv("PLATFORM_LIBRARY_PATH", SPEECH_CODEC_DIR, 1);
        KrErrorInit();
        KrSpeechCompressionInit();
        return true;
    }();
    (void)ready;
    KrSpeechInit(); // an empty queue for each input
    fz::Input in{data, size};
    std::vector<uint8_t> block(2048);
    for (int n = 0; in.size > 0 && n < 256; ++n) {
        const size_t length = in.U16() % 600;
        const size_t take = length < in.size ? length : in.size;
        const std::vector<uint8_t> message(in.data, in.data + take);
        in.data += take;
        in.size -= take;
        KrQueueSpeech(message.data(), uint32_t(message.size()));
        if (n % 4 == 3) {
            for (int plays = 0; plays < 64; ++plays) {
                const int32_t room = int32_t(in.U16() % 2048) + 1;
                const int got = KrSpeechInX(block.data(), room, int32_t(in.U8()));
                Check(got <= room);
                if (got == 0 && !KrIsReadyToPlay(0)) break;
            }
        }
    }
    KrSpeechInit();
    return 0;
}
