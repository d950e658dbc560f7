// XDR routines of the game instance server's records: join, the client list, the GULP list with
// its style parameters, and the server list with its server records.
#include "krxdr.h"
#include "krxdrtypes.h"

namespace {

constexpr uint32_t kClientsMax = 1000;
constexpr uint32_t kGulpsMax = 200;
constexpr uint32_t kServersMax = 200;
constexpr uint32_t kPairsMax = 200;

int Name16(XDR* xdrs, char** name) { return krxdr_string(xdrs, name, KR_PLAYER_NAME_MAX); }
int Name127(XDR* xdrs, char** name) { return krxdr_string(xdrs, name, KR_NAME_MAX); }

}  // namespace

int xdr_KRGICS_CLIENT_JOIN_REQ(XDR* xdrs, KRGICS_CLIENT_JOIN_REQ* r) {
    return krxdr_u_long(xdrs, &r->joinWord) && Name16(xdrs, &r->playerName);
}

int xdr_KRGICS_CLIENT_JOIN_RESP(XDR* xdrs, KRGICS_CLIENT_JOIN_RESP* r) {
    return xdr_KRADDR(xdrs, &r->own) && xdr_KRADDR(xdrs, &r->server) && xdr_KRTLADDR(xdrs, &r->serverAddress);
}

int xdr_KRGICS_CLIENT_ENUMERATE_REQ(XDR* xdrs, KRGICS_CLIENT_ENUMERATE_REQ* r) {
    return xdr_KRADDR(xdrs, &r->address) && krxdr_u_long(xdrs, &r->word);
}

int xdr_KRGICS_CLIENT_INFO(XDR* xdrs, KRGICS_CLIENT_INFO* r) {
    return xdr_KRADDR(xdrs, &r->address) && krxdr_u_long(xdrs, &r->number) && Name16(xdrs, &r->name);
}

int xdr_KRGICS_CLIENT_ENUMERATE_RESP(XDR* xdrs, KRGICS_CLIENT_ENUMERATE_RESP* r) {
    return krxdr_u_long(xdrs, &r->status) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->clients), &r->count, kClientsMax,
                      sizeof(KRGICS_CLIENT_INFO), KRXDR_CAST(xdr_KRGICS_CLIENT_INFO));
}

int xdr_KRGICS_GULP_ENUMERATE_REQ(XDR* xdrs, KRGICS_GULP_ENUMERATE_REQ* r) {
    return xdr_KRADDR(xdrs, &r->address) && krxdr_u_long(xdrs, &r->word);
}

int xdr_KRGICS_GULP_STYLE(XDR* xdrs, KRGICS_GULP_STYLE* r) {
    if (!krxdr_enum(xdrs, &r->style)) return 0;
    switch (r->style) {
    case KRGULP_STYLE_MC:
        return krxdr_bool(xdrs, &r->flag);
    case KRGULP_STYLE_SI:
        return krxdr_bool(xdrs, &r->flag) && krxdr_u_long(xdrs, &r->words[0]) && krxdr_u_long(xdrs, &r->words[1]) &&
               krxdr_u_long(xdrs, &r->words[2]);
    case KRGULP_STYLE_CS: {
        uint32_t* const group[7] = {reinterpret_cast<uint32_t*>(&r->flag), &r->words[0], &r->words[1], &r->words[2],
                                    &r->words[3],                         &r->words[4], &r->words[5]};
        return KrXdrWords(xdrs, group, 7, 1u << 0);
    }
    default:
        return xdrs->x_op == XDR_FREE ? 1 : 0;
    }
}

int xdr_KRGICS_GULP_INFO(XDR* xdrs, KRGICS_GULP_INFO* r) {
    return krxdr_u_long(xdrs, &r->styleWord) && krxdr_u_long(xdrs, &r->word) && xdr_KRADDR(xdrs, &r->address) &&
           xdr_KRTLADDR(xdrs, &r->tlAddress) && Name127(xdrs, &r->name) &&
           xdr_pointer(xdrs, reinterpret_cast<char**>(&r->style), sizeof(KRGICS_GULP_STYLE),
                       KRXDR_CAST(xdr_KRGICS_GULP_STYLE));
}

int xdr_KRGICS_GULP_ENUMERATE_RESP(XDR* xdrs, KRGICS_GULP_ENUMERATE_RESP* r) {
    return krxdr_u_long(xdrs, &r->status) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->gulps), &r->count, kGulpsMax, sizeof(KRGICS_GULP_INFO),
                      KRXDR_CAST(xdr_KRGICS_GULP_INFO));
}

int xdr_KRGICS_SERVER_ENUMERATE_REQ(XDR* xdrs, KRGICS_SERVER_ENUMERATE_REQ* r) {
    return xdr_KRADDR(xdrs, &r->address) && krxdr_u_long(xdrs, &r->word) && Name127(xdrs, &r->name) &&
           krxdr_u_long(xdrs, &r->last);
}

int xdr_KRSERVER_PAIR(XDR* xdrs, KRSERVER_PAIR* r) {
    // The only kind there is: any other fails.
    if (!krxdr_enum(xdrs, &r->kind) || (r->kind != 0 && xdrs->x_op != XDR_FREE)) return 0;
    return krxdr_u_long(xdrs, &r->value);
}

int xdr_KRSERVER_INFO(XDR* xdrs, KRSERVER_INFO* r) {
    return Name127(xdrs, &r->text) && krxdr_u_long(xdrs, &r->number) && krxdr_u_long(xdrs, &r->word2) &&
           krxdr_u_long(xdrs, &r->word3) && xdr_KRADDR(xdrs, &r->address) && xdr_KRTLADDR(xdrs, &r->tlAddress) &&
           Name127(xdrs, &r->name) && krxdr_bytes(xdrs, &r->data, &r->dataLength, KRSERVER_DATA_MAX) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->pairs), &r->pairCount, kPairsMax, sizeof(KRSERVER_PAIR),
                      KRXDR_CAST(xdr_KRSERVER_PAIR));
}

int xdr_KRGICS_SERVER_ENUMERATE_RESP(XDR* xdrs, KRGICS_SERVER_ENUMERATE_RESP* r) {
    return krxdr_u_long(xdrs, &r->status) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->servers), &r->count, kServersMax, sizeof(KRSERVER_INFO),
                      KRXDR_CAST(xdr_KRSERVER_INFO));
}
