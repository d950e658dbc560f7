// Packet headers: each form written out by hand from its layout, the choice of the smallest
// form, headers that fit no form, sizes from the first byte, reserved bits, a round trip over
// the form boundaries, and the Internet checksum.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "krerrno.h"
#include "krhdr.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;

struct Golden {
    const char* what;
    KRHDR header; // kind, id, length, pad (ignored), sequence, flag, code
    uint32_t blockSize;
    const char* bytes;
    uint32_t pad;
    KRHDR_FORM form;
};

// Each vector is the form's layout filled in by hand (bit 31 is the first bit of the first byte).
const Golden kGolden[] = {
    // A: 0 | id 10 | seq 0000000000000111 | len-16 0100 | flag 1 | code 01011010
    {"A", {1, 2, 20, 0, 7, 1, 0x5A}, 1, "40 00 E9 5A", 0, KRHDR_A},
    // B: 10 | id 1001 | seq 0x1234 | len 300 (9 bits) | flag 0 ; code
    {"B", {1, 9, 300, 0, 0x1234, 0, 0xC3}, 1, "A4 48 D2 58 C3", 0, KRHDR_B},
    // C: 110 | id 100 (11 bits) | pad 00 | seq 0xBEEF ; len 1000 << 1 | flag 1 ; code 0x1234
    {"C", {1, 100, 1000, 0, 0xBEEF, 1, 0x1234}, 1, "C1 90 BE EF 07 D1 12 34", 0, KRHDR_C},
    // C under IDEA: length 3 leaves (3 + 4) mod 8 = 7, so the pad is 1.
    {"C padded", {1, 5, 3, 0, 1, 0, 0x0102}, 8, "C0 15 00 01 00 06 01 02", 1, KRHDR_C},
    // D: 1110 | id 2047 | pad 00 | len 24 (15 bits) ; control code 1
    {"D", {2, 2047, 24, 0, 1, 0, 0}, 1, "EF FE 00 18 00 01", 0, KRHDR_D},
    // D under IDEA: length 4 leaves (4 + 2) mod 8 = 6, so the pad is 2.
    {"D padded", {2, 1, 4, 0, 5, 0, 0}, 8, "E0 03 00 04 00 05", 2, KRHDR_D},
    // E: 11110 | id | seq ; len << 17 | flag << 16 | pad << 8 | reserved ; code
    {"E", {1, 2, 20, 0, 7, 1, 0x5A}, 8, "F0 02 00 07 00 29 08 00 00 5A", 8, KRHDR_E},
    // F: 111110 | pad 0100 | id 3 | reserved ; len << 17 | reserved | control code
    {"F", {2, 3, 2, 0, 7, 0, 0}, 8, "F9 00 18 00 00 04 00 07", 4, KRHDR_F},
    // G: 1111110 | reserved | id 300 | reserved | pad | flag | reserved ; len << 8 ; seq | code
    {"G", {1, 300, 40000, 0, 0xFFFF, 1, 0xABCD}, 1, "FC 12 C0 04 00 9C 40 00 FF FF AB CD", 0, KRHDR_G},
    // G under IDEA: (40000 + 4) mod 8 = 4, pad 4 in bits 10-3.
    {"G padded", {1, 1, 40000, 0, 2, 0, 3}, 8, "FC 00 10 20 00 9C 40 00 00 02 00 03", 4, KRHDR_G},
};

TEST(Header, EveryFormPacksToItsHandWrittenBytes) {
    for (const Golden& g : kGolden) {
        uint8_t buffer[KRHDR_MAX_LEN + 4];
        memset(buffer, 0xEE, sizeof buffer);
        uint32_t pad = 99;
        const uint32_t size = KrHdrPack(&g.header, buffer, g.blockSize, &pad);
        const Bytes expected = Hex(g.bytes);
        ASSERT_EQ(size, expected.size()) << g.what;
        EXPECT_EQ(kx::ToHex(Bytes(buffer, buffer + size)), kx::ToHex(expected)) << g.what;
        EXPECT_EQ(buffer[size], 0xEE) << g.what << ": nothing written past the header";
        EXPECT_EQ(pad, g.pad) << g.what;
        EXPECT_EQ(KrHdrForm(buffer[0]), g.form) << g.what;
    }
}

TEST(Header, EveryFormUnpacksFromItsHandWrittenBytes) {
    for (const Golden& g : kGolden) {
        const Bytes bytes = Hex(g.bytes);
        KRHDR h = {};
        ASSERT_EQ(KrHdrUnpack(bytes.data(), &h, 1), 0) << g.what;
        EXPECT_EQ(h.kind, g.header.kind) << g.what;
        EXPECT_EQ(h.id, g.header.id) << g.what;
        EXPECT_EQ(h.length, g.header.length) << g.what;
        EXPECT_EQ(h.pad, g.pad) << g.what;
        EXPECT_EQ(h.sequence, g.header.sequence) << g.what;
        EXPECT_EQ(h.flag, g.header.flag) << g.what;
        EXPECT_EQ(h.code, g.header.code) << g.what;
        EXPECT_EQ(KrHdrPadLen(bytes.data()), (int)g.pad) << g.what;
        EXPECT_EQ(KrHdrPackedLen(bytes[0]), (int)bytes.size()) << g.what;

        // The plain-text part alone: no code (kind 1), no control code (kind 2).
        KRHDR plain = {};
        ASSERT_EQ(KrHdrUnpackPT(bytes.data(), &plain), 0);
        EXPECT_EQ(plain.code, 0u) << g.what;
        EXPECT_EQ(plain.sequence, g.header.kind == KRHDR_KIND_CONTROL ? 0u : g.header.sequence) << g.what;
        EXPECT_EQ(plain.length, g.header.length) << g.what;

        // From a block of exactly the plain-text part, as the receiver first has it: the same
        // fields, and nothing past the part is read (the sanitizer builds check every access).
        const Bytes plainOnly(bytes.begin(), bytes.begin() + KrPTHdrPackedLen(bytes[0]));
        KRHDR alone = {};
        ASSERT_EQ(KrHdrUnpackPT(plainOnly.data(), &alone), 0) << g.what;
        EXPECT_EQ(alone.id, plain.id) << g.what;
        EXPECT_EQ(alone.length, plain.length) << g.what;
        EXPECT_EQ(alone.sequence, plain.sequence) << g.what;
        EXPECT_EQ(alone.flag, plain.flag) << g.what;
        EXPECT_EQ(KrHdrPadLen(plainOnly.data()), (int)g.pad) << g.what;

        // A plain-text part and a cipher-text part kept apart.
        const int pt = KrPTHdrPackedLen(bytes[0]);
        Bytes cipherText(bytes.begin() + pt, bytes.end());
        cipherText.push_back(0); // never empty, so its address is real
        KRHDR joined = {};
        ASSERT_EQ(KrHdrUnpackPTCT(bytes.data(), cipherText.data(), &joined), 0);
        EXPECT_EQ(joined.code, g.header.code) << g.what;
        EXPECT_EQ(joined.sequence, g.header.sequence) << g.what;
    }
}

TEST(Header, SizesComeFromTheFirstByte) {
    struct Case {
        uint8_t first;
        int total, plainText, cipherText;
    } cases[] = {
        {0x00, 4, 3, 1},  {0x7F, 4, 3, 1},  {0x80, 5, 4, 1},  {0xBF, 5, 4, 1}, {0xC0, 8, 6, 2},
        {0xDF, 8, 6, 2},  {0xE0, 6, 6, 0},  {0xEF, 6, 6, 0},  {0xF0, 10, 8, 2}, {0xF7, 10, 8, 2},
        {0xF8, 8, 8, 0},  {0xFB, 8, 8, 0},  {0xFC, 12, 10, 2}, {0xFD, 12, 10, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrHdrPackedLen(c.first), c.total) << std::hex << (int)c.first;
        EXPECT_EQ(KrPTHdrPackedLen(c.first), c.plainText) << std::hex << (int)c.first;
        EXPECT_EQ(KrCTHdrPackedLen(c.first), c.cipherText) << std::hex << (int)c.first;
        EXPECT_EQ(c.total, c.plainText + c.cipherText);
        EXPECT_GE(c.plainText, (int)KRHDR_MIN_PT_LEN);
    }
}

TEST(Header, TheInvalidPrefixIsRefusedEverywhere) {
    KrErrorInit();
    for (uint8_t first : {(uint8_t)0xFE, (uint8_t)0xFF}) {
        const uint8_t bytes[KRHDR_MAX_LEN] = {first, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        KrErrorSet(0);
        EXPECT_EQ(KrHdrPackedLen(first), -1);
        EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA);
        KrErrorSet(0);
        EXPECT_EQ(KrPTHdrPackedLen(first), -1);
        EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA);
        KrErrorSet(0);
        EXPECT_EQ(KrCTHdrPackedLen(first), -1);
        EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA);
        KrErrorSet(0);
        EXPECT_EQ(KrHdrPadLen(bytes), -1);
        EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA);
        KRHDR h = {};
        KrErrorSet(0);
        EXPECT_EQ(KrHdrUnpack(bytes, &h, 1), 1);
        EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
        EXPECT_EQ(KrHdrUnpackPT(bytes, &h), 1);
        EXPECT_EQ(KrHdrUnpackPTCT(bytes, bytes, &h), 1);
        EXPECT_EQ(KrHdrForm(first), KRHDR_INVALID);
    }
}

TEST(Header, ReservedBitsAreIgnoredOnReading) {
    struct Case {
        const char* clean;
        const char* dirty; // the same header with every reserved bit set
    } cases[] = {
        {"F0 02 00 07 00 29 08 00 00 5A", "F0 02 00 07 00 29 08 FF 00 5A"},                   // E
        {"F9 00 18 00 00 04 00 07", "F9 00 1F FF 00 05 00 07"},                               // F
        {"FC 12 C0 04 00 9C 40 00 FF FF AB CD", "FD 92 C8 07 00 9C 40 FF FF FF AB CD"},       // G
    };
    for (const Case& c : cases) {
        KRHDR clean = {}, dirty = {};
        ASSERT_EQ(KrHdrUnpack(Hex(c.clean).data(), &clean, 1), 0);
        ASSERT_EQ(KrHdrUnpack(Hex(c.dirty).data(), &dirty, 1), 0) << c.dirty;
        EXPECT_EQ(memcmp(&clean, &dirty, sizeof clean), 0) << c.dirty;
        EXPECT_EQ(KrHdrPadLen(Hex(c.dirty).data()), KrHdrPadLen(Hex(c.clean).data())) << c.dirty;
    }
}

TEST(Header, HeadersThatFitNoFormAreRefused) {
    KrErrorInit();
    struct Case {
        const char* what;
        KRHDR header;
        uint32_t blockSize;
        uint32_t size; // 0: no form fits
    } cases[] = {
        {"request id 2047", {1, 2047, 20, 0, 1, 0, 1}, 1, 0},
        {"request id 2046", {1, 2046, 20, 0, 1, 0, 1}, 1, 8},
        {"control id 2047", {2, 2047, 20, 0, 1, 0, 0}, 1, 6},
        {"control id 2048", {2, 2048, 20, 0, 1, 0, 0}, 1, 0},
        {"code of 17 bits", {1, 1, 20, 0, 1, 0, 65536}, 1, 0},
        {"code of 16 bits", {1, 1, 20, 0, 1, 0, 65535}, 1, 8},
        {"length of 24 bits", {1, 1, (1u << 24) - 1, 0, 1, 0, 0}, 1, 12},
        {"length of 25 bits", {1, 1, 1u << 24, 0, 1, 0, 0}, 1, 0},
        {"control length 32767", {2, 1, 32767, 0, 1, 0, 0}, 1, 6},
        {"control length 32768", {2, 1, 32768, 0, 1, 0, 0}, 1, 0},
        {"control code of 17 bits", {2, 1, 0, 0, 65536, 0, 0}, 1, 0},
        {"sequence of 17 bits", {1, 1, 20, 0, 65536, 0, 0}, 1, 0},
        {"flag 2", {1, 1, 20, 0, 1, 2, 0}, 1, 0},
        {"kind 0", {0, 1, 20, 0, 1, 0, 0}, 1, 0},
        {"kind 3", {3, 1, 20, 0, 1, 0, 0}, 1, 0},
        // Form F's pad field has 4 bits: a pad of 16 or more would spill into the prefix.
        {"control pad 14", {2, 1, 0, 0, 1, 0, 0}, 16, 8},
        {"control pad 15", {2, 1, 15, 0, 1, 0, 0}, 16, 8},
        {"control pad 16", {2, 1, 14, 0, 1, 0, 0}, 16, 0},
        {"control pad 30", {2, 1, 0, 0, 1, 0, 0}, 32, 0},
        {"request pad 255", {1, 1, 253, 0, 1, 0, 0}, 256, 10},
        {"request pad 256", {1, 1, 0, 0, 1, 0, 0}, 260, 0},
    };
    for (const Case& c : cases) {
        uint8_t buffer[KRHDR_MAX_LEN];
        uint32_t pad = 0;
        KrErrorSet(0);
        EXPECT_EQ(KrHdrPack(&c.header, buffer, c.blockSize, &pad), c.size) << c.what;
        if (c.size == 0) {
            EXPECT_EQ(KrErrorGet(), KRERR_PARAM) << c.what;
        } else {
            KRHDR back = {};
            ASSERT_EQ(KrHdrUnpack(buffer, &back, 1), 0) << c.what;
            EXPECT_EQ(back.pad, pad) << c.what;
            EXPECT_EQ(back.kind, c.header.kind) << c.what;
            EXPECT_EQ(back.id, c.header.id) << c.what;
        }
    }
}

TEST(Header, TheSmallestFormIsChosenAtEveryBoundary) {
    struct Case {
        uint32_t kind, id, length, code, blockSize;
        KRHDR_FORM form;
        uint32_t pad;
    } cases[] = {
        {1, 3, 16, 255, 1, KRHDR_A, 0},     {1, 3, 31, 255, 1, KRHDR_A, 0},     {1, 4, 16, 255, 1, KRHDR_B, 0},
        {1, 3, 15, 255, 1, KRHDR_B, 0},     {1, 3, 32, 255, 1, KRHDR_B, 0},     {1, 3, 16, 256, 1, KRHDR_C, 0},
        {1, 15, 511, 0, 1, KRHDR_B, 0},     {1, 16, 511, 0, 1, KRHDR_C, 0},     {1, 15, 512, 0, 1, KRHDR_C, 0},
        {1, 3, 16, 0, 8, KRHDR_E, 4},       {1, 2046, 32767, 0, 1, KRHDR_C, 0}, {1, 1, 32768, 0, 1, KRHDR_G, 0},
        {1, 1, 32767, 0, 8, KRHDR_E, 5},    {1, 1, 32768, 0, 8, KRHDR_G, 4},    {1, 1, 1, 0, 8, KRHDR_C, 3},
        {1, 1, 0, 0, 8, KRHDR_E, 4},        {1, 1, 4, 0, 8, KRHDR_E, 8},        {2, 1, 2, 0, 8, KRHDR_F, 4},
        {2, 1, 4, 0, 8, KRHDR_D, 2},        {2, 1, 6, 0, 8, KRHDR_F, 8},        {2, 1, 3, 0, 8, KRHDR_D, 3},
        {2, 1, 0, 0, 1, KRHDR_D, 0},        {2, 0, 32767, 0, 8, KRHDR_F, 7},
    };
    for (const Case& c : cases) {
        const KRHDR h = {c.kind, c.id, c.length, 0, 9, 0, c.code};
        uint8_t buffer[KRHDR_MAX_LEN];
        uint32_t pad = 99;
        ASSERT_NE(KrHdrPack(&h, buffer, c.blockSize, &pad), 0u) << c.id << "/" << c.length;
        EXPECT_EQ(KrHdrForm(buffer[0]), c.form) << c.kind << " id " << c.id << " length " << c.length;
        EXPECT_EQ(pad, c.pad) << c.kind << " id " << c.id << " length " << c.length;
    }
}

TEST(Header, RandomHeadersRoundTripAcrossTheFormBoundaries) {
    std::mt19937 random(1998);
    const uint32_t ids[] = {0, 3, 4, 15, 16, 1000, 2046};
    const uint32_t lengths[] = {0, 1, 15, 16, 31, 32, 511, 512, 32767, 32768, 65535, (1u << 24) - 1};
    const uint32_t codes[] = {0, 255, 256, 65535};
    const uint32_t blockSizes[] = {1, 8};
    int packed = 0;
    for (int round = 0; round < 4000; ++round) {
        KRHDR h = {};
        h.kind = random() % 2 ? KRHDR_KIND_REQUEST : KRHDR_KIND_CONTROL;
        h.id = ids[random() % 7] + (h.kind == KRHDR_KIND_CONTROL && random() % 7 == 0 ? 1 : 0);
        h.length = lengths[random() % 12];
        h.sequence = random() & 0xFFFF;
        h.flag = h.kind == KRHDR_KIND_REQUEST ? random() & 1 : 0;
        h.code = h.kind == KRHDR_KIND_REQUEST ? codes[random() % 4] : 0;
        const uint32_t blockSize = blockSizes[random() % 2];
        uint8_t buffer[KRHDR_MAX_LEN];
        uint32_t pad = 0;
        const uint32_t size = KrHdrPack(&h, buffer, blockSize, &pad);
        const bool fits = h.kind == KRHDR_KIND_REQUEST || h.length <= 32767;
        ASSERT_EQ(size != 0, fits) << h.kind << " " << h.id << " " << h.length;
        if (!size) continue;
        ++packed;
        ASSERT_EQ((int)size, KrHdrPackedLen(buffer[0]));
        KRHDR back = {};
        ASSERT_EQ(KrHdrUnpack(buffer, &back, 1), 0);
        EXPECT_EQ(back.kind, h.kind);
        EXPECT_EQ(back.id, h.id);
        EXPECT_EQ(back.length, h.length);
        EXPECT_EQ(back.sequence, h.sequence);
        EXPECT_EQ(back.flag, h.flag);
        EXPECT_EQ(back.code, h.code);
        EXPECT_EQ(back.pad, pad);
        EXPECT_EQ(KrHdrPadLen(buffer), (int)pad);
        // The encrypted region (code, payload, pad, trailer) fills whole blocks.
        const uint32_t region = (uint32_t)KrCTHdrPackedLen(buffer[0]) + h.length + pad + 2;
        if (blockSize > 1) {
            EXPECT_EQ(region % blockSize, 0u);
        } else {
            EXPECT_EQ(pad, 0u);
        }
    }
    EXPECT_GT(packed, 3000);
}

TEST(Checksum, TheExampleOfTheInternetChecksumInAnyPieces) {
    const Bytes data = Hex("00 01 F2 03 F4 F5 F6 F7");
    EXPECT_EQ(KrInCksum(data.data(), 8), 0x220D);
    // The same bytes in odd pieces at odd addresses.
    uint8_t odd[16];
    memcpy(odd + 1, data.data(), 8);
    const KRPIECE split1[] = {{odd + 1, 1}, {odd + 2, 3}, {odd + 5, 4}};
    const KRPIECE split2[] = {{odd + 1, 3}, {odd + 4, 5}};
    const KRPIECE split3[] = {{odd + 1, 0}, {odd + 1, 7}, {odd + 8, 1}, {odd + 9, 0}};
    EXPECT_EQ(KrInCksumV(split1, 3), 0x220D);
    EXPECT_EQ(KrInCksumV(split2, 2), 0x220D);
    EXPECT_EQ(KrInCksumV(split3, 4), 0x220D);
    EXPECT_EQ(KrInCksum(odd + 1, 8), 0x220D);
}

TEST(Checksum, OddLengthsPadWithZeroAndAStoredChecksumSumsToZero) {
    struct Case {
        const char* bytes;
        uint16_t sum;
    } cases[] = {
        {"", 0xFFFF},
        {"01", 0xFEFF},
        {"00 01 F2", 0x0DFE},
        {"FF FF", 0x0000},
        {"12 34 56 78", 0x9753},
    };
    for (const Case& c : cases) {
        Bytes data = Hex(c.bytes);
        EXPECT_EQ(KrInCksum(data.data(), (uint32_t)data.size()), c.sum) << c.bytes;
        if (data.size() % 2 == 0) {
            data.push_back((uint8_t)(c.sum >> 8));
            data.push_back((uint8_t)c.sum);
            EXPECT_EQ(KrInCksum(data.data(), (uint32_t)data.size()), 0) << c.bytes;
        }
    }
}

}  // namespace
