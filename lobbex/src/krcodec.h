// The speech codec table: 16 styles (0 to 4 defined), each with its state, its operations and its
// five parameters, and the current compression and decompression styles. Every function here runs
// under the speech lock (krspeech.h), which the exports take.
#pragma once
#include <cstdint>

enum : int { KRCODEC_UNKNOWN = 0, KRCODEC_KNOWN = 1, KRCODEC_STARTED = 2 };
constexpr int KRCODEC_STYLES = 16;
// Indexes of the five parameters.
enum : int { KRCODEC_SAMPLE_BYTES = 0, KRCODEC_RAW_FRAME = 1, KRCODEC_P3 = 2, KRCODEC_RATE = 3, KRCODEC_CODED_FRAME = 4 };
// The most a variable-size (VoxWare) frame may take when it is compressed.
constexpr int KRCODEC_VOX_MAX_CODED = 255;

// The style's state, KRCODEC_UNKNOWN for a style outside 0 to 15.
int KrCodecState(int style);
// A parameter of a started style; 0 for a style that is not started (or outside 0 to 15).
int32_t KrCodecParameter(int style, int which);
// The current styles.
int KrCompressionStyle(void);
int KrDecompressionStyle(void);
// Compress one raw frame of the current compression style into `out`; `coded` gets the coded size.
// 1 when the style is not started, 0 otherwise (the codec's own result is not passed on, but a
// frame it could not code has coded size 0).
int KrCompressFrame(void* out, const void* in, int* coded);
// Decompress one frame of `coded` bytes with the current decompression style; `decoded` gets 0 when
// the codec failed. 1 when the style is not started, 0 otherwise.
int KrDecompressFrame(void* out, const void* in, int coded, int* decoded);
