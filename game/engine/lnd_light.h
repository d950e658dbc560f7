// Static lighting of the landscape and its objects from the map's lights, the lists of lights
// that reach each surface, the per-frame view-space copies of the lights, the dynamic-lighting
// switch and the ambient light floor.
#pragma once
#include <cstdint>

#include "engine/lnd.h"

// Light i of the map in view space (entry 0 unused), made each frame while dynamic lighting is on.
extern LandscapeLight g_ViewLights[LND_LIGHTS_MAX + 1];
// Dynamic lighting of models and objects; off draws everything at full brightness.
extern int32_t g_DynamicLighting;
// r, g, b floor of every lit colour, and a fourth value carried along.
extern float g_AmbientFloor[4];

// The whole pass: the list of all lights, light directions, every surface's corner colours, the
// surfaces' light lists and every object surface's corner colours.
void LND_ComputeStaticLighting();
// Adds the light to the light lists of the surfaces it reaches.
void LND_AssignLightToSurfaces(int32_t light);
// The nine corner colours of a surface from every light; a surface without material is left.
void LND_LightSurface(int32_t surface);
// The same for an object surface whose corners are origin + vertices[vrefs[k]].
void LND_LightObjectSurface(const Vec3* vertices, ObjectSurface* objectSurface, const Vec3* origin);
// Adds a point light's fall-off at P to r, g, b when P is in reach and the light lies on the
// front side of the triangle (three corners) or on its plane.
void LND_AddPointLight(const LandscapeLight* light, const Vec3* triangle, const Vec3* point, float* r, float* g,
                       float* b);
// View-space copies of the lights into g_ViewLights (only while dynamic lighting is on).
void LND_UpdateFrameLights(const Matrix34* viewMatrix);
// Returns the previous setting.
int LND_SetDynamicLighting(int on);
// Copies the floor to the previous-floor copy, then sets it from floor's four values unless it is
// null; returns the copy.
float* LND_SetAmbientLight(const float* floor);
// Off by default: receives "LND_SetDynamicLighting(on)" and "LND_SetAmbientLight(r,g,b,a)" as
// they are called, so that start-up order tests can see the switches among other calls.
void LND_SetCallTrace(void (*trace)(const char* entry));
