// The interface's globals and records that the shell, the world and the message layer share:
// level and match state, the player-slot tables of a network game, the team slots, the HUD state
// and the campaign progress. Their initial values are those of a fresh start.
#include "ui/fe.h"
#include "ui/gui.h"
#include "ui/hud.h"

uint32_t g_InLevel = 0;
uint32_t g_LevelHalted = 0;
uint32_t g_LevelHaltedLastFrame = 0;
uint32_t g_MpGameRunning = 0;

int32_t g_LevelWon = 0;
int32_t g_LevelFailed = 0;
int32_t g_LevelEndTime = 0;
int32_t g_MatchEnded = 0;
int32_t g_GameOver = 0;
int32_t g_GameResult = 0;
int32_t g_FragLimitReached = 0;
int32_t g_TimeLimitReached = 0;

int32_t g_LocalSlot = -1;
int32_t g_SlotNetIds[GUI_MAX_SLOTS] = {-1, -1, -1, -1, -1, -1, -1, -1};
int32_t g_SlotPlayerIds[GUI_MAX_SLOTS][GUI_MEMBERS_PER_SLOT] = {
    {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1},
    {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1},
};
int32_t g_SlotMemberFlags[GUI_MAX_SLOTS][GUI_MEMBERS_PER_SLOT] = {
    {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
    {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
};
int32_t g_SlotTeamFlags[GUI_MAX_SLOTS] = {};
char g_SlotNames[GUI_MAX_SLOTS][GUI_NAME_CHARS] = {};
uint32_t g_SlotLoaded[GUI_MAX_SLOTS] = {};
char g_PlayerName[GUI_NAME_CHARS] = "Player";
int32_t g_SlotFrags[GUI_MAX_SLOTS] = {};

int32_t g_GameSetupRedraw = 0;
int32_t g_StagingRedraw = 0;
int32_t g_CharacterSelectRedraw = 0;
GameSetupCopies g_GameSetupCopies = {};

// GUI_Init gives them their start values.
TeamSlot g_TeamSlots[HUD_TEAM_SLOTS] = {};
HudState g_HudState = {};
float g_RadarScale[4] = {};

CampaignProgress g_CampaignProgress = {};
