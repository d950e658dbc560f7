// Voice chat: the speech message header, the speech lock, and the coder state the codec table
// clears when it starts a style.
#pragma once
#include <cstdint>

#include "krevent.h"
#include "lobbex_exports.h"

// Speech message types (the request code on a request session).
enum : uint16_t { KRSPEECH_OPEN = 8192, KRSPEECH_DATA = 8193, KRSPEECH_CLOSE = 8194 };

// The 14-byte little-endian header in front of the data; every message is sent with 6 more bytes
// after the data, so open and close messages are 20 bytes.
constexpr uint32_t KRPHRASE_HDR_SIZE = 14;
constexpr uint32_t KRSPEECH_TRAILER = 6;
constexpr uint32_t KRSPEECH_OPENER = 20; // what a phrase keeps of the message that opened it

struct KRPHRASE_HDR {
    KRADDR sender;
    uint16_t phraseId;
    uint16_t type;
    uint16_t flags;
    uint16_t style;
    uint16_t length;
};

void KrPhraseHdrPack(const KRPHRASE_HDR& h, uint8_t* out);
// False when fewer than 14 bytes are given.
bool KrPhraseHdrUnpack(const uint8_t* in, uint32_t length, KRPHRASE_HDR* h);

// The one speech lock: the play queue, the coder state, the codec table and the statistics.
// Recursive; never held while a message is sent.
KRLOCK* KrSpeechLock(void);
struct KrSpeechLockGuard {
    KrSpeechLockGuard() { KrLockEnter(KrSpeechLock()); }
    ~KrSpeechLockGuard() { KrLockLeave(KrSpeechLock()); }
    KrSpeechLockGuard(const KrSpeechLockGuard&) = delete;
    KrSpeechLockGuard& operator=(const KrSpeechLockGuard&) = delete;
};

// Speech lock held: empties the encoder's frame buffer and the decoder's decoded frame.
void KrSpeechClearCoderState(void);
// The encoder's pending raw bytes (for tests and statistics).
uint32_t KrSpeechEncoderFill(void);

// The request handler of a request session that carries speech: queues each speech request's body
// and completes it without a response.
void KrSpeechReqHandler(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                        KRREQ_HNDL* request);
