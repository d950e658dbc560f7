// The game types and levels that an offer can choose, in list order, each table closed by its
// end row; and look-ups that stay inside the tables.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>

struct GameTypeRow {
    int32_t type;
    const char* name;
};

inline constexpr int32_t kGameTypeEnd = 0; // type of the end row
inline constexpr GameTypeRow kGameTypes[] = {
    {5, "HUMANS VERSUS HUMANS 2-8 PLAYERS"},
    {6, "HUMANS VERSUS ZOMBIES 2 PLAYERS"},
    {kGameTypeEnd, nullptr},
};
// The list position of a type is its value minus the first type.
inline constexpr int32_t kFirstGameType = 5;

struct LevelRow {
    int32_t listIndex;
    const char* name;
    int32_t levelNumber;
};

// Levels 3, 8, 11, 15 and 16 of the game are not offered.
inline constexpr int32_t kLevelEnd = 0x7FFFFFFF; // list index of the end row
inline constexpr LevelRow kLevels[] = {
    {0, "Graveyard", 0},
    {1, "Town", 1},
    {2, "Farmland", 2},
    {3, "Mall Level", 4},
    {4, "Airport", 5},
    {5, "Sports complex", 6},
    {6, "Hotel", 7},
    {7, "Hydro-electric plant", 9},
    {8, "Docks", 10},
    {9, "Hospital", 12},
    {10, "Laboratory", 13},
    {11, "Security Base", 14},
    {kLevelEnd, nullptr, 0},
};

inline constexpr std::size_t kGameTypeRows = std::size(kGameTypes) - 1;
inline constexpr std::size_t kLevelRows = std::size(kLevels) - 1;

// The row at a list position; null outside the table (a list with no selection gives -1).
const GameTypeRow* GameTypeAt(int64_t position);
const LevelRow* LevelAt(int64_t position);
// The list position of a game type, -1 for a type that is not in the table.
int GameTypePosition(int32_t type);
