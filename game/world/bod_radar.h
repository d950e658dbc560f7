// Stand-in for the world's radar fill until it is built: the radar block of the HUD state stays as
// it stands (tests write it); each call is recorded.
#pragma once

struct HudState;

void BOD_FillRadar(HudState* state);
