// Synthetic models for the world tests: records built in memory (owned by the harness, not on
// the tracked heap) and put into the model caches under their cache names.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <strings.h>

#include "engine/mdl.h"
#include "world_harness.h"
#include "world_harness_internal.h"

namespace {
constexpr float kFrameTime = 0.1f;

struct SyntheticModel {
    bool skinned = false;
    SkinnedModel skin{};
    RigidModel rigid{};
    std::vector<ModelAnimation> animations;
    std::vector<ModelBone> bones;
    std::vector<BoneKeyMatrix> keys;
    std::vector<Vec3> rootMotion;
    std::vector<ModelFrame> frames;
    std::vector<ModelFloatVertex> vertices;
    std::vector<ModelFace> faces;
    std::vector<Vec3> faceNormals;
};
std::vector<std::unique_ptr<SyntheticModel>> g_Models;

// The file name without directory and extension, as the caches name a model.
void CacheName(const std::string& path, char name[MDL_NAME_MAX]) {
    std::string base = path.substr(path.find_last_of("\\/") == std::string::npos ? 0 : path.find_last_of("\\/") + 1);
    base = base.substr(0, base.find_last_of('.'));
    std::memset(name, 0, MDL_NAME_MAX);
    std::strncpy(name, base.c_str(), MDL_NAME_MAX - 1);
}

template <class T>
void Remove(T** cache, int32_t* count, const T* model) {
    for (int32_t i = 0; i < *count; ++i) {
        if (cache[i] != model)
            continue;
        std::copy(cache + i + 1, cache + *count, cache + i);
        cache[--*count] = nullptr;
        return;
    }
}

void BuildAnimations(SyntheticModel* m, const WhModel& spec) {
    const std::vector<std::string> names = spec.animations.empty() ? std::vector<std::string>{"stand"} : spec.animations;
    for (size_t i = 0; i < names.size(); ++i) {
        ModelAnimation a{};
        a.frameTime = kFrameTime;
        a.firstFrame = a.lastFrame = int32_t(i);
        std::strncpy(a.name, names[i].c_str(), sizeof a.name - 1);
        a.groundOffset = spec.groundOffset;
        m->animations.push_back(a);
    }
}

void BuildSkinned(SyntheticModel* m, const WhModel& spec) {
    SkinnedModel& s = m->skin;
    CacheName(spec.path, s.name);
    s.radius = spec.radius;
    s.frameCount = int32_t(m->animations.size());
    s.animationCount = s.frameCount;
    s.animations = m->animations.data();
    const std::vector<std::string> names = spec.bones.empty() ? std::vector<std::string>{"root"} : spec.bones;
    const Matrix34 identity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
    m->keys.assign(names.size() * size_t(s.frameCount), BoneKeyMatrix{{0, 0, 0}, {0, 0, 0}, identity});
    m->bones.resize(names.size());
    for (size_t b = 0; b < names.size(); ++b) {
        ModelBone& bone = m->bones[b];
        std::strncpy(bone.name, names[b].c_str(), sizeof bone.name - 1);
        bone.matrixKeys = &m->keys[b * size_t(s.frameCount)];
    }
    // Bone 0 is the root of the others (as many as one bone may carry).
    for (size_t b = 1; b < names.size() && m->bones[0].childCount < MDL_MAX_CHILDREN; ++b)
        m->bones[0].children[m->bones[0].childCount++] = int32_t(b);
    s.boneCount = int32_t(names.size());
    s.bones = m->bones.data();
    m->rootMotion.assign(size_t(s.frameCount), Vec3{0, 0, 0});
    s.rootMotion = m->rootMotion.data();
    for (int k = 0; k < MDL_NAMED_BONE_COUNT; ++k) {
        s.namedBones[k] = -1;
        for (size_t b = 0; b < names.size(); ++b)
            if (strcasecmp(names[b].c_str(), kMdlNamedBones[k]) == 0)
                s.namedBones[k] = int32_t(b);
    }
}

// A box of half-size r around the origin: 8 corners, 12 faces wound outward, one frame per
// animation, the frame box decoding to [-r, r] on every axis.
void BuildRigid(SyntheticModel* m, const WhModel& spec) {
    RigidModel& r = m->rigid;
    CacheName(spec.path, r.name);
    const float h = spec.radius;
    for (int i = 0; i < 8; ++i)
        m->vertices.push_back({(i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h, 0});
    const uint32_t quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    auto at = [&](uint32_t i) { return Vec3{m->vertices[i].x, m->vertices[i].y, m->vertices[i].z}; };
    for (const auto& q : quads) {
        for (const auto& tri : {std::array<uint32_t, 3>{q[0], q[1], q[2]}, std::array<uint32_t, 3>{q[0], q[2], q[3]}}) {
            ModelFace face{};
            face.corner[0] = tri[0], face.corner[1] = tri[1], face.corner[2] = tri[2];
            const Vec3 a = at(tri[0]), b = at(tri[1]), c = at(tri[2]);
            const Vec3 u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
            Vec3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            n = Vec3{n.x / length, n.y / length, n.z / length};
            // Outward: away from the centre, which is the origin.
            if (n.x * a.x + n.y * a.y + n.z * a.z < 0.0f) {
                std::swap(face.corner[1], face.corner[2]);
                n = Vec3{-n.x, -n.y, -n.z};
            }
            m->faces.push_back(face);
            m->faceNormals.push_back(n);
        }
    }
    for (size_t f = 0; f < m->animations.size(); ++f) {
        ModelFrame frame{};
        frame.floatVertices = m->vertices.data();
        frame.faceNormals = m->faceNormals.data();
        for (int k = 0; k < 3; ++k)
            frame.boxMin[k] = 0, frame.boxMax[k] = 255;
        m->frames.push_back(frame);
    }
    r.scale = Vec3{2.0f * h / 255.0f, 2.0f * h / 255.0f, 2.0f * h / 255.0f};
    r.offset = Vec3{-h, -h, -h};
    r.radius = spec.radius;
    r.vertexCount = int32_t(m->vertices.size());
    r.faceCount = int32_t(m->faces.size());
    r.frameCount = int32_t(m->frames.size());
    r.animationCount = int32_t(m->animations.size());
    r.animations = m->animations.data();
    r.faces = m->faces.data();
    r.frames = m->frames.data();
}
}  // namespace

void WH_AddModel(const WhModel& spec) {
    auto m = std::make_unique<SyntheticModel>();
    m->skinned = spec.skinned;
    BuildAnimations(m.get(), spec);
    if (spec.skinned) {
        BuildSkinned(m.get(), spec);
        if (g_SkinnedModelCount < MDL_CACHE_MAX)
            g_SkinnedModels[g_SkinnedModelCount++] = &m->skin;
    } else {
        BuildRigid(m.get(), spec);
        if (g_RigidModelCount < MDL_CACHE_MAX)
            g_RigidModels[g_RigidModelCount++] = &m->rigid;
    }
    g_Models.push_back(std::move(m));
}

void WH_DetachModels() {
    for (const auto& m : g_Models) {
        Remove(g_SkinnedModels, &g_SkinnedModelCount, &m->skin);
        Remove(g_RigidModels, &g_RigidModelCount, &m->rigid);
    }
    g_Models.clear();
}
