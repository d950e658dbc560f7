// Rigid model files (.qmd): a description of the file's contents and its writer, and the kit's
// synthetic rigid models. The header counts are taken from the vectors; frames carry the matrix
// blocks that the model's flags ask for.
//
// Layout (little-endian, fields 4 bytes unless stated): "DMRQ", version, scale 3 f32, offset
// 3 f32, radius, 3 reserved f32, textureCount, textureWidth, textureHeight, vertexCount,
// faceCount, frameCount, reserved, flags, reserved, animationCount, reservedCount (92 bytes);
// animations of 44 bytes (frameTime f32, firstFrame, lastFrame, name 32); reservedCount x 32
// bytes; with flags bit 2 a 64-byte block; with textures a 1024-byte palette and per texture
// 4 + width x height bytes; vertexCount texture coordinates {uvFlags, s, t, 0}; faceCount faces
// {side, 3 vertex indices}; frameCount frames {packed, box min 4 bytes, box max 4 bytes, name 16,
// [block A 16 f32], [block B 16 f32], root motion 3 f32, vertices: packed 4 bytes each (x, y, z,
// normal index) or 13 bytes each (x, y, z f32, normal index)}.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

struct ModelAnimationSpec {
    float frameTime;
    int32_t firstFrame;
    int32_t lastFrame;
    std::string name;
};

struct QmdTexCoord {
    uint32_t uvFlags;
    int32_t s, t;
};

struct QmdFace {
    uint32_t side;
    uint32_t corner[3];
};

struct QmdVertex {
    float x, y, z;
    uint8_t normal;
};

struct QmdPackedVertex {
    uint8_t x, y, z, normal;
};

struct QmdFrame {
    bool packed = false;
    uint8_t boxMin[3] = {0, 0, 0};
    uint8_t boxMax[3] = {0, 0, 0};
    std::string name;
    float blockA[16] = {};  // written when the model's flags have bit 0
    float blockB[16] = {};  // written when the model's flags have bit 1
    float rootMotion[3] = {0, 0, 0};
    std::vector<QmdVertex> vertices;              // float frames
    std::vector<QmdPackedVertex> packedVertices;  // packed frames
};

struct QmdModel {
    int32_t version = 7;
    float scale[3] = {1, 1, 1};
    float offset[3] = {0, 0, 0};
    float radius = 0;
    int32_t textureCount = 0;  // the texture block is written as zero bytes
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    uint32_t flags = 0;
    int32_t reservedCount = 0;
    std::vector<ModelAnimationSpec> animations;
    std::vector<QmdTexCoord> texCoords;  // one per vertex
    std::vector<QmdFace> faces;
    std::vector<QmdFrame> frames;
};

std::vector<uint8_t> QmdBytes(const QmdModel& model);
bool WriteQmd(const std::string& path, const QmdModel& model);

// A cube of edge 2 x half centred on the origin: 8 corners, 12 faces, a 64 x 64 skin. Faces are
// wound like the landscape's floors: (c1 - c0) x (c2 - c0) points into the cube. Scale half /
// 127.5 and offset -half on every axis, so the frame box bytes 0 and 255 are the cube's faces.
// frames equal frames, float or packed, each with root motion (0, 0, 1); one animation "spin"
// over all of them at 0.1 s per frame.
QmdModel QmdCube(float half, int frames = 1, bool packed = false);

}  // namespace dk
