// Stand-in for the model triangle drawer: checks what the real drawer requires, hands the mesh
// to the test hook when one is set, and draws nothing.
#include "stubs/lnd_draw_stub.h"

namespace {
std::function<void(const LndModelMesh&)> g_MeshHook;

int Take(const LndModelMesh& mesh) {
    if (!mesh.faces || !mesh.vertices || mesh.vertexCount <= 0 || !mesh.matrix)
        return 0;
    if (g_MeshHook)
        g_MeshHook(mesh);
    return 1;
}
}  // namespace

int LND_DrawModelTriangles(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                           RenderTexture* texture, ModelTriangle* faces, int vertexCount, int faceCount,
                           int normalsGiven, float radius) {
    return Take({0, lightCache, surface, matrix, vertices, nullptr, texture, faces, vertexCount, faceCount, normalsGiven,
                 radius});
}

int LND_DrawModelTrianglesSmooth(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                                 const float* normals, RenderTexture* texture, ModelTriangle* faces, int vertexCount,
                                 int faceCount, float radius) {
    return Take({1, lightCache, surface, matrix, vertices, normals, texture, faces, vertexCount, faceCount, 1, radius});
}

void LND_StubSetModelMeshHook(std::function<void(const LndModelMesh& mesh)> hook) {
    g_MeshHook = std::move(hook);
}
