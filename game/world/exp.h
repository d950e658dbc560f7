// Stand-in for the explosions until they are built.
#pragma once

// Advances and draws every explosion puff (recorded); 0: nothing loaded.
int EXP_Update();
// Level load and unload: the explosion frames are loaded; every explosion is freed. Recorded.
void EXP_LoadFrames();
void EXP_FreeAll();
