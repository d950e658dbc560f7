// What the io channel, UDP and TCP tests share: the modules started with the trace file in a
// fresh directory, plain sockets on 127.0.0.1 to play the peer, a thread-safe record of channel
// events, waiting with a guard against hangs (never a time measurement), and the tools krpeer and
// krfault run as child processes.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "krio.h"

namespace kio {

// The limit of every wait: it only stops a hung test, no result depends on it.
constexpr int kGuardSeconds = 30;

// Starts the per-thread error value, the clock with the timeout thread, and the io module.
class Transport : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Trace() const;
    int TraceCount(const std::string& text) const;
    std::string traceDir_;
};

sockaddr_in Loopback(uint16_t port);
uint16_t PortOf(const sockaddr_in& address);

// A plain socket bound to 127.0.0.1 (port 0: the system picks).
struct RawSocket {
    explicit RawSocket(int type, uint16_t port = 0);
    ~RawSocket();
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    int fd = -1;
    sockaddr_in address{};
};

// Waits until `done` holds; false when the guard ran out.
bool WaitUntil(const std::function<bool()>& done, int guardSeconds = kGuardSeconds);

// A record of callbacks: each event's class, and what a handler put in.
struct Events {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint32_t> classes;
    std::vector<std::vector<uint8_t>> data;
    void Add(uint32_t eventClass, std::vector<uint8_t> bytes = {});
    // Waits until at least `n` events are recorded; false when the guard ran out.
    bool AtLeast(size_t n);
    size_t Count();
};

// A child process with pipes on its standard input, output and error.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& arguments);
    ~Child();
    // The next line of standard output that starts with `prefix` (read until it comes); empty
    // when the output ends first.
    std::string LineStartingWith(const std::string& prefix);
    // The port of a "...listening udp|tcp 127.0.0.1:PORT" line.
    uint16_t ListeningPort();
    void Send(const std::string& line); // to standard input
    void CloseInput();
    // Waits for the exit; the exit code, or -1 (killed by a signal, or the guard ran out).
    int Wait();
    // All of standard output and error read so far (Wait reads the rest).
    std::string Output() const { return out_; }
    std::string Errors() const { return err_; }

private:
    void Pump(int timeoutMs);
    pid_t pid_ = -1;
    int in_ = -1, out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
    size_t outRead_ = 0;
    int status_ = -2;
};

std::string ToolPath(const std::string& name);

}  // namespace kio
