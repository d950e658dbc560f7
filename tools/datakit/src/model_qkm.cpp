// The skinned model writer (.qkm, versions 1 to 3), the stored form of a key rotation, and the
// boxes of a skinned model worked out from its vertices and keys.
#include "datakit/model_qkm.h"

#include <cmath>
#include <map>

#include "datakit/bytes.h"

namespace dk {

namespace {

// A 3x3 rotation column by column (row i, column j at m[3j + i]), then the translation.
struct Transform {
    float m[12];
};

constexpr Transform kIdentity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};

void Apply(const Transform& t, const float p[3], float out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = t.m[i] * p[0] + t.m[3 + i] * p[1] + t.m[6 + i] * p[2] + t.m[9 + i];
}

// b first, then a.
Transform Compose(const Transform& a, const Transform& b) {
    Transform r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[3 * j + i] = a.m[i] * b.m[3 * j] + a.m[3 + i] * b.m[3 * j + 1] + a.m[6 + i] * b.m[3 * j + 2];
    float t[3];
    Apply(a, &b.m[9], t);
    for (int i = 0; i < 3; ++i) r.m[9 + i] = t[i];
    return r;
}

// The rotation of the quaternion (w, x, y, z).
Transform FromQuat(float w, float x, float y, float z, const float position[3]) {
    return {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 2 * (x * y - w * z),
             1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 2 * (x * z + w * y), 2 * (y * z - w * x),
             1 - 2 * (x * x + y * y), position[0], position[1], position[2]}};
}

// A key's transform relative to the parent: the stored quaternion is the conjugate of the turn.
Transform KeyTransform(const QkmKey& k, bool quat) {
    if (!quat) {
        Transform t;
        for (int i = 0; i < 12; ++i) t.m[i] = k.matrix[i];
        return t;
    }
    return FromQuat(k.rotation[0], -k.rotation[1], -k.rotation[2], -k.rotation[3], k.position);
}

struct Bounds {
    bool any = false;
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    void Add(const float p[3]) {
        for (int i = 0; i < 3; ++i) {
            if (!any || p[i] < lo[i]) lo[i] = p[i];
            if (!any || p[i] > hi[i]) hi[i] = p[i];
        }
        any = true;
    }
    void Add(const Bounds& b) {
        if (!b.any) return;
        Add(b.lo);
        Add(b.hi);
    }
};

uint8_t Quantise(float v, float scale, float offset, bool up) {
    const float q = (v - offset) / scale;
    const float r = up ? std::ceil(q - 1e-4f) : std::floor(q + 1e-4f);
    return uint8_t(r < 0 ? 0 : (r > 255 ? 255 : r));
}

void QuantiseBox(const QkmModel& m, const Bounds& b, uint8_t lo[3], uint8_t hi[3]) {
    for (int i = 0; i < 3; ++i) {
        lo[i] = b.any ? Quantise(b.lo[i], m.scale[i], m.offset[i], false) : 0;
        hi[i] = b.any ? Quantise(b.hi[i], m.scale[i], m.offset[i], true) : 0;
    }
}

Bounds SubtreeBounds(QkmModel* m, const std::map<int32_t, size_t>& byNumber, size_t bone, int frame,
                     const Transform& parent) {
    QkmBone& b = m->bones[bone];
    const Transform world = Compose(parent, KeyTransform(b.keys[size_t(frame)], m->flags & 16));
    Bounds box;
    for (const auto& v : b.vertices) {
        float p[3];
        Apply(world, v.data(), p);
        box.Add(p);
    }
    for (int32_t child : b.children) {
        auto it = byNumber.find(child);
        if (it != byNumber.end()) box.Add(SubtreeBounds(m, byNumber, it->second, frame, world));
    }
    QuantiseBox(*m, box, b.keys[size_t(frame)].boxMin, b.keys[size_t(frame)].boxMax);
    return box;
}

}  // namespace

std::vector<uint8_t> QkmBytes(const QkmModel& m) {
    Bytes b;
    int32_t vertexCount = 0;
    for (const QkmBone& bone : m.bones) vertexCount += int32_t(bone.vertices.size());
    b.str("MKRQ").i32(m.version);
    for (float v : m.scale) b.f32(v);
    for (float v : m.offset) b.f32(v);
    b.f32(m.radius).u32(0).u32(0).u32(0);
    b.i32(vertexCount).u32(0).i32(m.frameCount).u32(m.flags).i32(int32_t(m.animations.size()))
        .i32(int32_t(m.bones.size()));
    for (const ModelAnimationSpec& a : m.animations) b.f32(a.frameTime).i32(a.firstFrame).i32(a.lastFrame).fixed(a.name, 32);
    b.zeros(m.bones.size() * 32);
    const bool quat = m.flags & 16;
    for (const QkmBone& bone : m.bones) {
        const bool mesh = !bone.vertices.empty();
        b.i32(bone.number).i32(int32_t(bone.vertices.size())).fixed(bone.name, 16);
        if (mesh) {
            b.i32(bone.extraA).i32(int32_t(bone.faces.size())).i32(bone.extraB);
            for (size_t v = 0; v < bone.vertices.size(); ++v) {
                for (int i = 0; i < 3; ++i) b.f32(bone.vertices[v][size_t(i)]);
                if (m.flags & 64)
                    for (int i = 0; i < 3; ++i) b.f32(v < bone.vertices2.size() ? bone.vertices2[v][size_t(i)] : 0.0f);
            }
            for (const QkmFace& f : bone.faces) {
                b.u32(f.corner[0]).u32(f.corner[1]).u32(f.corner[2]);
                if ((m.flags & 32) || m.version < 3)
                    for (float n : f.normal) b.f32(n);
                for (float uv : f.uv) b.f32(uv);
            }
        }
        if (m.version >= 2) {
            b.i32(int32_t(bone.children.size()));
            if (mesh) {
                if (m.flags & 8) {
                    for (float v : bone.boxMinF) b.f32(v);
                    for (float v : bone.boxMaxF) b.f32(v);
                } else {
                    b.raw(bone.boxMin, 3).raw(bone.boxMax, 3);
                }
            }
        }
        for (const QkmKey& k : bone.keys) {
            if (m.version == 1 || mesh) b.raw(k.boxMin, 3).raw(k.boxMax, 3);
            if (quat) {
                for (float v : k.position) b.f32(v);
                for (float v : k.rotation) b.f32(v);
            } else {
                for (float v : k.matrix) b.f32(v);
            }
        }
        if (m.version == 1) b.i32(int32_t(bone.children.size()));
        for (int32_t child : bone.children) b.i32(child);
    }
    b.i32(int32_t(m.rootMotion.size()));
    for (const QkmRootMotion& r : m.rootMotion) b.i32(r.frame).f32(r.motion[0]).f32(r.motion[1]).f32(r.motion[2]);
    return b.data;
}

bool WriteQkm(const std::string& path, const QkmModel& model) { return WriteFile(path, QkmBytes(model)); }

void QkmKeyRotation(QkmKey* key, float angle, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    const float s = std::sin(angle * 0.5f) / (length > 0 ? length : 1.0f);
    key->rotation[0] = std::cos(angle * 0.5f);
    key->rotation[1] = -x * s;
    key->rotation[2] = -y * s;
    key->rotation[3] = -z * s;
    // The same turn as a matrix key.
    const Transform t = FromQuat(key->rotation[0], x * s, y * s, z * s, key->position);
    for (int i = 0; i < 9; ++i) key->matrix[i] = t.m[i];
}

void QkmComputeBoxes(QkmModel* m) {
    std::map<int32_t, size_t> byNumber;
    for (size_t i = 0; i < m->bones.size(); ++i) byNumber[m->bones[i].number] = i;
    for (QkmBone& b : m->bones) {
        Bounds own;
        for (const auto& v : b.vertices) own.Add(v.data());
        QuantiseBox(*m, own, b.boxMin, b.boxMax);
        for (int i = 0; i < 3; ++i) {
            b.boxMinF[i] = own.lo[i];
            b.boxMaxF[i] = own.hi[i];
        }
    }
    if (m->bones.empty()) return;
    for (int f = 0; f < m->frameCount; ++f) SubtreeBounds(m, byNumber, 0, f, kIdentity);
}

}  // namespace dk
