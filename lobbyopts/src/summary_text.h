// The text of the settings summary: a heading and one line per setting, with the last error.
#pragma once
#include <string>

#include "lobbyopts.h"

// Built in a 512-byte text from lines formatted in a 256-byte buffer; a game type or level list
// index outside the tables shows as "?".
std::string BuildSummaryText(const OfferSettings& settings, int32_t lastError);
