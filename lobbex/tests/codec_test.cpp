// The protocol's records on the wire: each family against bytes written out by hand from its
// field table, decoded, checked and encoded back to the same bytes; every truncation of every
// fixture fails cleanly (and leaves nothing behind once freed); hostile counts; fixed strings
// of their full length; the key union's key bytes; the status tree's depths and references;
// fixed word groups coded inline or word by word alike.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "encryption.h"
#include "krxdrmisc.h"
#include "krxdrtypes.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;

// A KRTLADDR of family 3 (udp) for port 8028 at 127.0.0.1: the family as a unit, then the x86
// image of the rest (port and address in network order), padded from 14 to 16 bytes.
const std::string kUdpAddress = "00000003 1F5C 7F000001 0000 0000 00000000 0000";
KRTLADDR UdpAddress() {
    KRTLADDR a = {};
    a.family = KRTL_UDP;
    a.port = htons(8028);
    a.addr = htonl(0x7F000001);
    return a;
}

struct Fixture {
    std::string what;
    std::string hex;
    // Decodes the bytes, checks the record when asked, encodes it again into `again`, frees it.
    std::function<bool(const Bytes&, bool check, Bytes* again)> run;
};

template <class T, class Routine>
Fixture Make(std::string what, std::string hex, Routine routine, std::function<void(const T&)> check) {
    Fixture f;
    f.what = std::move(what);
    f.hex = std::move(hex);
    f.run = [routine, check](const Bytes& bytes, bool checkIt, Bytes* again) {
        T record{};
        const bool ok = kx::Decode(bytes, routine, &record);
        if (ok) {
            if (checkIt) check(record);
            if (again) *again = kx::Encode(routine, &record);
        }
        kx::Free(routine, &record);
        return ok;
    };
    return f;
}

std::vector<Fixture> Fixtures() {
    std::vector<Fixture> list;
    list.push_back(Make<KRTLADDR>("KRTLADDR udp", kUdpAddress, xdr_KRTLADDR, [](const KRTLADDR& a) {
        const KRTLADDR e = UdpAddress();
        EXPECT_EQ(a.family, e.family);
        EXPECT_EQ(a.port, e.port);
        EXPECT_EQ(a.addr, e.addr);
    }));
    // Family 4: a KRADDR (network order) and an inner tcp address whose family is a host-order
    // number, little-endian on the wire.
    list.push_back(Make<KRTLADDR>("KRTLADDR family 4", "00000004 0000 01020304 0200 1F72 0A000005 0000",
                                  xdr_krtladdr, [](const KRTLADDR& a) {
                                      EXPECT_EQ(a.family, KRTL_KRADDR);
                                      EXPECT_EQ(ntohl(a.addr), 0x01020304u);
                                      EXPECT_EQ(a.inner.family, KRTL_TCP);
                                      EXPECT_EQ(ntohs(a.inner.port), 8050);
                                      EXPECT_EQ(ntohl(a.inner.addr), 0x0A000005u);
                                  }));
    list.push_back(Make<KRTLADDR_ARRAY>("KRTLADDR_ARRAY", "00000002 " + kUdpAddress + " " + kUdpAddress,
                                        xdr_KRTLADDR_ARRAY, [](const KRTLADDR_ARRAY& a) { EXPECT_EQ(a.count, 2u); }));
    list.push_back(Make<KRNUMBER_LIST>("number list", "00000003 00000001 00000002 FFFFFFFF", xdr_KRNUMBER_LIST,
                                       [](const KRNUMBER_LIST& l) {
                                           ASSERT_EQ(l.count, 3u);
                                           EXPECT_EQ(l.items[2], 0xFFFFFFFFu);
                                       }));
    // The key union: the type, then the key bytes as eight 16-bit numbers (little-endian pairs)
    // in 32-bit units, or as two 32-bit seeds (little-endian quads).
    list.push_back(Make<KRCRYPT_KEY>("key type 1", "00000001", xdr_KRCRYPT_KEY,
                                     [](const KRCRYPT_KEY& k) { EXPECT_EQ(k.type, 1u); }));
    list.push_back(Make<KRCRYPT_KEY>("key type 2",
                                     "00000002 00000100 00000302 00000504 00000706 00000908 00000B0A 00000D0C 00000F0E",
                                     xdr_KRCRYPT_KEY, [](const KRCRYPT_KEY& k) {
                                         EXPECT_EQ(k.type, 2u);
                                         for (int i = 0; i < 16; ++i) EXPECT_EQ(k.key[i], i);
                                     }));
    list.push_back(Make<KRCRYPT_KEY>("key type 3", "00000003 03020100 07060504", xdr_KRCRYPT_KEY,
                                     [](const KRCRYPT_KEY& k) {
                                         EXPECT_EQ(k.type, 3u);
                                         for (int i = 0; i < 8; ++i) EXPECT_EQ(k.key[i], i);
                                         EXPECT_EQ(k.key[8], 0);
                                     }));
    list.push_back(Make<KRGICS_CLIENT_JOIN_REQ>("join request", "00001234 00000003 416E6E00",
                                                xdr_KRGICS_CLIENT_JOIN_REQ, [](const KRGICS_CLIENT_JOIN_REQ& r) {
                                                    EXPECT_EQ(r.joinWord, 0x1234u);
                                                    EXPECT_STREQ(r.playerName, "Ann");
                                                }));
    list.push_back(Make<KRGICS_CLIENT_JOIN_RESP>("join response", "40000007 40000001 " + kUdpAddress,
                                                 xdr_KRGICS_CLIENT_JOIN_RESP, [](const KRGICS_CLIENT_JOIN_RESP& r) {
                                                     EXPECT_EQ(r.own, 0x40000007u);
                                                     EXPECT_EQ(r.server, 0x40000001u);
                                                     EXPECT_EQ(r.serverAddress.family, KRTL_UDP);
                                                 }));
    list.push_back(Make<KRGICS_CLIENT_ENUMERATE_RESP>(
        "client list", "00000000 00000002 00000005 00000001 00000002 426F0000 00000006 00000002 FFFFFFFF",
        xdr_KRGICS_CLIENT_ENUMERATE_RESP, [](const KRGICS_CLIENT_ENUMERATE_RESP& r) {
            ASSERT_EQ(r.count, 2u);
            EXPECT_EQ(r.clients[0].address, 5u);
            EXPECT_STREQ(r.clients[0].name, "Bo");
            EXPECT_EQ(r.clients[1].name, nullptr) << "a null name";
        }));
    // GULP info: style word, word, KRADDR, KRTLADDR, name, then the optional style block.
    const std::string gulp = "00000002 00000064 40000010 " + kUdpAddress + " 00000008 516F722047554C50";
    list.push_back(Make<KRGICS_GULP_INFO>("GULP info without style", gulp + " 00000000", xdr_KRGICS_GULP_INFO,
                                          [](const KRGICS_GULP_INFO& g) {
                                              EXPECT_EQ(g.word, 100u);
                                              EXPECT_STREQ(g.name, "Qor GULP");
                                              EXPECT_EQ(g.style, nullptr);
                                          }));
    list.push_back(Make<KRGICS_GULP_INFO>("GULP info SI",
                                          gulp + " 00000001 00000002 00000001 000001F4 00000000 00000000",
                                          xdr_KRGICS_GULP_INFO, [](const KRGICS_GULP_INFO& g) {
                                              ASSERT_NE(g.style, nullptr);
                                              EXPECT_EQ(g.style->style, KRGULP_STYLE_SI);
                                              EXPECT_EQ(g.style->flag, 1);
                                              EXPECT_EQ(g.style->words[0], 500u);
                                          }));
    list.push_back(Make<KRGICS_GULP_ENUMERATE_RESP>(
        "GULP list", "00000000 00000001 " + gulp + " 00000001 00000003 00000001 00000001 00000002 00000003 "
                     "00000004 00000005 00000006",
        xdr_KRGICS_GULP_ENUMERATE_RESP, [](const KRGICS_GULP_ENUMERATE_RESP& r) {
            ASSERT_EQ(r.count, 1u);
            ASSERT_NE(r.gulps[0].style, nullptr);
            EXPECT_EQ(r.gulps[0].style->style, KRGULP_STYLE_CS);
            EXPECT_EQ(r.gulps[0].style->words[5], 6u);
        }));
    // Server info: text, three words, KRADDR, KRTLADDR, name, bytes, pairs.
    list.push_back(Make<KRGICS_SERVER_ENUMERATE_RESP>(
        "server list", "00000000 00000001 00000001 73000000 00000001 00000002 00000003 00000010 " + kUdpAddress +
                           " 00000003 73727600 00000002 AABB0000 00000001 00000000 00000009",
        xdr_KRGICS_SERVER_ENUMERATE_RESP, [](const KRGICS_SERVER_ENUMERATE_RESP& r) {
            ASSERT_EQ(r.count, 1u);
            const KRSERVER_INFO& s = r.servers[0];
            EXPECT_STREQ(s.text, "s");
            EXPECT_EQ(s.word3, 3u);
            EXPECT_STREQ(s.name, "srv");
            ASSERT_EQ(s.dataLength, 2u);
            EXPECT_EQ((uint8_t)s.data[1], 0xBB);
            ASSERT_EQ(s.pairCount, 1u);
            EXPECT_EQ(s.pairs[0].value, 9u);
        }));
    list.push_back(Make<KRGICS_SERVER_ENUMERATE_REQ>("server request", "00000000 00000000 00000001 61000000 00000007",
                                                     xdr_KRGICS_SERVER_ENUMERATE_REQ,
                                                     [](const KRGICS_SERVER_ENUMERATE_REQ& r) {
                                                         EXPECT_STREQ(r.name, "a");
                                                         EXPECT_EQ(r.last, 7u);
                                                     }));
    // The overview: the 64-bit number goes high word first.
    list.push_back(Make<MCP_USER_OVERVIEW>(
        "account overview", "00000000 00000000 00000000 00000000 00000001 78000000 00000001 00000002 "
                            "00000001 00000002 00000003 00000004 00000005 00000006 00000007 FFFFFFFF 00000009",
        xdr_MCP_USER_OVERVIEW, [](const MCP_USER_OVERVIEW& o) {
            EXPECT_STREQ(o.email, "x");
            EXPECT_EQ(o.number, 0x0000000100000002ull);
            EXPECT_EQ(o.words[6], 7u);
            EXPECT_EQ(o.handle, nullptr);
            EXPECT_EQ(o.last, 9u);
        }));
    list.push_back(Make<MCP_L_BILLING_PLANS_RESP>(
        "billing plans", "00000001 00000001 50000000 00000000 00000000 00000002 00000002 6F310000 00000000",
        xdr_MCP_L_BILLING_PLANS_RESP, [](const MCP_L_BILLING_PLANS_RESP& r) {
            ASSERT_EQ(r.count, 1u);
            ASSERT_EQ(r.plans[0].optionCount, 2u);
            EXPECT_STREQ(r.plans[0].options[0], "o1");
            EXPECT_STREQ(r.plans[0].options[1], "");
        }));
    list.push_back(Make<MCP_L_PLAYERS_INSTANCE_RESP>(
        "players instance", "00000001 00000007 00000001 6E000000 00000001 76000000",
        xdr_MCP_L_PLAYERS_INSTANCE_RESP, [](const MCP_L_PLAYERS_INSTANCE_RESP& r) {
            ASSERT_EQ(r.count, 1u);
            EXPECT_EQ(r.elements[0].word, 7u);
            EXPECT_STREQ(r.elements[0].value, "v");
        }));
    list.push_back(Make<KRATTRIBUTED_RECORD>(
        "attributed record",
        "00000001 00000000 00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008 00000009 " +
            kUdpAddress + " " + kUdpAddress + " 00000000 00000003 00000004 00000002 0000000A 0000000B "
                                              "00000008 00000001 6E000000 00000002 00000000 00000002 CAFE0000 "
                                              "00000009 00000001",
        xdr_KRATTRIBUTED_RECORD, [](const KRATTRIBUTED_RECORD& r) {
            EXPECT_EQ(r.key[7], 8);
            ASSERT_EQ(r.attributeCount, 3u);
            EXPECT_EQ(r.attributes[0].numbers.items[1], 0x0Bu);
            EXPECT_STREQ(r.attributes[1].namedGroup.name, "n");
            EXPECT_EQ(r.attributes[2].flag, 1);
        }));
    list.push_back(Make<KRADDR_SERVER_PAIR>("address and server pair",
                                            "00000001 00000001 00000002 00000003 " + kUdpAddress + " 00000000",
                                            xdr_KRADDR_SERVER_PAIR, [](const KRADDR_SERVER_PAIR& p) {
                                                ASSERT_NE(p.record, nullptr);
                                                EXPECT_EQ(p.record->address, 3u);
                                                EXPECT_EQ(p.server, nullptr);
                                            }));
    list.push_back(Make<KRTLADDR_NAMES_LIST>("address names",
                                             "00000001 " + kUdpAddress + " 00000001 00000001 61000000 00000005",
                                             xdr_KRTLADDR_NAMES_LIST, [](const KRTLADDR_NAMES_LIST& l) {
                                                 ASSERT_EQ(l.count, 1u);
                                                 EXPECT_EQ(l.items[0].names.items[0].number, 5u);
                                             }));
    return list;
}

TEST(Codec, EachFixtureDecodesChecksAndEncodesBackToItsBytes) {
    for (const Fixture& f : Fixtures()) {
        SCOPED_TRACE(f.what);
        const Bytes bytes = Hex(f.hex);
        ASSERT_EQ(bytes.size() % 4, 0u);
        Bytes again;
        ASSERT_TRUE(f.run(bytes, true, &again));
        EXPECT_EQ(kx::ToHex(again), kx::ToHex(bytes));
    }
}

TEST(Codec, EveryTruncationOfEveryFixtureFailsCleanly) {
    for (const Fixture& f : Fixtures()) {
        const Bytes bytes = Hex(f.hex);
        for (size_t n = 0; n < bytes.size(); ++n)
            EXPECT_FALSE(f.run(Bytes(bytes.begin(), bytes.begin() + n), false, nullptr)) << f.what << " cut to " << n;
    }
}

TEST(Codec, RecordsBuiltByHandEncodeToTheFixtures) {
    KRTLADDR udp = UdpAddress();
    EXPECT_EQ(kx::ToHex(kx::Encode(xdr_KRTLADDR, &udp)), kx::ToHex(Hex(kUdpAddress)));
    EXPECT_EQ(kx::Encode(xdr_KRTLADDR, &udp).size(), 20u);

    struct KeyCase {
        uint32_t type;
        size_t size;
    } keys[] = {{1, 4}, {2, 36}, {3, 12}, {0, 36}};
    for (const KeyCase& k : keys) {
        KRCRYPT_KEY key = {k.type, {}};
        for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)i;
        bool ok = false;
        EXPECT_EQ(kx::Encode(xdr_KRCRYPT_KEY, &key, &ok).size(), k.size) << k.type;
        EXPECT_TRUE(ok);
    }
    KRGICS_GULP_INFO info = {};
    info.styleWord = 2;
    info.word = 100;
    info.address = 0x40000010;
    info.tlAddress = UdpAddress();
    char name[] = "Qor GULP";
    info.name = name;
    const Bytes noStyle = kx::Encode(xdr_KRGICS_GULP_INFO, &info);
    EXPECT_EQ(Bytes(noStyle.end() - 4, noStyle.end()), Hex("00000000")) << "a null style is a single 0 unit";

    MCP_USER_OVERVIEW overview = {};
    overview.number = 0x0102030405060708ull;
    const Bytes o = kx::Encode(xdr_MCP_USER_OVERVIEW, &overview);
    // Four null name strings, a null email, then the number.
    EXPECT_EQ(Bytes(o.begin() + 20, o.begin() + 28), Hex("01020304 05060708"));
}

TEST(Codec, ValuesTheRecordsRefuse) {
    struct Case {
        const char* what;
        std::string hex;
        std::function<bool(const Bytes&)> decode;
    };
    auto key = [](const Bytes& b) {
        KRCRYPT_KEY k = {};
        return kx::Decode(b, xdr_KRCRYPT_KEY, &k);
    };
    auto server = [](const Bytes& b) {
        KRSERVER_INFO s = {};
        const bool ok = kx::Decode(b, xdr_KRSERVER_INFO, &s);
        kx::Free(xdr_KRSERVER_INFO, &s);
        return ok;
    };
    auto gulp = [](const Bytes& b) {
        KRGICS_GULP_INFO g = {};
        const bool ok = kx::Decode(b, xdr_KRGICS_GULP_INFO, &g);
        kx::Free(xdr_KRGICS_GULP_INFO, &g);
        return ok;
    };
    auto clients = [](const Bytes& b) {
        KRGICS_CLIENT_ENUMERATE_RESP r = {};
        const bool ok = kx::Decode(b, xdr_KRGICS_CLIENT_ENUMERATE_RESP, &r);
        kx::Free(xdr_KRGICS_CLIENT_ENUMERATE_RESP, &r);
        return ok;
    };
    auto join = [](const Bytes& b) {
        KRGICS_CLIENT_JOIN_REQ r = {};
        const bool ok = kx::Decode(b, xdr_KRGICS_CLIENT_JOIN_REQ, &r);
        kx::Free(xdr_KRGICS_CLIENT_JOIN_REQ, &r);
        return ok;
    };
    const std::string serverHead = "00000001 73000000 00000001 00000002 00000003 00000010 " + kUdpAddress +
                                   " 00000003 73727600 00000000";
    const std::string gulpHead = "00000002 00000064 40000010 " + kUdpAddress + " 00000000";
    const Case cases[] = {
        {"key type 4", "00000004 00000000 00000000", key},
        {"key type 0xFFFFFFFF", "FFFFFFFF 00000000", key},
        {"server pair of kind 1", serverHead + " 00000001 00000001 00000009", server},
        {"201 server pairs", serverHead + " 000000C9", server},
        {"server bytes over 4096", "00000001 73000000 00000001 00000002 00000003 00000010 " + kUdpAddress +
                                       " 00000003 73727600 00001001", server},
        {"GULP style 4", gulpHead + " 00000001 00000004 00000000", gulp},
        {"GULP style 0", gulpHead + " 00000001 00000000 00000000", gulp},
        {"1001 clients", "00000000 000003E9", clients},
        {"player name of 17", "00000001 00000011 4141414141414141 4141414141414141 41000000", join},
    };
    for (const Case& c : cases) EXPECT_FALSE(c.decode(Hex(c.hex))) << c.what;

    // Encoding refuses the same.
    KRSERVER_PAIR pair = {1, 9};
    bool ok = true;
    kx::Encode(xdr_KRSERVER_PAIR, &pair, &ok);
    EXPECT_FALSE(ok);
    KRCRYPT_KEY badKey = {4, {}};
    kx::Encode(xdr_KRCRYPT_KEY, &badKey, &ok);
    EXPECT_FALSE(ok);
}

TEST(Codec, FixedStringsOfTheirFullLengthKeepTheirTerminatorInsideTheField) {
    // A status detail: fixed string(40) name, fixed string(80) value. A name of exactly 40
    // characters decodes with its terminator in the field's last byte, not in the value.
    const std::string forty(40, 'n');
    std::string hex = "00000028 ";
    for (size_t i = 0; i < forty.size(); ++i) hex += "6E";
    hex += " 00000001 76000000";
    KRST_DETAIL detail;
    memset(&detail, 0x7E, sizeof detail);
    ASSERT_TRUE(kx::Decode(Hex(hex), xdr_KRST_DETAIL, &detail));
    EXPECT_EQ(std::string(detail.name), forty);
    EXPECT_STREQ(detail.value, "v");
    EXPECT_EQ(kx::ToHex(kx::Encode(xdr_KRST_DETAIL, &detail)), kx::ToHex(Hex(hex)));
    // 41 characters do not fit: refused both ways, and the field is never written past.
    std::string over = "00000029 ";
    for (int i = 0; i < 41; ++i) over += "6E";
    over += "000000 00000000";
    EXPECT_FALSE(kx::Decode(Hex(over), xdr_KRST_DETAIL, &detail));
    char field[5] = {'a', 'b', 'c', 'd', 'e'}; // no terminator within 4 + 1
    bool ok = true;
    kx::Encode([&](XDR* x, char*) { return xdr_fstring(x, field, 4); }, field, &ok);
    EXPECT_FALSE(ok);
    // Free mode releases nothing of a fixed field.
    kx::Free(xdr_KRST_DETAIL, &detail);
    EXPECT_EQ(std::string(detail.name), forty);
}

// A status node: type, session, address, status, details flag, tag, name, two numbers, flag,
// detail count, [children], details.
std::string NodeHex(uint32_t type, const std::string& tagHex, const std::string& after) {
    char head[32];
    snprintf(head, sizeof head, "%08X 00000011 ", type);
    return std::string(head) + kUdpAddress + " 00000022 00000001 " + tagHex +
           " 00000000 00000003 00000004 00000001 00000001 " + after;
}

TEST(Codec, StatusTreeDepthsAndReferences) {
    const std::string detail = "00000001 00000001 6B000000 00000001 76000000"; // one detail k=v
    const std::string childNode = NodeHex(2, "00000002 63680000", detail);
    // Header {0, details 1, children 1}, word 5, one root whose child list holds one node.
    const std::string message = "00000000 00000001 00000001 00000005 00000001 " +
                                NodeHex(1, "00000004 726F6F74", "00000001 " + childNode + " " + detail);
    KRST_MESSAGE m = {};
    ASSERT_TRUE(kx::Decode(Hex(message), xdr_KRST_MESSAGE, &m));
    ASSERT_NE(m.nodes, nullptr);
    EXPECT_STREQ(m.nodes->tag, "root");
    EXPECT_EQ(m.nodes->status, 0x22u);
    ASSERT_NE(m.nodes->children, nullptr);
    EXPECT_STREQ(m.nodes->children->tag, "ch");
    EXPECT_EQ(m.nodes->children->children, nullptr) << "one level of children only";
    ASSERT_EQ(m.nodes->detailLength, 1u);
    EXPECT_STREQ(m.nodes->details[0].value, "v");
    EXPECT_EQ(kx::ToHex(kx::Encode(xdr_KRST_MESSAGE, &m)), kx::ToHex(Hex(message)));
    for (size_t n = 0; n < Hex(message).size(); n += 4) {
        KRST_MESSAGE cut = {};
        const Bytes bytes = Hex(message);
        EXPECT_FALSE(kx::Decode(Bytes(bytes.begin(), bytes.begin() + n), xdr_KRST_MESSAGE, &cut)) << n;
        kx::Free(xdr_KRST_MESSAGE, &cut);
    }

    // Without children and details: no child list at all, and a detail count of 0 on the wire.
    KRST_MESSAGE flat = m;
    flat.header.details = 0;
    flat.header.children = 0;
    const std::string flatHex = "00000000 00000000 00000000 00000005 00000001 " +
                                NodeHex(1, "00000004 726F6F74", "00000000");
    EXPECT_EQ(kx::ToHex(kx::Encode(xdr_KRST_MESSAGE, &flat)), kx::ToHex(Hex(flatHex)));

    // A reference node (type 11) sends the type and status word of the node it refers to.
    KRST_NODE reference = *m.nodes->children;
    reference.type = KRST_NODE_REFERENCE;
    reference.ref = m.nodes;
    reference.next = nullptr;
    reference.session = 0x55;
    reference.status = 0x99;
    const Bytes sent = kx::Encode([](XDR* x, KRST_NODE* n) { return xdr_KRST_NODE(x, n, 0, 1); }, &reference);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 8), Hex("00000001 00000055")) << "the root's type, its own session";
    EXPECT_EQ(Bytes(sent.begin() + 28, sent.begin() + 32), Hex("00000022")) << "the root's status";
    EXPECT_EQ(Bytes(sent.begin() + 36, sent.begin() + 44), Hex("00000002 63680000")) << "its own tag";
    kx::Free(xdr_KRST_MESSAGE, &m);
    EXPECT_EQ(m.nodes, nullptr);
}

TEST(Codec, StatusListsHoldAtMost200Nodes) {
    std::vector<KRST_NODE> nodes(201);
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];
    KRST_MESSAGE m = {};
    m.nodes = &nodes[0];
    bool ok = true;
    kx::Encode(xdr_KRST_MESSAGE, &m, &ok);
    EXPECT_FALSE(ok);
    nodes[199].next = nullptr;
    kx::Encode(xdr_KRST_MESSAGE, &m, &ok);
    EXPECT_TRUE(ok);
    KRST_MESSAGE many = {};
    EXPECT_FALSE(kx::Decode(Hex("00000000 00000000 00000000 00000000 000000C9"), xdr_KRST_MESSAGE, &many));
    kx::Free(xdr_KRST_MESSAGE, &many);
}

TEST(Codec, FixedWordGroupsAreTheSameInlineOrWordByWord) {
    MCP_USER_USAGE usage = {{1, 2, 3, 0xFFFFFFFF, 5}};
    const Bytes expected = Hex("00000001 00000002 00000003 FFFFFFFF 00000005");
    // No buffer: no room, so the words go one at a time.
    EXPECT_EQ(kx::Encode(xdr_MCP_USER_USAGE, &usage), expected);
    // A buffer with room: the group goes inline, at an unaligned address too.
    for (size_t offset : {0, 1}) {
        char buffer[64];
        XDR x;
        ASSERT_TRUE(xdrdmem_create(&x, buffer + offset, 40, XDR_ENCODE));
        ASSERT_TRUE(xdr_MCP_USER_USAGE(&x, &usage));
        EXPECT_EQ(x.x_handy, 20u) << "taken inline";
        EXPECT_EQ(Bytes(buffer + offset, buffer + offset + 20), expected);
        XDR_DESTROY(&x);
        MCP_USER_USAGE back = {};
        ASSERT_TRUE(kx::Decode(expected, xdr_MCP_USER_USAGE, &back, offset));
        EXPECT_EQ(memcmp(&back, &usage, sizeof back), 0) << offset;
    }
    // The CS style's flag goes as 0 or 1 whichever way the group is coded.
    KRGICS_GULP_STYLE cs = {KRGULP_STYLE_CS, 7, {1, 2, 3, 4, 5, 6}};
    const Bytes unitByUnit = kx::Encode(xdr_KRGICS_GULP_STYLE, &cs);
    char buffer[64];
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, buffer, sizeof buffer, XDR_ENCODE));
    ASSERT_TRUE(xdr_KRGICS_GULP_STYLE(&x, &cs));
    EXPECT_EQ(Bytes(buffer, buffer + XDR_GETPOS(&x)), unitByUnit);
    XDR_DESTROY(&x);
    EXPECT_EQ(Bytes(unitByUnit.begin() + 4, unitByUnit.begin() + 8), Hex("00000001"));
    EXPECT_EQ(cs.flag, 7) << "the caller's record is not changed";
    KRGICS_GULP_STYLE back = {};
    ASSERT_TRUE(kx::Decode(Hex("00000003 00000009 00000001 00000002 00000003 00000004 00000005 00000006"),
                           xdr_KRGICS_GULP_STYLE, &back));
    EXPECT_EQ(back.flag, 1);
}

TEST(Codec, KeyRecordsOnTheWire) {
    IDEAkey key = {0x0001, 0x0203, 0xFFFF, 0, 0, 0, 0, 0x8000};
    EXPECT_EQ(kx::ToHex(kx::Encode(xdr_IDEAkey, static_cast<uint16_t*>(key))),
              kx::ToHex(Hex("00000001 00000203 0000FFFF 00000000 00000000 00000000 00000000 00008000")));
    PADkey pad = {0x01020304, 0xA0B0C0D0};
    EXPECT_EQ(kx::Encode(xdr_PADkey, static_cast<uint32_t*>(pad)), Hex("01020304 A0B0C0D0"));
    IDEACipherKey cipher;
    for (int i = 0; i < 16; ++i) cipher[i] = (uint8_t)(0xF0 + i);
    EXPECT_EQ(kx::Encode(xdr_IDEACipherKey, static_cast<uint8_t*>(cipher)),
              Hex("F0F1F2F3 F4F5F6F7 F8F9FAFB FCFDFEFF"));
    PADCipherKey padCipher = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(kx::Encode(xdr_PADCipherKey, static_cast<uint8_t*>(padCipher)), Hex("01020304 05060708"));
    uint16_t back[8] = {};
    ASSERT_TRUE(kx::Decode(Hex("00010002 00000003 00000004 00000005 00000006 00000007 00000008 00000009"),
                           xdr_PKkey, back));
    EXPECT_EQ(back[0], 0x0002) << "a 16-bit number keeps the low bits of its unit";
    EXPECT_EQ(back[7], 9);
}

}  // namespace
