// Request handles and message building: requests and control messages against bytes written out
// by hand, block padding under IDEA, the receive checks (trailer, lengths, control checksum, any
// one byte changed), build failures that leave nothing behind, client request creation on a
// session, the pending and zombie lists, and the heaps from several threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_req.h"
#include "krrq_sess.h"
#include "krxdrtypes.h"
#include "test_machine.h"
#include "xdr_helpers.h"

namespace {

using kx::Bytes;
using kx::Hex;

Bytes Payload(uint32_t length) {
    Bytes p(length);
    for (uint32_t i = 0; i < length; ++i) p[i] = (uint8_t)i;
    return p;
}

KRCRYPT_HNDL* Crypt(uint32_t keyType) {
    KRCRYPT_HNDL* h = crypt_alloc(0xFFFFFFFF);
    if (keyType) {
        KRCRYPT_KEY key = {keyType, {}};
        for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(0xA0 + i);
        crypt_set_key(h, &key, 0);
    }
    return h;
}

class ReqBuild : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        KrHeapFailAfter(-1);
        ASSERT_EQ(KrReqModuleInit(), 0);
        saved_ = KrGetTrace();
        dir_ = kt::FreshTraceDir();
        KrSetTrace(0x00FF0000);
    }
    void TearDown() override {
        KrHeapFailAfter(-1);
        EXPECT_EQ(KrReqHndlCount(), 0u) << "no request handle outlives its test";
        EXPECT_EQ(KrReqMsgCount(), 0u) << "no message buffer outlives its test";
        KrReqModuleCleanup();
        KrSetTrace(saved_);
        KrTraceClose();
    }
    std::string Trace() {
        KrTraceClose();
        return kt::ReadFile(dir_ + "/krtrace.txt");
    }
    Bytes Build(KRCRYPT_HNDL* crypt, uint32_t sequence, const KRHDR& header, const Bytes& payload) {
        uint8_t* message = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(KrReqCTMsgAlloc(crypt, sequence, &header, payload.data(), &message, &length), 0);
        Bytes out(message, message + length);
        if (message) KrReqMsgFree(message);
        return out;
    }
    Bytes BuildControl(KRCRYPT_HNDL* crypt, uint32_t position, const KRHDR& header, const Bytes& payload) {
        uint8_t* message = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(KrReqCTCntlMsgAlloc(crypt, position, &header, payload.data(), &message, &length), 0);
        Bytes out(message, message + length);
        if (message) KrReqMsgFree(message);
        return out;
    }
    uint32_t saved_ = 0;
    std::string dir_;
};

// Receives a request or response as the multiplexer hands it over: plain-text part, then body.
int Receive(KRCRYPT_HNDL* crypt, const Bytes& message, KRHDR* header, Bytes* payload) {
    const int plainText = KrPTHdrPackedLen(message[0]);
    if (plainText < 0 || (size_t)plainText > message.size()) return 1;
    const Bytes body(message.begin() + plainText, message.end());
    Bytes out(body.size() + 1);
    if (KrReqCTMsgDecrypt(crypt, message.data(), body.data(), (uint32_t)body.size(), header, out.data(),
                          (uint32_t)out.size()) != 0)
        return 1;
    const uint32_t at = (uint32_t)KrCTHdrPackedLen(message[0]);
    *payload = Bytes(out.begin() + at, out.begin() + at + header->length);
    return 0;
}

// Receives a control message: whole header, then the body, decrypted in place.
int ReceiveControl(KRCRYPT_HNDL* crypt, uint32_t position, Bytes message, KRHDR* header) {
    const int size = KrHdrPackedLen(message[0]);
    if (size < 0 || (size_t)size > message.size()) return 1;
    Bytes body(message.begin() + size, message.end());
    body.push_back(0); // a real address even when empty
    return KrReqCTCntlMsgDecrypt(crypt, position, message.data(), body.data(), (uint32_t)body.size() - 1, header);
}

TEST_F(ReqBuild, APlainRequestOfTwentyBytesIsTwentySixBytes) {
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_NONE);
    const KRHDR header = {KRHDR_KIND_REQUEST, 2, 20, 0, 0, 0, 0x5A};
    const Bytes message = Build(crypt, 7, header, Payload(20));
    // Form A (0 | id 10 | seq 7 | 20-16 | flag 0 | code 0x5A), the payload, the sequence number.
    EXPECT_EQ(kx::ToHex(message), kx::ToHex(Hex("40 00 E8 5A 00010203 04050607 08090A0B 0C0D0E0F 10111213 00 07")));
    crypt_free(crypt);
}

TEST_F(ReqBuild, UnderIdeaTheEncryptedRegionFillsWholeBlocks) {
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_IDEA);
    // Length 4: code, payload and trailer make 8 already, so a full block of pad follows.
    const KRHDR header = {KRHDR_KIND_REQUEST, 2, 4, 0, 0, 0, 0x5A};
    EXPECT_EQ(kx::ToHex(Build(crypt, 7, header, Payload(4))),
              kx::ToHex(Hex("F0 02 00 07 00 08 08 00  00 5A 00 01 02 03 00 00 00 00 00 00 00 00 00 07")));
    for (uint32_t length = 0; length <= 70; ++length) {
        const KRHDR h = {KRHDR_KIND_REQUEST, 300, length, 0, 0, length % 2, 0x1234};
        const Bytes message = Build(crypt, 0x10000 + length, h, Payload(length));
        const int plainText = KrPTHdrPackedLen(message[0]);
        EXPECT_EQ((message.size() - plainText) % 8, 0u) << length;
        EXPECT_GE(KrHdrPadLen(message.data()), 1) << length;
        KRHDR back = {};
        Bytes payload;
        ASSERT_EQ(Receive(crypt, message, &back, &payload), 0) << length;
        EXPECT_EQ(payload, Payload(length));
        EXPECT_EQ(back.sequence, length) << "the low 16 bits travel";
        EXPECT_EQ(back.code, 0x1234u);
        EXPECT_EQ(back.flag, length % 2);
    }
    crypt_free(crypt);
}

TEST_F(ReqBuild, PayloadsTravelUnchangedUnderEveryKeyType) {
    for (uint32_t type : {KRCRYPT_KEY_NONE, KRCRYPT_KEY_IDEA, KRCRYPT_KEY_PAD}) {
        KRCRYPT_HNDL* crypt = Crypt(type);
        const Bytes payload = Payload(33);
        const KRHDR request = {KRHDR_KIND_REQUEST, 5, 33, 0, 0, 1, 9};
        const Bytes message = Build(crypt, 12345, request, payload);
        const int header = KrHdrPackedLen(message[0]);
        EXPECT_EQ(Bytes(message.begin() + header, message.begin() + header + 33), payload) << type;
        KRHDR back = {};
        Bytes got;
        ASSERT_EQ(Receive(crypt, message, &back, &got), 0) << type;
        EXPECT_EQ(got, payload);
        crypt_free(crypt);
    }
}

TEST_F(ReqBuild, TheReceiverChecksTrailerAndLengths) {
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_NONE);
    const KRHDR header = {KRHDR_KIND_REQUEST, 2, 20, 0, 0, 0, 0x5A};
    const Bytes good = Build(crypt, 7, header, Payload(20));
    KRHDR back = {};
    Bytes payload;
    ASSERT_EQ(Receive(crypt, good, &back, &payload), 0);

    struct Case {
        const char* what;
        Bytes message;
    } cases[] = {
        {"trailer off by one", [&] { Bytes m = good; m.back() ^= 1; return m; }()},
        {"trailer high byte", [&] { Bytes m = good; m[m.size() - 2] = 1; return m; }()},
        {"one byte short", Bytes(good.begin(), good.end() - 1)},
        {"one byte long", [&] { Bytes m = good; m.push_back(0); return m; }()},
        {"a control header", Hex("E0 06 00 04 00 04 01 02 03 04 1B EB")},
    };
    for (const Case& c : cases) {
        KrErrorSet(0);
        EXPECT_EQ(Receive(crypt, c.message, &back, &payload), 1) << c.what;
        EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA) << c.what;
    }
    // Too small a buffer to decrypt into.
    uint8_t small[4];
    KrErrorSet(0);
    EXPECT_EQ(KrReqCTMsgDecrypt(crypt, good.data(), good.data() + 3, (uint32_t)good.size() - 3, &back, small, 4), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    crypt_free(crypt);
}

TEST_F(ReqBuild, TheReceiverTakesPadsUpToTheFieldWidth) {
    // A sender with 256-byte blocks: form E with a pad of 200, wider than anything built here.
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_NONE);
    const KRHDR header = {KRHDR_KIND_REQUEST, 40, 52, 0, 3, 1, 0x0203};
    uint8_t packed[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    ASSERT_EQ(KrHdrPack(&header, packed, 256, &pad), 10u);
    ASSERT_EQ(pad, 200u);
    Bytes message(packed, packed + 10);
    const Bytes payload = Payload(52);
    message.insert(message.end(), payload.begin(), payload.end());
    message.insert(message.end(), 200, 0);
    message.push_back(0);
    message.push_back(3);
    KRHDR back = {};
    Bytes got;
    ASSERT_EQ(Receive(crypt, message, &back, &got), 0);
    EXPECT_EQ(back.pad, 200u);
    EXPECT_EQ(got, payload);
    // A pad that large is never built.
    uint8_t* built = reinterpret_cast<uint8_t*>(1);
    uint32_t length = 1;
    KRCRYPT_HNDL* idea = Crypt(KRCRYPT_KEY_IDEA);
    EXPECT_EQ(KrReqCTMsgAlloc(idea, 3, &header, payload.data(), &built, &length), 0);
    EXPECT_LE((uint32_t)KrHdrPadLen(built), KRREQ_MAX_BUILD_PAD);
    KrReqMsgFree(built);
    crypt_free(idea);
    crypt_free(crypt);
}

TEST_F(ReqBuild, ControlMessagesByHandAtEvenAndOddTrailerOffsets) {
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_NONE);
    // D header E0 06 00 04 00 04, payload 01 02 03 04: the words sum to E414, so the trailer is
    // 1BEB and the whole message sums to FFFF.
    const KRHDR four = {KRHDR_KIND_CONTROL, 3, 4, 0, 4, 0, 0};
    EXPECT_EQ(kx::ToHex(BuildControl(crypt, 0, four, Hex("01020304"))),
              kx::ToHex(Hex("E0 06 00 04 00 04 01 02 03 04 1B EB")));
    // Payload 01 02 03: the rest sums to E40F, checksum 1BF0; the trailer starts at the odd
    // offset 9, where its bytes pair the other way round.
    const KRHDR three = {KRHDR_KIND_CONTROL, 3, 3, 0, 4, 0, 0};
    const Bytes odd = BuildControl(crypt, 0, three, Hex("010203"));
    EXPECT_EQ(kx::ToHex(odd), kx::ToHex(Hex("E0 06 00 03 00 04 01 02 03 F0 1B")));
    for (const Bytes& m : {Hex("E0 06 00 04 00 04 01 02 03 04 1B EB"), odd}) {
        EXPECT_EQ(KrInCksum(m.data(), (uint32_t)m.size()), 0);
        KRHDR back = {};
        EXPECT_EQ(ReceiveControl(crypt, 0, m, &back), 0);
        EXPECT_EQ(back.sequence, 4u);
    }
    crypt_free(crypt);
}

// A data-key set message as one end builds it: nonce and first sequence number (big-endian),
// then the key union in XDR; under the control key at the nonce's position.
Bytes KeyMessage(KRCRYPT_HNDL* control, uint32_t keyType, uint32_t nonce, uint32_t id) {
    KRCRYPT_KEY key = {keyType, {}};
    for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(0x31 * i);
    Bytes payload = Hex("00000000 00000000");
    for (int i = 0; i < 4; ++i) payload[i] = (uint8_t)(nonce >> (24 - 8 * i));
    payload[7] = 0x42;
    const Bytes union_ = kx::Encode(xdr_KRCRYPT_KEY, &key);
    payload.insert(payload.end(), union_.begin(), union_.end());
    const KRHDR header = {KRHDR_KIND_CONTROL, id, (uint32_t)payload.size(), 0, 7, 0, 0};
    uint8_t* message = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(KrReqCTCntlMsgAlloc(control, nonce, &header, payload.data(), &message, &length), 0);
    Bytes out(message, message + length);
    KrReqMsgFree(message);
    return out;
}

TEST_F(ReqBuild, AKeyMessagePassesTheOtherEndsCheckAndAnyChangedByteFailsIt) {
    for (uint32_t controlType : {KRCRYPT_KEY_NONE, KRCRYPT_KEY_IDEA, KRCRYPT_KEY_PAD}) {
        for (uint32_t keyType : {KRCRYPT_KEY_NONE, KRCRYPT_KEY_IDEA, KRCRYPT_KEY_PAD}) {
            KRCRYPT_HNDL* sender = Crypt(controlType);
            KRCRYPT_HNDL* receiver = Crypt(controlType);
            const Bytes message = KeyMessage(sender, keyType, 3, 17);
            SCOPED_TRACE(std::to_string(controlType) + "/" + std::to_string(keyType));
            KRHDR header = {};
            ASSERT_EQ(ReceiveControl(receiver, 3, message, &header), 0);
            EXPECT_EQ(header.sequence, 7u);
            EXPECT_EQ(header.length, 8u + (keyType == 1 ? 4 : keyType == 2 ? 36 : 12));
            // The key union decodes from byte 8 of the payload.
            const int size = KrHdrPackedLen(message[0]);
            KRCRYPT_KEY key = {};
            ASSERT_TRUE(kx::Decode(Bytes(message.begin() + size + 8, message.begin() + size + header.length),
                                   xdr_KRCRYPT_KEY, &key));
            EXPECT_EQ(key.type, keyType);
            for (size_t i = 0; i < message.size(); ++i) {
                for (uint8_t flip : {0x01, 0x80, 0xFF}) {
                    Bytes changed = message;
                    changed[i] ^= flip;
                    EXPECT_NE(ReceiveControl(receiver, 3, changed, &header), 0) << "byte " << i << " ^ " << (int)flip;
                }
            }
            crypt_free(sender);
            crypt_free(receiver);
        }
    }
}

TEST_F(ReqBuild, BuildFailuresLeaveNothingBehind) {
    KRCRYPT_HNDL* crypt = Crypt(KRCRYPT_KEY_NONE);
    const Bytes payload = Payload(20);
    struct Case {
        const char* what;
        KRHDR header;
        bool control;
        const uint8_t* payload;
        uint32_t error;
    } cases[] = {
        {"request id 2047", {KRHDR_KIND_REQUEST, 2047, 20, 0, 0, 0, 1}, false, payload.data(), KRERR_PARAM},
        {"control id 2048", {KRHDR_KIND_CONTROL, 2048, 20, 0, 1, 0, 0}, true, payload.data(), KRERR_PARAM},
        {"request built as control", {KRHDR_KIND_REQUEST, 1, 20, 0, 0, 0, 1}, true, payload.data(), KRERR_PARAM},
        {"control built as request", {KRHDR_KIND_CONTROL, 1, 20, 0, 1, 0, 0}, false, payload.data(), KRERR_PARAM},
        {"no payload", {KRHDR_KIND_REQUEST, 1, 20, 0, 0, 0, 1}, false, nullptr, KRERR_PARAM},
    };
    for (const Case& c : cases) {
        uint8_t* message = reinterpret_cast<uint8_t*>(1);
        uint32_t length = 99;
        KrErrorSet(0);
        const int failed = c.control ? KrReqCTCntlMsgAlloc(crypt, 0, &c.header, c.payload, &message, &length)
                                     : KrReqCTMsgAlloc(crypt, 1, &c.header, c.payload, &message, &length);
        EXPECT_EQ(failed, 1) << c.what;
        EXPECT_EQ(message, nullptr) << c.what;
        EXPECT_EQ(length, 0u) << c.what;
        EXPECT_EQ(KrErrorGet(), c.error) << c.what;
    }
    // Out of memory for the message.
    const KRHDR header = {KRHDR_KIND_REQUEST, 2, 20, 0, 0, 0, 0x5A};
    uint8_t* message = nullptr;
    uint32_t length = 0;
    KrHeapFailAfter(0);
    KrErrorSet(0);
    EXPECT_EQ(KrReqCTMsgAlloc(crypt, 7, &header, payload.data(), &message, &length), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_NO_MEMORY);
    EXPECT_EQ(message, nullptr);
    EXPECT_NE(Trace().find("KrReqCTMsgAlloc: Unable to allocate 26 bytes for cipher-text message."), std::string::npos);
    crypt_free(crypt);
}

TEST_F(ReqBuild, HandlesAndBuffersFromTheirHeaps) {
    KRREQ_HNDL* h = KrReqHndlAlloc(reinterpret_cast<KRSESS_HNDL*>(0x10), 42);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->session, reinterpret_cast<KRSESS_HNDL*>(0x10));
    EXPECT_EQ(h->context, 42u);
    EXPECT_EQ(h->state, 0u);
    EXPECT_EQ(h->txMessage, nullptr);
    EXPECT_EQ(KrReqHndlCount(), 1u);
    KrReqHndlFree(h);
    uint8_t* buffer = KrReqMsgAlloc(100);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer[99], 0);
    KrReqMsgFree(buffer);
    // Null frees log and do no harm.
    KrReqHndlFree(nullptr);
    KrReqMsgFree(nullptr);
    const std::string trace = Trace();
    EXPECT_NE(trace.find("KrReqHndlFree: Attempt to free null Kr Request/Response Handle."), std::string::npos);
    EXPECT_NE(trace.find("KrReqMsgFree: Attempt to free null reques message buffer."), std::string::npos);
    KrHeapFailAfter(0);
    KrErrorSet(0);
    EXPECT_EQ(KrReqHndlAlloc(nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_NO_MEMORY);
}

TEST_F(ReqBuild, TheModuleIsCountedAndItsCleanupReleasesTheHeaps) {
    ASSERT_EQ(KrReqModuleInit(), 0); // a second start
    uint8_t* kept = KrReqMsgAlloc(8);
    ASSERT_NE(kept, nullptr);
    KrReqModuleCleanup(); // not the last
    EXPECT_EQ(KrReqMsgCount(), 1u);
    KrReqMsgFree(kept);
    // The last cleanup, then a start whose heap cannot be made.
    KrReqModuleCleanup();
    EXPECT_EQ(KrReqMsgAlloc(8), nullptr);
    KrHeapFailAfter(0);
    EXPECT_EQ(KrReqModuleInit(), 1);
    KrHeapFailAfter(1);
    EXPECT_EQ(KrReqModuleInit(), 1);
    KrHeapFailAfter(-1);
    const std::string trace = Trace();
    EXPECT_NE(trace.find("KrReqHndlHeapInit: Couldn't create RR Handle Heap."), std::string::npos);
    EXPECT_NE(trace.find("KrReqMsgHeapInit: Couldn't create Parameter List Heap."), std::string::npos);
    ASSERT_EQ(KrReqModuleInit(), 0); // for TearDown's cleanup
    // A buffer left over at the last cleanup goes with its heap.
    ASSERT_EQ(KrReqModuleInit(), 0);
    ASSERT_NE(KrReqMsgAlloc(64), nullptr);
    KrReqModuleCleanup();
    KrReqModuleCleanup();
    ASSERT_EQ(KrReqModuleInit(), 0);
}

// Session records made here directly, outside the registry: only their lock, request lists,
// sent-request counter, peer id and keys matter to message building.
class ReqLists : public ReqBuild {
protected:
    void SetUp() override {
        ReqBuild::SetUp();
        ASSERT_EQ(KrReqCryptModuleInit(), 0);
    }
    void TearDown() override {
        for (KRSESS_HNDL* s : sessions_) {
            KrSessCryptCleanup(s);
            KrEventDestroy(&s->event);
            KrLockDestroy(&s->lock);
            delete s;
        }
        KrReqCryptModuleCleanup();
        ReqBuild::TearDown();
    }
    // A session whose next request gets `first`, under a data key of `keyType` (0: none).
    KRSESS_HNDL* Session(uint32_t peer, uint32_t first, uint32_t keyType) {
        auto* s = new KRSESS_HNDL{};
        KrLockInit(&s->lock, 0);
        KrEventCreate(&s->event, nullptr);
        s->link.remoteId = peer;
        s->txSequence = first;
        sessions_.push_back(s);
        if (keyType) {
            EXPECT_EQ(KrSessCryptInit(s), 0);
            KRCRYPT_KEY key = {keyType, {}};
            for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(0x11 * i);
            if (keyType != KRCRYPT_KEY_NONE) {
                EXPECT_EQ(KrSessDataKeySetInternal(s, &key, 0), 0);
            }
        }
        return s;
    }
    static uint32_t Refs(KRSESS_HNDL* s) { return KrReqCryptRefCount(s->dataCrypt); }
    std::vector<KRSESS_HNDL*> sessions_;
};

TEST_F(ReqLists, AClientRequestIsBuiltUnderTheNewestDataKeyAndPending) {
    KRSESS_HNDL* s = Session(9, 0x1FFFF, KRCRYPT_KEY_NONE);
    const Bytes payload = Payload(20);
    KRREQ_HNDL* first = KrCReqCreate(s, 0x77, payload.data(), 20);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->state, (uint32_t)KRREQ_STATE_PENDING);
    EXPECT_EQ(first->sequence, 0x1FFFFu);
    EXPECT_EQ(first->code, 0x77u);
    EXPECT_EQ(first->crypt, s->dataCrypt);
    EXPECT_EQ(Refs(s), 1u);
    // Form B for id 9: 10 | 1001 | seq FFFF | length 20 | flag 0, then the code; the trailer
    // carries the low 16 bits of the sequence number.
    const Bytes message(first->txMessage, first->txMessage + first->txLength);
    EXPECT_EQ(kx::ToHex(Bytes(message.begin(), message.begin() + 5)), "A7 FF FC 28 77");
    EXPECT_EQ(kx::ToHex(Bytes(message.end() - 2, message.end())), "FF FF");
    EXPECT_EQ(message.size(), 27u);
    KRREQ_HNDL* second = KrCReqCreate(s, 0x78, nullptr, 0);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->sequence, 0x20000u);
    EXPECT_EQ(KrReqPendCount(s), 2u);
    EXPECT_EQ(KrReqPendFirst(s), first);
    EXPECT_EQ(KrReqPendFind(s, 0x20000), second);
    EXPECT_EQ(KrReqPendFind(s, 0x0000), nullptr) << "found by the whole 32-bit number";
    KrReqRelease(s, first);
    EXPECT_EQ(KrReqPendCount(s), 1u);
    EXPECT_EQ(KrReqPendFirst(s), second);
    EXPECT_EQ(Refs(s), 1u);
    KrReqRelease(s, second);
    EXPECT_EQ(KrReqPendCount(s), 0u);
    EXPECT_EQ(KrReqPendFirst(s), nullptr);
    EXPECT_EQ(Refs(s), 0u);
}

TEST_F(ReqLists, ARequestThatCannotBeMadeLeavesNothing) {
    KRSESS_HNDL* keyless = Session(1, 5, 0);
    const Bytes payload = Payload(4);
    EXPECT_EQ(KrCReqCreate(keyless, 1, payload.data(), 4), nullptr);
    EXPECT_EQ(keyless->txSequence, 6u) << "the number was taken";
    KRSESS_HNDL* s = Session(2047, 5, KRCRYPT_KEY_NONE); // no request header carries id 2047
    EXPECT_EQ(KrCReqCreate(s, 1, payload.data(), 4), nullptr);
    EXPECT_EQ(Refs(s), 0u);
    KrHeapFailAfter(0);
    EXPECT_EQ(KrCReqCreate(s, 1, payload.data(), 4), nullptr);
    KrHeapFailAfter(-1);
    EXPECT_EQ(KrReqPendCount(s), 0u);
    const std::string trace = Trace();
    EXPECT_NE(trace.find("]: Unable to build transmit response message; error 1."), std::string::npos);
    EXPECT_NE(trace.find("]: Unable to allocate request handle."), std::string::npos);
}

TEST_F(ReqLists, ReleaseStopsAnArmedTimerAndFreesWhatTheRequestHolds) {
    KRSESS_HNDL* s = Session(3, 1, KRCRYPT_KEY_NONE);
    KRREQ_HNDL* r = KrCReqCreate(s, 1, nullptr, 0);
    ASSERT_NE(r, nullptr);
    r->flags |= KRREQ_FLAG_TIMER;
    r->rxData = KrReqMsgAlloc(16);
    r->rxLength = 16;
    KrReqRelease(s, r);
    EXPECT_EQ(KrReqPendCount(s), 0u);
    // A handle still being built is in no list.
    KRREQ_HNDL* building = KrReqHndlAlloc(s, 0);
    building->state = KRREQ_STATE_BUILDING;
    KrReqRelease(s, building);
    KrReqRelease(s, nullptr);
}

TEST_F(ReqLists, ZombiesStayInSequenceOrderAcrossTheWrap) {
    KRSESS_HNDL* s = Session(1, 0, KRCRYPT_KEY_NONE);
    const uint32_t arrivals[] = {0xFFFFFFFE, 0x00000001, 0xFFFFFFFF, 0x00000000, 0x00000002, 0xFFFFFFFD};
    std::vector<KRREQ_HNDL*> made;
    for (uint32_t seq : arrivals) {
        KRREQ_HNDL* z = KrReqHndlAlloc(s, 0);
        z->sequence = seq;
        KrReqZombieInsert(s, z);
        made.push_back(z);
    }
    auto order = [&] {
        std::vector<uint32_t> seen;
        KRREQ_LIST& zombies = KrSessReqQueues(s)->zombies;
        KRREQ_HNDL* z = zombies.head;
        for (uint32_t i = 0; i < zombies.count; ++i, z = z->next) seen.push_back(z->sequence);
        return seen;
    };
    EXPECT_EQ(order(), (std::vector<uint32_t>{0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF, 0, 1, 2}));
    EXPECT_EQ(KrReqZombieFind(s, 0), made[3]);
    EXPECT_EQ(KrReqZombieFind(s, 3), nullptr);
    KrReqZombieRemove(s, made[5]); // the head
    KrReqZombieRemove(s, made[3]); // the middle
    KrReqZombieRemove(s, made[4]); // the tail
    EXPECT_EQ(order(), (std::vector<uint32_t>{0xFFFFFFFE, 0xFFFFFFFF, 1}));
    KrReqZombieRemove(s, made[3]); // no longer in the list: nothing happens
    EXPECT_EQ(KrSessReqQueues(s)->zombies.count, 3u);
    for (KRREQ_HNDL* z : made) {
        KrReqZombieRemove(s, z);
        KrReqHndlFree(z);
    }
    EXPECT_EQ(KrSessReqQueues(s)->zombies.head, nullptr);
}

TEST_F(ReqLists, RequestsFromSeveralThreadsAtOnce) {
    KRSESS_HNDL* s = Session(4, 100, KRCRYPT_KEY_IDEA);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([s, t] {
            const Bytes payload = Payload(30 + t);
            for (int i = 0; i < 200; ++i) {
                KRREQ_HNDL* r = KrCReqCreate(s, (uint32_t)t, payload.data(), (uint32_t)payload.size());
                ASSERT_NE(r, nullptr);
                KrReqPendFind(s, r->sequence);
                KrReqRelease(s, r);
                uint8_t* scratch = KrReqMsgAlloc(64);
                KrReqMsgFree(scratch);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(s->txSequence, 900u) << "every request took its own number";
    EXPECT_EQ(KrReqPendCount(s), 0u);
    EXPECT_EQ(Refs(s), 0u);
}

}  // namespace
