// Skinned model files (.qkm): a file written byte by byte from the layout, writer-made models of
// versions 1, 2 and 3 with every flag the loader reads, the load-time derivations (bone slots,
// radii, recomputed normals, named bones, root motion, ground offsets, the "run no weapon" copy)
// and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "datakit/model_qkm.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"

namespace {

// Two bones: "chest" (number 7, a triangle) and its child "lhand" (number 8, no mesh); two frames
// of quaternion keys; a root-motion list whose second entry (frame 0) ends it.
const Blob kHandQkm = {
    0x4D, 0x4B, 0x52, 0x51,  // magic
    0x03, 0x00, 0x00, 0x00,  // version 3
    0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F,  // scale 0.5, 0.5, 0.5
    0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20, 0xC1,  // offset -10, -10, -10
    0x00, 0x00, 0xF0, 0x41,  // radius 30
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 3 unused words
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // vertexCount 3, unused, frameCount 2
    0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // flags 16 (quaternion keys), animationCount 1, boneCount 2
    0xCD, 0xCC, 0x4C, 0x3E, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // animation: frameTime 0.2, frames 0..1
    0x77, 0x61, 0x76, 0x65, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "wave" (32 bytes)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,  // 2 x 32 skipped bytes
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
    0x07, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,  // bone: number 7 (the base), vertexCount 3
    0x63, 0x68, 0x65, 0x73, 0x74, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "chest"
    0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00,  // extraA 11, faceCount 1, extraB 22
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // vertex (0, 0, 0)
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // vertex (2, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,  // vertex (0, 0, 2)
    0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // face corners 0 2 1 (no stored normal at version 3 without flag 32)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,  // uv (0, 0) (0, 1) (1, 0)
    0x01, 0x00, 0x00, 0x00, 0x14, 0x14, 0x14, 0x18, 0x14, 0x18,  // childCount 1; bone box min 20 20 20, max 24 20 24
    0x14, 0x14, 0x14, 0x18, 0x20, 0x18,  // key 0: box min 20 20 20, max 24 32 24
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // position 0, 0, 0
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // rotation w 1, x 0, y 0, z 0
    0x12, 0x10, 0x14, 0x1A, 0x22, 0x18,  // key 1: box min 18 16 20, max 26 34 24
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,  // position 0, 1, 0
    0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F,  // rotation w 0.5, x 0.5, y 0.5, z 0.5
    0x08, 0x00, 0x00, 0x00,  // child: bone number 8
    0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // bone: number 8, vertexCount 0
    0x6C, 0x68, 0x61, 0x6E, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // name "lhand"
    0x00, 0x00, 0x00, 0x00,  // childCount 0 (no bone box: no vertices)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // key 0 (no box): position 0, 5, 0; rotation 1, 0, 0, 0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,  // key 1: position 0, 6, 0; rotation 0, 0, 0, 1
    0x02, 0x00, 0x00, 0x00,  // root motion list: count 2
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x40,  // frame 1: 0, 0, 5
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x41, 0x00, 0x00, 0x10, 0x41, 0x00, 0x00, 0x10, 0x41,  // frame 0 ends the list
// 490
};

class MdlQkm : public MdlTest {};

TEST_F(MdlQkm, HandWrittenFileLoadsToItsRecords) {
    ModelInstance* instance = Load("hand.qkm", kHandQkm);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(instance->kind, MDL_KIND_SKINNED);
    const SkinnedModel* m = instance->model.skinned;
    EXPECT_STREQ(m->name, "hand");
    EXPECT_EQ(m->version, 3);
    EXPECT_FLOAT_EQ(m->radius, 30.0f);
    EXPECT_EQ(m->vertexCount, 3);
    EXPECT_EQ(m->frameCount, 2);
    EXPECT_EQ(m->flags, 16u);
    EXPECT_EQ(m->boneCount, 2);
    EXPECT_STREQ(m->animations[0].name, "wave");
    EXPECT_FLOAT_EQ(m->animations[0].frameTime, 0.2f);

    const ModelBone& chest = m->bones[0];
    EXPECT_STREQ(chest.name, "chest");
    EXPECT_EQ(chest.vertexCount, 3);
    EXPECT_EQ(chest.faceCount, 1);
    EXPECT_EQ(chest.extraA, 11);
    EXPECT_EQ(chest.extraB, 22);
    EXPECT_FLOAT_EQ(chest.radius, 2.0f);
    EXPECT_EQ(chest.vertices2, nullptr);
    ExpectNear(chest.vertices[1], {2, 0, 0}, 0, "vertex 1");
    const ModelBoneFace& face = chest.faces[0];
    EXPECT_EQ(face.corner[1], 2u);
    ExpectNear(face.normal, {0, 1, 0}, 1e-6f, "face normal");
    EXPECT_FLOAT_EQ(face.uv[1][1], 1.0f);
    EXPECT_FLOAT_EQ(face.uv[2][0], 1.0f);
    EXPECT_EQ(chest.childCount, 1);
    EXPECT_EQ(chest.children[0], 1);
    const uint8_t box[6] = {chest.boxMin[0], chest.boxMin[1], chest.boxMin[2], chest.boxMax[0], chest.boxMax[1], chest.boxMax[2]};
    const uint8_t wantBox[6] = {20, 20, 20, 24, 20, 24};
    EXPECT_EQ(std::memcmp(box, wantBox, 6), 0);
    ASSERT_NE(chest.quatKeys, nullptr);
    EXPECT_EQ(chest.matrixKeys, nullptr);
    ExpectNear(chest.quatKeys[1].pose.translation, {0, 1, 0}, 0, "key 1 position");
    EXPECT_FLOAT_EQ(chest.quatKeys[1].pose.rotation.w, 0.5f);
    EXPECT_FLOAT_EQ(chest.quatKeys[1].pose.rotation.z, 0.5f);
    EXPECT_EQ(chest.quatKeys[1].boxMax[1], 34);

    const ModelBone& hand = m->bones[1];
    EXPECT_STREQ(hand.name, "lhand");
    EXPECT_EQ(hand.vertexCount, 0);
    EXPECT_EQ(hand.childCount, 0);
    ExpectNear(hand.quatKeys[1].pose.translation, {0, 6, 0}, 0, "hand key 1");
    EXPECT_FLOAT_EQ(hand.quatKeys[1].pose.rotation.z, 1.0f);

    // The list's frame-0 entry ends it: frame 0 gets no root motion.
    ExpectNear(m->rootMotion[1], {0, 0, 5}, 0, "root motion 1");
    ExpectNear(m->rootMotion[0], {0, 0, 0}, 0, "root motion 0");

    EXPECT_EQ(m->namedBones[MDL_BONE_CHEST], 0);
    EXPECT_EQ(m->namedBones[MDL_BONE_LHAND], 1);
    EXPECT_EQ(m->namedBones[MDL_BONE_HEAD], -1);
    // Lowest y of the root bone's key box over frames 0..1: byte 16 x 0.5 - 10.
    EXPECT_FLOAT_EQ(m->animations[0].groundOffset, -2.0f);
    EXPECT_FLOAT_EQ(ANM_GetGroundOffset(instance), -2.0f);

    EXPECT_EQ(instance->frameMs, 200);
    EXPECT_EQ(instance->boneStates[0], MDL_BONE_PRESENT);
    EXPECT_EQ(instance->boneStates[1], MDL_BONE_PRESENT);
    Vec3 lo, hi;
    MDL_GetCurrentBounds(instance, &lo, &hi);
    ExpectNear(lo, {0, 0, 0}, 0, "bounds min");
    ExpectNear(hi, {2, 6, 2}, 0, "bounds max");
}

// The chain of the kit in every version and flag combination loads to what was written.
// A bone name fills all 16 bytes of its field with no terminator: all 16 characters are kept and
// the bone is found by its whole name, not by the first 15.
TEST_F(MdlQkm, SixteenCharacterBoneNameIsFoundWhole) {
    Blob bytes = kHandQkm;
    const Blob lhand = {0x6C, 0x68, 0x61, 0x6E, 0x64, 0x00};
    const auto at = std::search(bytes.begin(), bytes.end(), lhand.begin(), lhand.end());
    ASSERT_NE(at, bytes.end());
    const std::string full = "leftforearmguard";
    ASSERT_EQ(full.size(), 16u);
    std::copy(full.begin(), full.end(), at);
    ModelInstance* instance = Load("long.qkm", bytes);
    ASSERT_NE(instance, nullptr);
    EXPECT_STREQ(instance->model.skinned->bones[1].name, full.c_str());
    EXPECT_EQ(MDL_FindBone(instance, full.c_str()), 1);
    EXPECT_EQ(MDL_FindBone(instance, "LEFTFOREARMGUARD"), 1);
    EXPECT_EQ(MDL_FindBone(instance, full.substr(0, 15).c_str()), -1);
    EXPECT_EQ(MDL_FindBone(instance, "chest"), 0);
}

TEST_F(MdlQkm, ChainOfEveryVersionAndFlag) {
    struct Case {
        int version;
        uint32_t flags;
    };
    const Case cases[] = {{1, 0}, {1, 16}, {2, 0}, {2, 16}, {2, 8 | 16}, {3, 0}, {3, 16}, {3, 32 | 16},
                          {3, 8}, {3, 64 | 16}, {3, 8 | 16 | 32 | 64}, {4, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " flags " << c.flags);
        const dk::QkmModel w = dk::QkmChain(c.version, c.flags);
        ModelInstance* instance = Load("chain" + std::to_string(c.version) + "_" + std::to_string(c.flags) + ".qkm",
                                       dk::QkmBytes(w));
        ASSERT_NE(instance, nullptr);
        const SkinnedModel* m = instance->model.skinned;
        EXPECT_EQ(m->version, c.version);
        EXPECT_EQ(m->boneCount, 3);
        EXPECT_EQ(m->vertexCount, 24);
        const char* names[3] = {"chest", "luarm", "lhand"};
        for (int b = 0; b < 3; ++b) {
            SCOPED_TRACE(names[b]);
            const ModelBone& bone = m->bones[b];
            EXPECT_STREQ(bone.name, names[b]);
            EXPECT_EQ(bone.vertexCount, 8);
            EXPECT_EQ(bone.faceCount, 12);
            EXPECT_EQ(bone.extraA, 100 + b);
            EXPECT_EQ(bone.extraB, 200 + b);
            EXPECT_EQ(bone.childCount, b < 2 ? 1 : 0);
            if (b < 2) {
                EXPECT_EQ(bone.children[0], b + 1);
            }
            EXPECT_NEAR(bone.radius, 2.0f * std::sqrt(3.0f), 1e-5f);
            EXPECT_EQ(bone.vertices2 != nullptr, (c.flags & 64) != 0);
            if (bone.vertices2) {
                EXPECT_NEAR(std::fabs(bone.vertices2[0].x), 1.0f / std::sqrt(3.0f), 1e-5f);
            }
            // Stored normals (written as 7) are replaced by unit normals of the corners.
            for (int f = 0; f < bone.faceCount; ++f) {
                const Vec3& n = bone.faces[f].normal;
                EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f);
            }
            EXPECT_EQ(bone.quatKeys != nullptr, (c.flags & 16) != 0);
            EXPECT_EQ(bone.matrixKeys != nullptr, (c.flags & 16) == 0);
            // Key boxes: written with every key in version 1, else for bones with vertices.
            const uint8_t* keyMax = bone.quatKeys ? bone.quatKeys[0].boxMax : bone.matrixKeys[0].boxMax;
            EXPECT_EQ(keyMax[0], w.bones[size_t(b)].keys[0].boxMax[0]);
            // The bone's own box: floats with flag 8; bytes otherwise, absent in version 1.
            if (c.flags & 8) {
                ExpectNear(bone.boxMinF, {-2, -2, -2}, 0, "float box");
                ExpectNear(bone.boxMaxF, {2, 2, 2}, 0, "float box");
            } else {
                EXPECT_EQ(bone.boxMax[0], c.version == 1 ? 0 : 136);
            }
        }
        const ModelBone& arm = m->bones[1];
        if (arm.quatKeys) {
            ExpectNear(arm.quatKeys[0].pose.translation, {10, 0, 0}, 0, "arm position");
            EXPECT_NEAR(arm.quatKeys[1].pose.rotation.y, -std::sqrt(0.5f), 1e-6f);
        } else {
            EXPECT_FLOAT_EQ(arm.matrixKeys[1].matrix.m[9], 10.0f);
            EXPECT_NEAR(arm.matrixKeys[1].matrix.m[6], 1.0f, 1e-6f);
        }
        EXPECT_EQ(m->namedBones[MDL_BONE_CHEST], 0);
        EXPECT_EQ(m->namedBones[MDL_BONE_LUARM], 1);
        EXPECT_EQ(m->namedBones[MDL_BONE_LHAND], 2);
        EXPECT_EQ(m->namedBones[MDL_BONE_RSHIN], -1);
    }
}

TEST_F(MdlQkm, RootMotionRunNoWeaponAndStand) {
    ModelInstance* body = Load("female.qkm", dk::QkmBytes(dk::QkmHumanoid()));
    ASSERT_NE(body, nullptr);
    const SkinnedModel* m = body->model.skinned;
    for (int k = 0; k < MDL_NAMED_BONE_COUNT; ++k) EXPECT_EQ(m->namedBones[k], MDL_FindBone(body, kMdlNamedBones[k])) << k;
    EXPECT_EQ(m->namedBones[MDL_BONE_RSHIN], 16);
    EXPECT_EQ(m->namedBones[MDL_BONE_BACK_POS], 11);
    // "run" (frames 6..8) has root motion on frames 7 and 8; "run no weapon" (9..11) gets the same.
    for (int k = 0; k < 3; ++k) ExpectNear(m->rootMotion[9 + k], m->rootMotion[6 + k], 0, "copied");
    EXPECT_FLOAT_EQ(m->rootMotion[10].z, 12.0f);
    EXPECT_FLOAT_EQ(m->animations[0].frameTime, 0.2f) << "stand";
    EXPECT_FLOAT_EQ(m->animations[1].frameTime, 0.1f);
    // The ground offset is the lowest y of the root bone's key box (the whole body) over each
    // animation's frames: the soles, near 0.
    for (int a = 0; a < m->animationCount; ++a) {
        float lowest = 1e6f;
        for (int f = m->animations[a].firstFrame; f <= m->animations[a].lastFrame; ++f) {
            Vec3 lo, hi;
            MDL_GetBoneBounds(body, f, 0, &lo, &hi);
            lowest = std::min(lowest, lo.y);
        }
        EXPECT_FLOAT_EQ(m->animations[a].groundOffset, lowest) << a;
        EXPECT_LE(std::fabs(lowest), 6.0f) << a;
    }

    // "run" shorter than "run no weapon": the copy stops with "run".
    dk::QkmModel w = dk::QkmChain(3, 16);
    w.frameCount = 6;
    for (dk::QkmBone& b : w.bones) b.keys.resize(6, b.keys[0]);
    w.animations = {{0.5f, 0, 0, "stand"}, {0.1f, 1, 2, "RUN"}, {0.1f, 3, 5, "run no weapon"}};
    w.rootMotion = {{1, {1, 0, 0}}, {2, {2, 0, 0}}, {5, {9, 9, 9}}};
    dk::QkmComputeBoxes(&w);
    ModelInstance* runner = Load("runner.qkm", dk::QkmBytes(w));
    ASSERT_NE(runner, nullptr);
    const SkinnedModel* r = runner->model.skinned;
    EXPECT_FLOAT_EQ(r->rootMotion[3].x, 1.0f);
    EXPECT_FLOAT_EQ(r->rootMotion[4].x, 2.0f);
    EXPECT_FLOAT_EQ(r->rootMotion[5].x, 9.0f) << "beyond the end of \"run\": left as it was";
    EXPECT_FLOAT_EQ(r->animations[0].frameTime, 0.2f);

    // Without both run animations nothing is copied and "stand" keeps its frame time.
    w.animations = {{0.5f, 0, 0, "stand"}, {0.1f, 3, 5, "run no weapon"}};
    ModelInstance* walker = Load("walker.qkm", dk::QkmBytes(w));
    ASSERT_NE(walker, nullptr);
    EXPECT_FLOAT_EQ(walker->model.skinned->animations[0].frameTime, 0.5f);
    EXPECT_FLOAT_EQ(walker->model.skinned->rootMotion[3].x, 0.0f);
}

TEST_F(MdlQkm, RootMotionListRules) {
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        float frame1z;
    };
    const Case cases[] = {
        {"count beyond the entries: the frame-0 entry still ends the list", 454, 1000, 5.0f},
        {"an entry for frame = frameCount ends the list at once", 458, 2, 0.0f},
        {"a negative frame ends it too", 458, 0xFFFFFFFF, 0.0f},
        {"count 0: no entries", 454, 0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Blob b = kHandQkm;
        Patch32(&b, c.at, c.value);
        if (c.value == 0) b.resize(458);
        ModelInstance* instance = Load(std::string("list") + std::to_string(&c - cases) + ".qkm", b);
        ASSERT_NE(instance, nullptr);
        EXPECT_FLOAT_EQ(instance->model.skinned->rootMotion[1].z, c.frame1z);
    }
}

TEST_F(MdlQkm, HostileFilesAreRefused) {
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int result;
    };
    const Case cases[] = {
        {"wrong magic", 0, 0x51524B4E, MDL_ERR_MAGIC},
        {"version 0", 4, 0, MDL_ERR_VERSION},
        {"negative vertex count", 48, 0x80000000, MDL_ERR_MAGIC},
        {"no frames", 56, 0, MDL_ERR_MAGIC},
        {"frame count 2^31 - 1", 56, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"matrix keys where quaternion keys are", 60, 0, MDL_ERR_MAGIC},
        {"animation count 2^31 - 1", 64, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"no bones", 68, 0, MDL_ERR_MAGIC},
        {"bone count 2^31", 68, 0x80000000, MDL_ERR_MAGIC},
        {"bone count above the limit", 68, 1001, MDL_ERR_MAGIC},
        {"more bones than the file holds", 68, 3, MDL_ERR_MAGIC},
        {"last frame = frame count", 80, 2, MDL_ERR_MAGIC},
        {"bone vertex count 2^31 - 1", 184, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"negative bone vertex count", 184, 0xFFFFFFFF, MDL_ERR_MAGIC},
        {"face count 2^31 - 1", 208, 0x7FFFFFFF, MDL_ERR_MAGIC},
        {"negative face count", 208, 0xFFFFFFFE, MDL_ERR_MAGIC},
        {"face index = bone vertex count", 256, 3, MDL_ERR_MAGIC},
        {"child count 11", 288, 11, MDL_ERR_MAGIC},
        {"negative child count", 288, 0xFFFFFFFF, MDL_ERR_MAGIC},
        {"child is the bone itself", 366, 7, MDL_ERR_MAGIC},
        {"child beyond the bones", 366, 9, MDL_ERR_MAGIC},
        {"child before the base", 366, 6, MDL_ERR_MAGIC},
        {"second bone's slot beyond the bones", 370, 9, MDL_ERR_MAGIC},
        {"second bone's slot below the base", 370, 0x80000000, MDL_ERR_MAGIC},
        {"second bone in the first bone's slot", 370, 7, MDL_ERR_MAGIC},
        {"first bone number lowest: second bone far beyond", 180, 0x80000000, MDL_ERR_MAGIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Blob b = kHandQkm;
        Patch32(&b, c.at, c.value);
        EXPECT_EQ(TryLoad("bad.qkm", b), c.result);
        EXPECT_EQ(g_SkinnedModelCount, 0);
    }
    MDL_FreeAll();
    EXPECT_EQ(g_MemBytes, 0u) << "a refused file leaves nothing behind";
}

// Bones form a tree: a bone that two parents claim (which would make the walks meet it twice,
// and a file of such bones cost exponential time) is refused.
TEST_F(MdlQkm, ABoneWithTwoParentsIsRefused) {
    dk::QkmModel w = dk::QkmChain(3, 16);
    w.bones[0].children.push_back(7);  // lhand, already the arm's child
    EXPECT_EQ(TryLoad("dag.qkm", dk::QkmBytes(w)), MDL_ERR_MAGIC);
    w.bones[0].children = {6, 6};
    EXPECT_EQ(TryLoad("twice.qkm", dk::QkmBytes(w)), MDL_ERR_MAGIC);
    EXPECT_EQ(g_SkinnedModelCount, 0);
}

// The header's vertex count only sizes the shared vertex buffer: a huge one costs nothing.
TEST_F(MdlQkm, AHugeHeaderVertexCountIsHeldToTheBones) {
    Blob b = kHandQkm;
    Patch32(&b, 48, 0x7FFFFFF0);
    ModelInstance* instance = Load("huge.qkm", b);
    ASSERT_NE(instance, nullptr);
    EXPECT_LT(g_MemBytes, 64u * 1024u);
    ASSERT_NE(MDL_GetVertexBuffer(), nullptr);
}

TEST_F(MdlQkm, EveryTruncationIsRefused) {
    for (size_t size = 0; size < kHandQkm.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(TryLoad("short.qkm", Blob(kHandQkm.begin(), kHandQkm.begin() + long(size))), MDL_ERR_MAGIC);
    }
    // The writer's chain too, in the version whose child count follows the keys.
    const Blob chain = dk::QkmBytes(dk::QkmChain(1, 0));
    for (size_t size = 0; size < chain.size(); size += 7) {
        SCOPED_TRACE(size);
        EXPECT_EQ(TryLoad("short1.qkm", Blob(chain.begin(), chain.begin() + long(size))), MDL_ERR_MAGIC);
    }
    EXPECT_EQ(g_SkinnedModelCount, 0);
    MDL_FreeAll();
    EXPECT_EQ(g_MemBytes, 0u);
}

TEST_F(MdlQkm, CacheLimitAndFreeAll) {
    const Blob chain = dk::QkmBytes(dk::QkmChain(3, 16));
    for (int i = 0; i < MDL_CACHE_MAX; ++i) ASSERT_EQ(TryLoad("c" + std::to_string(i) + ".qkm", chain), MDL_OK) << i;
    EXPECT_EQ(TryLoad("one-more.qkm", chain), MDL_ERR_CACHE_FULL);
    // The rigid cache is separate.
    EXPECT_EQ(TryLoad("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f))), MDL_OK);
    EXPECT_GT(g_ModelTriangleCapacity, 0);
    MDL_FreeAll();
    EXPECT_EQ(g_SkinnedModelCount, 0);
    EXPECT_EQ(g_RigidModelCount, 0);
    EXPECT_EQ(g_ModelTriangleCapacity, 0);
    EXPECT_EQ(g_ModelTriangles, nullptr);
    EXPECT_EQ(MDL_GetVertexBuffer(), nullptr);
    EXPECT_EQ(g_MemBytes, 0u);
}

}  // namespace
