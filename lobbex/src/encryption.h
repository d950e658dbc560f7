// Crypt handles (module "encryption"): one key of a session (its control key or one of its data
// keys) of key type 1 (none), 2 (IDEA, 16 bytes) or 3 (PAD, 8 bytes). The message transform
// gathers the pieces of a message's encrypted region unchanged for every key type; the key type
// decides only the cipher block size that the header pads to (crypt_block_size) and which key
// bytes travel in the key-change messages. Both ends of a session must change together should a
// real transform ever be switched on.
#pragma once
#include <cstdint>

#include "krpiece.h"

enum : uint32_t { KRCRYPT_KEY_UNSET = 0, KRCRYPT_KEY_NONE = 1, KRCRYPT_KEY_IDEA = 2, KRCRYPT_KEY_PAD = 3 };

// A key record: the key type, then 16 key bytes for IDEA or 8 for PAD (the rest unused).
struct KRCRYPT_KEY {
    uint32_t type;
    uint8_t key[16];
};

struct KRCRYPT_HNDL {
    uint32_t keyType; // of the key last set; 0 before any
    uint32_t mode;    // 3 at allocation, 1 once a key has been set
    uint32_t window;  // at least 2
    uint8_t key[16];  // current key
    uint8_t previousKey[16];
    uint32_t keySequence; // at which the current key took effect
    uint8_t padKey[8];
    uint32_t padSequence;
};

// The protocol's initial key, which every new handle starts from; both ends share it.
extern const uint8_t g_KrCryptInitialKey[16];

// Null when memory runs out or the window is below 2.
KRCRYPT_HNDL* crypt_alloc(uint32_t window);
void crypt_free(KRCRYPT_HNDL* handle);
// 1 when set; 0 for an invalid key type (logged, nothing changes).
int crypt_set_key(KRCRYPT_HNDL* handle, const KRCRYPT_KEY* key, uint32_t keySequence);
// 1 with the record filled; 0 when the handle holds no key.
int crypt_get_key(KRCRYPT_HNDL* handle, KRCRYPT_KEY* key);
// The cipher block size the header pads to: 8 under IDEA, else 1.
uint32_t crypt_block_size(const KRCRYPT_HNDL* handle);

// Gathers the pieces into `output` at the cipher position `position`. 1, or 0 (nothing written)
// when they do not all fit in `outputLength`.
int crypt_encrypt(KRCRYPT_HNDL* handle, uint32_t position, const KRPIECE* pieces, int count, uint8_t* output,
                  uint32_t outputLength);
// Gathers the pieces into `output`; the bytes gathered, or 0 when a piece is longer than the room
// left (the pieces before it are copied). `output` may be the single piece itself.
uint32_t crypt_decrypt(KRCRYPT_HNDL* handle, uint32_t position, const KRPIECE* pieces, int count, uint8_t* output,
                       uint32_t outputLength);

// IDEA in cipher block chaining over a byte buffer (crypt_idea_encrypt_bytes).
int crypt_encrypt_bytes(const uint16_t key[8], const uint8_t* input, uint8_t* output, uint32_t length);
