// The model tests' shared set-up and the mesh recorder (see mdl_fixture.h).
#include "mdl_fixture.h"

#include <cmath>
#include <cstring>

#include "datakit/bytes.h"
#include "plat.h"
#include "common/mem.h"
#include "common/muf.h"
#include "engine/lnd_draw.h"
#include "engine/rnd_trace.h"
#include "testsupport/rnd_texture_device.h"
#include "testsupport/net_test_seam.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "world/bod.h"
#include "world/clk.h"
#include "world/game_frame.h"

namespace fs = std::filesystem;

Vec3 MdlMesh::Placed(uint32_t index) const {
    Vec3 out;
    MTH_TransformPoint(&out, &vertices[index], &matrix);
    return out;
}

void MdlTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = fs::path(plat::TempDir()) / (std::string("mdl-") + info->test_suite_name() + "-" + info->name());
    fs::remove_all(root);
    fs::create_directories(root);
    oldCwd = fs::current_path();
    fs::current_path(root);
    MEM_ResetTracker();
    g_MufReady = 1;
    g_GameClock = GameClock{};
    g_Match.inLevel = 0;
    g_Match.halted = 0;
    g_Match.haltedLastFrame = 0;
    g_Match.mpGameRunning = 0;
    g_DrawSurface = 0;
    g_WorldBods = BodList{};
    for (Bod*& b : g_PlayerBods) b = nullptr;
    for (Bod*& b : g_NpcBods) b = nullptr;
    g_ModelShadows = 0;
    g_ModelShadowTexture = nullptr;
    g_ModelSmoothLighting = 0;
    TRC_ResetAll();
    NET_SetTestTransport(nullptr);
    plat::srand(1);
    // Skins are real textures: a software device to load them, and their loads in the trace.
    ASSERT_TRUE(TST_OpenTextureDevice(false));
    RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
}

void MdlTest::TearDown() {
    LND_SetModelMeshObserver({});
    NET_SetTestTransport(nullptr);
    MDL_FreeAll();
    RND_SetCallTrace(nullptr);
    TST_CloseTextureDevice();
    g_WorldBods = BodList{};
    for (Bod*& b : g_PlayerBods) b = nullptr;
    for (Bod*& b : g_NpcBods) b = nullptr;
    MUF_CloseAll();
    MEM_FreeAll();
    TRC_ResetAll();
    fs::current_path(oldCwd);
    std::error_code ec;
    fs::remove_all(root, ec);
}

void MdlTest::Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(dk::WriteFile((root / name).string(), bytes)) << name;
}

ModelInstance* MdlTest::Load(const std::string& name, const std::vector<uint8_t>& bytes) {
    Put(name, bytes);
    ModelInstance* instance = nullptr;
    const int result = MDL_Load(name.c_str(), &instance);
    EXPECT_EQ(result, MDL_OK) << name;
    EXPECT_NE(instance, nullptr) << name;
    return instance;
}

int MdlTest::TryLoad(const std::string& name, const std::vector<uint8_t>& bytes) {
    Put(name, bytes);
    ModelInstance* instance = nullptr;
    const int result = MDL_Load(name.c_str(), &instance);
    if (result == MDL_OK) MDL_FreeInstance(instance);
    return result;
}

void MdlTest::RecordMeshes() {
    LND_SetModelMeshObserver([this](const LndModelMesh& m) {
        MdlMesh out;
        out.smooth = m.smooth;
        out.lightCacheIsScratch = m.lightCache == &g_ModelLightArray;
        out.surface = m.surface;
        out.matrix = *m.matrix;
        out.texture = m.texture;
        for (int v = 0; v < m.vertexCount; ++v) {
            out.vertices.push_back({m.vertices[3 * v], m.vertices[3 * v + 1], m.vertices[3 * v + 2]});
            if (m.normals) out.normals.push_back({m.normals[3 * v], m.normals[3 * v + 1], m.normals[3 * v + 2]});
        }
        out.faces.assign(m.faces, m.faces + m.faceCount);
        out.normalsGiven = m.normalsGiven;
        out.radius = m.radius;
        meshes.push_back(out);
    });
}

void MdlTest::SetClock(int32_t previous, int32_t now) {
    g_GameClock.previousMs = previous;
    g_GameClock.nowMs = now;
}

void MdlTest::Tick(int32_t ms) { SetClock(g_GameClock.nowMs, g_GameClock.nowMs + ms); }

std::vector<uint8_t> MdlFloatBytes(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

void ExpectNear(const Vec3& actual, const Vec3& expected, float tolerance, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what << " x";
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what << " y";
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what << " z";
}
