// Stand-in for the explosions until they are built.
#pragma once

// Advances and draws every explosion puff (recorded); 0: nothing loaded.
int EXP_Update();
