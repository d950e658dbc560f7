// Loading and unloading the level's landscape. MAP_LoadMap picks the reader by the file's
// extension, checks what it read, makes the per-map work arrays and, for text maps, completes
// what a .zlm map already carries (normals, object set-up, static lighting, object light lists).
#pragma once
#include <cstdint>

#include "common/mth.h"

// Loads the map at path (archive entry or disk file), replacing any loaded one; camera, when not
// null, receives a text map's start camera. 1 when loaded; 0 when the file cannot be found or
// read, its contents are refused, or a work array cannot be allocated. An unknown extension
// loads an empty landscape.
int32_t MAP_LoadMap(Matrix34* camera, const char* path);
// Frees the loaded map and its work arrays and releases the renderer's texture surfaces;
// g_Landscape is null afterwards. Nothing happens when no landscape exists.
void MAP_UnloadMap();
