// The raw input queue between the backend and the DirectInput layer (see plat_input.h).
#include <deque>
#include <mutex>

#include "internal.h"
#include "plat_input.h"

namespace plat {
namespace {
struct InputQueue {
    std::mutex lock;
    std::deque<InputEvent> events;
};
InputQueue& Q() {
    static InputQueue* q = new InputQueue; // never destroyed: usable from exit handlers
    return *q;
}
}  // namespace

void PushInput(const InputEvent& event) {
    InputQueue& q = Q();
    std::lock_guard<std::mutex> guard(q.lock);
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
}

}  // namespace plat
