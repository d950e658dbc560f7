// The message buffer: a caller-registered block of 2048 bytes into which Announcement appends
// texts (the audio library routes its fatal messages here). Consecutive messages form one
// string; a message that would run past the end is moved back so that it fits.
#include <cstdio>
#include <cstring>

#include "vidvex.h"

namespace {
constexpr size_t kBufferBytes = 2048;
// Longest text kept from one message: with the move-back rule (write position at most
// start + 2048 - 2L) a text of up to 1023 bytes always lands inside the buffer.
constexpr size_t kMaxMessage = 1023;

char* g_annStart = nullptr;
char* g_annPos = nullptr;
}  // namespace

extern "C" char* ErrorBuffer(char* buffer) {
    g_annStart = buffer;
    g_annPos = buffer;
    return buffer;
}

extern "C" int Announcement(const char* text) {
    if (!text) return 0;
    size_t len = std::strlen(text);
    if (len > kMaxMessage) len = kMaxMessage;
    if (!g_annStart) {
        // No buffer registered: the text is dropped.
#ifndef NDEBUG
        std::fprintf(stderr, "vidvex: message without a buffer: %.*s\n", int(len), text);
#endif
        return int(len);
    }
    size_t used = size_t(g_annPos - g_annStart);
    if (used + 2 * len > kBufferBytes) g_annPos = g_annStart + (kBufferBytes - 2 * len);
    std::memcpy(g_annPos, text, len);
    g_annPos[len] = '\0';
    g_annPos += len;
    return int(len);
}

extern "C" void AnnDone(void) {}
