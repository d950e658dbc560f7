// Skinned model files (.qkm): a description of the file's contents and its writer (versions 1, 2
// and 3), and the kit's synthetic skinned models. Header counts come from the vectors.
//
// Layout (little-endian, fields 4 bytes unless stated): "MKRQ", version, scale 3 f32, offset
// 3 f32, radius, 3 unused words, vertexCount (all bones), unused, frameCount, flags,
// animationCount, boneCount (72 bytes); animations of 44 bytes as in .qmd; boneCount x 32 bytes
// skipped; the bones: number, vertexCount, name 16 bytes; with vertices: extraA, faceCount,
// extraB, the vertices (3 f32, and 3 more with flag 64), the faces (3 indices, a stored normal
// 3 f32 with flag 32 or below version 3, then u, v of each corner); from version 2: the child
// count, then with vertices the bone box (6 f32 with flag 8, else 6 bytes); the keys, one per
// frame: a 6-byte box (version 1 always, else only for bones with vertices), then with flag 16
// position 3 f32 and rotation w, x, y, z, else a Matrix34 (12 f32); version 1: the child count
// here; the children's bone numbers. Last the root-motion list: count, then {frame, 3 f32}.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "datakit/model_qmd.h"

namespace dk {

struct QkmFace {
    uint32_t corner[3];
    float normal[3];  // written where the format stores one
    float uv[6];      // u, v of each corner
};

struct QkmKey {
    uint8_t boxMin[3] = {0, 0, 0};
    uint8_t boxMax[3] = {0, 0, 0};
    float position[3] = {0, 0, 0};  // quaternion keys
    float rotation[4] = {1, 0, 0, 0};  // w, x, y, z as stored
    float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};  // matrix keys
};

struct QkmBone {
    int32_t number = 0;
    std::string name;
    int32_t extraA = 0, extraB = 0;
    std::vector<std::vector<float>> vertices;   // 3 floats each
    std::vector<std::vector<float>> vertices2;  // 3 floats each, flag 64
    std::vector<QkmFace> faces;
    uint8_t boxMin[3] = {0, 0, 0};  // bone box, quantised
    uint8_t boxMax[3] = {0, 0, 0};
    float boxMinF[3] = {0, 0, 0};   // bone box, flag 8
    float boxMaxF[3] = {0, 0, 0};
    std::vector<QkmKey> keys;       // one per frame
    std::vector<int32_t> children;  // bone numbers
};

struct QkmRootMotion {
    int32_t frame;
    float motion[3];
};

struct QkmModel {
    int32_t version = 3;
    float scale[3] = {1, 1, 1};
    float offset[3] = {0, 0, 0};
    float radius = 0;
    int32_t frameCount = 1;
    uint32_t flags = 16;
    std::vector<ModelAnimationSpec> animations;
    std::vector<QkmBone> bones;  // in file order
    std::vector<QkmRootMotion> rootMotion;
};

std::vector<uint8_t> QkmBytes(const QkmModel& model);
bool WriteQkm(const std::string& path, const QkmModel& model);

// The stored quaternion of a key whose bone turns by angle (radians) about an axis (x, y, z) in
// its parent's space. The walks use the conjugate of that rotation, so that is what is stored.
void QkmKeyRotation(QkmKey* key, float angle, float x, float y, float z);

// Fills every bone's own box (quantised and float, around its vertices in bone space) and every
// key box (the model-space bounds of the bone and everything below it at that frame, quantised
// outwards) from the vertices and keys, the way the kit's models have them. Bones without
// vertices in their subtree get empty boxes.
void QkmComputeBoxes(QkmModel* model);

// A chain of three bones numbered from 5: "chest" at the origin, "luarm" 10 along x from it,
// "lhand" 10 along x from that; each a box of half size 2 around its origin. Two frames: at frame
// 1 "luarm" is turned 90 degrees about y (so "lhand" is at (10, 0, -10)). One animation "stand"
// over both frames at 0.1 s. Scale 0.25 and offset -32 on every axis. Matrix keys unless flags
// has bit 16.
QkmModel QkmChain(int version, uint32_t flags);

// A small body with the eighteen named bones ("abdomen" the root), the animations the game plays
// (kHumanoidAnimations of datakit/character_animations.h, three frames each: "walk" is number 16
// and "limp" number 34; "run" and "run no weapon" with root motion), float bone boxes, quaternion
// keys and per-vertex normals (flags 8 | 16 | 64).
QkmModel QkmHumanoid();
// The characters' body of the demo install: the humanoid whose "stand" holds one frame and whose
// "walk" (kCharacterWalkFrames) and "run" and "run no weapon" (kCharacterRunFrames) are full
// cycles at the end of the frames, long enough for the footsteps on their later frames.
QkmModel QkmCharacterBody();

}  // namespace dk
