// The client library stand-in: a few words of state behind one lock. Start and stop answer from
// their scripts (0 once a script is used up), the player index and last error answer what the
// controls set, and every call is counted.
#include <deque>
#include <mutex>

#include "brellapi_control.h"

namespace {

struct BwState {
    std::mutex lock;
    std::deque<int32_t> startupScript;
    std::deque<int32_t> shutdownScript;
    int32_t playerIndex = 1;
    int32_t lastError = 0;
    BwCallCounts counts{};
};

BwState& S() {
    static BwState* s = new BwState; // never destroyed: the game may stop the library at exit
    return *s;
}

int32_t NextResult(std::deque<int32_t>& script) {
    if (script.empty())
        return 0;
    int32_t r = script.front();
    script.pop_front();
    return r;
}

void SetScript(std::deque<int32_t>& script, const int32_t* results, int32_t count) {
    script.clear();
    if (!results || count <= 0)
        return;
    if (count > kBwMaxScript)
        count = kBwMaxScript;
    script.assign(results, results + count);
}

} // namespace

BWAPI int32_t BwStartup(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.startup;
    return NextResult(s.startupScript);
}

BWAPI int32_t BwShutdown(void) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.shutdown;
    return NextResult(s.shutdownScript);
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
    s.startupScript.clear();
    s.shutdownScript.clear();
    s.playerIndex = 1;
    s.lastError = 0;
    s.counts = BwCallCounts{};
}

BWAPI void BwControlScriptStartup(const int32_t* results, int32_t count) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    SetScript(s.startupScript, results, count);
}

BWAPI void BwControlScriptShutdown(const int32_t* results, int32_t count) {
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    SetScript(s.shutdownScript, results, count);
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
