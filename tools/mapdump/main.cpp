// mapdump PATH: loads a landscape map (.alm, .blm, .clm or .zlm; an archive entry of the install
// named in the registry, or a disk file) through the game's load driver, exactly as a level
// loads it, and prints every record. Exit status 0 when the map loaded, 1 when it was refused or
// could not be found, 2 for a wrong command line.
#include <cstdio>

#include "engine/lnd.h"
#include "engine/map_load.h"
#include "common/muf.h"

namespace {

void Vec(const char* label, const Vec3& v) {
    std::printf(*label ? " %s [%g, %g, %g]" : "%s [%g, %g, %g]", label, v.x, v.y, v.z);
}

void Floats(const char* label, const float* f, int n) {
    std::printf(" %s [", label);
    for (int i = 0; i < n; ++i) std::printf(i ? ", %g" : "%g", f[i]);
    std::printf("]");
}

template <typename T>
void List(const char* label, const T* items, int n) {
    std::printf(*label ? " %s [" : "%s [", label);
    for (int i = 0; i < n; ++i) std::printf(i ? ", %d" : "%d", int(items[i]));
    std::printf("]");
}

void Header(const Landscape* l) {
    std::printf("directory \"%s\" name \"%s\"\n", g_MapTextureDirectory, g_MapName);
    std::printf("camera");
    Vec("position", l->cameraPosition);
    std::printf(" yaw %g pitch %g radius %g\n", l->cameraYaw, l->cameraPitch, l->cameraRadius);
    std::printf("fade mode %d threshold %g rate %g", l->fadeMode, l->fadeThreshold, l->fadeRate);
    Floats("ambient", l->ambientColour, 3);
    Floats("background", l->backgroundColour, 3);
    std::printf("\ncounts vertices %d edges %d surfaces %d extensions %d textures %d materials %d lights %d objects %d\n",
                l->vertexCount, l->edgeCount, l->surfaceCount, l->extensionCount, l->textureCount, l->materialCount,
                l->lightCount, l->objectCount);
}

void Frames(int16_t count, const uint16_t* frames) {
    std::printf(" frames %d ", count);
    List("", frames, count > 0 ? count : 0);
}

void Surfaces(const Landscape* l) {
    for (int i = 1; i <= l->surfaceCount; ++i) {
        const LandscapeSurface& s = l->surfaces[i];
        std::printf("surface %d", i);
        List("edges", s.edges, 3);
        std::printf(" material %d extension %u", s.material, s.extension);
        Vec("normal", s.normal);
        Floats("red", s.cornerRed, 3);
        Floats("green", s.cornerGreen, 3);
        Floats("blue", s.cornerBlue, 3);
        Vec("flow", s.flow);
        Vec("gravity", s.gravity);
        std::printf(" resistance %g", s.resistance);
        List("objects", s.objectList, s.objectCount);
        List("lights", s.lightList, s.lightCount);
        std::printf("\n");
    }
}

void Materials(const Landscape* l) {
    for (int i = 1; i <= l->materialCount; ++i) {
        const LandscapeMaterial& m = l->materials[i];
        std::printf("material %d texture %d mode %d lmode %d frametime %g", i, m.currentTexture, m.mode, m.lmode,
                    m.frameTime);
        Frames(m.frameCount, m.frames);
        Floats("u", m.u, 3);
        Floats("v", m.v, 3);
        std::printf(" uvanim %d angle %g r %g cu %g cv %g du %g dv %g\n", m.uvAnimKind, m.uvAnimAngle, m.uvAnimR,
                    m.uvAnimCu, m.uvAnimCv, m.uvAnimDu, m.uvAnimDv);
    }
}

void Objects(const Landscape* l) {
    for (int32_t i = 1; i <= l->objectCount; ++i) {
        const LandscapeObject& o = l->objects[i];
        std::printf("object %d \"%s\" type %d active %d collision %d position %d surface %d spin mode %d", i, o.name,
                    o.type, o.active, o.collisionMode, o.positionRef, o.surface, o.spinMode);
        Vec("spin", o.spin);
        std::printf(" depth %g height %g", o.depth, o.height);
        Vec("extent", o.extent);
        std::printf(" radius %g plan radius %g", o.radius, o.planRadius);
        List("lights", o.lightList, o.lightCount);
        std::printf("\n");
        for (int32_t k = 0; k < o.vertexCount; ++k) {
            std::printf("  vertex %d ", k);
            Vec("", o.vertices[k]);
            std::printf("\n");
        }
        for (int32_t k = 0; k < o.surfaceCount; ++k) {
            const ObjectSurface& s = o.objectSurfaces[k];
            std::printf("  surface %d", k);
            List("vrefs", s.vrefs, 3);
            std::printf(" texture %d mode %d lmode %d frametime %g", s.currentTexture, s.mode, s.lmode, s.frameTime);
            Frames(s.frameCount, s.frames);
            Floats("u", s.u, 3);
            Floats("v", s.v, 3);
            if (s.hasNormal) Vec("normal", s.normal);
            std::printf("\n");
        }
    }
}

void Dump(const Landscape* l) {
    Header(l);
    for (int i = 1; i <= l->vertexCount; ++i) {
        std::printf("vertex %d ", i);
        Vec("", l->vertices[i].position);
        std::printf("\n");
    }
    for (int i = 1; i <= l->edgeCount; ++i) {
        const LandscapeEdge& e = l->edges[i];
        std::printf("edge %d vertices [%d, %d] other %d surface %d\n", i, e.vertex1, e.vertex2, e.otherEdge, e.surface);
    }
    Surfaces(l);
    for (int i = 1; i <= l->extensionCount; ++i) {
        const SurfaceExtension& x = l->extensions[i];
        std::printf("extension %d", i);
        List("bytes", x.data, x.byteCount);
        std::printf("\n");
    }
    for (int i = 1; i <= l->textureCount; ++i) {
        const LandscapeTexture& t = l->textures[i];
        std::printf("texture %d \"%s\" suffix \"%s\" mode %d\n", i, t.fileName, t.suffix, t.mode);
    }
    Materials(l);
    for (int i = 1; i <= l->lightCount; ++i) {
        const LandscapeLight& g = l->lights[i];
        std::printf("light %d type %d", i, g.type);
        Vec("position", g.position);
        Vec("direction", g.direction);
        Floats("colour", g.colour, 3);
        std::printf(" cone %g\n", g.coneAngle);
    }
    Objects(l);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mapdump PATH\n");
        return 2;
    }
    MUF_Init();
    Matrix34 camera;
    MTH_MatrixIdentity(&camera);  // a .zlm map sets no start camera
    if (!MAP_LoadMap(&camera, argv[1])) {
        std::fprintf(stderr, "mapdump: %s: cannot load the map (missing or refused)\n", argv[1]);
        MUF_CloseAll();
        return 1;
    }
    std::printf("map %s\n", argv[1]);
    std::printf("start camera");
    Floats("matrix", camera.m, 12);
    std::printf("\n");
    Dump(g_Landscape);
    MAP_UnloadMap();
    MUF_CloseAll();
    return std::fflush(stdout) == 0 ? 0 : 1;
}
