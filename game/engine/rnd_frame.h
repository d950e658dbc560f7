// The renderer's frame: begin (clip planes reset, a lost display restored, Z cleared, the
// background filled, the batch emptied, the scene begun), end and flip; the background colour,
// screen clears and the debug text.
#pragma once
#include <cstdint>

#include "ddraw.h"

// Background fill at frame start (1 at first) and its colour, packed 0xRRGGBB (black at first).
extern int32_t g_RndBackgroundFill;
extern uint32_t g_RndBackgroundColour;

// 1 when the scene was begun, 0 when the device refused it (or there is none).
int RND_BeginFrame();
// Draws the batch and ends the scene.
void RND_EndScene();
// Presents the frame; without a display a black 640 x 480 frame, so that frames still count.
void RND_Flip();
// rgb: three floats 0..1, each (int)(c x 255 + 0.5) held to 0..255, packed 0xRRGGBB, and the
// fill switched on; null switches the fill at frame start off.
void RND_SetBackgroundColour(const float* rgb);
// Fill the whole back buffer, or a rectangle of it in pixels, with the background colour
// (whatever the fill switch says).
void RND_ClearScreen();
void RND_ClearRect(int x, int y, int width, int height);
// x and y are fractions of the screen; a null text draws nothing.
void RND_DrawDebugText(float x, float y, const char* text);
// White text at pixel (x x screen width, y x screen height) of a surface in the debug font.
void RND_DrawTextOnSurface(IDirectDrawSurface3* surface, float x, float y, const char* text);
