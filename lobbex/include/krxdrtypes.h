// The records of the service protocol and their XDR routines: basic types, the game instance
// server's records, the key records, the status tree and the account records. Each routine codes
// its fields in order, fails as soon as one field fails, and serves encode, decode and free alike
// (krxdr_free releases what a decode allocated). Records hold fixed 32-bit fields; strings are
// allocated on decode unless they are fixed fields, which have room for their terminator.
#pragma once
#include <rpc/xdr.h>

#include <cstdint>

#include "lobbex_exports.h"

// ---- basic types ----
constexpr uint32_t KR_TLADDR_ARRAY_MAX = 200;
constexpr uint32_t KR_PLAYER_NAME_MAX = 16;
constexpr uint32_t KR_NAME_MAX = 127; // GULP and server names
constexpr uint32_t KR_NUMBER_LIST_MAX = 1000;
constexpr uint32_t KR_BLOB_MAX = 4096;

struct KRTLADDR_ARRAY {
    uint32_t count;
    KRTLADDR* items;
};
struct KRNUMBER_LIST {
    uint32_t count;
    uint32_t* items;
};

// ---- key records ----
typedef uint16_t IDEAPlainKey[8];
typedef uint16_t IDEAkey[8];
typedef uint16_t PKkey[8];
typedef uint8_t IDEACipherKey[16];
typedef uint32_t PADkey[2];
typedef uint8_t PADCipherKey[8];

// ---- game instance server records ----
struct KRGICS_CLIENT_JOIN_REQ { // request 16
    uint32_t joinWord;
    char* playerName; // at most 16
};
struct KRGICS_CLIENT_JOIN_RESP {
    KRADDR own;
    KRADDR server;
    KRTLADDR serverAddress;
};
struct KRGICS_CLIENT_ENUMERATE_REQ { // request 18
    KRADDR address;
    uint32_t word;
};
struct KRGICS_CLIENT_INFO {
    KRADDR address;
    uint32_t number;
    char* name; // at most 16
};
struct KRGICS_CLIENT_ENUMERATE_RESP {
    uint32_t status;
    uint32_t count; // at most 1000
    KRGICS_CLIENT_INFO* clients;
};
struct KRGICS_GULP_ENUMERATE_REQ { // request 23
    KRADDR address;
    uint32_t word;
};
enum : int32_t { KRGULP_STYLE_MC = 1, KRGULP_STYLE_SI = 2, KRGULP_STYLE_CS = 3 };
// The style parameter block: MC codes the flag, SI the flag and words 0-2, CS the flag and
// words 0-5.
struct KRGICS_GULP_STYLE {
    int32_t style;
    int32_t flag;
    uint32_t words[6];
};
struct KRGICS_GULP_INFO {
    uint32_t styleWord;
    uint32_t word;
    KRADDR address;
    KRTLADDR tlAddress;
    char* name;               // at most 127
    KRGICS_GULP_STYLE* style; // optional
};
struct KRGICS_GULP_ENUMERATE_RESP {
    uint32_t status;
    uint32_t count; // at most 200
    KRGICS_GULP_INFO* gulps;
};
struct KRGICS_SERVER_ENUMERATE_REQ { // request 28
    KRADDR address;
    uint32_t word;
    char* name; // at most 127
    uint32_t last;
};
struct KRSERVER_PAIR {
    int32_t kind; // must be 0
    uint32_t value;
};
// A server record's data bytes: the record may carry more than the 4096 that a caller's flat copy
// keeps (its length says how many came).
constexpr uint32_t KRSERVER_DATA_MAX = 65536;
struct KRSERVER_INFO {
    char* text; // at most 127
    uint32_t number;
    uint32_t word2;
    uint32_t word3;
    KRADDR address;
    KRTLADDR tlAddress;
    char* name; // at most 127
    uint32_t dataLength; // at most KRSERVER_DATA_MAX
    char* data;
    uint32_t pairCount; // at most 200
    KRSERVER_PAIR* pairs;
};
struct KRGICS_SERVER_ENUMERATE_RESP {
    uint32_t status;
    uint32_t count; // at most 200
    KRSERVER_INFO* servers;
};

int xdr_KRGICS_CLIENT_JOIN_REQ(XDR* xdrs, KRGICS_CLIENT_JOIN_REQ* record);
int xdr_KRGICS_CLIENT_JOIN_RESP(XDR* xdrs, KRGICS_CLIENT_JOIN_RESP* record);
int xdr_KRGICS_CLIENT_ENUMERATE_REQ(XDR* xdrs, KRGICS_CLIENT_ENUMERATE_REQ* record);
int xdr_KRGICS_CLIENT_INFO(XDR* xdrs, KRGICS_CLIENT_INFO* record);
int xdr_KRGICS_CLIENT_ENUMERATE_RESP(XDR* xdrs, KRGICS_CLIENT_ENUMERATE_RESP* record);
int xdr_KRGICS_GULP_ENUMERATE_REQ(XDR* xdrs, KRGICS_GULP_ENUMERATE_REQ* record);
int xdr_KRGICS_GULP_STYLE(XDR* xdrs, KRGICS_GULP_STYLE* record);
int xdr_KRGICS_GULP_INFO(XDR* xdrs, KRGICS_GULP_INFO* record);
int xdr_KRGICS_GULP_ENUMERATE_RESP(XDR* xdrs, KRGICS_GULP_ENUMERATE_RESP* record);
int xdr_KRGICS_SERVER_ENUMERATE_REQ(XDR* xdrs, KRGICS_SERVER_ENUMERATE_REQ* record);
int xdr_KRSERVER_PAIR(XDR* xdrs, KRSERVER_PAIR* record);
int xdr_KRSERVER_INFO(XDR* xdrs, KRSERVER_INFO* record);
int xdr_KRGICS_SERVER_ENUMERATE_RESP(XDR* xdrs, KRGICS_SERVER_ENUMERATE_RESP* record);

// ---- status tree records ----
constexpr uint32_t KRST_LIST_MAX = 200;
constexpr uint32_t KRST_NODE_REFERENCE = 11;
constexpr uint32_t KRST_TAG_MAX = 8;
constexpr uint32_t KRST_NAME_MAX = 80;
constexpr uint32_t KRST_DETAIL_NAME_MAX = 40;
constexpr uint32_t KRST_DETAIL_VALUE_MAX = 80;

struct KRST_HEADER {
    uint32_t word;
    int32_t details;  // how deep details go: the detail depth of the message's nodes
    int32_t children; // how deep children go: their child depth
};
struct KRST_DETAIL {
    char name[KRST_DETAIL_NAME_MAX + 1];
    char value[KRST_DETAIL_VALUE_MAX + 1];
};
struct KRST_NODE {
    KRST_NODE* next;      // the next sibling of a list
    KRST_NODE* children;  // the first child
    const KRST_NODE* ref; // a node of type 11 takes its type and status from this node
    uint32_t type;
    uint32_t session;
    KRTLADDR address;
    uint32_t status;
    int32_t detailsOn;
    char tag[KRST_TAG_MAX + 1];
    char name[KRST_NAME_MAX + 1];
    uint32_t number1;
    uint32_t number2;
    int32_t flag;
    uint32_t detailCount; // as reported
    uint32_t detailLength;
    KRST_DETAIL* details;
};
struct KRST_MESSAGE {
    KRST_HEADER header;
    uint32_t word;
    KRST_NODE* nodes; // a list of at most 200, linked through next
};

int xdr_KRST_HEADER(XDR* xdrs, KRST_HEADER* record);
int xdr_KRST_DETAIL(XDR* xdrs, KRST_DETAIL* record);
// Children are coded while childDepth is above 0; details while detailDepth is above 0 (else the
// detail array goes with a count of 0).
int xdr_KRST_NODE(XDR* xdrs, KRST_NODE* node, int childDepth, int detailDepth);
// A list of at most 200 nodes: a count, then the nodes; decoded nodes are allocated and linked
// through next, and freed again in free mode.
int xdr_KRST_NODE_LIST(XDR* xdrs, KRST_NODE** head, int childDepth, int detailDepth);
int xdr_KRST_MESSAGE(XDR* xdrs, KRST_MESSAGE* record);

// ---- account records ----
struct MCP_INFO_NAME {
    char* title;     // 8
    char* fullName;  // 60
    char* firstName; // 30
    char* lastName;  // 30
};
struct MCP_INFO_ADDRESS {
    char* street;     // 120
    char* city;       // 30
    char* state;      // 30
    char* postalCode; // 12
    char* country;    // 60
};
struct MCP_USER_CONTACT {
    MCP_INFO_NAME name;
    MCP_INFO_ADDRESS address;
    char* email;  // 100
    char* phone1; // 25
    char* phone2; // 25
    char* fax;    // 25
};
struct MCP_USER_BILLING {
    MCP_INFO_NAME name;
    MCP_INFO_ADDRESS address;
    char* cardType;   // 20
    char* cardNumber; // 25
    char* expiry;     // 20
};
struct MCP_USER_OVERVIEW {
    MCP_INFO_NAME name;
    char* email; // 100
    uint64_t number;
    uint32_t words[7];
    char* handle; // 16
    uint32_t last;
};
struct MCP_USER_USAGE {
    uint32_t words[5];
};
struct MCP_L_PLAYERS_INSTANCE_ELEMENT {
    uint32_t word;
    char* name;  // 80
    char* value; // 80
};
struct MCP_L_PLAYERS_INSTANCE_RESP {
    uint32_t count; // no bound but the bytes present
    MCP_L_PLAYERS_INSTANCE_ELEMENT* elements;
};
struct MCP_BILLING_PLAN {
    char* name;        // 255
    char* price;       // 40
    char* description; // 1024
    uint32_t optionCount; // at most 100
    char** options;       // each at most 20
};
struct MCP_L_BILLING_PLANS_RESP {
    uint32_t count; // at most 100
    MCP_BILLING_PLAN* plans;
};
int xdr_MCP_BILLING_PLAN(XDR* xdrs, MCP_BILLING_PLAN* record);
