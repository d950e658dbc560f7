// The landscape records: a new header's capacities, arrays of one record more than the counts,
// and release of everything a landscape owns.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/lnd.h"

namespace {

TEST(LandscapeModel, NewHeaderHasCapacitiesAndNothingElse) {
    Landscape* l = LND_CreateLandscape();
    ASSERT_NE(l, nullptr);
    struct Capacity {
        const char* name;
        int32_t have, want;
    };
    const Capacity capacities[] = {
        {"vertices", l->vertexCapacity, 50000},    {"edges", l->edgeCapacity, 50000},
        {"surfaces", l->surfaceCapacity, 50000},   {"extensions", l->extensionCapacity, 10000},
        {"textures", l->textureCapacity, 1000},    {"materials", l->materialCapacity, 50000},
        {"lights", l->lightCapacity, 32},          {"objects", l->objectCapacity, 5000},
    };
    for (const Capacity& c : capacities) EXPECT_EQ(c.have, c.want) << c.name;
    EXPECT_EQ(l->vertexCount + l->edgeCount + l->surfaceCount + l->objectCount + l->lightCount, 0);
    EXPECT_EQ(l->vertices, nullptr);
    EXPECT_EQ(l->cameraRadius, 0.0f);
    LND_FreeLandscape(l);
    LND_FreeLandscape(nullptr);
}

TEST(LandscapeModel, ArraysHoldOneZeroedRecordMoreThanTheirCount) {
    Landscape* l = LND_CreateLandscape();
    l->vertexCount = 3;
    l->edgeCount = 2;
    l->surfaceCount = 1;
    l->extensionCount = 2;
    l->textureCount = 4;
    l->materialCount = 5;
    l->lightCount = 32;
    l->objectCount = 0;  // still one unused record
    ASSERT_EQ(LND_AllocateArrays(l), 1);
    EXPECT_EQ(l->vertices[3].position.x, 0.0f);
    EXPECT_EQ(l->edges[2].otherEdge, 0);
    EXPECT_EQ(l->surfaces[1].material, 0);
    EXPECT_EQ(l->textures[4].fileName[0], 0);
    EXPECT_EQ(l->materials[5].frameCount, 0);
    EXPECT_EQ(l->lights[32].type, 0);
    ASSERT_NE(l->objects, nullptr);
    EXPECT_EQ(l->objects[0].vertices, nullptr);
    // Owned blocks go with the landscape (the sanitizer build reports any left behind).
    l->extensions[2].byteCount = 8;
    l->extensions[2].data = static_cast<uint8_t*>(MAP_AllocZeroed("extension data", 8));
    l->objects[0].vertexCount = 2;
    l->objects[0].vertices = static_cast<Vec3*>(MAP_AllocZeroed("object vertices", 2 * sizeof(Vec3)));
    // Arrays are made once: a second call would lose what they own.
    EXPECT_EQ(LND_AllocateArrays(l), 0);
    LND_FreeLandscape(l);
}

TEST(LandscapeModel, NegativeObjectCountGetsNoArrays) {
    Landscape* l = LND_CreateLandscape();
    l->objectCount = -1;
    EXPECT_EQ(LND_AllocateArrays(l), 0);
    EXPECT_EQ(l->vertices, nullptr);
    LND_FreeLandscape(l);
}

TEST(LandscapeModel, TextureDirectoryAndSuffix) {
    std::strcpy(g_MapTextureDirectory, "graphics\\textures\\");
    EXPECT_EQ(MAP_GetTextureDirectory(), g_MapTextureDirectory);
    EXPECT_STREQ(MAP_GetTextureSuffix(), "");
    EXPECT_EQ(MAP_AllocZeroed("nothing", 0), nullptr);
    g_MapTextureDirectory[0] = 0;
}

}  // namespace
