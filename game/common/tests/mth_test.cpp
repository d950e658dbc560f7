// Tests of the vector, matrix and quaternion routines: angle wrapping, agreement of the quaternion
// and matrix forms, composition order, aliasing of outputs, the interpolation thresholds and
// clamps, the two interpolation conventions, and the triangle tests with their strict edges.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "common/mth.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTol = 1e-5f;

#define EXPECT_VEC(v, ex, ey, ez)          \
    do {                                   \
        const Vec3 v_ = (v);               \
        EXPECT_NEAR(v_.x, (ex), kTol);     \
        EXPECT_NEAR(v_.y, (ey), kTol);     \
        EXPECT_NEAR(v_.z, (ez), kTol);     \
    } while (0)

#define EXPECT_QUAT(q, ew, ex, ey, ez)     \
    do {                                   \
        const Quat q_ = (q);               \
        EXPECT_NEAR(q_.w, (ew), kTol);     \
        EXPECT_NEAR(q_.x, (ex), kTol);     \
        EXPECT_NEAR(q_.y, (ey), kTol);     \
        EXPECT_NEAR(q_.z, (ez), kTol);     \
    } while (0)

void ExpectMatrixNear(const Matrix34& a, const Matrix34& b) {
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(a.m[i], b.m[i], kTol) << "element " << i;
}

Pose MakePose(float angle, int axis, float x, float y, float z) {
    Pose p;
    MTH_QuatFromAxisAngle(&p.rotation, angle, axis);
    p.translation = Vec3{x, y, z};
    return p;
}

// Two poses with rotations about different axes, so that order matters.
Pose PoseA() {
    Pose a = MakePose(0.7f, MTH_AXIS_Y, 1.0f, 2.0f, 3.0f);
    Pose x = MakePose(-0.4f, MTH_AXIS_X, 0.0f, 0.0f, 0.0f);
    MTH_QuatMultiply(&a.rotation, &x.rotation, &a.rotation);
    return a;
}
Pose PoseB() { return MakePose(1.9f, MTH_AXIS_Z, -4.0f, 0.5f, 2.0f); }

Matrix34 MatrixOf(const Pose& p) {
    Matrix34 m;
    MTH_PoseToMatrix(&p, &m);
    return m;
}

Vec3 Transform(const Matrix34& m, Vec3 p) {
    Vec3 out;
    MTH_TransformPoint(&out, &p, &m);
    return out;
}

TEST(MthQuatFromAxisAngle, WrapsOnceThenHalvesAboutTheCodedAxis) {
    const float twoPi = 6.28318530718f;
    struct Case {
        float angle;
        float wrapped;
    };
    const Case cases[] = {
        {0.0f, 0.0f},
        {1.0f, 1.0f},
        {4.0f, 4.0f - twoPi},     // at or above pi: minus 2 pi
        {kPi, kPi - twoPi},       // exactly pi wraps to -pi
        {-kPi, -kPi},             // exactly -pi stays
        {-4.0f, -4.0f + twoPi},   // below -pi: plus 2 pi
        {10.0f, 10.0f - twoPi},   // wrapped once only, still above pi
        {-10.0f, -10.0f + twoPi}, // once only, still below -pi
    };
    struct AxisCase {
        int code;
        int component;  // 1 x, 2 y, 3 z
    };
    const AxisCase axes[] = {{1, 1}, {2, 2}, {3, 3}, {0, 3}, {7, 3}, {-1, 3}};
    for (const Case& c : cases) {
        for (const AxisCase& a : axes) {
            SCOPED_TRACE("angle " + std::to_string(c.angle) + " axis " + std::to_string(a.code));
            Quat q;
            MTH_QuatFromAxisAngle(&q, c.angle, a.code);
            const float s = std::sin(c.wrapped / 2);
            EXPECT_QUAT(q, std::cos(c.wrapped / 2), a.component == 1 ? s : 0.0f, a.component == 2 ? s : 0.0f,
                        a.component == 3 ? s : 0.0f);
        }
    }
}

TEST(MthMatrixRotation, TurnsPointsTheRightWayAndMatchesTheQuaternionForm) {
    struct Case {
        int axis;
        Vec3 point;
        Vec3 turned;  // by a quarter turn
    };
    const Case cases[] = {
        {MTH_AXIS_X, {0, 1, 0}, {0, 0, 1}},
        {MTH_AXIS_X, {0, 0, 1}, {0, -1, 0}},
        {MTH_AXIS_Y, {1, 0, 0}, {0, 0, -1}},
        {MTH_AXIS_Y, {0, 0, 1}, {1, 0, 0}},
        {MTH_AXIS_Z, {1, 0, 0}, {0, 1, 0}},
        {MTH_AXIS_Z, {0, 1, 0}, {-1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("axis " + std::to_string(c.axis));
        Matrix34 m;
        std::memset(&m, 0x7F, sizeof m);  // every element must be written
        EXPECT_EQ(MTH_MatrixRotation(&m, kPi / 2, c.axis), &m);
        EXPECT_VEC(Transform(m, c.point), c.turned.x, c.turned.y, c.turned.z);
        EXPECT_NEAR(m.m[9], 0.0f, 0.0f);
        EXPECT_NEAR(m.m[10], 0.0f, 0.0f);
        EXPECT_NEAR(m.m[11], 0.0f, 0.0f);
        // The quaternion of the same turn gives the same matrix, at several angles.
        for (float angle : {kPi / 2, 0.3f, -2.5f, 3.0f}) {
            Matrix34 fromPose = MatrixOf(MakePose(angle, c.axis, 0, 0, 0));
            Matrix34 direct;
            MTH_MatrixRotation(&direct, angle, c.axis);
            ExpectMatrixNear(fromPose, direct);
        }
    }
    // An axis code outside 1..3 gives no rotation.
    Matrix34 m, identity;
    MTH_MatrixIdentity(&identity);
    MTH_MatrixRotation(&m, 1.0f, 0);
    ExpectMatrixNear(m, identity);
}

TEST(MthPose, MatrixFormsAgreeWithTransformingByTheQuaternion) {
    const Pose a = PoseA();
    Matrix34 m, mt;
    MTH_PoseToMatrix(&a, &m);
    MTH_PoseToMatrixTransposed(&a, &mt);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(mt.m[3 * j + i], m.m[3 * i + j], kTol);
    }
    const float t[3] = {a.translation.x, a.translation.y, a.translation.z};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.m[9 + i], t[i]);
        EXPECT_EQ(mt.m[9 + i], t[i]);
    }
    const Vec3 points[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-3, 2, 5}};
    for (const Vec3& p : points) {
        Vec3 byPose;
        MTH_PoseTransformPoint(&a, &p, &byPose);
        const Vec3 byMatrix = Transform(m, p);
        EXPECT_VEC(byPose, byMatrix.x, byMatrix.y, byMatrix.z);
        // The transposed matrix undoes the rotation.
        Vec3 rotated, back;
        MTH_RotateVector(&rotated, &p, &m);
        MTH_RotateVector(&back, &rotated, &mt);
        EXPECT_VEC(back, p.x, p.y, p.z);
    }
}

TEST(MthQuatMultiply, IsTheHamiltonProductInOrder) {
    const Quat i{0, 1, 0, 0}, j{0, 0, 1, 0}, k{0, 0, 0, 1}, one{1, 0, 0, 0};
    struct Case {
        Quat a, b, product;
    };
    const Case cases[] = {
        {i, j, k},
        {j, i, {0, 0, 0, -1}},
        {j, k, i},
        {k, i, j},
        {i, i, {-1, 0, 0, 0}},
        {one, k, k},
        {{1, 2, 3, 4}, {5, 6, 7, 8}, {-60, 12, 30, 24}},
    };
    for (const Case& c : cases) {
        Quat out;
        MTH_QuatMultiply(&c.a, &c.b, &out);
        EXPECT_QUAT(out, c.product.w, c.product.x, c.product.y, c.product.z);
        Quat inPlace = c.a;
        MTH_QuatMultiply(&inPlace, &c.b, &inPlace);
        EXPECT_QUAT(inPlace, c.product.w, c.product.x, c.product.y, c.product.z);
    }
}

TEST(MthAddVectorPart, AddsXyzAndLeavesWAlone) {
    const Quat a{1, 2, 3, 4}, b{10, 20, 30, 40};
    Quat out{42, 0, 0, 0};
    MTH_AddVectorPart(&a, &b, &out);
    EXPECT_QUAT(out, 42, 22, 33, 44);
}

TEST(MthPose, ComposeAppliesTheSecondFirstAndInverseUndoesIt) {
    const Pose a = PoseA(), b = PoseB();
    Pose ab;
    MTH_PoseCompose(&ab, &a, &b);
    const Vec3 p{0.5f, -2.0f, 7.0f};
    Vec3 viaB, twice, once;
    MTH_PoseTransformPoint(&b, &p, &viaB);
    MTH_PoseTransformPoint(&a, &viaB, &twice);
    MTH_PoseTransformPoint(&ab, &p, &once);
    EXPECT_VEC(once, twice.x, twice.y, twice.z);

    // Composition of poses matches the product of their matrices.
    Matrix34 ma = MatrixOf(a), mb = MatrixOf(b), product;
    MTH_MatrixMultiply(&product, &ma, &mb);
    ExpectMatrixNear(MatrixOf(ab), product);

    // Output may be either input.
    Pose inA = a, inB = b;
    MTH_PoseCompose(&inA, &inA, &b);
    MTH_PoseCompose(&inB, &a, &inB);
    ExpectMatrixNear(MatrixOf(inA), MatrixOf(ab));
    ExpectMatrixNear(MatrixOf(inB), MatrixOf(ab));

    Pose inverse, identity, shouldBeIdentity;
    MTH_PoseInverse(&inverse, &a);
    MTH_PoseIdentity(&identity);
    MTH_PoseCompose(&shouldBeIdentity, &a, &inverse);
    ExpectMatrixNear(MatrixOf(shouldBeIdentity), MatrixOf(identity));
    MTH_PoseCompose(&shouldBeIdentity, &inverse, &a);
    ExpectMatrixNear(MatrixOf(shouldBeIdentity), MatrixOf(identity));
    Pose self = a;
    MTH_PoseInverse(&self, &self);
    ExpectMatrixNear(MatrixOf(self), MatrixOf(inverse));

    Pose set;
    MTH_PoseIdentity(&set);
    MTH_PoseSetTranslation(&set, 1, 2, 3);
    EXPECT_QUAT(set.rotation, 1, 0, 0, 0);
    EXPECT_VEC(set.translation, 1, 2, 3);
}

TEST(MthMatrixMultiply, AppliesBThenAAndAllowsAnyAliasing) {
    const Matrix34 a = MatrixOf(PoseA()), b = MatrixOf(PoseB());
    Matrix34 separate;
    MTH_MatrixMultiply(&separate, &a, &b);
    const Vec3 p{3, -1, 2};
    const Vec3 twice = Transform(a, Transform(b, p));
    EXPECT_VEC(Transform(separate, p), twice.x, twice.y, twice.z);

    Matrix34 outIsA = a;
    MTH_MatrixMultiply(&outIsA, &outIsA, &b);
    ExpectMatrixNear(outIsA, separate);
    Matrix34 outIsB = b;
    MTH_MatrixMultiply(&outIsB, &a, &outIsB);
    ExpectMatrixNear(outIsB, separate);

    Matrix34 square;
    MTH_MatrixMultiply(&square, &a, &a);
    Matrix34 all = a;
    MTH_MatrixMultiply(&all, &all, &all);
    ExpectMatrixNear(all, square);
}

TEST(MthMatrixInvertRigid, UndoesTheTransformInPlaceToo) {
    const Matrix34 a = MatrixOf(PoseA());
    Matrix34 inverse, product, identity;
    MTH_MatrixInvertRigid(&inverse, &a);
    MTH_MatrixIdentity(&identity);
    MTH_MatrixMultiply(&product, &a, &inverse);
    ExpectMatrixNear(product, identity);
    MTH_MatrixMultiply(&product, &inverse, &a);
    ExpectMatrixNear(product, identity);
    Matrix34 self = a;
    MTH_MatrixInvertRigid(&self, &self);
    ExpectMatrixNear(self, inverse);
}

// The pair (1, 0, 0, 0) and a rotation about Y whose quaternion dot product with it is d.
Quat NearIdentity(float d) { return Quat{d, 0.0f, std::sqrt(1.0f - d * d), 0.0f}; }

TEST(MthQuatSlerp, ThresholdsShortWayClampAndNotANumber) {
    const Quat one{1, 0, 0, 0};
    const Quat half = NearIdentity(std::cos(kPi / 4));  // a quarter turn about Y
    const Quat q = PoseA().rotation;
    const Quat minusQ{-q.w, -q.x, -q.y, -q.z};
    const Quat close = NearIdentity(0.9995f);  // 1 - d = 0.0005: linear for one, spherical for the other
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float closeHalf = std::acos(0.9995f) / 2;

    using Fn = void (*)(float, const Quat*, const Quat*, Quat*);
    struct Case {
        const char* name;
        Fn fn;
        float t;
        Quat a, b, expected;
    };
    const Case cases[] = {
        {"identical, slerp", MTH_QuatSlerp, 0.3f, q, q, q},
        {"identical, fast", MTH_QuatSlerpFast, 0.3f, q, q, q},
        {"opposite sign takes the short way, slerp", MTH_QuatSlerp, 0.6f, q, minusQ, q},
        {"opposite sign takes the short way, fast", MTH_QuatSlerpFast, 0.6f, q, minusQ, q},
        {"halfway along a quarter turn", MTH_QuatSlerp, 0.5f, one, half,
         {std::cos(kPi / 8), 0, std::sin(kPi / 8), 0}},
        {"halfway, fast", MTH_QuatSlerpFast, 0.5f, one, half, {std::cos(kPi / 8), 0, std::sin(kPi / 8), 0}},
        {"end points", MTH_QuatSlerp, 1.0f, one, half, half},
        // Within 0.001 the weights are linear and the result is not renormalised.
        {"close pair, linear", MTH_QuatSlerp, 0.5f, one, close,
         {0.5f * (1 + close.w), 0, 0.5f * close.y, 0}},
        {"close pair, fast is spherical", MTH_QuatSlerpFast, 0.5f, one, close,
         {std::cos(closeHalf), 0, std::sin(closeHalf), 0}},
        // Beyond the ends the weights (-sqrt 2, 1) are clamped to (-1, 1) by one, not the other.
        {"extrapolated, clamped", MTH_QuatSlerp, 3.0f, one, half,
         {-1 + half.w, 0, half.y, 0}},
        {"extrapolated, fast unclamped", MTH_QuatSlerpFast, 3.0f, one, half,
         {-std::sqrt(2.0f) + half.w, 0, half.y, 0}},
        {"linear weights clamped", MTH_QuatSlerp, -2.0f, q, q, {0, 0, 0, 0}},
        // Weights that are not numbers become 1, even the negated one.
        {"not a number", MTH_QuatSlerp, nan, one, half, {1 + half.w, 0, half.y, 0}},
        {"not a number, negated side", MTH_QuatSlerp, nan, one, Quat{-half.w, 0, -half.y, 0},
         {1 - half.w, 0, -half.y, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Quat out;
        c.fn(c.t, &c.a, &c.b, &out);
        EXPECT_QUAT(out, c.expected.w, c.expected.x, c.expected.y, c.expected.z);
        Quat inPlace = c.a;
        c.fn(c.t, &inPlace, &c.b, &inPlace);
        EXPECT_QUAT(inPlace, c.expected.w, c.expected.x, c.expected.y, c.expected.z);
    }
}

TEST(MthInterpolation, PoseUsesTheUsualOrderAndVectorLerpTheReverse) {
    Pose a, b;
    MTH_PoseIdentity(&a);
    b = MakePose(kPi / 2, MTH_AXIS_Y, 4, 8, 12);
    Pose out;
    MTH_PoseInterpolate(&out, &a, &b, 0.25f);
    EXPECT_VEC(out.translation, 1, 2, 3);  // (1 - t) a + t b
    EXPECT_QUAT(out.rotation, std::cos(kPi / 16), 0, std::sin(kPi / 16), 0);
    Pose self = a;
    MTH_PoseInterpolate(&self, &self, &b, 0.25f);
    EXPECT_VEC(self.translation, 1, 2, 3);

    const Vec3 va{0, 0, 0}, vb{4, 8, 12};
    Vec3 lerp;
    MTH_VectorLerp(&lerp, &va, &vb, 0.25f);
    EXPECT_VEC(lerp, 3, 6, 9);  // t a + (1 - t) b
    MTH_VectorLerp(&lerp, &va, &vb, 1.0f);
    EXPECT_VEC(lerp, 0, 0, 0);
    Vec3 inPlace = vb;
    MTH_VectorLerp(&inPlace, &va, &inPlace, 0.25f);
    EXPECT_VEC(inPlace, 3, 6, 9);
}

TEST(MthVectors, LengthSetNegate) {
    static_assert(std::is_same_v<decltype(MTH_VectorLength(nullptr)), double>);
    Vec3 v;
    MTH_VectorSet(&v, 3, -4, 12);
    EXPECT_DOUBLE_EQ(MTH_VectorLength(&v), 13.0);
    MTH_VectorNegate(&v);
    EXPECT_VEC(v, -3, 4, -12);
    const Vec3 zero{0, 0, 0};
    EXPECT_EQ(MTH_VectorLength(&zero), 0.0);
}

TEST(MthPlaneHeightAt, TruncatesAndRefusesVerticalPlanes) {
    struct Case {
        const char* name;
        Vec3 p0, p1, p2;
        float x, z;
        int height;
    };
    const Case cases[] = {
        {"flat", {0, 5, 0}, {1, 5, 0}, {0, 5, 1}, 7.5f, -3.0f, 5},
        {"slope y = x + 2z - 0.5", {0, -0.5f, 0}, {1, 0.5f, 0}, {0, 1.5f, 1}, 1.0f, 1.0f, 2},
        {"same slope, other winding", {0, -0.5f, 0}, {0, 1.5f, 1}, {1, 0.5f, 0}, 1.0f, 1.0f, 2},
        {"negative heights truncate toward zero", {0, -0.5f, 0}, {1, 0.5f, 0}, {0, 1.5f, 1}, -1.0f, -0.5f, -2},
        {"vertical", {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 3.0f, 3.0f, 0},
        {"degenerate", {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, 1.0f, 1.0f, 0},
        {"nearly vertical, above the int range", {0, 0, 0}, {1, 1e9f, 0}, {0, 0, 1}, 10.0f, 0.0f, INT_MAX},
        {"nearly vertical, below the int range", {0, 0, 0}, {1, 1e9f, 0}, {0, 0, 1}, -10.0f, 0.0f, INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MTH_PlaneHeightAt(&c.p0, &c.p1, &c.p2, c.x, c.z), c.height);
    }
}

TEST(MthSegmentTriangleHit, ReportsTheSideAndWritesThePointEvenBehind) {
    const Vec3 p0{0, 0, 0}, p1{0, 0, 1}, p2{1, 0, 0};  // in the plane y = 0
    struct Case {
        const char* name;
        Vec3 a, b;
        int result;
        Vec3 point;  // expected out; (99, 99, 99) means untouched
    };
    const Case cases[] = {
        {"straight through", {0.2f, 1, 0.2f}, {0.2f, -1, 0.2f}, 1, {0.2f, 0, 0.2f}},
        {"plane beyond b", {0.1f, 2, 0.3f}, {0.1f, 1, 0.3f}, 1, {0.1f, 0, 0.3f}},
        {"plane behind a", {0.1f, 1, 0.3f}, {0.1f, 2, 0.3f}, -1, {0.1f, 0, 0.3f}},
        {"a on the plane", {0.5f, 0, 0.5f}, {0.5f, 1, 0.5f}, -1, {0.5f, 0, 0.5f}},
        {"outside the triangle still hits the plane", {5, 1, 5}, {7, -1, 5}, 1, {6, 0, 5}},
        {"parallel", {0, 1, 0}, {1, 1, 0}, 0, {99, 99, 99}},
        {"almost parallel, below the threshold", {0, 1, 0}, {1, 1.0000001f, 0}, 0, {99, 99, 99}},
        {"in the plane", {0, 0, 0}, {1, 0, 1}, 0, {99, 99, 99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vec3 out{99, 99, 99};
        EXPECT_EQ(MTH_SegmentTriangleHit(&out, &c.a, &c.b, &p0, &p1, &p2), c.result);
        EXPECT_VEC(out, c.point.x, c.point.y, c.point.z);
    }
    // The output may be one of the end points.
    Vec3 a{0.2f, 1, 0.2f};
    const Vec3 b{0.2f, -1, 0.2f};
    EXPECT_EQ(MTH_SegmentTriangleHit(&a, &a, &b, &p0, &p1, &p2), 1);
    EXPECT_VEC(a, 0.2f, 0, 0.2f);
}

TEST(MthPointInTriangle, DominantProjectionAndStrictEdges) {
    const Vec3 flat[3] = {{0, 0, 0}, {4, 0, 0}, {0, 0, 4}};       // normal along y: tested in x-z
    const Vec3 wall[3] = {{2, 0, 0}, {2, 4, 0}, {2, 0, 4}};       // normal along x: tested in y-z
    const Vec3 facing[3] = {{0, 0, 3}, {4, 0, 3}, {0, 4, 3}};     // normal along z: tested in x-y
    const Vec3 tilted[3] = {{0, 0, 0}, {4, 1, 0}, {0, 1, 4}};     // mostly flat
    const Vec3 line[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};       // degenerate
    struct Case {
        const char* name;
        const Vec3* tri;
        bool reversed;
        Vec3 point;
        int inside;
    };
    const Case cases[] = {
        {"flat inside", flat, false, {1, 0, 1}, 1},
        {"flat inside, other winding", flat, true, {1, 0, 1}, 1},
        {"flat inside, above the plane", flat, false, {1, 50, 1}, 1},
        {"flat outside", flat, false, {3, 0, 3}, 0},
        {"flat outside, negative side", flat, false, {-1, 0, 1}, 0},
        {"on an edge", flat, false, {2, 0, 0}, 0},
        {"on the long edge", flat, true, {2, 0, 2}, 0},
        {"on a corner", flat, false, {4, 0, 0}, 0},
        {"wall inside", wall, false, {2, 1, 1}, 1},
        {"wall inside, off the wall", wall, true, {-8, 1, 1}, 1},
        {"wall outside", wall, false, {2, 3, 3}, 0},
        {"facing inside", facing, false, {1, 1, 3}, 1},
        {"facing outside", facing, true, {1, -1, 3}, 0},
        {"tilted inside", tilted, false, {1, 0.5f, 1}, 1},
        {"tilted outside", tilted, true, {3, 0.5f, 3}, 0},
        {"degenerate", line, false, {1, 1, 1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Vec3& b = c.reversed ? c.tri[2] : c.tri[1];
        const Vec3& cc = c.reversed ? c.tri[1] : c.tri[2];
        EXPECT_EQ(MTH_PointInTriangle(&c.point, &c.tri[0], &b, &cc), c.inside);
    }
}

TEST(MthSegmentCrossesTriangle, SameStrictSignOnAllEdges) {
    const Vec3 p0{0, 0, 0}, p1{4, 0, 0}, p2{0, 0, 4};
    struct Case {
        const char* name;
        Vec3 a, b;
        int crosses;
    };
    const Case cases[] = {
        {"down through", {1, 1, 1}, {1, -1, 1}, 1},
        {"up through", {1, -1, 1}, {1, 1, 1}, 1},
        {"slanted through", {0, 2, 0}, {2, -2, 2}, 1},
        {"beside", {3, 1, 3}, {3, -1, 3}, 0},
        {"through an edge", {2, 1, 0}, {2, -1, 0}, 0},
        {"through a corner", {4, 1, 0}, {4, -1, 0}, 0},
        {"in the plane", {1, 0, 1}, {2, 0, 1}, 0},
        {"no length", {1, 1, 1}, {1, 1, 1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MTH_SegmentCrossesTriangle(&c.a, &c.b, &p0, &p1, &p2), c.crosses);
        EXPECT_EQ(MTH_SegmentCrossesTriangle(&c.a, &c.b, &p0, &p2, &p1), c.crosses) << "other winding";
    }
}

TEST(MthMathError, FormatsEachTypeAndDefersToTheDefault) {
    struct Case {
        int type;
        const char* text;
    };
    const Case cases[] = {
        {1, "MATHERR: DOMAIN\n\n"},
        {2, "MATHERR: SING\n\n"},
        {3, "MATHERR: OVERFLOW\n\n"},
        {4, "MATHERR: UNDERFLOW\n\n"},
        {5, "MATHERR: TLOSS\n\nMATHERR: PLOSS\n\n"},
        {6, "MATHERR: PLOSS\n\n"},
        {0, ""},
        {7, ""},
    };
    for (const Case& c : cases) {
        char text[64];
        std::memset(text, 'x', sizeof text);
        MTH_FormatMathError(c.type, text, sizeof text);
        EXPECT_STREQ(text, c.text);
        MathException e{c.type, "sqrt", -1.0, 0.0, 0.0};
        EXPECT_EQ(_matherr(&e), 0);
    }
    char small[8];
    MTH_FormatMathError(5, small, sizeof small);
    EXPECT_STREQ(small, "MATHERR");
}

}  // namespace
