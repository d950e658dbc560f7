// Stand-in for the renderer's two texture lists and its palette helpers until textures are built:
// the lists exist and stay empty (a texture record starts with its list link); the palettes are
// made as the textures will make them.
#pragma once
#include "ddraw.h"
#include "gdi.h"
#include "shell/lst.h"

struct RenderTexture;

extern ListHeader g_RndLoadedTextures, g_RndUnloadedTextures;

void RND_InitTextureLists();
// Releases a texture's surfaces and palette (the stand-in's records have none).
void RND_ReleaseTexture(RenderTexture* texture);
// A new palette with the display palette's entries and caps (without the primary-surface caps);
// null without a display palette or when it cannot be made.
IDirectDrawPalette* RND_ClonePalette(IDirectDraw2* directDraw);
// A new palette from the colour table of a bitmap (flags 0): 8-bit caps above 16 entries, else
// 4-bit; without a table the 3-3-2 palette. Null when it cannot be made.
IDirectDrawPalette* RND_SetPaletteFromBitmap(IDirectDraw2* directDraw, HBITMAP bitmap);
