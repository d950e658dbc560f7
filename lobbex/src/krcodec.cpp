// The speech codec table and its three outside codec libraries. Styles 0 and 1 copy raw data;
// style 2 (TrueSpeech) is bound when the library is loaded (libtsd32.so, linked by name in place
// of its ordinals, see tsd32.h); style 3 (Echo Speech, "sc3dll.dll") and style 4 (VoxWare,
// "VOX.DLL") are loaded when they are first selected. A style whose library is missing stays known
// but not started, so the next selection tries again.
#include "krcodec.h"

#include <cstring>

#include "krlog.h"
#include "krspeech.h"
#include "lobbex_exports.h"
#include "speech_codecs.h"
#include "tsd32.h"
#include "win32.h"

namespace {
constexpr char kKrModule[] = "krcodec";

struct KRCODEC {
    int state;
    int (*start)();
    int (*stop)();
    int (*reset)();
    int (*compress)(void* out, const void* in, int* coded);
    int (*decompress)(void* out, const void* in, int coded, int* decoded);
    int32_t parameters[5];
};

KRCODEC g_Codecs[KRCODEC_STYLES] = {};
int g_CompressStyle = 0;
int g_DecompressStyle = 0;

// ---- TrueSpeech ----
TSD_HANDLE g_Tsd = 0;

int StartTsd() {
    TSD_WAVEFORMAT pcm{};
    pcm.formatTag = 1;
    pcm.channels = 1;
    pcm.samplesPerSec = 8000;
    pcm.avgBytesPerSec = 16000;
    pcm.blockAlign = 2;
    pcm.bitsPerSample = 16;
    TSD_WAVEFORMAT tsd{};
    tsd.formatTag = 34;
    tsd.channels = 1;
    tsd.samplesPerSec = 8000;
    tsd.avgBytesPerSec = 1067;
    tsd.blockAlign = 32;
    tsd.bitsPerSample = 1;
    tsd.extraSize = 32;
    tsd.revision = 1;
    tsd.samplesPerBlock = 240;
    g_Tsd = tsd_OpenCodec(&pcm, &tsd);
    tsd_Startup();
    tsd_BeginCodec(g_Tsd);
    return 0;
}
int StopTsd() {
    tsd_CloseCodec(g_Tsd);
    g_Tsd = 0;
    return 0;
}
int CompressTsd(void* out, const void* in, int* coded) {
    *coded = tsd_Encode(g_Tsd, in, out) == 0 ? TSD_CODED_FRAME_BYTES : 0;
    return 0;
}
int DecompressTsd(void* out, const void* in, int, int* decoded) {
    *decoded = tsd_Decode(g_Tsd, in, out) == 0 ? TSD_RAW_FRAME_BYTES : 0;
    return 0;
}

// ---- Echo Speech ----
HMODULE g_Sc3 = nullptr;
SC3_ENCODE g_Sc3Encode = nullptr;
SC3_DECODE g_Sc3Decode = nullptr;

int StartSc3() {
    g_Sc3 = LoadLibraryA("sc3dll.dll");
    if (!g_Sc3) {
        KrMessageBox("Missing Echo Speech DLL", "sc2dll.dll");
        return -1;
    }
    g_Sc3Encode = reinterpret_cast<SC3_ENCODE>(GetProcAddress(g_Sc3, "sc3_encode"));
    g_Sc3Decode = reinterpret_cast<SC3_DECODE>(GetProcAddress(g_Sc3, "sc3_decode"));
    if (!g_Sc3Encode || !g_Sc3Decode) {
        KrMessageBox("Missing Echo Speech functions", "sc3_encode");
        FreeLibrary(g_Sc3);
        g_Sc3 = nullptr;
        g_Sc3Encode = nullptr;
        g_Sc3Decode = nullptr;
        return -1;
    }
    return 0;
}
int StopSc3() {
    if (g_Sc3) FreeLibrary(g_Sc3);
    g_Sc3 = nullptr;
    g_Sc3Encode = nullptr;
    g_Sc3Decode = nullptr;
    return 0;
}
int CompressSc3(void* out, const void* in, int* coded) {
    *coded = g_Sc3Encode(in, out, 588, 15, 16) == 0 ? 30 : 0;
    return 0;
}
int DecompressSc3(void* out, const void* in, int, int* decoded) {
    *decoded = g_Sc3Decode(in, out, 30, 15, 16) == 0 ? 588 : 0;
    return 0;
}

// ---- VoxWare ----
constexpr char kVoxName[] = "VOX.DLL";
HMODULE g_Vox = nullptr;
struct VoxCalls {
    VOX_OPEN cmpOpen, dcmpOpen;
    VOX_WRITE cmpWrite, dcmpWrite;
    VOX_READ cmpRead, dcmpRead;
    VOX_CLOSE cmpClose, dcmpClose;
} g_VoxCalls{};
const int32_t kVoxParameters[4] = {2, 0, 0, 0};

void ForgetVox() {
    if (g_Vox) FreeLibrary(g_Vox);
    g_Vox = nullptr;
    g_VoxCalls = {};
}

int StartVox() {
    g_Vox = LoadLibraryA(kVoxName);
    if (!g_Vox) {
        KrError("Missing VoxWare Wrapper:%s or a DLL it depends on", kVoxName);
        return -1;
    }
    VoxCalls& v = g_VoxCalls;
    v.cmpOpen = reinterpret_cast<VOX_OPEN>(GetProcAddress(g_Vox, "cmpOpen"));
    v.cmpWrite = reinterpret_cast<VOX_WRITE>(GetProcAddress(g_Vox, "cmpWrite"));
    v.cmpRead = reinterpret_cast<VOX_READ>(GetProcAddress(g_Vox, "cmpRead"));
    v.cmpClose = reinterpret_cast<VOX_CLOSE>(GetProcAddress(g_Vox, "cmpClose"));
    v.dcmpOpen = reinterpret_cast<VOX_OPEN>(GetProcAddress(g_Vox, "dcmpOpen"));
    v.dcmpWrite = reinterpret_cast<VOX_WRITE>(GetProcAddress(g_Vox, "dcmpWrite"));
    v.dcmpRead = reinterpret_cast<VOX_READ>(GetProcAddress(g_Vox, "dcmpRead"));
    v.dcmpClose = reinterpret_cast<VOX_CLOSE>(GetProcAddress(g_Vox, "dcmpClose"));
    if (!v.cmpOpen || !v.cmpWrite || !v.cmpRead || !v.cmpClose || !v.dcmpOpen || !v.dcmpWrite || !v.dcmpRead ||
        !v.dcmpClose) {
        KrError("Missing VoxWare Compression functions");
        ForgetVox();
        return -1;
    }
    if (const int e = v.cmpOpen(kVoxParameters)) {
        KrError("VOX.DLL::cmpOpen() returned error: %d", e);
        ForgetVox();
        return -1;
    }
    if (const int e = v.dcmpOpen(kVoxParameters)) {
        KrError("VOX.DLL::dcmpOpen() returned error: %d", e);
        v.cmpClose();
        ForgetVox();
        return -1;
    }
    return 0;
}
int StopVox() {
    if (!g_Vox) return 0;
    if (const int e = g_VoxCalls.cmpClose()) KrError("CloseVoxSpeechCodec::VOX.DLL::cmpClose() returned error: %d", e);
    if (const int e = g_VoxCalls.dcmpClose()) KrError("CloseVoxSpeechCodec::VOX.DLL::dcmpClose() returned error: %d", e);
    ForgetVox();
    return 0;
}
int ResetVox() {
    g_VoxCalls.cmpClose();
    if (const int e = g_VoxCalls.cmpOpen(kVoxParameters)) KrError("ResetVoxSpeech::VOX.DLL::cmpOpen() returned error: %d", e);
    return 0;
}
int CompressVox(void* out, const void* in, int* coded) {
    *coded = 0;
    if (const int e = g_VoxCalls.cmpWrite(in, 1440)) {
        KrError("CompressVoxSpeech::VOX.DLL::cmpWrite() returned error: %d", e);
        return 0;
    }
    int size = 0;
    if (const int e = g_VoxCalls.cmpRead(out, KRCODEC_VOX_MAX_CODED, &size)) {
        KrError("CompressVoxSpeech::VOX.DLL::cmpRead() returned error: %d", e);
        return 0;
    }
    *coded = size >= 0 && size <= KRCODEC_VOX_MAX_CODED ? size : 0;
    return 0;
}
int DecompressVox(void* out, const void* in, int coded, int* decoded) {
    *decoded = 0;
    g_VoxCalls.dcmpWrite(in, coded);
    int size = 0;
    const int e = g_VoxCalls.dcmpRead(out, 1440, &size);
    if (size == 0) {
        KrError("DecompressVoxSpeech::VOX.DLL::dcmpRead() returned error: %d", e);
        return 0;
    }
    *decoded = size;
    return 0;
}

int Nothing() {
    return 0;
}

constexpr int32_t kRawParameters[5] = {2, 480, 8, 8000, 32};
constexpr int32_t kTsdParameters[5] = {2, 480, 8, 8000, 32};
constexpr int32_t kSc3Parameters[5] = {2, 588, 8, 8000, 30};
constexpr int32_t kVoxCodecParameters[5] = {2, 1440, 1, 8000, 256};

void Define(int style, const int32_t (&parameters)[5], int (*start)(), int (*stop)(), int (*reset)(),
            int (*compress)(void*, const void*, int*), int (*decompress)(void*, const void*, int, int*)) {
    KRCODEC& c = g_Codecs[style];
    c.state = KRCODEC_KNOWN;
    c.start = start;
    c.stop = stop;
    c.reset = reset;
    c.compress = compress;
    c.decompress = decompress;
    std::memcpy(c.parameters, parameters, sizeof c.parameters);
}

// 0 when started (or already so), -1 for a style that is not known, -2 when it cannot start.
int Start(int style) {
    if (style < 0 || style >= KRCODEC_STYLES) return -1;
    KRCODEC& c = g_Codecs[style];
    if (c.state == KRCODEC_STARTED) return 0;
    if (c.state == KRCODEC_UNKNOWN || style > 4) return -1;
    KrSpeechClearCoderState();
    if (c.start && c.start() != 0) return -2;
    c.state = KRCODEC_STARTED;
    return 0;
}

const KRCODEC* Started(int style) {
    if (style < 0 || style >= KRCODEC_STYLES || g_Codecs[style].state != KRCODEC_STARTED) return nullptr;
    return &g_Codecs[style];
}
}  // namespace

int KrCodecState(int style) {
    return style >= 0 && style < KRCODEC_STYLES ? g_Codecs[style].state : KRCODEC_UNKNOWN;
}

int32_t KrCodecParameter(int style, int which) {
    const KRCODEC* c = Started(style);
    return c && which >= 0 && which < 5 ? c->parameters[which] : 0;
}

int KrCompressionStyle(void) {
    return g_CompressStyle;
}

int KrDecompressionStyle(void) {
    return g_DecompressStyle;
}

int KrCompressFrame(void* out, const void* in, int* coded) {
    *coded = 0;
    const KRCODEC* c = Started(g_CompressStyle);
    if (!c) return 1;
    if (c->compress) c->compress(out, in, coded);
    return 0;
}

int KrDecompressFrame(void* out, const void* in, int coded, int* decoded) {
    *decoded = 0;
    const KRCODEC* c = Started(g_DecompressStyle);
    if (!c) return 1;
    if (c->decompress) c->decompress(out, in, coded, decoded);
    return 0;
}

LOBBEX_API int KrSpeechCompressionInit(void) {
    KrSpeechLockGuard hold;
    std::memset(g_Codecs, 0, sizeof g_Codecs);
    Define(0, kRawParameters, nullptr, nullptr, nullptr, nullptr, nullptr);
    Define(1, kRawParameters, nullptr, nullptr, nullptr, nullptr, nullptr);
    Define(2, kTsdParameters, StartTsd, StopTsd, Nothing, CompressTsd, DecompressTsd);
    Define(3, kSc3Parameters, StartSc3, StopSc3, Nothing, CompressSc3, DecompressSc3);
    Define(4, kVoxCodecParameters, StartVox, StopVox, ResetVox, CompressVox, DecompressVox);
    g_CompressStyle = 0;
    g_DecompressStyle = 0;
    Start(0);
    Start(1);
    const int result = Start(2);
    KR_LOG(KrWarning, "KrSpeechCompressionInit: speech codecs ready");
    return result;
}

LOBBEX_API int KrSpeechCompressionCleanup(void) {
    KrSpeechLockGuard hold;
    int result = 0;
    for (KRCODEC& c : g_Codecs) {
        if (c.state != KRCODEC_STARTED) continue;
        if (c.stop && c.stop() != 0) {
            result = -2;
            continue;
        }
        c.state = KRCODEC_KNOWN;
    }
    KR_LOG(KrWarning, "KrSpeechCompressionCleanup: speech codecs stopped");
    return result;
}

LOBBEX_API int SelectCompressionStyle(int style) {
    KrSpeechLockGuard hold;
    const int started = Start(style);
    if (started != 0) return started;
    g_CompressStyle = style;
    KrResetCompression();
    return 0;
}

LOBBEX_API int SelectDecompressionStyle(int style) {
    KrSpeechLockGuard hold;
    const int started = Start(style);
    if (started != 0) return started;
    g_DecompressStyle = style;
    return 0;
}

LOBBEX_API int KrResetCompression(void) {
    KrSpeechLockGuard hold;
    const KRCODEC* c = Started(g_CompressStyle);
    if (!c) return 1;
    if (c->reset) c->reset();
    return 0;
}

LOBBEX_API int KrCompressSpeech(void* out, const void* in) {
    KrSpeechLockGuard hold;
    int coded = 0;
    return KrCompressFrame(out, in, &coded);
}

LOBBEX_API int KrDecompressSpeech(void* out, const void* in) {
    KrSpeechLockGuard hold;
    int decoded = 0;
    return KrDecompressFrame(out, in, KrCodecParameter(g_DecompressStyle, KRCODEC_CODED_FRAME), &decoded);
}

LOBBEX_API int KrGetCodecParameters(int style, int32_t* p1, int32_t* p2, int32_t* p3, int32_t* p4, int32_t* p5) {
    if (style < 0 || style >= KRCODEC_STYLES) return -1;
    KrSpeechLockGuard hold;
    int32_t* out[5] = {p1, p2, p3, p4, p5};
    for (int i = 0; i < 5; ++i)
        if (out[i]) *out[i] = g_Codecs[style].parameters[i];
    return 0;
}
