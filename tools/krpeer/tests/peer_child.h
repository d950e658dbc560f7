// Running krpeer and krfault as child processes for the end-to-end tests: pipes on standard
// input (or none) and output, the next output line that starts with a prefix, and the exit code, every wait
// bounded by a guard that only stops a hung test.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace kpt {

constexpr int kGuardSeconds = 60;

inline std::string Tool(const std::string& name) { return std::string(KR_TOOL_DIR) + "/" + name; }

// What the child's standard input is: a pipe the test writes, closed, or /dev/null (a background
// job of a script).
enum class Input { kPipe, kClosed, kDevNull };

class Child {
public:
    // With `mergeErrors` standard error goes into the same pipe as standard output.
    Child(const std::string& program, const std::vector<std::string>& arguments, Input input = Input::kPipe,
          bool mergeErrors = false) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (input == Input::kPipe)
            posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        else if (input == Input::kClosed)
            posix_spawn_file_actions_addclose(&actions, 0);
        else
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (mergeErrors) posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
    }
    ~Child() {
        if (pid_ > 0 && status_ == -2) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // The next line that starts with `prefix` (lines before it are passed by); empty when the
    // output ends or the guard runs out first.
    std::string Line(const std::string& prefix, int guardSeconds = kGuardSeconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
        for (;;) {
            size_t eol;
            while ((eol = text_.find('\n', read_)) != std::string::npos) {
                std::string line = text_.substr(read_, eol - read_);
                read_ = eol + 1;
                if (line.compare(0, prefix.size(), prefix) == 0) return line;
            }
            if (std::chrono::steady_clock::now() > end || !Pump(50)) return std::string();
        }
    }
    // The port of a "port N" or "...listening udp|tcp 127.0.0.1:N" line.
    uint16_t Port(const std::string& prefix) {
        const std::string line = Line(prefix);
        const size_t at = line.find_last_of(": ");
        return line.empty() ? 0 : (uint16_t)std::atoi(line.c_str() + at + 1);
    }
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        if (write(in_, text.data(), text.size()) < 0) {}
    }
    // The exit code once the child ends (its input closed first); -1 after a signal or the guard.
    int Wait(int guardSeconds = kGuardSeconds) {
        if (in_ >= 0) close(in_);
        in_ = -1;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
        while (status_ == -2) {
            int status = 0;
            const pid_t got = waitpid(pid_, &status, WNOHANG);
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
            Pump(10);
        }
        while (Pump(0)) {}
        return status_;
    }
    const std::string& Output() const { return text_; }
    // Closes the child's standard input without waiting for it.
    void CloseInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }
    // Sends a signal to the child (which has not been waited for).
    void Signal(int number) {
        if (pid_ > 0 && status_ == -2) kill(pid_, number);
    }

private:
    // Reads what is there within `ms`; false at the end of the output.
    bool Pump(int ms) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return true;
        char bytes[4096];
        const ssize_t got = read(out_, bytes, sizeof bytes);
        if (got <= 0) return got < 0;
        text_.append(bytes, (size_t)got);
        return true;
    }
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    int status_ = -2;
    std::string text_;
    size_t read_ = 0;
};

}  // namespace kpt
