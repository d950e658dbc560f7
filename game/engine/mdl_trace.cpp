// Hit tests against model instances: a sphere against a skinned body's bones, a line against a
// bounding sphere, and a segment against one placed model (faces of a rigid frame, or the bones of
// a skinned body, children first). The traces against the world's bodies are in world/mdl_world.cpp.
#include <cmath>

#include "engine/mdl_internal.h"

namespace {

constexpr float kParallel = 1.0e-6f;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Squared distance from the centre to the box (0 inside) against the squared radius.
bool SphereTouchesBox(const Vec3& c, float radius, const Vec3& lo, const Vec3& hi) {
    float d = 0.0f;
    const float p[3] = {c.x, c.y, c.z}, l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    for (int i = 0; i < 3; ++i) {
        if (p[i] < l[i]) d += (l[i] - p[i]) * (l[i] - p[i]);
        if (p[i] > h[i]) d += (p[i] - h[i]) * (p[i] - h[i]);
    }
    return d <= radius * radius;
}

// Slab test of the segment a..b against the box.
bool SegmentCrossesBox(const Vec3& a, const Vec3& b, const Vec3& lo, const Vec3& hi) {
    float enter = 0.0f, leave = 1.0f;
    const float s[3] = {a.x, a.y, a.z}, e[3] = {b.x, b.y, b.z}, l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    for (int i = 0; i < 3; ++i) {
        const float d = e[i] - s[i];
        if (d == 0.0f) {
            if (s[i] < l[i] || s[i] > h[i]) return false;
            continue;
        }
        float t0 = (l[i] - s[i]) / d, t1 = (h[i] - s[i]) / d;
        if (t0 > t1) std::swap(t0, t1);
        if (t0 > enter) enter = t0;
        if (t1 < leave) leave = t1;
        if (enter > leave) return false;
    }
    return true;
}

// The segment-triangle test: plane by the face normal, 0 <= t < 1, nearer than best, crossing
// point inside the triangle. Writes t on a hit.
bool SegmentHitsFace(const Vec3& a, const Vec3& b, const Vec3& c0, const Vec3& c1, const Vec3& c2,
                     const Vec3& normal, float best, float* t) {
    const Vec3 d = Sub(b, a);
    const float denom = Dot(d, normal);
    if (std::fabs(denom) < kParallel) return false;
    const float s = Dot(Sub(c0, a), normal) / denom;
    if (!(s >= 0.0f && s < 1.0f && s < best)) return false;
    const Vec3 p{a.x + s * d.x, a.y + s * d.y, a.z + s * d.z};
    if (!MTH_PointInTriangle(&p, &c0, &c1, &c2)) return false;
    *t = s;
    return true;
}

void RecordHit(ModelTraceHit* hit, const Vec3& from, const Vec3& to, float t, const Vec3& normal, int32_t bone) {
    hit->t = t;
    hit->point = Vec3{from.x + t * (to.x - from.x), from.y + t * (to.y - from.y), from.z + t * (to.z - from.z)};
    hit->normal = normal;
    hit->hitBone = bone;
    hit->hit = 1;
}

// The bone's own box in bone space: the float box with flag 8, else the quantised one.
void OwnBox(const SkinnedModel* m, const ModelBone& b, Vec3* lo, Vec3* hi) {
    if (m->flags & MDL_SKIN_FLOAT_BOX) {
        *lo = b.boxMinF;
        *hi = b.boxMaxF;
    } else {
        *lo = MDL_Decode(b.boxMin, m->scale, m->offset);
        *hi = MDL_Decode(b.boxMax, m->scale, m->offset);
    }
}

void KeyBox(const ModelInstance* instance, int32_t bone, Vec3* lo, Vec3* hi) {
    const SkinnedModel* m = instance->model.skinned;
    *lo = MDL_Decode(MDL_KeyBoxMin(m, bone, instance->frame), m->scale, m->offset);
    *hi = MDL_Decode(MDL_KeyBoxMax(m, bone, instance->frame), m->scale, m->offset);
}

// Bones are entered only when present, with vertices, and touched in their key box (model
// space); children first; then the bone's own box in bone space.
int HitBone(const ModelInstance* instance, int32_t bone, const Matrix34& parent, const Vec3& centre, float radius,
            Vec3* localOut) {
    const SkinnedModel* m = instance->model.skinned;
    const ModelBone& b = m->bones[bone];
    if (!(instance->boneStates[bone] & MDL_BONE_PRESENT) || b.vertexCount == 0) return -1;
    Vec3 lo, hi;
    KeyBox(instance, bone, &lo, &hi);
    if (!SphereTouchesBox(centre, radius, lo, hi)) return -1;
    Matrix34 local, matrix, inverse;
    MDL_BoneLocalMatrix(m, bone, instance->frame, &local);
    MTH_MatrixMultiply(&matrix, &parent, &local);
    for (int32_t c = 0; c < b.childCount; ++c) {
        const int found = HitBone(instance, b.children[c], matrix, centre, radius, localOut);
        if (found >= 0) return found;
    }
    MTH_MatrixInvertRigid(&inverse, &matrix);
    Vec3 inBone;
    MTH_TransformPoint(&inBone, &centre, &inverse);
    OwnBox(m, b, &lo, &hi);
    if (!SphereTouchesBox(inBone, radius, lo, hi)) return -1;
    if (localOut) *localOut = inBone;
    return bone;
}

int HitTest(const ModelInstance* instance, const Matrix34& placement, const Vec3* point, Vec3* localOut,
            float radius) {
    if (!instance || instance->kind != MDL_KIND_SKINNED || !point) return -1;
    Matrix34 inverse;
    MTH_MatrixInvertRigid(&inverse, &placement);
    Vec3 centre;
    MTH_TransformPoint(&centre, point, &inverse);
    const Matrix34 identity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
    return HitBone(instance, instance->rootBone, identity, centre, radius, localOut);
}

struct TraceSegment {
    Vec3 from, to;   // world
    Vec3 a, b;       // model space
    Matrix34 placement;
};

int TraceRigid(const ModelInstance* instance, const TraceSegment& s, ModelTraceHit* hit) {
    const RigidModel* m = instance->model.rigid;
    const ModelFrame& frame = m->frames[instance->frame];
    if (!SegmentCrossesBox(s.a, s.b, MDL_Decode(frame.boxMin, m->scale, m->offset),
                           MDL_Decode(frame.boxMax, m->scale, m->offset)))
        return -1;
    // Packed frames are decoded corner by corner, so both kinds of frame can be hit.
    for (int32_t i = 0; i < m->faceCount; ++i) {
        const ModelFace& f = m->faces[i];
        const Vec3 c0 = MDL_RigidVertex(m, &frame, f.corner[0]);
        const Vec3 c1 = MDL_RigidVertex(m, &frame, f.corner[1]);
        const Vec3 c2 = MDL_RigidVertex(m, &frame, f.corner[2]);
        float t;
        if (!SegmentHitsFace(s.a, s.b, c0, c1, c2, frame.faceNormals[i], hit->t, &t)) continue;
        Vec3 normal;
        MTH_RotateVector(&normal, &frame.faceNormals[i], &s.placement);
        RecordHit(hit, s.from, s.to, t, normal, MDL_RIGID_HIT_BONE);
        return 0;
    }
    return -1;
}

int TraceBone(const ModelInstance* instance, int32_t bone, const Matrix34& parent, const TraceSegment& s,
              ModelTraceHit* hit) {
    const SkinnedModel* m = instance->model.skinned;
    const ModelBone& b = m->bones[bone];
    if (!(instance->boneStates[bone] & MDL_BONE_PRESENT) || b.vertexCount == 0) return -1;
    Vec3 lo, hi;
    KeyBox(instance, bone, &lo, &hi);
    if (!SegmentCrossesBox(s.a, s.b, lo, hi)) return -1;
    Matrix34 local, matrix, inverse;
    MDL_BoneLocalMatrix(m, bone, instance->frame, &local);
    MTH_MatrixMultiply(&matrix, &parent, &local);
    for (int32_t c = 0; c < b.childCount; ++c) {
        const int found = TraceBone(instance, b.children[c], matrix, s, hit);
        if (found >= 0) return found;
    }
    MTH_MatrixInvertRigid(&inverse, &matrix);
    Vec3 a, z;
    MTH_TransformPoint(&a, &s.a, &inverse);
    MTH_TransformPoint(&z, &s.b, &inverse);
    OwnBox(m, b, &lo, &hi);
    if (!SegmentCrossesBox(a, z, lo, hi)) return -1;
    for (int32_t i = 0; i < b.faceCount; ++i) {
        const ModelBoneFace& f = b.faces[i];
        float t;
        if (!SegmentHitsFace(a, z, b.vertices[f.corner[0]], b.vertices[f.corner[1]], b.vertices[f.corner[2]],
                             f.normal, hit->t, &t))
            continue;
        Matrix34 world;
        MTH_MatrixMultiply(&world, &s.placement, &matrix);
        Vec3 normal;
        MTH_RotateVector(&normal, &f.normal, &world);
        RecordHit(hit, s.from, s.to, t, normal, bone);
        return bone;
    }
    return -1;
}

}  // namespace

int MDL_HitTestSphere(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point, Vec3* localPointOut,
                      float radius) {
    if (!matrix) return -1;
    return HitTest(instance, *matrix, point, localPointOut, radius);
}

int MDL_HitTestSphereQ(const ModelInstance* instance, const Pose* pose, const Vec3* point, Vec3* localPointOut,
                       float radius) {
    if (!pose) return -1;
    Matrix34 placement;
    MTH_PoseToMatrix(pose, &placement);
    return HitTest(instance, placement, point, localPointOut, radius);
}

int MDL_SegmentHitsSphere(const Vec3* from, const Vec3* to, const Vec3* centre, float radius) {
    // The whole line through the segment counts, not only the part between its ends.
    const Vec3 d = Sub(*to, *from), f = Sub(*from, *centre);
    const float a = Dot(d, d), b = 2.0f * Dot(f, d), c = Dot(f, f) - radius * radius;
    return b * b - 4.0f * a * c >= 0.0f ? 1 : 0;
}

int MDL_TraceSegmentPlaced(const ModelPlacement* e, const Vec3* from, const Vec3* to, ModelTraceHit* hit) {
    if (!e) return -1;
    if (!e->instance || !from || !to || !hit) return -1;
    TraceSegment s;
    s.from = *from;
    s.to = *to;
    s.placement = e->placement;
    Matrix34 inverse;
    MTH_MatrixInvertRigid(&inverse, &e->placement);
    MTH_TransformPoint(&s.a, from, &inverse);
    MTH_TransformPoint(&s.b, to, &inverse);
    if (e->instance->kind == MDL_KIND_RIGID) return TraceRigid(e->instance, s, hit);
    const Matrix34 identity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
    return TraceBone(e->instance, e->instance->rootBone, identity, s, hit);
}
