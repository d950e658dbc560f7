// The renderer's clipper (see rnd_clip.h). Every clip handles the single contiguous run of outside
// corners a convex polygon can have: the run is replaced by the two crossing points of the edges
// that leave and enter it, and the corners keep their winding.
#include "engine/rnd_clip.h"

#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"

float g_RndNear = 100.0f, g_RndFar = 3000.0f;
int32_t g_RndFogEnabled = 0;
float g_RndFogStart = 4000.0f;
float g_RndColourScale[3] = {255.0f, 255.0f, 255.0f};

namespace {
// Where a clip puts a crossing between inside corner a and outside corner b of p.
enum class Axis { kDepth, kScreenX, kScreenY };

struct Corner {
    Vec3 position;
    float uv[2];
    float colour[4];
};

Corner Take(const ClipPolygon& p, int i) {
    Corner c{p.position[i], {p.uv[i][0], p.uv[i][1]}, {p.colour[i][0], p.colour[i][1], p.colour[i][2], p.colour[i][3]}};
    return c;
}

void Put(ClipPolygon* p, int i, const Corner& c) {
    p->position[i] = c.position;
    p->uv[i][0] = c.uv[0];
    p->uv[i][1] = c.uv[1];
    for (int k = 0; k < 4; ++k)
        p->colour[i][k] = c.colour[k];
}

float Coordinate(const Vec3& v, Axis axis) {
    return axis == Axis::kScreenX ? v.x : axis == Axis::kScreenY ? v.y : v.z;
}

// The corner where edge a-b meets the plane at `at`; a is the inside corner and lends its a value.
Corner Cross(const Corner& a, const Corner& b, Axis axis, float at) {
    Corner c = a;
    if (axis == Axis::kDepth) {
        // Linear in view space.
        const float t = (a.position.z - at) / (a.position.z - b.position.z);
        c.position.x = a.position.x + t * (b.position.x - a.position.x);
        c.position.y = a.position.y + t * (b.position.y - a.position.y);
        c.position.z = at;
        for (int k = 0; k < 2; ++k)
            c.uv[k] = a.uv[k] + t * (b.uv[k] - a.uv[k]);
        for (int k = 0; k < 3; ++k)
            c.colour[k] = a.colour[k] + t * (b.colour[k] - a.colour[k]);
        return c;
    }
    // Perspective-correct on the screen: 1/z is linear, and so is every value divided by z.
    const float ca = Coordinate(a.position, axis), cb = Coordinate(b.position, axis);
    const float t = (at - ca) / (cb - ca);
    const float ia = 1.0f / a.position.z, ib = 1.0f / b.position.z;
    const float z = 1.0f / (ia + t * (ib - ia));
    for (int k = 0; k < 2; ++k)
        c.uv[k] = (a.uv[k] * ia + t * (b.uv[k] * ib - a.uv[k] * ia)) * z;
    for (int k = 0; k < 3; ++k)
        c.colour[k] = (a.colour[k] * ia + t * (b.colour[k] * ib - a.colour[k] * ia)) * z;
    if (axis == Axis::kScreenX) {
        c.position.x = at;
        c.position.y = a.position.y + t * (b.position.y - a.position.y);
    } else {
        c.position.y = at;
        c.position.x = a.position.x + t * (b.position.x - a.position.x);
    }
    c.position.z = z;
    return c;
}

// Clips p against one plane: a corner is outside when its coordinate on `axis` is beyond `at`
// (greater when keepBelow, smaller otherwise).
void Clip(ClipPolygon* p, Axis axis, float at, bool keepBelow) {
    const int n = p->count;
    if (n <= 0)
        return;
    bool outside[RND_CLIP_CORNERS];
    int outCount = 0;
    for (int i = 0; i < n; ++i) {
        const float v = Coordinate(p->position[i], axis);
        outside[i] = keepBelow ? v > at : v < at;
        outCount += outside[i];
    }
    if (outCount == 0)
        return;
    if (outCount == n || n + 2 - outCount > RND_CLIP_CORNERS) {
        p->count = 0;
        return;
    }
    // The run begins at the outside corner whose predecessor is inside.
    int start = 0;
    while (!(outside[start] && !outside[(start + n - 1) % n]))
        ++start;
    int length = 0;
    while (outside[(start + length) % n])
        ++length;
    const int before = (start + n - 1) % n, after = (start + length) % n;
    const int last = (start + length - 1) % n;
    const Corner leave = Cross(Take(*p, before), Take(*p, start), axis, at);
    const Corner enter = Cross(Take(*p, after), Take(*p, last), axis, at);
    // The inside corners from the one after the run round to the one before it, then the two
    // crossings: the same corners in the same turning order.
    Corner kept[RND_CLIP_CORNERS];
    int count = 0;
    for (int i = after; count < n - length; i = (i + 1) % n)
        kept[count++] = Take(*p, i);
    kept[count++] = leave;
    kept[count++] = enter;
    for (int i = 0; i < count; ++i)
        Put(p, i, kept[i]);
    p->count = count;
}

uint32_t Channel(float value, float scale) {
    const float v = value * scale;
    if (v < 0.0f)
        return 0;
    if (v > 255.0f)
        return 255;
    return uint32_t(v);
}
}  // namespace

void RND_SetClipPlanes(float nearPlane, float farPlane) {
    g_RndNear = nearPlane;
    g_RndFar = farPlane;
}

int RND_SetFogEnabled(int flag) {
    const int previous = g_RndFogEnabled;
    g_RndFogEnabled = flag;
    return previous;
}

float RND_SetFogStart(float depth) {
    const float previous = g_RndFogStart;
    g_RndFogStart = depth;
    return previous;
}

void RND_SetFogColour(const float* rgb) {
    if (!rgb)
        return;
    if (RND_IsHardwareDevice()) {
        for (int k = 0; k < 3; ++k)
            g_RndColourScale[k] = rgb[k] * 255.0f;
        return;
    }
    const float grey = (rgb[0] + rgb[1] + rgb[2]) * 0.33333334f * 255.0f;
    for (float& scale : g_RndColourScale)
        scale = grey;
}

namespace {
uint8_t ScreenBits(const Vec3* p, uint8_t code) {
    Vec3 s{};
    if (!RND_ProjectPoint(&s, p))
        return code;
    const RECT& clip = g_Rnd.clipRect;
    if (s.x < float(clip.left))
        code |= 1;
    if (s.x >= float(clip.right))
        code |= 2;
    if (s.y < float(clip.top))
        code |= 8;
    if (s.y >= float(clip.bottom))
        code |= 4;
    return code;
}
}  // namespace

uint8_t RND_OutCode(const Vec3* p) {
    if (p->z >= g_RndNear + 1.0f)
        return ScreenBits(p, p->z > g_RndFar - 1.0f ? 0x10 : 0);
    if (p->z > 0.0f)
        return ScreenBits(p, 0x20);
    uint8_t code = 0x20;
    if (p->x < 0.0f)
        code = 0x21;
    if (p->x > 0.0f)
        code |= 2;
    if (p->y < 0.0f)
        code |= 4;
    if (p->y > 0.0f)
        code |= 8;
    return code;
}

void RND_ClipPolygonFar(ClipPolygon* p, float depth) {
    Clip(p, Axis::kDepth, depth, true);
}

void RND_ClipPolygonNear(ClipPolygon* p, float depth) {
    Clip(p, Axis::kDepth, depth, false);
}

void RND_FadeBeyondFogStart(ClipPolygon* p) {
    const float start = g_RndFogStart, span = g_RndFar - g_RndFogStart;
    for (int i = 0; i < p->count; ++i) {
        if (p->position[i].z <= start)
            continue;
        const float f = 1.0f - (p->position[i].z - start) / span;
        for (int k = 0; k < 3; ++k)
            p->colour[i][k] *= f;
    }
}

void RND_ClipPolygonTop(ClipPolygon* p, float top) {
    Clip(p, Axis::kScreenY, top, false);
}

void RND_ClipPolygonBottom(ClipPolygon* p, float bottom) {
    Clip(p, Axis::kScreenY, bottom, true);
}

void RND_ClipPolygonLeft(ClipPolygon* p, float left) {
    Clip(p, Axis::kScreenX, left, false);
}

void RND_ClipPolygonRight(ClipPolygon* p, float right) {
    Clip(p, Axis::kScreenX, right, true);
}

float RND_ScreenWinding(const Vec3& a, const Vec3& b, const Vec3& c) {
    return (b.x - a.x) * (c.y - b.y) - (c.x - b.x) * (b.y - a.y);
}

uint32_t RND_PackColour(const float* rgb) {
    return Channel(rgb[0], g_RndColourScale[0]) << 16 | Channel(rgb[1], g_RndColourScale[1]) << 8 |
           Channel(rgb[2], g_RndColourScale[2]);
}

void RND_MakeTLVertices(const ClipPolygon& p, int i0, int i1, int i2, D3DTLVERTEX out[3]) {
    int order[3] = {i0, i1, i2};
    if (RND_ScreenWinding(p.position[i0], p.position[i1], p.position[i2]) < 0.0f) {
        order[0] = i2;
        order[2] = i0;
    }
    const float nearPlane = g_RndNear, farPlane = g_RndFar;
    for (int k = 0; k < 3; ++k) {
        const int i = order[k];
        const float z = p.position[i].z;
        D3DTLVERTEX& v = out[k];
        v.sx = p.position[i].x;
        v.sy = p.position[i].y;
        v.sz = (z - nearPlane) * farPlane / ((farPlane - nearPlane) * z);
        v.rhw = 1.0f / z;
        v.color = RND_PackColour(p.colour[i]);
        v.specular = 0;
        v.tu = p.uv[i][0];
        v.tv = p.uv[i][1];
    }
}
