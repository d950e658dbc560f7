// Bone queries and sphere hits: world transforms of bones at frames (quaternion and matrix keys,
// under an asymmetric orientation so that a mirrored rotation shows), between frames through the
// quaternion walk's slerp, bounds, radii, the quick sphere tests, finding bones by name, and
// removed bones that are neither drawn nor hit.
#include <gtest/gtest.h>

#include <cmath>

#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// Turned 30 degrees about y, moved to (100, 5, -50).
Pose Orientation() {
    Pose o;
    MTH_QuatFromAxisAngle(&o.rotation, kPi / 6, MTH_AXIS_Y);
    o.translation = {100, 5, -50};
    return o;
}

Vec3 Place(const Pose& o, const Vec3& p) {
    Vec3 out;
    MTH_PoseTransformPoint(&o, &p, &out);
    return out;
}

Vec3 Origin(const Matrix34& m) { return {m.m[9], m.m[10], m.m[11]}; }

class MdlPose : public MdlTest {};

TEST_F(MdlPose, BoneTransformsAtFrames) {
    ModelInstance* quat = Load("quat.qkm", dk::QkmBytes(dk::QkmChain(3, 16)));
    ModelInstance* matrix = Load("matrix.qkm", dk::QkmBytes(dk::QkmChain(3, 0)));
    ASSERT_TRUE(quat && matrix);
    const Pose o = Orientation();
    Matrix34 base;
    MTH_PoseToMatrix(&o, &base);
    struct Case {
        int frame, bone;
        Vec3 local;      // the bone's origin in the chain's own space
        float turn;      // its rotation about y
    };
    const Case cases[] = {
        {0, 0, {0, 0, 0}, 0}, {0, 1, {10, 0, 0}, 0}, {0, 2, {20, 0, 0}, 0},
        {1, 1, {10, 0, 0}, kPi / 2}, {1, 2, {10, 0, -10}, kPi / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.frame << " bone " << c.bone);
        const Vec3 want = Place(o, c.local);
        Quat turn, wantRotation;
        MTH_QuatFromAxisAngle(&turn, c.turn, MTH_AXIS_Y);
        MTH_QuatMultiply(&o.rotation, &turn, &wantRotation);
        Matrix34 wantMatrix;
        const Pose wantPose{wantRotation, want};
        MTH_PoseToMatrix(&wantPose, &wantMatrix);

        Matrix34 m{};
        Pose p{};
        MDL_GetBoneTransformQ(quat, c.frame, c.bone, &o, &m, &p);
        ExpectNear(Origin(m), want, 1e-4f, "quaternion matrix");
        ExpectNear(p.translation, want, 1e-4f, "quaternion pose");
        // The pose comes back as the true orientation (up to the sign of the quaternion).
        const float sign = p.rotation.w * wantRotation.w >= 0 ? 1.0f : -1.0f;
        EXPECT_NEAR(p.rotation.w, sign * wantRotation.w, 1e-5f);
        EXPECT_NEAR(p.rotation.y, sign * wantRotation.y, 1e-5f);
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(m.m[i], wantMatrix.m[i], 1e-5f) << i;

        Matrix34 mm{};
        MDL_GetBoneMatrix(matrix, c.frame, c.bone, &base, &mm);
        for (int i = 0; i < 12; ++i) EXPECT_NEAR(mm.m[i], wantMatrix.m[i], 1e-4f) << i;
    }
    // Each query answers only its own kind of key, and only in range; the orientation is untouched.
    Matrix34 untouched{};
    untouched.m[0] = 42;
    Pose pose{};
    pose.translation.x = 42;
    Pose copy = o;
    MDL_GetBoneTransformQ(matrix, 1, 2, &copy, &untouched, &pose);
    MDL_GetBoneMatrix(quat, 1, 2, &base, &untouched);
    MDL_GetBoneTransformQ(quat, 2, 2, &copy, &untouched, &pose);
    MDL_GetBoneTransformQ(quat, 1, 3, &copy, &untouched, &pose);
    MDL_GetBoneMatrix(matrix, -1, 2, &base, &untouched);
    EXPECT_EQ(untouched.m[0], 42.0f);
    EXPECT_EQ(untouched.m[9], 0.0f);
    EXPECT_EQ(pose.translation.x, 42.0f);
    EXPECT_EQ(copy.rotation.y, o.rotation.y);
}

// The drawing walk interpolates between frame and nextFrame: rotation by slerp, position by lerp.
TEST_F(MdlPose, TheWalkInterpolatesBetweenFrames) {
    ModelInstance* chain = Load("chain.qkm", dk::QkmBytes(dk::QkmChain(3, 16)));
    ASSERT_NE(chain, nullptr);
    RecordMeshes();
    const Pose o = Orientation();
    struct Case {
        float fraction;
        float angle;  // of the upper arm about y
    };
    for (const Case& c : {Case{0.0f, 0.0f}, Case{0.5f, kPi / 4}, Case{0.25f, kPi / 8}, Case{1.0f, kPi / 2}}) {
        SCOPED_TRACE(c.fraction);
        meshes.clear();
        chain->frame = 0;
        chain->nextFrame = 1;
        chain->fraction = c.fraction;
        MDL_DrawInstanceQuat(nullptr, chain, &o, 0);
        ASSERT_EQ(meshes.size(), 3u);
        const Vec3 hand{10 + 10 * std::cos(c.angle), 0, -10 * std::sin(c.angle)};
        ExpectNear(Origin(meshes[0].matrix), o.translation, 1e-4f, "chest");
        ExpectNear(Origin(meshes[1].matrix), Place(o, {10, 0, 0}), 1e-4f, "upper arm");
        ExpectNear(Origin(meshes[2].matrix), Place(o, hand), 1e-4f, "hand");
        // The hand's mesh turns with the arm: its local +x points along the arm.
        const Vec3 tip = meshes[2].Placed(0);
        const Vec3 wantTip = Place(o, {hand.x + (-2) * std::cos(c.angle) + (-2) * std::sin(c.angle), -2,
                                       hand.z - (-2) * std::sin(c.angle) + (-2) * std::cos(c.angle)});
        ExpectNear(tip, wantTip, 1e-3f, "hand corner 0");
        EXPECT_EQ(meshes[2].normalsGiven, 1);
        EXPECT_NEAR(meshes[2].radius, 2 * std::sqrt(3.0f), 1e-5f);
        EXPECT_EQ(meshes[2].vertices.size(), 8u);
        EXPECT_EQ(meshes[2].faces.size(), 12u);
    }
}

TEST_F(MdlPose, BoundsRadiiAndQuickTests) {
    ModelInstance* chain = Load("chain.qkm", dk::QkmBytes(dk::QkmChain(3, 16)));
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(3.0f)));
    ASSERT_TRUE(chain && cube);
    Vec3 lo, hi;
    // Key boxes hold the bone and what hangs below it; decoded as byte x 0.25 - 32.
    MDL_GetBoneBounds(chain, 0, 1, &lo, &hi);
    ExpectNear(lo, {8, -2, -2}, 0, "arm box min");
    ExpectNear(hi, {22, 2, 2}, 0, "arm box max");
    MDL_GetBoneBounds(chain, 1, 2, &lo, &hi);
    ExpectNear(lo, {8, -2, -12}, 0, "hand box min at frame 1");
    chain->frame = 1;
    MDL_GetCurrentBounds(chain, &lo, &hi);
    ExpectNear(lo, {-2, -2, -12}, 0, "current bounds min");
    ExpectNear(hi, {12, 2, 2}, 0, "current bounds max");
    EXPECT_NEAR(MDL_GetBoneRadius(chain, 2), 2 * std::sqrt(3.0f), 1e-5f);
    EXPECT_EQ(MDL_GetBoneRadius(cube, 0), 0.0f);
    EXPECT_FLOAT_EQ(MDL_GetRadius(chain), 24.0f);
    EXPECT_FLOAT_EQ(MDL_GetRadius(cube), 50.0f);
    MDL_GetCurrentBounds(cube, &lo, &hi);
    ExpectNear(lo, {-3, -3, -3}, 1e-5f, "cube min");
    ExpectNear(hi, {3, 3, 3}, 1e-5f, "cube max");
    // Bounds of a rigid model through the bone query: nothing written.
    Vec3 keep{7, 7, 7};
    MDL_GetBoneBounds(cube, 0, 0, &keep, &keep);
    ExpectNear(keep, {7, 7, 7}, 0, "untouched");

    // The lowest of the eight corners, starting from the placement's own origin.
    Matrix34 m;
    MTH_MatrixRotation(&m, kPi / 4, MTH_AXIS_Z);
    m.m[9] = 10;
    m.m[10] = 20;
    Vec3 low;
    MDL_GetLowestCorner(cube, &m, &low);
    EXPECT_NEAR(low.y, 20 - 3 * std::sqrt(2.0f), 1e-4f);
    MTH_MatrixIdentity(&m);
    m.m[10] = -100;
    dk::QmdModel high = dk::QmdCube(3.0f);
    high.frames[0].boxMin[1] = 200;  // a box that lies above its origin
    ModelInstance* floating = Load("floating.qmd", dk::QmdBytes(high));
    MDL_GetLowestCorner(floating, &m, &low);
    ExpectNear(low, {0, -100, 0}, 0, "the origin is lower than any corner");

    struct Sphere {
        Vec3 point;
        float extra;
        int result;
    };
    MTH_MatrixIdentity(&m);
    const Sphere spheres[] = {{{50, 0, 0}, 0, 0}, {{50.1f, 0, 0}, 0, -1}, {{0, 60, 0}, 10, 0}, {{0, 60.5f, 0}, 10, -1}};
    for (const Sphere& s : spheres) {
        EXPECT_EQ(MDL_TestSphereBounds(cube, &m, &s.point, s.extra), s.result) << s.point.x << "," << s.point.y;
        if (s.extra == 0) {
            EXPECT_EQ(MDL_TestPointBounds(cube, &m, &s.point), s.result);
        }
    }
}

TEST_F(MdlPose, FindBoneIgnoresCase) {
    ModelInstance* body = Load("body.qkm", dk::QkmBytes(dk::QkmHumanoid()));
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    ASSERT_TRUE(body && cube);
    struct Case {
        const ModelInstance* instance;
        const char* name;
        int slot;
    };
    const Case cases[] = {{body, "rhand", 9}, {body, "RHAND", 9}, {body, "Hold_Pos", 10}, {body, "abdomen", 0},
                          {body, "tail", -1}, {body, "", -1},      {cube, "rhand", -1},    {nullptr, "rhand", -1}};
    for (const Case& c : cases) EXPECT_EQ(MDL_FindBone(c.instance, c.name), c.slot) << c.name;
}

// The left forearm removed: the upper arm is still drawn, forearm and hand are not, and a sphere
// at the hand hits nothing.
TEST_F(MdlPose, RemovedBonesAreNeitherDrawnNorHit) {
    ModelInstance* body = Load("body.qkm", dk::QkmBytes(dk::QkmHumanoid()));
    ASSERT_NE(body, nullptr);
    body->frame = body->nextFrame = 1;
    const Pose o = Orientation();
    const int forearm = MDL_FindBone(body, "lfarm"), hand = MDL_FindBone(body, "lhand"), arm = MDL_FindBone(body, "luarm");
    Matrix34 handMatrix;
    Pose handPose;
    MDL_GetBoneTransformQ(body, 1, hand, &o, &handMatrix, &handPose);
    Vec3 centre;
    const Vec3 inHand{0, -5, 0};
    MTH_TransformPoint(&centre, &inHand, &handMatrix);
    Vec3 local{};
    EXPECT_EQ(MDL_HitTestSphereQ(body, &o, &centre, &local, 1.0f), hand);
    ExpectNear(local, inHand, 1e-3f, "the centre in the hand's space");
    Matrix34 placement;
    MTH_PoseToMatrix(&o, &placement);
    EXPECT_EQ(MDL_HitTestSphere(body, &placement, &centre, nullptr, 1.0f), hand);
    Vec3 far = centre;
    far.y += 300;
    EXPECT_EQ(MDL_HitTestSphereQ(body, &o, &far, nullptr, 1.0f), -1);

    RecordMeshes();
    MDL_DrawInstanceQuat(nullptr, body, &o, 0);
    EXPECT_EQ(meshes.size(), 16u) << "every bone with a mesh";
    body->boneStates[forearm] = 0;
    EXPECT_EQ(MDL_HitTestSphereQ(body, &o, &centre, nullptr, 1.0f), -1);
    meshes.clear();
    MDL_DrawInstanceQuat(nullptr, body, &o, 0);
    EXPECT_EQ(meshes.size(), 14u);
    Matrix34 armMatrix;
    Pose armPose;
    MDL_GetBoneTransformQ(body, 1, arm, &o, &armMatrix, &armPose);
    bool armDrawn = false;
    for (const MdlMesh& mesh : meshes) {
        const Vec3 at = Origin(mesh.matrix);
        EXPECT_GT(std::fabs(at.y - handMatrix.m[10]) + std::fabs(at.x - handMatrix.m[9]), 1e-3f) << "no hand";
        if (std::fabs(at.x - armMatrix.m[9]) + std::fabs(at.y - armMatrix.m[10]) + std::fabs(at.z - armMatrix.m[11]) < 1e-3f)
            armDrawn = true;
    }
    EXPECT_TRUE(armDrawn);
    // A rigid instance is never sphere-tested.
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(100.0f)));
    EXPECT_EQ(MDL_HitTestSphere(cube, &placement, &o.translation, nullptr, 10.0f), -1);
}

// Children are searched first; the bone's own box (floats with flag 8, bytes otherwise) decides.
TEST_F(MdlPose, SphereHitsPickTheDeepestBone) {
    for (uint32_t flags : {16u, 16u | 8u, 0u}) {
        SCOPED_TRACE(flags);
        MDL_FreeAll();
        ModelInstance* chain = Load("chain.qkm", dk::QkmBytes(dk::QkmChain(2, flags)));
        ASSERT_NE(chain, nullptr);
        Matrix34 m;
        MTH_MatrixIdentity(&m);
        struct Case {
            Vec3 point;
            float radius;
            int bone;
        };
        const Case cases[] = {
            {{0, 0, 0}, 1, 0},      {{10, 1, 0}, 1, 1},     {{20, 0, 1.5f}, 0.1f, 2}, {{23, 0, 0}, 1.0f, 2},
            {{23.1f, 0, 0}, 1, -1}, {{15, 0, 0}, 1, -1},    {{0, 0, 3.5f}, 1.0f, -1},
            {{8.5f, 0, 0}, 1, 1},  // inside the arm
        };
        for (const Case& c : cases) {
            Vec3 local{};
            EXPECT_EQ(MDL_HitTestSphere(chain, &m, &c.point, &local, c.radius), c.bone)
                << c.point.x << "," << c.point.y << "," << c.point.z;
        }
        // Frame 1: the hand hangs at (10, 0, -10).
        chain->frame = 1;
        Vec3 hand{10, 0, -10};
        EXPECT_EQ(MDL_HitTestSphere(chain, &m, &hand, nullptr, 0.5f), 2);
        Vec3 old{20, 0, 0};
        EXPECT_EQ(MDL_HitTestSphere(chain, &m, &old, nullptr, 0.5f), -1);
    }
}


// The path walk of the bone queries (by the depth-first numbering) reaches every bone of a body
// where the full drawing walk puts it, for both kinds of keys.
TEST_F(MdlPose, QueriesAgreeWithTheDrawingWalkOnEveryBone) {
    dk::QkmModel w = dk::QkmHumanoid();
    ModelInstance* quat = Load("quat.qkm", dk::QkmBytes(w));
    w.flags &= ~16u;
    ModelInstance* matrix = Load("matrix.qkm", dk::QkmBytes(w));
    ASSERT_TRUE(quat && matrix);
    RecordMeshes();
    const Pose o = Orientation();
    Matrix34 base;
    MTH_PoseToMatrix(&o, &base);
    const int withMesh[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 16, 17};
    for (int frame : {0, 2, 50, 106}) {
        SCOPED_TRACE(frame);
        for (ModelInstance* instance : {quat, matrix}) {
            meshes.clear();
            instance->frame = instance->nextFrame = frame;
            if (instance == quat)
                MDL_DrawInstanceQuat(nullptr, instance, &o, 0);
            else
                MDL_DrawInstance(nullptr, instance, &base, 0);
            ASSERT_EQ(meshes.size(), 16u);
            for (int i = 0; i < 16; ++i) {
                SCOPED_TRACE(withMesh[i]);
                Matrix34 m{};
                if (instance == quat) {
                    Pose p;
                    MDL_GetBoneTransformQ(instance, frame, withMesh[i], &o, &m, &p);
                } else {
                    MDL_GetBoneMatrix(instance, frame, withMesh[i], &base, &m);
                }
                for (int k = 0; k < 12; ++k) EXPECT_NEAR(m.m[k], meshes[size_t(i)].matrix.m[k], 1e-3f) << k;
            }
        }
    }
}

}  // namespace
