// The renderer's 3D lines (see rnd_line.h).
#include "engine/rnd_line.h"

#include "engine/rnd_blend.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"

namespace {
struct LineEnd {
    Vec3 position;
    float colour[3];
};

// Moves end `a` along the line to depth d (linear in view space, colour along).
void MoveTo(LineEnd* a, const LineEnd& b, float d) {
    const float t = (a->position.z - d) / (a->position.z - b.position.z);
    a->position.x += t * (b.position.x - a->position.x);
    a->position.y += t * (b.position.y - a->position.y);
    a->position.z = d;
    for (int k = 0; k < 3; ++k)
        a->colour[k] += t * (b.colour[k] - a->colour[k]);
}

// Pulls both ends in between near + 1 and far - 1; false when the line lies on one side.
bool PullIntoDepth(LineEnd* a, LineEnd* b) {
    const float nearest = g_RndNear + 1.0f, farthest = g_RndFar - 1.0f;
    for (LineEnd* end : {a, b}) {
        LineEnd* other = end == a ? b : a;
        if (end->position.z < nearest) {
            if (other->position.z < nearest)
                return false;
            MoveTo(end, *other, nearest);
        }
        if (end->position.z > farthest) {
            if (other->position.z > farthest)
                return false;
            MoveTo(end, *other, farthest);
        }
    }
    return true;
}
}  // namespace

void RND_DrawLine3D(const Vec3* a, const Vec3* b, const float* colourA, const float* colourB) {
    const uint8_t codeA = RND_OutCode(a), codeB = RND_OutCode(b);
    if (codeA & codeB)
        return;
    LineEnd ends[2] = {{*a, {colourA[0], colourA[1], colourA[2]}}, {*b, {colourB[0], colourB[1], colourB[2]}}};
    if (((codeA | codeB) & 0x30) && !PullIntoDepth(&ends[0], &ends[1]))
        return;
    D3DTLVERTEX vertices[2];
    const float nearPlane = g_RndNear, farPlane = g_RndFar;
    for (int i = 0; i < 2; ++i) {
        Vec3 s{};
        if (!RND_ProjectPoint(&s, &ends[i].position))
            return;
        D3DTLVERTEX& v = vertices[i];
        v.sx = s.x;
        v.sy = s.y;
        v.sz = (s.z - nearPlane) * farPlane / ((farPlane - nearPlane) * s.z);
        v.rhw = 1.0f / s.z;
        v.color = RND_PackColour(ends[i].colour);
        v.specular = v.color;
        v.tu = v.tv = 0.0f;
    }
    if (!g_Rnd.device)
        return;
    RND_SetTextureState(g_Rnd.device, nullptr);
    g_Rnd.device->DrawPrimitive(D3DPT_LINELIST, D3DVT_TLVERTEX, vertices, 2, 0);
}
