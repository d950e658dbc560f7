// The text landscape map writer for the three dialects: ".alm" (oldest: no lights, no ambient,
// fade or physics settings, materials with one texture), ".blm" (lights, lit and animated
// materials, surface physics, object collision modes) and ".clm" (adds texture-coordinate
// animation and turning objects). One record per line; numbers are written so that they read
// back exactly. Fields a dialect does not have are left out.
#pragma once
#include <string>

#include "datakit/map_data.h"

namespace dk {

enum class TextDialect { Alm, Blm, Clm };

std::string TextMapString(const MapData& map, TextDialect dialect);
bool WriteTextMap(const std::string& path, const MapData& map, TextDialect dialect);
// The number as the writer prints it: the shortest text that reads back as the same float.
std::string MapNumber(float value);

}  // namespace dk
