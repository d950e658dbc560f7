// The compact packings of multicast headers: 31-bit numbers in 1, 2 or 4 bytes, KRADDR values
// in 1, 2 or 4 bytes (big-endian words with tag bits in front), and the check of a destination
// list. Unpacking never reads beyond the bytes it is given.
#include <algorithm>
#include <cstdio>

#include "krerrno.h"
#include "krlog.h"
#include "krnetdb.h"

namespace {

constexpr char kKrModule[] = "krnetdb";

constexpr uint32_t kBit31 = 0x80000000u;
constexpr uint32_t kBit30 = 0x40000000u;
constexpr uint32_t kBit29 = 0x20000000u;

void PutBig16(uint8_t* out, uint32_t v) {
    out[0] = (uint8_t)(v >> 8);
    out[1] = (uint8_t)v;
}

void PutBig32(uint8_t* out, uint32_t v) {
    out[0] = (uint8_t)(v >> 24);
    out[1] = (uint8_t)(v >> 16);
    out[2] = (uint8_t)(v >> 8);
    out[3] = (uint8_t)v;
}

uint32_t Big16(const uint8_t* in) {
    return (uint32_t)in[0] << 8 | in[1];
}

uint32_t Big32(const uint8_t* in) {
    return (uint32_t)in[0] << 24 | (uint32_t)in[1] << 16 | (uint32_t)in[2] << 8 | in[3];
}

// Fewer bytes than the packed form needs.
uint32_t Short(uint32_t* value, uint32_t none) {
    KrErrorSet(KRERR_BAD_DATA);
    if (value) *value = none;
    return 0;
}

bool IsPureMulticast(KRADDR a) {
    return (a & kBit30) && (a & kBit29);
}

bool IsInterior(KRADDR a) {
    return (a & kBit30) && !(a & kBit29);
}

}  // namespace

uint32_t Kr31Pack(uint32_t value, uint8_t* out) {
    if (value & kBit31) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "Kr31Pack: Value 0x%08x does not fit in 31 bits.", value);
        return 0;
    }
    if (value < 64) {
        out[0] = (uint8_t)(0xC0 | value);
        return 1;
    }
    if (value < 16384) {
        PutBig16(out, 0x8000 | value);
        return 2;
    }
    PutBig32(out, value);
    return 4;
}

uint32_t Kr31Unpack(const uint8_t* in, uint32_t length, uint32_t* value) {
    if (!in || length < 1) return Short(value, 0);
    const uint8_t first = in[0];
    if ((first & 0xC0) == 0xC0) {
        *value = first & 0x3F;
        return 1;
    }
    if ((first & 0xC0) == 0x80) {
        if (length < 2) return Short(value, 0);
        *value = Big16(in) & 0x3FFF;
        return 2;
    }
    if (length < 4) return Short(value, 0);
    *value = Big32(in);
    return 4;
}

uint32_t KrAddrPack(KRADDR value, uint8_t* out) {
    KR_PRECONDITION(!(value & kBit31));
    if (value & kBit31) return 0; // would unpack as another address
    if (!(value & kBit30)) {
        if (value < 32) {
            out[0] = (uint8_t)(0x80 | value);
            return 1;
        }
        if (value < 2048) {
            PutBig16(out, 0xC000 | value);
            return 2;
        }
    } else {
        const uint32_t b29 = (value & kBit29) ? 1 : 0;
        const uint32_t low = value & (kBit29 - 1);
        if (low < 16) {
            out[0] = (uint8_t)(0xA0 | b29 << 4 | low);
            return 1;
        }
        if (low < 2048) {
            PutBig16(out, 0xD000 | b29 << 11 | low);
            return 2;
        }
    }
    PutBig32(out, value);
    return 4;
}

uint32_t KrAddrUnpack(const uint8_t* in, uint32_t length, KRADDR* value) {
    if (!in || length < 1) return Short(value, KRADDR_NONE);
    const uint8_t first = in[0];
    if (!(first & 0x80)) {
        if (length < 4) return Short(value, KRADDR_NONE);
        *value = Big32(in);
        return 4;
    }
    if ((first & 0xC0) == 0x80) {
        if (first & 0x20)
            *value = kBit30 | (uint32_t)((first >> 4) & 1) << 29 | (first & 0x0F);
        else
            *value = first & 0x1F;
        return 1;
    }
    if ((first & 0xE0) == 0xC0) {
        if (length < 2) return Short(value, KRADDR_NONE);
        const uint32_t word = Big16(in);
        if (word & 0x1000)
            *value = kBit30 | ((word >> 11) & 1) << 29 | (word & 0x7FF);
        else
            *value = word & 0xFFF;
        return 2;
    }
    // 111xxxxx is no packed address: callers stop parsing their list here.
    uint32_t packed = 0;
    for (uint32_t i = 0; i < 4; ++i) packed = packed << 8 | (i < length ? in[i] : 0);
    KrErrorSet(KRERR_BAD_DATA);
    KR_LOG(KrCrit, "KrAddrUnpack: Illegal packed address 0x%08x", packed);
    *value = KRADDR_NONE;
    return 0;
}

uint32_t KrAddrExprEvaluate(const KRADDR* list, uint32_t count, KRADDR* out, uint32_t* outCount) {
    KR_PRECONDITION(list && out && outCount && *outCount != 0);
    if (!list || !out || !outCount || *outCount == 0) return 1;
    const uint32_t capacity = *outCount;
    uint32_t taken = 0;
    uint32_t result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const KRADDR a = list[i];
        if (IsPureMulticast(a)) {
            KrErrorSet(KRERR_MULTICAST);
            KR_LOG(KrWarning, "KrAddrExprEvaluate: Pure multicast addresses not supported; 0x%08x.", a);
            result = 1;
            break;
        }
        if (IsInterior(a)) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrWarning, "KrAddrExprEvaluate: Invalid unicast message to interior address; 0x%08x.", a);
            result = 1;
            break;
        }
        if (std::find(out, out + taken, a) != out + taken) {
            KR_LOG(KrWarning, "KrAddrExprEvaluatte: Redundant address 0x%08x %x", a, count);
            continue;
        }
        if (taken == capacity) { // the output would overflow: stop as for a bad address
            KrErrorSet(KRERR_PARAM);
            result = 1;
            break;
        }
        out[taken++] = a;
    }
    std::sort(out, out + taken);
    *outCount = taken;
    return result;
}

uint32_t KrAddrListForEach(const KRADDR* list, uint32_t count, KRADDR_VISIT visit, uintptr_t argument) {
    if (!list || !visit) return 0;
    for (uint32_t i = 0; i < count; ++i) visit(list[i], argument);
    return count;
}
