// Test helper: a program with its standard input and output on pipes (and its own environment
// additions), read line by line with bounded waits, killed when the test lets go of it.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tooltest {

// Bounds a wait for a line that must come; no result depends on its length.
constexpr int kLineGuardMs = 20000;

class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::pair<std::string, std::string>>& env = {}) {
        int in[2], out[2];
        EXPECT_EQ(pipe(in), 0);
        EXPECT_EQ(pipe(out), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        // Our ends stay out of the programs started later.
        fcntl(in[1], F_SETFD, FD_CLOEXEC);
        fcntl(out[0], F_SETFD, FD_CLOEXEC);
        to_ = in[1];
        from_ = out[0];
    }
    ~Child() {
        if (to_ >= 0) close(to_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (drain_.joinable()) drain_.join();
        close(from_);
    }
    // From now on the output is read by a thread of its own (a chatty program never blocks on a
    // full pipe) and kept for Collected; Until and Line no longer apply.
    void CollectOutput() {
        drain_ = std::thread([this] {
            char chunk[4096];
            for (ssize_t n; (n = read(from_, chunk, sizeof chunk)) > 0;) {
                std::lock_guard<std::mutex> hold(collectedLock_);
                collected_.append(chunk, size_t(n));
            }
        });
    }
    std::string Collected() {
        std::lock_guard<std::mutex> hold(collectedLock_);
        return collected_;
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Say(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(write(to_, text.data(), text.size()), ssize_t(text.size()));
    }
    // Lines until one starts with `prefix` (that one last), or the guard passes.
    std::vector<std::string> Until(const std::string& prefix, int ms = kLineGuardMs) {
        std::vector<std::string> lines;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            size_t nl;
            while ((nl = buffer_.find('\n')) != std::string::npos) {
                lines.push_back(buffer_.substr(0, nl));
                buffer_.erase(0, nl + 1);
                if (lines.back().rfind(prefix, 0) == 0) return lines;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ADD_FAILURE() << "no line starting with \"" << prefix << "\"; got: " << buffer_;
                return lines;
            }
            pollfd p = {from_, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0) continue;
            char chunk[4096];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) {
                ADD_FAILURE() << "the program ended; waiting for \"" << prefix << "\"";
                return lines;
            }
            buffer_.append(chunk, size_t(n));
        }
    }
    std::string Line(const std::string& prefix, int ms = kLineGuardMs) {
        std::vector<std::string> lines = Until(prefix, ms);
        return lines.empty() ? std::string() : lines.back();
    }
    // Closes standard input and waits for the exit: the exit code, -1 for a signal or a program
    // still running after the guard (which is then killed).
    int Finish(int ms = kLineGuardMs) {
        close(to_);
        to_ = -1;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            usleep(10000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Kill() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string buffer_;
    std::thread drain_;
    std::mutex collectedLock_;
    std::string collected_;
};

// The word after `key` in a line.
inline std::string After(const std::string& line, const std::string& key) {
    const size_t at = line.find(key + " ");
    if (at == std::string::npos) return {};
    const size_t start = at + key.size() + 1;
    return line.substr(start, line.find(' ', start) - start);
}

}  // namespace tooltest
