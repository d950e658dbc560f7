// The in-level interface as the shell and the world see it: the HUD message list, the overlays,
// the level-end sequence, the exchange with the game world over the records it shares with the
// interface (ui/hud_records.h), and the in-level state that exchange reads and writes.
#pragma once
#include <cstdint>

#include "ui/hud_records.h"

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
// While the game-message layer has ended the match (g_Match.gameOver) and the level is neither won nor
// failed: the match-over text, and after 30 level frames the prompt below it.
void HUD_DrawMatchOver();
// Leaves the level, restores the menu display mode and the interface bitmaps; in a network game
// returns to the menus, or ends the program after a launch from the lobby.
void HUD_EndLevelSequence();

// The in-level exchange with the game world. Both run only while the panel window is open and
// then return 1, else 0. HUD_UpdateFromGame fills the radar copy and the team slots from the world
// at the start of a frame, blocks lost members, resets the request words, follows the controlled
// member, fails a single-player level when nobody is left and ends a network match on the host;
// HUD_ApplyToGame hands the request words and the command words to the world at its end.
int HUD_UpdateFromGame();
int HUD_ApplyToGame();

// The radar window's copy of the HUD state that every update makes: values truncated to integers.
struct HudRadarView {
    int32_t heading;
    int32_t count;
    int32_t entries[HUD_RADAR_ENTRIES][3];
    int32_t map[HUD_RADAR_ENTRIES][3];
    int32_t word;
    float mapping[6];
};
extern HudRadarView g_RadarView;

// The command words of the in-level frame that HUD_ApplyToGame hands to the world.
struct HudCommands {
    int32_t orderPoint[3];    // -1 each: none
    int32_t panHorizontal;    // 0 none, 1 left, 2 right
    int32_t panVertical;      // 0 none, 3 up, 4 down
    int32_t panByPress;
    int32_t runFlag;          // cleared at the start of every frame
};
extern HudCommands g_HudCommands;

// The match clock of a network game: start in game-clock milliseconds (-1 until GUI_Tick starts it
// in a level), the time last read, whole minutes, seconds within the minute and their last value.
struct MatchClock {
    int32_t start;
    int32_t lastRead;
    int32_t minutes;
    int32_t seconds;
    int32_t previousSeconds;
};
extern MatchClock g_MatchClock;

// The panel and team windows' redraw counters (3 = redraw), the radar's blips-drawn flag, and the
// confirm window's modal flag.
extern int32_t g_PanelRedraw;
extern int32_t g_TeamRedraw;
extern int32_t g_RadarBlips;
extern int32_t g_ModalDialogOpen;
