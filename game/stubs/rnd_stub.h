// Stand-in for the renderer's frame, clearing, clip rectangle and debug text until they are built.
#pragma once
#include <cstdint>

#include "ddraw.h"
#include "engine/rnd_texture.h"

// 1 when the scene was begun.
int RND_BeginFrame();
void RND_EndScene();
// Flips the display's primary surface; without a display presents a black 640 x 480 frame.
void RND_Flip();
// rgb: three floats 0..1, or null to stop the fill at frame start. Kept packed as 0xRRGGBB.
void RND_SetBackgroundColour(const float* rgb);
uint32_t RND_GetBackgroundColour();
void RND_ClearScreen();
void RND_ClearRect(int x, int y, int width, int height);
// In screen pixels.
void RND_SetClipRectRaw(int left, int top, int right, int bottom);
// x and y are fractions of the screen; a null text draws nothing.
void RND_DrawDebugText(float x, float y, const char* text);
// White text at pixel (x x screen width, y x screen height) of a surface in the debug font.
void RND_DrawTextOnSurface(IDirectDrawSurface3* surface, float x, float y, const char* text);
int RND_IsHardwareDevice();
// The mode size (the stand-in: the results set for these names, else the renderer's words).
float RND_GetScreenWidth();
float RND_GetScreenHeight();
