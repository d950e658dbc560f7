// The binary landscape map writer (.zlm): little-endian, no padding, the records in file order
// (header, texture directory, vertices, edges, surfaces, extensions, textures, materials, the
// ambient colour, lights, objects). A .zlm map stores what the game computes after loading a
// text map (normals, corner colours, object and light lists, object extents, light directions),
// so those fields of the MapData are written as they are.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "datakit/map_data.h"

namespace dk {

std::vector<uint8_t> ZlmBytes(const MapData& map);
bool WriteZlm(const std::string& path, const MapData& map);

}  // namespace dk
