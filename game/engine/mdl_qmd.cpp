// The rigid model reader (.qmd): the 92-byte header, the animation records, the skipped blocks,
// texture coordinates, faces and frames, with the load-time derivations (radius, face uv, face
// normals per frame). Every count and index is checked against the file and the arrays it
// addresses before use; anything that does not fit refuses the file.
#include <cmath>
#include <cstring>

#include "engine/mdl_internal.h"
#include "common/mem.h"

namespace {

constexpr uint64_t kHeaderBytes = 92;
constexpr uint64_t kAnimationBytes = 44;
constexpr uint64_t kReservedBytes = 32;
constexpr uint64_t kExtraBlockBytes = 64;
constexpr uint64_t kPaletteBytes = 1024;
constexpr uint64_t kTexCoordBytes = 16;
constexpr uint64_t kFaceBytes = 16;
constexpr uint64_t kMatrixBlockBytes = 64;
constexpr float kStartRadius = 50.0f;
constexpr uint8_t kLastNormal = MDL_NORMAL_COUNT - 1;

// A 4 x 4 block written row by row: f[r][c] at 4r + c.
void ReadBlock(MdlReader* in, float f[16]) {
    for (int i = 0; i < 16; ++i) f[i] = in->F32();
}

// Block A is kept transposed (m[3r + c] = f[r][c]), block B as written (m[3c + r] = f[r][c]); the
// translation of both is row 3 times 4.0, and column 3 is dropped.
void BlockToMatrix(const float f[16], bool transposed, Matrix34* m) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m->m[transposed ? 3 * r + c : 3 * c + r] = f[4 * r + c];
    for (int c = 0; c < 3; ++c) m->m[9 + c] = f[12 + c] * 4.0f;
}

// The skipped texture block: a palette, then per texture 4 bytes and width x height texels.
// Computed without overflow: false when it runs past the file.
bool SkipTextures(MdlReader* in, const RigidModel* m) {
    if (m->textureCount == 0) return true;
    const uint64_t texels = uint64_t(m->textureWidth) * uint64_t(m->textureHeight);
    const uint64_t left = in->Left();
    if (left < kPaletteBytes || texels > left) return false;
    const uint64_t each = 4 + texels;
    if (uint64_t(m->textureCount) > (left - kPaletteBytes) / each) return false;
    return in->Skip(kPaletteBytes + uint64_t(m->textureCount) * each);
}

// u or v of a corner: texel over texture size, 0 on an axis of size 0.
float TexelToUv(int32_t texel, int32_t size) { return size ? float(texel) / float(size) : 0.0f; }

int ReadFaces(MdlReader* in, RigidModel* m) {
    if (!in->Has(uint64_t(m->faceCount) * kFaceBytes)) return MDL_ERR_MAGIC;
    m->faces = static_cast<ModelFace*>(MDL_Alloc(uint64_t(m->faceCount) * sizeof(ModelFace)));
    if (m->faceCount && !m->faces) return MDL_ERR_MEMORY;
    for (int32_t i = 0; i < m->faceCount; ++i) {
        ModelFace& f = m->faces[i];
        f.side = in->U32();
        for (uint32_t& c : f.corner) c = in->U32();
        for (int k = 0; k < 3; ++k) {
            if (f.corner[k] >= uint32_t(m->vertexCount)) return MDL_ERR_MAGIC;
            const ModelTexCoord& tc = m->texCoords[f.corner[k]];
            f.uv[k][0] = TexelToUv(tc.s, m->textureWidth);
            f.uv[k][1] = TexelToUv(tc.t, m->textureHeight);
            if (f.side == 0 && (tc.uvFlags & 0x20)) f.uv[k][0] += 0.5f;
        }
    }
    return MDL_OK;
}

int ReadFrame(MdlReader* in, RigidModel* m, ModelFrame* frame) {
    frame->packed = in->U32();
    uint8_t box[4];
    in->Bytes(box, 4);
    std::memcpy(frame->boxMin, box, 3);
    in->Bytes(box, 4);
    std::memcpy(frame->boxMax, box, 3);
    in->Bytes(frame->frameName, sizeof frame->frameName - 1);
    frame->frameName[sizeof frame->frameName - 1] = '\0';
    float block[16];
    if (m->flags & MDL_RIGID_ATTACH_A) {
        frame->attachA = static_cast<Matrix34*>(MDL_Alloc(sizeof(Matrix34)));
        if (!frame->attachA) return MDL_ERR_MEMORY;
        ReadBlock(in, block);
        BlockToMatrix(block, true, frame->attachA);
    }
    if (m->flags & MDL_RIGID_ATTACH_B) {
        frame->attachB = static_cast<Matrix34*>(MDL_Alloc(sizeof(Matrix34)));
        if (!frame->attachB) return MDL_ERR_MEMORY;
        ReadBlock(in, block);
        BlockToMatrix(block, false, frame->attachB);
    }
    frame->rootMotion.x = in->F32();
    frame->rootMotion.y = in->F32();
    frame->rootMotion.z = in->F32();

    const uint64_t count = uint64_t(m->vertexCount);
    if (frame->packed) {
        if (!in->Has(count * 4)) return MDL_ERR_MAGIC;
        frame->packedVertices = static_cast<ModelPackedVertex*>(MDL_Alloc(count * sizeof(ModelPackedVertex)));
        if (count && !frame->packedVertices) return MDL_ERR_MEMORY;
        for (uint64_t i = 0; i < count; ++i) {
            ModelPackedVertex& v = frame->packedVertices[i];
            v.x = in->U8();
            v.y = in->U8();
            v.z = in->U8();
            v.normalIndex = in->U8();
            if (v.normalIndex > kLastNormal) return MDL_ERR_MAGIC;
        }
    } else {
        if (!in->Has(count * 13)) return MDL_ERR_MAGIC;
        frame->floatVertices = static_cast<ModelFloatVertex*>(MDL_Alloc(count * sizeof(ModelFloatVertex)));
        if (count && !frame->floatVertices) return MDL_ERR_MEMORY;
        float farthest = 0.0f;
        for (uint64_t i = 0; i < count; ++i) {
            ModelFloatVertex& v = frame->floatVertices[i];
            v.x = in->F32();
            v.y = in->F32();
            v.z = in->F32();
            v.normalIndex = in->U8();
            if (v.normalIndex > kLastNormal) return MDL_ERR_MAGIC;
            const float d = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
            if (d > farthest) farthest = d;
        }
        // "Not below": an equal distance also takes over.
        if (farthest >= m->radius) m->radius = farthest;
    }
    if (!in->ok) return MDL_ERR_MAGIC;

    frame->faceNormals = static_cast<Vec3*>(MDL_Alloc(uint64_t(m->faceCount) * sizeof(Vec3)));
    if (m->faceCount && !frame->faceNormals) return MDL_ERR_MEMORY;
    for (int32_t i = 0; i < m->faceCount; ++i) {
        const ModelFace& f = m->faces[i];
        frame->faceNormals[i] = MDL_FaceNormal(MDL_RigidVertex(m, frame, f.corner[0]),
                                               MDL_RigidVertex(m, frame, f.corner[1]),
                                               MDL_RigidVertex(m, frame, f.corner[2]));
    }
    return MDL_OK;
}

}  // namespace

int MDL_ReadRigidModel(MdlReader* in, RigidModel* m) {
    if (!in->Has(kHeaderBytes)) return MDL_ERR_MAGIC;
    uint8_t magic[4];
    in->Bytes(magic, 4);
    m->magic = uint32_t(magic[0]) | uint32_t(magic[1]) << 8 | uint32_t(magic[2]) << 16 | uint32_t(magic[3]) << 24;
    m->version = in->I32();
    m->scale = {in->F32(), in->F32(), in->F32()};
    m->offset = {in->F32(), in->F32(), in->F32()};
    m->radius = in->F32();
    for (float& r : m->reserved) r = in->F32();
    m->textureCount = in->I32();
    m->textureWidth = in->I32();
    m->textureHeight = in->I32();
    m->vertexCount = in->I32();
    m->faceCount = in->I32();
    m->frameCount = in->I32();
    m->reserved2 = in->U32();
    m->flags = in->U32();
    m->reserved3 = in->U32();
    m->animationCount = in->I32();
    m->reservedCount = in->I32();
    m->radius = kStartRadius;
    if (std::memcmp(magic, "DMRQ", 4) != 0) return MDL_ERR_MAGIC;
    if (m->version < 7) return MDL_ERR_VERSION;
    if (m->textureCount < 0 || m->textureWidth < 0 || m->textureHeight < 0 || m->vertexCount < 0 ||
        m->faceCount < 0 || m->frameCount < 1 || m->animationCount < 0 || m->reservedCount < 0)
        return MDL_ERR_MAGIC;

    int result = MDL_OK;
    m->animations = MDL_ReadAnimations(in, m->animationCount, m->frameCount, &result);
    if (!m->animations) return result;

    if (!in->Skip(uint64_t(m->reservedCount) * kReservedBytes)) return MDL_ERR_MAGIC;
    if ((m->flags & MDL_RIGID_EXTRA_BLOCK) && !in->Skip(kExtraBlockBytes)) return MDL_ERR_MAGIC;
    if (!SkipTextures(in, m)) return MDL_ERR_MAGIC;

    const uint64_t vertices = uint64_t(m->vertexCount);
    if (!in->Has(vertices * kTexCoordBytes)) return MDL_ERR_MAGIC;
    m->texCoords = static_cast<ModelTexCoord*>(MDL_Alloc(vertices * sizeof(ModelTexCoord)));
    if (vertices && !m->texCoords) return MDL_ERR_MEMORY;
    for (uint64_t i = 0; i < vertices; ++i) {
        m->texCoords[i].uvFlags = in->U32();
        m->texCoords[i].s = in->I32();
        m->texCoords[i].t = in->I32();
        in->U32();
    }
    if (const int r = ReadFaces(in, m); r != MDL_OK) return r;

    // The smallest frame: fixed fields, the matrix blocks it carries, root motion and packed
    // vertices. The count is checked before the frame array is allocated.
    uint64_t smallest = 4 + 4 + 4 + 16 + 12 + vertices * 4;
    if (m->flags & MDL_RIGID_ATTACH_A) smallest += kMatrixBlockBytes;
    if (m->flags & MDL_RIGID_ATTACH_B) smallest += kMatrixBlockBytes;
    if (uint64_t(m->frameCount) > in->Left() / smallest) return MDL_ERR_MAGIC;
    m->frames = static_cast<ModelFrame*>(MDL_Alloc(uint64_t(m->frameCount) * sizeof(ModelFrame)));
    if (!m->frames) return MDL_ERR_MEMORY;
    if (!MDL_GrowTriangleScratch(m->faceCount) || !MDL_GrowVertexScratch(m->vertexCount)) return MDL_ERR_MEMORY;
    for (int32_t i = 0; i < m->frameCount; ++i)
        if (const int r = ReadFrame(in, m, &m->frames[i]); r != MDL_OK) return r;
    return in->ok ? MDL_OK : MDL_ERR_MAGIC;
}

void MDL_FreeRigidModel(RigidModel* m) {
    if (!m) return;
    MEM_Free(m->animations);
    MEM_Free(m->texCoords);
    MEM_Free(m->faces);
    if (m->frames) {
        for (int32_t i = 0; i < m->frameCount; ++i) {
            ModelFrame& f = m->frames[i];
            MEM_Free(f.attachA);
            MEM_Free(f.attachB);
            MEM_Free(f.floatVertices);
            MEM_Free(f.packedVertices);
            MEM_Free(f.faceNormals);
        }
    }
    MEM_Free(m->frames);
    MEM_Free(m);
}
