// The renderer's 3D view inside the display mode: shrinking and growing it, and the 2D clip
// rectangle in design space and in pixels.
#pragma once
#include <cstdint>

// Size of the 3D view in pixels; 0 stands for the mode's full size.
extern int32_t g_RndViewWidth, g_RndViewHeight;

// Scales the 3D view by factor (truncated to whole pixels); sizes under an eighth of the mode or
// over the mode are ignored. The viewport is centred, the projection refitted, and the clip
// rectangle follows the view with its bottom capped above the interface (425 in 640-wide modes,
// else 212).
void RND_SetViewScale(float factor);
// The same with factor 1 / zoom.
void RND_SetViewZoom(float zoom);

// In screen pixels.
void RND_SetClipRectRaw(int left, int top, int right, int bottom);
// In the 640 x 480 design space, converted to pixels and truncated.
void RND_SetClipRect(int left, int top, int right, int bottom);
// x, y, width, height in design space (truncated) or in pixels.
void RND_GetClipRect(int rect[4]);
void RND_GetClipRectRaw(int rect[4]);
// The whole mode, when the 3D view fills the mode's width.
void RND_ResetClipRect();
