// The IDEA cipher (its arithmetic and key schedule worked out by hand from the definition, the
// published test vector, round trips, key blocks and chaining over byte buffers) and the crypt
// handles (keys of the three key types, block sizes, the gathering transform).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "encryption.h"
#include "idea.h"
#include "krerrno.h"
#include "krlog.h"
#include "test_machine.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;

const uint16_t kKey[8] = {1, 2, 3, 4, 5, 6, 7, 8};

// ---- IDEA ----

TEST(Idea, MultiplicationModulo65537WithZeroFor65536) {
    struct Case {
        uint16_t a, b, product;
    } cases[] = {
        {0, 0, 1},           // 65536 x 65536 = (-1)(-1)
        {0, 1, 0},           // 65536
        {0, 2, 0xFFFF},      // -2 = 65535
        {2, 3, 6},           //
        {0x8000, 2, 0},      // 65536
        {0xFFFF, 0xFFFF, 4}, // (-2)(-2)
        {0x0100, 0x0100, 0}, // 65536
        {0x0101, 0x0100, 255},   // 257 x 256 = 65792 = 65537 + 255
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrIdeaMul(c.a, c.b), c.product) << c.a << " x " << c.b;
        EXPECT_EQ(KrIdeaMul(c.b, c.a), c.product) << c.b << " x " << c.a;
    }
}

TEST(Idea, InversesIncludingTheSpecialCases) {
    struct Case {
        uint16_t a, inverse;
    } cases[] = {
        {0, 0},           // 65536 is its own inverse
        {1, 1},           //
        {2, 32769},       // 2 x 32769 = 65538
        {3, 21846},       // 3 x 21846 = 65538
        {0xFFFF, 0x8000}, // (-2)(32768) = -65536 = 1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrIdeaMulInv(c.a), c.inverse) << c.a;
        EXPECT_EQ(KrIdeaMul(c.a, c.inverse), 1) << c.a;
    }
    for (uint32_t a = 0; a <= 0xFFFF; a += 97) EXPECT_EQ(KrIdeaMul((uint16_t)a, KrIdeaMulInv((uint16_t)a)), 1) << a;
}

TEST(Idea, KeyScheduleTurnsTheKeyBy25Bits) {
    // Subkeys 9-16 are the key turned left by 25 bits: word j = k[j+1] << 9 | k[j+2] >> 7.
    // 0002 << 9 = 0400 and 0003 >> 7 = 0, ..., 0008 << 9 = 1000 | 0001 >> 7, 0001 << 9 = 0200.
    // Subkeys 17-24 turn that again: 0600 << 9 drops out, leaving 0800 >> 7 = 0010, and so on.
    const uint16_t expected[24] = {0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007, 0x0008,
                                   0x0400, 0x0600, 0x0800, 0x0A00, 0x0C00, 0x0E00, 0x1000, 0x0200,
                                   0x0010, 0x0014, 0x0018, 0x001C, 0x0020, 0x0004, 0x0008, 0x000C};
    uint16_t subkeys[KR_IDEA_SUBKEYS];
    KrIdeaExpandKey(kKey, subkeys);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(subkeys[i], expected[i]) << "subkey " << i + 1;
    // The inverted schedule begins with the inverses of the output transform's keys.
    uint16_t inverted[KR_IDEA_SUBKEYS];
    KrIdeaInvertKey(subkeys, inverted);
    EXPECT_EQ(KrIdeaMul(inverted[0], subkeys[48]), 1);
    EXPECT_EQ((uint16_t)(inverted[1] + subkeys[49]), 0);
    EXPECT_EQ((uint16_t)(inverted[2] + subkeys[50]), 0);
    EXPECT_EQ(KrIdeaMul(inverted[3], subkeys[51]), 1);
    EXPECT_EQ(inverted[4], subkeys[46]);
    EXPECT_EQ(inverted[5], subkeys[47]);
    EXPECT_EQ(KrIdeaMul(inverted[48], subkeys[0]), 1);
}

TEST(Idea, ThePublishedTestVector) {
    const uint16_t plain[4] = {0x0000, 0x0001, 0x0002, 0x0003};
    uint8_t cipher[8];
    crypt_idea_encrypt_block(kKey, plain, cipher);
    EXPECT_EQ(kx::ToHex(Bytes(cipher, cipher + 8)), "11 FB ED 2B 01 98 6D E5");
    uint16_t back[4];
    crypt_idea_decrypt_block(kKey, cipher, back);
    EXPECT_EQ(memcmp(back, plain, sizeof back), 0);
}

TEST(Idea, DecryptionUndoesEncryptionOnRandomKeysAndBlocks) {
    std::mt19937 random(0x1DEA);
    for (int round = 0; round < 500; ++round) {
        uint16_t key[8], plain[4], back[4];
        for (uint16_t& w : key) w = (uint16_t)random();
        for (uint16_t& w : plain) w = (uint16_t)random();
        if (round < 8) key[round] = 0; // keys holding the special 0 (65536)
        if (round >= 8 && round < 12) plain[round - 8] = 0;
        uint8_t cipher[9];
        cipher[8] = 0xA5;
        crypt_idea_encrypt_block(key, plain, cipher);
        EXPECT_EQ(cipher[8], 0xA5) << "8 bytes out, no more";
        crypt_idea_decrypt_block(key, cipher, back);
        ASSERT_EQ(memcmp(back, plain, sizeof back), 0) << "round " << round;
    }
}

TEST(Idea, KeyBlocksAreTwoIndependentBlocks) {
    const uint16_t block[8] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0000, 0x0001, 0x0002, 0x0003};
    uint8_t whole[17];
    whole[16] = 0x5A;
    crypt_idea_encrypt_key(kKey, block, whole);
    EXPECT_EQ(whole[16], 0x5A);
    uint8_t first[8], second[8];
    crypt_idea_encrypt_block(kKey, block, first);
    crypt_idea_encrypt_block(kKey, block + 4, second);
    EXPECT_EQ(memcmp(whole, first, 8), 0);
    EXPECT_EQ(memcmp(whole + 8, second, 8), 0);
    EXPECT_EQ(memcmp(whole, whole + 8, 8), 0) << "no chaining between the halves";
    uint16_t back[8];
    crypt_idea_decrypt_key(kKey, whole, back);
    EXPECT_EQ(memcmp(back, block, sizeof back), 0);
}

TEST(Idea, ByteBuffersChainFromAZeroBlock) {
    const Bytes plain = Hex("00 00 00 01 00 02 00 03  00 00 00 01 00 02 00 03  FF EE DD CC BB AA 99 88");
    Bytes out(plain.size() + 4, 0xC3);
    ASSERT_EQ(crypt_encrypt_bytes(kKey, plain.data(), out.data(), (uint32_t)plain.size()), 1);
    EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xC3)) << "nothing past the buffer's length";
    out.resize(plain.size());
    // The first block against a zero block is the plain block cipher: the published vector.
    EXPECT_EQ(kx::ToHex(Bytes(out.begin(), out.begin() + 8)), "11 FB ED 2B 01 98 6D E5");
    // Each later block is encrypted after the previous cipher block is laid over it.
    for (size_t at = 8; at < plain.size(); at += 8) {
        uint16_t words[4];
        for (int i = 0; i < 4; ++i)
            words[i] = (uint16_t)((plain[at + 2 * i] ^ out[at - 8 + 2 * i]) << 8 |
                                  (plain[at + 2 * i + 1] ^ out[at - 8 + 2 * i + 1]));
        uint8_t expected[8];
        crypt_idea_encrypt_block(kKey, words, expected);
        EXPECT_EQ(memcmp(out.data() + at, expected, 8), 0) << "block at " << at;
    }
    EXPECT_NE(memcmp(out.data(), out.data() + 8, 8), 0) << "equal plain blocks differ once chained";
    // In place gives the same.
    Bytes inPlace = plain;
    ASSERT_EQ(crypt_idea_encrypt_bytes(kKey, inPlace.data(), inPlace.data(), (uint32_t)inPlace.size()), 1);
    EXPECT_EQ(inPlace, out);
}

TEST(Idea, ByteBuffersNotOfWholeBlocksAreRefusedUntouched) {
    KrErrorInit();
    const uint32_t saved = KrGetTrace();
    const std::string dir = kt::FreshTraceDir();
    KrSetTrace(0x00FF0000);
    const Bytes plain(12, 0x42);
    Bytes out(12, 0x99);
    EXPECT_EQ(crypt_encrypt_bytes(kKey, plain.data(), out.data(), 12), 0);
    EXPECT_EQ(out, Bytes(12, 0x99));
    KrTraceClose();
    EXPECT_NE(kt::ReadFile(dir + "/krtrace.txt").find("crypt_idea_encrypt_bytes: buffer size is not multiple of 8 bytes."),
              std::string::npos);
    KrSetTrace(saved);
    EXPECT_EQ(crypt_encrypt_bytes(kKey, plain.data(), out.data(), 0), 1) << "no blocks is whole blocks";
}

// ---- crypt handles ----

KRCRYPT_KEY Key(uint32_t type, uint8_t first) {
    KRCRYPT_KEY key = {type, {}};
    for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(first + i);
    return key;
}

TEST(CryptHandle, StartsFromTheInitialKeyWithAWindowOfAtLeastTwo) {
    EXPECT_EQ(crypt_alloc(0), nullptr);
    EXPECT_EQ(crypt_alloc(1), nullptr);
    KRCRYPT_HNDL* h = crypt_alloc(2);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->keyType, 0u);
    EXPECT_EQ(h->mode, 3u);
    EXPECT_EQ(h->window, 2u);
    EXPECT_EQ(memcmp(h->key, g_KrCryptInitialKey, 16), 0);
    EXPECT_EQ(crypt_block_size(h), 1u);
    crypt_free(h);
    KRCRYPT_HNDL* wide = crypt_alloc(0xFFFFFFFF);
    ASSERT_NE(wide, nullptr);
    crypt_free(wide);
}

TEST(CryptHandle, KeysOfEachTypeAndTheBlockSizeTheyGive) {
    KRCRYPT_HNDL* h = crypt_alloc(16);
    KRCRYPT_KEY first = Key(KRCRYPT_KEY_IDEA, 0x10), second = Key(KRCRYPT_KEY_IDEA, 0x40);
    ASSERT_EQ(crypt_set_key(h, &first, 5), 1);
    EXPECT_EQ(h->mode, 1u);
    EXPECT_EQ(crypt_block_size(h), 8u);
    ASSERT_EQ(crypt_set_key(h, &second, 9), 1);
    EXPECT_EQ(memcmp(h->key, second.key, 16), 0);
    EXPECT_EQ(memcmp(h->previousKey, first.key, 16), 0) << "setting IDEA twice keeps the first as previous";
    EXPECT_EQ(h->keySequence, 9u);
    KRCRYPT_KEY got = {};
    ASSERT_EQ(crypt_get_key(h, &got), 1);
    EXPECT_EQ(got.type, (uint32_t)KRCRYPT_KEY_IDEA);
    EXPECT_EQ(memcmp(got.key, second.key, 16), 0);

    KRCRYPT_KEY pad = Key(KRCRYPT_KEY_PAD, 0x80);
    ASSERT_EQ(crypt_set_key(h, &pad, 11), 1);
    EXPECT_EQ(crypt_block_size(h), 1u);
    EXPECT_EQ(h->padSequence, 11u);
    EXPECT_EQ(memcmp(h->key, second.key, 16), 0) << "the IDEA key stays";
    memset(got.key, 0xEE, sizeof got.key);
    ASSERT_EQ(crypt_get_key(h, &got), 1);
    EXPECT_EQ(got.type, (uint32_t)KRCRYPT_KEY_PAD);
    EXPECT_EQ(kx::ToHex(Bytes(got.key, got.key + 8)), "80 81 82 83 84 85 86 87");
    EXPECT_EQ(got.key[8], 0xEE) << "8 bytes, no more";
    crypt_free(h);

    KRCRYPT_HNDL* none = crypt_alloc(2);
    KRCRYPT_KEY plain = {KRCRYPT_KEY_NONE, {}};
    ASSERT_EQ(crypt_set_key(none, &plain, 0), 1);
    EXPECT_EQ(none->mode, 1u);
    EXPECT_EQ(crypt_block_size(none), 1u);
    got = Key(0, 0x33);
    ASSERT_EQ(crypt_get_key(none, &got), 1);
    EXPECT_EQ(got.type, (uint32_t)KRCRYPT_KEY_NONE);
    EXPECT_EQ(got.key[0], 0x33) << "no key bytes";
    crypt_free(none);
}

TEST(CryptHandle, InvalidKeyTypesChangeNothingAndAreLogged) {
    KrErrorInit();
    const uint32_t saved = KrGetTrace();
    const std::string dir = kt::FreshTraceDir();
    KrSetTrace(0x00FF0000);
    KRCRYPT_HNDL* h = crypt_alloc(4);
    KRCRYPT_KEY good = Key(KRCRYPT_KEY_IDEA, 1);
    crypt_set_key(h, &good, 3);
    const KRCRYPT_HNDL before = *h;
    for (uint32_t type : {0u, 4u, 0xFFFFFFFFu}) {
        KRCRYPT_KEY bad = Key(type, 0x70);
        EXPECT_EQ(crypt_set_key(h, &bad, 99), 0) << type;
        EXPECT_EQ(memcmp(&before, h, sizeof before), 0) << type;
    }
    KRCRYPT_HNDL* fresh = crypt_alloc(2);
    KRCRYPT_KEY out = Key(7, 0);
    EXPECT_EQ(crypt_get_key(fresh, &out), 0) << "no key was ever set";
    KrTraceClose();
    const std::string trace = kt::ReadFile(dir + "/krtrace.txt");
    EXPECT_NE(trace.find("]: Invalid key type 4"), std::string::npos);
    EXPECT_NE(trace.find("]: Invalid key type 4294967295"), std::string::npos);
    // The getter's line names the setter and gives the type passed in.
    EXPECT_NE(trace.find("crypt_set_key[0x"), std::string::npos);
    EXPECT_NE(trace.find("]: Invalid key type 7"), std::string::npos);
    crypt_free(h);
    crypt_free(fresh);
    KrSetTrace(saved);
}

TEST(CryptHandle, EncryptGathersThePiecesAndNeverWritesPastTheOutput) {
    KRCRYPT_HNDL* h = crypt_alloc(2);
    const Bytes a = Hex("01 02 03"), b = Hex("04"), c = Hex("05 06");
    const KRPIECE pieces[] = {{a.data(), 3}, {b.data(), 1}, {nullptr, 0}, {c.data(), 2}};
    for (uint32_t key : {KRCRYPT_KEY_NONE, KRCRYPT_KEY_IDEA, KRCRYPT_KEY_PAD}) {
        KRCRYPT_KEY k = Key(key, 9);
        crypt_set_key(h, &k, 0);
        uint8_t out[8];
        memset(out, 0xEE, sizeof out);
        ASSERT_EQ(crypt_encrypt(h, 1234, pieces, 4, out, 6), 1);
        EXPECT_EQ(kx::ToHex(Bytes(out, out + 8)), "01 02 03 04 05 06 EE EE") << "unchanged under key type " << key;
        memset(out, 0xEE, sizeof out);
        EXPECT_EQ(crypt_encrypt(h, 1234, pieces, 4, out, 5), 0) << "six bytes do not fit in five";
        EXPECT_EQ(kx::ToHex(Bytes(out, out + 8)), "EE EE EE EE EE EE EE EE") << "nothing written";
    }
    crypt_free(h);
}

TEST(CryptHandle, DecryptGathersUntilAPieceDoesNotFit) {
    KRCRYPT_HNDL* h = crypt_alloc(2);
    const Bytes a = Hex("01 02 03"), b = Hex("04 05 06");
    const KRPIECE pieces[] = {{a.data(), 3}, {b.data(), 3}};
    uint8_t out[8];
    memset(out, 0, sizeof out);
    EXPECT_EQ(crypt_decrypt(h, 0, pieces, 2, out, 8), 6u);
    memset(out, 0, sizeof out);
    EXPECT_EQ(crypt_decrypt(h, 0, pieces, 2, out, 5), 0u);
    EXPECT_EQ(kx::ToHex(Bytes(out, out + 5)), "01 02 03 00 00") << "the pieces before stay copied";
    // In place, as the control messages are decrypted.
    uint8_t region[4] = {9, 8, 7, 6};
    const KRPIECE self = {region, 4};
    EXPECT_EQ(crypt_decrypt(h, 0, &self, 1, region, 4), 4u);
    EXPECT_EQ(region[3], 6);
    crypt_free(h);
}

}  // namespace
