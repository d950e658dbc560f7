// The client library stand-in: a few words of state behind one lock. Start and stop answer from
// their scripts; once a script is used up (or without one) they answer from the simulated
// machine's registry file, as does the player index unless a control set it; the last error
// answers what the controls set, and every call is counted. The state is a constant-initialised
// object without heap memory, so it is valid from load to unload whatever order other modules
// start and end in.
//
// The machine's values, all REG_DWORD under HKEY_LOCAL_MACHINE\Software\Platform\Brellapi:
//   PlayerIndex      BwGetPlayerIndex's answer (default 1)
//   StartupFailures  the first N BwStartup calls of the process fail (answer 1)
//   ShutdownBusy     the first N BwShutdown calls answer busy (1); 0xFFFFFFFF: always busy
#include <mutex>

#include "brellapi_control.h"
#include "registry.h"

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
    bool playerIndexSet = false;  // a control set it: the machine's value is not asked
    int32_t lastError = 0;
    BwCallCounts counts{};
};

constinit BwState g_State;

constexpr char kMachineKey[] = "Software\\Platform\\Brellapi";
constexpr uint32_t kAlways = 0xFFFFFFFFu;

// A value of the machine's key, or `fallback` when it is missing or not a number.
uint32_t MachineValue(const char* name, uint32_t fallback) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return fallback;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? uint32_t(value) : fallback;
}

// The answer of call number `made` (0 = the first) when `limit` first calls fail.
int32_t FailsWhile(int32_t made, uint32_t limit) {
    return limit == kAlways || uint32_t(made) < limit ? 1 : 0;
}

BwState& S() {
    return g_State;
}

} // namespace

BWAPI int32_t BwStartup(void) {
    const uint32_t failures = MachineValue("StartupFailures", 0);
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    const int32_t made = s.counts.startup++;
    if (s.startupScript.next < s.startupScript.count)
        return s.startupScript.Next();
    return FailsWhile(made, failures);
}

BWAPI int32_t BwShutdown(void) {
    const uint32_t busy = MachineValue("ShutdownBusy", 0);
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    const int32_t made = s.counts.shutdown++;
    if (s.shutdownScript.next < s.shutdownScript.count)
        return s.shutdownScript.Next();
    return FailsWhile(made, busy);
}

BWAPI int32_t BwGetPlayerIndex(void) {
    const uint32_t machine = MachineValue("PlayerIndex", 1);
    BwState& s = S();
    std::lock_guard<std::mutex> g(s.lock);
    ++s.counts.getPlayerIndex;
    return s.playerIndexSet ? s.playerIndex : int32_t(machine);
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
    s.playerIndexSet = false;
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
    s.playerIndexSet = true;
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
