// XDR routines of the account records (no caller inside the library): names, addresses,
// contact, billing, overview and usage records, the players-instance list and the billing plans.
// Fixed groups of words go through the stream's inline operation when it has the room.
#include "krxdr.h"
#include "krxdrtypes.h"

namespace {

constexpr uint32_t kPlansMax = 100;
constexpr uint32_t kPlanOptionsMax = 100;

int Text(XDR* xdrs, char** text, uint32_t maximum) { return krxdr_string(xdrs, text, maximum); }
int Option20(XDR* xdrs, char** text) { return krxdr_string(xdrs, text, 20); }

}  // namespace

LOBBEX_API int xdr_MCP_INFO_NAME(XDR* xdrs, MCP_INFO_NAME* r) {
    return Text(xdrs, &r->title, 8) && Text(xdrs, &r->fullName, 60) && Text(xdrs, &r->firstName, 30) &&
           Text(xdrs, &r->lastName, 30);
}

LOBBEX_API int xdr_MCP_INFO_ADDRESS(XDR* xdrs, MCP_INFO_ADDRESS* r) {
    return Text(xdrs, &r->street, 120) && Text(xdrs, &r->city, 30) && Text(xdrs, &r->state, 30) &&
           Text(xdrs, &r->postalCode, 12) && Text(xdrs, &r->country, 60);
}

LOBBEX_API int xdr_MCP_USER_CONTACT(XDR* xdrs, MCP_USER_CONTACT* r) {
    return xdr_MCP_INFO_NAME(xdrs, &r->name) && xdr_MCP_INFO_ADDRESS(xdrs, &r->address) &&
           Text(xdrs, &r->email, 100) && Text(xdrs, &r->phone1, 25) && Text(xdrs, &r->phone2, 25) &&
           Text(xdrs, &r->fax, 25);
}

LOBBEX_API int xdr_MCP_USER_BILLING(XDR* xdrs, MCP_USER_BILLING* r) {
    return xdr_MCP_INFO_NAME(xdrs, &r->name) && xdr_MCP_INFO_ADDRESS(xdrs, &r->address) &&
           Text(xdrs, &r->cardType, 20) && Text(xdrs, &r->cardNumber, 25) && Text(xdrs, &r->expiry, 20);
}

LOBBEX_API int xdr_MCP_USER_OVERVIEW(XDR* xdrs, MCP_USER_OVERVIEW* r) {
    if (!xdr_MCP_INFO_NAME(xdrs, &r->name) || !Text(xdrs, &r->email, 100)) return 0;
    // The 64-bit number: its high word, then its low word.
    uint32_t high = (uint32_t)(r->number >> 32), low = (uint32_t)r->number;
    if (!krxdr_u_long(xdrs, &high) || !krxdr_u_long(xdrs, &low)) return 0;
    if (xdrs->x_op == XDR_DECODE) r->number = (uint64_t)high << 32 | low;
    uint32_t* const group[7] = {&r->words[0], &r->words[1], &r->words[2], &r->words[3],
                                &r->words[4], &r->words[5], &r->words[6]};
    return KrXdrWords(xdrs, group, 7, 0) && Text(xdrs, &r->handle, 16) && krxdr_u_long(xdrs, &r->last);
}

LOBBEX_API int xdr_MCP_USER_USAGE(XDR* xdrs, MCP_USER_USAGE* r) {
    uint32_t* const group[5] = {&r->words[0], &r->words[1], &r->words[2], &r->words[3], &r->words[4]};
    return KrXdrWords(xdrs, group, 5, 0);
}

LOBBEX_API int xdr_MCP_L_PLAYERS_INSTANCE_ELEMENT(XDR* xdrs, MCP_L_PLAYERS_INSTANCE_ELEMENT* r) {
    return krxdr_u_long(xdrs, &r->word) && Text(xdrs, &r->name, 80) && Text(xdrs, &r->value, 80);
}

LOBBEX_API int xdr_MCP_L_PLAYERS_INSTANCE_RESP(XDR* xdrs, MCP_L_PLAYERS_INSTANCE_RESP* r) {
    // No bound but the bytes present in the stream.
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&r->elements), &r->count, 0xFFFFFFFF,
                      sizeof(MCP_L_PLAYERS_INSTANCE_ELEMENT), KRXDR_CAST(xdr_MCP_L_PLAYERS_INSTANCE_ELEMENT));
}

int xdr_MCP_BILLING_PLAN(XDR* xdrs, MCP_BILLING_PLAN* r) {
    return Text(xdrs, &r->name, 255) && Text(xdrs, &r->price, 40) && Text(xdrs, &r->description, 1024) &&
           KrXdrArray(xdrs, reinterpret_cast<char**>(&r->options), &r->optionCount, kPlanOptionsMax, sizeof(char*),
                      KRXDR_CAST(Option20));
}

LOBBEX_API int xdr_MCP_L_BILLING_PLANS_RESP(XDR* xdrs, MCP_L_BILLING_PLANS_RESP* r) {
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&r->plans), &r->count, kPlansMax, sizeof(MCP_BILLING_PLAN),
                      KRXDR_CAST(xdr_MCP_BILLING_PLAN));
}
