// libvox.so: the VoxWare stand-in (include/speech_codecs.h), a stream coder of 720-sample frames
// into at most 255 bytes each. One compressor and one decompressor per process, each holding the
// frame written to it until it is read.
#include <cstdint>
#include <cstring>
#include <mutex>

#include "block_coder.h"
#include "speech_codecs.h"

#define VOX_API extern "C" __attribute__((visibility("default")))

namespace {
constexpr int kRawBytes = 1440;
constexpr int kMaxCoded = 255;
constexpr int kMaxPairs = (kMaxCoded - 5) / 3;
enum : int { kOk = 0, kNotOpen = 1, kBadArgument = 2, kNothingWritten = 3, kBadFrame = 4 };

struct Stream {
    bool open = false;
    int held = 0;             // bytes written and not yet read
    uint8_t frame[kRawBytes]; // a raw frame (compressor) or a coded one (decompressor)
};
std::mutex g_Lock;
Stream g_Cmp, g_Dcmp;

int Open(Stream& s, const int32_t* parameters) {
    if (!parameters || parameters[0] != 2) return kBadArgument;
    std::lock_guard<std::mutex> hold(g_Lock);
    s.open = true;
    s.held = 0;
    return kOk;
}

int Close(Stream& s) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (!s.open) return kNotOpen;
    s.open = false;
    s.held = 0;
    return kOk;
}
}  // namespace

VOX_API int cmpOpen(const int32_t* parameters) {
    return Open(g_Cmp, parameters);
}

VOX_API int cmpClose(void) {
    return Close(g_Cmp);
}

VOX_API int cmpWrite(const void* data, int bytes) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (!g_Cmp.open) return kNotOpen;
    if (!data || bytes != kRawBytes) return kBadArgument;
    std::memcpy(g_Cmp.frame, data, kRawBytes);
    g_Cmp.held = kRawBytes;
    return kOk;
}

VOX_API int cmpRead(void* data, int room, int* bytes) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (bytes) *bytes = 0;
    if (!g_Cmp.open) return kNotOpen;
    if (!data || !bytes || room < kMaxCoded) return kBadArgument;
    if (g_Cmp.held != kRawBytes) return kNothingWritten;
    *bytes = block_coder::EncodeVariable(g_Cmp.frame, kRawBytes / 2, static_cast<uint8_t*>(data), kMaxPairs);
    g_Cmp.held = 0;
    return kOk;
}

VOX_API int dcmpOpen(const int32_t* parameters) {
    return Open(g_Dcmp, parameters);
}

VOX_API int dcmpClose(void) {
    return Close(g_Dcmp);
}

VOX_API int dcmpWrite(const void* data, int bytes) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (!g_Dcmp.open) return kNotOpen;
    if (!data || bytes < 1 || bytes > kMaxCoded) return kBadArgument;
    std::memcpy(g_Dcmp.frame, data, (size_t)bytes);
    g_Dcmp.held = bytes;
    return kOk;
}

VOX_API int dcmpRead(void* data, int room, int* bytes) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (bytes) *bytes = 0;
    if (!g_Dcmp.open) return kNotOpen;
    if (!data || !bytes || room < kRawBytes) return kBadArgument;
    if (!g_Dcmp.held) return kNothingWritten;
    const bool ok = block_coder::DecodeVariable(g_Dcmp.frame, g_Dcmp.held, kRawBytes / 2, static_cast<uint8_t*>(data));
    g_Dcmp.held = 0;
    if (!ok) return kBadFrame;
    *bytes = kRawBytes;
    return kOk;
}
