// The growable encode stream (xdrdmem_create): every request message is encoded into it without
// knowing its size first. It starts on the caller's buffer (or none) and, when a write does not
// fit, moves to a buffer of its own, grown by what the write needs plus 512 bytes of slack. For
// decoding and freeing, xdrdmem_create makes libtirpc's fixed memory stream.
#include <cstdlib>
#include <cstring>

#include "krxdr.h"

namespace {

// The private record of a growable stream. x_base holds the buffer's start, x_handy the room
// left.
struct KrDmem {
    char* cursor;
    int owned; // 1 once the stream allocated its own buffer
    u_int capacity;
};

KrDmem* Private(XDR* xdrs) { return static_cast<KrDmem*>(xdrs->x_private); }

bool_t DmemGetLong(XDR*, long*) { return FALSE; }
bool_t DmemGetBytes(XDR*, char*, u_int) { return FALSE; }
bool_t DmemControl(XDR*, int, void*) { return FALSE; }

bool_t DmemPutBytes(XDR* xdrs, const char* bytes, u_int length) {
    KrDmem* dmem = Private(xdrs);
    if (length > xdrs->x_handy) {
        // Grow. Nothing changes until the new buffer is in hand.
        const uint64_t capacity = (uint64_t)dmem->capacity + length + KR_XDRDMEM_SLACK;
        if (capacity > 0xFFFFFFFFu) return FALSE;
        const size_t offset = (size_t)(dmem->cursor - xdrs->x_base);
        char* grown;
        if (dmem->owned) {
            grown = static_cast<char*>(realloc(xdrs->x_base, capacity));
        } else {
            grown = static_cast<char*>(malloc(capacity));
            if (grown && xdrs->x_base && dmem->capacity) memcpy(grown, xdrs->x_base, dmem->capacity);
        }
        if (!grown) return FALSE;
        memset(grown + dmem->capacity, 0, capacity - dmem->capacity);
        xdrs->x_base = grown;
        dmem->cursor = grown + offset;
        dmem->owned = 1;
        dmem->capacity = (u_int)capacity;
        xdrs->x_handy = KR_XDRDMEM_SLACK;
    } else {
        xdrs->x_handy -= length;
    }
    if (length) memcpy(dmem->cursor, bytes, length);
    dmem->cursor += length;
    return TRUE;
}

bool_t DmemPutLong(XDR* xdrs, const long* value) {
    const uint32_t unit = (uint32_t)*value;
    const char bytes[4] = {(char)(unit >> 24), (char)(unit >> 16), (char)(unit >> 8), (char)unit};
    return DmemPutBytes(xdrs, bytes, 4);
}

u_int DmemGetPosition(XDR* xdrs) { return (u_int)(Private(xdrs)->cursor - xdrs->x_base); }

bool_t DmemSetPosition(XDR* xdrs, u_int position) {
    KrDmem* dmem = Private(xdrs);
    const uint64_t current = (uint64_t)(dmem->cursor - xdrs->x_base);
    if ((uint64_t)position > current + xdrs->x_handy) return FALSE;
    xdrs->x_handy = (u_int)(current + xdrs->x_handy - position);
    dmem->cursor = xdrs->x_base + position;
    return TRUE;
}

int32_t* DmemInline(XDR* xdrs, u_int length) {
    // Never grows: the caller codes unit by unit instead.
    if (xdrs->x_handy < length) return nullptr;
    KrDmem* dmem = Private(xdrs);
    char* at = dmem->cursor;
    dmem->cursor += length;
    xdrs->x_handy -= length;
    return reinterpret_cast<int32_t*>(at);
}

void DmemDestroy(XDR* xdrs) {
    KrDmem* dmem = Private(xdrs);
    if (!dmem) return;
    if (dmem->owned) free(xdrs->x_base);
    free(dmem);
    xdrs->x_private = nullptr;
    xdrs->x_base = nullptr;
    xdrs->x_handy = 0;
}

const XDR::xdr_ops g_DmemOps = {DmemGetLong,      DmemPutLong,     DmemGetBytes, DmemPutBytes, DmemGetPosition,
                                DmemSetPosition,  DmemInline,      DmemDestroy,  DmemControl};

}  // namespace

LOBBEX_API int xdrdmem_create(XDR* xdrs, char* buffer, unsigned size, int operation) {
    if (operation != XDR_ENCODE) {
        xdrmem_create(xdrs, buffer, size, (enum xdr_op)operation);
        return 1;
    }
    KrDmem* dmem = static_cast<KrDmem*>(calloc(1, sizeof(KrDmem)));
    if (!dmem) return 0;
    dmem->cursor = buffer;
    dmem->owned = 0;
    dmem->capacity = buffer ? size : 0;
    xdrs->x_op = XDR_ENCODE;
    xdrs->x_ops = &g_DmemOps;
    xdrs->x_public = nullptr;
    xdrs->x_private = dmem;
    xdrs->x_base = buffer;
    xdrs->x_handy = dmem->capacity;
    return 1;
}

LOBBEX_API int xdrdmem_takebuf(XDR* xdrs, char** buffer, unsigned* capacity) {
    *buffer = nullptr;
    *capacity = 0;
    if (xdrs->x_ops != &g_DmemOps) return 0;
    KrDmem* dmem = Private(xdrs);
    if (!dmem || !dmem->owned) return 0;
    *buffer = xdrs->x_base;
    *capacity = dmem->capacity;
    // The stream forgets the buffer: it is empty and can only grow afresh.
    xdrs->x_base = nullptr;
    xdrs->x_handy = 0;
    dmem->cursor = nullptr;
    dmem->owned = 0;
    dmem->capacity = 0;
    return 1;
}

uint32_t KrXdrDmemCapacity(XDR* xdrs) {
    return xdrs->x_ops == &g_DmemOps && Private(xdrs) ? Private(xdrs)->capacity : 0;
}

int KrXdrDmemOwned(XDR* xdrs) { return xdrs->x_ops == &g_DmemOps && Private(xdrs) ? Private(xdrs)->owned : 0; }
