// Session keys: the change-key and ack messages against bytes written out by hand from their
// layout (header form, payload words, key union, pad, checksum trailer), the receive checks of
// those messages (short, damaged, undecodable), session crypt handles by key type, a session's
// list of data handles (references, retirement, the receive search), and the data-key change
// between two sessions and against a raw peer over UDP and TCP: repeats, replays, lost acks,
// changes that get no answer and changes started at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_req.h"
#include "krrq_sess.h"
#include "sess_fixture.h"
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

// Replaces the message by the given bytes with a trailer that makes the checksum hold, so that
// only what the bytes say is wrong.
void Replace(Bytes& m, const char* hex) {
    m = Hex(hex);
    const uint16_t sum = KrInCksum(m.data(), (uint32_t)m.size());
    m[m.size() - 2] = (uint8_t)(sum >> 8);
    m[m.size() - 1] = (uint8_t)sum;
}

const DamageCase kDamage[] = {
    {"intact", [](Bytes&) {}, KRREQ_CHKEY_OK},
    {"a payload byte changed", [](Bytes& m) { m[9] ^= 0x40; }, KRREQ_CHKEY_BOGUS},
    {"the trailer changed", [](Bytes& m) { m.back() ^= 1; }, KRREQ_CHKEY_BOGUS},
    {"a header byte changed", [](Bytes& m) { m[5] = 0x08; }, KRREQ_CHKEY_BOGUS},
    // Seven payload bytes: the nonce and part of the sequence number.
    {"seven payload bytes",
     [](Bytes& m) { Replace(m, "E0 0A 00 07 00 07  00 00 00 00 00 00 00  00 00"); },
     KRREQ_CHKEY_SHORT},
    // A key union cut after its type word, with a checksum that holds.
    {"key union cut short",
     [](Bytes& m) { Replace(m, "E0 0A 00 0C 00 07  00 00 00 00 00 00 00 00  00 00 00 02  00 00"); },
     KRREQ_CHKEY_UNDECODABLE},
    {"unknown key type",
     [](Bytes& m) { Replace(m, "E0 0A 00 0C 00 07  00 00 00 00 00 00 00 00  00 00 00 09  00 00"); },
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

// ---- the change between sessions ----

namespace {

using ks::Packet;

constexpr uint32_t kNoAck = 0x10001;

class KeyChange : public ks::Sessions {
protected:
    // The change-key exchange's tries and interval of one session (no public option reaches them).
    static void Exchange(KRSESS_HNDL* s, uint32_t tries, uint32_t intervalMs) {
        KrLockEnter(&s->lock);
        s->options[KRSESS_OPT_CHKEY_TRIES] = tries;
        s->options[KRSESS_OPT_CHKEY_INTERVAL] = intervalMs;
        KrLockLeave(&s->lock);
    }
    static uint32_t Nonce(KRSESS_HNDL* s) {
        KrLockEnter(&s->lock);
        const uint32_t n = s->nonce;
        KrLockLeave(&s->lock);
        return n;
    }
    static KRCRYPT_KEY DataKey(KRSESS_HNDL* s) {
        KRCRYPT_KEY key{};
        EXPECT_EQ(KrSessDataKeyGet(s, &key), 0);
        return key;
    }
    // A change-key message (or its ack) as a peer builds it, to the session's local id.
    static ks::Bytes PeerMessage(KRSESS_HNDL* s, uint32_t nonce, uint32_t first, const KRCRYPT_KEY& key, int ack,
                                 bool damage = false) {
        const uint8_t pair[8] = {(uint8_t)(nonce >> 24), (uint8_t)(nonce >> 16), (uint8_t)(nonce >> 8), (uint8_t)nonce,
                                 (uint8_t)(first >> 24), (uint8_t)(first >> 16), (uint8_t)(first >> 8), (uint8_t)first};
        uint8_t* m = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(KrReqCTChkeyMsgAlloc(0, KrReqCryptPlainText(), s->link.localId, nonce, &key, pair, &m, &length, ack), 0);
        ks::Bytes out(m, m + length);
        KrReqMsgFree(m);
        if (damage) out[8] ^= 0x10;
        return out;
    }
    // The next change-key message or ack the raw peer gets (other control messages passed by).
    static bool NextKeyMessage(ks::RawPeer& peer, Packet* p, int guardMs) {
        while (peer.Next(p, guardMs)) {
            if (p->h.kind == KRHDR_KIND_CONTROL &&
                (p->h.sequence == KRSESS_CNTL_KEY_SET || p->h.sequence == KRSESS_CNTL_KEY_ACK))
                return true;
        }
        return false;
    }
};

// The same type and the same key bytes (16 for IDEA, 8 for PAD, none for type 1).
bool SameKey(const KRCRYPT_KEY& a, const KRCRYPT_KEY& b) {
    const size_t bytes = a.type == KRCRYPT_KEY_IDEA ? 16 : a.type == KRCRYPT_KEY_PAD ? 8 : 0;
    return a.type == b.type && std::memcmp(a.key, b.key, bytes) == 0;
}

TEST_P(KeyChange, BothSessionsEndOnTheNewKeyAndRequestsGoOn) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* client = Open(port, {}, &client_);
    ASSERT_NE(client, nullptr) << Trace();
    ASSERT_TRUE(rec_.Wait([&] { return !rec_.seen.empty(); }));
    KRSESS_HNDL* clone = rec_.seen[0].session;
    char answer[8] = {};
    ASSERT_EQ(KrCReqSync(client, 0x10, "one", 4, answer, sizeof answer), 0x11u);

    for (const KRCRYPT_KEY& key : {Key(KRCRYPT_KEY_PAD, 0x21), Key(KRCRYPT_KEY_IDEA, 0x31)}) {
        SCOPED_TRACE(key.type);
        const uint32_t before = Nonce(client);
        ASSERT_EQ(KrSessDataKeySet(client, &key, 1), 0) << Trace();
        EXPECT_TRUE(SameKey(DataKey(client), key));
        EXPECT_TRUE(SameKey(DataKey(clone), key));
        EXPECT_EQ(Nonce(client), before + 1);
        EXPECT_EQ(Nonce(clone), before + 1);
        // The key it replaced went once no request held it; at the peer the answered requests
        // kept for repeats still hold theirs, retired.
        EXPECT_EQ(KrSessCryptCount(client), 1u);
        KrLockEnter(&clone->lock);
        EXPECT_EQ(clone->dataCrypt->state, (uint32_t)KRREQ_CRYPT_ACTIVE);
        for (KRREQ_CRYPT_HNDL* h = clone->dataCrypt->next; h != clone->dataCrypt; h = h->next) {
            EXPECT_EQ(h->state, (uint32_t)KRREQ_CRYPT_RETIRED);
            EXPECT_GT(KrReqCryptRefCount(h), 0u);
        }
        KrLockLeave(&clone->lock);
        EXPECT_EQ(KrCReqSync(client, 0x10, "two", 4, answer, sizeof answer), 0x11u);
        EXPECT_STREQ(answer, "two");
    }
    // Either end may start a change.
    const KRCRYPT_KEY back = Key(KRCRYPT_KEY_PAD, 0x51);
    ASSERT_EQ(KrSessDataKeySet(clone, &back, 1), 0);
    EXPECT_TRUE(SameKey(DataKey(client), back));
    EXPECT_EQ(Nonce(client), 3u);
    EXPECT_EQ(KrCReqSync(client, 0x10, "three", 6, answer, sizeof answer), 0x11u);

    // Without negotiation only this end changes; the peer keeps what it had.
    const KRCRYPT_KEY local = Key(KRCRYPT_KEY_PAD, 0x61);
    ASSERT_EQ(KrSessDataKeySet(client, &local, 0), 0);
    EXPECT_TRUE(SameKey(DataKey(client), local));
    EXPECT_TRUE(SameKey(DataKey(clone), back));
    EXPECT_EQ(Nonce(client), 3u);
}

TEST_P(KeyChange, TheChangeTravelsUnderTheControlKeyBothEndsSet) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* client = Open(port, {}, &client_);
    ASSERT_NE(client, nullptr) << Trace();
    ASSERT_TRUE(rec_.Wait([&] { return !rec_.seen.empty(); }));
    KRSESS_HNDL* clone = rec_.seen[0].session;
    const KRCRYPT_KEY control = Key(KRCRYPT_KEY_IDEA, 0x05);
    const KRCRYPT_KEY data = Key(KRCRYPT_KEY_PAD, 0x44);
    // Set on one end only: the peer, still on plain text, takes the padded message for a bogus
    // one and does not answer.
    ASSERT_EQ(KrSessCntlKeySet(client, &control), 0);
    Exchange(client, 2, 100);
    KrErrorSet(0);
    EXPECT_EQ(KrSessDataKeySet(client, &data, 1), 1);
    EXPECT_EQ(KrErrorGet(), kNoAck);
    EXPECT_EQ(TraceCount("Bogus or corrupted key-set control message"), 2) << Trace();
    EXPECT_EQ(Nonce(clone), 0u);
    // Set on both ends: the change goes through.
    ASSERT_EQ(KrSessCntlKeySet(clone, &control), 0);
    ASSERT_EQ(KrSessDataKeySet(client, &data, 1), 0) << Trace();
    EXPECT_TRUE(SameKey(DataKey(clone), data));
    EXPECT_TRUE(SameKey(DataKey(client), data));
}

TEST_P(KeyChange, TheKeyCallsCheckTheirArguments) {
    uint16_t port = 0;
    KRSESS_HNDL* listener = Listen(&port);
    ASSERT_NE(listener, nullptr);
    KRSESS_HNDL* client = Open(port, {}, &client_);
    ASSERT_NE(client, nullptr);
    KRCRYPT_KEY key = Key(KRCRYPT_KEY_PAD, 1), got{};
    const KRCRYPT_KEY bad = {4, {}};
    struct {
        const char* name;
        int result;
        const char* line;
    } const cases[] = {
        {"null key", KrSessDataKeySet(client, nullptr, 1), "KrSessDataKeySet(0x"},
        {"key type 4", KrSessDataKeySet(client, &bad, 1), "KrSessDataKeySet(0x"},
        {"listening session", KrSessCntlKeySet(listener, &key), "Can only set key on active sessions."},
        {"listening session, get", KrSessCntlKeyGet(listener, &got), "Can only get key on active sessions."},
        {"no session", KrSessDataKeyGet(reinterpret_cast<KRSESS_HNDL*>(&got), &got), "]: Invalid session handle."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, 1) << c.name;
        EXPECT_GE(TraceCount(c.line), 1) << c.name;
    }
    // The control key is set on each end by its user, without a message.
    ASSERT_EQ(KrSessCntlKeySet(client, &key), 0);
    ASSERT_EQ(KrSessCntlKeyGet(client, &got), 0);
    EXPECT_TRUE(SameKey(got, key));
}

TEST_P(KeyChange, APeersChangeIsAppliedOnceAndRepeatsAreAnsweredAgain) {
    ks::RawPeer peer(Tcp());
    // The peer's ids are out of step with ours: every answer must carry the peer's.
    KRSESS_HNDL* s = OpenToRaw(peer, 77, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr) << Trace();
    const KRCRYPT_KEY key = Key(KRCRYPT_KEY_PAD, 0x70);
    Packet ack;

    peer.Send(PeerMessage(s, 0, 0x20, key, 0));
    ASSERT_TRUE(NextKeyMessage(peer, &ack, 10000)) << Trace();
    EXPECT_EQ(ack.h.sequence, (uint32_t)KRSESS_CNTL_KEY_ACK);
    EXPECT_EQ(ack.h.id, 77u);
    // The ack: nonce, first sequence number and a zero key of the same type.
    EXPECT_EQ(ks::Hex(ack.payload), ks::Hex(ks::Words({0, 0x20, KRCRYPT_KEY_PAD, 0, 0})));
    EXPECT_TRUE(SameKey(DataKey(s), key));
    EXPECT_EQ(Nonce(s), 1u);
    const ks::Bytes first = ack.raw;

    // The same message again (its ack was lost): the same answer, nothing changes.
    peer.Send(PeerMessage(s, 0, 0x20, key, 0));
    ASSERT_TRUE(NextKeyMessage(peer, &ack, 10000));
    EXPECT_EQ(ks::Hex(ack.raw), ks::Hex(first));
    EXPECT_EQ(Nonce(s), 1u);
    EXPECT_EQ(KrSessCryptCount(s), 1u);

    // Dropped without an answer: a nonce two ahead, a short payload, a damaged message, an ack
    // for which no change of ours waits.
    const KRCRYPT_KEY other = Key(KRCRYPT_KEY_PAD, 0x90);
    peer.Send(PeerMessage(s, 3, 0x40, other, 0));
    peer.Send(ks::Control(KRSESS_CNTL_KEY_SET, s->link.localId, ks::Words({1})));
    peer.Send(PeerMessage(s, 1, 0x40, other, 0, true));
    peer.Send(PeerMessage(s, 0, 0x40, other, 1));
    EXPECT_FALSE(NextKeyMessage(peer, &ack, 300));
    EXPECT_EQ(TraceCount("Nonce mismatch, possible replay attack."), 1) << Trace();
    EXPECT_EQ(TraceCount("KrSessDataKeySetHndlr: Invalid DataKeySet control message parameter size: 0x4"), 1);
    EXPECT_EQ(TraceCount("Bogus or corrupted key-set control message"), 1);
    EXPECT_EQ(TraceCount("Session is not currently processing a local change-key request."), 1);
    EXPECT_TRUE(SameKey(DataKey(s), key));
    EXPECT_EQ(Nonce(s), 1u);
}

TEST_P(KeyChange, AChangeWithoutAnswerIsTriedThenGivenUp) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 4, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr);
    Exchange(s, 3, 50);
    const KRCRYPT_KEY before = DataKey(s);
    const KRCRYPT_KEY key = Key(KRCRYPT_KEY_PAD, 0x11);
    KrErrorSet(0);
    EXPECT_EQ(KrSessDataKeySet(s, &key, 1), 1);
    EXPECT_EQ(KrErrorGet(), kNoAck);
    Packet p;
    std::vector<ks::Bytes> sent;
    while (NextKeyMessage(peer, &p, 300)) sent.push_back(p.raw);
    EXPECT_EQ(sent.size(), 3u);
    for (const ks::Bytes& m : sent) EXPECT_EQ(ks::Hex(m), ks::Hex(sent[0])) << "every try is the same message";
    // The previous key stays the one in force; the given-up one is gone.
    EXPECT_TRUE(SameKey(DataKey(s), before));
    EXPECT_EQ(KrSessCryptCount(s), 1u);
    EXPECT_EQ(Nonce(s), 0u);
    KrLockEnter(&s->lock);
    EXPECT_EQ(s->flags & (KRSESS_F_LOCAL_KEY | KRSESS_F_PEER_KEY), 0u) << "no change is left marked";
    KrLockLeave(&s->lock);
}

TEST_P(KeyChange, ALostAckIsMadeGoodByTheNextTry) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 4, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr);
    Exchange(s, 5, 200);
    const KRCRYPT_KEY key = Key(KRCRYPT_KEY_IDEA, 0x11);
    int result = -1;
    std::thread change([&] { result = KrSessDataKeySet(s, &key, 1); });
    Packet p;
    ASSERT_TRUE(NextKeyMessage(peer, &p, 10000));  // the first try: its ack is lost
    ASSERT_TRUE(NextKeyMessage(peer, &p, 10000));  // the second try
    EXPECT_EQ(p.h.sequence, (uint32_t)KRSESS_CNTL_KEY_SET);
    const uint32_t first = ks::WordAt(p.payload, 4);
    peer.Send(PeerMessage(s, 0, first, key, 1));
    change.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(SameKey(DataKey(s), key));
    EXPECT_EQ(Nonce(s), 1u);
}

TEST_P(KeyChange, ChangesStartedAtOnceFail) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 4, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr);
    Exchange(s, 2, 300);
    const KRCRYPT_KEY ours = Key(KRCRYPT_KEY_PAD, 0x11), theirs = Key(KRCRYPT_KEY_PAD, 0x22);
    int result = -1;
    uint32_t error = 0;
    std::thread change([&] {
        result = KrSessDataKeySet(s, &ours, 1);
        error = KrErrorGet();
    });
    Packet p;
    ASSERT_TRUE(NextKeyMessage(peer, &p, 10000));
    // A second change on the same session while the first waits: refused at once.
    KrErrorSet(0);
    EXPECT_EQ(KrSessDataKeySet(s, &theirs, 1), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    EXPECT_EQ(TraceCount("Session is currently processing a local change-key request."), 1);
    // The peer started its own change at the same time, with the same nonce: refused without an
    // answer, and the peer, doing the same, never acknowledges ours.
    peer.Send(PeerMessage(s, 0, 0, theirs, 0));
    change.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(error, kNoAck);
    EXPECT_EQ(TraceCount("KrSessDataKeySetHndlr"), 1) << Trace();
    while (peer.Next(&p, 100)) EXPECT_NE(p.h.sequence, (uint32_t)KRSESS_CNTL_KEY_ACK);
    EXPECT_EQ(Nonce(s), 0u);
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, KeyChange, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) { return info.param ? "Tcp" : "Udp"; });

}  // namespace
