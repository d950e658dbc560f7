// Rigid model files (.qmd) and the model caches: a file written byte by byte from the layout,
// writer-made models of every variant the loader reads, the load-time derivations (radius, uv,
// face normals, matrix blocks), hostile files, and the cache rules (one read per name, names
// with regard to case, the limit of 99, the messages).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "datakit/model_qmd.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"

namespace {

// 3 vertices, 1 face, a packed frame and a float frame, one reserved record.
const Blob kHandQmd = {
    0x44, 0x4D, 0x52, 0x51,  // magic
    0x07, 0x00, 0x00, 0x00,  // version 7
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x40,  // scale 2, 2, 2
    0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // offset -1, 0, 0
    0x00, 0x00, 0xC6, 0x42,  // radius 99 (ignored)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 3 reserved
    0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,  // textureCount 0, textureWidth 4, textureHeight 4
    0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // vertexCount 3, faceCount 1, frameCount 2
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // reserved, flags 0, reserved
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // animationCount 1, reservedCount 1
    0xCD, 0xCC, 0xCC, 0x3D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // animation: frameTime 0.1, frames 0..1
    0x66, 0x6C, 0x79, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "fly" (32 bytes)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,  // reserved record (32 bytes, skipped)
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
    0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // texcoord 0: uvFlags 0x20, s 0, t 0
    0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // texcoord 1: s 4, t 0
    0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // texcoord 2: s 2, t 4
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // face: side 0, corners 0 1 2
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x02, 0x03, 0x04, 0xAA,  // frame 0: packed; box min 0 0 0; box max 2 3 4
    0x70, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "p0"
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x40,  // root motion 0, 0, 4
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0xA1,  // vertices (0,0,0) n0, (1,0,0) n1, (0,1,0) n161
    0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x05, 0x06, 0x07, 0x00,  // frame 1: float; box min 1 1 1; box max 5 6 7
    0x66, 0x31, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "f1"
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,  // root motion 0, 0, 2
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,  // vertex (0, 0, 0) n5
    0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06,  // vertex (3, 0, 0) n6
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x70, 0x42, 0x07,  // vertex (0, 0, 60) n7
};

class MdlQmd : public MdlTest {};

TEST_F(MdlQmd, HandWrittenFileLoadsToItsRecords) {
    ModelInstance* instance = Load("hand.qmd", kHandQmd);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(instance->kind, MDL_KIND_RIGID);
    const RigidModel* m = instance->model.rigid;
    EXPECT_STREQ(m->name, "hand");
    EXPECT_EQ(m->version, 7);
    ExpectNear(m->scale, {2, 2, 2}, 0, "scale");
    ExpectNear(m->offset, {-1, 0, 0}, 0, "offset");
    EXPECT_EQ(m->vertexCount, 3);
    EXPECT_EQ(m->faceCount, 1);
    EXPECT_EQ(m->frameCount, 2);
    EXPECT_EQ(m->animationCount, 1);
    EXPECT_EQ(m->reservedCount, 1);
    // The stored radius is ignored: 50, raised by the float frame's farthest vertex.
    EXPECT_FLOAT_EQ(m->radius, 60.0f);
    EXPECT_FLOAT_EQ(m->animations[0].frameTime, 0.1f);
    EXPECT_EQ(m->animations[0].firstFrame, 0);
    EXPECT_EQ(m->animations[0].lastFrame, 1);
    EXPECT_STREQ(m->animations[0].name, "fly");
    EXPECT_EQ(m->texCoords[2].uvFlags, 0u);
    EXPECT_EQ(m->texCoords[2].s, 2);
    EXPECT_EQ(m->texCoords[2].t, 4);

    // uv = texel / texture size; corner 0 has uvFlags 0x20 on a face of side 0: u + 0.5.
    const ModelFace& f = m->faces[0];
    EXPECT_EQ(f.side, 0u);
    const float uv[3][2] = {{0.5f, 0.0f}, {1.0f, 0.0f}, {0.5f, 1.0f}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.corner[k], uint32_t(k));
        EXPECT_FLOAT_EQ(f.uv[k][0], uv[k][0]) << k;
        EXPECT_FLOAT_EQ(f.uv[k][1], uv[k][1]) << k;
    }

    const ModelFrame& p = m->frames[0];
    EXPECT_NE(p.packed, 0u);
    EXPECT_STREQ(p.frameName, "p0");
    EXPECT_EQ(p.boxMax[2], 4);
    EXPECT_EQ(p.attachA, nullptr);
    EXPECT_EQ(p.attachB, nullptr);
    ASSERT_NE(p.packedVertices, nullptr);
    EXPECT_EQ(p.packedVertices[2].y, 1);
    EXPECT_EQ(p.packedVertices[2].normalIndex, 161);
    ExpectNear(p.rootMotion, {0, 0, 4}, 0, "packed root motion");
    // Corners decoded as byte x scale + offset: (-1,0,0), (1,0,0), (-1,2,0).
    ExpectNear(p.faceNormals[0], {0, 0, 1}, 1e-6f, "packed normal");

    const ModelFrame& q = m->frames[1];
    EXPECT_EQ(q.packed, 0u);
    ASSERT_NE(q.floatVertices, nullptr);
    EXPECT_FLOAT_EQ(q.floatVertices[2].z, 60.0f);
    EXPECT_EQ(q.floatVertices[1].normalIndex, 6);
    ExpectNear(q.rootMotion, {0, 0, 2}, 0, "float root motion");
    ExpectNear(q.faceNormals[0], {0, -1, 0}, 1e-6f, "float normal");

    Vec3 lo, hi;
    MDL_GetCurrentBounds(instance, &lo, &hi);
    ExpectNear(lo, {-1, 0, 0}, 0, "box min");
    ExpectNear(hi, {3, 6, 8}, 0, "box max");
    EXPECT_EQ(instance->frame, 0);
    EXPECT_EQ(instance->frameMs, 100);
}

// Writer-made models load to what was written, for every header variant the loader reads.
// A frame name fills all 16 bytes of its field with no terminator: all 16 characters are kept.
TEST_F(MdlQmd, SixteenCharacterFrameNameIsKeptWhole) {
    Blob bytes = kHandQmd;
    const Blob p0 = {0x70, 0x30, 0x00, 0x00};
    const auto at = std::search(bytes.begin(), bytes.end(), p0.begin(), p0.end());
    ASSERT_NE(at, bytes.end());
    const std::string full = "walkcycleframe01";
    ASSERT_EQ(full.size(), 16u);
    std::copy(full.begin(), full.end(), at);
    ModelInstance* instance = Load("long.qmd", bytes);
    ASSERT_NE(instance, nullptr);
    EXPECT_STREQ(instance->model.rigid->frames[0].frameName, full.c_str());
    EXPECT_STREQ(instance->model.rigid->frames[1].frameName, "f1");
}

TEST_F(MdlQmd, WriterModelsOfEveryVariantLoad) {
    struct Case {
        const char* name;
        uint32_t flags;
        bool packed;
        int textures;
        int reserved;
        int version;
        bool noAnimations;
    };
    const Case cases[] = {
        {"plain", 0, false, 0, 0, 7, false},      {"packed", 0, true, 0, 0, 7, false},
        {"blocka", 1, false, 0, 0, 7, false},     {"blockb", 2, true, 0, 0, 8, false},
        {"both", 3, false, 0, 2, 7, false},       {"extra", 4, false, 0, 0, 7, false},
        {"texture", 0, false, 1, 0, 7, false},    {"textures", 4, true, 3, 1, 9, false},
        {"noanims", 0, false, 0, 0, 7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dk::QmdModel w = dk::QmdCube(4.0f, 2, c.packed);
        w.version = c.version;
        w.flags = c.flags;
        w.textureCount = c.textures;
        w.textureWidth = w.textureHeight = 4;
        w.reservedCount = c.reserved;
        if (c.noAnimations) w.animations.clear();
        for (dk::QmdFrame& f : w.frames)
            for (int i = 0; i < 16; ++i) {
                f.blockA[i] = float(i + 1);
                f.blockB[i] = float(100 + i);
            }
        ModelInstance* instance = Load(std::string(c.name) + ".qmd", dk::QmdBytes(w));
        ASSERT_NE(instance, nullptr);
        const RigidModel* m = instance->model.rigid;
        EXPECT_EQ(m->version, c.version);
        EXPECT_EQ(m->flags, c.flags);
        EXPECT_EQ(m->vertexCount, 8);
        EXPECT_EQ(m->faceCount, 12);
        // A cube of half size 4 reaches sqrt(48) < 50 from its centre: the radius stays 50.
        EXPECT_FLOAT_EQ(m->radius, 50.0f);
        if (c.noAnimations) {
            EXPECT_EQ(m->animationCount, 0);
            EXPECT_EQ(m->animations[0].firstFrame, 0);
            EXPECT_EQ(m->animations[0].lastFrame, 0);
            EXPECT_FLOAT_EQ(m->animations[0].frameTime, 0.0f);
            EXPECT_STREQ(m->animations[0].name, "");
            EXPECT_EQ(instance->frameMs, 0);
        } else {
            EXPECT_STREQ(m->animations[0].name, "spin");
            EXPECT_EQ(m->animations[0].lastFrame, 1);
        }
        for (int fi = 0; fi < 2; ++fi) {
            const ModelFrame& f = m->frames[fi];
            EXPECT_EQ(f.packed != 0, c.packed);
            EXPECT_EQ(f.attachA != nullptr, (c.flags & 1) != 0);
            EXPECT_EQ(f.attachB != nullptr, (c.flags & 2) != 0);
            // Block A is kept transposed, block B as written; row 3 x 4 is the translation.
            for (int r = 0; r < 3; ++r)
                for (int col = 0; col < 3; ++col) {
                    if (f.attachA) {
                        EXPECT_FLOAT_EQ(f.attachA->m[3 * r + col], float(4 * r + col + 1));
                    }
                    if (f.attachB) {
                        EXPECT_FLOAT_EQ(f.attachB->m[3 * col + r], float(100 + 4 * r + col));
                    }
                }
            if (f.attachA) ExpectNear({f.attachA->m[9], f.attachA->m[10], f.attachA->m[11]}, {52, 56, 60}, 0, "A");
            if (f.attachB) ExpectNear({f.attachB->m[9], f.attachB->m[10], f.attachB->m[11]}, {448, 452, 456}, 0, "B");
            // Every corner comes back where it was written (packed: decoded).
            for (int k = 0; k < 8; ++k) {
                const Vec3 want{(k & 1) ? 4.0f : -4.0f, (k & 2) ? 4.0f : -4.0f, (k & 4) ? 4.0f : -4.0f};
                Vec3 got;
                if (f.packed) {
                    const ModelPackedVertex& v = f.packedVertices[k];
                    got = {v.x * m->scale.x + m->offset.x, v.y * m->scale.y + m->offset.y, v.z * m->scale.z + m->offset.z};
                } else {
                    got = {f.floatVertices[k].x, f.floatVertices[k].y, f.floatVertices[k].z};
                }
                ExpectNear(got, want, 1e-5f, "corner");
            }
        }
    }
}

TEST_F(MdlQmd, FloatFramesRaiseTheRadiusAndZeroTextureSizesGiveUvZero) {
    dk::QmdModel w = dk::QmdCube(40.0f, 2, false);
    // sqrt(3) x 40 = 69.3 from the centre.
    w.textureWidth = 0;
    w.textureHeight = 0;
    w.texCoords[0].uvFlags = 0x20;
    w.faces[0].side = 0;
    ModelInstance* instance = Load("big.qmd", dk::QmdBytes(w));
    ASSERT_NE(instance, nullptr);
    const RigidModel* m = instance->model.rigid;
    EXPECT_NEAR(m->radius, 40.0f * std::sqrt(3.0f), 1e-3f);
    // No division by a zero texture size: uv 0 on that axis, the half-skin move still applies.
    for (int k = 0; k < 3; ++k) {
        const uint32_t corner = m->faces[0].corner[k];
        EXPECT_FLOAT_EQ(m->faces[0].uv[k][0], corner == 0 ? 0.5f : 0.0f);
        EXPECT_FLOAT_EQ(m->faces[0].uv[k][1], 0.0f);
    }
    // The same cube packed keeps 50 however large it is.
    ModelInstance* packed = Load("bigpacked.qmd", dk::QmdBytes(dk::QmdCube(40.0f, 2, true)));
    ASSERT_NE(packed, nullptr);
    EXPECT_FLOAT_EQ(packed->model.rigid->radius, 50.0f);
}

// Files that would index outside an array or read past their end are refused, with nothing kept.
TEST_F(MdlQmd, HostileFilesAreRefused) {
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int result;
    };
    const Case cases[] = {
        {"wrong magic", 0, 0x58524D44, MDL_ERR_MAGIC},
        {"version 6", 4, 6, MDL_ERR_VERSION},
        {"negative texture count", 48, 0xFFFFFFFF, MDL_ERR_MAGIC},
        {"texture count past the file", 48, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"vertex count 2^31 - 1", 60, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"face count 2^31", 64, 0x80000000, MDL_ERR_MAGIC},
        {"face count past the file", 64, 0x10000000, MDL_ERR_MAGIC},
        {"frame count 2^31 - 1", 68, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"no frames", 68, 0, MDL_ERR_MAGIC},
        {"matrix block A missing", 76, 1, MDL_ERR_MAGIC},
        {"animation count 2^31 - 1", 84, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"reserved count past the file", 88, 0x40000000, MDL_ERR_MAGIC},
        {"frame time not a number", 92, 0x7FC00000, MDL_ERR_MAGIC},
        {"negative frame time", 92, 0xBF800000, MDL_ERR_MAGIC},
        {"first frame -1", 96, 0xFFFFFFFF, MDL_ERR_MAGIC},
        {"first frame after last", 96, 2, MDL_ERR_MAGIC},
        {"last frame = frame count", 100, 2, MDL_ERR_MAGIC},
        {"face index = vertex count", 228, 3, MDL_ERR_MAGIC},
        {"face index 2^31", 220, 0x80000000, MDL_ERR_MAGIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Blob b = kHandQmd;
        Patch32(&b, c.at, c.value);
        EXPECT_EQ(TryLoad("bad.qmd", b), c.result);
        EXPECT_EQ(g_RigidModelCount, 0);
    }
    // A light normal index beyond the table (162 entries), packed or float.
    for (size_t at : {size_t(283), size_t(362)}) {
        for (uint8_t index : {uint8_t(162), uint8_t(200), uint8_t(255)}) {
            SCOPED_TRACE(testing::Message() << "normal " << int(index) << " at " << at);
            Blob b = kHandQmd;
            b[at] = index;
            EXPECT_EQ(TryLoad("bad.qmd", b), MDL_ERR_MAGIC);
        }
    }
    // A texture block whose width x height overflows 32 bits.
    Blob b = kHandQmd;
    Patch32(&b, 48, 1);
    Patch32(&b, 52, 0x7FFFFFFF);
    Patch32(&b, 56, 0x7FFFFFFF);
    EXPECT_EQ(TryLoad("bad.qmd", b), MDL_ERR_MAGIC);
    MDL_FreeAll();
    EXPECT_EQ(g_MemBytes, 0u) << "a refused file leaves nothing behind";
}

TEST_F(MdlQmd, EveryTruncationIsRefused) {
    for (size_t size = 0; size < kHandQmd.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(TryLoad("short.qmd", Blob(kHandQmd.begin(), kHandQmd.begin() + long(size))), MDL_ERR_MAGIC);
    }
    EXPECT_EQ(g_RigidModelCount, 0);
    MDL_FreeAll();
    EXPECT_EQ(g_MemBytes, 0u);
    EXPECT_EQ(TryLoad("whole.qmd", kHandQmd), MDL_OK);
}

TEST_F(MdlQmd, CacheReadsEachNameOnceWithRegardToCase) {
    const Blob cube = dk::QmdBytes(dk::QmdCube(1.0f));
    ModelInstance* a = Load("cube.qmd", cube);
    // The file is gone, yet the second load finds the model in the cache.
    std::filesystem::remove(root / "cube.qmd");
    ModelInstance* b = nullptr;
    ASSERT_EQ(MDL_Load("graphics\\models\\cube.QMD", &b), MDL_OK);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->model.rigid, b->model.rigid);
    EXPECT_EQ(g_RigidModelCount, 1);
    // A name differing in case is another model: it is read again.
    ModelInstance* c = Load("Cube.qmd", cube);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c->model.rigid, a->model.rigid);
    EXPECT_EQ(g_RigidModelCount, 2);
    EXPECT_STREQ(c->model.rigid->name, "Cube");
}

TEST_F(MdlQmd, NamesAndMissingFiles) {
    struct Case {
        const char* path;
        int result;
        bool message;
    };
    const Case cases[] = {
        {"", MDL_ERR_OPEN, false},
        {"noextension", MDL_ERR_OPEN, false},
        {"skin.bmp", MDL_ERR_EXTENSION, false},
        {"dir.qmd\\model", MDL_ERR_EXTENSION, false},
        {"missing.qmd", MDL_ERR_OPEN, true},
        {"missing.qkm", MDL_ERR_OPEN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ModelInstance* instance = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(MDL_Load(c.path, &instance), c.result);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(instance, nullptr);
        EXPECT_EQ(err, c.message ? std::string("Can't Load ") + c.path + "!\n" : "");
    }
    EXPECT_EQ(MDL_Load(nullptr, nullptr), MDL_ERR_OPEN);
}

TEST_F(MdlQmd, TheHundredthModelOfAKindIsRefused) {
    const Blob cube = dk::QmdBytes(dk::QmdCube(1.0f));
    Put("cube.qmd", cube);
    for (int i = 0; i < MDL_CACHE_MAX; ++i) {
        const std::string name = "m" + std::to_string(i) + ".qmd";
        std::filesystem::copy_file(root / "cube.qmd", root / name);
        ModelInstance* instance = nullptr;
        ASSERT_EQ(MDL_Load(name.c_str(), &instance), MDL_OK) << name;
    }
    ModelInstance* instance = nullptr;
    EXPECT_EQ(MDL_Load("cube.qmd", &instance), MDL_ERR_CACHE_FULL);
    EXPECT_EQ(instance, nullptr);
    // Cached names still hand out instances.
    EXPECT_EQ(MDL_Load("m7.qmd", &instance), MDL_OK);
    EXPECT_EQ(g_RigidModelCount, MDL_CACHE_MAX);
    MDL_FreeAll();
    EXPECT_EQ(g_RigidModelCount, 0);
    EXPECT_EQ(MDL_Load("cube.qmd", &instance), MDL_OK);
}

}  // namespace
