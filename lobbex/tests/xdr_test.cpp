// The library's XDR primitives against libtirpc's own (same bytes and values except the stated
// differences), hand-written fixtures, wire lengths checked before anything is allocated, the
// growable stream, and the separation of the library's primitives from libtirpc's names.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "krerrno.h"
#include "krlog.h"
#include "krxdrtypes.h"
#include "test_machine.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;

// ---- the same bytes as libtirpc ----

// Encodes with one of the two, through libtirpc's fixed memory stream.
Bytes EncodeWith(const std::function<bool(XDR*)>& routine, bool* ok) {
    char buffer[64] = {};
    XDR xdrs;
    xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
    *ok = routine(&xdrs);
    return Bytes(buffer, buffer + XDR_GETPOS(&xdrs));
}

TEST(XdrPrimitives, EncodeTheSameBytesAsLibtirpc) {
    struct Case {
        std::string what;
        std::function<bool(XDR*)> ours, theirs;
    };
    std::vector<Case> cases;
    for (int32_t v : {0, 1, -1, 127, -128, 65535, INT32_MIN, INT32_MAX}) {
        cases.push_back({"int " + std::to_string(v), [v](XDR* x) mutable { return krxdr_int(x, &v) != 0; },
                         [v](XDR* x) mutable { return xdr_int(x, &v) != 0; }});
        cases.push_back({"long " + std::to_string(v), [v](XDR* x) mutable { return krxdr_long(x, &v) != 0; },
                         [v](XDR* x) mutable {
                             long l = v;
                             return xdr_long(x, &l) != 0;
                         }});
        cases.push_back({"enum " + std::to_string(v), [v](XDR* x) mutable { return krxdr_enum(x, &v) != 0; },
                         [v](XDR* x) mutable {
                             enum_t e = v;
                             return xdr_enum(x, &e) != 0;
                         }});
        cases.push_back({"bool " + std::to_string(v), [v](XDR* x) mutable { return krxdr_bool(x, &v) != 0; },
                         [v](XDR* x) mutable {
                             bool_t b = v;
                             return xdr_bool(x, &b) != 0;
                         }});
    }
    for (uint32_t v : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        cases.push_back({"u_int " + std::to_string(v), [v](XDR* x) mutable { return krxdr_u_int(x, &v) != 0; },
                         [v](XDR* x) mutable { return xdr_u_int(x, &v) != 0; }});
        cases.push_back({"u_long " + std::to_string(v), [v](XDR* x) mutable { return krxdr_u_long(x, &v) != 0; },
                         [v](XDR* x) mutable {
                             u_long l = v;
                             return xdr_u_long(x, &l) != 0;
                         }});
    }
    for (int16_t v : {(int16_t)0, (int16_t)-1, (int16_t)0x7FFF, (int16_t)-0x8000}) {
        cases.push_back({"short " + std::to_string(v), [v](XDR* x) mutable { return krxdr_short(x, &v) != 0; },
                         [v](XDR* x) mutable { return xdr_short(x, &v) != 0; }});
        uint16_t u = (uint16_t)v;
        cases.push_back({"u_short " + std::to_string(u), [u](XDR* x) mutable { return krxdr_u_short(x, &u) != 0; },
                         [u](XDR* x) mutable { return xdr_u_short(x, &u) != 0; }});
    }
    for (int v : {0, 0x61, 0x7F, 0x80, 0xFF}) {
        char c = (char)v;
        uint8_t u = (uint8_t)v;
        cases.push_back({"char " + std::to_string(v), [c](XDR* x) mutable { return krxdr_char(x, &c) != 0; },
                         [c](XDR* x) mutable { return xdr_char(x, &c) != 0; }});
        cases.push_back({"u_char " + std::to_string(v), [u](XDR* x) mutable { return krxdr_u_char(x, &u) != 0; },
                         [u](XDR* x) mutable { return xdr_u_char(x, &u) != 0; }});
    }
    for (std::string text : {"", "a", "abc", "abcd", "abcde", "abcdefgh", "abcdefghi"}) {
        const uint32_t n = (uint32_t)text.size();
        cases.push_back({"opaque " + text,
                         [text, n](XDR* x) { return krxdr_opaque(x, const_cast<char*>(text.data()), n) != 0; },
                         [text, n](XDR* x) { return xdr_opaque(x, const_cast<char*>(text.data()), n) != 0; }});
        cases.push_back({"bytes " + text,
                         [text, n](XDR* x) {
                             char* p = const_cast<char*>(text.data());
                             uint32_t count = n;
                             return krxdr_bytes(x, &p, &count, 100) != 0;
                         },
                         [text, n](XDR* x) {
                             char* p = const_cast<char*>(text.data());
                             u_int count = n;
                             return xdr_bytes(x, &p, &count, 100) != 0;
                         }});
        cases.push_back({"string " + text,
                         [text](XDR* x) {
                             char* p = const_cast<char*>(text.c_str());
                             return krxdr_string(x, &p, 100) != 0;
                         },
                         [text](XDR* x) {
                             char* p = const_cast<char*>(text.c_str());
                             return xdr_string(x, &p, 100) != 0;
                         }});
        cases.push_back({"wrapstring " + text,
                         [text](XDR* x) {
                             char* p = const_cast<char*>(text.c_str());
                             return krxdr_wrapstring(x, &p) != 0;
                         },
                         [text](XDR* x) {
                             char* p = const_cast<char*>(text.c_str());
                             return xdr_wrapstring(x, &p) != 0;
                         }});
    }
    cases.push_back({"void", [](XDR* x) { return krxdr_void(x, nullptr) != 0; },
                     [](XDR*) { return true; }});
    for (const Case& c : cases) {
        bool oursOk = false, theirsOk = false;
        const Bytes ours = EncodeWith(c.ours, &oursOk), theirs = EncodeWith(c.theirs, &theirsOk);
        EXPECT_TRUE(oursOk) << c.what;
        EXPECT_EQ(oursOk, theirsOk) << c.what;
        EXPECT_EQ(kx::ToHex(ours), kx::ToHex(theirs)) << c.what;
    }
}

TEST(XdrPrimitives, DecodeTheSameValuesAsLibtirpcKeepingOnlyTheLowBits) {
    // Units that do not fit the type: each decoder keeps the low bits, widened by the type.
    const uint32_t units[] = {0,      1,      0x7F,   0x80,       0xFF,       0x1FF,      0x7FFF,
                              0x8000, 0xFFFF, 0x10000, 0x12345678, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (uint32_t unit : units) {
        const Bytes wire = {(uint8_t)(unit >> 24), (uint8_t)(unit >> 16), (uint8_t)(unit >> 8), (uint8_t)unit};
        SCOPED_TRACE(unit);
        {
            int32_t ours = 0;
            int theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_int, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_int, &theirs));
            EXPECT_EQ(ours, theirs);
        }
        {
            int32_t ours = 0;
            long theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_long, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_long, &theirs));
            EXPECT_EQ((uint32_t)ours, (uint32_t)theirs) << "only 32 bits come from the wire";
        }
        {
            uint32_t ours = 0;
            u_long theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_u_long, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_u_long, &theirs));
            EXPECT_EQ(ours, (uint32_t)theirs);
        }
        {
            int16_t ours = 0, theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_short, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_short, &theirs));
            EXPECT_EQ(ours, theirs);
        }
        {
            uint16_t ours = 0, theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_u_short, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_u_short, &theirs));
            EXPECT_EQ(ours, theirs);
        }
        {
            char ours = 0, theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_char, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_char, &theirs));
            EXPECT_EQ(ours, theirs);
        }
        {
            uint8_t ours = 0, theirs = 0;
            ASSERT_TRUE(kx::Decode(wire, krxdr_u_char, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_u_char, &theirs));
            EXPECT_EQ(ours, theirs);
        }
        {
            int32_t ours = 5;
            bool_t theirs = 5;
            ASSERT_TRUE(kx::Decode(wire, krxdr_bool, &ours));
            ASSERT_TRUE(kx::Decode(wire, xdr_bool, &theirs));
            EXPECT_EQ(ours, theirs);
            EXPECT_EQ(ours, unit ? 1 : 0) << "any non-zero unit is true";
        }
    }
}

TEST(XdrPrimitives, StringsAndBytesDecodeLikeLibtirpc) {
    for (const char* hex : {"00000000", "00000001 61000000", "00000005 6162636465000000", "00000008 3132333435363738"}) {
        const Bytes wire = Hex(hex);
        char* ours = nullptr;
        char* theirs = nullptr;
        ASSERT_TRUE(kx::Decode(wire, [](XDR* x, char** s) { return krxdr_string(x, s, 8); }, &ours)) << hex;
        ASSERT_TRUE(kx::Decode(wire, [](XDR* x, char** s) { return xdr_string(x, s, 8); }, &theirs)) << hex;
        EXPECT_STREQ(ours, theirs);
        free(ours);
        free(theirs);
        if (wire.size() > 4) {
            char* data = nullptr;
            uint32_t count = 0;
            ASSERT_TRUE(kx::Decode(wire, [&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 8); }, &data));
            EXPECT_EQ(count, (uint32_t)wire[3]);
            EXPECT_EQ(std::string(data, count), std::string(wire.begin() + 4, wire.begin() + 4 + count));
            free(data);
        }
    }
}

// ---- hand-written fixtures and the differences peers rely on ----

TEST(XdrPrimitives, NullAndShortStringsOnTheWire) {
    char* none = nullptr;
    EXPECT_EQ(kx::ToHex(kx::Encode([](XDR* x, char** s) { return krxdr_string(x, s, 16); }, &none)), "FF FF FF FF")
        << "a null string is the length 0xFFFFFFFF and nothing else";
    char abcde[] = "abcde";
    char* text = abcde;
    EXPECT_EQ(kx::Encode([](XDR* x, char** s) { return krxdr_string(x, s, 16); }, &text),
              Hex("00 00 00 05 61 62 63 64 65 00 00 00"));

    // Decoding the null string: an empty string into a caller's buffer, a null pointer stays null.
    char buffer[8] = "xyz";
    char* into = buffer;
    u_int left = 99;
    ASSERT_TRUE(kx::Decode(Hex("FF FF FF FF"), [](XDR* x, char** s) { return krxdr_string(x, s, 16); }, &into, 0,
                           &left));
    EXPECT_EQ(into, buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(left, 0u);
    char* stays = nullptr;
    ASSERT_TRUE(kx::Decode(Hex("FF FF FF FF"), [](XDR* x, char** s) { return krxdr_string(x, s, 16); }, &stays));
    EXPECT_EQ(stays, nullptr);
}

TEST(XdrPrimitives, StringBoundIsInclusive) {
    struct Case {
        const char* wire;
        uint32_t bound;
        bool ok;
    } cases[] = {
        {"00000003 61626300", 3, true},
        {"00000003 61626300", 2, false},
        {"00000000", 0, true},
        {"00000001 61000000", 0, false},
        {"FFFFFFFF", 0, true}, // the null string passes any bound
    };
    for (const Case& c : cases) {
        char* text = nullptr;
        const uint32_t bound = c.bound;
        EXPECT_EQ(kx::Decode(Hex(c.wire), [bound](XDR* x, char** s) { return krxdr_string(x, s, bound); }, &text),
                  c.ok)
            << c.wire << " bound " << c.bound;
        free(text);
    }
    char abc[] = "abc";
    char* text = abc;
    bool ok = true;
    kx::Encode([](XDR* x, char** s) { return krxdr_string(x, s, 2); }, &text, &ok);
    EXPECT_FALSE(ok) << "too long to encode";
}

TEST(XdrPrimitives, OpaquePadsWithZerosAndDoesNotCheckThePadOnDecode) {
    char three[3] = {'x', 'y', 'z'};
    EXPECT_EQ(kx::Encode([&](XDR* x, char*) { return krxdr_opaque(x, three, 3); }, three), Hex("78797A00"));
    char out[3] = {};
    u_int left = 1;
    EXPECT_TRUE(kx::Decode(Hex("78797AEE"), [&](XDR* x, char*) { return krxdr_opaque(x, out, 3); }, out, 0, &left));
    EXPECT_EQ(std::string(out, 3), "xyz");
    EXPECT_EQ(left, 0u) << "the pad is read";
    EXPECT_FALSE(kx::Decode(Hex("78797A"), [&](XDR* x, char*) { return krxdr_opaque(x, out, 3); }, out))
        << "the pad must be there";
}

class XdrTrace : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        saved_ = KrGetTrace();
        dir_ = kt::FreshTraceDir();
        KrSetTrace(0x00FF0000);
    }
    void TearDown() override {
        KrSetTrace(saved_);
        KrTraceClose();
    }
    int Count(const std::string& text) {
        KrTraceClose();
        int n = 0;
        for (const std::string& line : kt::Lines(kt::ReadFile(dir_ + "/krtrace.txt")))
            if (line.find(text) != std::string::npos) ++n;
        return n;
    }
    uint32_t saved_ = 0;
    std::string dir_;
};

TEST_F(XdrTrace, BytesWithCountZeroNullTheCallersPointerWithoutFreeingItAndLogOnce) {
    char* mine = static_cast<char*>(malloc(8));
    strcpy(mine, "keep");
    char* pointer = mine;
    uint32_t count = 77;
    ASSERT_TRUE(kx::Decode(Hex("00000000"), [&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 16); },
                           &pointer));
    EXPECT_EQ(pointer, nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_STREQ(mine, "keep") << "the memory is still the caller's";
    free(mine);
    EXPECT_EQ(Count("xdr_bytes: received null ptr, deleted ptr 0x"), 1);

    // With no pointer to null there is nothing to say.
    char* none = nullptr;
    ASSERT_TRUE(kx::Decode(Hex("00000000"), [&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 16); }, &none));
    EXPECT_EQ(Count("xdr_bytes: received null ptr"), 1);
}

TEST(XdrPrimitives, BytesBoundAndFree) {
    char* data = nullptr;
    uint32_t count = 0;
    EXPECT_FALSE(kx::Decode(Hex("00000005 0102030405000000"),
                            [&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 4); }, &data));
    EXPECT_EQ(data, nullptr);
    ASSERT_TRUE(kx::Decode(Hex("00000005 0102030405000000"),
                           [&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 5); }, &data));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[4], 5);
    kx::Free([&](XDR* x, char** p) { return krxdr_bytes(x, p, &count, 5); }, &data);
    EXPECT_EQ(data, nullptr);
}

TEST(XdrPrimitives, UnionRunsTheMatchingChoiceOrTheDefault) {
    const struct xdr_discrim choices[] = {
        {1, KRXDR_CAST(krxdr_u_long)},
        {2, KRXDR_CAST(krxdr_void)},
        {0, nullptr},
    };
    struct Case {
        const char* wire;
        bool withDefault;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"00000001 0000002A", false, true, 42},
        {"00000002", false, true, 0},
        {"00000003", false, false, 0},
        {"00000003 00000007", true, true, 7},
        {"00000001", false, false, 0}, // the arm is missing
    };
    for (const Case& c : cases) {
        int32_t discriminant = 0;
        uint32_t value = 0;
        const xdrproc_t fallback = c.withDefault ? KRXDR_CAST(krxdr_u_long) : nullptr;
        EXPECT_EQ(kx::Decode(Hex(c.wire),
                             [&](XDR* x, uint32_t* v) {
                                 return krxdr_union(x, &discriminant, reinterpret_cast<char*>(v), choices, fallback);
                             },
                             &value),
                  c.ok)
            << c.wire;
        EXPECT_EQ(value, c.value) << c.wire;
    }
    int32_t discriminant = 1;
    uint32_t value = 0x01020304;
    EXPECT_EQ(kx::Encode([&](XDR* x, uint32_t* v) {
                  return krxdr_union(x, &discriminant, reinterpret_cast<char*>(v), choices, nullptr);
              },
                         &value),
              Hex("00000001 01020304"));
}

int StringOf2(XDR* x, char** s) { return krxdr_string(x, s, 2); }
int StringOf16(XDR* x, char** s) { return krxdr_string(x, s, 16); }

TEST(XdrPrimitives, SizeofCountsTheEncodedBytesAndZeroWhenTheRoutineFails) {
    char abc[] = "abc";
    char* text = abc;
    EXPECT_EQ(krxdr_sizeof(KRXDR_CAST(StringOf16), &text), 8u);
    char* none = nullptr;
    EXPECT_EQ(krxdr_sizeof(KRXDR_CAST(StringOf16), &none), 4u);
    char long600[601];
    memset(long600, 'q', 600);
    long600[600] = 0;
    char* big = long600;
    EXPECT_EQ(krxdr_sizeof(KRXDR_CAST(StringOf16), &big), 0u) << "600 is above the bound: no partial size";
    EXPECT_EQ(krxdr_sizeof(KRXDR_CAST(StringOf2), &text), 0u);
}

TEST(XdrPrimitives, WrapstringDecodeAllocatesAndNeverWritesIntoTheCallersBuffer) {
    char callers[2] = {'!', '!'};
    char* pointer = callers;
    ASSERT_TRUE(kx::Decode(Hex("00000005 6162636465000000"), krxdr_wrapstring, &pointer));
    ASSERT_NE(pointer, callers);
    EXPECT_STREQ(pointer, "abcde");
    EXPECT_EQ(callers[0], '!');
    EXPECT_EQ(callers[1], '!');
    kx::Free(krxdr_wrapstring, &pointer);
    EXPECT_EQ(pointer, nullptr);
}

// ---- lengths from the wire ----

// Hostile lengths with only a few bytes behind them. Each must fail without allocating what it
// claims.
struct Hostile {
    const char* what;
    std::string wire;
    std::function<bool(const Bytes&)> decode;
};

std::vector<Hostile> HostileCases() {
    auto string = [](const Bytes& b) {
        char* s = nullptr;
        const bool ok = kx::Decode(b, [](XDR* x, char** p) { return krxdr_string(x, p, 0xFFFFFFF0u); }, &s);
        free(s);
        return ok;
    };
    auto wrap = [](const Bytes& b) {
        char* s = nullptr;
        const bool ok = kx::Decode(b, krxdr_wrapstring, &s);
        free(s);
        return ok;
    };
    auto bytes = [](const Bytes& b) {
        char* s = nullptr;
        uint32_t n = 0;
        const bool ok = kx::Decode(b, [&](XDR* x, char** p) { return krxdr_bytes(x, p, &n, 0xFFFFFFFFu); }, &s);
        free(s);
        return ok;
    };
    auto players = [](const Bytes& b) {
        MCP_L_PLAYERS_INSTANCE_RESP r = {};
        const bool ok = kx::Decode(b, xdr_MCP_L_PLAYERS_INSTANCE_RESP, &r);
        kx::Free(xdr_MCP_L_PLAYERS_INSTANCE_RESP, &r);
        return ok;
    };
    auto details = [](const Bytes& b) {
        KRST_NODE node = {};
        const bool ok = kx::Decode(b, [](XDR* x, KRST_NODE* n) { return xdr_KRST_NODE(x, n, 0, 1); }, &node);
        kx::Free([](XDR* x, KRST_NODE* n) { return xdr_KRST_NODE(x, n, 0, 1); }, &node);
        return ok;
    };
    // A node: type, session, family and 16 address bytes, status, details flag, empty tag and
    // name, two numbers, flag, detail count; then the detail array.
    const std::string node = "00000001 00000000 00000002 00000000 00000000 00000000 00000000 00000000 "
                             "00000000 00000000 00000000 00000000 00000000 00000000 00000000";
    return {
        {"string", "FFFFFFF0 61626364", string},
        {"string one past the bytes", "00000005 61626364", string},
        {"wrapstring", "FFFFFFFE 61626364", wrap},
        {"bytes", "7FFFFFF0 61626364", bytes},
        {"bytes one past", "00000009 6162636465666768", bytes},
        {"unbounded array", "3FFFFFFF 00000001 00000000 00000000", players},
        {"unbounded array, one element short", "00000002 00000001 00000000 00000000", players},
        {"detail array", node + " 10000000 00000000", details},
    };
}

TEST(XdrLengths, HostileLengthsFailCleanly) {
    for (const Hostile& c : HostileCases()) EXPECT_FALSE(c.decode(Hex(c.wire))) << c.what;
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// In a child whose address space can grow by 64 MiB at most: a decoder that believed a length
// would try to allocate gigabytes, fail, and say "out of memory" on the standard error stream.
int DecodeHostileInSmallSpace(void* errorFile) {
    if (!freopen(static_cast<const char*>(errorFile), "w", stderr)) return 10;
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + (64u << 20);
    const struct rlimit space = {limit, limit};
    if (setrlimit(RLIMIT_AS, &space) != 0) return 11;
    int accepted = 0;
    for (const Hostile& c : HostileCases()) accepted += c.decode(Hex(c.wire)) ? 1 : 0;
    fflush(stderr);
    return accepted;
}

TEST(XdrLengths, NothingIsAllocatedForAHostileLength) {
    const std::string errors = kt::FreshDir("xdrerr") + "/stderr.txt";
    EXPECT_EQ(kt::InChild(DecodeHostileInSmallSpace, const_cast<char*>(errors.c_str())), 0);
    EXPECT_EQ(kt::ReadFile(errors), "") << "no decoder ran out of memory";
}
#endif

// ---- the growable stream ----

TEST(XdrDmem, GrowsByWhatItNeedsPlusSlack) {
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, nullptr, 0, XDR_ENCODE));
    EXPECT_EQ(KrXdrDmemCapacity(&x), 0u);
    uint32_t word = 0x01020304;
    ASSERT_TRUE(krxdr_u_long(&x, &word));
    EXPECT_EQ(KrXdrDmemCapacity(&x), 516u);
    EXPECT_EQ(x.x_handy, 512u);
    EXPECT_EQ(XDR_GETPOS(&x), 4u);
    EXPECT_TRUE(KrXdrDmemOwned(&x));
    EXPECT_EQ(Bytes(x.x_base, x.x_base + 4), Hex("01020304"));
    XDR_DESTROY(&x);
}

TEST(XdrDmem, StaysInTheCallersBufferUntilItOverflows) {
    char buffer[8] = {};
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, buffer, sizeof buffer, XDR_ENCODE));
    uint32_t a = 0xAAAAAAAA, b = 0xBBBBBBBB, c = 0xCCCCCCCC;
    ASSERT_TRUE(krxdr_u_long(&x, &a) && krxdr_u_long(&x, &b));
    EXPECT_EQ(x.x_base, buffer);
    EXPECT_FALSE(KrXdrDmemOwned(&x));
    char* taken = reinterpret_cast<char*>(1);
    unsigned capacity = 1;
    EXPECT_FALSE(xdrdmem_takebuf(&x, &taken, &capacity)) << "the bytes are in the caller's buffer";
    EXPECT_EQ(taken, nullptr);
    ASSERT_TRUE(krxdr_u_long(&x, &c));
    EXPECT_NE(x.x_base, buffer);
    EXPECT_EQ(KrXdrDmemCapacity(&x), 8u + 4u + 512u);
    EXPECT_EQ(x.x_handy, 512u);
    ASSERT_EQ(XDR_GETPOS(&x), 12u);
    EXPECT_EQ(Bytes(x.x_base, x.x_base + 12), Hex("AAAAAAAA BBBBBBBB CCCCCCCC"));
    ASSERT_TRUE(xdrdmem_takebuf(&x, &taken, &capacity));
    EXPECT_EQ(capacity, 524u);
    EXPECT_EQ(Bytes(taken, taken + 12), Hex("AAAAAAAA BBBBBBBB CCCCCCCC"));
    XDR_DESTROY(&x); // must not free what was taken
    free(taken);
}

TEST(XdrDmem, AFailedGrowLeavesTheStreamAsItWas) {
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, nullptr, 0, XDR_ENCODE));
    uint32_t word = 7;
    ASSERT_TRUE(krxdr_u_long(&x, &word));
    const char* base = x.x_base;
    const u_int handy = x.x_handy, position = XDR_GETPOS(&x), capacity = KrXdrDmemCapacity(&x);
    // More than a 32-bit capacity could hold: refused before anything is read from the source.
    EXPECT_FALSE(XDR_PUTBYTES(&x, reinterpret_cast<const char*>(&word), 0xFFFFFF00u));
    EXPECT_EQ(x.x_base, base);
    EXPECT_EQ(x.x_handy, handy);
    EXPECT_EQ(XDR_GETPOS(&x), position);
    EXPECT_EQ(KrXdrDmemCapacity(&x), capacity);
    ASSERT_TRUE(krxdr_u_long(&x, &word)) << "and goes on working";
    EXPECT_EQ(XDR_GETPOS(&x), 8u);
    XDR_DESTROY(&x);
}

TEST(XdrDmem, InlineNeverGrowsAndPositionsStayInRange) {
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, nullptr, 0, XDR_ENCODE));
    EXPECT_EQ(XDR_INLINE(&x, 4), nullptr) << "no room yet, and inline does not grow";
    EXPECT_EQ(KrXdrDmemCapacity(&x), 0u);
    uint32_t word = 1;
    ASSERT_TRUE(krxdr_u_long(&x, &word)); // 4 written, 512 of room
    int32_t* inlined = XDR_INLINE(&x, 8);
    ASSERT_NE(inlined, nullptr);
    EXPECT_EQ(reinterpret_cast<char*>(inlined), x.x_base + 4);
    EXPECT_EQ(XDR_GETPOS(&x), 12u);
    EXPECT_EQ(x.x_handy, 504u);
    EXPECT_EQ(XDR_INLINE(&x, 505), nullptr);
    // Positions: anywhere in the written range plus the room left.
    EXPECT_TRUE(XDR_SETPOS(&x, 0));
    EXPECT_EQ(x.x_handy, 516u);
    EXPECT_TRUE(XDR_SETPOS(&x, 516));
    EXPECT_EQ(x.x_handy, 0u);
    EXPECT_FALSE(XDR_SETPOS(&x, 517));
    EXPECT_TRUE(XDR_SETPOS(&x, 4));
    ASSERT_TRUE(krxdr_u_long(&x, &word));
    EXPECT_EQ(XDR_GETPOS(&x), 8u);
    XDR_DESTROY(&x);
}

TEST(XdrDmem, EverySlotOfTheOperationTableIsFilled) {
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, nullptr, 0, XDR_ENCODE));
    const XDR::xdr_ops* ops = x.x_ops;
    long l = 0;
    char b[4];
    EXPECT_FALSE(ops->x_getlong(&x, &l)) << "the stream only encodes";
    EXPECT_FALSE(ops->x_getbytes(&x, b, 4));
    EXPECT_FALSE(ops->x_control(&x, 0, nullptr));
    EXPECT_NE(ops->x_destroy, nullptr);
    XDR_DESTROY(&x);
}

TEST(XdrDmem, DecodeAndFreeUseLibtirpcsMemoryStream) {
    char wire[] = {0, 0, 0, 3, 'a', 'b', 'c', 0};
    XDR x;
    ASSERT_TRUE(xdrdmem_create(&x, wire, sizeof wire, XDR_DECODE));
    char* text = nullptr;
    ASSERT_TRUE(krxdr_string(&x, &text, 8));
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(KrXdrDecodeRoom(&x), 0u);
    free(text);
    XDR_DESTROY(&x);
}

// ---- the library's primitives and libtirpc's names in one process ----

bool DefinedIn(void* symbol, const char* file) {
    Dl_info info;
    if (!symbol || !dladdr(symbol, &info) || !info.dli_fname) return false;
    return std::string(info.dli_fname).find(file) != std::string::npos;
}

TEST(XdrSymbols, AProcessThatLoadsTheLibraryStillGetsLibtirpcsPrimitives) {
    void* library = dlopen(LOBBEX_SHARED_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : {"xdr_void", "xdr_int", "xdr_u_int", "xdr_long", "xdr_u_long", "xdr_short",
                             "xdr_u_short", "xdr_char", "xdr_u_char", "xdr_bool", "xdr_enum", "xdr_opaque",
                             "xdr_bytes", "xdr_string", "xdr_wrapstring", "xdr_union", "xdr_free", "xdr_sizeof"}) {
        EXPECT_FALSE(DefinedIn(dlsym(library, name), "liblobbex.so")) << name << " is not the library's";
        // (The sanitizers' runtimes put their own wrappers in front of some of libtirpc's.)
        void* found = dlsym(RTLD_DEFAULT, name);
        EXPECT_TRUE(DefinedIn(found, "libtirpc") || DefinedIn(found, "libasan") || DefinedIn(found, "libtsan"))
            << name << " is libtirpc's";
    }
    // libtirpc's xdr_int, called by name, does libtirpc's work.
    using IntRoutine = bool_t (*)(XDR*, int*);
    auto theirs = reinterpret_cast<IntRoutine>(dlsym(RTLD_DEFAULT, "xdr_int"));
    ASSERT_NE(theirs, nullptr);
    char buffer[4];
    XDR x;
    xdrmem_create(&x, buffer, sizeof buffer, XDR_ENCODE);
    int value = -2;
    ASSERT_TRUE(theirs(&x, &value));
    EXPECT_EQ(Bytes(buffer, buffer + 4), Hex("FFFFFFFE"));

    // The library's exported routines run on its own primitives, and its pointer routine (from
    // libtirpc, which calls xdr_bool) still works beside them.
    using AddressRoutine = int (*)(XDR*, KRTLADDR*);
    auto shared = reinterpret_cast<AddressRoutine>(dlsym(library, "xdr_KRTLADDR"));
    ASSERT_TRUE(DefinedIn(reinterpret_cast<void*>(shared), "liblobbex.so"));
    KRTLADDR address = {KRTL_UDP, 0x5C1F, 0x0100007F, {}};
    EXPECT_EQ(kx::Encode(shared, &address), kx::Encode(xdr_KRTLADDR, &address));
    KRGICS_GULP_INFO info = {};
    KRGICS_GULP_STYLE style = {KRGULP_STYLE_MC, 1, {}};
    info.style = &style;
    const Bytes withStyle = kx::Encode(xdr_KRGICS_GULP_INFO, &info);
    EXPECT_EQ(Bytes(withStyle.end() - 12, withStyle.end()), Hex("00000001 00000001 00000001"));
    // The library stays loaded for the rest of the process.
}

}  // namespace
