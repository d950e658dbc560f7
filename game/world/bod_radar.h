// The radar fill (bod_radar.cpp): once per frame the radar block of the HUD state gets the view
// heading, one entry per shown bod around the reference point (at most the block's 256; unused
// entries at (-2000, 0, -2000)), their count, and the view wedge's three points.
#pragma once

struct HudState;

void BOD_FillRadar(HudState* state);
// Test seam: a fill that runs in place of this one (null: the world's own), for the interface's
// tests that write the radar block themselves.
void BOD_SetRadarFillForTests(void (*fill)(HudState* state));
