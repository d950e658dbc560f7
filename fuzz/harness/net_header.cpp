// Packet headers: the input's first byte is the header's first byte and says how long its parts
// are; the plain-text part is unpacked alone, with the code, and with a separate cipher-text part
// (each from a buffer of exactly the bytes the form needs, so a read past them is reported). A
// header that unpacks is packed again for each cipher block size and must unpack to the same.
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "krhdr.h"

namespace {
bool Same(const KRHDR& a, const KRHDR& b) {
    return a.kind == b.kind && a.id == b.id && a.length == b.length && a.sequence == b.sequence && a.flag == b.flag &&
           a.code == b.code;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int total = KrHdrPackedLen(data[0]);
    const int plain = KrPTHdrPackedLen(data[0]);
    const int cipher = KrCTHdrPackedLen(data[0]);
    if (total < 0 || plain < 0 || cipher < 0) return 0;
    if (plain + cipher != total || total > int(KRHDR_MAX_LEN)) std::abort();
    if (size < size_t(total)) return 0;
    const std::vector<uint8_t> pt(data, data + plain);
    const std::vector<uint8_t> whole(data, data + total);
    const std::vector<uint8_t> ct(data + plain, data + total);
    KRHDR a{}, b{}, c{};
    KrHdrUnpackPT(pt.data(), &a);
    KrHdrPadLen(pt.data());
    const int withCode = KrHdrUnpack(whole.data(), &b, 1);
    KrHdrUnpackPTCT(pt.data(), ct.data(), &c);
    if (withCode == 0) {
        for (uint32_t block : {1u, 8u}) {
            uint8_t packed[KRHDR_MAX_LEN] = {};
            uint32_t pad = 0;
            KRHDR h = b;
            const uint32_t n = KrHdrPack(&h, packed, block, &pad);
            if (n == 0) continue;
            KRHDR back{};
            if (KrHdrUnpack(packed, &back, 1) != 0 || !Same(back, h)) std::abort();
        }
    }
    KrInCksum(data, uint32_t(size));
    return 0;
}
