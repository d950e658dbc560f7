// Records of the service protocol that no part of the client sends or receives, carried so that
// the protocol's records are complete, with their XDR routines.
#pragma once
#include <cstdint>

#include "krxdrtypes.h"

struct KRINT_LIST_RECORD { // {u32; array(500, int)}
    uint32_t word;
    uint32_t count;
    int32_t* values;
};
struct KRNAMED_ADDR { // {u32; string(16); KRADDR}
    uint32_t word;
    char* name;
    KRADDR address;
};
struct KRADDR_RECORD { // {u32; u32; KRADDR; KRTLADDR}
    uint32_t word1;
    uint32_t word2;
    KRADDR address;
    KRTLADDR tlAddress;
};
struct KRADDR_SERVER_PAIR { // pointers to one of each
    KRADDR_RECORD* record;
    KRSERVER_INFO* server;
};
struct KRNAMED_BLOB { // {string(127); bytes(4096)}
    char* name;
    uint32_t length;
    char* data;
};
struct KRBLOB { // bytes(4096)
    uint32_t length;
    char* data;
};
struct KRATTR_GROUP { // kind 5
    int32_t kind;
    KRTLADDR_ARRAY addresses;
    KRBLOB blob;
};
struct KRATTR_NAMED_GROUP { // kind 8
    char* name;
    int32_t kind;
    KRTLADDR_ARRAY addresses;
    KRBLOB blob;
};
// The attribute union, by kind below 11: 0, 2, 3, 6, 9, 10 a flag; 1, 7 a number; 4 a number
// list; 5 a group; 8 a named group.
struct KRATTRIBUTE {
    int32_t kind;
    int32_t flag;
    uint32_t number;
    KRNUMBER_LIST numbers;
    KRATTR_GROUP group;
    KRATTR_NAMED_GROUP namedGroup;
};
struct KRATTRIBUTED_RECORD { // {u32; string(127); IDEAkey; u32; KRTLADDR; KRTLADDR; KRTLADDR_ARRAY; array(200, attribute)}
    uint32_t word1;
    char* name;
    IDEAkey key;
    uint32_t word2;
    KRTLADDR first;
    KRTLADDR second;
    KRTLADDR_ARRAY addresses;
    uint32_t attributeCount;
    KRATTRIBUTE* attributes;
};
struct KRTLADDR_PAIR_RECORD { // {u32; u32; KRTLADDR; KRTLADDR}
    uint32_t word1;
    uint32_t word2;
    KRTLADDR first;
    KRTLADDR second;
};
struct KRNAMED_NUMBER { // {string(127); u32}
    char* name;
    uint32_t number;
};
struct KRNAMED_NUMBER_LIST { // array(1000) of them
    uint32_t count;
    KRNAMED_NUMBER* items;
};
struct KRU32_TRIPLE {
    uint32_t words[3];
};
struct KRTLADDR_NAMES { // {KRTLADDR; array(1000, named number)}
    KRTLADDR address;
    KRNAMED_NUMBER_LIST names;
};
struct KRTLADDR_NAMES_LIST { // array(200) of them
    uint32_t count;
    KRTLADDR_NAMES* items;
};
struct KRU32_QUAD {
    uint32_t words[4];
};

int xdr_KRINT_LIST_RECORD(XDR* xdrs, KRINT_LIST_RECORD* r);
int xdr_KRNAMED_ADDR(XDR* xdrs, KRNAMED_ADDR* r);
int xdr_KRADDR_RECORD(XDR* xdrs, KRADDR_RECORD* r);
int xdr_KRADDR_SERVER_PAIR(XDR* xdrs, KRADDR_SERVER_PAIR* r);
int xdr_KRNAMED_BLOB(XDR* xdrs, KRNAMED_BLOB* r);
int xdr_KRBLOB(XDR* xdrs, KRBLOB* r);
int xdr_KRATTRIBUTE(XDR* xdrs, KRATTRIBUTE* r);
int xdr_KRATTRIBUTED_RECORD(XDR* xdrs, KRATTRIBUTED_RECORD* r);
int xdr_KRTLADDR_PAIR_RECORD(XDR* xdrs, KRTLADDR_PAIR_RECORD* r);
int xdr_KRNAMED_NUMBER(XDR* xdrs, KRNAMED_NUMBER* r);
int xdr_KRNAMED_NUMBER_LIST(XDR* xdrs, KRNAMED_NUMBER_LIST* r);
int xdr_KRU32_TRIPLE(XDR* xdrs, KRU32_TRIPLE* r);
int xdr_KRTLADDR_NAMES(XDR* xdrs, KRTLADDR_NAMES* r);
int xdr_KRTLADDR_NAMES_LIST(XDR* xdrs, KRTLADDR_NAMES_LIST* r);
int xdr_KRU32_QUAD(XDR* xdrs, KRU32_QUAD* r);
