// The settings and save files the options and save screens write: the options file (one line of
// value + 32 characters, CR LF), the network options file (nine CR LF lines) and the 3000-byte
// save file of a campaign slot.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

struct OptionsFile {
    int displayMode = 6, levelMovies = 1, edgeScroll = 1, cdMusic = 1, volumeStep = 15, fog = 1,
        worldLighting = 1, modelLighting = 1;
};
// "data\if_op.dat": 11 bytes.
std::string OptionsFileText(const OptionsFile& options);

struct NetOptionsFile {
    std::string name = "Player", address = "127.0.0.1", connection = "undefined", phone = "undefined";
    int comPort = 3, baudRate = 256000, stopBits = 0, parity = 0, flowControl = 2;
};
// "data\if_mpop.dat". The reader skips blank lines before the three texts, so an empty text
// would shift the lines after it: unset texts are written as "undefined", as the game has them.
std::string NetOptionsFileText(const NetOptionsFile& options);

struct SaveMember {
    int character = -1, status = -1;
    int items[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    int counts[9] = {};
};
struct SaveFile {
    int level = -1;  // last started, -1 none
    int progress[17] = {1, 0, 0, 2, 0, 1, 0, 0, 2, 0, 1, 2, 0, 0, 0, 0, 0};
    int hour = 12, minute = 0, month = 6, day = 15, year = 1998;
    SaveMember groups[16][4];
};
// "data\game.N": 3000 bytes, -1 stored as 255.
std::vector<uint8_t> SaveFileBytes(const SaveFile& save);

}  // namespace dk
