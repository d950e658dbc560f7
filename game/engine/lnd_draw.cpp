// Landscape and landscape object drawing (see lnd_draw.h): the flood from the camera's surface,
// the surface draw with its texture, uv and static colours, and the objects met on the way.
#include "engine/lnd_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/landscape_query.h"
#include "engine/lnd_light.h"
#include "engine/lnd_material.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"

int32_t g_CameraSurface = 0;
int32_t g_DrawnSurfaceCount = 0;
int32_t g_RenderObjectsListed = 0;
int32_t g_CanBlendAdditive = 0;

namespace {

RenderTriangle g_WorkTriangle;
// The flood's explicit stack: a surface being drawn, the surface the flood came from and the
// next of its edges to follow. It visits in the order of a depth-first recursion (edges 0, 1, 2),
// which keeps the order of triangles within a texture's queue.
struct FloodFrame {
    int32_t surface, from, edge;
};
std::vector<FloodFrame> g_FloodFrames;
std::vector<Vec3> g_ObjectScratch;

void SetColour(float* c, float r, float g, float b) {
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = 0.0f;
}

// Turns the spinning objects standing on a surface, once per frame however often they are met.
void SpinObjects(const LandscapeSurface& s) {
    for (int k = 0; k < s.objectCount; ++k) {
        LandscapeObject& o = g_Landscape->objects[s.objectList[k]];
        if ((o.spinMode & 3) != 1) continue;
        if (!(o.flags & 4u)) {
            o.flags |= 4u;
            o.spinClock = g_LandscapeTime;
        }
        const float dt = g_LandscapeTime - o.spinClock;
        o.angle.x += dt * o.spin.x;
        o.angle.y += dt * o.spin.y;
        o.angle.z += dt * o.spin.z;
        o.spinClock = g_LandscapeTime;
    }
}

// 0 when the surface is out of view, 1 when in view (drawn or not).
int DrawSurface(const Matrix34* camera, int32_t index) {
    Landscape* l = g_Landscape;
    LandscapeSurface& s = l->surfaces[index];
    s.drawStamp = g_LandscapeDrawStamp;
    SpinObjects(s);
    uint16_t corners[3];
    if (LND_TransformSurfaceVertices(corners, camera, index)) return 0;
    RenderTriangle& t = g_WorkTriangle;
    for (int k = 0; k < 3; ++k) {
        t.position[k] = g_RelativeVertices[corners[2 - k]];
        SetColour(t.colour[k], 1.0f, 1.0f, 1.0f);
    }
    const uint16_t textureIndex = LND_UpdateSurfaceTexture(&t.uv[0][0], index);
    RenderTexture* texture = textureIndex ? l->textures[textureIndex].texture : nullptr;
    if (!texture) return 1;
    ++g_DrawnSurfaceCount;
    for (int k = 0; k < s.objectCount; ++k) {
        const int32_t o = s.objectList[k];
        LandscapeObject& object = l->objects[o];
        if (object.drawStamp == g_LandscapeDrawStamp || !object.active) continue;
        object.drawStamp = g_LandscapeDrawStamp;
        if (g_RenderObjectsListed < l->objectCount + 1) g_RenderObjects[g_RenderObjectsListed++] = o;
    }
    if (!s.material) return 1;
    // Additive blending is flag value 4 of the texture's mode word.
    if ((l->textures[textureIndex].mode & 4) && !g_CanBlendAdditive) return 1;
    if (l->materials[s.material].lmode != 0 && g_DynamicLighting) {
        for (int k = 0; k < 3; ++k)
            SetColour(t.colour[k], std::max(s.cornerRed[k], g_AmbientFloor[0]),
                      std::max(s.cornerGreen[k], g_AmbientFloor[1]), std::max(s.cornerBlue[k], g_AmbientFloor[2]));
    }
    t.texture = texture;
    RND_DrawTriangle(&t);
    return 1;
}

void Flood(const Matrix34* camera, int32_t start) {
    Landscape* l = g_Landscape;
    const uint32_t stamp = g_LandscapeDrawStamp;
    g_FloodFrames.clear();
    auto enter = [&](int32_t s, int32_t from) {
        if (l->surfaces[s].drawStamp == stamp) return;
        l->surfaces[s].drawStamp = stamp;
        if (DrawSurface(camera, s)) g_FloodFrames.push_back({s, from, 0});
    };
    enter(start, 0);
    while (!g_FloodFrames.empty()) {
        FloodFrame& f = g_FloodFrames.back();
        if (f.edge == 3) {
            g_FloodFrames.pop_back();
            continue;
        }
        const int32_t s = f.surface, from = f.from;
        const uint16_t edge = l->surfaces[s].edges[f.edge++];
        const uint16_t twin = l->edges[edge].otherEdge;
        if (!twin || l->edges[twin].drawStamp == stamp) continue;
        l->edges[twin].drawStamp = stamp;
        const int32_t next = l->edges[twin].surface;
        if (next < 1 || next > l->surfaceCount || next == from || l->surfaces[next].drawStamp == stamp) continue;
        enter(next, s);
    }
}

}  // namespace

int LND_Draw(const Matrix34* camera, int32_t cameraSurface) {
    g_DrawnSurfaceCount = 0;
    if (!camera || !g_MapLoaded || !g_Landscape) return 0;
    Landscape* l = g_Landscape;
    LND_UpdateFrameLights(camera);
    g_RenderObjectsListed = g_RenderObjectCount;
    g_CameraSurface = cameraSurface;
    ++g_LandscapeDrawStamp;
    if (l->surfaces && g_RelativeVertices && g_RenderObjects) {
        if (cameraSurface >= 1 && cameraSurface <= l->surfaceCount)
            Flood(camera, cameraSurface);
        else
            for (int32_t s = 1; s <= l->surfaceCount; ++s) DrawSurface(camera, s);
    }
    g_ObjectsDrawn = 0;
    return g_DrawnSurfaceCount;
}

int LND_DrawObjects(const Matrix34* camera) {
    if (!camera || !g_MapLoaded || !g_Landscape) return 0;
    g_ObjectsDrawn = 1;
    int drawn = 0, listed = 0;
    if (g_CameraSurface == 0) {
        for (int32_t o = 1; o <= g_Landscape->objectCount; ++o, ++listed) drawn += LND_DrawObject(camera, o);
    } else if (g_RenderObjects) {
        for (int32_t i = 0; i < g_RenderObjectsListed; ++i, ++listed) drawn += LND_DrawObject(camera, g_RenderObjects[i]);
    }
    return (drawn << 16) + listed;
}

RenderTexture* LND_GetObjectSurfaceTexture(int32_t object, int32_t surfaceIndex) {
    const Landscape* l = g_Landscape;
    if (!l || object < 1 || object > l->objectCount) return nullptr;
    LandscapeObject& o = l->objects[object];
    if (surfaceIndex < 0 || surfaceIndex >= o.surfaceCount) return nullptr;
    ObjectSurface& s = o.objectSurfaces[surfaceIndex];
    int32_t frame = 0;
    // A stopped animation (no frame time or no frames, as text maps may give) stays on frame 0.
    const bool running = s.frameTime > 0.0f && s.frameCount > 0;
    if ((s.mode == 1 || s.mode == 2) && running) {
        const float t = g_LandscapeTime / s.frameTime;
        frame = (t >= 0.0f && t < 2147483648.0f) ? int32_t(t) % s.frameCount : 0;
        if (s.mode == 1) {
            if (frame < s.currentFrame) {
                s.currentFrame = 0;
                s.mode = 0;
                frame = 0;
            } else {
                s.currentFrame = uint16_t(frame);
            }
        }
    } else if (s.mode == 0) {
        s.currentFrame = 0;
    }
    const uint16_t index = s.frames[frame];
    if (index < 1 || index > l->textureCount) return nullptr;
    LND_EnsureTextureLoaded(index);
    return l->textures[index].texture;
}

int LND_DrawObject(const Matrix34* camera, int32_t index) {
    Landscape* l = g_Landscape;
    if (!camera || !l || index < 1 || index > l->objectCount) return 0;
    LandscapeObject& o = l->objects[index];
    const Vec3& origin = l->vertices[o.positionRef].position;
    Vec3 centre;
    MTH_TransformPoint(&centre, &origin, camera);
    if (!LND_IsSphereVisible(&centre, o.radius)) return 0;
    if (g_ObjectScratch.size() < size_t(o.vertexCount)) g_ObjectScratch.resize(size_t(o.vertexCount));
    const bool spinning = (o.spinMode & 1) != 0;
    for (int32_t i = 0; i < o.vertexCount; ++i) {
        const Vec3 r = spinning ? MTH_RotateEulerXYZ(o.vertices[i], o.angle) : o.vertices[i];
        const Vec3 world{r.x + origin.x, r.y + origin.y, r.z + origin.z};
        MTH_TransformPoint(&g_ObjectScratch[size_t(i)], &world, camera);
    }
    for (int32_t k = 0; k < o.surfaceCount; ++k) {
        const ObjectSurface& s = o.objectSurfaces[k];
        RenderTriangle t{};
        for (int c = 0; c < 3; ++c) {
            t.position[c] = g_ObjectScratch[size_t(s.vrefs[2 - c])];
            t.uv[c][0] = s.u[2 - c];
            t.uv[c][1] = s.v[2 - c];
            SetColour(t.colour[c], 1.0f, 1.0f, 1.0f);
        }
        if (g_DynamicLighting && s.lmode != 0) {
            if (!spinning) {
                for (int c = 0; c < 3; ++c)
                    SetColour(t.colour[c], std::max(s.cornerRed[c], g_AmbientFloor[0]),
                              std::max(s.cornerGreen[c], g_AmbientFloor[1]),
                              std::max(s.cornerBlue[c], g_AmbientFloor[2]));
            } else {
                const Vec3 normal = *LND_ObjectSurfaceViewNormal(camera, o.objectSurfaces, k, index);
                float red[3], green[3], blue[3];
                LND_LightTriangle(red, green, blue, o.lightCount, o.lightList, &normal, &t.position[0], &t.position[1],
                                  &t.position[2]);
                for (int c = 0; c < 3; ++c) SetColour(t.colour[c], red[c], green[c], blue[c]);
            }
        }
        t.texture = LND_GetObjectSurfaceTexture(index, k);
        RND_DrawTriangle(&t);
    }
    return 1;
}

int LND_IsSurfaceDrawn(int32_t surface) {
    const Landscape* l = g_Landscape;
    if (!l || !l->surfaces || surface < 1 || surface > l->surfaceCount) return 0;
    return l->surfaces[surface].drawStamp == g_LandscapeDrawStamp ? 1 : 0;
}

int LND_IsSphereVisible(const Vec3* c, float r) {
    if (!c) return 0;
    const Vec3 probes[6] = {{c->x + r, c->y, c->z}, {c->x - r, c->y, c->z}, {c->x, c->y - r, c->z},
                            {c->x, c->y + r, c->z}, {c->x, c->y, c->z - r}, {c->x, c->y, c->z + r}};
    constexpr uint8_t bits[6] = {1, 2, 8, 4, 0x10, 0x20};
    for (int i = 0; i < 6; ++i)
        if (RND_OutCode(&probes[i]) & bits[i]) return 0;
    return 1;
}

void LND_FlipTriangle(RenderTriangle* t) {
    if (!t) return;
    std::swap(t->position[0], t->position[2]);
    for (int i = 0; i < 2; ++i) std::swap(t->uv[0][i], t->uv[2][i]);
    for (int i = 0; i < 4; ++i) std::swap(t->colour[0][i], t->colour[2][i]);
}
