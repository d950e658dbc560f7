// The skinned model reader (.qkm): the 72-byte header, the animation records, the bones with
// their meshes, boxes, keys and children (versions 1, 2 and 3 differ in where the child count and
// the boxes are), and the root-motion list; then the derivations that need the first instance.
// A bone's slot is its number minus the first bone's number; slots and children are checked so
// that every slot is filled once, every child comes after its parent (the depth-first order the
// walks rely on) and has no other parent: a tree, which every walk crosses once.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/mdl_internal.h"
#include "common/mem.h"

namespace {

constexpr uint64_t kHeaderBytes = 72;
constexpr uint64_t kSkippedBoneBytes = 32;
constexpr uint64_t kQuatKeyBytes = 28;    // position and rotation, without the box
constexpr uint64_t kMatrixKeyBytes = 48;  // twelve floats, without the box
constexpr uint64_t kKeyBoxBytes = 6;
constexpr uint64_t kRootMotionEntryBytes = 16;

Vec3 ReadVec3(MdlReader* in) { return {in->F32(), in->F32(), in->F32()}; }

int ReadMesh(MdlReader* in, SkinnedModel* m, ModelBone* b) {
    b->extraA = in->I32();
    b->faceCount = in->I32();
    b->extraB = in->I32();
    if (!in->ok || b->faceCount < 0) return MDL_ERR_MAGIC;

    const bool second = m->flags & MDL_SKIN_VERTEX_NORMALS;
    const uint64_t vertices = uint64_t(b->vertexCount);
    if (!in->Has(vertices * (second ? 24 : 12))) return MDL_ERR_MAGIC;
    b->vertices = static_cast<Vec3*>(MDL_Alloc(vertices * sizeof(Vec3)));
    if (!b->vertices) return MDL_ERR_MEMORY;
    if (second) {
        b->vertices2 = static_cast<Vec3*>(MDL_Alloc(vertices * sizeof(Vec3)));
        if (!b->vertices2) return MDL_ERR_MEMORY;
    }
    for (uint64_t i = 0; i < vertices; ++i) {
        const Vec3 v = ReadVec3(in);
        b->vertices[i] = v;
        if (second) b->vertices2[i] = ReadVec3(in);
        const float d = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (d > b->radius) b->radius = d;
    }

    const bool storedNormal = (m->flags & MDL_SKIN_FACE_NORMALS) || m->version < 3;
    const uint64_t faces = uint64_t(b->faceCount);
    if (!in->Has(faces * (storedNormal ? 48 : 36))) return MDL_ERR_MAGIC;
    b->faces = static_cast<ModelBoneFace*>(MDL_Alloc(faces * sizeof(ModelBoneFace)));
    if (faces && !b->faces) return MDL_ERR_MEMORY;
    for (uint64_t i = 0; i < faces; ++i) {
        ModelBoneFace& f = b->faces[i];
        for (uint32_t& c : f.corner) {
            c = in->U32();
            if (c >= uint32_t(b->vertexCount)) return MDL_ERR_MAGIC;
        }
        // A stored normal is read and replaced by the one computed from the corners.
        if (storedNormal) ReadVec3(in);
        for (auto& uv : f.uv) {
            uv[0] = in->F32();
            uv[1] = in->F32();
        }
        f.normal = MDL_FaceNormal(b->vertices[f.corner[0]], b->vertices[f.corner[1]], b->vertices[f.corner[2]]);
    }
    if (!MDL_GrowTriangleScratch(b->faceCount)) return MDL_ERR_MEMORY;
    return in->ok ? MDL_OK : MDL_ERR_MAGIC;
}

void ReadBoneBox(MdlReader* in, const SkinnedModel* m, ModelBone* b) {
    if (m->flags & MDL_SKIN_FLOAT_BOX) {
        b->boxMinF = ReadVec3(in);
        b->boxMaxF = ReadVec3(in);
    } else {
        in->Bytes(b->boxMin, 3);
        in->Bytes(b->boxMax, 3);
    }
}

int ReadKeys(MdlReader* in, const SkinnedModel* m, ModelBone* b) {
    const bool box = m->version == 1 || b->vertexCount > 0;
    const bool quat = m->flags & MDL_SKIN_QUAT_KEYS;
    const uint64_t frames = uint64_t(m->frameCount);
    if (!in->Has(frames * ((quat ? kQuatKeyBytes : kMatrixKeyBytes) + (box ? kKeyBoxBytes : 0)))) return MDL_ERR_MAGIC;
    if (quat) {
        b->quatKeys = static_cast<BoneKeyQuat*>(MDL_Alloc(frames * sizeof(BoneKeyQuat)));
        if (!b->quatKeys) return MDL_ERR_MEMORY;
    } else {
        b->matrixKeys = static_cast<BoneKeyMatrix*>(MDL_Alloc(frames * sizeof(BoneKeyMatrix)));
        if (!b->matrixKeys) return MDL_ERR_MEMORY;
    }
    for (uint64_t i = 0; i < frames; ++i) {
        uint8_t* boxMin = quat ? b->quatKeys[i].boxMin : b->matrixKeys[i].boxMin;
        uint8_t* boxMax = quat ? b->quatKeys[i].boxMax : b->matrixKeys[i].boxMax;
        if (box) {
            in->Bytes(boxMin, 3);
            in->Bytes(boxMax, 3);
        }
        if (quat) {
            Pose& p = b->quatKeys[i].pose;
            p.translation = ReadVec3(in);
            p.rotation.w = in->F32();
            p.rotation.x = in->F32();
            p.rotation.y = in->F32();
            p.rotation.z = in->F32();
        } else {
            for (float& v : b->matrixKeys[i].matrix.m) v = in->F32();
        }
    }
    return in->ok ? MDL_OK : MDL_ERR_MAGIC;
}

// What the bones read so far say: which slots are filled and which have a parent.
struct BoneSlots {
    std::vector<bool> filled;
    std::vector<bool> parented;
};

int ReadBone(MdlReader* in, SkinnedModel* m, int32_t index, int32_t* base, BoneSlots* slots) {
    const int32_t number = in->I32();
    if (index == 0) *base = number;
    const int64_t slot = int64_t(number) - *base;
    if (!in->ok || slot < 0 || slot >= m->boneCount || slots->filled[size_t(slot)]) return MDL_ERR_MAGIC;
    slots->filled[size_t(slot)] = true;
    ModelBone* b = &m->bones[slot];

    b->vertexCount = in->I32();
    in->Bytes(b->name, sizeof b->name - 1);
    b->name[sizeof b->name - 1] = '\0';
    if (!in->ok || b->vertexCount < 0) return MDL_ERR_MAGIC;
    if (b->vertexCount > 0)
        if (const int r = ReadMesh(in, m, b); r != MDL_OK) return r;
    if (m->version >= 2) {
        b->childCount = in->I32();
        if (b->vertexCount > 0) ReadBoneBox(in, m, b);
    }
    if (const int r = ReadKeys(in, m, b); r != MDL_OK) return r;
    if (m->version == 1) b->childCount = in->I32();
    if (!in->ok || b->childCount < 0 || b->childCount > MDL_MAX_CHILDREN) return MDL_ERR_MAGIC;
    for (int32_t c = 0; c < b->childCount; ++c) {
        // Each bone hangs from one parent, so every walk meets it once.
        const int64_t child = int64_t(in->I32()) - *base;
        if (!in->ok || child <= slot || child >= m->boneCount || slots->parented[size_t(child)]) return MDL_ERR_MAGIC;
        slots->parented[size_t(child)] = true;
        b->children[c] = int32_t(child);
    }
    return MDL_OK;
}

}  // namespace

int MDL_ReadSkinnedModel(MdlReader* in, SkinnedModel* m) {
    if (!in->Has(kHeaderBytes)) return MDL_ERR_MAGIC;
    uint8_t magic[4];
    in->Bytes(magic, 4);
    m->magic = uint32_t(magic[0]) | uint32_t(magic[1]) << 8 | uint32_t(magic[2]) << 16 | uint32_t(magic[3]) << 24;
    m->version = in->I32();
    m->scale = ReadVec3(in);
    m->offset = ReadVec3(in);
    m->radius = in->F32();
    for (uint32_t& w : m->unused) w = in->U32();
    m->vertexCount = in->I32();
    m->unused2 = in->U32();
    m->frameCount = in->I32();
    m->flags = in->U32();
    m->animationCount = in->I32();
    m->boneCount = in->I32();
    for (int32_t& slot : m->namedBones) slot = -1;
    if (std::memcmp(magic, "MKRQ", 4) != 0) return MDL_ERR_MAGIC;
    if (m->version < 1) return MDL_ERR_VERSION;
    if (m->vertexCount < 0 || m->frameCount < 1 || m->animationCount < 0 || m->boneCount < 1 ||
        m->boneCount > MDL_MAX_BONES)
        return MDL_ERR_MAGIC;

    int result = MDL_OK;
    m->animations = MDL_ReadAnimations(in, m->animationCount, m->frameCount, &result);
    if (!m->animations) return result;

    // Every bone carries frameCount keys: the counts must fit the file before anything is sized
    // by them.
    const uint64_t key = (m->flags & MDL_SKIN_QUAT_KEYS) ? kQuatKeyBytes : kMatrixKeyBytes;
    const uint64_t bones = uint64_t(m->boneCount);
    if (!in->Has(bones * kSkippedBoneBytes + bones * (24 + uint64_t(m->frameCount) * key))) return MDL_ERR_MAGIC;
    m->rootMotion = static_cast<Vec3*>(MDL_Alloc(uint64_t(m->frameCount) * sizeof(Vec3)));
    if (!m->rootMotion) return MDL_ERR_MEMORY;
    in->Skip(bones * kSkippedBoneBytes);
    m->bones = static_cast<ModelBone*>(MDL_Alloc(bones * sizeof(ModelBone)));
    if (!m->bones) return MDL_ERR_MEMORY;

    BoneSlots slots{std::vector<bool>(size_t(m->boneCount), false), std::vector<bool>(size_t(m->boneCount), false)};
    int32_t base = 0;
    for (int32_t i = 0; i < m->boneCount; ++i) {
        if (const int r = ReadBone(in, m, i, &base, &slots); r != MDL_OK) return r;
    }
    // The shared vertex buffer holds the header's vertex count, but never more than the bones
    // really have (the header's word is not checked against anything else), and at least the
    // largest bone.
    int64_t total = 0;
    int32_t largest = 0;
    for (int32_t i = 0; i < m->boneCount; ++i) {
        total += m->bones[i].vertexCount;
        if (m->bones[i].vertexCount > largest) largest = m->bones[i].vertexCount;
    }
    if (m->vertexCount > largest) largest = int32_t(std::min<int64_t>(m->vertexCount, total));
    if (!MDL_GrowVertexScratch(largest)) return MDL_ERR_MEMORY;

    // The root-motion list ends at its count or at the first entry whose frame is outside
    // 1..frameCount-1; what follows that entry is not read.
    const int32_t count = in->I32();
    for (int32_t i = 0; in->ok && i < count; ++i) {
        if (!in->Has(kRootMotionEntryBytes)) return MDL_ERR_MAGIC;
        const int32_t frame = in->I32();
        const Vec3 motion = ReadVec3(in);
        if (frame < 1 || frame >= m->frameCount) break;
        m->rootMotion[frame] = motion;
    }
    return in->ok ? MDL_OK : MDL_ERR_MAGIC;
}

void MDL_FinishSkinnedModel(SkinnedModel* m, const ModelInstance* instance) {
    const int32_t animations = m->animationCount ? m->animationCount : 1;
    for (int32_t i = 0; i < animations; ++i) {
        ModelAnimation& a = m->animations[i];
        a.groundOffset = 1000000.0f;
        for (int32_t f = a.firstFrame; f <= a.lastFrame; ++f) {
            Vec3 lo, hi;
            MDL_GetBoneBounds(instance, f, instance->rootBone, &lo, &hi);
            if (lo.y < a.groundOffset) a.groundOffset = lo.y;
        }
    }
    const int noWeapon = MDL_FindAnimation(m->animations, animations, "run no weapon");
    const int run = MDL_FindAnimation(m->animations, animations, "run");
    if (noWeapon < 0 || run < 0) return;
    // Frame by frame from the first: as far as the shorter of the two animations reaches.
    const ModelAnimation& to = m->animations[noWeapon];
    const ModelAnimation& from = m->animations[run];
    const int32_t span = std::min(to.lastFrame - to.firstFrame, from.lastFrame - from.firstFrame);
    for (int32_t k = 0; k <= span; ++k) m->rootMotion[to.firstFrame + k] = m->rootMotion[from.firstFrame + k];
    const int stand = MDL_FindAnimation(m->animations, animations, "stand");
    if (stand >= 0) m->animations[stand].frameTime = 0.2f;
}

void MDL_FreeSkinnedModel(SkinnedModel* m) {
    if (!m) return;
    MEM_Free(m->animations);
    MEM_Free(m->rootMotion);
    if (m->bones) {
        for (int32_t i = 0; i < m->boneCount; ++i) {
            ModelBone& b = m->bones[i];
            MEM_Free(b.quatKeys);
            MEM_Free(b.matrixKeys);
            MEM_Free(b.vertices);
            MEM_Free(b.faces);
            MEM_Free(b.vertices2);
        }
    }
    MEM_Free(m->bones);
    MEM_Free(m);
}
