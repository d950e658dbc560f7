// The interface's globals and records that the shell, the world and the message layer share:
// the player name, the team slots, the HUD state
// and the campaign progress. Their initial values are those of a fresh start.
#include "ui/fe.h"
#include "ui/gui.h"
#include "ui/hud.h"

char g_PlayerName[GUI_NAME_CHARS] = "Player";

int32_t g_GameSetupRedraw = 0;
int32_t g_StagingRedraw = 0;
int32_t g_CharacterSelectRedraw = 0;
GameSetupCopies g_GameSetupCopies = {};

// GUI_Init gives them their start values.
TeamSlot g_TeamSlots[HUD_TEAM_SLOTS] = {};
HudState g_HudState = {};
float g_RadarScale[4] = {};

CampaignProgress g_CampaignProgress = {};
