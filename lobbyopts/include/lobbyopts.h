// The export table of the lobby options plug-in (liblobbyopts.so): the seven entry points that
// the service's lobby finds by name, the settings record they pass, and their pointer types for
// callers that look them up with dlsym. Every export runs on the caller's thread.
#pragma once
#include <cstddef>
#include <cstdint>

#include "win32.h"

// The settings of one game offer, as the lobby and the plug-in pass them: seven signed 32-bit
// words in this order. Level list index and level number always come from the same row of the
// level table.
struct OfferSettings {
    int32_t gameType;    // 5 humans versus humans, 6 humans versus zombies
    int32_t players;     // no control of the plug-in changes it
    int32_t levelIndex;  // position in the dialog's level list (0..11)
    int32_t levelNumber; // the game's level number of that entry (0..16)
    int32_t fragLimit;   // kills that end the game; 0 = no limit
    int32_t timeLimit;   // minutes; 0 = no limit
    int32_t traps;       // 0 off, 1 on
};
static_assert(sizeof(OfferSettings) == 28, "the lobby passes 28 bytes");

// What KrOpenOffer reports as the record's size.
inline constexpr int32_t kOfferSettingsSize = 28;
// The switches that KrPrelaunchOffer appends are at most 132 characters: the output buffer needs
// the length of the base text plus this much (the switches and the terminating zero).
inline constexpr std::size_t kLaunchSwitchesRoom = 133;

#if defined(LOBBYOPTS_BUILD)
#define LOBBYOPTS_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define LOBBYOPTS_EXPORT extern "C"
#endif

// Writes the default settings into the record and the plug-in's working copy, sets *size to 28
// and opens the summary panel over the parent window's client area. 0; -1 (and nothing done)
// for a null record or size.
LOBBYOPTS_EXPORT int32_t KrOpenOffer(HWND parent, uint32_t unused, OfferSettings* settings, int32_t* size);
// Closes the summary panel. 0.
LOBBYOPTS_EXPORT int32_t KrCloseOffer(void);
// Takes settings changed elsewhere into the working copy and repaints the summary. 0; -1 for a
// null record.
LOBBYOPTS_EXPORT int32_t KrOnOfferChanged(uint32_t unused, const OfferSettings* settings);
// Runs the settings dialog on the working copy, then copies the working copy into the record
// whatever the dialog's end: 0 after OK, 1 otherwise (the last error becomes -3 for a cancel,
// a close or a dialog that could not be created, -2 when it could not be allocated). -1 and
// nothing done for a null record.
LOBBYOPTS_EXPORT int32_t KrModifyOffer(uint32_t unused, OfferSettings* settings);
// Takes the record into the working copy and writes the base text followed by the game's launch
// switches into out, which must hold strlen(base) + kLaunchSwitchesRoom bytes. A null base is
// taken as empty; base and out may be the same buffer. 0; -1 (and nothing done) for a null
// record or output.
LOBBYOPTS_EXPORT int32_t KrPrelaunchOffer(uint32_t unused1, uint32_t unused2, const char* base, char* out,
                                          uint32_t unused3, const OfferSettings* settings);
// The game needs no negotiation step: both answer 0.
LOBBYOPTS_EXPORT int32_t KrNegotiationRequired(void);
LOBBYOPTS_EXPORT int32_t KrShutdownNegotiation(uint32_t word);

using PFN_KrOpenOffer = int32_t (*)(HWND, uint32_t, OfferSettings*, int32_t*);
using PFN_KrCloseOffer = int32_t (*)(void);
using PFN_KrOnOfferChanged = int32_t (*)(uint32_t, const OfferSettings*);
using PFN_KrModifyOffer = int32_t (*)(uint32_t, OfferSettings*);
using PFN_KrPrelaunchOffer = int32_t (*)(uint32_t, uint32_t, const char*, char*, uint32_t, const OfferSettings*);
using PFN_KrNegotiationRequired = int32_t (*)(void);
using PFN_KrShutdownNegotiation = int32_t (*)(uint32_t);
