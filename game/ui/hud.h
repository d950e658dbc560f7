// The in-level interface as the shell and the world see it: the HUD message list, the overlays,
// the level-end sequence, and the records shared with the game world (the HUD state, the four
// team slots with their player status records).
#pragma once
#include <cstdint>

struct Bod;

// The HUD message list: 8 lines of at most 254 characters. A line added with HUD_AddMessage is
// drawn for 50 frames; a frame message is drawn once. An empty text marks a free line.
constexpr int HUD_MESSAGE_LINES = 8;
constexpr int HUD_MESSAGE_CHARS = 255;  // buffer of one line, terminator included
constexpr int HUD_MESSAGE_LIFE = 50;
struct HudMessageList {
    char text[HUD_MESSAGE_LINES][HUD_MESSAGE_CHARS];
    int32_t life[HUD_MESSAGE_LINES];  // draws left; below 0 marks a free line
};
extern HudMessageList g_HudMessages;

// Shows text for 50 frames; a text already listed only gets its life back. 1 when listed, 0 when
// refused (a null text, the level won or failed) or no line could be taken. A longer text is cut
// to the line's 254 characters.
int HUD_AddMessage(const char* text);
// The same list with a life of 0: the line is drawn for the current frame only. 0 for a null text.
int HUD_AddFrameMessage(const char* text);
// Orders the list (oldest first, free lines last), draws each line, then ages it; called once per
// frame inside a level.
void HUD_DrawMessages();
// Inside a level, before the 3D passes: clears last frame's 2D overlay areas.
void HUD_EraseOverlays();
// What the overlay eraser clears besides the pointer: the whole back buffer while the full-clear
// counter is above 0, the message band while its flag is set, the score area while the score
// counter is at least 1 (both counters count down per erase), the chat input band while chat is
// on and the player types.
extern int32_t g_OverlayFullClear;
extern int32_t g_HudMessageBand;
extern int32_t g_ScoreAreaCounter;
extern uint32_t g_ChatEnabled;
// The hover label window (built at start-up, drawn by HUD_DrawHoverLabel).
extern int32_t g_HoverLabelWindow;
// The overlays of a network match, drawn by GUI_Draw: the frag list of a type-5 match (top right
// while it runs, centred with the limit that ended it afterwards) and the result texts of a
// type-6 match once it has ended.
void HUD_DrawScoreboard();
void HUD_DrawGameOver();
// While the game-message layer has ended the match (g_GameOver) and the level is neither won nor
// failed: the match-over text, and after 30 level frames the prompt below it.
void HUD_DrawMatchOver();
// Leaves the level, restores the menu display mode and the interface bitmaps; in a network game
// returns to the menus, or ends the program after a launch from the lobby.
void HUD_EndLevelSequence();

// A team member's view of its character: 42 words, the world fills it and the interface writes
// the commands back. Pointers are pointer-sized here; the record never leaves the process.
struct PlayerStatus {
    Bod* bod;                 // word 0
    int32_t turnCommand;      // 1: 1 left, 2 right
    int32_t moveCommand;      // 2: 3 forward, 4 back
    int32_t useCommand;       // 3
    int32_t spareCommand;     // 4
    int32_t word5;            // 5
    int32_t pushCommand;      // 6: the left-Alt request
    int32_t attackCommand;    // 7: the left-Control request
    int32_t runFlag;          // 8
    int32_t kickCommand;      // 9
    int32_t word10;           // 10
    int32_t entryTypes[9];    // 11..19: object type per carried entry, 162 empty
    int32_t entryValues[9];   // 20..28: ammunition percent
    Bod* entryBods[9];        // 29..37
    int32_t selectedEntry;    // 38
    int32_t controlFlag;      // 39
    int32_t word40;           // 40
    int32_t healthPercent;    // 41
};

// One of the four team member windows of the in-level interface.
struct TeamSlot {
    int32_t blocked;             // the member is lost
    int32_t selected;
    int32_t carriedTypes[9];     // -1 empty; 149 the health item
    int32_t carriedValues[9];    // ammunition percent
    Bod* carriedBods[9];
    int32_t currentEntry;        // 0..8
    int32_t controlFlag;
    int32_t characterId;         // -1 none
    int32_t faceVariant;         // 0..2
    int32_t turnRequest;
    int32_t moveRequest;
    int32_t useRequest;
    int32_t runOff;
    int32_t spareRequest;
    int32_t health;              // percent
    int32_t altRequest;
    int32_t controlRequest;
    int32_t kickRequest;
    int32_t zeroHealthCount;
    int32_t damageHistory[3];
    PlayerStatus status;
};
constexpr int HUD_TEAM_SLOTS = 4;
extern TeamSlot g_TeamSlots[HUD_TEAM_SLOTS];

// The record shared by the in-game interface and the world: the radar block that the world fills
// and the command block that the world applies.
struct HudState {
    float viewHeading;            // degrees
    float radar[256][3];          // x, y, z
    uint32_t radarCount;
    float wedge[3][2];            // the view wedge, {x, z} each
    uint32_t aiMode;
    uint32_t selectedMember;      // 0..7
    float orderPoint[3];          // x = -1.0: none
    uint32_t cameraCommandA;      // 1 or 2 gives a command
    uint32_t cameraCommandB;      // 3 or 4 gives a command
    uint32_t cameraMode;
};
extern HudState g_HudState;
// View size in x and in z, radar width and height.
extern float g_RadarScale[4];
