// Voice chat: the play queue and its readiness, playback with its phrase ends and auto-close on an
// injected clock, hostile speech messages, the codec table with libraries found or missing, the
// messages a sender makes per style, and phrases that travel over a request session and play back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "krcodec.h"
#include "krnetdb.h"
#include "krspeech.h"
#include "krtime.h"
#include "lobbex_exports.h"
#include "sess_fixture.h"
#include "test_machine.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A speech message as a sender makes it: the header, the data and 6 trailing zeros. Opens and
// closes carry a data length of 4 and no data.
Bytes Msg(uint16_t type, KRADDR sender, uint16_t id, uint16_t style, const Bytes& data = {}) {
    Bytes m(KRPHRASE_HDR_SIZE + data.size() + KRSPEECH_TRAILER, 0);
    const uint16_t length = type == KRSPEECH_DATA ? (uint16_t)data.size() : 4;
    KrPhraseHdrPack({sender, id, type, 0x55, style, length}, m.data());
    std::copy(data.begin(), data.end(), m.begin() + KRPHRASE_HDR_SIZE);
    return m;
}
Bytes Open(KRADDR s, uint16_t id, uint16_t style = 0) { return Msg(KRSPEECH_OPEN, s, id, style); }
Bytes Data(KRADDR s, uint16_t id, size_t n, uint16_t style = 0, uint8_t fill = 7) {
    return Msg(KRSPEECH_DATA, s, id, style, Bytes(n, fill));
}
Bytes Close(KRADDR s, uint16_t id) { return Msg(KRSPEECH_CLOSE, s, id, 0); }

// Queues an exact heap copy, so that the sanitizer sees any read past the message.
void Queue(const Bytes& m) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[m.size() ? m.size() : 1]);
    std::copy(m.begin(), m.end(), exact.get());
    KrQueueSpeech(exact.get(), (uint32_t)m.size());
}

int32_t HeadQueued() {
    int32_t queued = -1;
    return KrGetQueueInfo(nullptr, nullptr, &queued) == 0 ? queued : -30;
}

// 1 s of a 440 Hz tone, 16-bit mono at 8000 Hz.
Bytes Tone(size_t samples = 8000) {
    Bytes out(samples * 2);
    for (size_t i = 0; i < samples; ++i) {
        const auto v = (int16_t)std::lround(12000 * std::sin(2 * M_PI * 440 * (double)i / 8000));
        out[2 * i] = (uint8_t)(v & 0xFF);
        out[2 * i + 1] = (uint8_t)((uint16_t)v >> 8);
    }
    return out;
}

double SnrDb(const Bytes& source, const Bytes& decoded) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i + 1 < source.size() && i + 1 < decoded.size(); i += 2) {
        const double s = (int16_t)(source[i] | source[i + 1] << 8);
        const double d = (int16_t)(decoded[i] | decoded[i + 1] << 8);
        signal += s * s;
        noise += (s - d) * (s - d);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
}

uint32_t g_Now = 0;
uint32_t TestTick() { return g_Now; }

class Speech : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_LIBRARY_PATH", SPEECH_CODEC_DIR, 1);
        ASSERT_EQ(KrSpeechCompressionInit(), 0);
        KrSpeechInit();
    }
    void TearDown() override {
        KrTimeSetTickSource(nullptr);
        KrSpeechInit(); // empties the queue
        KrSpeechCompressionCleanup();
        setenv("PLATFORM_LIBRARY_PATH", SPEECH_CODEC_DIR, 1);
    }
};

TEST_F(Speech, QueueReadinessIsStrictlyMoreThanTheMinimum) {
    struct Case {
        const char* what;
        std::vector<Bytes> messages;
        int32_t minimum;
        bool ready;
        int32_t queued; // of the head phrase, -30 for an empty queue
    } cases[] = {
        {"empty queue", {}, 0, false, -30},
        {"exactly the minimum", {Open(5, 1), Data(5, 1, 100)}, 100, false, 100},
        {"one byte more", {Open(5, 1), Data(5, 1, 101)}, 100, true, 101},
        {"closed, whatever it holds", {Open(5, 1), Data(5, 1, 10), Close(5, 1)}, 100, true, 10},
        {"data without an open makes the phrase", {Data(5, 1, 60), Data(5, 1, 41)}, 100, true, 101},
        {"a second open changes nothing", {Open(5, 1), Data(5, 1, 50), Open(5, 1), Data(5, 1, 51)}, 100, true, 101},
        {"another phrase id is another phrase", {Open(5, 1), Data(5, 2, 150)}, 100, false, 0},
        {"a close of an unknown phrase does nothing", {Close(9, 9)}, 0, false, -30},
        {"an unknown type is ignored", {Msg(8195, 5, 1, 0, Bytes(40))}, 0, false, -30},
    };
    for (const Case& c : cases) {
        KrSpeechInit();
        for (const Bytes& m : c.messages) Queue(m);
        EXPECT_EQ(KrIsReadyToPlay(c.minimum), c.ready ? 1 : 0) << c.what;
        EXPECT_EQ(HeadQueued(), c.queued) << c.what;
    }
    int16_t style = -1;
    uint16_t flags = 0;
    KrSpeechInit();
    EXPECT_EQ(KrGetCodecInfo(&style), -20);
    EXPECT_EQ(KrGetCodecFlags(&flags), -20);
    Queue(Open(5, 1, 3));
    ASSERT_EQ(KrGetCodecInfo(&style), 0);
    EXPECT_EQ(style, 3);
    ASSERT_EQ(KrGetCodecFlags(&flags), 0);
    EXPECT_EQ(flags, 0x55);
}

// A phrase that fills only the first of three blocks gives 1; the next call ends it (-110) and
// the next phrase becomes the head; raw styles deliver the bytes as sent.
TEST_F(Speech, PlaybackEndsEachPhraseOnceAndMovesToTheNext) {
    Bytes first(150);
    for (size_t i = 0; i < first.size(); ++i) first[i] = (uint8_t)i;
    Queue(Open(5, 1));
    Queue(Msg(KRSPEECH_DATA, 5, 1, 0, first));
    Queue(Close(5, 1));
    Queue(Open(6, 2, 1));
    Queue(Data(6, 2, 10, 1, 0xAB));
    Queue(Close(6, 2));
    Bytes blocks(600, 0xEE);
    EXPECT_EQ(KrSpeechIn(blocks.data(), 3, 200, 0), 1);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), blocks.begin()));
    EXPECT_EQ(blocks[150], 0xEE) << "nothing written past what was there";
    KRADDR sender = 0;
    ASSERT_EQ(KrGetQueueInfo(nullptr, &sender, nullptr), 0);
    EXPECT_EQ(sender, 6u) << "the drained phrase ended, the next is the head";
    uint8_t block[64];
    EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 10);
    EXPECT_EQ(block[9], 0xAB);
    EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), -110);
    EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), -110) << "nothing to play";
    EXPECT_EQ(HeadQueued(), -30);
    EXPECT_EQ(KrSpeechIn(block, 0, 64, 0), 0);
    EXPECT_NE(KrGetLastError(), -110) << "-110 is not recorded as the last error";
}

// An open phrase that gets no new data is closed once the tick count has moved 4001 ms past the
// last delivered data (4000 is not enough), also across the 32-bit wrap; the call after ends it.
TEST_F(Speech, AutoCloseAfterMoreThanFourSecondsWithoutData) {
    for (uint32_t start : {1000u, 0xFFFFF000u}) {
        KrSpeechInit();
        g_Now = start;
        KrTimeSetTickSource(TestTick);
        Queue(Open(5, 1));
        Queue(Data(5, 1, 10));
        uint8_t block[32];
        ASSERT_EQ(KrSpeechInX(block, sizeof block, 0), 10) << start;
        g_Now = start + 4000;
        EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 0) << start;
        EXPECT_EQ(KrIsReadyToPlay(1000), 0) << start << ": still open";
        g_Now = start + 4001;
        EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 0) << start;
        EXPECT_EQ(KrIsReadyToPlay(1000), 1) << start << ": closed now";
        EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), -110) << start;
        EXPECT_EQ(HeadQueued(), -30) << start;
    }
}

// A phrase whose style has no codec here is dropped, not looped on, and the next one plays.
TEST_F(Speech, APhraseOfAStyleNotStartedIsDropped) {
    setenv("PLATFORM_LIBRARY_PATH", "/nonexistent", 1);
    for (uint16_t style : {3, 7, 15, 300}) {
        KrSpeechInit();
        Queue(Open(5, 1, style));
        Queue(Data(5, 1, 60, style));
        Queue(Open(6, 2, 0));
        Queue(Data(6, 2, 8, 0));
        uint8_t block[64];
        EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), -110) << style;
        KRADDR sender = 0;
        ASSERT_EQ(KrGetQueueInfo(nullptr, &sender, nullptr), 0) << style;
        EXPECT_EQ(sender, 6u) << style;
        EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 8) << style;
    }
}

// Received messages are taken only when they hold what their header says: every cut of an open,
// a data and a close message is refused whole, and mutated messages (all styles, so the decoders
// see hostile frames too) never make playback read past what arrived or loop.
TEST_F(Speech, HostileMessagesAreRefusedOrStayInBounds) {
    const Bytes messages[] = {Open(5, 1, 2), Data(5, 1, 40, 0), Close(5, 1)};
    for (const Bytes& m : messages) {
        for (size_t cut = 0; cut < KRPHRASE_HDR_SIZE + (m[6] == 0x01 ? 40 : 6); ++cut) {
            KrSpeechInit();
            Queue(Bytes(m.begin(), m.begin() + (long)cut));
            EXPECT_EQ(HeadQueued(), -30) << "type " << (int)m[6] << " cut " << cut;
        }
    }
    std::mt19937 rng(4112);
    const Bytes seeds[] = {Open(5, 1, 2), Data(5, 1, 64, 2),  Data(5, 1, 32, 3), Data(5, 1, 30, 3),
                           Data(7, 3, 90, 4), Data(7, 3, 300, 4), Close(5, 1),      Close(7, 3)};
    KrSpeechInit();
    uint8_t block[2000];
    for (int round = 0; round < 20000; ++round) {
        Bytes b = seeds[rng() % std::size(seeds)];
        for (int e = 1 + (int)(rng() % 3); e > 0; --e) {
            if (b.empty()) b.push_back((uint8_t)rng());
            switch (rng() % 4) {
            case 0: b[rng() % b.size()] = (uint8_t)rng(); break;
            case 1: b[(rng() % 7) * 2 + rng() % 2] = (uint8_t)rng(); break; // a header byte
            case 2: b.insert(b.begin() + (long)(rng() % (b.size() + 1)), (uint8_t)rng()); break;
            default: b.resize(rng() % (b.size() + 1));
            }
        }
        Queue(b);
        if (round % 64 == 63)
            for (int n = 0; n < 200 && KrSpeechInX(block, (int32_t)(rng() % sizeof block) + 1, 0) > 0; ++n) {
            }
        const int32_t queued = HeadQueued();
        ASSERT_GE(queued, -30) << round;
    }
}

TEST_F(Speech, CodecSelectionAndMissingLibraries) {
    struct Case {
        int style;
        int result;
    } cases[] = {{-1, -1}, {16, -1}, {5, -1}, {15, -1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(SelectCompressionStyle(c.style), c.result) << c.style;
        EXPECT_EQ(SelectDecompressionStyle(c.style), c.result) << c.style;
    }
    int32_t p[5] = {};
    ASSERT_EQ(KrGetCodecParameters(4, &p[0], &p[1], &p[2], &p[3], &p[4]), 0);
    EXPECT_EQ(std::vector<int32_t>(p, p + 5), (std::vector<int32_t>{2, 1440, 1, 8000, 256}));
    ASSERT_EQ(KrGetCodecParameters(3, &p[0], &p[1], &p[2], &p[3], &p[4]), 0);
    EXPECT_EQ(std::vector<int32_t>(p, p + 5), (std::vector<int32_t>{2, 588, 8, 8000, 30}));
    EXPECT_EQ(KrGetCodecParameters(16, &p[0], &p[1], &p[2], &p[3], &p[4]), -1);

    // The run-time libraries from a copy of their folder: without libvox.so style 4 cannot start
    // (and is tried again at the next selection); with it back, it starts.
    KrSpeechCompressionCleanup();
    ASSERT_EQ(KrSpeechCompressionInit(), 0);
    const std::string dir = kt::FreshDir("codecs");
    namespace fs = std::filesystem;
    fs::copy_file(fs::path(SPEECH_CODEC_DIR) / "libsc3dll.so", fs::path(dir) / "libsc3dll.so");
    setenv("PLATFORM_LIBRARY_PATH", dir.c_str(), 1);
    EXPECT_EQ(SelectCompressionStyle(4), -2);
    EXPECT_EQ(KrCodecState(4), KRCODEC_KNOWN);
    EXPECT_EQ(KrCompressSpeech(p, p), 0) << "the current style stays what it was";
    EXPECT_EQ(SelectCompressionStyle(3), 0);
    fs::copy_file(fs::path(SPEECH_CODEC_DIR) / "libvox.so", fs::path(dir) / "libvox.so");
    EXPECT_EQ(SelectCompressionStyle(4), 0);
    EXPECT_EQ(KrCodecState(4), KRCODEC_STARTED);
}

// ---- sending and playing over a request session ----

// The listening side: session notices go to the recorder (so the fixture closes the clones);
// speech requests go to the speech request handler.
std::atomic<int> g_SpeechRequests{0};
void SpeechListener(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                    KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED) {
        ks::RecordingHandler(session, context, code, data, length, request);
        return;
    }
    KrSpeechReqHandler(session, context, code, data, length, request);
    ++g_SpeechRequests;
}

class SpeechRQ : public ks::Sessions {
protected:
    void SetUp() override {
        ks::Sessions::SetUp();
        setenv("PLATFORM_LIBRARY_PATH", SPEECH_CODEC_DIR, 1);
        ASSERT_EQ(KrSpeechCompressionInit(), 0);
        KrSpeechInit();
    }
    void TearDown() override {
        ks::Sessions::TearDown();
        KrSpeechInit();
        KrSpeechCompressionCleanup();
    }
    std::vector<ks::Delivery> Speech() {
        std::vector<ks::Delivery> out;
        for (size_t i = 0; i < rec_.Size(); ++i) {
            ks::Delivery d = rec_.At(i);
            if (d.code >= KRSPEECH_OPEN && d.code <= KRSPEECH_CLOSE) out.push_back(d);
        }
        return out;
    }
};

// Each call's messages per style: frames accumulate across calls (styles 2 and 3 send one message
// of the frames completed, maybe none; style 4 one message per frame), and the message buffer has
// room for a frame completed by leftover bytes.
TEST_P(SpeechRQ, EachStyleSendsItsFramesAsTheyComplete) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* client = Open(port, {}, &client_);
    ASSERT_NE(client, nullptr);
    struct Case {
        int16_t style;
        std::vector<uint16_t> calls;
        std::vector<int> dataLengths; // per data message; -1: a VoxWare frame of 1 to 255 bytes
    } cases[] = {
        {2, {300, 180}, {0, 32}},
        {2, {479, 1}, {0, 32}},
        {2, {1060}, {64}},
        {3, {588 * 2 + 10, 578}, {60, 30}},
        {0, {100, 0}, {100, 0}},
        {4, {1000}, {}},
        {4, {1440, 2000, 880}, {-1, -1, -1}},
    };
    uint16_t id = 10;
    const Bytes tone = Tone();
    for (const Case& c : cases) {
        const size_t before = Speech().size();
        ASSERT_EQ(KrOpenPhraseRQ(client, id, c.style), 0) << c.style;
        size_t at = 0;
        for (uint16_t n : c.calls) {
            ASSERT_EQ(KrSendPhraseDataRQ(client, id, c.style, tone.data() + at, n), 0) << c.style;
            at += n;
        }
        ASSERT_EQ(KrClosePhraseRQ(client, id), 0);
        const size_t expected = before + 2 + c.dataLengths.size();
        ASSERT_TRUE(rec_.Wait([&] { return Speech().size() >= expected; })) << c.style;
        const std::vector<ks::Delivery> got = Speech();
        ASSERT_EQ(got.size(), expected) << c.style;
        for (size_t i = before; i < got.size(); ++i) {
            const ks::Delivery& d = got[i];
            KRPHRASE_HDR h{};
            ASSERT_TRUE(KrPhraseHdrUnpack(d.data.data(), (uint32_t)d.data.size(), &h));
            EXPECT_EQ(h.type, d.code);
            EXPECT_EQ(h.sender, 1u);
            EXPECT_EQ(h.phraseId, id);
            if (i == before || i + 1 == got.size()) {
                EXPECT_EQ(h.length, 4) << "open and close";
                EXPECT_EQ(d.data.size(), 20u) << "open and close";
                continue;
            }
            EXPECT_EQ(d.data.size(), KRPHRASE_HDR_SIZE + h.length + KRSPEECH_TRAILER) << c.style << " message " << i;
            EXPECT_EQ(h.type, KRSPEECH_DATA);
            const int want = c.dataLengths[i - before - 1];
            if (want >= 0)
                EXPECT_EQ(h.length, want) << c.style << " message " << i;
            else
                EXPECT_TRUE(h.length >= 1 && h.length <= 255) << h.length;
        }
        EXPECT_EQ(got[before].code, KRSPEECH_OPEN);
        EXPECT_EQ(got.back().code, KRSPEECH_CLOSE);
        ++id;
    }
    EXPECT_EQ(KrSendPhraseDataRQ(client, id, 16, tone.data(), 10), -4);
    EXPECT_EQ(KrSendPhraseDataRQ(client, id, 9, tone.data(), 10), -4) << "a style that cannot start";
    const std::string stats = KrGetSpeechStats(1); // of the last phrase: three VoxWare frames
    EXPECT_EQ(stats.rfind("Compressed 4320 bytes into ", 0), 0u) << stats;
    EXPECT_EQ(stats.substr(stats.size() - 13), " in 3 packets") << stats;
}

// A one-second tone phrase over a request session plays back: byte-equal in the raw styles, with
// equal length (the sender pads the last frame) and at least 15 dB in the coded ones.
TEST_P(SpeechRQ, AToneTravelsAndPlaysBack) {
    KRTLADDR local = Loopback(0);
    KRSESS_HNDL* listener = KrSessOpenInternal(1, &local, nullptr, SpeechListener, &rec_, nullptr, 0);
    ASSERT_NE(listener, nullptr);
    opened_.push_back(listener);
    KRTLADDR bound{};
    ASSERT_EQ(KrSessGetLocalTlAddr(listener, &bound), 0);
    uint16_t port = 0;
    KrGetTlIPPort(&bound, &port);
    KRSESS_HNDL* client = Open(ntohs(port), {}, &client_);
    ASSERT_NE(client, nullptr);
    const Bytes tone = Tone();
    for (int16_t style : {0, 1, 2, 3, 4}) {
        int32_t raw = 0;
        KrGetCodecParameters(style, nullptr, &raw, nullptr, nullptr, nullptr);
        Bytes source = tone;
        if (style >= 2) source.resize((source.size() + (size_t)raw - 1) / (size_t)raw * (size_t)raw, 0);
        // One frame per call, each taken in before the next, so that the sender's transmit
        // buffer never fills.
        g_SpeechRequests = 0;
        int sent = 1;
        ASSERT_EQ(KrOpenPhraseRQ(client, 7, style), 0);
        for (size_t at = 0; at < source.size(); at += (size_t)raw, ++sent) {
            ASSERT_TRUE(kio::WaitUntil([&] { return g_SpeechRequests.load() == sent; })) << style;
            const auto n = (uint16_t)std::min<size_t>((size_t)raw, source.size() - at);
            ASSERT_EQ(KrSendPhraseDataRQ(client, 7, style, source.data() + at, n), 0) << style << " at " << at;
        }
        ASSERT_EQ(KrClosePhraseRQ(client, 7), 0);
        ASSERT_TRUE(kio::WaitUntil([] { return KrIsReadyToPlay(1 << 30) == 1; })) << style;
        Bytes played;
        uint8_t block[512];
        for (int r; (r = KrSpeechInX(block, sizeof block, 0)) > 0;) played.insert(played.end(), block, block + r);
        ASSERT_EQ(played.size(), source.size()) << style;
        if (style < 2)
            EXPECT_EQ(played, source) << style;
        else
            EXPECT_GE(SnrDb(source, played), 15.0) << style;
    }
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, SpeechRQ, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param ? "Tcp" : "Udp"; });

}  // namespace
