// The map load driver and the unload: the reader chosen by extension, what the driver completes
// for text maps and leaves as stored for .zlm maps, the same landscape from a text map and a .zlm
// map, the work arrays, and a clean unload.
#include <cmath>

#include "map_fixture.h"

namespace maptest {
namespace {

class MapLoad : public MapFixture {};

TEST_F(MapLoad, ExtensionChoosesTheReaderWithoutRegardToCase) {
    const dk::MapData map = SquareMap();
    PutText("sq.alm", dk::TextMapString(map, dk::TextDialect::Alm));
    PutText("sq.blm", dk::TextMapString(map, dk::TextDialect::Blm));
    PutText("sq.clm", dk::TextMapString(map, dk::TextDialect::Clm));
    Put("sq.zlm", dk::ZlmBytes(map));
    Put("sq.zlm.bak", dk::ZlmBytes(map));
    Put("noext", dk::ZlmBytes(map));
    fs::create_directories(root / "dir.zlm");
    Put("dir.zlm/map", dk::ZlmBytes(map));
    struct Case {
        const char* path;
        int vertexCount;      // 0: read by no reader, an empty landscape
        int lightCount;       // .alm maps carry the one default light
        int16_t uvAnimKind;   // kept by .clm and .zlm only
    };
    const Case cases[] = {
        {"sq.alm", 4, 1, 0},  {"SQ.ALM", 4, 1, 0},     {"sq.Blm", 4, 1, 0},   {"sq.clm", 4, 1, 1},
        {"sq.zlm", 4, 1, 1},  {"Sq.ZlM", 4, 1, 1},     {"sq.zlm.bak", 0, 0, 0}, {"noext", 0, 0, 0},
        {"dir.zlm\\map", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(Load(c.path), 1) << refusal;
        EXPECT_EQ(g_MapLoaded, 1);
        EXPECT_EQ(g_Landscape->vertexCount, c.vertexCount);
        EXPECT_EQ(g_Landscape->lightCount, c.lightCount);
        ASSERT_NE(g_Landscape->materials, nullptr);
        if (c.vertexCount) {
            EXPECT_EQ(g_Landscape->materials[2].uvAnimKind, c.uvAnimKind);
        }
        MAP_UnloadMap();
    }
}

TEST_F(MapLoad, MissingFileLoadsNothing) {
    EXPECT_EQ(Load("nowhere.zlm"), 0);
    EXPECT_EQ(Load("nowhere.clm"), 0);
    EXPECT_EQ(MAP_LoadMap(nullptr, nullptr), 0);
    EXPECT_EQ(g_Landscape, nullptr);
    EXPECT_EQ(g_MapLoaded, 0);
    EXPECT_EQ(g_RenderObjects, nullptr);
}

// A text map gets what a .zlm stores: stamps reset, normals from its corners, full corner
// colours, surface object lists rebuilt; then each object is set up in index order, the
// lighting runs, and each object takes the light list of the surface under it. The map counts
// as loaded only after all of that. The order shows in the results: the lighting of an object
// surface needs the normal the set-up gives it, and an object's light list is the one its
// surface got from the lighting.
TEST_F(MapLoad, TextMapIsCompletedInOrder) {
    dk::MapData map = SquareMap();
    map.objects[0].surfaces[0].lmode = 1;  // lit by the sun through the set-up's normal
    map.objects.push_back(map.objects[0]);
    map.objects[1].name = "second";
    map.objects[1].positionRef = 3;  // over surface 2
    map.vertices.push_back({50, 0, 50});
    map.vertices.push_back({60, 0, 50});
    dk::AddMapTriangle(&map, 5, 6, 5, 1);  // degenerate: no normal
    map.edges[6].surface = map.edges[7].surface = map.edges[8].surface = 3;
    map.surfaces[0].objects = {1, 1};  // a text map's lists are rebuilt by the set-up
    PutText("done.clm", dk::TextMapString(map, dk::TextDialect::Clm));
    g_LandscapeQueryStamp = 77;
    g_LandscapeDrawStamp = 99;
    ASSERT_EQ(Load("done.clm"), 1) << refusal;
    EXPECT_EQ(g_MapLoaded, 1);
    EXPECT_LT(g_LandscapeQueryStamp, 77u) << "reset to 1 at load, then counted by the set-up's queries";
    EXPECT_EQ(g_LandscapeDrawStamp, 1u);
    for (int o = 1; o <= 2; ++o) {
        SCOPED_TRACE(o);
        const ObjectSurface& side = g_Landscape->objects[o].objectSurfaces[0];
        EXPECT_EQ(side.hasNormal, 1);
        // normalise((v1 - v2) x (v0 - v2)) of the side (10,0,10), (20,0,10), (10,5,20): (0, 2, -1) / sqrt 5;
        // the sun shines straight down, so each slot gets 2 / sqrt 5.
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(side.cornerGreen[k], 2.0f / std::sqrt(5.0f), 1e-6f);
        EXPECT_EQ(g_Landscape->objects[o].lightCount, 1);
        EXPECT_EQ(g_Landscape->objects[o].lightList[0], 1);
    }
    EXPECT_EQ(g_Landscape->objects[1].surface, 1);
    EXPECT_EQ(g_Landscape->objects[2].surface, 2);

    const Landscape* l = g_Landscape;
    // Surface 1 has corners (0,0,0), (100,0,0), (0,10,100): normalise((P2-P0) x (P1-P0)).
    const float n = std::sqrt(100.0f * 100.0f + 10.0f * 10.0f);
    EXPECT_FLOAT_EQ(l->surfaces[1].normal.x, 0.0f);
    EXPECT_FLOAT_EQ(l->surfaces[1].normal.y, 100.0f / n);
    EXPECT_FLOAT_EQ(l->surfaces[1].normal.z, -10.0f / n);
    EXPECT_EQ(l->surfaces[3].normal.x, 0.0f);  // degenerate: zero, not NaN
    EXPECT_EQ(l->surfaces[3].normal.y, 0.0f);
    EXPECT_EQ(l->surfaces[3].normal.z, 0.0f);
    // Each turning object is listed on the surfaces within its radius only, once.
    const std::vector<std::vector<int>> lists = {{}, {1}, {2}, {}};
    for (int s = 1; s <= 3; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(std::vector<int>(l->surfaces[s].objectList, l->surfaces[s].objectList + l->surfaces[s].objectCount),
                  lists[s]);
        EXPECT_EQ(l->surfaces[s].flags32 & 1u, 1u);
        EXPECT_EQ(l->surfaces[s].flags & 3u, 0u);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(l->surfaces[s].cornerGreen[k], 1.0f);
    }
    EXPECT_EQ(l->objects[2].angle.y, 0.0f);
}

// A .zlm map and a text map of the same landscape give the same records, apart from what the
// lighting and object set-up compute for text maps, the settings a .zlm does not store, and the
// animation a .blm map does not have.
TEST_F(MapLoad, TextAndBinaryMapsOfOneLandscapeAgree) {
    const dk::MapData map = SquareMap();
    Put("sq.zlm", dk::ZlmBytes(map));
    ASSERT_EQ(Load("sq.zlm"), 1) << refusal;
    const Fields binary = Flatten(g_Landscape);
    std::vector<Vec3> binaryNormals;
    for (int s = 1; s <= g_Landscape->surfaceCount; ++s) binaryNormals.push_back(g_Landscape->surfaces[s].normal);
    MAP_UnloadMap();

    // Not compared: computed by the lighting and the object set-up, kept only by the binary
    // format's reader, or settings the binary format does not hold.
    const std::vector<std::string> skipped = {
        " red", " green", " blue", "normal.", "unitDirection", " range", " active", " depth", " height", " extent",
        " radius", " planRadius", " hasNormal", " flags", " objectCount", " object ", " lightCount", " light ",
        "camera", "fade", "background"};
    const std::vector<std::string> animation = {"uvAnim", "spin"};
    auto prune = [](Fields f, const std::vector<std::string>& keys) {
        for (auto it = f.begin(); it != f.end();) {
            bool skip = it->first == "name";  // the map name: text maps only
            for (const std::string& k : keys) skip = skip || it->first.find(k) != std::string::npos;
            it = skip ? f.erase(it) : std::next(it);
        }
        return f;
    };
    for (auto [dialect, path] : {std::pair{dk::TextDialect::Clm, "sq.clm"}, std::pair{dk::TextDialect::Blm, "sq.blm"}}) {
        SCOPED_TRACE(path);
        PutText(path, dk::TextMapString(map, dialect));
        ASSERT_EQ(Load(path), 1) << refusal;
        for (int s = 1; s <= g_Landscape->surfaceCount; ++s) {
            EXPECT_NEAR(g_Landscape->surfaces[s].normal.x, binaryNormals[size_t(s - 1)].x, 1e-6);
            EXPECT_NEAR(g_Landscape->surfaces[s].normal.y, binaryNormals[size_t(s - 1)].y, 1e-6);
            EXPECT_NEAR(g_Landscape->surfaces[s].normal.z, binaryNormals[size_t(s - 1)].z, 1e-6);
        }
        std::vector<std::string> keys = skipped;
        if (dialect == dk::TextDialect::Blm) keys.insert(keys.end(), animation.begin(), animation.end());
        const Fields text = prune(Flatten(g_Landscape), keys);
        EXPECT_GT(text.size(), 150u);
        EXPECT_EQ(text, prune(binary, keys));
        MAP_UnloadMap();
    }
}

TEST_F(MapLoad, EveryFormatGetsTheListOfAllLights) {
    dk::MapData map = SquareMap();
    map.lights.resize(3, map.lights[0]);
    Put("three.zlm", dk::ZlmBytes(map));
    PutText("three.blm", dk::TextMapString(map, dk::TextDialect::Blm));
    PutText("one.alm", dk::TextMapString(map, dk::TextDialect::Alm));
    struct Case {
        const char* path;
        std::vector<uint8_t> lights;
    };
    for (const Case& c : {Case{"three.zlm", {1, 2, 3}}, Case{"three.blm", {1, 2, 3}}, Case{"one.alm", {1}}}) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(Load(c.path), 1) << refusal;
        ASSERT_NE(g_AllLights, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(g_AllLights, g_AllLights + g_Landscape->lightCount), c.lights);
        MAP_UnloadMap();
        EXPECT_EQ(g_AllLights, nullptr);
    }
}

TEST_F(MapLoad, WorkArraysHoldAnEntryPerRecordAndOneMore) {
    Put("sq.zlm", dk::ZlmBytes(SquareMap()));
    ASSERT_EQ(Load("sq.zlm"), 1) << refusal;
    const Landscape* l = g_Landscape;
    EXPECT_EQ(g_RenderObjectCount, 0);
    // The last entry of each is writable (the sanitizer build checks the bounds).
    g_RenderObjects[l->objectCount] = 5;
    g_RelativeVertices[l->vertexCount] = Vec3{1, 2, 3};
    g_LocateList[l->surfaceCount] = 7;
    EXPECT_EQ(g_RenderObjects[0], 0);
    EXPECT_EQ(g_LocateList[0], 0);
}

TEST_F(MapLoad, UnloadReleasesEverythingAndLeavesNoLandscape) {
    Put("sq.zlm", dk::ZlmBytes(SquareMap()));
    PutText("sq.blm", dk::TextMapString(SquareMap(), dk::TextDialect::Blm));
    ASSERT_EQ(Load("sq.zlm"), 1);
    // Loading again replaces the loaded map: it is unloaded first (the sanitizer build reports
    // anything of it left behind).
    ASSERT_EQ(Load("sq.blm"), 1);
    MAP_UnloadMap();
    EXPECT_EQ(g_MapLoaded, 0);
    EXPECT_EQ(g_Landscape, nullptr);
    EXPECT_EQ(g_RenderObjects, nullptr);
    EXPECT_EQ(g_RelativeVertices, nullptr);
    EXPECT_EQ(g_LocateList, nullptr);
    EXPECT_EQ(g_AllLights, nullptr);
    MAP_UnloadMap();  // nothing loaded: nothing happens
    EXPECT_EQ(g_Landscape, nullptr);
}

TEST_F(MapLoad, StartCameraGoesToTheCallerOrAScratchMatrix) {
    dk::MapData map = SquareMap();
    map.cameraPosition = {1, 2, 3};
    map.cameraYaw = 0.5f;
    PutText("cam.clm", dk::TextMapString(map, dk::TextDialect::Clm));
    ASSERT_EQ(Load("cam.clm", nullptr), 1);
    MAP_UnloadMap();
    Matrix34 camera;
    MTH_MatrixIdentity(&camera);
    ASSERT_EQ(Load("cam.clm", &camera), 1);
    Matrix34 want;
    MTH_MatrixRotation(&want, 0.5f, MTH_AXIS_Y);
    for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(camera.m[i], want.m[i]) << i;
    EXPECT_EQ(camera.m[9], 1.0f);
    EXPECT_EQ(camera.m[11], 3.0f);
    EXPECT_EQ(g_Landscape->cameraYaw, 0.5f);
}

}  // namespace
}  // namespace maptest
