// The interface as the shell and the world see it: its start, frame step, drawing and end, the
// interface sound ids, window open flags, the empty callback shared by every behaviour table,
// and the interface's globals that the rest of the game reads and writes (level and match state,
// the player-slot tables of a network game).
#pragma once
#include <cstdint>

#include "common/match.h"
#include "win32.h"

// Builds every interface window once, loads the options, network-options, key-map and text
// files, resets the team slots and, after a lobby launch, enters the lobby game. The result is
// not used.
int GUI_Init(HWND window);
// A lobby or online-service launch: the session and the settings come from outside.
bool GUI_LaunchedByLobby();
// The interface step of one frame: the pending level end, then the front-end or in-level frame.
int GUI_Tick();
// Draws every open window, the pointer and the HUD texts, once per frame after the 3D scene.
// 1, or 0 when the pass stops before the pointer (a lobby game's character selection).
int GUI_Draw();
// Destroys every window and frees the interface bitmaps.
void GUI_Shutdown();
// The seven interface sound ids: sounds of sound group 0 / none.
void GUI_InitSoundIds();
void GUI_ClearSoundIds();
// Set / clear a window's open flag: 0 when the window slot is unused, else 1.
int GUI_OpenWindow(int window);
int GUI_CloseWindow(int window);
// Returns at once: the empty entry of the action, behaviour and per-level hook tables, the hook
// of inactive bods and the per-skin callback of the model cache release.
void GUI_NullCallback();

// The option words (the options screen shows and edits them; GUI_Init gives the start values
// before the options file is read).
struct GameOptions {
    int32_t displayMode;    // 0..7
    int32_t levelMovies;
    int32_t edgeScroll;
    int32_t cdMusic;
    int32_t volumeStep;     // 0..15 (16 after a first start at full volume)
    int32_t fog;
    int32_t worldLighting;
    int32_t modelLighting;
};
extern GameOptions g_Options;

// The seven interface sounds of group 0: 1, 2, none, 3, 4, 5, 6. The seventh is the front end's
// click, the sixth the refusal sound.
constexpr int GUI_SOUND_IDS = 7;
extern uint32_t g_GuiSoundIds[GUI_SOUND_IDS];

// Interface state kept by the core.
extern HWND g_GuiWindow;               // the game window, for restarting the sound device
extern int32_t g_PointerKind;          // 0..8, the picture of the pointer
extern int32_t g_PointerLife;          // frames before the kind returns to 0
extern int32_t g_DirectControl;        // the player steers the selected member
extern int32_t g_DirectControlSlot;    // the member under direct control, -1 none
extern int32_t g_ChosenLevel;          // -1 none
extern int32_t g_LobbyJoinState;      // -1 until a lobby launch has joined its session
extern uint32_t g_FrontEndTick[2];     // previous and current tick count of the front end
// The chat input line while the player types (drawn by GUI_Draw).
constexpr int GUI_CHAT_CHARS = 256;
extern uint32_t g_ChatTyping;
extern char g_ChatInput[GUI_CHAT_CHARS];
extern uint32_t g_ChatCursorOn;
extern int32_t g_ChatBlinkTimer;       // milliseconds since the cursor last flipped

extern char g_PlayerName[GUI_NAME_CHARS];  // "Player" by default

// The network screens that a change of the game settings redraws (3 = redraw).
extern int32_t g_GameSetupRedraw;
extern int32_t g_StagingRedraw;
extern int32_t g_CharacterSelectRedraw;
// The game-setup screen's copies of the settings it shows.
struct GameSetupCopies {
    int32_t gameType;
    int32_t playerCount;
    int32_t modeA;
    int32_t modeB;
    int32_t level;
    int32_t extra;
};
extern GameSetupCopies g_GameSetupCopies;
