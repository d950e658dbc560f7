// A landscape map as the kit's map writers take it: the records of the game's landscape in file
// terms. Arrays are 1-based in the files; here record i is element i - 1 of its vector. Each
// writer takes the fields its format stores and ignores the others.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

using MapVec = std::array<float, 3>;

struct MapEdge {
    uint16_t vertex1 = 0, vertex2 = 0, otherEdge = 0, surface = 0;
};

struct MapSurface {
    std::array<uint16_t, 3> edges{};
    uint16_t material = 0;
    uint32_t extension = 0;
    int32_t object = 0;  // .alm only: read and not used by the game
    MapVec normal{};
    MapVec red{1, 1, 1}, green{1, 1, 1}, blue{1, 1, 1};  // per colour slot
    MapVec flow{};
    MapVec gravity{0.0f, -9.8f, 0.0f};
    float resistance = 0;
    std::vector<uint16_t> objects;  // .zlm: objects overlapping the surface
    std::vector<uint8_t> lights;    // .zlm: lights reaching the surface
};

struct MapTexture {
    std::string fileName;
    std::string suffix;  // .zlm only
    int32_t mode = 0;
};

// The texture-coordinate animation block in the order of the .zlm file.
struct MapUvAnim {
    int16_t kind = 0;
    float angle = 0, r = 0, cu = 0, cv = 0;
    std::array<float, 2> spare{};
    float du = 0, dv = 0;
};

struct MapMaterial {
    uint16_t currentTexture = 0;  // .alm: the texture; others: taken from frames[0] by the reader
    int32_t mode = 0;
    int32_t lmode = 1;
    uint16_t currentFrame = 0;
    float frameTime = 0;
    std::vector<uint16_t> frames;  // the frame count is frames.size()
    std::array<float, 3> u{}, v{};
    MapUvAnim uv;
};

struct MapLight {
    int32_t type = 1;
    MapVec position{};
    MapVec unitDirection{};  // .zlm only
    MapVec direction{};
    float range = 0;         // .zlm only
    MapVec colour{1, 1, 1};
    float coneAngle = 0;
};

struct MapObjectSurface {
    std::array<int32_t, 3> vrefs{};
    uint16_t currentTexture = 0;  // .alm and .zlm
    MapVec red{1, 1, 1}, green{1, 1, 1}, blue{1, 1, 1};
    std::array<float, 3> u{}, v{};
    uint8_t hasNormal = 0;
    MapVec normal{};
    int32_t mode = 0;
    uint8_t lmode = 1;
    uint16_t currentFrame = 0;
    float frameTime = 0;
    std::vector<uint16_t> frames;
};

struct MapObject {
    std::string name;
    int32_t type = 0;
    int32_t active = 1;
    int32_t collisionMode = 1;
    int32_t positionRef = 0;
    int32_t spinMode = 0;
    MapVec angle{}, spin{};
    int32_t surface = 0;
    float depth = 0, height = 0;
    MapVec extent{};
    float radius = 0, planRadius = 0;
    std::vector<MapVec> vertices;
    std::vector<MapObjectSurface> surfaces;
    std::vector<uint8_t> lights;
};

struct MapData {
    uint32_t word = 0;  // .zlm: the leading word, ignored by the game
    int versionMajor = 1, versionMinor = 0;
    std::string textureDirectory;  // text maps write it only when not empty
    std::string mapName;
    MapVec cameraPosition{};
    float cameraYaw = 0, cameraPitch = 0, cameraRadius = 0;
    double cameraHeading = 0;  // .alm
    int32_t fadeMode = 0;
    float fadeThreshold = 0, fadeRate = 0;
    MapVec ambient{}, background{};
    std::vector<MapVec> vertices;
    std::vector<MapEdge> edges;
    std::vector<MapSurface> surfaces;
    std::vector<std::vector<uint8_t>> extensions;
    std::vector<MapTexture> textures;
    std::vector<MapMaterial> materials;
    std::vector<MapLight> lights;
    std::vector<MapObject> objects;
};

}  // namespace dk
