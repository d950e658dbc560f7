// Stand-in for the release of the renderer's texture records until the display builds it.
#pragma once

// Frees every texture record of the renderer.
void DSP_ReleaseTextureSurfaces();
