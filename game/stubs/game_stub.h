// Stand-in for the game frame of the world until it is built.
#pragma once

// Input poll, then the network step in a network game or else the interface step.
int GAME_Update();
// One presented frame: the interface, then the flip.
void GAME_Frame();
