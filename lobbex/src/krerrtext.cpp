// The texts of the library's public error codes (KrErrorCode), one row per code, in the order
// of the codes. Codes between the rows have no text.
#include "krerrtext.h"

#include <cstdint>

namespace {

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {-1, "Error in network communications."},
    {-2, "Possibly not enough resources to intiate XDR network request to game server."},
    {-3, "Failed to interpret information returned by game server.  Data possibly corrupted."},
    {-10, "Unable to load information provided by Torvane game browser."},
    {-11, "Please check that your game browser and lobbex.dll are compatible.  (Game data from game browser was not properly read.)"},
    {-20, "Attempted to operate on incoming speech data that doesn't exist!"},
    {-30, "Attempted to operate on incoming speech data that doesn't exist!"},
    {-41, "Unable to contact game server."},
    {-44, "Game server rejected our request to join the game."},
    {-45, "Connected to game server with IP but failed on Torvane protocols."},
    {-46, "Attempted to join game that's not properly initialized."},
    {-47, "Failed to access handle for network game control block."},
    {-50, "In KrLoadBinaryObject, failed in call to RegOpenKeyEx."},
    {-51, "In KrLoadBinaryObject, found registry key, but failed to read data from registry."},
    {-61, "Network request failed on query for available comm channels."},
    {-62, "No game handle for network communications!"},
    {-70, "Failed to access handle when creating a communications channel."},
    {-72, "When creating a communications channel, failed to allocate memory."},
    {-73, "Failed to create the requested communications channel."},
    {-80, "Maximum number of communications channels exceeded!"},
    {-81, "Unable to locate the requested communications channel."},
    {-82, "Unable to create session for the requested communications channel."},
    {-83, "Unable to join the requested communications channel."},
    {-84, "Communications style channel not supported."},
    {-91, "Failed to access handle for transmitting on a communications channel."},
    {-92, "Attempted to write to communications channel that was unavailable."},
    {-93, "Failed to allocate memory for transmitting network data."},
    {-94, "Unable to transmit network data."},
    {-100, "Failed to access handle for receiving on communications channel."},
    {-111, "The GULP you were depending upon is shutdown for some reason"},
    {-120, "Bad handle to communications channel when retrieving gulp statistics."},
    {-130, "When leaving game, invalid handle to network game."},
    {-131, "Already left the game, no need to leave again."},
    {-140, "When querying for comm channel info, failed to allocate memory."},
    {-141, "When querying for comm channel info, failed network request. "},
    {-142, "When querying comm chanel info, invalid handle to network game."},
    {-150, "When querying for player list, invalid handle to network game."},
    {-151, "Failed request to query for player list."},
    {-152, "When querying for player list, zero players returned!"},
    {-160, "When querying for player info, invalid handle to network game."},
    {-161, "Failed request to query for player info."},
    {-162, "When querying for player info, zero players returned!"},
    {-163, "When querying for player info, failed to allocate memory."},
    {-170, "Failed to retrieve player name from network."},
    {-180, "Failed to enable or disable player join/leave game network notification."},
    {-181, "Failed to allocate resource to enable join/leave notification."},
    {-182, "Failed to find notification to disable."},
};

}  // namespace

const char* KrErrorTextFor(int code) {
    const uint16_t id = (uint16_t)code;
    for (const ErrorText& row : kErrorTexts) {
        if ((uint16_t)row.code == id) return row.text;
    }
    return nullptr;
}
