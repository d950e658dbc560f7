// XDR routines of the protocol records that no part of the client uses (see krxdrmisc.h).
#include "krxdr.h"
#include "krxdrmisc.h"

namespace {

int U32(XDR* xdrs, uint32_t* v) { return krxdr_u_long(xdrs, v); }

}  // namespace

int xdr_KRINT_LIST_RECORD(XDR* xdrs, KRINT_LIST_RECORD* r) {
    return U32(xdrs, &r->word) && KrXdrArray(xdrs, reinterpret_cast<char**>(&r->values), &r->count, 500,
                                             sizeof(int32_t), KRXDR_CAST(krxdr_int));
}

int xdr_KRNAMED_ADDR(XDR* xdrs, KRNAMED_ADDR* r) {
    return U32(xdrs, &r->word) && xdr_KRPLAYER_NAME(xdrs, &r->name) && xdr_KRADDR(xdrs, &r->address);
}

int xdr_KRADDR_RECORD(XDR* xdrs, KRADDR_RECORD* r) {
    return U32(xdrs, &r->word1) && U32(xdrs, &r->word2) && xdr_KRADDR(xdrs, &r->address) &&
           xdr_KRTLADDR(xdrs, &r->tlAddress);
}

int xdr_KRADDR_SERVER_PAIR(XDR* xdrs, KRADDR_SERVER_PAIR* r) {
    return xdr_pointer(xdrs, reinterpret_cast<char**>(&r->record), sizeof(KRADDR_RECORD),
                       KRXDR_CAST(xdr_KRADDR_RECORD)) &&
           xdr_pointer(xdrs, reinterpret_cast<char**>(&r->server), sizeof(KRSERVER_INFO),
                       KRXDR_CAST(xdr_KRSERVER_INFO));
}

int xdr_KRBLOB(XDR* xdrs, KRBLOB* r) { return krxdr_bytes(xdrs, &r->data, &r->length, KR_BLOB_MAX); }

int xdr_KRNAMED_BLOB(XDR* xdrs, KRNAMED_BLOB* r) {
    return xdr_KRSERVER_NAME(xdrs, &r->name) && krxdr_bytes(xdrs, &r->data, &r->length, KR_BLOB_MAX);
}

int xdr_KRATTRIBUTE(XDR* xdrs, KRATTRIBUTE* r) {
    if (!krxdr_enum(xdrs, &r->kind)) return 0;
    switch (r->kind) {
    case 0:
    case 2:
    case 3:
    case 6:
    case 9:
    case 10:
        return krxdr_bool(xdrs, &r->flag);
    case 1:
    case 7:
        return U32(xdrs, &r->number);
    case 4:
        return xdr_KRNUMBER_LIST(xdrs, &r->numbers);
    case 5:
        return krxdr_enum(xdrs, &r->group.kind) && xdr_KRTLADDR_ARRAY(xdrs, &r->group.addresses) &&
               xdr_KRBLOB(xdrs, &r->group.blob);
    case 8:
        return xdr_KRSERVER_NAME(xdrs, &r->namedGroup.name) && krxdr_enum(xdrs, &r->namedGroup.kind) &&
               xdr_KRTLADDR_ARRAY(xdrs, &r->namedGroup.addresses) && xdr_KRBLOB(xdrs, &r->namedGroup.blob);
    default:
        return xdrs->x_op == XDR_FREE ? 1 : 0;
    }
}

int xdr_KRATTRIBUTED_RECORD(XDR* xdrs, KRATTRIBUTED_RECORD* r) {
    return U32(xdrs, &r->word1) && xdr_KRSERVER_NAME(xdrs, &r->name) && xdr_IDEAkey(xdrs, r->key) &&
           U32(xdrs, &r->word2) && xdr_KRTLADDR(xdrs, &r->first) && xdr_KRTLADDR(xdrs, &r->second) &&
           xdr_KRTLADDR_ARRAY(xdrs, &r->addresses) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->attributes), &r->attributeCount, 200, sizeof(KRATTRIBUTE),
                      KRXDR_CAST(xdr_KRATTRIBUTE));
}

int xdr_KRTLADDR_PAIR_RECORD(XDR* xdrs, KRTLADDR_PAIR_RECORD* r) {
    return U32(xdrs, &r->word1) && U32(xdrs, &r->word2) && xdr_KRTLADDR(xdrs, &r->first) &&
           xdr_KRTLADDR(xdrs, &r->second);
}

int xdr_KRNAMED_NUMBER(XDR* xdrs, KRNAMED_NUMBER* r) {
    return xdr_KRSERVER_NAME(xdrs, &r->name) && U32(xdrs, &r->number);
}

int xdr_KRNAMED_NUMBER_LIST(XDR* xdrs, KRNAMED_NUMBER_LIST* r) {
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&r->items), &r->count, 1000, sizeof(KRNAMED_NUMBER),
                      KRXDR_CAST(xdr_KRNAMED_NUMBER));
}

int xdr_KRU32_TRIPLE(XDR* xdrs, KRU32_TRIPLE* r) {
    return U32(xdrs, &r->words[0]) && U32(xdrs, &r->words[1]) && U32(xdrs, &r->words[2]);
}

int xdr_KRTLADDR_NAMES(XDR* xdrs, KRTLADDR_NAMES* r) {
    return xdr_KRTLADDR(xdrs, &r->address) && xdr_KRNAMED_NUMBER_LIST(xdrs, &r->names);
}

int xdr_KRTLADDR_NAMES_LIST(XDR* xdrs, KRTLADDR_NAMES_LIST* r) {
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&r->items), &r->count, 200, sizeof(KRTLADDR_NAMES),
                      KRXDR_CAST(xdr_KRTLADDR_NAMES));
}

int xdr_KRU32_QUAD(XDR* xdrs, KRU32_QUAD* r) {
    return U32(xdrs, &r->words[0]) && U32(xdrs, &r->words[1]) && U32(xdrs, &r->words[2]) &&
           U32(xdrs, &r->words[3]);
}
