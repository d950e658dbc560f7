// A level's end and the campaign: the outcome (won or failed) and the level-end request that the
// interface serves, and the single-player campaign rules that a won level applies, with the team
// kept in the won level's save group. Owns g_LevelEndRequest and g_LevelLastWon.
#include "common/calltrace.h"
#include "common/match.h"
#include "engine/rnd_view.h"
#include "ui/fe.h"
#include "ui/fe_credits.h"
#include "ui/fe_main_menu.h"
#include "ui/fe_screens.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "world/act.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "world/lvl_table.h"

LevelEndRequest g_LevelEndRequest = {0, 0, -1};
int32_t g_LevelLastWon = 0;
int32_t g_CampaignFinished = 0;

namespace {

constexpr int kDone = 2;
constexpr int kOpen = 1;
constexpr int kLocked = 0;

bool Done(int level) {
    return FE_GetLevelProgress(level) == kDone;
}

// The rule of each won level 0..14: the levels it marks done and opens, and the levels that must
// be done for the conditional opens. Levels 15 (factory) and 16 (escape) end the campaign's
// chapters and are handled on their own.
struct CampaignRule {
    int done[2];          // -1 unused
    int open[2];          // opened at once, -1 unused
    int needs[2];         // the conditional open needs these done, -1 unused
    int openIfNeeds;      // -1 none
    int relock;           // set back to locked, -1 none
};
constexpr CampaignRule kRules[15] = {
    {{0, 3}, {1, 2}, {-1, -1}, -1, -1},    // graveyard
    {{1, -1}, {-1, -1}, {2, -1}, 4, -1},   // town
    {{2, -1}, {-1, -1}, {1, -1}, 4, -1},   // farm
    {{3, -1}, {-1, -1}, {1, 2}, 4, -1},    // drive-in
    {{4, -1}, {-1, -1}, {9, 12}, 15, -1},  // mall
    {{5, 8}, {6, 7}, {-1, -1}, -1, -1},    // airport
    {{6, -1}, {-1, -1}, {7, -1}, 9, -1},   // sports ground
    {{7, -1}, {-1, -1}, {6, -1}, 9, -1},   // hotel
    {{8, -1}, {-1, -1}, {6, 7}, 9, -1},    // campground
    {{9, -1}, {-1, -1}, {4, 12}, 15, -1},  // hydro plant
    {{10, 11}, {13, 14}, {-1, -1}, -1, 12},  // docks
    {{11, -1}, {-1, -1}, {13, 14}, 12, -1},  // training camp
    {{12, -1}, {-1, -1}, {4, 9}, 15, -1},  // hospital
    {{13, -1}, {-1, -1}, {14, -1}, 12, -1},  // labs
    {{14, -1}, {-1, -1}, {13, -1}, 12, -1},  // security
};

void ApplyRule(const CampaignRule& rule) {
    // Marks first (so a level the rule itself completes counts), then the conditional open over
    // the other levels' state, then the relock.
    for (int level : rule.done)
        if (level >= 0)
            FE_SetLevelProgress(level, kDone);
    for (int level : rule.open)
        if (level >= 0)
            FE_SetLevelProgress(level, kOpen);
    if (rule.openIfNeeds >= 0) {
        bool met = true;
        for (int level : rule.needs)
            if (level >= 0 && !Done(level))
                met = false;
        if (met)
            FE_SetLevelProgress(rule.openIfNeeds, kOpen);
    }
    if (rule.relock >= 0)
        FE_SetLevelProgress(rule.relock, kLocked);
    FE_SetLevelProgress(16, 0);
}

// The four team slots as they stand now, into a campaign team group.
void KeepTeam(int group) {
    for (int m = 0; m < FE_TEAM_MEMBERS; ++m) {
        const TeamSlot& slot = g_TeamSlots[m];
        CampaignMember& member = g_CampaignTeams[group][m];
        member.character = slot.characterId;
        member.status = slot.health;
        for (int e = 0; e < 9; ++e) {
            member.items[e] = slot.carriedTypes[e];
            member.counts[e] = slot.carriedValues[e];
        }
    }
}

}  // namespace

void LVL_SetLevelOutcome(int won, int value) {
    if (APP_GetLevelFrameCount() < 5)
        return;
    if (won) {
        g_Match.levelWon = 1;
        g_Match.levelFailed = 0;
        g_Match.levelEndTime = 0;
    } else {
        g_Match.levelWon = 0;
        g_Match.levelFailed = 1;
    }
    // No in-level menu stays open over the level's end, and play is no longer held by one.
    g_Match.halted = 0;
    if (g_Options.displayMode == 0 || g_Options.displayMode == 2) {
        // The 320 x 240 software display clips the whole design space.
        RND_SetClipRect(0, 0, 640, 480);
    } else {
        APP_MarkMenusForRedraw();
        RND_ResetClipRect();
    }
    g_LevelEndRequest.pending = 1;
    g_LevelEndRequest.won = won ? 1 : 0;
    g_LevelEndRequest.value = value;
}

void LVL_FinishLevel(int won, int value) {
    TRC_Trace("LVL_FinishLevel", "%d,%d", won, value);
    LVL_SetLevelOutcome(won, value);
    ACT_StopPlayersAtLevelEnd();
}

void LVL_RunPendingLevelEnd(int won, int value) {
    TRC_Trace("LVL_RunPendingLevelEnd", "%d,%d", won, value);
    LVL_ProgressCampaign(won);
}

void LVL_ProgressCampaign(int won) {
    g_LevelLastWon = won;
    HUD_EndLevelSequence();
    const int level = g_ChosenLevel;
    if (!APP_IsMultiplayerGame() && won && LVL_TableEntry(level)) {
        if (level == 15) {
            // The factory: the escape follows at once, with the team as it stands now.
            FE_SetLevelProgress(15, kDone);
            FE_SetLevelProgress(16, 1);
            KeepTeam(LVL_ESCAPE_GROUP);
            FE_ResetMapButtons();
            FE_StartSelectedLevel();
        } else if (level == 16) {
            // The escape ends the campaign with the credits.
            GUI_CloseWindow(g_LevelMapWindow);
            FE_SetLevelProgress(16, 0);
            g_CampaignFinished = 1;
            g_CreditsReturnWindow = g_MainMenuWindow;
            GUI_OpenWindow(g_CreditsWindow);
        } else {
            ApplyRule(kRules[level]);
            KeepTeam(level);
            FE_OpenTeamStatus();
        }
    }
    g_LevelEndRequest = {0, 0, -1};
    g_Match.halted = 0;
}
