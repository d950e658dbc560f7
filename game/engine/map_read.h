// The four map readers and what they share. Each fills g_Landscape (made by the load driver)
// from one map file read through the archive layer, so a map may live in a .muf archive or on
// the disk. Nothing is read past the end of the file or archive entry.
#pragma once
#include <cstdint>
#include <vector>

#include "common/mth.h"

struct Landscape;

// Results of the readers. A refused map is one whose contents could not be stored safely
// (a count or length beyond its field or list, an over-long name); the driver treats it like a
// missing map.
enum : int {
    MAP_READ_REFUSED = -1,
    MAP_READ_NO_FILE = 0,
    MAP_READ_OK = 1,
};

// Each reader takes the whole map file (read once by the load driver); path names it in refusals.
// Text maps (.alm, .blm, .clm): the start camera goes into camera, which must not be null.
int MAP_ReadAlm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes);
int MAP_ReadBlm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes);
int MAP_ReadClm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes);
// The binary map (.zlm).
int MAP_ReadZlm(const char* path, const std::vector<uint8_t>& bytes);

// The fixed settings of the oldest text format: a default texture name in texture entry 0, one
// white directional light, still surfaces with normal gravity, unanimated lit materials, solid
// objects. 0 when memory for the default light runs out.
int MAP_ApplyAlmDefaults();
// Zeroes the texture-coordinate animation of every material and the turning of every object.
void MAP_ClearAnimationFields();

// The whole file or archive entry at path into bytes: false when it cannot be opened.
bool MAP_ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);
// Writes "Map refused: <what>: <path>" to the debugger output; returns MAP_READ_REFUSED.
int MAP_Refuse(const char* path, const char* what);
