// The shared pieces of the transport tests (see transport_fixture.h).
#include "transport_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "krerrno.h"
#include "krlog.h"
#include "krtime.h"
#include "test_machine.h"

extern char** environ;

namespace kio {

void Transport::SetUp() {
    traceDir_ = kt::FreshTraceDir();
    KrSetTrace(KR_TRACE_DEFAULT);
    KrErrorInit();
    KrTimeModuleInit();
    KrIOModuleInit();
}

void Transport::TearDown() {
    KrIOModuleCleanup();
    KrTimeModuleCleanup();
    KrTraceClose();
}

std::string Transport::Trace() const {
    return kt::ReadFile(traceDir_ + "/krtrace.txt");
}

int Transport::TraceCount(const std::string& text) const {
    const std::string trace = Trace();
    int n = 0;
    for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) ++n;
    return n;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

uint16_t PortOf(const sockaddr_in& address) {
    return ntohs(address.sin_port);
}

RawSocket::RawSocket(int type, uint16_t port) {
    fd = socket(AF_INET, type, 0);
    address = Loopback(port);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ADD_FAILURE() << "cannot bind a test socket to port " << port;
}

RawSocket::~RawSocket() {
    if (fd >= 0) close(fd);
}

bool WaitUntil(const std::function<bool()>& done, int guardSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Events::Add(uint32_t eventClass, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> hold(lock);
    classes.push_back(eventClass);
    data.push_back(std::move(bytes));
    changed.notify_all();
}

bool Events::AtLeast(size_t n) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::seconds(kGuardSeconds), [&] { return classes.size() >= n; });
}

size_t Events::Count() {
    std::lock_guard<std::mutex> hold(lock);
    return classes.size();
}

std::string ToolPath(const std::string& name) {
    return std::string(KR_TOOL_DIR) + "/" + name;
}

Child::Child(const std::string& program, const std::vector<std::string>& arguments) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipes";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        ADD_FAILURE() << "cannot run " << program;
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
}

Child::~Child() {
    if (pid_ > 0 && status_ == -2) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_fd_, err_fd_})
        if (fd >= 0) close(fd);
}

void Child::Pump(int timeoutMs) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    char bytes[4096];
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        ssize_t got = read(fds[i].fd, bytes, sizeof bytes);
        if (got > 0) {
            (i == 0 ? out_ : err_).append(bytes, (size_t)got);
        } else {
            close(fds[i].fd);
            (i == 0 ? out_fd_ : err_fd_) = -1;
        }
    }
}

std::string Child::LineStartingWith(const std::string& prefix) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds);
    for (;;) {
        size_t newline;
        while ((newline = out_.find('\n', outRead_)) != std::string::npos) {
            std::string line = out_.substr(outRead_, newline - outRead_);
            outRead_ = newline + 1;
            if (line.rfind(prefix, 0) == 0) return line;
        }
        if (out_fd_ < 0 || std::chrono::steady_clock::now() > end) return "";
        Pump(100);
    }
}

uint16_t Child::ListeningPort() {
    std::string line = LineStartingWith("");
    while (!line.empty() && line.find("listening") == std::string::npos) line = LineStartingWith("");
    size_t colon = line.rfind(':');
    EXPECT_NE(colon, std::string::npos) << "no listening line; errors: " << err_;
    return colon == std::string::npos ? 0 : (uint16_t)std::stoi(line.substr(colon + 1));
}

void Child::Send(const std::string& line) {
    std::string text = line + "\n";
    if (in_ >= 0) {
        EXPECT_EQ(write(in_, text.data(), text.size()), (ssize_t)text.size());
    }
}

void Child::CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

int Child::Wait() {
    if (pid_ <= 0) return -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds * 2);
    while (status_ == -2) {
        int status = 0;
        pid_t got = waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > end) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = -1;
            break;
        }
        if (out_fd_ >= 0 || err_fd_ >= 0)
            Pump(20);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    while (out_fd_ >= 0 || err_fd_ >= 0) Pump(100);
    return status_;
}

}  // namespace kio
