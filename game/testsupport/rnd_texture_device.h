// A texture-capable renderer for tests that load models, maps or textures without the whole
// display start-up: a DirectDraw object of the primary driver, its Direct3D and a HAL or Ramp
// device drawing into a small off-screen surface, set as the renderer's words. Never used by
// the program itself.
#pragma once
#include <cstdint>

// Replaces the display drivers with one primary driver whose video memory holds the device's
// target (in video memory for the HAL device) and exactly textureBudget bytes more, then opens
// it. False when something could not be made (everything is closed again).
bool TST_OpenTextureDevice(bool hardware, uint32_t textureBudget = 4u << 20);
// Frees every texture record of both lists, releases the device and the objects, clears the
// renderer's words and restores the default display drivers.
void TST_CloseTextureDevice();
// The video memory a width x height 16-bit texture surface takes (rows are padded).
uint32_t TST_TextureVideoBytes(uint32_t width, uint32_t height);
