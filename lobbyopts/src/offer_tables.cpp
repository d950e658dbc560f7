// Bounded look-ups in the game-type and level tables.
#include "offer_tables.h"

const GameTypeRow* GameTypeAt(int64_t position) {
    if (position < 0 || position >= int64_t(kGameTypeRows))
        return nullptr;
    return &kGameTypes[position];
}

const LevelRow* LevelAt(int64_t position) {
    if (position < 0 || position >= int64_t(kLevelRows))
        return nullptr;
    return &kLevels[position];
}

int GameTypePosition(int32_t type) {
    // Computed wide: a type near the bottom of the 32-bit range must not wrap into the table.
    int64_t position = int64_t(type) - kFirstGameType;
    return GameTypeAt(position) ? int(position) : -1;
}
