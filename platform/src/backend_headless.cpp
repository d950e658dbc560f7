// The headless backend's input script (PLATFORM_INPUT): timed keyboard, mouse and window events
// for tests and unattended runs.
//
// Format: a text file, one event per line, "FRAME EVENT ARGS"; '#' starts a comment; blank
// lines are ignored. FRAME is the number of presented frames after which the event fires
// (0 = at the first look at the message queue). Events:
//   key down SCANCODE | key up SCANCODE   DirectInput / PC set-1 scan code, decimal or 0x hex
//   mouse move DX DY                      relative motion (the absolute position follows it)
//   mouse down BUTTON | mouse up BUTTON   0 left, 1 right, 2 middle
//   minimise | restore                    the main window is minimised or restored (WM_SIZE)
//   close                                 WM_CLOSE is posted to the main window
//   pace MS                               from this frame on, each frame takes at least MS of
//                                         real time (0 ends the pacing), so that several
//                                         headless processes of one network game keep together
// Example:  "25 key down 0x1C", "26 key up 0x1C", "300 close".
// A malformed line is reported on stderr with its line number and skipped. Lines need not be
// in frame order; events of the same frame fire in file order.
#include <algorithm>
#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "internal.h"
#include "plat_input.h"

namespace plat::detail {
namespace {
enum class ScriptKind { Key, Mouse, MouseMove, Minimise, Restore, Close, Pace };

struct ScriptEvent {
    uint64_t frame = 0;
    ScriptKind kind = ScriptKind::Close;
    bool down = false;
    int a = 0, b = 0; // scan code / button / dx, dy
};

struct ScriptState {
    std::mutex lock;
    std::vector<ScriptEvent> events;
    size_t next = 0;
    int mouseX = 320, mouseY = 240;
    int paceMs = 0;
    std::chrono::steady_clock::time_point lastFrame;
};
ScriptState& S() {
    static ScriptState* s = new ScriptState; // never destroyed
    return *s;
}

bool ParseInt(const std::string& text, bool allowHex, bool allowSign, long long lo, long long hi, int* out) {
    if (text.empty())
        return false;
    const char* p = text.c_str();
    int base = 10;
    if (allowHex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        base = 16;
    if (!allowSign && (text[0] == '-' || text[0] == '+'))
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(p, &end, base);
    if (errno != 0 || end == p || *end != '\0' || v < lo || v > hi)
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseFrame(const std::string& text, uint64_t* out) {
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *out = v;
    return true;
}

// Parses one line. Returns true with an event, or false with `error` set (empty error: a blank
// or comment line).
bool ParseLine(std::string line, ScriptEvent* ev, std::string* error) {
    error->clear();
    if (size_t hash = line.find('#'); hash != std::string::npos)
        line.resize(hash);
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    if (w.empty())
        return false;
    if (!ParseFrame(w[0], &ev->frame)) {
        *error = "bad frame number";
        return false;
    }
    if (w.size() < 2) {
        *error = "missing event";
        return false;
    }
    const std::string& what = w[1];
    auto arity = [&](size_t n) {
        if (w.size() != n)
            *error = w.size() < n ? "missing argument" : "too many words";
        return w.size() == n;
    };
    if (what == "key") {
        if (!arity(4))
            return false;
        if (w[2] != "down" && w[2] != "up") {
            *error = "key needs down or up";
            return false;
        }
        ev->kind = ScriptKind::Key;
        ev->down = w[2] == "down";
        if (!ParseInt(w[3], true, false, 1, 255, &ev->a)) {
            *error = "bad scan code";
            return false;
        }
        return true;
    }
    if (what == "mouse") {
        if (w.size() < 3) {
            *error = "missing argument";
            return false;
        }
        if (w[2] == "move") {
            if (!arity(5))
                return false;
            ev->kind = ScriptKind::MouseMove;
            if (!ParseInt(w[3], false, true, -100000, 100000, &ev->a) ||
                !ParseInt(w[4], false, true, -100000, 100000, &ev->b)) {
                *error = "bad mouse motion";
                return false;
            }
            return true;
        }
        if (w[2] == "down" || w[2] == "up") {
            if (!arity(4))
                return false;
            ev->kind = ScriptKind::Mouse;
            ev->down = w[2] == "down";
            if (!ParseInt(w[3], false, false, 0, 2, &ev->a)) {
                *error = "bad mouse button";
                return false;
            }
            return true;
        }
        *error = "mouse needs move, down or up";
        return false;
    }
    if (what == "pace") {
        if (!arity(3))
            return false;
        ev->kind = ScriptKind::Pace;
        if (!ParseInt(w[2], false, false, 0, 60000, &ev->a)) {
            *error = "bad pace";
            return false;
        }
        return true;
    }
    struct Simple {
        const char* word;
        ScriptKind kind;
    };
    static constexpr Simple kSimple[] = {
        {"minimise", ScriptKind::Minimise}, {"restore", ScriptKind::Restore}, {"close", ScriptKind::Close}};
    for (const Simple& s : kSimple) {
        if (what == s.word) {
            if (!arity(2))
                return false;
            ev->kind = s.kind;
            return true;
        }
    }
    *error = "unknown event \"" + what + "\"";
    return false;
}

void Fire(const ScriptEvent& ev) {
    InputEvent in;
    in.time = GetTickCount();
    switch (ev.kind) {
    case ScriptKind::Pace: {
        ScriptState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        s.paceMs = ev.a;
        s.lastFrame = std::chrono::steady_clock::now();
        break;
    }
    case ScriptKind::Key:
        in.kind = ev.down ? InputKind::KeyDown : InputKind::KeyUp;
        in.scanCode = static_cast<uint8_t>(ev.a);
        PushInput(in);
        break;
    case ScriptKind::Mouse:
    case ScriptKind::MouseMove: {
        int width = 640, height = 480;
        const uint32_t* pixels;
        LastFrame(&pixels, &width, &height);
        {
            ScriptState& s = S();
            std::lock_guard<std::mutex> guard(s.lock);
            if (ev.kind == ScriptKind::MouseMove) {
                s.mouseX = std::clamp(s.mouseX + ev.a, 0, width - 1);
                s.mouseY = std::clamp(s.mouseY + ev.b, 0, height - 1);
            }
            in.x = s.mouseX;
            in.y = s.mouseY;
        }
        if (ev.kind == ScriptKind::MouseMove) {
            in.kind = InputKind::MouseMove;
            in.dx = ev.a;
            in.dy = ev.b;
        } else {
            in.kind = ev.down ? InputKind::MouseDown : InputKind::MouseUp;
            in.button = static_cast<uint8_t>(ev.a);
        }
        PushInput(in);
        break;
    }
    case ScriptKind::Minimise:
    case ScriptKind::Restore:
        if (HWND main = MainWindow())
            SetIconic(main, ev.kind == ScriptKind::Minimise);
        break;
    case ScriptKind::Close:
        if (HWND main = MainWindow())
            PostToWindow(main, WM_CLOSE, 0, 0);
        break;
    }
}

// Takes the events due by `frame` (all of the next frame's when `nextOnly`) under the lock.
std::vector<ScriptEvent> TakeDue(uint64_t frame, bool nextOnly) {
    ScriptState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    std::vector<ScriptEvent> due;
    if (nextOnly && s.next < s.events.size())
        frame = s.events[s.next].frame;
    while (s.next < s.events.size() && s.events[s.next].frame <= frame)
        due.push_back(s.events[s.next++]);
    return due;
}
}  // namespace

void ScriptLoad(const std::string& path) {
    std::vector<ScriptEvent> events;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "platform: cannot read the input script %s\n", path.c_str());
    } else {
        std::string line, error;
        for (int number = 1; std::getline(in, line); ++number) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            ScriptEvent ev;
            if (ParseLine(line, &ev, &error))
                events.push_back(ev);
            else if (!error.empty())
                std::fprintf(stderr, "platform: input script %s line %d: %s: %s\n", path.c_str(), number,
                             error.c_str(), line.c_str());
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    ScriptState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.events = std::move(events);
    s.next = 0;
}

void ScriptRunDue(uint64_t frameCount) {
    for (const ScriptEvent& ev : TakeDue(frameCount, false))
        Fire(ev);
}

bool ScriptRunNext() {
    std::vector<ScriptEvent> due = TakeDue(0, true);
    for (const ScriptEvent& ev : due)
        Fire(ev);
    return !due.empty();
}

bool ScriptHasEvents() {
    ScriptState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.next < s.events.size();
}

void ScriptReset() {
    ScriptState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.events.clear();
    s.next = 0;
    s.paceMs = 0;
}

void ScriptPaceFrame() {
    ScriptState& s = S();
    std::chrono::steady_clock::time_point due;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.paceMs <= 0)
            return;
        due = s.lastFrame + std::chrono::milliseconds(s.paceMs);
    }
    std::this_thread::sleep_until(due);
    std::lock_guard<std::mutex> guard(s.lock);
    s.lastFrame = std::max(due, std::chrono::steady_clock::now() - std::chrono::milliseconds(s.paceMs));
}

void ResetInputState() {
    ScriptState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.mouseX = 320;
    s.mouseY = 240;
}

}  // namespace plat::detail
