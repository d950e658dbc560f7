// What the session, option and request tests share: the request layer started over the
// transports with a test clock (time moves only when a test moves it), a recording request
// handler, sessions opened on 127.0.0.1 with ports the system picks, and a raw peer: a plain
// socket that reads and writes the session protocol by hand, to play a peer that is silent,
// slow, skewed or hostile.
#pragma once
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "krhdr.h"
#include "krrq_sess.h"
#include "transport_fixture.h"

namespace ks {

using Bytes = std::vector<uint8_t>;

Bytes Words(std::initializer_list<uint32_t> words); // big-endian
uint32_t WordAt(const Bytes& bytes, size_t offset);
std::string Hex(const Bytes& bytes);

// One call of the request handler.
struct Delivery {
    KRSESS_HNDL* session;
    uint32_t code;
    Bytes data;
    KRREQ_HNDL* request;
};

// The request handler's record. Internal notices are ended at once; other requests are echoed
// with response code = request code + 1, or held when `hold` is set (see Held).
struct Recorder {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Delivery> seen;
    bool hold = false;
    void Add(Delivery d);
    // Waits until `done` holds (it reads through the locked accessors); false when the guard ran out.
    bool Wait(const std::function<bool()>& done);
    size_t Size();
    Delivery At(size_t i);
    size_t Count(uint32_t code);
    // The reason words of the session-closed notices of `session`.
    std::vector<uint32_t> Reasons(KRSESS_HNDL* session);
    std::vector<Delivery> Held(); // requests kept by `hold`, in order
    void Forget(KRREQ_HNDL* request); // a held request the test has completed itself
};
void RecordingHandler(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                      KRREQ_HNDL* request);

// A received or built packet: the whole header (control code in `h.sequence`), the payload and
// the bytes as they travelled.
struct Packet {
    KRHDR h{};
    Bytes payload;
    Bytes raw;
};
// A control message built by the library's builder under the plain-text handle.
Bytes Control(uint32_t code, uint32_t id, const Bytes& payload);
// A request (flag 0) or response (flag 1) under the plain-text data key.
Bytes Request(uint32_t id, uint32_t sequence, uint32_t code, const Bytes& payload, uint32_t flag);
// Splits a received byte run into whole packets (false when it does not parse).
bool Parse(const Bytes& bytes, std::vector<Packet>* out, size_t* used);

// A plain UDP socket, or a TCP listener that accepts one connection, on 127.0.0.1.
class RawPeer {
public:
    explicit RawPeer(bool tcp);
    ~RawPeer();
    uint16_t Port() const; // host order
    KRTLADDR Address() const;
    // The next packet from the session (accepting the TCP connection first); false when none
    // came within `guardMs` (a guard against hangs, or a check that nothing comes).
    bool Next(Packet* packet, int guardMs = kio::kGuardSeconds * 1000);
    void Send(const Bytes& bytes); // to the session's side (after something arrived from it)
    void Drop();                   // TCP: closes the accepted connection
    // Answers a connect: reads it, replies with a connect-ack under header id `ourId` carrying
    // the heartbeat pair. The connect read is returned.
    Packet AcceptConnect(uint32_t ourId, uint32_t txInterval, uint32_t rxCount);

private:
    bool tcp_;
    int fd_ = -1, conn_ = -1;
    sockaddr_in peer_{};
    bool havePeer_ = false;
    Bytes pending_;
};

// The test clock: installed by the fixture at a fixed start; Advance moves it and waits until
// the timeout thread has made a pass at the new time.
void ClockInstall();
void ClockRemove();
void Advance(uint32_t ms);
// Moves the clock without waiting for the timeout thread (from inside a callback).
void Bump(uint32_t ms);

// The request layer over UDP (param 0) or TCP (param 1).
class Sessions : public kio::Transport, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override;
    void TearDown() override;
    bool Tcp() const { return GetParam() == 1; }
    KRTLADDR Loopback(uint16_t port) const;
    // A listening session on a port the system picks, recording into rec_; its port in *port.
    KRSESS_HNDL* Listen(uint16_t* port, std::vector<KRSESS_OPT> options = {});
    // An active session towards `port`; null when the open fails.
    KRSESS_HNDL* Open(uint16_t port, std::vector<KRSESS_OPT> options = {}, Recorder* record = nullptr);
    // An active session towards a raw peer, which answers the connect as `peerId`.
    KRSESS_HNDL* OpenToRaw(RawPeer& peer, uint32_t peerId, uint32_t txInterval, uint32_t rxCount,
                           std::vector<KRSESS_OPT> options = {}, Packet* connect = nullptr);
    // Closes the sessions still open and waits until every session and mux is gone.
    void CloseAll();
    Recorder rec_;    // the listening sessions' handler
    Recorder client_; // active sessions opened with it
    std::vector<KRSESS_HNDL*> opened_;
};

}  // namespace ks
