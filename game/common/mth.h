// Single-precision vector, matrix and quaternion routines shared by the renderer, the models, the
// animation, the camera and the collision code, plus the triangle tests of the landscape queries.
// Every routine works on caller storage and never allocates; each one computes its whole result
// before it writes, so an output may be the same object as any input.
#pragma once
#include <cstddef>

struct Vec3 {
    float x, y, z;
};

struct Quat {
    float w, x, y, z;
};

// A 3x3 rotation stored column by column (row i, column j at m[3j + i]), then the translation at
// m[9], m[10], m[11]. A point p maps to R p + t.
struct Matrix34 {
    float m[12];
};

// A unit quaternion and a translation.
struct Pose {
    Quat rotation;
    Vec3 translation;
};

// Axis codes.
enum : int { MTH_AXIS_X = 1, MTH_AXIS_Y = 2, MTH_AXIS_Z = 3 };

// Poses and quaternions.

// The angle is wrapped once (at or above pi: minus 2 pi; then below -pi: plus 2 pi) and halved.
// Axis 1 is X, 2 is Y, any other code Z.
void MTH_QuatFromAxisAngle(Quat* out, float angle, int axis);
void MTH_PoseToMatrix(const Pose* pose, Matrix34* out);
// The inverse rotation; the translation is copied unchanged.
void MTH_PoseToMatrixTransposed(const Pose* pose, Matrix34* out);
// out.x, out.y, out.z = a + b; out.w is left as it is.
void MTH_AddVectorPart(const Quat* a, const Quat* b, Quat* out);
// q p q* + translation.
void MTH_PoseTransformPoint(const Pose* pose, const Vec3* point, Vec3* out);
// The Hamilton product a b.
void MTH_QuatMultiply(const Quat* a, const Quat* b, Quat* out);
// Rotation a b; translation is b's translation carried through a.
void MTH_PoseCompose(Pose* out, const Pose* a, const Pose* b);
// Shortest-arc interpolation; linear weights when the two are within 0.001, weights clamped into
// [-1, 1] with a weight that is not a number taken as 1; the result is not renormalised.
void MTH_QuatSlerp(float t, const Quat* a, const Quat* b, Quat* out);
// The same with a 0.00001 threshold and neither the zero-sine guard nor the clamp (animation).
void MTH_QuatSlerpFast(float t, const Quat* a, const Quat* b, Quat* out);
// Rotation by MTH_QuatSlerpFast; translation (1 - t) a + t b.
void MTH_PoseInterpolate(Pose* out, const Pose* a, const Pose* b, float t);
void MTH_PoseInverse(Pose* out, const Pose* pose);
void MTH_PoseIdentity(Pose* pose);
void MTH_PoseSetTranslation(Pose* pose, float x, float y, float z);

// Matrices and vectors.

// A rotation about axis 1 (X), 2 (Y) or 3 (Z) with zero translation; any other code gives the
// identity. Returns the matrix.
Matrix34* MTH_MatrixRotation(Matrix34* matrix, float angle, int axis);
void MTH_TransformPoint(Vec3* out, const Vec3* point, const Matrix34* matrix);
void MTH_RotateVector(Vec3* out, const Vec3* vector, const Matrix34* matrix);
// Turns v by angle.x about X, then angle.y about Y, then angle.z about Z (radians); a zero angle
// is skipped. The landscape's spinning objects turn their vertices so.
Vec3 MTH_RotateEulerXYZ(const Vec3& v, const Vec3& angle);
// The transform that applies b first, then a.
void MTH_MatrixMultiply(Matrix34* out, const Matrix34* a, const Matrix34* b);
// The inverse of a rotation plus translation.
void MTH_MatrixInvertRigid(Matrix34* out, const Matrix34* matrix);
double MTH_VectorLength(const Vec3* vector);
void MTH_MatrixIdentity(Matrix34* matrix);
void MTH_VectorSet(Vec3* vector, float x, float y, float z);
// Height y at (x, z) on the plane through the three points, truncated toward zero (and held to the
// int range); 0 when the plane is vertical.
int MTH_PlaneHeightAt(const Vec3* p0, const Vec3* p1, const Vec3* p2, float x, float z);
// t a + (1 - t) b: t = 1 gives a. Note the order, the reverse of MTH_PoseInterpolate's.
void MTH_VectorLerp(Vec3* out, const Vec3* a, const Vec3* b, float t);
void MTH_VectorNegate(Vec3* vector);
// Where the line through a and b meets the triangle's plane. Returns 0 when the line is parallel
// to the plane (out untouched); otherwise writes a + s (b - a) to out and returns 1 when s > 0,
// -1 when s <= 0. The point need not lie inside the triangle.
int MTH_SegmentTriangleHit(Vec3* out, const Vec3* a, const Vec3* b, const Vec3* p0, const Vec3* p1,
                           const Vec3* p2);
// 1 when the point lies strictly inside the triangle as seen along the triangle's dominant normal
// axis; a point on an edge or a corner, or any point of a degenerate triangle, is outside.
int MTH_PointInTriangle(const Vec3* point, const Vec3* a, const Vec3* b, const Vec3* c);
// 1 when the line through a and b passes strictly inside the triangle: the three edge-side tests
// all have the same strict sign. A line through an edge or a corner does not cross.
int MTH_SegmentCrossesTriangle(const Vec3* a, const Vec3* b, const Vec3* p0, const Vec3* p1,
                               const Vec3* p2);

// The runtime's math-error record, as the hook receives it.
struct MathException {
    int type;  // 1 DOMAIN, 2 SING, 3 OVERFLOW, 4 UNDERFLOW, 5 TLOSS, 6 PLOSS
    const char* name;
    double arg1, arg2, retval;
};

// Writes the hook's message for an error type into text (empty for an unknown type).
void MTH_FormatMathError(int type, char* text, size_t size);
// The math-error hook: formats the message into a buffer that nothing shows and returns 0, so
// the default handling applies. The C library here never calls it.
int _matherr(MathException* e);
