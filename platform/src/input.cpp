// The raw input queue between the backend and the DirectInput layer, and the held state of every
// key that the asynchronous key query answers from (see plat_input.h).
#include <array>
#include <deque>
#include <mutex>

#include "dinput.h"
#include "internal.h"
#include "plat_input.h"

namespace plat {
namespace {
struct InputQueue {
    std::mutex lock;
    std::deque<InputEvent> events;
    std::array<bool, 256> held{};
};
InputQueue& Q() {
    static InputQueue* q = new InputQueue; // never destroyed: usable from exit handlers
    return *q;
}
}  // namespace

void PushInput(const InputEvent& event) {
    InputQueue& q = Q();
    std::lock_guard<std::mutex> guard(q.lock);
    if (event.kind == InputKind::KeyDown || event.kind == InputKind::KeyUp)
        q.held[event.scanCode] = event.kind == InputKind::KeyDown;
    if (q.events.size() >= kInputQueueLimit)
        q.events.pop_front();
    q.events.push_back(event);
}

std::vector<InputEvent> DrainInput() {
    InputQueue& q = Q();
    std::lock_guard<std::mutex> guard(q.lock);
    std::vector<InputEvent> out(q.events.begin(), q.events.end());
    q.events.clear();
    return out;
}

void ClearInput() {
    InputQueue& q = Q();
    std::lock_guard<std::mutex> guard(q.lock);
    q.events.clear();
    q.held.fill(false);
}

bool IsKeyHeld(uint8_t scanCode) {
    InputQueue& q = Q();
    std::lock_guard<std::mutex> guard(q.lock);
    return q.held[scanCode];
}

}  // namespace plat

namespace {
// Virtual keys to the scan codes that stand for them.
struct VirtualKey {
    int vk;
    uint8_t scanCodes[2];  // 0: none
};
constexpr VirtualKey kVirtualKeys[] = {
    {VK_SHIFT, {0x2A, 0x36}},  // left and right Shift
    {VK_END, {0xCF, 0}},
    {VK_HOME, {0xC7, 0}},
};
}  // namespace

PLATAPI int16_t GetAsyncKeyState(int virtualKey) {
    for (const VirtualKey& k : kVirtualKeys)
        if (k.vk == virtualKey) {
            for (uint8_t code : k.scanCodes)
                if (code && plat::IsKeyHeld(code))
                    return int16_t(0x8000);
            return 0;
        }
    return 0;
}

namespace plat {

}  // namespace plat
