// The library's XDR primitives (see krxdr.h): 32-bit units through the stream's get and put
// long, opaque data padded with zeros to whole units, counted bytes and strings, unions, and the
// free and size operations. Every length read from the wire is checked against the bytes left in
// the decode stream before memory is allocated for it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "krlog.h"
#include "krxdr.h"

namespace {

constexpr char kKrModule[] = "xdr";
constexpr uint32_t kNullString = 0xFFFFFFFF;

int PutUnit(XDR* xdrs, uint32_t value) {
    long unit = (long)value;
    return XDR_PUTLONG(xdrs, &unit) ? 1 : 0;
}

int GetUnit(XDR* xdrs, uint32_t* value) {
    long unit = 0;
    if (!XDR_GETLONG(xdrs, &unit)) return 0;
    *value = (uint32_t)(unsigned long)unit; // only the low 32 bits came from the wire
    return 1;
}

// One unit each way; free mode succeeds without effect.
int Unit(XDR* xdrs, uint32_t* value) {
    switch (xdrs->x_op) {
    case XDR_ENCODE:
        return PutUnit(xdrs, *value);
    case XDR_DECODE:
        return GetUnit(xdrs, value);
    case XDR_FREE:
        return 1;
    }
    return 0;
}

// The operations of a stream that only frees: none of them may be reached.
bool_t FailGetLong(XDR*, long*) { return FALSE; }
bool_t FailPutLong(XDR*, const long*) { return FALSE; }
bool_t FailGetBytes(XDR*, char*, u_int) { return FALSE; }
bool_t FailPutBytes(XDR*, const char*, u_int) { return FALSE; }
u_int NoPosition(XDR*) { return 0; }
bool_t FailSetPosition(XDR*, u_int) { return FALSE; }
int32_t* NoInline(XDR*, u_int) { return nullptr; }
void NoDestroy(XDR*) {}
bool_t FailControl(XDR*, int, void*) { return FALSE; }
const XDR::xdr_ops g_FreeOps = {FailGetLong,    FailPutLong,     FailGetBytes, FailPutBytes, NoPosition,
                                FailSetPosition, NoInline,       NoDestroy,    FailControl};

// libtirpc gives a memory stream one of two operation tables, by the alignment of its buffer.
const XDR::xdr_ops* MemOps(bool aligned) {
    alignas(8) static char buffer[8];
    XDR probe;
    xdrmem_create(&probe, buffer + (aligned ? 0 : 1), 4, XDR_DECODE);
    return probe.x_ops;
}

}  // namespace

uint32_t KrXdrDecodeRoom(XDR* xdrs) {
    static const XDR::xdr_ops* const aligned = MemOps(true);
    static const XDR::xdr_ops* const unaligned = MemOps(false);
    if (xdrs->x_ops == aligned || xdrs->x_ops == unaligned) return xdrs->x_handy;
    return KR_XDR_UNKNOWN_STREAM_ROOM;
}

int KrXdrCall(xdrproc_t routine, XDR* xdrs, void* object) {
    return reinterpret_cast<KRXDR_PROC>(routine)(xdrs, object, 0xFFFFFFFF);
}

int krxdr_void(XDR*, void*) { return 1; }

int krxdr_u_long(XDR* xdrs, uint32_t* value) { return Unit(xdrs, value); }

int krxdr_long(XDR* xdrs, int32_t* value) {
    uint32_t unit = (uint32_t)*value;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = (int32_t)unit;
    return 1;
}

int krxdr_int(XDR* xdrs, int32_t* value) { return krxdr_long(xdrs, value); }
int krxdr_enum(XDR* xdrs, int32_t* value) { return krxdr_long(xdrs, value); }
int krxdr_u_int(XDR* xdrs, uint32_t* value) { return krxdr_u_long(xdrs, value); }

int krxdr_short(XDR* xdrs, int16_t* value) {
    uint32_t unit = (uint32_t)(int32_t)*value;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = (int16_t)(uint16_t)unit;
    return 1;
}

int krxdr_u_short(XDR* xdrs, uint16_t* value) {
    uint32_t unit = *value;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = (uint16_t)unit;
    return 1;
}

int krxdr_char(XDR* xdrs, char* value) {
    uint32_t unit = (uint32_t)(int32_t)(signed char)*value;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = (char)(uint8_t)unit;
    return 1;
}

int krxdr_u_char(XDR* xdrs, uint8_t* value) {
    uint32_t unit = *value;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = (uint8_t)unit;
    return 1;
}

int krxdr_bool(XDR* xdrs, int32_t* value) {
    uint32_t unit = *value ? 1 : 0;
    if (!Unit(xdrs, &unit)) return 0;
    if (xdrs->x_op == XDR_DECODE) *value = unit ? 1 : 0;
    return 1;
}

int krxdr_opaque(XDR* xdrs, char* bytes, uint32_t count) {
    if (count == 0) return 1;
    static const char zeros[4] = {0, 0, 0, 0};
    const uint32_t pad = (4 - (count & 3)) & 3;
    switch (xdrs->x_op) {
    case XDR_DECODE: {
        if (!XDR_GETBYTES(xdrs, bytes, count)) return 0;
        char crud[4];
        return pad == 0 || XDR_GETBYTES(xdrs, crud, pad) ? 1 : 0; // the pad is not checked
    }
    case XDR_ENCODE:
        if (!XDR_PUTBYTES(xdrs, bytes, count)) return 0;
        return pad == 0 || XDR_PUTBYTES(xdrs, zeros, pad) ? 1 : 0;
    case XDR_FREE:
        return 1;
    }
    return 0;
}

int krxdr_bytes(XDR* xdrs, char** bytes, uint32_t* count, uint32_t maximum) {
    char* data = *bytes;
    if (!krxdr_u_int(xdrs, count)) return 0;
    const uint32_t length = *count;
    if (length > maximum && xdrs->x_op != XDR_FREE) return 0;
    switch (xdrs->x_op) {
    case XDR_DECODE: {
        if (length == 0) {
            if (data) {
                KR_LOG(KrWarning, "xdr_bytes: received null ptr, deleted ptr 0x%08" PRIxPTR " to real data",
                       (uintptr_t)data);
                *bytes = nullptr; // the memory stays the caller's
            }
            return 1;
        }
        if (length > KrXdrDecodeRoom(xdrs)) return 0;
        bool allocated = false;
        if (!data) {
            data = static_cast<char*>(calloc(length, 1));
            if (!data) {
                fprintf(stderr, "xdr_bytes: out of memory\n");
                return 0;
            }
            *bytes = data;
            allocated = true;
        }
        if (krxdr_opaque(xdrs, data, length)) return 1;
        if (allocated) {
            free(data);
            *bytes = nullptr;
        }
        return 0;
    }
    case XDR_ENCODE:
        if (!data && length != 0) return 0;
        return krxdr_opaque(xdrs, data, length);
    case XDR_FREE:
        if (data) {
            free(data);
            *bytes = nullptr;
        }
        return 1;
    }
    return 0;
}

int krxdr_string(XDR* xdrs, char** text, uint32_t maximum) {
    char* string = *text;
    if (xdrs->x_op == XDR_FREE && !string) return 1;
    uint32_t length = 0;
    if (xdrs->x_op != XDR_DECODE) length = string ? (uint32_t)strlen(string) : kNullString;
    if (!krxdr_u_int(xdrs, &length)) return 0;
    // A string that is only being freed is released whatever its length.
    if (length > maximum && length != kNullString && xdrs->x_op != XDR_FREE) return 0;
    switch (xdrs->x_op) {
    case XDR_DECODE: {
        if (length == kNullString) {
            if (string) string[0] = '\0';
            return 1;
        }
        if (length > KrXdrDecodeRoom(xdrs)) return 0;
        bool allocated = false;
        if (!string) {
            string = static_cast<char*>(calloc((size_t)length + 1, 1));
            if (!string) {
                fprintf(stderr, "xdr_string: out of memory\n");
                return 0;
            }
            *text = string;
            allocated = true;
        }
        string[length] = '\0';
        if (krxdr_opaque(xdrs, string, length)) return 1;
        if (allocated) {
            free(string);
            *text = nullptr;
        }
        return 0;
    }
    case XDR_ENCODE:
        return string ? krxdr_opaque(xdrs, string, length) : 1;
    case XDR_FREE:
        free(string);
        *text = nullptr;
        return 1;
    }
    return 0;
}

int krxdr_wrapstring(XDR* xdrs, char** text) {
    if (xdrs->x_op != XDR_DECODE) return krxdr_string(xdrs, text, 0xFFFFFFFF);
    // With no bound, a caller's buffer could be overrun: decoding always allocates.
    char* fresh = nullptr;
    if (!krxdr_string(xdrs, &fresh, 0xFFFFFFFF)) return 0;
    *text = fresh;
    return 1;
}

int krxdr_union(XDR* xdrs, int32_t* discriminant, char* unionPointer, const struct xdr_discrim* choices,
                xdrproc_t defaultRoutine) {
    if (!krxdr_enum(xdrs, discriminant)) return 0;
    for (; choices && choices->proc; ++choices) {
        if (choices->value == *discriminant) return KrXdrCall(choices->proc, xdrs, unionPointer);
    }
    return defaultRoutine ? KrXdrCall(defaultRoutine, xdrs, unionPointer) : 0;
}

void krxdr_free(xdrproc_t routine, void* object) {
    XDR xdrs;
    memset(&xdrs, 0, sizeof xdrs);
    xdrs.x_op = XDR_FREE;
    xdrs.x_ops = &g_FreeOps;
    KrXdrCall(routine, &xdrs, object);
}

uint32_t krxdr_sizeof(xdrproc_t routine, void* object) {
    XDR xdrs;
    if (!xdrdmem_create(&xdrs, nullptr, 0, XDR_ENCODE)) return 0;
    const int ok = KrXdrCall(routine, &xdrs, object);
    const uint32_t size = ok ? XDR_GETPOS(&xdrs) : 0;
    XDR_DESTROY(&xdrs);
    return size;
}

int KrXdrArray(XDR* xdrs, char** elements, uint32_t* count, uint32_t maximum, uint32_t elementSize,
               xdrproc_t routine) {
    if (xdrs->x_op == XDR_DECODE) {
        // Look at the count first, so that a hostile one is refused before libtirpc allocates
        // count x element size bytes for it.
        const u_int start = XDR_GETPOS(xdrs);
        uint32_t wanted = 0;
        if (!GetUnit(xdrs, &wanted)) return 0;
        const uint32_t room = KrXdrDecodeRoom(xdrs);
        if (!XDR_SETPOS(xdrs, start)) return 0;
        if (wanted > maximum || wanted > room / 4) return 0;
    }
    return xdr_array(xdrs, elements, count, maximum, elementSize, routine) ? 1 : 0;
}

int KrXdrWords(XDR* xdrs, uint32_t* const* words, uint32_t count, uint32_t boolMask) {
    if (xdrs->x_op == XDR_FREE) return 1;
    auto isBool = [boolMask](uint32_t i) { return ((boolMask >> i) & 1) != 0; };
    int32_t* inlined = XDR_INLINE(xdrs, count * 4);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value = *words[i];
        if (xdrs->x_op == XDR_ENCODE && isBool(i)) value = value ? 1 : 0;
        if (inlined) {
            // The inline area need not be aligned: go byte by byte.
            uint8_t* bytes = reinterpret_cast<uint8_t*>(inlined) + 4 * i;
            if (xdrs->x_op == XDR_ENCODE) {
                bytes[0] = (uint8_t)(value >> 24);
                bytes[1] = (uint8_t)(value >> 16);
                bytes[2] = (uint8_t)(value >> 8);
                bytes[3] = (uint8_t)value;
            } else {
                value = (uint32_t)bytes[0] << 24 | (uint32_t)bytes[1] << 16 | (uint32_t)bytes[2] << 8 | bytes[3];
            }
        } else if (!Unit(xdrs, &value)) {
            return 0;
        }
        if (xdrs->x_op == XDR_DECODE) *words[i] = isBool(i) && value ? 1 : value;
    }
    return 1;
}
