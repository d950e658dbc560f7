// XDR records: the input's first byte picks a record family (every routine the library decodes
// messages with, the protocol's records and the primitives) and the rest is the encoded record,
// decoded from a stream over exactly those bytes into a zeroed record in a block of its own size.
// What a decode produced is encoded again and then released, as the library does with each
// message it receives; a partial decode is released too.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "encryption.h"
#include "fuzz_support.h"
#include "krxdr.h"
#include "krxdrmisc.h"
#include "krxdrtypes.h"
#include "lobbex_exports.h"

namespace {

using Run = int (*)(XDR*, void*);

// One family: its routine (of the plain shape, for krxdr_free too) and the record's size.
struct Family {
    Run routine;
    size_t size;
};

template <class T, int (*R)(XDR*, T*)>
constexpr Family Plain() {
    return {[](XDR* x, void* o) { return R(x, static_cast<T*>(o)); }, sizeof(T)};
}

// Routines with a bound or depth argument, given the values the library's callers use.
int NodeDeep(XDR* x, void* o) { return xdr_KRST_NODE(x, static_cast<KRST_NODE*>(o), 3, 3); }
int NodeFlat(XDR* x, void* o) { return xdr_KRST_NODE(x, static_cast<KRST_NODE*>(o), 0, 1); }
int NodeList(XDR* x, void* o) { return xdr_KRST_NODE_LIST(x, static_cast<KRST_NODE**>(o), 2, 2); }
int FixedString(XDR* x, void* o) { return xdr_fstring(x, static_cast<char*>(o), 15); }
int Bytes(XDR* x, void* o) {
    auto* r = static_cast<KRBLOB*>(o);
    return krxdr_bytes(x, reinterpret_cast<char**>(&r->data), &r->length, 300);
}
int BoundedString(XDR* x, void* o) { return krxdr_string(x, static_cast<char**>(o), 40); }
int Opaque(XDR* x, void* o) { return krxdr_opaque(x, static_cast<char*>(o), 13); }

const Family kFamilies[] = {
    Plain<KRGICS_CLIENT_JOIN_REQ, xdr_KRGICS_CLIENT_JOIN_REQ>(),
    Plain<KRGICS_CLIENT_JOIN_RESP, xdr_KRGICS_CLIENT_JOIN_RESP>(),
    Plain<KRGICS_CLIENT_ENUMERATE_REQ, xdr_KRGICS_CLIENT_ENUMERATE_REQ>(),
    Plain<KRGICS_CLIENT_INFO, xdr_KRGICS_CLIENT_INFO>(),
    Plain<KRGICS_CLIENT_ENUMERATE_RESP, xdr_KRGICS_CLIENT_ENUMERATE_RESP>(),
    Plain<KRGICS_GULP_ENUMERATE_REQ, xdr_KRGICS_GULP_ENUMERATE_REQ>(),
    Plain<KRGICS_GULP_STYLE, xdr_KRGICS_GULP_STYLE>(),
    Plain<KRGICS_GULP_INFO, xdr_KRGICS_GULP_INFO>(),
    Plain<KRGICS_GULP_ENUMERATE_RESP, xdr_KRGICS_GULP_ENUMERATE_RESP>(),
    Plain<KRGICS_SERVER_ENUMERATE_REQ, xdr_KRGICS_SERVER_ENUMERATE_REQ>(),
    Plain<KRSERVER_PAIR, xdr_KRSERVER_PAIR>(),
    Plain<KRSERVER_INFO, xdr_KRSERVER_INFO>(),
    Plain<KRGICS_SERVER_ENUMERATE_RESP, xdr_KRGICS_SERVER_ENUMERATE_RESP>(),
    Plain<KRST_HEADER, xdr_KRST_HEADER>(),
    Plain<KRST_DETAIL, xdr_KRST_DETAIL>(),
    {NodeDeep, sizeof(KRST_NODE)},
    {NodeFlat, sizeof(KRST_NODE)},
    {NodeList, sizeof(KRST_NODE*)},
    Plain<KRST_MESSAGE, xdr_KRST_MESSAGE>(),
    Plain<MCP_BILLING_PLAN, xdr_MCP_BILLING_PLAN>(),
    Plain<KRINT_LIST_RECORD, xdr_KRINT_LIST_RECORD>(),
    Plain<KRNAMED_ADDR, xdr_KRNAMED_ADDR>(),
    Plain<KRADDR_RECORD, xdr_KRADDR_RECORD>(),
    Plain<KRADDR_SERVER_PAIR, xdr_KRADDR_SERVER_PAIR>(),
    Plain<KRNAMED_BLOB, xdr_KRNAMED_BLOB>(),
    Plain<KRBLOB, xdr_KRBLOB>(),
    Plain<KRATTRIBUTE, xdr_KRATTRIBUTE>(),
    Plain<KRATTRIBUTED_RECORD, xdr_KRATTRIBUTED_RECORD>(),
    Plain<KRTLADDR_PAIR_RECORD, xdr_KRTLADDR_PAIR_RECORD>(),
    Plain<KRNAMED_NUMBER, xdr_KRNAMED_NUMBER>(),
    Plain<KRNAMED_NUMBER_LIST, xdr_KRNAMED_NUMBER_LIST>(),
    Plain<KRU32_TRIPLE, xdr_KRU32_TRIPLE>(),
    Plain<KRTLADDR_NAMES, xdr_KRTLADDR_NAMES>(),
    Plain<KRTLADDR_NAMES_LIST, xdr_KRTLADDR_NAMES_LIST>(),
    Plain<KRU32_QUAD, xdr_KRU32_QUAD>(),
    Plain<KRADDR, xdr_KRADDR>(),
    Plain<KRTLADDR, xdr_KRTLADDR>(),
    Plain<KRTLADDR, xdr_krtladdr>(),
    Plain<KRTLADDR_ARRAY, xdr_KRTLADDR_ARRAY>(),
    {FixedString, 16},
    Plain<char*, xdr_KRPLAYER_NAME>(),
    Plain<char*, xdr_KRGULP_NAME>(),
    Plain<char*, xdr_KRSERVER_NAME>(),
    Plain<KRNUMBER_LIST, xdr_KRNUMBER_LIST>(),
    {[](XDR* x, void* o) { return xdr_IDEAPlainKey(x, static_cast<uint16_t*>(o)); }, 8 * sizeof(uint16_t)},
    {[](XDR* x, void* o) { return xdr_IDEACipherKey(x, static_cast<uint8_t*>(o)); }, sizeof(IDEACipherKey)},
    {[](XDR* x, void* o) { return xdr_PADkey(x, static_cast<uint32_t*>(o)); }, 2 * sizeof(uint32_t)},
    {[](XDR* x, void* o) { return xdr_PADCipherKey(x, static_cast<uint8_t*>(o)); }, sizeof(PADCipherKey)},
    Plain<KRCRYPT_KEY, xdr_KRCRYPT_KEY>(),
    Plain<MCP_INFO_NAME, xdr_MCP_INFO_NAME>(),
    Plain<MCP_INFO_ADDRESS, xdr_MCP_INFO_ADDRESS>(),
    Plain<MCP_USER_CONTACT, xdr_MCP_USER_CONTACT>(),
    Plain<MCP_USER_BILLING, xdr_MCP_USER_BILLING>(),
    Plain<MCP_USER_OVERVIEW, xdr_MCP_USER_OVERVIEW>(),
    Plain<MCP_USER_USAGE, xdr_MCP_USER_USAGE>(),
    Plain<MCP_L_PLAYERS_INSTANCE_ELEMENT, xdr_MCP_L_PLAYERS_INSTANCE_ELEMENT>(),
    Plain<MCP_L_PLAYERS_INSTANCE_RESP, xdr_MCP_L_PLAYERS_INSTANCE_RESP>(),
    Plain<MCP_L_BILLING_PLANS_RESP, xdr_MCP_L_BILLING_PLANS_RESP>(),
    {Bytes, sizeof(KRBLOB)},
    {BoundedString, sizeof(char*)},
    Plain<char*, krxdr_wrapstring>(),
    {Opaque, 13},
    Plain<int32_t, krxdr_long>(),
    Plain<uint16_t, krxdr_u_short>(),
    Plain<int32_t, krxdr_bool>(),
};
constexpr size_t kFamilyCount = sizeof kFamilies / sizeof kFamilies[0];

// Runs the routine in free mode, as krxdr_free does for a plain routine.
void Release(const Family& f, void* object) {
    XDR x;
    std::memset(&x, 0, sizeof x);
    x.x_op = XDR_FREE;
    f.routine(&x, object);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const Family& f = kFamilies[data[0] % kFamilyCount];
    const std::vector<uint8_t> bytes(data + 1, data + size);
    std::unique_ptr<uint8_t[]> object(new uint8_t[f.size]());
    XDR in;
    xdrmem_create(&in, reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data())), u_int(bytes.size()), XDR_DECODE);
    const bool decoded = f.routine(&in, object.get()) != 0;
    if (decoded) {
        XDR out;
        xdrdmem_create(&out, nullptr, 0, XDR_ENCODE);
        f.routine(&out, object.get());
        XDR_DESTROY(&out);
    }
    Release(f, object.get());
    return 0;
}
