// Shared by the landscape map tests: a scratch directory with the archive layer ready, file
// helpers, loading with the refusal message caught, and the loaded landscape flattened into
// named fields so that whole landscapes can be compared.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/map_data.h"
#include "datakit/map_demo.h"
#include "datakit/map_text.h"
#include "datakit/map_zlm.h"
#include "datakit/muf_writer.h"
#include "engine/lnd.h"
#include "engine/map_load.h"
#include "plat.h"
#include "registry.h"
#include "common/muf.h"
#include "common/calltrace.h"

namespace maptest {

namespace fs = std::filesystem;
using Blob = std::vector<uint8_t>;
using Fields = std::map<std::string, std::string>;

inline std::string Num(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

// Every field of the loaded landscape by name ("surface 3 normal.y"); frames past a frame count
// are left out unless allFrames is set.
inline Fields Flatten(const Landscape* l, bool allFrames = false) {
    Fields f;
    auto put = [&f](const std::string& key, double v) { f[key] = Num(v); };
    auto vec = [&put](const std::string& key, const Vec3& v) {
        put(key + ".x", v.x);
        put(key + ".y", v.y);
        put(key + ".z", v.z);
    };
    auto frames = [&](const std::string& key, int16_t count, const uint16_t* list) {
        put(key + " frameCount", count);
        for (int i = 0; i < LND_FRAMES_MAX; ++i)
            if (allFrames || i < count) put(key + " frame " + std::to_string(i), list[i]);
    };
    auto colours = [&](const std::string& key, const float* r, const float* g, const float* b) {
        for (int k = 0; k < 3; ++k) {
            put(key + " red" + std::to_string(k), r[k]);
            put(key + " green" + std::to_string(k), g[k]);
            put(key + " blue" + std::to_string(k), b[k]);
        }
    };
    f["directory"] = g_MapTextureDirectory;
    f["name"] = g_MapName;
    vec("camera", l->cameraPosition);
    put("camera yaw", l->cameraYaw);
    put("camera pitch", l->cameraPitch);
    put("camera radius", l->cameraRadius);
    put("fade mode", l->fadeMode);
    put("fade threshold", l->fadeThreshold);
    put("fade rate", l->fadeRate);
    for (int k = 0; k < 3; ++k) {
        put("ambient " + std::to_string(k), l->ambientColour[k]);
        put("background " + std::to_string(k), l->backgroundColour[k]);
    }
    put("vertexCount", l->vertexCount);
    put("edgeCount", l->edgeCount);
    put("surfaceCount", l->surfaceCount);
    put("extensionCount", l->extensionCount);
    put("textureCount", l->textureCount);
    put("materialCount", l->materialCount);
    put("lightCount", l->lightCount);
    put("objectCount", l->objectCount);
    for (int i = 1; i <= l->vertexCount; ++i) {
        const std::string k = "vertex " + std::to_string(i);
        vec(k, l->vertices[i].position);
        put(k + " flags", l->vertices[i].flags);
    }
    for (int i = 1; i <= l->edgeCount; ++i) {
        const LandscapeEdge& e = l->edges[i];
        const std::string k = "edge " + std::to_string(i);
        put(k + " vertex1", e.vertex1);
        put(k + " vertex2", e.vertex2);
        put(k + " otherEdge", e.otherEdge);
        put(k + " surface", e.surface);
        put(k + " flags", e.flags);
    }
    for (int i = 1; i <= l->surfaceCount; ++i) {
        const LandscapeSurface& s = l->surfaces[i];
        const std::string k = "surface " + std::to_string(i);
        for (int j = 0; j < 3; ++j) put(k + " edge" + std::to_string(j), s.edges[j]);
        put(k + " material", s.material);
        put(k + " extension", s.extension);
        vec(k + " normal", s.normal);
        colours(k, s.cornerRed, s.cornerGreen, s.cornerBlue);
        vec(k + " flow", s.flow);
        vec(k + " gravity", s.gravity);
        put(k + " resistance", s.resistance);
        put(k + " objectCount", s.objectCount);
        for (int j = 0; j < s.objectCount; ++j) put(k + " object " + std::to_string(j), s.objectList[j]);
        put(k + " lightCount", s.lightCount);
        for (int j = 0; j < s.lightCount; ++j) put(k + " light " + std::to_string(j), s.lightList[j]);
        put(k + " flags", s.flags);
        put(k + " flags32", s.flags32);
    }
    for (int i = 1; i <= l->extensionCount; ++i) {
        const SurfaceExtension& x = l->extensions[i];
        const std::string k = "extension " + std::to_string(i);
        put(k + " byteCount", x.byteCount);
        for (int j = 0; j < x.byteCount; ++j) put(k + " byte " + std::to_string(j), x.data[j]);
    }
    for (int i = 1; i <= l->textureCount; ++i) {
        const LandscapeTexture& t = l->textures[i];
        const std::string k = "texture " + std::to_string(i);
        f[k + " fileName"] = t.fileName;
        f[k + " suffix"] = t.suffix;
        put(k + " mode", t.mode);
    }
    for (int i = 1; i <= l->materialCount; ++i) {
        const LandscapeMaterial& m = l->materials[i];
        const std::string k = "material " + std::to_string(i);
        put(k + " currentTexture", m.currentTexture);
        put(k + " mode", m.mode);
        put(k + " lmode", m.lmode);
        put(k + " currentFrame", m.currentFrame);
        put(k + " frameTime", m.frameTime);
        frames(k, m.frameCount, m.frames);
        for (int j = 0; j < 3; ++j) {
            put(k + " u" + std::to_string(j), m.u[j]);
            put(k + " v" + std::to_string(j), m.v[j]);
        }
        put(k + " uvAnimKind", m.uvAnimKind);
        put(k + " uvAnimAngle", m.uvAnimAngle);
        put(k + " uvAnimR", m.uvAnimR);
        put(k + " uvAnimCu", m.uvAnimCu);
        put(k + " uvAnimCv", m.uvAnimCv);
        put(k + " uvAnimSpare0", m.uvAnimSpare[0]);
        put(k + " uvAnimSpare1", m.uvAnimSpare[1]);
        put(k + " uvAnimDu", m.uvAnimDu);
        put(k + " uvAnimDv", m.uvAnimDv);
    }
    for (int i = 1; i <= l->lightCount; ++i) {
        const LandscapeLight& g = l->lights[i];
        const std::string k = "light " + std::to_string(i);
        put(k + " type", g.type);
        vec(k + " position", g.position);
        vec(k + " unitDirection", g.unitDirection);
        vec(k + " direction", g.direction);
        put(k + " range", g.range);
        for (int j = 0; j < 3; ++j) put(k + " colour" + std::to_string(j), g.colour[j]);
        put(k + " coneAngle", g.coneAngle);
    }
    for (int32_t i = 1; i <= l->objectCount; ++i) {
        const LandscapeObject& o = l->objects[i];
        const std::string k = "object " + std::to_string(i);
        f[k + " name"] = o.name;
        put(k + " type", o.type);
        put(k + " active", o.active);
        put(k + " collisionMode", o.collisionMode);
        put(k + " positionRef", o.positionRef);
        put(k + " spinMode", o.spinMode);
        vec(k + " angle", o.angle);
        vec(k + " spin", o.spin);
        put(k + " surface", o.surface);
        put(k + " depth", o.depth);
        put(k + " height", o.height);
        vec(k + " extent", o.extent);
        put(k + " radius", o.radius);
        put(k + " planRadius", o.planRadius);
        put(k + " vertexCount", o.vertexCount);
        for (int j = 0; j < o.vertexCount; ++j) vec(k + " vertex " + std::to_string(j), o.vertices[j]);
        put(k + " surfaceCount", o.surfaceCount);
        for (int j = 0; j < o.surfaceCount; ++j) {
            const ObjectSurface& s = o.objectSurfaces[j];
            const std::string ks = k + " surface " + std::to_string(j);
            for (int v = 0; v < 3; ++v) put(ks + " vref" + std::to_string(v), s.vrefs[v]);
            put(ks + " currentTexture", s.currentTexture);
            colours(ks, s.cornerRed, s.cornerGreen, s.cornerBlue);
            for (int v = 0; v < 3; ++v) {
                put(ks + " u" + std::to_string(v), s.u[v]);
                put(ks + " v" + std::to_string(v), s.v[v]);
            }
            put(ks + " hasNormal", s.hasNormal);
            vec(ks + " normal", s.normal);
            put(ks + " mode", s.mode);
            put(ks + " lmode", s.lmode);
            put(ks + " currentFrame", s.currentFrame);
            put(ks + " frameTime", s.frameTime);
            frames(ks, s.frameCount, s.frames);
        }
        put(k + " lightCount", o.lightCount);
        for (int j = 0; j < o.lightCount; ++j) put(k + " light " + std::to_string(j), o.lightList[j]);
    }
    return f;
}

// A small complete map: a square of two triangles sharing an edge, two textures, an animated
// material, a light, an extension, and an object standing on the square.
inline dk::MapData SquareMap() {
    dk::MapData m;
    m.textureDirectory = "tex\\";
    m.mapName = "square";
    m.vertices = {{0, 0, 0}, {100, 0, 0}, {100, 10, 100}, {0, 10, 100}};
    dk::AddMapTriangle(&m, 1, 2, 4, 1);
    dk::AddMapTriangle(&m, 2, 3, 4, 2);
    dk::LinkMapTwins(&m);
    m.surfaces[1].extension = 1;
    m.surfaces[1].flow = {1.5f, 0, -2};
    m.surfaces[1].resistance = 0.25f;
    m.extensions = {{7, 0, 255}};
    m.textures = {{"grass.bmp", "", 0}, {"lava.bmp", "", 1}};
    dk::MapMaterial grass;
    grass.frames = {1};
    grass.currentTexture = 1;
    grass.lmode = 0;
    grass.u = {0, 1, 0};
    grass.v = {0, 0, 1};
    dk::MapMaterial lava = grass;
    lava.frames = {2, 1};
    lava.currentTexture = 2;
    lava.mode = 2;
    lava.frameTime = 0.25f;
    lava.uv.kind = 1;
    lava.uv.cu = 0.5f;
    lava.uv.cv = 0.5f;
    lava.uv.r = 2;
    lava.uv.du = 0.125f;
    lava.uv.dv = -0.5f;
    m.materials = {grass, lava};
    dk::MapLight sun;
    sun.direction = {0, -2, 0};
    m.lights = {sun};
    dk::MapObject box;
    box.name = "crate";
    box.type = 7;
    box.positionRef = 1;
    box.spinMode = 1;
    box.spin = {0, 0.5f, 0};
    box.vertices = {{10, 0, 10}, {20, 0, 10}, {10, 5, 20}};
    dk::MapObjectSurface side;
    side.vrefs = {0, 1, 2};
    side.currentTexture = 2;
    side.frames = {2};
    side.u = {0, 1, 0.5f};
    side.v = {0, 0, 1};
    side.mode = 1;
    side.lmode = 0;
    box.surfaces = {side};
    m.objects = {box};
    dk::CompleteMapData(&m);
    return m;
}

// A scratch directory as the current directory, with the archive layer ready (no archives) and
// the stand-ins' trace cleared. The debugger output (stderr) goes to a file for the whole test,
// so that each load's messages can be read back cheaply.
class MapFixture : public ::testing::Test {
protected:
    fs::path root;
    fs::path oldCwd;
    std::string refusal;  // the debugger output of the last Load
    int savedStderr = -1;
    int logFd = -1;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::path(plat::TempDir()) / (std::string("maptest-") + info->test_suite_name() + "-" + info->name());
        fs::remove_all(root);
        fs::create_directories(root);
        oldCwd = fs::current_path();
        fs::current_path(root);
        plat::SetRegistryPath((root / "registry.ini").string());
        TRC_ResetAll();
        g_MufReady = 1;
        std::fflush(stderr);
        savedStderr = dup(2);
        logFd = open((root / "debug.log").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(logFd, 0);
        dup2(logFd, 2);
    }
    void TearDown() override {
        MAP_UnloadMap();
        MUF_CloseAll();
        TRC_ResetAll();
        std::fflush(stderr);
        dup2(savedStderr, 2);
        close(savedStderr);
        close(logFd);
        fs::current_path(oldCwd);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void Put(const std::string& name, const Blob& bytes) { ASSERT_TRUE(dk::WriteFile((root / name).string(), bytes)); }
    void PutText(const std::string& name, const std::string& text) {
        ASSERT_TRUE(dk::WriteText((root / name).string(), text));
    }
    // Every prefix of bytes shorter than the whole, as the entries "cuts\N.ext" (N the length)
    // of one archive that is opened; each cut is followed by the whole file in the archive, so a
    // read past the end of a cut would find more data.
    void PutCuts(const Blob& bytes, const std::string& ext) {
        std::vector<dk::MufFile> files;
        for (size_t n = 0; n < bytes.size(); ++n) {
            files.push_back({"cuts/" + std::to_string(n) + ext, Blob(bytes.begin(), bytes.begin() + long(n))});
            files.push_back({"cuts/" + std::to_string(n) + ".whole", bytes});
        }
        Blob archive;
        ASSERT_TRUE(dk::MufArchiveBytes(files, &archive));
        Put("cuts.muf", archive);
        ASSERT_EQ(MUF_OpenArchive("cuts.muf"), MUF_OK);
    }
    static std::string CutName(size_t n, const std::string& ext) { return "cuts\\" + std::to_string(n) + ext; }
    // MAP_LoadMap with the debugger output kept in refusal.
    int Load(const std::string& name, Matrix34* camera = nullptr) {
        std::fflush(stderr);
        const off_t start = lseek(logFd, 0, SEEK_END);
        int result = MAP_LoadMap(camera, name.c_str());
        std::fflush(stderr);
        refusal.clear();
        char buffer[4096];
        for (ssize_t n; (n = pread(logFd, buffer, sizeof buffer, start + off_t(refusal.size()))) > 0;)
            refusal.append(buffer, size_t(n));
        return result;
    }
};

}  // namespace maptest
