// The level and match state that every floor reads: whether a level runs and stands still, its
// outcome, the end of a network match, this machine's player slot, the player-slot tables and the
// network game settings; and the queries over it. One record, g_Match, written by the level flow,
// the interface and the message layer. Its initial values are those of a fresh start.
#pragma once
#include <cstdint>

constexpr int GUI_MAX_SLOTS = 8;          // player slots of a network game
constexpr int GUI_MEMBERS_PER_SLOT = 4;   // characters a player slot steers
constexpr int GUI_NAME_CHARS = 17;        // a player name: 16 characters and the terminator

// The network game settings, ten signed fields in the order APP_SetupMultiplayerGame takes them.
struct MpGameSettings {
    int32_t gameType;     // 5 humans against humans, 6 humans against zombies
    int32_t playerCount;  // 7 for type 5, 1 for type 6
    int32_t modeA;        // 0 for type 5, 3 for type 6
    int32_t modeB;
    int32_t level;        // the LevelId to play, 0..16
    int32_t extra;        // always 0
    int32_t settingsSet;  // 1 once settings were applied
    int32_t fragLimit;
    int32_t timeLimit;    // minutes
    int32_t traps;        // 1 on, 0 off
};

struct MatchState {
    // Level state.
    uint32_t inLevel = 0;          // 1 while a level is loaded and running
    uint32_t halted = 0;           // the world stands still (in-game menus, waiting screens)
    uint32_t haltedLastFrame = 0;  // halted as the previous in-level frame saw it
    uint32_t mpGameRunning = 0;    // nonzero while a multiplayer game is in progress

    // The level outcome and the end of a network match.
    int32_t levelWon = 0;
    int32_t levelFailed = 0;
    int32_t levelEndTime = 0;      // since the level was won or failed; play halts past 200
    int32_t matchEnded = 0;        // the match is over and the scoreboard shows
    int32_t gameOver = 0;          // the game-over texts show
    int32_t gameResult = 0;        // 1 frag limit, 0 otherwise
    int32_t fragLimitReached = 0;
    int32_t timeLimitReached = 0;

    // Player slots of a network game.
    int32_t localSlot = -1;                                                // 0..7, -1 while not joined
    int32_t slotNetIds[GUI_MAX_SLOTS] = {-1, -1, -1, -1, -1, -1, -1, -1};  // transport id of the owner
    int32_t slotPlayerIds[GUI_MAX_SLOTS][GUI_MEMBERS_PER_SLOT] = {         // character ids, -1 none
        {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1},
        {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1},
    };
    int32_t slotMemberFlags[GUI_MAX_SLOTS][GUI_MEMBERS_PER_SLOT] = {       // the member flag table
        {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
        {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
    };
    int32_t slotTeamFlags[GUI_MAX_SLOTS] = {};                             // one team flag per slot
    char slotNames[GUI_MAX_SLOTS][GUI_NAME_CHARS] = {};
    uint32_t slotLoaded[GUI_MAX_SLOTS] = {};                               // the level-start barrier
    int32_t slotFrags[GUI_MAX_SLOTS] = {};  // frags of each slot's player in a match (scoreboard)

    MpGameSettings settings = {};
};
extern MatchState g_Match;

// Queries (no side effects).
int APP_IsMultiplayerGame();
int APP_GetMultiplayerGameType();
int APP_AreTrapsEnabled();
int APP_IsLevelActive();
int APP_WasHaltedLastFrame();
int APP_IsPlayHalted();
int APP_GetLocalPlayerSlot();
