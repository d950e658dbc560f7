// Stand-in for the model triangle drawer of the landscape renderer until it is built: it lights
// and queues nothing; tests may watch each mesh it is given.
#pragma once
#include <cstdint>
#include <functional>

#include "shell/mth.h"

struct ModelTriangle;
struct RenderTexture;

// One mesh as the drawer receives it. vertices (and, for the smooth drawer, normals) hold three
// floats per vertex; faces index them.
struct LndModelMesh {
    int smooth;               // 1 from LND_DrawModelTrianglesSmooth
    float** lightCache;
    uint32_t surface;
    const Matrix34* matrix;
    const float* vertices;
    const float* normals;     // per vertex, smooth drawer only
    RenderTexture* texture;
    const ModelTriangle* faces;
    int vertexCount;
    int faceCount;
    int normalsGiven;
    float radius;
};

// Lights and queues a model mesh: each vertex is transformed by matrix; with normalsGiven each
// face's stored normal is rotated by matrix. Faces come in their stored corner order, which the
// drawer reverses (stored corner 2 - k is drawn as corner k), as for landscape triangles; the
// stored normals point into the mesh, as the model lighting (n . L) expects. Result 0 when faces, vertices, the vertex count or
// the matrix is missing, else 1.
int LND_DrawModelTriangles(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                           RenderTexture* texture, ModelTriangle* faces, int vertexCount, int faceCount,
                           int normalsGiven, float radius);
// The same with one normal per vertex (normals: three floats per vertex, rotated by matrix).
int LND_DrawModelTrianglesSmooth(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                                 const float* normals, RenderTexture* texture, ModelTriangle* faces, int vertexCount,
                                 int faceCount, float radius);

// Test seam: called with every mesh handed to either drawer; an empty function removes it.
void LND_StubSetModelMeshHook(std::function<void(const LndModelMesh& mesh)> hook);
