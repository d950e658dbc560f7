// Accessors, the landscape clock, material animation and map texture loading (see lnd_material.h).
#include "engine/lnd_material.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_draw.h"

namespace {

constexpr Vec3 kZero{0.0f, 0.0f, 0.0f};

LandscapeMaterial* Material(int32_t m) {
    const Landscape* l = g_Landscape;
    if (!l || !l->materials || m < 1 || m > l->materialCount) return nullptr;
    return &l->materials[m];
}

LandscapeObject* Object(int32_t o) {
    const Landscape* l = g_Landscape;
    if (!l || !l->objects || o < 1 || o > l->objectCount) return nullptr;
    return &l->objects[o];
}

bool SurfaceValid(int32_t s) { return g_Landscape && g_Landscape->surfaces && s >= 1 && s <= g_Landscape->surfaceCount; }

// The frame shown at the landscape clock: a stopped animation (no frame time or no frames) stays
// on frame 0.
int32_t FrameAt(float frameTime, int16_t frameCount) {
    if (!(frameTime > 0.0f) || frameCount <= 0) return 0;
    const float t = g_LandscapeTime / frameTime;
    if (!(t >= 0.0f) || t >= 2147483648.0f) return 0;
    return int32_t(t) % frameCount;
}

void StepMaterial(LandscapeMaterial& m) {
    int32_t frame = 0;
    switch (m.mode) {
    case 1:
        frame = FrameAt(m.frameTime, m.frameCount);
        if (frame < m.currentFrame) {
            // The animation has played once: back to its first frame for good.
            m.currentFrame = 0;
            m.mode = 0;
            frame = 0;
        } else {
            m.currentFrame = uint16_t(frame);
        }
        break;
    case 2: frame = FrameAt(m.frameTime, m.frameCount); break;
    default:
        m.currentFrame = 0;
        frame = 0;
        break;
    }
    m.currentTexture = m.frames[frame];
}

}  // namespace

int32_t LND_GetMaterialUvAnim(int32_t m) {
    const LandscapeMaterial* x = Material(m);
    return x ? int32_t(x->uvAnimKind) : -1;
}
void LND_SetMaterialUvAnim(int32_t m, uint16_t kind) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimKind = int16_t(kind);
}
float LND_GetMaterialDu(int32_t m) {
    const LandscapeMaterial* x = Material(m);
    return x ? x->uvAnimDu : 0.0f;
}
float LND_GetMaterialDv(int32_t m) {
    const LandscapeMaterial* x = Material(m);
    return x ? x->uvAnimDv : 0.0f;
}
float LND_GetMaterialUvScale(int32_t m) {
    const LandscapeMaterial* x = Material(m);
    return x ? x->uvAnimScale : 0.0f;
}
void LND_SetMaterialCu(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimCu = f;
}
void LND_SetMaterialCv(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimCv = f;
}
void LND_SetMaterialUvBase(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimAngle = f;
}
void LND_SetMaterialDu(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimDu = f;
}
void LND_SetMaterialDv(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimDv = f;
}
void LND_SetMaterialUvScale(int32_t m, float f) {
    if (LandscapeMaterial* x = Material(m)) x->uvAnimScale = f;
}
uint16_t LND_GetMaterialTexture(int32_t m) {
    const LandscapeMaterial* x = Material(m);
    return x ? x->currentTexture : 0;
}

void LND_SetObjectSpinMode(int32_t o, int32_t mode) {
    if (LandscapeObject* x = Object(o)) x->spinMode = mode;
}
float LND_GetObjectAngleZ(int32_t o) {
    const LandscapeObject* x = Object(o);
    return x ? x->angle.z : 0.0f;
}
void LND_SetObjectSpinX(int32_t o, float f) {
    if (LandscapeObject* x = Object(o)) x->spin.x = f;
}
void LND_SetObjectSpinZ(int32_t o, float f) {
    if (LandscapeObject* x = Object(o)) x->spin.z = f;
}
void LND_SetObjectAngleY(int32_t o, float f) {
    if (LandscapeObject* x = Object(o)) x->angle.y = f;
}
void LND_SetObjectAngleZ(int32_t o, float f) {
    if (LandscapeObject* x = Object(o)) x->angle.z = f;
}

int32_t LND_FindObject(const char* name) {
    const Landscape* l = g_Landscape;
    if (!name || !l || !l->objects) return 0;
    for (int32_t o = 1; o <= l->objectCount; ++o)
        if (std::strncmp(l->objects[o].name, name, LND_OBJECT_NAME_SIZE) == 0 &&
            std::strlen(name) < size_t(LND_OBJECT_NAME_SIZE))
            return o;
    return 0;
}

int LND_GetSurfaceVertices(LandscapeVertex** out0, LandscapeVertex** out1, LandscapeVertex** out2, int32_t s) {
    if (!SurfaceValid(s)) return 0;
    const Landscape* l = g_Landscape;
    LandscapeVertex** out[3] = {out0, out1, out2};
    for (int i = 0; i < 3; ++i)
        if (out[i]) *out[i] = &l->vertices[l->edges[l->surfaces[s].edges[i]].vertex1];
    return 1;
}

uint16_t LND_GetSurfaceMaterial(int32_t s) { return SurfaceValid(s) ? g_Landscape->surfaces[s].material : 0; }

const Vec3* LND_GetSurfaceFlow(int32_t s) { return SurfaceValid(s) ? &g_Landscape->surfaces[s].flow : &kZero; }

void LND_SetTime(float seconds) {
    g_LandscapeTimeStep = g_LandscapeTime - seconds;
    g_LandscapeTime = seconds;
}

void LND_AnimateSurfaceMaterial(int32_t s) {
    if (!SurfaceValid(s)) return;
    if (LandscapeMaterial* m = Material(g_Landscape->surfaces[s].material)) StepMaterial(*m);
}

void LND_TexturePath(char* out, size_t size, const LandscapeTexture* texture) {
    std::snprintf(out, size, "%s%s%s", g_MapTextureDirectory, MAP_GetTextureSuffix(), texture->fileName);
}

void LND_EnsureTextureLoaded(int32_t i) {
    const Landscape* l = g_Landscape;
    if (!l || !l->textures || i < 1 || i > l->textureCount) return;
    LandscapeTexture& t = l->textures[i];
    if (t.flags & 2u) return;
    char path[MAP_TEXTURE_DIRECTORY_SIZE + LND_TEXTURE_NAME_SIZE + 8];
    LND_TexturePath(path, sizeof path, &t);
    t.texture = (t.mode & 1) ? RND_LoadTextureKeyed(path) : RND_LoadTexture(path);
    t.flags |= 2u;
}

uint16_t LND_UpdateSurfaceTexture(float* uvOut, int32_t s) {
    if (!SurfaceValid(s)) return 0;
    LandscapeSurface& surface = g_Landscape->surfaces[s];
    LandscapeMaterial* m = Material(surface.material);
    if (!m) return 0;
    if (!(surface.flags & 2u)) {
        surface.flags |= 2u;
        surface.lastTime = g_LandscapeTime;
    }
    const float dt = surface.lastTime - g_LandscapeTime;
    surface.lastTime = g_LandscapeTime;
    // The angle decays toward 0; a surface unseen for a second or more would flip or grow it,
    // so the factor stays within 0..1.
    if (!(m->uvAnimKind & 4)) m->uvAnimAngle *= std::fmin(1.0f, std::fmax(0.0f, 1.0f + dt));
    StepMaterial(*m);
    if (m->currentTexture) LND_EnsureTextureLoaded(m->currentTexture);
    if (uvOut) {
        const float t = g_LandscapeTime;
        for (int k = 0; k < 3; ++k) {
            const float u = m->u[2 - k], v = m->v[2 - k];
            float ou = u, ov = v;
            switch (m->uvAnimKind & ~4) {
            case 1: {
                const float a = m->uvAnimAngle;
                const float p = u + m->uvAnimDu * t - m->uvAnimCu;
                const float q = v + m->uvAnimDv * t - m->uvAnimCv;
                ou = p * std::cos(a) - q * std::sin(a) + m->uvAnimCu;
                ov = q * std::cos(a) + p * std::sin(a) + m->uvAnimCv;
                break;
            }
            case 2:
                ou = m->uvAnimDu * t + (u - m->uvAnimCu);
                ov = m->uvAnimDv * t + (v - m->uvAnimCv);
                break;
            default: break;
            }
            uvOut[2 * k] = ou;
            uvOut[2 * k + 1] = ov;
        }
    }
    return m->currentTexture;
}

void LND_LoadTextures(int32_t mode) {
    const Landscape* l = g_Landscape;
    if (!l || !l->textures) return;
    if (mode == 3) {
        for (int i = 1; i <= l->textureCount; ++i) {
            LandscapeTexture& t = l->textures[i];
            if (t.flags & 2u) continue;
            t.texture = nullptr;
            t.flags |= 2u;
        }
        return;
    }
    if (mode != 1 && mode != 2) return;
    for (int i = 1; i <= l->textureCount; ++i) {
        LandscapeTexture& t = l->textures[i];
        if (mode == 1) {
            RND_BeginFrame();
            RND_EndScene();
            char text[LND_TEXTURE_NAME_SIZE + 64];
            std::snprintf(text, sizeof text, "Loading textures [%d, %s]: %.2f %%", i, t.fileName,
                          double(i) / double(l->textureCount) * 100.0);
            RND_DrawDebugText(0.0f, 0.5f, text);
            RND_Flip();
        }
        if (t.flags & 2u) continue;
        LND_EnsureTextureLoaded(i);
        RND_SetTextureFlags(t.texture, uint32_t(t.mode));
    }
}
