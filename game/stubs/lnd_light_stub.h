// Stand-in for the static lighting and the ambient light floor until they are built.
#pragma once

// Copies the current floor (r, g, b, a) to the previous-floor copy, then sets the floor from
// floor's four values unless it is null; returns the copy.
float* LND_SetAmbientLight(const float* floor);
// The stand-in lights nothing: corner colours stay as the load driver set them.
void LND_ComputeStaticLighting();
