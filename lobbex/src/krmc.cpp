// Packing and unpacking of the multicast transmit and receive headers (see krmc.h). The readers
// check after every field that they are still below the plain size the first byte states and
// inside the bytes they were given; the writers refuse a header that would not be shorter than
// its plain form, so that everything they write can be read back.
#include "krmc.h"

#include <algorithm>

#include "krerrno.h"
#include "krlog.h"
#include "krnetdb.h"

namespace {

constexpr char kKrModule[] = "krmc";

uint8_t FirstByte(uint32_t plainSize) {
    return plainSize == KRMC_PLAIN_MAX ? 0 : (uint8_t)(plainSize / 4);
}

// A writer's cursor: stops as soon as a packing fails or the plain size is reached.
struct Writer {
    uint8_t* out;
    uint32_t pos;
    uint32_t limit;
    bool ok = true;
    void Num(uint32_t value) {
        if (!ok) return;
        const uint32_t n = Kr31Pack(value, out + pos);
        pos += n;
        ok = n != 0 && pos < limit;
    }
    void Addr(KRADDR value) {
        if (!ok) return;
        const uint32_t n = KrAddrPack(value, out + pos);
        pos += n;
        ok = n != 0 && pos < limit;
    }
};

// A reader's cursor over min(available, size) bytes; every field must end below the size.
struct Reader {
    const uint8_t* in;
    uint32_t pos;
    uint32_t end;  // bytes that may be read
    uint32_t size; // the stated plain size
    bool ok = true;
    void Num(uint32_t* value) {
        if (!ok) return;
        const uint32_t n = Kr31Unpack(in + pos, end - pos, value);
        pos += n;
        ok = n != 0 && pos < size;
    }
    void Addr(KRADDR* value) {
        if (!ok) return;
        const uint32_t n = KrAddrUnpack(in + pos, end - pos, value);
        pos += n;
        ok = n != 0 && pos < size;
    }
};

uint32_t Refused(const char* which) {
    KrErrorSet(KRERR_BAD_DATA);
    KR_LOG(KrLevelInfo, "%s: Uncompressed data longer than specified in header.", which);
    return 0;
}

}  // namespace

uint32_t KrMCHdrLen(const uint8_t* packed) {
    return packed[0] == 0 ? KRMC_PLAIN_MAX : 4u * packed[0];
}

uint32_t KrMCTxHdrPack(const KRMC_TXHDR* plain, uint8_t* out) {
    if (!plain || !out || plain->count > KRMC_TX_MAX) return 0;
    const uint32_t n = plain->count;
    const uint32_t size = 8 + 4 * n;
    out[0] = FirstByte(size);
    const KRADDR base = n ? *std::min_element(plain->dest, plain->dest + n) : KRADDR_NONE;
    Writer w{out, 1, size};
    w.Num(plain->length);
    w.Num(n);
    if (n) w.Addr(base);
    for (uint32_t i = 0; i < n && w.ok; ++i) w.Num(plain->dest[i] - base);
    return w.ok ? w.pos : 0;
}

uint32_t KrMCRxHdrPack(const KRMC_RXHDR* plain, uint8_t* out) {
    if (!plain || !out || plain->count > KRMC_RX_MAX) return 0;
    const uint32_t n = plain->count;
    const uint32_t size = 4 + 8 * n;
    out[0] = FirstByte(size);
    Writer w{out, 1, size};
    w.Num(n);
    if (n > 1) {
        KRADDR baseSender = plain->msg[0].sender;
        uint32_t baseLength = plain->msg[0].length;
        for (uint32_t i = 1; i < n; ++i) {
            baseSender = std::min(baseSender, plain->msg[i].sender);
            baseLength = std::min(baseLength, plain->msg[i].length);
        }
        w.Addr(baseSender);
        w.Num(baseLength);
        for (uint32_t i = 0; i < n && w.ok; ++i) {
            w.Num(plain->msg[i].sender - baseSender);
            w.Num(plain->msg[i].length - baseLength);
        }
    } else {
        w.Addr(n ? plain->msg[0].sender : 0);
        w.Num(n ? plain->msg[0].length : 0);
    }
    return w.ok ? w.pos : 0;
}

uint32_t KrMCTxHdrUnpack(const uint8_t* packed, uint32_t available, KRMC_TXHDR* plain) {
    constexpr char kWho[] = "KrMCTxHdrUnpack";
    if (!packed || !plain || available < 1) return Refused(kWho);
    const uint32_t size = KrMCHdrLen(packed);
    if (size < 8) return Refused(kWho);
    Reader r{packed, 1, std::min(available, size), size};
    r.Num(&plain->length);
    r.Num(&plain->count);
    if (!r.ok || plain->count > (size - 8) / 4) {
        plain->count = 0;
        return Refused(kWho);
    }
    if (plain->count) {
        KRADDR base = 0;
        r.Addr(&base);
        for (uint32_t i = 0; i < plain->count && r.ok; ++i) {
            uint32_t diff = 0;
            r.Num(&diff);
            plain->dest[i] = base + diff;
        }
    }
    if (!r.ok) {
        plain->count = 0;
        return Refused(kWho);
    }
    return r.pos;
}

uint32_t KrMCRxHdrUnpack(const uint8_t* packed, uint32_t available, KRMC_RXHDR* plain) {
    constexpr char kWho[] = "KrMCRxHdrUnpack";
    if (!packed || !plain || available < 1) return Refused(kWho);
    const uint32_t size = KrMCHdrLen(packed);
    Reader r{packed, 1, std::min(available, size), size};
    r.Num(&plain->count);
    if (!r.ok || plain->count > (size - 4) / 8) {
        plain->count = 0;
        return Refused(kWho);
    }
    const uint32_t n = plain->count;
    if (n > 1) {
        KRADDR baseSender = 0;
        uint32_t baseLength = 0;
        r.Addr(&baseSender);
        r.Num(&baseLength);
        for (uint32_t i = 0; i < n && r.ok; ++i) {
            uint32_t ds = 0, dl = 0;
            r.Num(&ds);
            r.Num(&dl);
            plain->msg[i] = {baseSender + ds, baseLength + dl};
        }
    } else {
        KRMC_RXPAIR pair{};
        r.Addr(&pair.sender);
        r.Num(&pair.length);
        if (n) plain->msg[0] = pair;
    }
    if (!r.ok) {
        plain->count = 0;
        return Refused(kWho);
    }
    return r.pos;
}
