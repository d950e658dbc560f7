// Small exported utilities: the bounded string copy, the white-space trimmers, and the exports
// kept for callers of an earlier IPX transport (which do nothing).
#include <cctype>
#include <cstring>

#include "krlog.h"

LOBBEX_API char* strmcpy(char* destination, const char* source, int n) {
    // At most n characters, then always a terminator: the destination needs n+1 bytes. A
    // negative count (a zero-sized buffer's size-1) copies and writes nothing.
    if (!destination || n < 0) return destination;
    int i = 0;
    if (source) {
        for (; i < n && source[i]; ++i) destination[i] = source[i];
    }
    destination[i] = 0;
    return destination;
}

LOBBEX_API char* KrStrTrimLeft(char* text) {
    if (!text) return text;
    size_t skip = 0;
    while (text[skip] && std::isspace((unsigned char)text[skip])) ++skip;
    if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
    return text;
}

LOBBEX_API char* KrStrTrimRight(char* text) {
    if (!text) return text;
    size_t n = std::strlen(text);
    while (n > 0 && std::isspace((unsigned char)text[n - 1])) text[--n] = 0;
    return text;
}

LOBBEX_API char* KrStrTrim(char* text) {
    return KrStrTrimLeft(KrStrTrimRight(text));
}

LOBBEX_API void KrIPX_DoPeriodicUpdate(void) {}

LOBBEX_API int16_t KrIPX_GetMachineInfo(void) {
    return -1;
}

LOBBEX_API int16_t KrIPX_GetNumberRemoteMachine(void) {
    return -1;
}

LOBBEX_API int16_t KrIPX_GetLocalAdr(void) {
    return -1;
}
