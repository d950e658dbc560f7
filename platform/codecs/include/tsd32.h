// libtsd32.so, the stand-in of the TrueSpeech codec library that liblobbex.so binds when it is
// loaded. The original exports its entry points by ordinal; Linux has none, so each ordinal is a
// named export, and this header is its export table:
//
//   ordinal 10  tsd_Startup        ()
//   ordinal 11  tsd_OpenCodec      (input format, output format) -> codec handle
//   ordinal 12  tsd_CloseCodec     (handle)
//   ordinal 13  tsd_Encode         (handle, 480 bytes of 16-bit samples, 32 coded bytes out)
//   ordinal 14  tsd_Decode         (handle, 32 coded bytes, 480 bytes of 16-bit samples out)
//   ordinal 15  tsd_BeginCodec     (handle)
//
// One frame is 240 samples (480 bytes) of 16-bit mono at 8000 Hz, coded into 32 bytes. The coder
// inside is our own small lossy block coder, not TrueSpeech.
#pragma once
#include <cstdint>

#if defined(TSD32_BUILD)
#define TSD32_API extern "C" __attribute__((visibility("default")))
#else
#define TSD32_API extern "C"
#endif

constexpr int TSD_RAW_FRAME_BYTES = 480;
constexpr int TSD_CODED_FRAME_BYTES = 32;

// The wave format records the caller hands to tsd_OpenCodec (the TrueSpeech one carries 32 extra
// bytes: revision, samples per block, the rest zero).
struct TSD_WAVEFORMAT {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
    uint16_t revision;
    uint16_t samplesPerBlock;
    uint8_t reserved[28];
};

typedef uintptr_t TSD_HANDLE;

TSD32_API int tsd_Startup(void);
// A handle (nonzero) when the input is 16-bit mono PCM at 8000 Hz and the output format tag is 34;
// 0 otherwise.
TSD32_API TSD_HANDLE tsd_OpenCodec(const TSD_WAVEFORMAT* input, const TSD_WAVEFORMAT* output);
TSD32_API int tsd_CloseCodec(TSD_HANDLE handle);
TSD32_API int tsd_Encode(TSD_HANDLE handle, const void* input, void* output);
TSD32_API int tsd_Decode(TSD_HANDLE handle, const void* input, void* output);
TSD32_API int tsd_BeginCodec(TSD_HANDLE handle);
