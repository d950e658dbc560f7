// The front end as the shell and the world see it: the level-select map, the start of the chosen
// level, the team screen between levels and the network session of the staging screen; and the
// campaign progress that the level-select map keeps.
#pragma once
#include <cstdint>

// Puts the level-select map's location buttons back into state 3.
void FE_ResetMapButtons();
// Starts the single-player level chosen on the level-select map (the escape level once reached).
void FE_StartSelectedLevel();
// Opens the between-levels team screen with its selection lists reset.
void FE_OpenTeamStatus();
// Creates or joins the staging screen's network session and registers the message receiver for
// the session's slot.
void FE_CreateOrJoinSession();

// Campaign progress, stored in map-location order: locations 0..15 hold the levels below and
// location 16 the escape-reached flag. Code that works by level id goes through the table.
constexpr int FE_MAP_LOCATIONS = 17;
constexpr int FE_LOCATION_LEVELS[16] = {5, 6, 7, 10, 15, 12, 0, 13, 14, 9, 3, 11, 2, 8, 4, 1};
struct CampaignProgress {
    int32_t location[FE_MAP_LOCATIONS];
};
extern CampaignProgress g_CampaignProgress;

// The campaign's team of each level 0..15: four member places, each with its character number,
// a status word and nine carried items with their counts (-1 / 0 when empty).
constexpr int FE_CAMPAIGN_LEVELS = 16;
constexpr int FE_TEAM_MEMBERS = 4;
struct CampaignMember {
    int32_t character;  // -1 none
    int32_t status;
    int32_t items[9];
    int32_t counts[9];
};
extern CampaignMember g_CampaignTeams[FE_CAMPAIGN_LEVELS][FE_TEAM_MEMBERS];
