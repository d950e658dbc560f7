// Session keys: the change-key and ack messages against bytes written out by hand from their
// layout (header form, payload words, key union, pad, checksum trailer), the receive checks of
// those messages (short, damaged, undecodable), session crypt handles by key type, and a
// session's list of data handles: references, retirement and the receive search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_req.h"
#include "krrq_sess.h"
#include "test_machine.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;
using kx::ToHex;

KRCRYPT_KEY Key(uint32_t type, uint8_t first) {
    KRCRYPT_KEY key = {type, {}};
    for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(first + i);
    return key;
}

KRCRYPT_HNDL* LowCrypt(uint32_t keyType) {
    KRCRYPT_HNDL* h = crypt_alloc(0xFFFFFFFF);
    const KRCRYPT_KEY key = Key(keyType, 0xA0);
    crypt_set_key(h, &key, 0);
    return h;
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        KrHeapFailAfter(-1);
        ASSERT_EQ(KrReqModuleInit(), 0);
        ASSERT_EQ(KrReqCryptHndlHeapInit(), 0);
    }
    void TearDown() override {
        EXPECT_EQ(KrReqCryptHndlCount(), 0u) << "no crypt handle outlives its test";
        EXPECT_EQ(KrReqMsgCount(), 0u) << "no message buffer outlives its test";
        KrReqCryptHndlHeapDestroy();
        KrReqModuleCleanup();
    }
    Bytes Build(KRCRYPT_HNDL* control, uint32_t id, uint32_t nonce, uint32_t first, const KRCRYPT_KEY& key, int ack) {
        const uint8_t pair[8] = {(uint8_t)(nonce >> 24), (uint8_t)(nonce >> 16), (uint8_t)(nonce >> 8), (uint8_t)nonce,
                                 (uint8_t)(first >> 24), (uint8_t)(first >> 16), (uint8_t)(first >> 8), (uint8_t)first};
        uint8_t* message = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(KrReqCTChkeyMsgAlloc(0x1234, control, id, nonce, &key, pair, &message, &length, ack), 0);
        Bytes out(message, message + length);
        if (message) KrReqMsgFree(message);
        return out;
    }
};

// A received message as the mux hands it over: the header unpacked, the payload at the start of
// the body (control headers have no cipher-text part), followed by the pad and the trailer.
int Read(KRCRYPT_HNDL* control, const Bytes& message, KRREQ_CHKEY* out) {
    KRHDR h{};
    if (KrHdrUnpack(message.data(), &h, 1) != 0) return -1;
    const uint32_t headerLength = (uint32_t)KrHdrPackedLen(message[0]);
    return KrReqChkeyRead(control, out->nonce, &h, message.data() + headerLength, h.length, out);
}

// ---- the messages, byte by byte ----

struct LayoutCase {
    const char* name;
    uint32_t controlType; // the control key's type
    int ack;
    uint32_t id, nonce, first;
    KRCRYPT_KEY key;
    const char* bytes;
};

const LayoutCase kLayouts[] = {
    // Form D header {1110, id 11 bits, pad 2 bits, length 15 bits} {code 16 bits}; nonce; first
    // sequence; key union (type, then the PAD key as two 32-bit seeds read little-endian); the
    // checksum that makes the message's ones'-complement sum zero, big-endian.
    {"set, PAD key", KRCRYPT_KEY_NONE, 0, 5, 0, 0x12345, Key(KRCRYPT_KEY_PAD, 0x01),
     "E0 0A 00 14  00 07"
     "00 00 00 00  00 01 23 45"
     "00 00 00 03  04 03 02 01  08 07 06 05"
     "E8 80"},
    // The ack sends a key union of the same type with every key byte zero.
    {"ack, PAD key", KRCRYPT_KEY_NONE, 1, 5, 1, 0x10, Key(KRCRYPT_KEY_PAD, 0x01),
     "E0 0A 00 14  00 08"
     "00 00 00 01  00 00 00 10"
     "00 00 00 03  00 00 00 00  00 00 00 00"
     "1F C5"},
    {"ack, no key", KRCRYPT_KEY_NONE, 1, 5, 1, 0x10, Key(KRCRYPT_KEY_NONE, 0),
     "E0 0A 00 0C  00 08"
     "00 00 00 01  00 00 00 10"
     "00 00 00 01"
     "1F CF"},
    // Under an IDEA control key the message is padded to whole 8-byte blocks: 44 payload bytes,
    // 2 pad bytes (pad field 2), the trailer. The IDEA key travels as eight 16-bit words read
    // little-endian from its bytes, each in a 32-bit XDR unit.
    {"set, IDEA key under IDEA", KRCRYPT_KEY_IDEA, 0, 5, 2, 0x40, Key(KRCRYPT_KEY_IDEA, 0x10),
     "E0 0B 00 2C  00 07"
     "00 00 00 02  00 00 00 40"
     "00 00 00 02  00 00 11 10  00 00 13 12  00 00 15 14  00 00 17 16"
     "             00 00 19 18  00 00 1B 1A  00 00 1D 1C  00 00 1F 1E"
     "00 00"
     "5E C4"},
};

TEST_F(Keys, ChangeKeyMessagesAreLaidOutByteForByte) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.name);
        KRCRYPT_HNDL* control = LowCrypt(c.controlType);
        const Bytes expected = Hex(c.bytes);
        EXPECT_EQ(ToHex(Build(control, c.id, c.nonce, c.first, c.key, c.ack)), ToHex(expected));
        // What the hand-written bytes say when received.
        KRREQ_CHKEY got{};
        got.nonce = c.nonce; // the receiver's position
        ASSERT_EQ(Read(control, expected, &got), KRREQ_CHKEY_OK);
        EXPECT_EQ(got.nonce, c.nonce);
        EXPECT_EQ(got.firstSeq, c.first);
        EXPECT_EQ(got.key.type, c.key.type);
        for (int i = 0; i < (c.key.type == KRCRYPT_KEY_IDEA ? 16 : c.key.type == KRCRYPT_KEY_PAD ? 8 : 0); ++i)
            EXPECT_EQ(got.key.key[i], c.ack ? 0 : c.key.key[i]) << "key byte " << i;
        crypt_free(control);
    }
}

TEST_F(Keys, KeyUnionLengthsByType) {
    EXPECT_EQ(KrReqKeyUnionLen(KRCRYPT_KEY_NONE), 4u);
    EXPECT_EQ(KrReqKeyUnionLen(KRCRYPT_KEY_IDEA), 36u);
    EXPECT_EQ(KrReqKeyUnionLen(KRCRYPT_KEY_PAD), 12u);
    EXPECT_EQ(KrReqKeyUnionLen(7), 0u);
    KRCRYPT_HNDL* control = LowCrypt(KRCRYPT_KEY_NONE);
    for (uint32_t type : {KRCRYPT_KEY_NONE, KRCRYPT_KEY_IDEA, KRCRYPT_KEY_PAD}) {
        const Bytes m = Build(control, 1, 0, 0, Key(type, 1), 0);
        EXPECT_EQ(m.size(), 6 + 8 + KrReqKeyUnionLen(type) + 2) << "key type " << type;
    }
    crypt_free(control);
}

// ---- receive checks ----

struct DamageCase {
    const char* name;
    void (*damage)(Bytes& message);
    int expected;
};

const DamageCase kDamage[] = {
    {"intact", [](Bytes&) {}, KRREQ_CHKEY_OK},
    {"a payload byte changed", [](Bytes& m) { m[9] ^= 0x40; }, KRREQ_CHKEY_BOGUS},
    {"the trailer changed", [](Bytes& m) { m.back() ^= 1; }, KRREQ_CHKEY_BOGUS},
    {"a header byte changed", [](Bytes& m) { m[5] = 0x08; }, KRREQ_CHKEY_BOGUS},
    // Seven payload bytes: the nonce and part of the sequence number.
    {"seven payload bytes",
     [](Bytes& m) {
         m = Hex("E0 0A 00 07 00 07  00 00 00 00 00 00 00  00 00");
         // A checksum that holds, so that only the length is wrong.
         const uint16_t sum = KrInCksum(m.data(), (uint32_t)m.size());
         m[13] = (uint8_t)(sum >> 8);
         m[14] = (uint8_t)sum;
     },
     KRREQ_CHKEY_SHORT},
    // A key union cut after its type word, with a checksum that holds.
    {"key union cut short",
     [](Bytes& m) {
         m = Hex("E0 0A 00 0C 00 07  00 00 00 00 00 00 00 00  00 00 00 02  00 00");
         const uint16_t sum = KrInCksum(m.data(), (uint32_t)m.size());
         m[18] = (uint8_t)(sum >> 8);
         m[19] = (uint8_t)sum;
     },
     KRREQ_CHKEY_UNDECODABLE},
    {"unknown key type",
     [](Bytes& m) {
         m = Hex("E0 0A 00 0C 00 07  00 00 00 00 00 00 00 00  00 00 00 09  00 00");
         const uint16_t sum = KrInCksum(m.data(), (uint32_t)m.size());
         m[18] = (uint8_t)(sum >> 8);
         m[19] = (uint8_t)sum;
     },
     KRREQ_CHKEY_UNDECODABLE},
};

TEST_F(Keys, ReceivedChangeKeyMessagesAreChecked) {
    KRCRYPT_HNDL* control = LowCrypt(KRCRYPT_KEY_NONE);
    const Bytes good = Hex(kLayouts[0].bytes);
    for (const DamageCase& c : kDamage) {
        SCOPED_TRACE(c.name);
        Bytes m = good;
        c.damage(m);
        KRREQ_CHKEY got{};
        EXPECT_EQ(Read(control, m, &got), c.expected);
    }
    crypt_free(control);
}

TEST_F(Keys, AMessageBuiltUnderAnotherControlKeyTypeFailsItsCheck) {
    // Padded for an IDEA control key, read by a session whose control key is plain text: the
    // header it expects has no pad, so the message is refused rather than misread.
    KRCRYPT_HNDL* idea = LowCrypt(KRCRYPT_KEY_IDEA);
    KRCRYPT_HNDL* plain = LowCrypt(KRCRYPT_KEY_NONE);
    const Bytes m = Build(idea, 3, 0, 7, Key(KRCRYPT_KEY_NONE, 0), 0);
    KRREQ_CHKEY got{};
    EXPECT_EQ(Read(plain, m, &got), KRREQ_CHKEY_BOGUS);
    EXPECT_EQ(Read(idea, m, &got), KRREQ_CHKEY_OK);
    crypt_free(idea);
    crypt_free(plain);
}

// ---- handles ----

TEST_F(Keys, HandlesByKeyType) {
    struct {
        uint32_t type;
        uint32_t blockSize;
    } const cases[] = {{KRCRYPT_KEY_NONE, 1}, {KRCRYPT_KEY_IDEA, 8}, {KRCRYPT_KEY_PAD, 1}};
    for (const auto& c : cases) {
        const KRCRYPT_KEY key = Key(c.type, 0x30);
        KRREQ_CRYPT_HNDL* h = KrReqCryptHndlAlloc(&key);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->state, (uint32_t)KRREQ_CRYPT_NEW);
        EXPECT_EQ(h->blockSize, c.blockSize);
        EXPECT_EQ(crypt_block_size(h->crypt), c.blockSize);
        KRCRYPT_KEY back{};
        ASSERT_TRUE(crypt_get_key(h->crypt, &back));
        EXPECT_EQ(back.type, c.type);
        KrReqCryptHndlFree(h);
    }
    for (uint32_t bad : {0u, 4u, 0xFFFFFFFFu}) {
        const KRCRYPT_KEY key = {bad, {}};
        KrErrorSet(0);
        EXPECT_EQ(KrReqCryptHndlAlloc(&key), nullptr) << bad;
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_MEMORY) << bad;
    }
    const KRCRYPT_KEY none = Key(KRCRYPT_KEY_NONE, 0);
    KrHeapFailAfter(0);
    EXPECT_EQ(KrReqCryptHndlAlloc(&none), nullptr);
    KrHeapFailAfter(-1);
    EXPECT_EQ(KrReqCryptHndlCount(), 0u);
}

// ---- a session's data handles ----

class KeyList : public Keys {
protected:
    void SetUp() override {
        Keys::SetUp();
        session_ = static_cast<KRSESS_HNDL*>(calloc(1, sizeof(KRSESS_HNDL)));
        KrLockInit(&session_->lock, 0);
    }
    void TearDown() override {
        while (KRREQ_CRYPT_HNDL* h = session_->dataCrypt) {
            KrSessCryptRemoveNL(session_, h);
            KrReqCryptHndlFree(h);
        }
        KrLockDestroy(&session_->lock);
        free(session_);
        Keys::TearDown();
    }
    // A handle at the head of the list in `state`, held by the list.
    KRREQ_CRYPT_HNDL* Push(uint32_t state, uint32_t first, uint32_t last = 0) {
        const KRCRYPT_KEY key = Key(KRCRYPT_KEY_PAD, (uint8_t)first);
        KRREQ_CRYPT_HNDL* h = KrReqCryptHndlAlloc(&key);
        h->state = state;
        h->firstSeq = first;
        h->lastSeq = last;
        h->references = state == KRREQ_CRYPT_RETIRED ? 0 : 1;
        KrSessCryptInsertNL(session_, h);
        return h;
    }
    std::vector<KRREQ_CRYPT_HNDL*> Candidates(uint32_t sequence, uint32_t reference) {
        std::vector<KRREQ_CRYPT_HNDL*> out;
        for (KRREQ_CRYPT_HNDL* h = KrSessCryptNextCandidateNL(session_, nullptr, sequence, reference); h;
             h = KrSessCryptNextCandidateNL(session_, h, sequence, reference))
            out.push_back(h);
        return out;
    }
    KRSESS_HNDL* session_ = nullptr;
};

TEST_F(KeyList, NewestFirstAndRemoval) {
    KRREQ_CRYPT_HNDL* a = Push(KRREQ_CRYPT_ACTIVE, 0);
    KRREQ_CRYPT_HNDL* b = Push(KRREQ_CRYPT_ACTIVE, 10);
    KRREQ_CRYPT_HNDL* c = Push(KRREQ_CRYPT_ACTIVE, 20);
    EXPECT_EQ(KrSessCryptHead(session_), c);
    EXPECT_EQ(KrSessCryptCount(session_), 3u);
    EXPECT_EQ(c->next, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->next, c);
    KrSessCryptRemoveNL(session_, c); // the head: the next one takes its place
    EXPECT_EQ(KrSessCryptHead(session_), b);
    EXPECT_EQ(c->inList, 0u);
    KrSessCryptRemoveNL(session_, c); // not in the list: nothing happens
    EXPECT_EQ(KrSessCryptCount(session_), 2u);
    KrSessCryptRemoveNL(session_, a);
    KrSessCryptRemoveNL(session_, b);
    EXPECT_EQ(KrSessCryptHead(session_), nullptr);
    EXPECT_EQ(KrSessCryptCount(session_), 0u);
    for (KRREQ_CRYPT_HNDL* h : {a, b, c}) KrReqCryptHndlFree(h);
}

TEST_F(KeyList, ARetiredHandleGoesWithItsLastReference) {
    KRREQ_CRYPT_HNDL* old = Push(KRREQ_CRYPT_ACTIVE, 0);
    ASSERT_EQ(KrReqCryptRefNL(old), 1); // a request built under it
    KRREQ_CRYPT_HNDL* fresh = Push(KRREQ_CRYPT_ACTIVE, 50);
    // An active handle is never destroyed, whatever its count.
    EXPECT_EQ(KrSessCryptDestroyNL(session_, fresh), 0);
    EXPECT_EQ(KrSessCryptRetireNL(session_, old, 49), 0) << "the request still holds it";
    EXPECT_EQ(old->state, (uint32_t)KRREQ_CRYPT_RETIRED);
    EXPECT_EQ(old->lastSeq, 49u);
    EXPECT_EQ(KrSessCryptCount(session_), 2u);
    EXPECT_EQ(KrSessCryptDerefNL(session_, old), 1) << "the request's release frees it";
    EXPECT_EQ(KrSessCryptCount(session_), 1u);
    EXPECT_EQ(KrSessCryptHead(session_), fresh);
    EXPECT_EQ(KrReqCryptHndlCount(), 1u);
}

TEST_F(KeyList, ReceiveSearchOrder) {
    // Oldest to newest: retired up to 99, retired up to 199, active from 200, a change waiting.
    KRREQ_CRYPT_HNDL* r1 = Push(KRREQ_CRYPT_RETIRED, 0, 99);
    KRREQ_CRYPT_HNDL* r2 = Push(KRREQ_CRYPT_RETIRED, 100, 199);
    KRREQ_CRYPT_HNDL* active = Push(KRREQ_CRYPT_ACTIVE, 200);
    Push(KRREQ_CRYPT_WAITING, 300);
    struct {
        uint32_t sequence;
        std::vector<KRREQ_CRYPT_HNDL*> expected;
    } const cases[] = {
        {250, {active}},         // only the active one covers new numbers
        {150, {active, r2}},     // the active one first, then the retired key of its time
        {50, {active, r2, r1}},  // every retired key that lasted until then
        {199, {active, r2}},
        {200, {active}},
    };
    for (const auto& c : cases) EXPECT_EQ(Candidates(c.sequence, 260), c.expected) << "sequence " << c.sequence;
    // A retired handle whose last number lies outside the window of the newest received one is
    // not compared at all.
    EXPECT_EQ(Candidates(50, 100000), std::vector<KRREQ_CRYPT_HNDL*>{active});
}

TEST_F(KeyList, OnlyWaitingHandlesFindNothing) {
    Push(KRREQ_CRYPT_WAITING, 0);
    EXPECT_TRUE(Candidates(0, 0).empty());
}

}  // namespace
