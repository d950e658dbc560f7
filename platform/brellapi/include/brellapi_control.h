// Test controls of the client library stand-in: script the answers of the next calls and count
// the calls made. One state per process (the library is shared), so the game, the plug-in and
// the test that drives them see the same answers.
#pragma once
#include <cstdint>
#include "brellapi.h"

struct BwCallCounts {
    int32_t startup;
    int32_t shutdown;
    int32_t getPlayerIndex;
    int32_t getLastError;
};

// Longest answer script kept; longer scripts are cut.
constexpr int32_t kBwMaxScript = 64;

// Back to the defaults: no scripts, player index 1, last error 0, all counts 0.
BWAPI void BwControlReset(void);
// The results of the next BwStartup (or BwShutdown) calls, in order; once the script is used up
// the call answers 0. A null list or a count of 0 or less clears the script.
BWAPI void BwControlScriptStartup(const int32_t* results, int32_t count);
BWAPI void BwControlScriptShutdown(const int32_t* results, int32_t count);
BWAPI void BwControlSetPlayerIndex(int32_t index);
BWAPI void BwControlSetLastError(int32_t code);
// Copies the call counts; a null pointer is ignored.
BWAPI void BwControlGetCounts(BwCallCounts* out);
