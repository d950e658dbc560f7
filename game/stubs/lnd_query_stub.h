// Stand-in for the landscape queries until they are built: only the surface lookup the map
// readers need.
#pragma once
#include <cstdint>

#include "shell/mth.h"

// The first surface (in index order) whose plan-view triangle holds (x, z), 0 when none or no
// landscape is loaded. The stand-in always scans and ignores the start surface.
int32_t LND_LocateSurface(int32_t start, const Vec3* point);
