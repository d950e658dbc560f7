// The renderer's default render states for the two device kinds, and the display-mode check.
#pragma once

// Sets the render states the per-texture switching of the batch assumes, in a fixed order: the
// HAL device modulates and filters linearly, the Ramp device uses decal and nearest texels; both
// start without blending, colour key or specular light, culling none (the clipper removes back
// faces), perspective-correct, with Z test LESS and Z writes on. Nothing without a device.
void RND_SetDefaultRenderStates();
// 1 when the display offers the mode; the HAL device refuses 8-bit modes without asking.
int RND_IsDisplayModeSupported(int width, int height, int bpp);
