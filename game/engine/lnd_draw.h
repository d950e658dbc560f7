// Drawing of the landscape from the camera (a flood across shared edges from the camera's
// surface), of the landscape objects met on the way, and the lighting and queueing of model
// meshes; the per-frame transform of landscape corners and screen picking.
//
// Corner order: a stored landscape triangle is wound so that, seen from its front, it comes out
// as a back face under the renderer's screen test. Every triangle handed to the renderer therefore
// takes position, uv and colour of stored corner 2 - k at its corner k. Texture coordinates and
// static colour slots are already kept in that reversed order, so only positions are reversed
// here; object surfaces and model faces follow the same rule.
#pragma once
#include <cstdint>
#include <functional>

#include "engine/lnd.h"
#include "engine/rnd_draw.h"
#include "engine/rnd_projection.h"

struct ModelTriangle;

extern int32_t g_CameraSurface;
extern int32_t g_DrawnSurfaceCount;
extern int32_t g_RenderObjectsListed;
extern int32_t g_CanBlendAdditive;

// Draws the visible landscape; the number of surfaces queued.
int LND_Draw(const Matrix34* camera, int32_t cameraSurface);
// Draws the listed objects (all of them when the camera stands on no surface); result
// (objects drawn << 16) + objects listed.
int LND_DrawObjects(const Matrix34* camera);
// 1 when the object was drawn.
int LND_DrawObject(const Matrix34* camera, int32_t object);
// Texture of an object surface at the landscape clock, loaded on first use.
RenderTexture* LND_GetObjectSurfaceTexture(int32_t object, int32_t surfaceIndex);
// 1 when the surface was drawn in this frame.
int LND_IsSurfaceDrawn(int32_t surface);
// 0 when the view-space sphere lies wholly beyond one side of the view.
int LND_IsSphereVisible(const Vec3* centre, float radius);
// Swaps corners 0 and 2 (position, uv, colour).
void LND_FlipTriangle(RenderTriangle* triangle);

// Lights and queues a model mesh (vertices: three floats each; faces index them). lightCache:
// null lights anew; a pointer holding null gets an array of faceCount x 9 colours, filled and
// kept by the caller (MEM_Free); a pointer holding an array reuses its colours.
int LND_DrawModelTriangles(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                           RenderTexture* texture, ModelTriangle* faces, int vertexCount, int faceCount,
                           int normalsGiven, float radius);
// The same with one normal per vertex (three floats each, rotated by matrix).
int LND_DrawModelTrianglesSmooth(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                                 const float* normals, RenderTexture* texture, ModelTriangle* faces, int vertexCount,
                                 int faceCount, float radius);
// Colours of the three corners of a face with (inward) unit normal from the listed view lights,
// clamped to at most 1 and then raised to the ambient floor.
void LND_LightTriangle(float* red, float* green, float* blue, int lightCount, const uint8_t* lightList,
                       const Vec3* normal, const Vec3* corner0, const Vec3* corner1, const Vec3* corner2);
// One vertex with its own normal; white without lights.
void LND_LightVertex(float* rgb, int lightCount, const uint8_t* lightList, const Vec3* normal, const Vec3* vertex);

// Transforms the surface's corners into g_RelativeVertices (once per vertex per frame) and
// returns the AND of their outcodes (0 for keyed or blended textures); corner indices in out.
uint8_t LND_TransformSurfaceVertices(uint16_t* cornerIndices, const Matrix34* cameraMatrix, int32_t surface);
// An object surface's normal turned by the object's angles, rotated into view space and negated,
// in a static vector overwritten by the next call.
Vec3* LND_ObjectSurfaceViewNormal(const Matrix34* cameraMatrix, const ObjectSurface* objectSurfaces,
                                  int32_t surfaceIndex, int32_t object);
// The world point under design-space (x, y); m is the camera's view-to-world matrix.
int RND_PickScreenPoint(Vec3* out, float x, float y, const Matrix34* cameraMatrix);

// An observation point for tools and tests: every model mesh handed to either model drawer, as
// given (smooth 1 from the smooth drawer). Off (empty) by default.
struct LndModelMesh {
    int smooth;
    float** lightCache;
    uint32_t surface;
    const Matrix34* matrix;
    const float* vertices;
    const float* normals;
    RenderTexture* texture;
    const ModelTriangle* faces;
    int vertexCount;
    int faceCount;
    int normalsGiven;
    float radius;
};
void LND_SetModelMeshObserver(std::function<void(const LndModelMesh& mesh)> observer);
