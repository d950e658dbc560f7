// The session tests' shared fixture (see sess_fixture.h).
#include "sess_fixture.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "krcgame_modules.h"
#include "krerrno.h"
#include "krnetdb.h"
#include "krtime.h"
#include "krtmo.h"

namespace ks {

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words)
        for (int i = 3; i >= 0; --i) b.push_back((uint8_t)(w >> (8 * i)));
    return b;
}

uint32_t WordAt(const Bytes& b, size_t at) {
    return (uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3];
}

std::string Hex(const Bytes& bytes) {
    std::string s;
    char two[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        s += two;
    }
    return s;
}

// ---- the handler's record ----

void Recorder::Add(Delivery d) {
    std::lock_guard<std::mutex> hold(lock);
    seen.push_back(std::move(d));
    changed.notify_all();
}

bool Recorder::Wait(const std::function<bool()>& done) { return kio::WaitUntil(done); }

size_t Recorder::Size() {
    std::lock_guard<std::mutex> hold(lock);
    return seen.size();
}

Delivery Recorder::At(size_t i) {
    std::lock_guard<std::mutex> hold(lock);
    return i < seen.size() ? seen[i] : Delivery{};
}

size_t Recorder::Count(uint32_t code) {
    std::lock_guard<std::mutex> hold(lock);
    return (size_t)std::count_if(seen.begin(), seen.end(), [&](const Delivery& d) { return d.code == code; });
}

std::vector<uint32_t> Recorder::Reasons(KRSESS_HNDL* session) {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<uint32_t> reasons;
    for (const Delivery& d : seen)
        if (d.session == session && d.code == KRSESS_CODE_CLOSED && d.data.size() == 4) reasons.push_back(WordAt(d.data, 0));
    return reasons;
}

std::vector<Delivery> Recorder::Held() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<Delivery> held;
    for (const Delivery& d : seen)
        if (d.request && d.code != KRSESS_CODE_OPENED && d.code != KRSESS_CODE_CLOSED) held.push_back(d);
    return held;
}

void Recorder::Forget(KRREQ_HNDL* request) {
    std::lock_guard<std::mutex> hold(lock);
    for (Delivery& d : seen)
        if (d.request == request) d.request = nullptr;
}

void RecordingHandler(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                      KRREQ_HNDL* request) {
    auto* rec = static_cast<Recorder*>(context);
    Bytes bytes(data, data + length);
    bool hold;
    {
        std::lock_guard<std::mutex> guard(rec->lock);
        hold = rec->hold;
    }
    const bool internal = code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED;
    if (internal) {
        KrSReqNoRespComplete(session, request);
        request = nullptr;
    } else if (!hold) {
        KrSReqComplete(session, request, code + 1, data, length);
        request = nullptr;
    }
    rec->Add(Delivery{session, code, std::move(bytes), request});
}

// ---- packets ----

Bytes Control(uint32_t code, uint32_t id, const Bytes& payload) {
    KRHDR h{};
    h.kind = KRHDR_KIND_CONTROL;
    h.id = id;
    h.length = (uint32_t)payload.size();
    h.sequence = code;
    uint8_t* message = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(KrReqCTCntlMsgAlloc(KrReqCryptPlainText(), 0, &h, payload.data(), &message, &length), 0);
    Bytes out(message, message + length);
    KrReqMsgFree(message);
    return out;
}

Bytes Request(uint32_t id, uint32_t sequence, uint32_t code, const Bytes& payload, uint32_t flag) {
    KRHDR h{};
    h.kind = KRHDR_KIND_REQUEST;
    h.id = id;
    h.length = (uint32_t)payload.size();
    h.flag = flag;
    h.code = code;
    uint8_t* message = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(KrReqCTMsgAlloc(KrReqCryptPlainText(), sequence, &h, payload.data(), &message, &length), 0);
    Bytes out(message, message + length);
    KrReqMsgFree(message);
    return out;
}

bool Parse(const Bytes& bytes, std::vector<Packet>* out, size_t* used) {
    size_t at = 0;
    while (bytes.size() - at >= KRHDR_MIN_PT_LEN) {
        const int headerLen = KrHdrPackedLen(bytes[at]);
        if (headerLen < 0) return false;
        if (bytes.size() - at < (size_t)headerLen) break;
        Packet p;
        if (KrHdrUnpack(bytes.data() + at, &p.h, 1) != 0) return false;
        const size_t total = (size_t)headerLen + p.h.length + p.h.pad + 2;
        if (bytes.size() - at < total) break;
        p.payload.assign(bytes.begin() + (long)at + headerLen, bytes.begin() + (long)at + headerLen + p.h.length);
        p.raw.assign(bytes.begin() + (long)at, bytes.begin() + (long)(at + total));
        out->push_back(std::move(p));
        at += total;
    }
    *used = at;
    return true;
}

// ---- the raw peer ----

RawPeer::RawPeer(bool tcp) : tcp_(tcp) {
    fd_ = socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in a = kio::Loopback(0);
    socklen_t n = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0 || (tcp && listen(fd_, 4) != 0))
        ADD_FAILURE() << "cannot make the raw peer's socket";
}

RawPeer::~RawPeer() {
    if (conn_ >= 0) close(conn_);
    if (fd_ >= 0) close(fd_);
}

uint16_t RawPeer::Port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
}

KRTLADDR RawPeer::Address() const {
    KRTLADDR t{};
    KrTlAddrZero(&t, tcp_ ? KRTL_TCP : KRTL_UDP);
    KrSetTlIPAddr(&t, htonl(INADDR_LOOPBACK));
    KrSetTlIPPort(&t, htons(Port()));
    return t;
}

bool RawPeer::Next(Packet* packet, int guardMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
    for (;;) {
        if (tcp_ && !pending_.empty()) {
            std::vector<Packet> got;
            size_t used = 0;
            if (!Parse(pending_, &got, &used)) return false;
            if (!got.empty()) {
                pending_.erase(pending_.begin(), pending_.begin() + (long)got[0].raw.size());
                *packet = std::move(got[0]);
                return true;
            }
        }
        const int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd p{tcp_ && conn_ >= 0 ? conn_ : fd_, POLLIN, 0};
        if (poll(&p, 1, left) <= 0) return false;
        if (tcp_ && conn_ < 0) {
            conn_ = accept(fd_, nullptr, nullptr);
            if (conn_ < 0) return false;
            continue;
        }
        uint8_t buffer[70000];
        if (tcp_) {
            ssize_t n = recv(conn_, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            pending_.insert(pending_.end(), buffer, buffer + n);
            continue;
        }
        socklen_t n = sizeof peer_;
        ssize_t got = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer_), &n);
        if (got <= 0) return false;
        havePeer_ = true;
        std::vector<Packet> packets;
        size_t used = 0;
        if (!Parse(Bytes(buffer, buffer + got), &packets, &used) || packets.empty()) return false;
        *packet = std::move(packets[0]);
        return true;
    }
}

void RawPeer::Send(const Bytes& bytes) {
    if (tcp_) {
        ASSERT_GE(conn_, 0);
        ASSERT_EQ(send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL), (ssize_t)bytes.size());
    } else {
        ASSERT_TRUE(havePeer_);
        ASSERT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&peer_), sizeof peer_),
                  (ssize_t)bytes.size());
    }
}

void RawPeer::Drop() {
    if (conn_ >= 0) close(conn_);
    conn_ = -1;
}

Packet RawPeer::AcceptConnect(uint32_t ourId, uint32_t txInterval, uint32_t rxCount) {
    Packet connect;
    EXPECT_TRUE(Next(&connect)) << "no connect came";
    EXPECT_EQ(connect.h.kind, (uint32_t)KRHDR_KIND_CONTROL);
    EXPECT_EQ(connect.h.sequence, (uint32_t)KRSESS_CNTL_CONNECT);
    if (connect.payload.size() < 24) return connect;
    // The answering side's words: its local word is what the connect named as remote, and the
    // other way round.
    Send(Control(KRSESS_CNTL_CONNECT_ACK, ourId,
                 Words({102, WordAt(connect.payload, 4), WordAt(connect.payload, 12), WordAt(connect.payload, 8),
                        txInterval, rxCount})));
    return connect;
}

// ---- the clock ----

namespace {
std::atomic<uint32_t> g_Now{0};
uint32_t TestTick() { return g_Now.load(); }
std::mutex g_PassLock;
std::condition_variable g_PassChanged;
KRTIME g_LastPass{};
void PassDone(const KRTIME* now) {
    std::lock_guard<std::mutex> hold(g_PassLock);
    g_LastPass = *now;
    g_PassChanged.notify_all();
}
}  // namespace

void ClockInstall() {
    g_Now = 1000000;
    KrTimeSetTickSource(TestTick);
    KrTmoSetPassHook(PassDone);
}

void ClockRemove() {
    KrTmoSetPassHook(nullptr);
    KrTimeSetTickSource(nullptr);
}

void Bump(uint32_t ms) { g_Now += ms; }

void Advance(uint32_t ms) {
    g_Now += ms;
    KRTIME target;
    KrGetTime(&target);
    KrTmoWakeup();
    std::unique_lock<std::mutex> hold(g_PassLock);
    ASSERT_TRUE(g_PassChanged.wait_for(hold, std::chrono::seconds(kio::kGuardSeconds),
                                       [&] { return KrTimeGreaterEqual(&g_LastPass, &target); }))
        << "the timeout thread made no pass at the new time";
}

// ---- the fixture ----

void Sessions::SetUp() {
    kio::Transport::SetUp();
    ClockInstall();
    ASSERT_EQ(KrRqModuleInit(), 0);
}

void Sessions::TearDown() {
    CloseAll();
    KrRqModuleCleanup();
    ClockRemove();
    kio::Transport::TearDown();
}

void Sessions::CloseAll() {
    std::vector<KRSESS_HNDL*> all = opened_;
    for (Recorder* r : {&rec_, &client_}) {
        std::lock_guard<std::mutex> hold(r->lock);
        for (const Delivery& d : r->seen)
            if (d.code == KRSESS_CODE_OPENED) all.push_back(d.session);
        r->hold = false;
    }
    // Requests still held are ended, then every session is closed.
    for (Recorder* r : {&rec_, &client_})
        for (const Delivery& d : r->Held())
            if (KrSessState(d.session) != KRSESS_DESTROYED) KrSReqNoRespComplete(d.session, d.request);
    for (KRSESS_HNDL* s : all)
        if (KrSessState(s) != KRSESS_DESTROYED) KrSessClose(s);
    opened_.clear();
    EXPECT_TRUE(kio::WaitUntil([] { return KrSessCount() == 0 && KrMuxCount() == 0; }))
        << KrSessCount() << " sessions and " << KrMuxCount() << " muxes left";
}

KRTLADDR Sessions::Loopback(uint16_t port) const {
    KRTLADDR t{};
    KrTlAddrZero(&t, Tcp() ? KRTL_TCP : KRTL_UDP);
    KrSetTlIPAddr(&t, htonl(INADDR_LOOPBACK));
    KrSetTlIPPort(&t, htons(port));
    return t;
}

KRSESS_HNDL* Sessions::Listen(uint16_t* port, std::vector<KRSESS_OPT> options) {
    KRTLADDR local = Loopback(0);
    KRSESS_HNDL* s = KrSessOpenInternal(1, &local, nullptr, RecordingHandler, &rec_, options.data(),
                                        (uint32_t)options.size());
    EXPECT_NE(s, nullptr) << Trace();
    if (!s) return nullptr;
    opened_.push_back(s);
    KRTLADDR bound{};
    EXPECT_EQ(KrSessGetLocalTlAddr(s, &bound), 0);
    uint16_t p = 0;
    KrGetTlIPPort(&bound, &p);
    *port = ntohs(p);
    return s;
}

KRSESS_HNDL* Sessions::Open(uint16_t port, std::vector<KRSESS_OPT> options, Recorder* record) {
    KRTLADDR remote = Loopback(port);
    KRSESS_HNDL* s = KrSessOpenInternal(0, nullptr, &remote, record ? RecordingHandler : nullptr, record,
                                        options.data(), (uint32_t)options.size());
    if (s) opened_.push_back(s);
    return s;
}

KRSESS_HNDL* Sessions::OpenToRaw(RawPeer& peer, uint32_t peerId, uint32_t txInterval, uint32_t rxCount,
                                 std::vector<KRSESS_OPT> options, Packet* connect) {
    KRTLADDR remote = peer.Address();
    KRSESS_HNDL* s = nullptr;
    std::thread opener([&] {
        KrErrorInit();
        s = KrSessOpenInternal(0, nullptr, &remote, RecordingHandler, &client_, options.data(),
                               (uint32_t)options.size());
    });
    Packet c = peer.AcceptConnect(peerId, txInterval, rxCount);
    opener.join();
    if (connect) *connect = c;
    if (s) opened_.push_back(s);
    return s;
}

}  // namespace ks
