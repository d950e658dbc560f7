// libsc3dll.so: the Echo Speech stand-in (include/speech_codecs.h), 294 samples into 30 bytes.
#include <cstdint>

#include "block_coder.h"
#include "speech_codecs.h"

#define SC3_API extern "C" __attribute__((visibility("default")))

namespace {
constexpr int kRawBytes = 588;
constexpr int kCodedBytes = 30;
}  // namespace

SC3_API int sc3_encode(const void* input, void* output, int inputBytes, int, int) {
    if (!input || !output || inputBytes != kRawBytes) return -1;
    block_coder::EncodeFixed(static_cast<const uint8_t*>(input), kRawBytes / 2, static_cast<uint8_t*>(output),
                             kCodedBytes);
    return 0;
}

SC3_API int sc3_decode(const void* input, void* output, int codedBytes, int, int) {
    if (!input || !output || codedBytes != kCodedBytes) return -1;
    block_coder::DecodeFixed(static_cast<const uint8_t*>(input), kCodedBytes, kRawBytes / 2,
                             static_cast<uint8_t*>(output));
    return 0;
}
