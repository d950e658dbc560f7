// The private Xvfb display of the window tests (see x_display.h).
#include "x_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace wt {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(double seconds) {
    return Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

// X errors (a window that went away while it was looked at) are not fatal to the test.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

bool HasTitle(Display* d, Window w, const std::string& title) {
    char* name = nullptr;
    bool same = false;
    if (XFetchName(d, w, &name) && name) {
        same = title == name;
        XFree(name);
    }
    return same;
}

bool Viewable(Display* d, Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

}  // namespace

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string candidate = list.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

XDisplay::XDisplay(int width, int height) {
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) {
        error_ = "Xvfb is not installed (Debian package xvfb; `make deps` installs it as root)";
        return;
    }
    int report[2];
    if (pipe(report) != 0) {
        error_ = "no pipe";
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(report[1]);
    std::vector<const char*> argv = {xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                                     "-nolisten", "tcp", "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, report[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, const_cast<char**>(argv.data()), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(report[1]);
    if (pid_ <= 0) {
        close(report[0]);
        error_ = "Xvfb could not be started";
        return;
    }
    // Xvfb writes the display number it took once it accepts connections.
    std::string number;
    const auto end = Deadline(30);
    while (Clock::now() < end && number.find('\n') == std::string::npos) {
        pollfd p{report[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char bytes[32];
        const ssize_t got = read(report[0], bytes, sizeof bytes);
        if (got <= 0) break;
        number.append(bytes, static_cast<size_t>(got));
    }
    close(report[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not report a display within 30 s";
        return;
    }
    name_ = ":" + number.substr(0, number.find('\n'));
    XSetErrorHandler(IgnoreXError);
    display_ = XOpenDisplay(name_.c_str());
    if (!display_) error_ = "cannot connect to Xvfb on " + name_;
}

XDisplay::~XDisplay() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto end = Deadline(10);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

unsigned long XDisplay::WaitForWindow(const std::string& title, double seconds) {
    Display* d = static_cast<Display*>(display_);
    if (!d) return 0;
    const auto end = Deadline(seconds);
    do {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i)
                if (HasTitle(d, children[i], title) && Viewable(d, children[i])) found = children[i];
            if (children) XFree(children);
        }
        if (found) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < end);
    return 0;
}

bool XDisplay::RequestClose(unsigned long window) {
    Display* d = static_cast<Display*>(display_);
    if (!d || !window) return false;
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
    XSync(d, False);
    return sent;
}

std::vector<uint32_t> XDisplay::Contents(unsigned long window, int width, int height) {
    Display* d = static_cast<Display*>(display_);
    std::vector<uint32_t> pixels;
    if (!d || !window) return pixels;
    XImage* image = XGetImage(d, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
    XDestroyImage(image);
    return pixels;
}

}  // namespace wt
