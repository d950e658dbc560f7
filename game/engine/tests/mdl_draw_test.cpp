// Drawing model instances, observed through the meshes handed to the model drawer: a picture of
// the cube lit from above, packed and float frames, smooth lighting, the bone state bits, the
// shadow copy, the bone effect routines, the matrix-key walk and the vertex normal table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "world/mdl_world.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "plat.h"
#include "common/mem.h"
#include "world/cam.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"

namespace {

constexpr float kPi = 3.14159265358979f;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Origin(const Matrix34& m) { return {m.m[9], m.m[10], m.m[11]}; }

// A small picture of what the drawer was given: faces projected straight down the view's z onto
// the screen (x right, y up), nearest face wins, each flat-shaded by the model lighting rule
// (d = n . L with the light's direction L, never below an ambient floor).
struct Picture {
    static constexpr int kSize = 96;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kSize * kSize, 0);
    std::vector<float> depth = std::vector<float>(kSize * kSize, 1e9f);

    void Draw(const MdlMesh& mesh, const Vec3& light) {
        for (const ModelTriangle& face : mesh.faces) {
            Vec3 n;
            MTH_RotateVector(&n, &face.normal, &mesh.matrix);
            const float d = std::max(0.1f, std::min(1.0f, Dot(n, light)));
            const uint32_t grey = uint32_t(d * 255.0f);
            // Drawn corner k is stored corner 2 - k.
            const Vec3 c[3] = {mesh.Placed(face.corner[2]), mesh.Placed(face.corner[1]), mesh.Placed(face.corner[0])};
            Fill(c, grey << 16 | grey << 8 | grey);
        }
    }
    void Fill(const Vec3 c[3], uint32_t colour) {
        auto sx = [](float x) { return x * 20.0f + kSize / 2.0f; };
        auto sy = [](float y) { return kSize / 2.0f - y * 20.0f; };
        for (int py = 0; py < kSize; ++py)
            for (int px = 0; px < kSize; ++px) {
                const float x = px + 0.5f, y = py + 0.5f;
                float w[3];
                for (int k = 0; k < 3; ++k) {
                    const Vec3& a = c[(k + 1) % 3];
                    const Vec3& b = c[(k + 2) % 3];
                    w[k] = (sx(b.x) - sx(a.x)) * (y - sy(a.y)) - (sy(b.y) - sy(a.y)) * (x - sx(a.x));
                }
                const float area = w[0] + w[1] + w[2];
                if (area == 0.0f) continue;
                if (!((w[0] >= 0 && w[1] >= 0 && w[2] >= 0) || (w[0] <= 0 && w[1] <= 0 && w[2] <= 0))) continue;
                const float z = (w[0] * c[0].z + w[1] * c[1].z + w[2] * c[2].z) / area;
                if (z >= depth[size_t(py * kSize + px)]) continue;
                depth[size_t(py * kSize + px)] = z;
                pixels[size_t(py * kSize + px)] = colour;
            }
    }
    uint32_t Grey(int x, int y) const { return pixels[size_t(y * kSize + x)] & 0xFF; }
};

class MdlDraw : public MdlTest {
protected:
    std::vector<std::string> Calls(const char* prefix) {
        std::vector<std::string> out;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        return out;
    }
};

// The cube seen from above and in front, lit straight from above: the top face is the brightest
// thing in the picture. Its stored winding makes its normal point into the cube, which is what
// the model lighting (d = n . L) expects.
TEST_F(MdlDraw, CubeLitFromAboveShowsTheTopFaceBrightest) {
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    ASSERT_NE(cube, nullptr);
    RecordMeshes();
    // View: tilted 35 degrees about x (looking down on the top) and 30 about y; 10 units away.
    Matrix34 tilt, turn, view;
    MTH_MatrixRotation(&tilt, -35.0f * kPi / 180.0f, MTH_AXIS_X);
    MTH_MatrixRotation(&turn, 30.0f * kPi / 180.0f, MTH_AXIS_Y);
    MTH_MatrixMultiply(&view, &tilt, &turn);
    view.m[11] = 10.0f;
    MDL_DrawInstance(nullptr, cube, &view, 0);
    ASSERT_EQ(meshes.size(), 1u);
    const MdlMesh& mesh = meshes[0];
    ASSERT_EQ(mesh.faces.size(), 12u);
    EXPECT_EQ(mesh.normalsGiven, 1);
    // Light from above: its direction points down, in view space.
    const Vec3 down{0, -1, 0};
    Vec3 light;
    MTH_RotateVector(&light, &down, &view);
    // Every stored normal is (c1 - c0) x (c2 - c0) of its placed corners, turned into the cube.
    for (const ModelTriangle& f : mesh.faces) {
        const Vec3 c0 = mesh.Placed(f.corner[0]), c1 = mesh.Placed(f.corner[1]), c2 = mesh.Placed(f.corner[2]);
        Vec3 n = Cross(Sub(c1, c0), Sub(c2, c0));
        const Vec3 centre{view.m[9], view.m[10], view.m[11]};
        EXPECT_LT(Dot(n, Sub(c0, centre)), 0.0f) << "points inwards";
        Vec3 given;
        MTH_RotateVector(&given, &f.normal, &mesh.matrix);
        const float len = std::sqrt(Dot(n, n));
        ExpectNear(given, {n.x / len, n.y / len, n.z / len}, 1e-5f, "stored normal");
    }
    Picture picture;
    picture.Draw(mesh, light);
    // Kept beside the test program for people to look at.
    const std::string path = (oldCwd / "mdl_cube_lit_from_above.png").string();
    plat::WritePng(path, picture.pixels.data(), Picture::kSize, Picture::kSize);
    // The top face shows in the upper part of the picture, the front faces below it.
    uint32_t top = 0, front = 255;
    int lit = 0;
    for (int y = 0; y < Picture::kSize; ++y)
        for (int x = 0; x < Picture::kSize; ++x) {
            const uint32_t g = picture.Grey(x, y);
            if (!g) continue;
            ++lit;
            if (y < 38) top = std::max(top, g);
            if (y > 58) front = std::min(front, g);
        }
    EXPECT_GT(lit, 400) << path;
    EXPECT_EQ(top, 255u) << path;
    EXPECT_LT(front, 128u) << path;
    uint32_t brightest = 0;
    for (uint32_t p : picture.pixels) brightest = std::max(brightest, p & 0xFF);
    EXPECT_EQ(brightest, top);
}

TEST_F(MdlDraw, PackedFramesPlaceTheirVerticesLikeFloatFrames) {
    ModelInstance* flat = Load("float.qmd", dk::QmdBytes(dk::QmdCube(2.0f, 2, false)));
    ModelInstance* packed = Load("packed.qmd", dk::QmdBytes(dk::QmdCube(2.0f, 2, true)));
    ASSERT_TRUE(flat && packed);
    RecordMeshes();
    Matrix34 m;
    MTH_MatrixRotation(&m, 0.7f, MTH_AXIS_Z);
    m.m[9] = 3;
    m.m[10] = -4;
    m.m[11] = 12;
    MDL_DrawInstance(nullptr, flat, &m, 0);
    MDL_DrawInstance(nullptr, packed, &m, 0);
    ASSERT_EQ(meshes.size(), 2u);
    for (uint32_t v = 0; v < 8; ++v) ExpectNear(meshes[1].Placed(v), meshes[0].Placed(v), 1e-4f, "vertex");
    for (size_t f = 0; f < 12; ++f) ExpectNear(meshes[1].faces[f].normal, meshes[0].faces[f].normal, 1e-5f, "normal");
    // The corners already stand in view space: the drawer's own matrix is the identity.
    ExpectNear(Origin(meshes[0].matrix), {0, 0, 0}, 0, "drawer matrix");
    // The skin's texture goes with the faces.
    ASSERT_EQ(MDL_LoadSkin(flat, "skin.bmp"), 0);
    meshes.clear();
    MDL_DrawInstance(nullptr, flat, &m, 0);
    EXPECT_EQ(meshes[0].texture, flat->skin->texture);
    EXPECT_EQ(meshes[0].faces[0].texture, flat->skin->texture);
    EXPECT_FLOAT_EQ(meshes[0].faces[0].uv[0][0], flat->model.rigid->faces[0].uv[0][0]);
}

TEST_F(MdlDraw, SmoothLightingTakesNormalsFromTheTable) {
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    ASSERT_NE(cube, nullptr);
    RecordMeshes();
    g_ModelSmoothLighting = 1;
    Matrix34 m;
    MTH_MatrixRotation(&m, kPi / 2, MTH_AXIS_Y);
    MDL_DrawInstance(nullptr, cube, &m, 0);
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0].smooth, 1);
    ASSERT_EQ(meshes[0].normals.size(), 8u);
    // Vertex k carries normal index k: table row k turned by the matrix.
    for (uint32_t k = 0; k < 8; ++k) {
        Vec3 want;
        MTH_RotateVector(&want, &kMdlVertexNormals[k], &m);
        ExpectNear(meshes[0].normals[k], want, 1e-6f, "normal");
    }
}

TEST(MdlNormals, TableHasTheTunedRowsAndUnitVectors) {
    ExpectNear(kMdlVertexNormals[0], {-0.525731f, 0, 0.850651f}, 0, "row 0");
    ExpectNear(kMdlVertexNormals[1], {-0.442863f, 0.238856f, 0.864188f}, 0, "row 1");
    ExpectNear(kMdlVertexNormals[2], {-0.295242f, 0, 0.955423f}, 0, "row 2");
    ExpectNear(kMdlVertexNormals[160], {-0.587785f, -0.425325f, -0.688191f}, 0, "row 160");
    ExpectNear(kMdlVertexNormals[161], {0, 0, 0}, 0, "row 161");
    for (int i = 0; i < 161; ++i) EXPECT_NEAR(Dot(kMdlVertexNormals[i], kMdlVertexNormals[i]), 1.0f, 1e-5f) << i;
}

// Skinned drawing of the chain (quaternion keys) with bone state bits.
class MdlDrawChain : public MdlDraw {
protected:
    ModelInstance* chain = nullptr;
    Pose pose{};
    void SetUp() override {
        MdlDraw::SetUp();
        chain = Load("chain.qkm", dk::QkmBytes(dk::QkmChain(3, 16 | 64)));
        MTH_PoseIdentity(&pose);
        pose.translation = {0, 0, 50};
        RecordMeshes();
    }
};

TEST_F(MdlDrawChain, FlattenedAndFloorHeldBonesAreGrey) {
    // Flat plane: the root's key box minimum y at the animation's first frame (-2) plus 10; a
    // flattened bone lies 10 above that.
    chain->boneStates[1] |= MDL_BONE_FLATTEN;
    chain->floorY = 1.0f;
    chain->boneStates[2] |= MDL_BONE_FLOOR;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    ASSERT_EQ(meshes.size(), 3u);
    const MdlMesh& flat = meshes[1];
    EXPECT_TRUE(flat.lightCacheIsScratch) << "grey: the scratch light array is the cache";
    EXPECT_EQ(flat.radius, 0.0f);
    ExpectNear(Origin(flat.matrix), {0, 0, 50}, 0, "drawn with the placement");
    for (const Vec3& v : flat.vertices) {
        EXPECT_FLOAT_EQ(v.y, 18.0f);
        EXPECT_TRUE(v.x >= 8 && v.x <= 12) << v.x << " in model space";
    }
    const MdlMesh& floor = meshes[2];
    EXPECT_TRUE(floor.lightCacheIsScratch);
    for (const Vec3& v : floor.vertices) EXPECT_TRUE(v.y == 1.0f || v.y == 2.0f) << v.y;
    EXPECT_FALSE(meshes[0].lightCacheIsScratch);
    EXPECT_EQ(g_ModelLightArray[0], 0.2f);
    // The placement and flat height are the caller's again afterwards.
    ExpectNear(Origin(g_ModelPlacement), {0, 0, 0}, 0, "placement restored");
}

TEST_F(MdlDrawChain, ShadowsGoFirstAndSmoothBonesUseTheirVectors) {
    RenderTexture shadow{};
    g_ModelShadows = 1;
    g_ModelShadowTexture = &shadow;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    ASSERT_EQ(meshes.size(), 6u);
    for (size_t i = 0; i < 6; i += 2) {
        EXPECT_EQ(meshes[i].texture, &shadow);
        EXPECT_TRUE(meshes[i].lightCacheIsScratch);
        EXPECT_FLOAT_EQ(meshes[i].vertices[0].y, 18.0f);
        EXPECT_NE(meshes[i + 1].texture, &shadow);
        EXPECT_EQ(meshes[i + 1].smooth, 0);
    }
    g_ModelShadows = 0;
    g_ModelSmoothLighting = 1;
    meshes.clear();
    chain->frame = chain->nextFrame = 1;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    ASSERT_EQ(meshes.size(), 3u);
    const MdlMesh& hand = meshes[2];
    EXPECT_EQ(hand.smooth, 1);
    ASSERT_EQ(hand.normals.size(), 8u);
    // Model space: the hand hangs at (10, 0, -10), turned a quarter about y with the arm.
    ExpectNear(hand.vertices[0], {10 - 2, -2, -10 + 2}, 1e-4f, "corner 0 in model space");
    const float s = 1.0f / std::sqrt(3.0f);
    ExpectNear(hand.normals[0], {-s, -s, s}, 1e-4f, "its vector turned too");
}

TEST_F(MdlDrawChain, SpraysAfterTheBoneIsDrawn) {
    TRC_TraceEnable(true);
    chain->boneStates[1] |= MDL_BONE_SPRAY_BLOOD | MDL_BONE_SPRAY_BACK_A;
    chain->boneStates[2] |= MDL_BONE_SPRAY_DEBRIS;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    // Children first, then the bone's own bursts: positions in the world (the camera at rest).
    const std::vector<std::string> want = {
        "PTC_EmitBurst(20.00,0.00,50.00,1.00,0.00,0.00,4,3)",
        "PTC_EmitBurst(10.00,0.00,50.00,1.00,0.00,0.00,4,1)",
        "PTC_EmitBurst(10.00,0.00,50.00,-1.00,0.00,0.00,4,8)",
    };
    EXPECT_EQ(Calls("PTC_"), want);
}

TEST_F(MdlDrawChain, EffectRoutinesRunAndMayStopASubtree) {
    static std::vector<int> visited;
    static int32_t answer;
    visited.clear();
    auto effect = [](float*, const Matrix34*, uint32_t, int32_t, ModelInstance*, int32_t bone, const Matrix34*) {
        visited.push_back(bone);
        return answer;
    };
    answer = 0;
    chain->boneEffects[1] = effect;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    EXPECT_EQ(visited, std::vector<int>{1});
    EXPECT_EQ(meshes.size(), 1u) << "arm and hand stopped";
    // A bone that is not present still runs its effect, but draws nothing and stops its children.
    answer = 1;
    visited.clear();
    meshes.clear();
    chain->boneStates[1] = 0;
    chain->boneEffects[2] = effect;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    EXPECT_EQ(visited, std::vector<int>{1});
    EXPECT_EQ(meshes.size(), 1u);
    // Without an effect an absent bone is not visited at all.
    chain->boneEffects[1] = nullptr;
    visited.clear();
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    EXPECT_TRUE(visited.empty());
}

TEST_F(MdlDrawChain, ShockBleedCaptureAndAttachment) {
    TRC_TraceEnable(true);
    SetClock(1000, 1000);
    CharacterControl control{};
    control.instance = chain;
    ANM_ApplyShockEffect(&control, 0.5f);
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    EXPECT_EQ(Calls("PTC_EmitShortBurst").size(), 9u) << "three sparks on each bone";
    EXPECT_EQ(chain->boneEffects[0], MDL_ShockEffect);
    // Once its time has passed the shock leaves the bone (after that draw's sparks).
    SetClock(1000, 1500);
    TRC_TraceClear();
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    EXPECT_EQ(Calls("PTC_EmitShortBurst").size(), 9u);
    EXPECT_EQ(chain->boneEffects[0], nullptr);

    ANM_StartBleedEffect(&control, 1.0f);
    TRC_TraceClear();
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    const std::vector<std::string> bleed = Calls("PTC_");
    ASSERT_EQ(bleed.size(), 3u);
    EXPECT_EQ(bleed[1], "PTC_EmitBurst(10.00,0.00,50.00,1.00,0.00,0.00,9,3)");
    EXPECT_EQ(chain->boneEffects[1], MDL_BleedEffect);

    // Capture: the bone's matrix times the camera's, into the instance.
    Pose camera{};
    MTH_PoseIdentity(&camera);
    camera.translation = {0, 100, 0};
    CAM_TestSetPose(camera);
    chain->boneEffects[2] = MDL_CaptureEffect;
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    ExpectNear(Origin(chain->attachMatrix), {20, 100, 50}, 1e-4f, "captured");

    // Attachment: the held object is drawn at the bone, and its transform is the bone's in the
    // world; the rest of the body is drawn as before.
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    WorldObjectControl held{};
    held.instance = cube;
    chain->boneEffects[1] = MDL_AttachmentEffect;
    chain->boneEffectUntil[1] = reinterpret_cast<intptr_t>(&held);
    chain->boneEffects[2] = nullptr;
    meshes.clear();
    MDL_DrawInstanceQuat(nullptr, chain, &pose, 0);
    ASSERT_EQ(meshes.size(), 4u);
    EXPECT_EQ(meshes[1].vertices.size(), 8u);
    ExpectNear(meshes[1].Placed(7), {11, 1, 51}, 1e-4f, "the cube's corner at the arm");
    ExpectNear(Origin(held.transform), {10, 100, 50}, 1e-4f, "held transform");
    ExpectNear(Origin(meshes[3].matrix), {20, 0, 50}, 1e-4f, "the hand after the held cube");
    CAM_TestSetPose(Pose{{1, 0, 0, 0}, {0, 0, 0}});
}

TEST_F(MdlDraw, MatrixKeyWalkCopiesVerticesUnchanged) {
    ModelInstance* chain = Load("matrix.qkm", dk::QkmBytes(dk::QkmChain(2, 0)));
    ASSERT_NE(chain, nullptr);
    RecordMeshes();
    Matrix34 m;
    MTH_MatrixIdentity(&m);
    m.m[11] = 30;
    chain->frame = 1;
    MDL_DrawInstance(nullptr, chain, &m, 0);
    ASSERT_EQ(meshes.size(), 3u);
    for (const MdlMesh& mesh : meshes) {
        EXPECT_FLOAT_EQ(mesh.vertices[7].y, 2.0f) << "y as stored";
        EXPECT_NEAR(mesh.radius, 2 * std::sqrt(3.0f), 1e-5f);
    }
    ExpectNear(Origin(meshes[2].matrix), {10, 0, 20}, 1e-4f, "hand at frame 1");
    // Only a flattened bone has its y replaced.
    chain->boneStates[2] |= MDL_BONE_FLATTEN;
    meshes.clear();
    MDL_DrawInstance(nullptr, chain, &m, 0);
    for (const Vec3& v : meshes[2].vertices) EXPECT_FLOAT_EQ(v.y, g_ModelFlatY);
    EXPECT_FLOAT_EQ(meshes[1].vertices[7].y, 2.0f);
}

// Drawing takes nothing from the heap, with or without a vertex buffer from the caller.
TEST_F(MdlDraw, NoAllocationPerDraw) {
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    ModelInstance* body = Load("body.qkm", dk::QkmBytes(dk::QkmHumanoid()));
    ASSERT_TRUE(cube && body);
    Matrix34 m;
    MTH_MatrixIdentity(&m);
    Pose pose;
    MTH_PoseIdentity(&pose);
    const uint32_t bytes = g_MemBytes;
    const MemBlockHeader* head = g_MemHead;
    for (int i = 0; i < 5; ++i) {
        MDL_DrawInstance(nullptr, cube, &m, 0);
        MDL_DrawInstanceQuat(nullptr, body, &pose, 0);
        MDL_DrawInstanceQuat(MDL_GetVertexBuffer(), body, &pose, 0);
    }
    EXPECT_EQ(g_MemBytes, bytes);
    EXPECT_EQ(g_MemHead, head);
    MDL_DrawInstance(nullptr, nullptr, &m, 0);
    MDL_DrawInstanceQuat(nullptr, body, nullptr, 0);
}

}  // namespace
