// The IDEA block cipher (module "idea"): 128-bit keys, 64-bit blocks, eight rounds and an output
// transform over 52 16-bit subkeys; decryption runs the same rounds with the inverted subkeys.
// Keys are eight 16-bit numbers, as IDEAPlainKey carries them. Plain key material goes in and
// comes out as 16-bit numbers; cipher text is bytes (big-endian 16-bit words).
#pragma once
#include <cstdint>

void crypt_idea_encrypt_block(const uint16_t key[8], const uint16_t input[4], uint8_t output[8]);
void crypt_idea_decrypt_block(const uint16_t key[8], const uint8_t input[8], uint16_t output[4]);
// A 16-byte key block as two independent 8-byte blocks (no chaining between the halves).
void crypt_idea_encrypt_key(const uint16_t key[8], const uint16_t input[8], uint8_t output[16]);
void crypt_idea_decrypt_key(const uint16_t key[8], const uint8_t input[16], uint16_t output[8]);
// Cipher block chaining from an all-zero block; the length must be a multiple of 8, else 0 and
// nothing is written. `input` may equal `output`.
int crypt_idea_encrypt_bytes(const uint16_t key[8], const uint8_t* input, uint8_t* output, uint32_t length);

// The pieces of the cipher, for tests.
constexpr int KR_IDEA_SUBKEYS = 52;
void KrIdeaExpandKey(const uint16_t key[8], uint16_t subkeys[KR_IDEA_SUBKEYS]);
void KrIdeaInvertKey(const uint16_t subkeys[KR_IDEA_SUBKEYS], uint16_t inverted[KR_IDEA_SUBKEYS]);
uint16_t KrIdeaMul(uint16_t a, uint16_t b);   // modulo 65537, 0 standing for 65536
uint16_t KrIdeaMulInv(uint16_t a);            // 0 and 1 are their own inverses
