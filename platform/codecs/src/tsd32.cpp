// libtsd32.so: the TrueSpeech stand-in (include/tsd32.h), 240 samples into 32 bytes.
#include "tsd32.h"

#include <cstdint>

#include "block_coder.h"

namespace {
constexpr uint16_t kPcm = 1;
constexpr uint16_t kTrueSpeech = 34;
int g_Open = 0; // handles given out and not closed
}  // namespace

TSD32_API int tsd_Startup(void) {
    return 0;
}

TSD32_API TSD_HANDLE tsd_OpenCodec(const TSD_WAVEFORMAT* input, const TSD_WAVEFORMAT* output) {
    if (!input || !output || input->formatTag != kPcm || input->channels != 1 || input->samplesPerSec != 8000 ||
        input->bitsPerSample != 16 || output->formatTag != kTrueSpeech)
        return 0;
    ++g_Open;
    return (TSD_HANDLE)g_Open;
}

TSD32_API int tsd_CloseCodec(TSD_HANDLE handle) {
    return handle ? 0 : -1;
}

TSD32_API int tsd_BeginCodec(TSD_HANDLE handle) {
    return handle ? 0 : -1;
}

TSD32_API int tsd_Encode(TSD_HANDLE handle, const void* input, void* output) {
    if (!handle || !input || !output) return -1;
    block_coder::EncodeFixed(static_cast<const uint8_t*>(input), TSD_RAW_FRAME_BYTES / 2, static_cast<uint8_t*>(output),
                             TSD_CODED_FRAME_BYTES);
    return 0;
}

TSD32_API int tsd_Decode(TSD_HANDLE handle, const void* input, void* output) {
    if (!handle || !input || !output) return -1;
    block_coder::DecodeFixed(static_cast<const uint8_t*>(input), TSD_CODED_FRAME_BYTES, TSD_RAW_FRAME_BYTES / 2,
                             static_cast<uint8_t*>(output));
    return 0;
}
