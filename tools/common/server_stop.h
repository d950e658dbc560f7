// How the long-running tools (servers and proxies) are stopped: by a "quit" command on standard
// input, or by SIGINT or SIGTERM. The end of standard input, or a standard input that was never
// open (`tool &` in a script, `tool <&-`), stops nothing: the tool runs on until it is told to stop,
// then prints its summary line as after "quit".
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace server_stop {

namespace detail {
inline volatile sig_atomic_t g_requested = 0;
inline int g_pipe[2] = {-1, -1};

inline void OnSignal(int) {
    const int saved = errno;
    g_requested = 1;
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        if (write(g_pipe[1], &byte, 1) < 0) {}  // the pipe is full: a wake-up is already waiting
    }
    errno = saved;
}
}  // namespace detail

// Call once at start, before any socket is opened. Returns whether standard input is open. A
// closed standard input is replaced by /dev/null, so that no socket the tool opens later takes
// descriptor 0 and is read as commands.
inline bool Install() {
    bool inputOpen = fcntl(0, F_GETFD) != -1;
    if (!inputOpen) {
        const int fd = open("/dev/null", O_RDONLY);
        if (fd > 0) {
            dup2(fd, 0);
            close(fd);
        }
    }
    if (detail::g_pipe[0] < 0 && pipe(detail::g_pipe) == 0)
        for (int fd : detail::g_pipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    struct sigaction action {};
    action.sa_handler = detail::OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return inputOpen;
}

// A descriptor that becomes readable when a stop signal arrives (for poll); -1 before Install.
inline int WakeFd() { return detail::g_pipe[0]; }

// True once SIGINT or SIGTERM has arrived.
inline bool Requested() { return detail::g_requested != 0; }

}  // namespace server_stop
