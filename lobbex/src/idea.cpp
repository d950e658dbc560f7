// The IDEA block cipher: key schedule, subkey inversion, the eight rounds with the output
// transform, single blocks, 16-byte key blocks and cipher block chaining over byte buffers.
#include "idea.h"

#include <cstring>

#include "krlog.h"

namespace {

constexpr char kKrModule[] = "idea";
constexpr int kRounds = 8;

uint16_t AddInv(uint16_t a) { return (uint16_t)(0x10000 - a); }

// One block through the rounds with a schedule (encryption or inverted).
void Cipher(const uint16_t* z, const uint16_t in[4], uint16_t out[4]) {
    uint16_t x1 = in[0], x2 = in[1], x3 = in[2], x4 = in[3];
    for (int round = 0; round < kRounds; ++round, z += 6) {
        x1 = KrIdeaMul(x1, z[0]);
        x2 = (uint16_t)(x2 + z[1]);
        x3 = (uint16_t)(x3 + z[2]);
        x4 = KrIdeaMul(x4, z[3]);
        uint16_t t0 = KrIdeaMul((uint16_t)(x1 ^ x3), z[4]);
        const uint16_t t1 = KrIdeaMul((uint16_t)((x2 ^ x4) + t0), z[5]);
        t0 = (uint16_t)(t0 + t1);
        x1 ^= t1;
        x4 ^= t0;
        const uint16_t middle = (uint16_t)(x2 ^ t0);
        x2 = (uint16_t)(x3 ^ t1);
        x3 = middle;
    }
    // The output transform undoes the last round's swap of the middle words.
    out[0] = KrIdeaMul(x1, z[0]);
    out[1] = (uint16_t)(x3 + z[1]);
    out[2] = (uint16_t)(x2 + z[2]);
    out[3] = KrIdeaMul(x4, z[3]);
}

void WordsToBytes(const uint16_t words[4], uint8_t bytes[8]) {
    for (int i = 0; i < 4; ++i) {
        bytes[2 * i] = (uint8_t)(words[i] >> 8);
        bytes[2 * i + 1] = (uint8_t)words[i];
    }
}

void BytesToWords(const uint8_t bytes[8], uint16_t words[4]) {
    for (int i = 0; i < 4; ++i) words[i] = (uint16_t)(bytes[2 * i] << 8 | bytes[2 * i + 1]);
}

}  // namespace

uint16_t KrIdeaMul(uint16_t a, uint16_t b) {
    // 0 stands for 65536, which is -1 modulo 65537.
    if (a == 0) return (uint16_t)(65537u - b);
    if (b == 0) return (uint16_t)(65537u - a);
    const uint32_t product = (uint32_t)a * b;
    const uint32_t low = product & 0xFFFF, high = product >> 16;
    // 65536 x high + low = low - high (mod 65537).
    return (uint16_t)(low - high + (low < high ? 1u : 0u));
}

uint16_t KrIdeaMulInv(uint16_t a) {
    // a^(65537 - 2) modulo 65537, with 0 as 65536 (its own inverse) and 1 as 1.
    uint64_t base = a ? a : 65536u, result = 1;
    for (uint32_t e = 65535; e; e >>= 1) {
        if (e & 1) result = result * base % 65537u;
        base = base * base % 65537u;
    }
    return (uint16_t)result; // 65536 becomes 0
}

void KrIdeaExpandKey(const uint16_t key[8], uint16_t subkeys[KR_IDEA_SUBKEYS]) {
    // The first eight subkeys are the key; each next eight come from the 128-bit key turned left
    // by 25 bits.
    uint16_t k[8];
    memcpy(k, key, sizeof k);
    for (int i = 0; i < KR_IDEA_SUBKEYS; ++i) {
        if (i && i % 8 == 0) {
            uint16_t turned[8];
            for (int j = 0; j < 8; ++j) {
                const uint16_t a = k[(j + 1) % 8], b = k[(j + 2) % 8];
                turned[j] = (uint16_t)(a << 9 | b >> 7);
            }
            memcpy(k, turned, sizeof k);
        }
        subkeys[i] = k[i % 8];
    }
}

void KrIdeaInvertKey(const uint16_t z[KR_IDEA_SUBKEYS], uint16_t d[KR_IDEA_SUBKEYS]) {
    // Decryption round r uses the inverses of encryption round 9 - r; the additive keys of the
    // inner rounds change places because the rounds swap the middle words.
    for (int r = 0; r <= kRounds; ++r) {
        const int e = 6 * (kRounds - r);
        const bool outer = r == 0 || r == kRounds;
        d[6 * r] = KrIdeaMulInv(z[e]);
        d[6 * r + 1] = AddInv(z[e + (outer ? 1 : 2)]);
        d[6 * r + 2] = AddInv(z[e + (outer ? 2 : 1)]);
        d[6 * r + 3] = KrIdeaMulInv(z[e + 3]);
        if (r < kRounds) {
            d[6 * r + 4] = z[e - 2];
            d[6 * r + 5] = z[e - 1];
        }
    }
}

void crypt_idea_encrypt_block(const uint16_t key[8], const uint16_t input[4], uint8_t output[8]) {
    uint16_t z[KR_IDEA_SUBKEYS], out[4];
    KrIdeaExpandKey(key, z);
    Cipher(z, input, out);
    WordsToBytes(out, output);
}

void crypt_idea_decrypt_block(const uint16_t key[8], const uint8_t input[8], uint16_t output[4]) {
    uint16_t z[KR_IDEA_SUBKEYS], d[KR_IDEA_SUBKEYS], in[4];
    KrIdeaExpandKey(key, z);
    KrIdeaInvertKey(z, d);
    BytesToWords(input, in);
    Cipher(d, in, output);
}

void crypt_idea_encrypt_key(const uint16_t key[8], const uint16_t input[8], uint8_t output[16]) {
    crypt_idea_encrypt_block(key, input, output);
    crypt_idea_encrypt_block(key, input + 4, output + 8);
}

void crypt_idea_decrypt_key(const uint16_t key[8], const uint8_t input[16], uint16_t output[8]) {
    crypt_idea_decrypt_block(key, input, output);
    crypt_idea_decrypt_block(key, input + 8, output + 4);
}

int crypt_idea_encrypt_bytes(const uint16_t key[8], const uint8_t* input, uint8_t* output, uint32_t length) {
    if (length % 8 != 0) {
        KR_LOG(KrErr, "crypt_idea_encrypt_bytes: buffer size is not multiple of 8 bytes.");
        return 0;
    }
    if (input != output && length) memmove(output, input, length);
    uint16_t z[KR_IDEA_SUBKEYS];
    KrIdeaExpandKey(key, z);
    uint16_t chain[4] = {0, 0, 0, 0};
    for (uint32_t at = 0; at < length; at += 8) {
        uint16_t block[4];
        BytesToWords(output + at, block);
        for (int i = 0; i < 4; ++i) block[i] ^= chain[i];
        Cipher(z, block, chain);
        WordsToBytes(chain, output + at);
    }
    return 1;
}
