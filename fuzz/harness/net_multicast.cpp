// Multicast header packings: the input's first byte says, bit by bit, whether each packed value
// that follows is a 31-bit number or a KRADDR, and the second byte is the capacity of the checked
// destination list (1..39). Every value that unpacks is packed again and must unpack to the same
// value; the addresses then go through the destination list check and its walk, whose answer
// must stay within the capacity, sorted and without duplicates.
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "krerrno.h"
#include "krnetdb.h"

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
void Visit(KRADDR, uintptr_t argument) { ++*reinterpret_cast<uint32_t*>(argument); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (KrErrorInit(), true);
    (void)ready;
    fz::Input in{data, size};
    const uint8_t kinds = in.U8();
    const uint32_t capacity = in.U8() % 40;
    std::vector<KRADDR> addresses;
    for (int n = 0; in.size > 0 && n < 256; ++n) {
        // Exactly the bytes left, so a read past them is reported.
        const std::vector<uint8_t> rest(in.data, in.data + in.size);
        uint8_t packed[4];
        uint32_t used = 0;
        if (kinds >> (n % 8) & 1) {
            KRADDR a = 0;
            used = KrAddrUnpack(rest.data(), uint32_t(rest.size()), &a);
            if (used == 0) break;
            Check(used <= rest.size());
            const uint32_t again = KrAddrPack(a, packed);
            KRADDR back = 0;
            Check(again > 0 && KrAddrUnpack(packed, again, &back) == again && back == a);
            addresses.push_back(a);
        } else {
            uint32_t v = 0;
            used = Kr31Unpack(rest.data(), uint32_t(rest.size()), &v);
            if (used == 0) break;
            Check(used <= rest.size());
            const uint32_t again = Kr31Pack(v, packed);
            uint32_t back = 0;
            if (again == 0) continue;  // a 4-byte field may hold a value beyond 31 bits
            Check(Kr31Unpack(packed, again, &back) == again && back == v);
        }
        in.data += used;
        in.size -= used;
    }
    // The check's callers give a list and room for at least one address.
    if (!addresses.empty() && capacity > 0) {
        std::vector<KRADDR> out(capacity + 1, KRADDR_NONE);
        uint32_t count = capacity;
        KrAddrExprEvaluate(addresses.data(), uint32_t(addresses.size()), out.data(), &count);
        Check(count <= capacity && out[capacity] == KRADDR_NONE);
        for (uint32_t i = 1; i < count; ++i) Check(out[i - 1] < out[i]);
    }
    uint32_t visited = 0;
    KrAddrListForEach(addresses.data(), uint32_t(addresses.size()), Visit, reinterpret_cast<uintptr_t>(&visited));
    return 0;
}
