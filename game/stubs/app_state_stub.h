// Stand-in for the shell's game-state services (direct control, team members, match score) until
// they are built.
#pragma once

// Re-takes direct control of memberId (-1: the selected team member) when its slot is selected.
void APP_RefreshDirectControl(int memberId);
// Marks the front-end windows for redraw.
void APP_MarkMenusForRedraw();
// Enters the lobby's network game after a lobby launch.
void APP_EnterLobbyGame();
