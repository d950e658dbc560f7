// Stand-in for the front-end screens that the shell and the world call: each call is recorded.
// Until the level start screen is built, starting the selected level goes straight into it: the
// chosen level (else the first open one by id; the escape level once it is reached) with the
// campaign's team of that level, in direct control.
#include "common/calltrace.h"
#include "common/match.h"
#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/fe_screens.h"
#include "ui/gui.h"
#include "ui/hud_records.h"
#include "world/game_frame.h"
#include "world/game_state.h"
#include "world/lvl.h"

void FE_ResetMapButtons() {
    TRC_Trace("FE_ResetMapButtons");
}

void FE_StartSelectedLevel() {
    TRC_Trace("FE_StartSelectedLevel");
    int level = g_ChosenLevel;
    if (FE_GetLevelProgress(16) == 1)
        level = 16;
    for (int id = 0; level < 0 && id < 16; ++id)
        if (FE_GetLevelProgress(id) == 1)
            level = id;
    if (level < 0)
        return;
    GUI_CloseWindow(g_LevelMapWindow);
    GUI_CloseWindow(g_MainMenuWindow);
    g_ChosenLevel = level;
    g_CurrentLevel = level;
    g_Match.inLevel = 1;

    const int group = level == 16 ? LVL_ESCAPE_GROUP : level;
    int32_t characterIds[8];
    int32_t healths[8];
    int32_t records[GAME_MEMBER_RECORDS][GAME_MEMBER_WORDS];
    for (int i = 0; i < 8; ++i) {
        characterIds[i] = -1;
        healths[i] = 100;
    }
    for (int m = 0; m < FE_TEAM_MEMBERS; ++m) {
        const CampaignMember& member = g_CampaignTeams[group][m];
        characterIds[m] = member.character;
        if (member.status > 0)
            healths[m] = member.status;
        records[m][0] = records[m][9] = 0;
        for (int e = 0; e < 8; ++e) {
            records[m][1 + e] = member.items[e];
            records[m][10 + e] = member.items[e] == -1 ? 0 : 100;
        }
        g_TeamSlots[m].characterId = member.character;
        g_TeamSlots[m].selected = m == 0 ? 1 : 0;
    }
    LVL_LoadLevel(level, characterIds, healths, records);
    APP_BeginDirectControl();
    LVL_ResetTimedEvents();
}

void FE_OpenTeamStatus() {
    TRC_Trace("FE_OpenTeamStatus");
}

void FE_CreateOrJoinSession() {
    TRC_Trace("FE_CreateOrJoinSession");
}
