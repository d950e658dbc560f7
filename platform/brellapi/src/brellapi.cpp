// The client library stand-in: a few words of state behind one lock. Start and stop answer from
// their scripts (0 once a script is used up), the player index and last error answer what the
// controls set, and every call is counted. The state is a constant-initialised object without
// heap memory, so it is valid from load to unload whatever order other modules start and end in.
#include <mutex>

#include "brellapi_control.h"

namespace {

// The answers still to give, in order.
struct Script {
    int32_t results[kBwMaxScript] = {};
    int32_t count = 0, next = 0;

    int32_t Next() { return next < count ? results[next++] : 0; }
    void Set(const int32_t* list, int32_t n) {
        next = 0;
        count = 0;
        if (!list || n <= 0)
            return;
        count = n < kBwMaxScript ? n : kBwMaxScript;
        for (int32_t i = 0; i < count; ++i)
            results[i] = list[i];
    }
};

struct BwState {
    std::mutex lock;
    Script startupScript;
    Script shutdownScript;
    int32_t playerIndex = 1;
    int32_t lastError = 0;
    BwCallCounts counts{};
};

constinit BwState g_State;

BwState& S() {
    return g_State;
}

} // namespace

BWAPI int32_t BwStartup(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.startup;
    return s.startupScript.Next();
}

BWAPI int32_t BwShutdown(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.shutdown;
    return s.shutdownScript.Next();
}

BWAPI int32_t BwGetPlayerIndex(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.getPlayerIndex;
    return s.playerIndex;
}

BWAPI int32_t BwGetLastError(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.getLastError;
    return s.lastError;
}

BWAPI void BwControlReset(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    s.startupScript.Set(nullptr, 0);
    s.shutdownScript.Set(nullptr, 0);
    s.playerIndex = 1;
    s.lastError = 0;
    s.counts = BwCallCounts{};
}

BWAPI void BwControlScriptStartup(const int32_t* results, int32_t count) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    s.startupScript.Set(results, count);
}

BWAPI void BwControlScriptShutdown(const int32_t* results, int32_t count) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    s.shutdownScript.Set(results, count);
}

BWAPI void BwControlSetPlayerIndex(int32_t index) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    s.playerIndex = index;
}

BWAPI void BwControlSetLastError(int32_t code) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    s.lastError = code;
}

BWAPI void BwControlGetCounts(BwCallCounts* out) {
    if (!out)
        return;
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    *out = s.counts;
}
