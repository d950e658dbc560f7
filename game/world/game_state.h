// Stand-in for the shell's game-state services (direct control, team members, match score) until
// they are built.
#pragma once

// Re-takes direct control of memberId (-1: the selected team member) when its slot is selected.
void APP_RefreshDirectControl(int memberId);
// Marks the front-end windows for redraw.
void APP_MarkMenusForRedraw();
// Enters the lobby's network game after a lobby launch.
void APP_EnterLobbyGame();
// The level frame counter: 0 at level start, +1 per in-level frame, held at 50 (the stand-in: the
// result set for "APP_GetLevelFrameCount", else 50).
int APP_GetLevelFrameCount();
// Ends the network match once (result 1 or 0): sets g_Match.matchEnded and the result; a second call
// while it is set does nothing. Recorded.
void APP_EndMatch(int result);
// Silences the looping sounds of the objects a member carries (recorded).
void APP_StopCarriedItemSounds(int memberId);
// Announces a picked-up object on the HUD (single player, from the level's fifth frame);
// recorded.
void APP_AnnouncePickup(int characterId, int objectType);
