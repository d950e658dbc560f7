// The export table of the service's client library, as the game and the lobby plug-in call it:
// start and stop, whether this machine hosts the game, and the library's last error.
#pragma once
#include <cstdint>

#if defined(BRELLAPI_BUILD)
#define BWAPI extern "C" __attribute__((visibility("default")))
#else
#define BWAPI extern "C"
#endif

// 0 = started; any other value = the start failed.
BWAPI int32_t BwStartup(void);
// 0 = stopped; callers repeat the call until it answers 0.
BWAPI int32_t BwShutdown(void);
// The player's index in the service's game; 1 marks the hosting player.
BWAPI int32_t BwGetPlayerIndex(void);
// The library's last error (0 = none).
BWAPI int32_t BwGetLastError(void);
