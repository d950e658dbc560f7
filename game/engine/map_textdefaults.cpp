// What the older text formats leave out: the fixed settings of an .alm map, and the clearing of
// the animation fields that .alm and .blm maps do not give.
#include <cstring>

#include "engine/lnd.h"
#include "engine/map_read.h"

int MAP_ApplyAlmDefaults() {
    Landscape* l = g_Landscape;
    if (!l || !l->textures || !l->materials) return 1;
    std::strcpy(l->textures[0].fileName, "**DEFAULT TEXTURE**");
    l->materials[0].currentTexture = 0;

    // The default light is light 1: an array made for no lights holds entry 0 only.
    if (!l->lights || l->lightCount < 1) {
        auto* lights = static_cast<LandscapeLight*>(MAP_AllocZeroed("Landscape light array", 2 * sizeof(LandscapeLight)));
        if (!lights) return 0;
        if (l->lights) lights[0] = l->lights[0];
        MAP_Free(l->lights);
        l->lights = lights;
    }
    l->lightCount = 1;
    LandscapeLight& light = l->lights[1];
    light.type = 1;
    light.position = Vec3{0.0f, 0.0f, 0.0f};
    light.direction = Vec3{1000.0f, -1000.0f, 0.0f};
    light.coneAngle = 0.0f;
    light.colour[0] = light.colour[1] = light.colour[2] = 1.0f;

    for (int i = 1; i <= l->surfaceCount; ++i) {
        LandscapeSurface& s = l->surfaces[i];
        s.flow = Vec3{0.0f, 0.0f, 0.0f};
        s.resistance = 0.0f;
        s.gravity = Vec3{0.0f, -9.8f, 0.0f};
    }
    for (int i = 1; i <= l->materialCount; ++i) {
        LandscapeMaterial& m = l->materials[i];
        m.mode = 0;
        m.frameCount = 1;
        m.lmode = 1;
        m.currentFrame = 0;
        m.frameTime = 0.0f;
        for (uint16_t& frame : m.frames) frame = m.currentTexture;
    }
    for (int32_t i = 1; i <= l->objectCount; ++i) {
        LandscapeObject& o = l->objects[i];
        o.collisionMode = 1;
        for (int k = 0; k < o.surfaceCount; ++k) {
            ObjectSurface& s = o.objectSurfaces[k];
            s.lmode = 1;
            s.mode = 1;
            s.frameTime = 0.0f;
            s.frameCount = 1;
            s.currentFrame = 0;
            for (uint16_t& frame : s.frames) frame = s.currentTexture;
        }
    }
    return 1;
}

void MAP_ClearAnimationFields() {
    Landscape* l = g_Landscape;
    if (!l) return;
    if (l->materials) {
        for (int i = 1; i <= l->materialCount; ++i) {
            LandscapeMaterial& m = l->materials[i];
            m.uvAnimKind = 0;
            m.uvAnimAngle = m.uvAnimR = m.uvAnimCu = m.uvAnimCv = 0.0f;
            m.uvAnimSpare[0] = m.uvAnimSpare[1] = 0.0f;
            m.uvAnimDu = m.uvAnimDv = 0.0f;
        }
    }
    if (l->objects) {
        for (int32_t i = 1; i <= l->objectCount; ++i) {
            LandscapeObject& o = l->objects[i];
            o.spinMode = 0;
            o.angle = Vec3{0.0f, 0.0f, 0.0f};
            o.spin = Vec3{0.0f, 0.0f, 0.0f};
        }
    }
}
