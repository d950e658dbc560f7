// The plug-in's process-wide state: one working copy of the settings, which the dialog edits and
// the summary shows, and the last-error word. The lobby calls on one thread only.
#pragma once
#include "lobbyopts.h"

// The settings a new offer starts with: list entry 3, "Mall Level", is level number 4.
inline constexpr OfferSettings kDefaultOffer{5, 1, 3, 4, 10, 10, 1};

// Last-error values of a settings dialog that did not end with OK.
inline constexpr int32_t kErrorDialogNotAllocated = -2;
inline constexpr int32_t kErrorDialogNotAccepted = -3;

extern OfferSettings g_WorkingCopy; // all zero at load
extern int32_t g_LastError;         // 0 at load; set by a failed dialog, never cleared
