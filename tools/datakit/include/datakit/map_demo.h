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
// Appends a vertex; returns its number (1-based).
int AddMapVertex(MapData* map, float x, float y, float z);
// A square as two triangles from its corners bottom left, bottom right, top right, top left (seen
// from the front): material 1 for the lower right triangle, 2 for the upper left one.
void AddMapSquare(MapData* map, int bl, int br, int tr, int tl);
// A map with one texture and the two lit materials AddMapSquare uses, whose uv show the whole
// texture upright on each square; the given name and ambient level, nothing else yet.
MapData UprightTextureMap(const std::string& name, const std::string& texture, float ambient);
// Sets every edge's otherEdge to the edge of another surface with the same two vertices.
void LinkMapTwins(MapData* map);
// The fields a .zlm stores for what the game computes: surface normals, corner colours and light
// lists from the directional lights, object normals, extents, radii, surfaces, colours and light
// lists, surface object lists, light unit directions and ranges.
void CompleteMapData(MapData* map);

// The texture names the game binds to surface triggers (deadly water, spikes, wet cement, the
// metal detector, the x-ray floor, poisoned tiles, the tank bottom, electric fences). Every demo
// map lists them after its own five textures, and the demo install has a placeholder picture
// for each (graphics\textures\NAME), so that level content can lay them on its faces.
inline constexpr const char* kDemoTriggerTextures[] = {
    "GRAVDIE.BMP",  "POOLTILE.BMP", "BADWATER.BMP", "WATERPIT.BMP", "HBADWATR.BMP", "WETCEMNT.BMP", "ZGSPIKE1.BMP",
    "ZGSPIKE2.BMP", "FLORMDET.BMP", "XRAYFLOR.BMP", "TILEDEAD.BMP", "TANKBTM.BMP",  "ZEF_HORI.BMP", "ISO_SIDE.BMP",
    "ISO_TOP.BMP",  "ZELCGATE.BMP", "FENCE3.BMP",   "ZEFENC1.BMP",  "ZEFENC2.BMP"};

// The demo landscape: a gently sloping checkered floor with a pillar in the middle, one
// directional light, an extension, an animated material, and the trigger textures listed.
MapData DemoMapData();

}  // namespace dk
