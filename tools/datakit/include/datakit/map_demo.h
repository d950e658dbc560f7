// The synthetic landscape of the demo install, and the helpers that build it: triangles with
// their edges and twins, and the values a .zlm map stores in place of the game's load-time
// computations (normals, directional lighting, light and object lists, object extents).
#pragma once
#include <string>

#include "datakit/map_data.h"

namespace dk {

// Appends a triangle with corners a, b, c (vertex numbers, 1-based), wound so that the corners
// run counter-clockwise in the x-z plane seen with x to the right and z up; its three edges run
// a-b, b-c, c-a. Returns the surface number.
int AddMapTriangle(MapData* map, int a, int b, int c, uint16_t material);
// Sets every edge's otherEdge to the edge of another surface with the same two vertices.
void LinkMapTwins(MapData* map);
// The fields a .zlm stores for what the game computes: surface normals, corner colours and light
// lists from the directional lights, object normals, extents, radii, surfaces, colours and light
// lists, surface object lists, light unit directions and ranges.
void CompleteMapData(MapData* map);

// The demo landscape: a gently sloping checkered floor with a pillar in the middle, one
// directional light, an extension and an animated material.
MapData DemoMapData();

}  // namespace dk
