// The rigid model writer (.qmd): every field in file order, little-endian.
#include "datakit/model_qmd.h"

#include "datakit/bytes.h"

namespace dk {

namespace {

void WriteAnimations(Bytes& b, const std::vector<ModelAnimationSpec>& animations) {
    for (const ModelAnimationSpec& a : animations) b.f32(a.frameTime).i32(a.firstFrame).i32(a.lastFrame).fixed(a.name, 32);
}

}  // namespace

std::vector<uint8_t> QmdBytes(const QmdModel& m) {
    Bytes b;
    b.str("DMRQ").i32(m.version);
    for (float v : m.scale) b.f32(v);
    for (float v : m.offset) b.f32(v);
    b.f32(m.radius).f32(0).f32(0).f32(0);
    b.i32(m.textureCount).i32(m.textureWidth).i32(m.textureHeight);
    b.i32(int32_t(m.texCoords.size())).i32(int32_t(m.faces.size())).i32(int32_t(m.frames.size()));
    b.u32(0).u32(m.flags).u32(0).i32(int32_t(m.animations.size())).i32(m.reservedCount);
    WriteAnimations(b, m.animations);
    b.zeros(size_t(m.reservedCount) * 32);
    if (m.flags & 4) b.zeros(64);
    if (m.textureCount) {
        b.zeros(1024);
        for (int32_t i = 0; i < m.textureCount; ++i) b.zeros(4 + size_t(m.textureWidth) * size_t(m.textureHeight));
    }
    for (const QmdTexCoord& t : m.texCoords) b.u32(t.uvFlags).i32(t.s).i32(t.t).u32(0);
    for (const QmdFace& f : m.faces) b.u32(f.side).u32(f.corner[0]).u32(f.corner[1]).u32(f.corner[2]);
    for (const QmdFrame& f : m.frames) {
        b.u32(f.packed ? 1 : 0);
        b.u8(f.boxMin[0]).u8(f.boxMin[1]).u8(f.boxMin[2]).u8(0);
        b.u8(f.boxMax[0]).u8(f.boxMax[1]).u8(f.boxMax[2]).u8(0);
        b.fixed(f.name, 16);
        if (m.flags & 1)
            for (float v : f.blockA) b.f32(v);
        if (m.flags & 2)
            for (float v : f.blockB) b.f32(v);
        for (float v : f.rootMotion) b.f32(v);
        if (f.packed) {
            for (const QmdPackedVertex& v : f.packedVertices) b.u8(v.x).u8(v.y).u8(v.z).u8(v.normal);
        } else {
            for (const QmdVertex& v : f.vertices) b.f32(v.x).f32(v.y).f32(v.z).u8(v.normal);
        }
    }
    return b.data;
}

bool WriteQmd(const std::string& path, const QmdModel& model) { return WriteFile(path, QmdBytes(model)); }

}  // namespace dk
