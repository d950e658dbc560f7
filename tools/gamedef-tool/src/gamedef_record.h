// The game definition record as the service's lobby writes it: its options, the switches of
// gamedef-tool that set them, and the 1100-byte record built field by field.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GameDefOptions {
    std::string registry;       // registry file; empty: the platform's
    int game = 0;               // HGAME
    uint32_t ownAddr = 0;
    uint32_t joinWord = 0;
    bool udp = false;           // the GICS transport
    std::string gicsHost = "127.0.0.1";
    uint16_t gicsPort = 0;
    std::string name = "Player";
    uint32_t trace = 0;
    uint32_t noWait = 0;
    uint32_t size = 1100;       // stored length (another length tests the length check)
    bool asNumber = false;      // store a REG_DWORD instead (tests the type check)
    bool remove = false;        // delete the value
};

// Parses the switches (see Usage()). False with a message on a bad switch or value.
bool ParseGameDefOptions(const std::vector<std::string>& args, GameDefOptions* options, std::string* error);
const char* GameDefUsage();
// The record: HGAME at 0, own KRADDR at 4, join word at 8, the GICS KRTLADDR at 20 (family
// little-endian, port and address in network order), the name at 36 (at most 16 characters, as
// the join can send), the trace word at 892 and the no-wait word at 896; `size` bytes.
// Empty when the GICS host is not dotted text.
std::vector<uint8_t> BuildGameDef(const GameDefOptions& options);
// Writes (or removes) the value in the TEMP key. 0, or a message in *error.
int WriteGameDef(const GameDefOptions& options, std::string* error);
