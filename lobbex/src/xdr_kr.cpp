// XDR routines of the protocol's basic types and key records: addresses, transport addresses,
// names, number lists, fixed strings, IDEA and PAD keys and the key union KRCRYPT_KEY.
#include <cstring>

#include "encryption.h"
#include "krxdr.h"
#include "krxdrtypes.h"

namespace {

// The 14 bytes of a transport address after its family travel as the x86 image of its fields:
// the port and IPv4 address fields hold network-order values, so their bytes go as they are; the
// inner family of a family-4 address is a host-order number and goes little-endian.
void PutLE16(uint8_t* at, uint16_t v) {
    at[0] = (uint8_t)v;
    at[1] = (uint8_t)(v >> 8);
}
void PutLE32(uint8_t* at, uint32_t v) {
    PutLE16(at, (uint16_t)v);
    PutLE16(at + 2, (uint16_t)(v >> 16));
}
uint16_t LE16(const uint8_t* at) { return (uint16_t)(at[0] | at[1] << 8); }
uint32_t LE32(const uint8_t* at) { return LE16(at) | (uint32_t)LE16(at + 2) << 16; }

}  // namespace

LOBBEX_API int xdr_KRADDR(XDR* xdrs, KRADDR* address) { return krxdr_u_long(xdrs, address); }

LOBBEX_API int xdr_KRTLADDR(XDR* xdrs, KRTLADDR* address) {
    if (!krxdr_u_short(xdrs, &address->family)) return 0;
    uint8_t rest[14] = {};
    if (xdrs->x_op == XDR_ENCODE) {
        memcpy(rest, &address->port, 2);
        memcpy(rest + 2, &address->addr, 4);
        PutLE16(rest + 6, address->inner.family);
        memcpy(rest + 8, &address->inner.port, 2);
        memcpy(rest + 10, &address->inner.addr, 4);
    }
    if (!krxdr_opaque(xdrs, reinterpret_cast<char*>(rest), sizeof rest)) return 0;
    if (xdrs->x_op == XDR_DECODE) {
        memcpy(&address->port, rest, 2);
        memcpy(&address->addr, rest + 2, 4);
        address->inner.family = LE16(rest + 6);
        memcpy(&address->inner.port, rest + 8, 2);
        memcpy(&address->inner.addr, rest + 10, 4);
    }
    return 1;
}

LOBBEX_API int xdr_krtladdr(XDR* xdrs, KRTLADDR* address) { return xdr_KRTLADDR(xdrs, address); }

LOBBEX_API int xdr_KRTLADDR_ARRAY(XDR* xdrs, KRTLADDR_ARRAY* array) {
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&array->items), &array->count, KR_TLADDR_ARRAY_MAX,
                      sizeof(KRTLADDR), KRXDR_CAST(xdr_KRTLADDR));
}

LOBBEX_API int xdr_fstring(XDR* xdrs, char* field, unsigned size) {
    // The field holds size + 1 bytes: a string of exactly `size` characters decodes with its
    // terminator inside the field. Nothing is released in free mode.
    if (xdrs->x_op == XDR_FREE) return 1;
    if (!field) return 0;
    if (xdrs->x_op == XDR_ENCODE && strnlen(field, (size_t)size + 1) > size) return 0;
    char* text = field;
    return krxdr_string(xdrs, &text, size);
}

LOBBEX_API int xdr_KRPLAYER_NAME(XDR* xdrs, char** name) { return krxdr_string(xdrs, name, KR_PLAYER_NAME_MAX); }
LOBBEX_API int xdr_KRGULP_NAME(XDR* xdrs, char** name) { return krxdr_string(xdrs, name, KR_NAME_MAX); }
LOBBEX_API int xdr_KRSERVER_NAME(XDR* xdrs, char** name) { return krxdr_string(xdrs, name, KR_NAME_MAX); }

LOBBEX_API int xdr_KRNUMBER_LIST(XDR* xdrs, KRNUMBER_LIST* list) {
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&list->items), &list->count, KR_NUMBER_LIST_MAX,
                      sizeof(uint32_t), KRXDR_CAST(krxdr_u_long));
}

// ---- keys ----

LOBBEX_API int xdr_IDEAPlainKey(XDR* xdrs, uint16_t* key) {
    return xdr_vector(xdrs, reinterpret_cast<char*>(key), 8, sizeof(uint16_t), KRXDR_CAST(krxdr_u_short)) ? 1 : 0;
}
LOBBEX_API int xdr_IDEAkey(XDR* xdrs, uint16_t* key) { return xdr_IDEAPlainKey(xdrs, key); }
LOBBEX_API int xdr_PKkey(XDR* xdrs, uint16_t* key) { return xdr_IDEAPlainKey(xdrs, key); }

LOBBEX_API int xdr_IDEACipherKey(XDR* xdrs, uint8_t* key) {
    return krxdr_opaque(xdrs, reinterpret_cast<char*>(key), sizeof(IDEACipherKey));
}

LOBBEX_API int xdr_PADkey(XDR* xdrs, uint32_t* key) {
    return xdr_vector(xdrs, reinterpret_cast<char*>(key), 2, sizeof(uint32_t), KRXDR_CAST(krxdr_u_long)) ? 1 : 0;
}

LOBBEX_API int xdr_PADCipherKey(XDR* xdrs, uint8_t* key) {
    return krxdr_opaque(xdrs, reinterpret_cast<char*>(key), sizeof(PADCipherKey));
}

LOBBEX_API int xdr_KRCRYPT_KEY(XDR* xdrs, KRCRYPT_KEY* key) {
    int32_t type = (int32_t)key->type;
    if (!krxdr_enum(xdrs, &type)) return 0;
    // The key bytes become numbers as little-endian pairs (IDEA: eight 16-bit words) or quads
    // (PAD: two 32-bit seeds).
    switch ((uint32_t)type) {
    case 0:
    case KRCRYPT_KEY_IDEA: {
        uint16_t words[8] = {};
        if (xdrs->x_op == XDR_ENCODE) {
            for (int i = 0; i < 8; ++i) words[i] = LE16(key->key + 2 * i);
        }
        if (!xdr_IDEAkey(xdrs, words)) return 0;
        if (xdrs->x_op == XDR_DECODE) {
            key->type = (uint32_t)type;
            for (int i = 0; i < 8; ++i) PutLE16(key->key + 2 * i, words[i]);
        }
        return 1;
    }
    case KRCRYPT_KEY_NONE:
        if (xdrs->x_op == XDR_DECODE) {
            key->type = (uint32_t)type;
            memset(key->key, 0, sizeof key->key);
        }
        return 1;
    case KRCRYPT_KEY_PAD: {
        uint32_t seeds[2] = {};
        if (xdrs->x_op == XDR_ENCODE) {
            seeds[0] = LE32(key->key);
            seeds[1] = LE32(key->key + 4);
        }
        if (!xdr_PADkey(xdrs, seeds)) return 0;
        if (xdrs->x_op == XDR_DECODE) {
            key->type = (uint32_t)type;
            memset(key->key, 0, sizeof key->key);
            PutLE32(key->key, seeds[0]);
            PutLE32(key->key + 4, seeds[1]);
        }
        return 1;
    }
    default:
        return 0;
    }
}
