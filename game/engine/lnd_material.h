// Run-time services around the landscape's records: bounds-checked accessors for materials,
// objects and surfaces, the landscape clock, the texture and texture-coordinate animation of
// materials, the loading of the map's textures, and the set-up of landscape objects.
#pragma once
#include <cstdint>

#include "engine/lnd.h"

// Material accessors: m outside 1..materialCount gives the value in the comment, setters do nothing.
int32_t LND_GetMaterialUvAnim(int32_t m);  // -1
void LND_SetMaterialUvAnim(int32_t m, uint16_t kind);
float LND_GetMaterialDu(int32_t m);       // 0.0
float LND_GetMaterialDv(int32_t m);       // 0.0
float LND_GetMaterialUvScale(int32_t m);  // 0.0
void LND_SetMaterialCu(int32_t m, float f);
void LND_SetMaterialCv(int32_t m, float f);
void LND_SetMaterialUvBase(int32_t m, float f);
void LND_SetMaterialDu(int32_t m, float f);
void LND_SetMaterialDv(int32_t m, float f);
void LND_SetMaterialUvScale(int32_t m, float f);
uint16_t LND_GetMaterialTexture(int32_t m);  // 0

// Object accessors (o in 1..objectCount).
void LND_SetObjectSpinMode(int32_t o, int32_t mode);
float LND_GetObjectAngleZ(int32_t o);  // 0.0
void LND_SetObjectSpinX(int32_t o, float f);
void LND_SetObjectSpinZ(int32_t o, float f);
void LND_SetObjectAngleY(int32_t o, float f);
void LND_SetObjectAngleZ(int32_t o, float f);
// The first object whose name equals name exactly (case-sensitive); 0 when none.
int32_t LND_FindObject(const char* name);

// Surface accessors (s in 1..surfaceCount).
int LND_GetSurfaceVertices(LandscapeVertex** out0, LandscapeVertex** out1, LandscapeVertex** out2, int32_t s);
uint16_t LND_GetSurfaceMaterial(int32_t s);  // 0
// Pointer to the surface's flow; out of range a constant zero vector.
const Vec3* LND_GetSurfaceFlow(int32_t s);

// g_LandscapeTimeStep = old time - seconds, then g_LandscapeTime = seconds.
void LND_SetTime(float seconds);
// Steps the texture animation of surface s's material.
void LND_AnimateSurfaceMaterial(int32_t s);
// Per drawn surface: steps the material's animations, loads its current texture on first use and
// writes the three corner texture coordinates (pair k from corner 2 - k) into uvOut. Returns the
// current texture index; 0 (uvOut untouched) for a surface without material.
uint16_t LND_UpdateSurfaceTexture(float* uvOut, int32_t s);
// Mode 1: load every texture with a progress screen; 2: load silently; 3: mark every texture
// loaded without a texture; others: nothing.
void LND_LoadTextures(int32_t mode);
// The path of a map texture: texture directory, the empty middle part, file name.
void LND_TexturePath(char* out, size_t size, const LandscapeTexture* texture);
// Loads texture i on first use (keyed when its mode bit 0 is set) and marks it loaded, also when
// the load fails.
void LND_EnsureTextureLoaded(int32_t i);
// The object set-up after a text map is read: normals, extents, the surface under the origin and
// the registration of the object on the surfaces it overlaps. Returns objectCount (0 for an index
// outside 1..objectCount).
int32_t LND_SetUpObject(int32_t o);
