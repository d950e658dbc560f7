// Shared set-up of the model and animation tests: a scratch directory as the current directory
// (model files are read from disk through the archive layer), the tracked heap armed, the clock,
// halt and network state cleared, and a recorder of the meshes the model drawer is handed.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/mdl.h"
#include "common/mth.h"

// A model file's bytes, and a little-endian word written over four of them.
using Blob = std::vector<uint8_t>;
inline void Patch32(Blob* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = uint8_t(v >> (8 * i));
}

// One mesh as the drawer received it, copied out of the scratch arrays.
struct MdlMesh {
    int smooth;
    bool lightCacheIsScratch;  // the scratch light array was passed as the cache
    uint32_t surface;
    Matrix34 matrix;
    RenderTexture* texture;
    std::vector<Vec3> vertices;  // as handed over (before the drawer's matrix)
    std::vector<Vec3> normals;   // smooth drawer: per vertex
    std::vector<ModelTriangle> faces;
    int normalsGiven;
    float radius;

    // A vertex with the drawer's matrix applied.
    Vec3 Placed(uint32_t index) const;
};

class MdlTest : public ::testing::Test {
protected:
    std::filesystem::path root;
    std::filesystem::path oldCwd;
    std::vector<MdlMesh> meshes;

    void SetUp() override;
    void TearDown() override;

    // Writes bytes to name in the scratch directory.
    void Put(const std::string& name, const std::vector<uint8_t>& bytes);
    // Writes and loads a model; fails the test when it is refused.
    ModelInstance* Load(const std::string& name, const std::vector<uint8_t>& bytes);
    // Writes and loads; the MDL_Load result (the instance, if any, is freed).
    int TryLoad(const std::string& name, const std::vector<uint8_t>& bytes);
    // Starts recording the meshes handed to the model drawer (into `meshes`).
    void RecordMeshes();
    // The game clock.
    void SetClock(int32_t previous, int32_t now);
    void Tick(int32_t ms);  // previous = now, now += ms
};

std::vector<uint8_t> MdlFloatBytes(float f);
// Expects two vectors equal within tolerance.
void ExpectNear(const Vec3& actual, const Vec3& expected, float tolerance, const char* what = "");
