// The pieces both model readers use: the bounded reader, tracked allocations, the animation
// records, and the geometry helpers shared by the loaders, the walks and the queries.
#include <cctype>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "engine/mdl_internal.h"
#include "common/mem.h"

bool MdlReader::Bytes(void* out, size_t n) {
    if (!Has(n)) {
        ok = false;
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, data + pos, n);
    pos += n;
    return true;
}

bool MdlReader::Skip(uint64_t n) {
    if (!Has(n)) {
        ok = false;
        return false;
    }
    pos += size_t(n);
    return true;
}

uint8_t MdlReader::U8() {
    uint8_t b = 0;
    Bytes(&b, 1);
    return b;
}

uint32_t MdlReader::U32() {
    uint8_t b[4];
    if (!Bytes(b, 4)) return 0;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

float MdlReader::F32() {
    const uint32_t v = U32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

bool MDL_ReadStream(MufStream* stream, std::vector<uint8_t>* out) {
    out->clear();
    uint8_t chunk[16384];
    for (;;) {
        const size_t got = MUF_Read(chunk, 1, sizeof chunk, stream);
        if (got == 0) return true;
        if (out->size() + got > MDL_FILE_MAX) return false;
        out->insert(out->end(), chunk, chunk + got);
    }
}

void* MDL_Alloc(uint64_t bytes) {
    if (bytes > 0xFFFFFFF0u) return nullptr;
    return MEM_Alloc(uint32_t(bytes), MEM_TAG_MODEL);
}

int32_t MDL_FrameMs(float frameTime) {
    // Single precision on purpose: 0.7 s gives 700 ms here, 699 in double.
    const float ms = frameTime * 1000.0f;
    return int32_t(ms);
}

bool MDL_AnimationValid(const ModelAnimation& a, int32_t frameCount) {
    if (!std::isfinite(a.frameTime) || a.frameTime < 0.0f || a.frameTime * 1000.0f >= 2147483520.0f) return false;
    return a.firstFrame >= 0 && a.firstFrame <= a.lastFrame && a.lastFrame < frameCount;
}

ModelAnimation* MDL_ReadAnimations(MdlReader* in, int32_t animationCount, int32_t frameCount, int* result) {
    *result = MDL_ERR_MAGIC;
    if (animationCount < 0 || !in->Has(uint64_t(animationCount) * 44)) return nullptr;
    const int32_t n = animationCount ? animationCount : 1;
    auto* animations = static_cast<ModelAnimation*>(MDL_Alloc(uint64_t(n) * sizeof(ModelAnimation)));
    if (!animations) {
        *result = MDL_ERR_MEMORY;
        return nullptr;
    }
    // No records: one animation of frame 0 (zero-filled: 0.0 s, frames 0 to 0, no name).
    for (int32_t i = 0; i < animationCount; ++i) {
        ModelAnimation& a = animations[i];
        a.frameTime = in->F32();
        a.firstFrame = in->I32();
        a.lastFrame = in->I32();
        in->Bytes(a.name, sizeof a.name);
        a.name[sizeof a.name - 1] = '\0';
    }
    for (int32_t i = 0; i < n; ++i) {
        if (!MDL_AnimationValid(animations[i], frameCount)) {
            MEM_Free(animations);
            return nullptr;
        }
    }
    *result = MDL_OK;
    return animations;
}

int MDL_FindAnimation(const ModelAnimation* animations, int32_t count, const char* name) {
    if (!animations || !name) return -1;
    for (int32_t i = 0; i < count; ++i)
        if (strcasecmp(animations[i].name, name) == 0) return i;
    return -1;
}

Vec3 MDL_Decode(const uint8_t bytes[3], const Vec3& scale, const Vec3& offset) {
    return {float(bytes[0]) * scale.x + offset.x, float(bytes[1]) * scale.y + offset.y,
            float(bytes[2]) * scale.z + offset.z};
}

Vec3 MDL_FaceNormal(const Vec3& c0, const Vec3& c1, const Vec3& c2) {
    const Vec3 a{c1.x - c0.x, c1.y - c0.y, c1.z - c0.z};
    const Vec3 b{c2.x - c0.x, c2.y - c0.y, c2.z - c0.z};
    Vec3 n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    // A face without area has no direction: its normal stays zero rather than not-a-number.
    if (length > 0.0f) {
        n.x /= length;
        n.y /= length;
        n.z /= length;
    }
    return n;
}

void MDL_BoneLocalMatrix(const SkinnedModel* model, int32_t bone, int32_t frame, Matrix34* out) {
    const ModelBone& b = model->bones[bone];
    if (b.quatKeys) {
        // The stored rotation is the conjugate of the bone's rotation (as the walks use it), so
        // its transposed matrix is the bone's rotation.
        MTH_PoseToMatrixTransposed(&b.quatKeys[frame].pose, out);
    } else {
        *out = b.matrixKeys[frame].matrix;
    }
}

const uint8_t* MDL_KeyBoxMin(const SkinnedModel* model, int32_t bone, int32_t frame) {
    const ModelBone& b = model->bones[bone];
    return b.quatKeys ? b.quatKeys[frame].boxMin : b.matrixKeys[frame].boxMin;
}

const uint8_t* MDL_KeyBoxMax(const SkinnedModel* model, int32_t bone, int32_t frame) {
    const ModelBone& b = model->bones[bone];
    return b.quatKeys ? b.quatKeys[frame].boxMax : b.matrixKeys[frame].boxMax;
}

Vec3 MDL_RigidVertex(const RigidModel* model, const ModelFrame* frame, uint32_t index) {
    if (frame->packed) {
        const ModelPackedVertex& p = frame->packedVertices[index];
        const uint8_t b[3] = {p.x, p.y, p.z};
        return MDL_Decode(b, model->scale, model->offset);
    }
    const ModelFloatVertex& f = frame->floatVertices[index];
    return {f.x, f.y, f.z};
}

int32_t MDL_FrameCount(const ModelInstance* instance) {
    if (!instance) return 0;
    return instance->kind == MDL_KIND_RIGID ? instance->model.rigid->frameCount : instance->model.skinned->frameCount;
}
