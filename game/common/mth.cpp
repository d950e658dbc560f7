// Vector, matrix and quaternion routines in single precision, the triangle tests of the landscape
// and collision code, and the math-error hook.
#include "common/mth.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530718f;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Quat Hamilton(const Quat& a, const Quat& b) {
    return {a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z),
            a.w * b.x + b.w * a.x + (a.y * b.z - a.z * b.y),
            a.w * b.y + b.w * a.y + (a.z * b.x - a.x * b.z),
            a.w * b.z + b.w * a.z + (a.x * b.y - a.y * b.x)};
}

Quat Conjugate(const Quat& q) { return {q.w, -q.x, -q.y, -q.z}; }

// q p q*, with p taken as the pure quaternion (0, p).
Vec3 Rotate(const Quat& q, const Vec3& p) {
    const Quat r = Hamilton(Hamilton(q, Quat{0.0f, p.x, p.y, p.z}), Conjugate(q));
    return {r.x, r.y, r.z};
}

// The rotation part of a quaternion, column by column.
void QuatToRotation(const Quat& q, float m[9]) {
    const float w = q.w, x = q.x, y = q.y, z = q.z;
    m[0] = 1.0f - 2.0f * (y * y + z * z);
    m[1] = 2.0f * (x * y + w * z);
    m[2] = 2.0f * (x * z - w * y);
    m[3] = 2.0f * (x * y - w * z);
    m[4] = 1.0f - 2.0f * (x * x + z * z);
    m[5] = 2.0f * (y * z + w * x);
    m[6] = 2.0f * (x * z + w * y);
    m[7] = 2.0f * (y * z - w * x);
    m[8] = 1.0f - 2.0f * (x * x + y * y);
}

// Rotation part of m applied to v.
Vec3 Apply(const float* m, const Vec3& v) {
    return {v.x * m[0] + v.y * m[3] + v.z * m[6], v.x * m[1] + v.y * m[4] + v.z * m[7],
            v.x * m[2] + v.y * m[5] + v.z * m[8]};
}

// Transposed rotation part of m applied to v.
Vec3 ApplyTransposed(const float* m, const Vec3& v) {
    return {v.x * m[0] + v.y * m[1] + v.z * m[2], v.x * m[3] + v.y * m[4] + v.z * m[5],
            v.x * m[6] + v.y * m[7] + v.z * m[8]};
}

Quat Blend(float w0, const Quat& a, float w1, const Quat& b) {
    return {w0 * a.w + w1 * b.w, w0 * a.x + w1 * b.x, w0 * a.y + w1 * b.y, w0 * a.z + w1 * b.z};
}

float ClampWeight(float w) {
    if (std::isnan(w)) return 1.0f;
    if (w > 1.0f) return 1.0f;
    if (w < -1.0f) return -1.0f;
    return w;
}

// Strict sign: exactly 0 counts as neither side.
int Sign(float v) { return v > 0.0f ? 1 : (v < 0.0f ? -1 : 0); }

}  // namespace

void MTH_QuatFromAxisAngle(Quat* out, float angle, int axis) {
    if (angle >= kPi) angle -= kTwoPi;
    if (angle < -kPi) angle += kTwoPi;
    const float half = angle * 0.5f;
    const float c = std::cos(half);
    const float s = std::sin(half);
    *out = Quat{c, 0.0f, 0.0f, 0.0f};
    if (axis == MTH_AXIS_X) {
        out->x = s;
    } else if (axis == MTH_AXIS_Y) {
        out->y = s;
    } else {
        out->z = s;
    }
}

void MTH_PoseToMatrix(const Pose* pose, Matrix34* out) {
    Matrix34 r;
    QuatToRotation(pose->rotation, r.m);
    r.m[9] = pose->translation.x;
    r.m[10] = pose->translation.y;
    r.m[11] = pose->translation.z;
    *out = r;
}

void MTH_PoseToMatrixTransposed(const Pose* pose, Matrix34* out) {
    float m[9];
    QuatToRotation(pose->rotation, m);
    Matrix34 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r.m[3 * j + i] = m[3 * i + j];
    }
    r.m[9] = pose->translation.x;
    r.m[10] = pose->translation.y;
    r.m[11] = pose->translation.z;
    *out = r;
}

void MTH_AddVectorPart(const Quat* a, const Quat* b, Quat* out) {
    const float x = a->x + b->x, y = a->y + b->y, z = a->z + b->z;
    out->x = x;
    out->y = y;
    out->z = z;
}

void MTH_PoseTransformPoint(const Pose* pose, const Vec3* point, Vec3* out) {
    const Vec3 r = Rotate(pose->rotation, *point);
    *out = Vec3{r.x + pose->translation.x, r.y + pose->translation.y, r.z + pose->translation.z};
}

void MTH_QuatMultiply(const Quat* a, const Quat* b, Quat* out) { *out = Hamilton(*a, *b); }

void MTH_PoseCompose(Pose* out, const Pose* a, const Pose* b) {
    Pose r;
    r.rotation = Hamilton(a->rotation, b->rotation);
    MTH_PoseTransformPoint(a, &b->translation, &r.translation);
    *out = r;
}

void MTH_QuatSlerp(float t, const Quat* a, const Quat* b, Quat* out) {
    float d = a->w * b->w + a->x * b->x + a->y * b->y + a->z * b->z;
    const bool negate = d < 0.0f;
    if (negate) d = -d;
    float w0, w1;
    if (1.0f - d >= 0.001f) {
        const float omega = std::acos(d);
        const float s = std::sin(omega);
        if (s == 0.0f) {
            w0 = 1.0f;
            w1 = 0.0f;
        } else {
            w0 = std::sin(omega - t * omega) / s;
            w1 = std::sin(t * omega) / s;
        }
    } else {
        w0 = 1.0f - t;
        w1 = t;
    }
    if (negate) w1 = -w1;
    *out = Blend(ClampWeight(w0), *a, ClampWeight(w1), *b);
}

void MTH_QuatSlerpFast(float t, const Quat* a, const Quat* b, Quat* out) {
    float d = a->w * b->w + a->x * b->x + a->y * b->y + a->z * b->z;
    const bool negate = d < 0.0f;
    if (negate) d = -d;
    float w0, w1;
    if (1.0f - d >= 0.00001f) {
        const float omega = std::acos(d);
        const float s = std::sin(omega);
        w0 = std::sin(omega - t * omega) / s;
        w1 = std::sin(t * omega) / s;
    } else {
        w0 = 1.0f - t;
        w1 = t;
    }
    if (negate) w1 = -w1;
    *out = Blend(w0, *a, w1, *b);
}

void MTH_PoseInterpolate(Pose* out, const Pose* a, const Pose* b, float t) {
    Pose r;
    MTH_QuatSlerpFast(t, &a->rotation, &b->rotation, &r.rotation);
    const float u = 1.0f - t;
    r.translation = Vec3{u * a->translation.x + t * b->translation.x, u * a->translation.y + t * b->translation.y,
                         u * a->translation.z + t * b->translation.z};
    *out = r;
}

void MTH_PoseInverse(Pose* out, const Pose* pose) {
    Pose r;
    r.rotation = Conjugate(pose->rotation);
    const Vec3 back = Rotate(r.rotation, pose->translation);
    r.translation = Vec3{-back.x, -back.y, -back.z};
    *out = r;
}

void MTH_PoseIdentity(Pose* pose) { *pose = Pose{{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}}; }

void MTH_PoseSetTranslation(Pose* pose, float x, float y, float z) { pose->translation = Vec3{x, y, z}; }

Matrix34* MTH_MatrixRotation(Matrix34* matrix, float angle, int axis) {
    MTH_MatrixIdentity(matrix);
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    float* m = matrix->m;
    if (axis == MTH_AXIS_X) {
        m[4] = c;
        m[5] = s;
        m[7] = -s;
        m[8] = c;
    } else if (axis == MTH_AXIS_Y) {
        m[0] = c;
        m[6] = s;
        m[2] = -s;
        m[8] = c;
    } else if (axis == MTH_AXIS_Z) {
        m[0] = c;
        m[1] = s;
        m[3] = -s;
        m[4] = c;
    }
    return matrix;
}

void MTH_TransformPoint(Vec3* out, const Vec3* point, const Matrix34* matrix) {
    const Vec3 r = Apply(matrix->m, *point);
    *out = Vec3{r.x + matrix->m[9], r.y + matrix->m[10], r.z + matrix->m[11]};
}

void MTH_RotateVector(Vec3* out, const Vec3* vector, const Matrix34* matrix) { *out = Apply(matrix->m, *vector); }

void MTH_MatrixMultiply(Matrix34* out, const Matrix34* a, const Matrix34* b) {
    Matrix34 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[3 * j + i] =
                a->m[i] * b->m[3 * j] + a->m[3 + i] * b->m[3 * j + 1] + a->m[6 + i] * b->m[3 * j + 2];
        }
    }
    const Vec3 t = Apply(a->m, Vec3{b->m[9], b->m[10], b->m[11]});
    r.m[9] = t.x + a->m[9];
    r.m[10] = t.y + a->m[10];
    r.m[11] = t.z + a->m[11];
    *out = r;
}

void MTH_MatrixInvertRigid(Matrix34* out, const Matrix34* matrix) {
    Matrix34 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r.m[3 * j + i] = matrix->m[3 * i + j];
    }
    const Vec3 t = ApplyTransposed(matrix->m, Vec3{matrix->m[9], matrix->m[10], matrix->m[11]});
    r.m[9] = -t.x;
    r.m[10] = -t.y;
    r.m[11] = -t.z;
    *out = r;
}

double MTH_VectorLength(const Vec3* vector) { return std::sqrt(static_cast<double>(Dot(*vector, *vector))); }

void MTH_MatrixIdentity(Matrix34* matrix) {
    *matrix = Matrix34{{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f}};
}

void MTH_VectorSet(Vec3* vector, float x, float y, float z) { *vector = Vec3{x, y, z}; }

int MTH_PlaneHeightAt(const Vec3* p0, const Vec3* p1, const Vec3* p2, float x, float z) {
    const Vec3 n = Cross(Sub(*p1, *p0), Sub(*p2, *p0));
    if (n.y == 0.0f) return 0;
    const float y = p0->y - (n.x * (x - p0->x) + n.z * (z - p0->z)) / n.y;
    // A nearly vertical plane can give a height outside int (or no number at all); converting
    // that would be undefined, so it is held to the range.
    if (std::isnan(y)) return 0;
    if (y >= 2147483648.0f) return INT_MAX;
    if (y <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(y);
}

void MTH_VectorLerp(Vec3* out, const Vec3* a, const Vec3* b, float t) {
    const float u = 1.0f - t;
    *out = Vec3{t * a->x + u * b->x, t * a->y + u * b->y, t * a->z + u * b->z};
}

void MTH_VectorNegate(Vec3* vector) { *vector = Vec3{-vector->x, -vector->y, -vector->z}; }

int MTH_SegmentTriangleHit(Vec3* out, const Vec3* a, const Vec3* b, const Vec3* p0, const Vec3* p1,
                           const Vec3* p2) {
    const Vec3 n = Cross(Sub(*p1, *p0), Sub(*p2, *p0));
    const Vec3 d = Sub(*b, *a);
    const float denom = Dot(n, d);
    if (std::fabs(denom) < 0.000001f) return 0;
    const float s = Dot(n, Sub(*p0, *a)) / denom;
    const Vec3 start = *a;
    *out = Vec3{start.x + s * d.x, start.y + s * d.y, start.z + s * d.z};
    return s > 0.0f ? 1 : -1;
}

int MTH_PointInTriangle(const Vec3* point, const Vec3* a, const Vec3* b, const Vec3* c) {
    const Vec3 n = Cross(Sub(*b, *a), Sub(*c, *a));
    const float nx = std::fabs(n.x), ny = std::fabs(n.y), nz = std::fabs(n.z);
    // Project along the largest normal component (ties go to y, then z): that view shows the
    // triangle largest.
    auto u = [&](const Vec3& p) { return nx > ny && nx > nz ? p.y : p.x; };
    auto v = [&](const Vec3& p) { return nx > ny && nx > nz ? p.z : (ny >= nz ? p.z : p.y); };
    const Vec3* corner[3] = {a, b, c};
    int sum = 0;
    for (int i = 0; i < 3; ++i) {
        const Vec3& from = *corner[i];
        const Vec3& to = *corner[(i + 1) % 3];
        const float side = (u(to) - u(from)) * (v(*point) - v(from)) - (v(to) - v(from)) * (u(*point) - u(from));
        sum += Sign(side);
    }
    return sum == 3 || sum == -3 ? 1 : 0;
}

int MTH_SegmentCrossesTriangle(const Vec3* a, const Vec3* b, const Vec3* p0, const Vec3* p1,
                               const Vec3* p2) {
    const Vec3 d = Sub(*b, *a);
    const Vec3* corner[3] = {p0, p1, p2};
    int sum = 0;
    for (int i = 0; i < 3; ++i) {
        const Vec3 e0 = Sub(*corner[i], *a);
        const Vec3 e1 = Sub(*corner[(i + 1) % 3], *a);
        sum += Sign(Dot(Cross(e0, e1), d));
    }
    return sum == 3 || sum == -3 ? 1 : 0;
}

void MTH_FormatMathError(int type, char* text, size_t size) {
    static constexpr const char* kNames[] = {"DOMAIN", "SING", "OVERFLOW", "UNDERFLOW", "TLOSS", "PLOSS"};
    if (!text || size == 0) return;
    text[0] = '\0';
    if (type < 1 || type > 6) return;
    // A total loss of precision is reported with the partial loss after it.
    if (type == 5) {
        std::snprintf(text, size, "MATHERR: %s\n\nMATHERR: %s\n\n", kNames[4], kNames[5]);
    } else {
        std::snprintf(text, size, "MATHERR: %s\n\n", kNames[type - 1]);
    }
}

int _matherr(MathException* e) {
    char text[64];
    MTH_FormatMathError(e ? e->type : 0, text, sizeof text);
    return 0;
}

Vec3 MTH_RotateEulerXYZ(const Vec3& v, const Vec3& angle) {
    Vec3 r = v;
    if (angle.x != 0.0f) {
        const float c = std::cos(angle.x), s = std::sin(angle.x);
        r = {r.x, r.y * c - r.z * s, r.y * s + r.z * c};
    }
    if (angle.y != 0.0f) {
        const float c = std::cos(angle.y), s = std::sin(angle.y);
        r = {r.x * c - r.z * s, r.y, r.x * s + r.z * c};
    }
    if (angle.z != 0.0f) {
        const float c = std::cos(angle.z), s = std::sin(angle.z);
        r = {r.x * c - r.y * s, r.x * s + r.y * c, r.z};
    }
    return r;
}
