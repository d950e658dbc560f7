// The seven exports that the lobby calls by name. Each calls the registered offer handler; the
// launch line is formatted with a bounded format and appended to the lobby's base text.
#include <cstdio>
#include <cstring>

#include "offer_handler.h"
#include "plugin_state.h"
#include "launch_line.h"

namespace {
// The switches take at most 132 characters (each value at most 11); the local buffer is larger.
constexpr std::size_t kSwitchesBuffer = 260;
static_assert(kLaunchSwitchesRoom <= kSwitchesBuffer);
} // namespace

LOBBYOPTS_EXPORT int32_t KrOpenOffer(HWND parent, uint32_t, OfferSettings* settings, int32_t* size) {
    COfferHandler* handler = COfferHandler::Registered();
    if (!settings || !size || !handler)
        return -1;
    *settings = kDefaultOffer;
    g_WorkingCopy = kDefaultOffer;
    *size = kOfferSettingsSize;
    return handler->Open(parent);
}

LOBBYOPTS_EXPORT int32_t KrCloseOffer(void) {
    if (COfferHandler* handler = COfferHandler::Registered())
        handler->Close();
    return 0;
}

LOBBYOPTS_EXPORT int32_t KrOnOfferChanged(uint32_t, const OfferSettings* settings) {
    COfferHandler* handler = COfferHandler::Registered();
    if (!settings || !handler)
        return -1;
    g_WorkingCopy = *settings;
    handler->OnChanged(settings);
    return 0;
}

LOBBYOPTS_EXPORT int32_t KrModifyOffer(uint32_t, OfferSettings* settings) {
    COfferHandler* handler = COfferHandler::Registered();
    if (!settings || !handler)
        return -1;
    // The dialog edits the working copy in place; the caller gets it back whatever the end.
    int32_t result = handler->Modify(&g_WorkingCopy);
    *settings = g_WorkingCopy;
    return result;
}

LOBBYOPTS_EXPORT int32_t KrPrelaunchOffer(uint32_t, uint32_t, const char* base, char* out, uint32_t,
                                          const OfferSettings* settings) {
    if (!settings || !out)
        return -1;
    g_WorkingCopy = *settings;
    char switches[kSwitchesBuffer];
    int n = std::snprintf(switches, sizeof switches, GameLaunchLine, settings->gameType, settings->players,
                          settings->levelNumber, settings->fragLimit, settings->timeLimit, settings->traps);
    if (n < 0)
        switches[0] = 0;
    std::size_t baseLength = base ? std::strlen(base) : 0;
    // The lobby may hand its own command line in as the output: the base is moved, not copied.
    if (baseLength)
        std::memmove(out, base, baseLength);
    std::memcpy(out + baseLength, switches, std::strlen(switches) + 1);
    return 0;
}

LOBBYOPTS_EXPORT int32_t KrNegotiationRequired(void) {
    COfferHandler* handler = COfferHandler::Registered();
    return handler ? handler->NegotiationRequired() : 0;
}

LOBBYOPTS_EXPORT int32_t KrShutdownNegotiation(uint32_t word) {
    COfferHandler* handler = COfferHandler::Registered();
    return handler ? handler->ShutdownNegotiation(int32_t(word)) : 0;
}
