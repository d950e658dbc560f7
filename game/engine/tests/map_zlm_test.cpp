// The binary map format: a map written out byte by byte from the format's layout, the kit's
// writer against it, every truncation of it, a truncated archive entry, and maps whose counts or
// references do not fit the records they address.
#include <algorithm>
#include <functional>

#include "datakit/muf_writer.h"
#include "map_fixture.h"

namespace maptest {
namespace {

// Two surfaces sharing an edge, an extension, a texture whose suffix fills all 17 bytes, an
// animated material, a point light and an object: field by field in file order.
const Blob kHandZlm = {
    // word (ignored)
    0x78, 0x56, 0x34, 0x12,
    // counts: vertices 4, edges 6, surfaces 2, extensions 1, textures 1, materials 1
    0x04, 0x00, 0x06, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
    // lightCount 1, objectCount 1
    0x01, 0x01, 0x00,
    // texture directory "t\\"
    0x74, 0x5C, 0x00,
    // vertex 1 (0, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // vertex 2 (2, 0, 0)
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // vertex 3 (2, 1, 2)
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40,
    // vertex 4 (0, 1, 2)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40,
    // edge 1: vertex1 1, vertex2 2, otherEdge 0, surface 1
    0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00,
    // edge 2: vertex1 2, vertex2 4, otherEdge 6, surface 1
    0x02, 0x00, 0x04, 0x00, 0x06, 0x00, 0x01, 0x00,
    // edge 3: vertex1 4, vertex2 1, otherEdge 0, surface 1
    0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
    // edge 4: vertex1 2, vertex2 3, otherEdge 0, surface 2
    0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00,
    // edge 5: vertex1 3, vertex2 4, otherEdge 0, surface 2
    0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x00,
    // edge 6: vertex1 4, vertex2 2, otherEdge 2, surface 2
    0x04, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00,
    // surface 1 corner 0: edge 1, r 1, g 0.5, b 0.25
    0x01, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E,
    // surface 1 corner 1: edge 2, r 0.5, g 0.5, b 0.5
    0x02, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F,
    // surface 1 corner 2: edge 3, r 0.25, g 0.25, b 0.25
    0x03, 0x00, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3E,
    // material 1, extension 1
    0x01, 0x00, 0x01, 0x00, 0x00, 0x00,
    // normal (0, 1, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
    // flow (0, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // gravity (0, -9.8, 0)
    0x00, 0x00, 0x00, 0x00, 0xCD, 0xCC, 0x1C, 0xC1, 0x00, 0x00, 0x00, 0x00,
    // resistance 0.5
    0x00, 0x00, 0x00, 0x3F,
    // objectCount 1: object 1
    0x01, 0x00, 0x01, 0x00,
    // lightCount 1: light 1
    0x01, 0x01,
    // surface 2 corner 0: edge 4, r 1, g 1, b 1
    0x04, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // surface 2 corner 1: edge 5, r 1, g 1, b 1
    0x05, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // surface 2 corner 2: edge 6, r 1, g 1, b 1
    0x06, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // material 1, extension 0
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    // normal (0, 1, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
    // flow (1, 0, 0)
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // gravity (0, -1, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x00, 0x00,
    // resistance 0
    0x00, 0x00, 0x00, 0x00,
    // objectCount 0, lightCount 0
    0x00, 0x00, 0x00,
    // extension 1: byteCount 2, bytes AB CD
    0x02, 0x00, 0x00, 0x00, 0xAB, 0xCD,
    // texture 1: fileName "a.bmp"
    0x61, 0x2E, 0x62, 0x6D, 0x70, 0x00,
    // suffix: 17 bytes "ABCDEFGHIJKLMNOPQ", no zero byte
    0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50,
    0x51,
    // mode 1
    0x01, 0x00, 0x00, 0x00,
    // material 1: currentTexture 1, mode 2, lmode 1
    0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
    // frameCount 2, currentFrame 1, frameTime 0.5
    0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x3F,
    // frames 0, 1
    0x00, 0x00, 0x01, 0x00,
    // u0 0, v0 0, u1 1, v1 0, u2 0, v2 1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,
    // uvAnimKind 2
    0x02, 0x00,
    // angle 0.25, r 2, cu 0.5, cv 1
    0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // spare -1, spare 0.25, du 1, dv 0.5
    0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F,
    // ambient colour (0.25, 0.5, 1)
    0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // light 1: type 3, position (1, 1, 1)
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    // unitDirection (0, -1, 0), direction (0, -2, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00,
    // range 2, colour (1, 0.5, 0.25), coneAngle 10
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E,
    0x00, 0x00, 0x20, 0x41,
    // object 1: name "crate", 17 bytes
    0x63, 0x72, 0x61, 0x74, 0x65, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00,
    // type 7, active 1, collisionMode 1, positionRef 1
    0x07, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
    // spinMode 0, angle (0, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // spin (0, 0, 0), surface 1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
    // depth 0, height 1, extent (1, 1, 1)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    0x00, 0x00, 0x80, 0x3F,
    // radius 2, planRadius 1, vertexCount 3
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0x3F, 0x03, 0x00, 0x00, 0x00,
    // vertex 0 (0, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // vertex 1 (1, 0, 0)
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // vertex 2 (0, 1, 0)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
    // surfaceCount 1
    0x01, 0x00, 0x00, 0x00,
    // surface 0: vrefs 0, 1, 2; currentTexture 1
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00,
    // corner 0: r 1, g 1, b 1, u 0, v 0
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00,
    // corner 1: r 0.5, g 0.5, b 0.5, u 1, v 0
    0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    0x00, 0x00, 0x00, 0x00,
    // corner 2: r 0.25, g 0.25, b 0.25, u 0, v 1
    0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x80, 0x3F,
    // hasNormal 1, normal (0, 0, -1)
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xBF,
    // mode 1, lmode 1, frameCount 1, currentFrame 0
    0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00,
    // frameTime 0.25, frames 1
    0x00, 0x00, 0x80, 0x3E, 0x01, 0x00,
    // object lightCount 1: light 1
    0x01, 0x01,
};

// Where the variable-length lists of kHandZlm begin and end.
constexpr size_t kExtensionCountEnd = 307, kExtensionDataEnd = 309;
constexpr size_t kObjectVertexCountEnd = 585, kObjectVerticesEnd = 621;
constexpr size_t kObjectSurfaceCountEnd = 625, kObjectSurfaceMinimumEnd = 725;

// The same map as the kit describes it.
dk::MapData HandMap() {
    dk::MapData m;
    m.word = 0x12345678;
    m.textureDirectory = "t\\";
    m.vertices = {{0, 0, 0}, {2, 0, 0}, {2, 1, 2}, {0, 1, 2}};
    m.edges = {{1, 2, 0, 1}, {2, 4, 6, 1}, {4, 1, 0, 1}, {2, 3, 0, 2}, {3, 4, 0, 2}, {4, 2, 2, 2}};
    dk::MapSurface s1;
    s1.edges = {1, 2, 3};
    s1.red = {1, 0.5f, 0.25f};
    s1.green = {0.5f, 0.5f, 0.25f};
    s1.blue = {0.25f, 0.5f, 0.25f};
    s1.material = 1;
    s1.extension = 1;
    s1.normal = {0, 1, 0};
    s1.resistance = 0.5f;
    s1.objects = {1};
    s1.lights = {1};
    dk::MapSurface s2;
    s2.edges = {4, 5, 6};
    s2.material = 1;
    s2.normal = {0, 1, 0};
    s2.flow = {1, 0, 0};
    s2.gravity = {0, -1, 0};
    m.surfaces = {s1, s2};
    m.extensions = {{0xAB, 0xCD}};
    m.textures = {{"a.bmp", "ABCDEFGHIJKLMNOPQ", 1}};
    dk::MapMaterial mat;
    mat.currentTexture = 1;
    mat.mode = 2;
    mat.lmode = 1;
    mat.currentFrame = 1;
    mat.frameTime = 0.5f;
    mat.frames = {0, 1};
    mat.u = {0, 1, 0};
    mat.v = {0, 0, 1};
    mat.uv = {2, 0.25f, 2, 0.5f, 1, {-1, 0.25f}, 1, 0.5f};
    m.materials = {mat};
    m.ambient = {0.25f, 0.5f, 1};
    dk::MapLight light;
    light.type = 3;
    light.position = {1, 1, 1};
    light.unitDirection = {0, -1, 0};
    light.direction = {0, -2, 0};
    light.range = 2;
    light.colour = {1, 0.5f, 0.25f};
    light.coneAngle = 10;
    m.lights = {light};
    dk::MapObject o;
    o.name = "crate";
    o.type = 7;
    o.positionRef = 1;
    o.surface = 1;
    o.height = 1;
    o.extent = {1, 1, 1};
    o.radius = 2;
    o.planRadius = 1;
    o.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    dk::MapObjectSurface os;
    os.vrefs = {0, 1, 2};
    os.currentTexture = 1;
    os.red = {1, 0.5f, 0.25f};
    os.green = {1, 0.5f, 0.25f};
    os.blue = {1, 0.5f, 0.25f};
    os.u = {0, 1, 0};
    os.v = {0, 0, 1};
    os.hasNormal = 1;
    os.normal = {0, 0, -1};
    os.mode = 1;
    os.lmode = 1;
    os.frameTime = 0.25f;
    os.frames = {1};
    o.surfaces = {os};
    o.lights = {1};
    m.objects = {o};
    return m;
}

bool IsZero(const std::string& value) {
    return value == "0" || value == "-0" || value.empty();
}

class Zlm : public MapFixture {};

TEST_F(Zlm, HandWrittenMapLoadsEveryFieldAsStored) {
    Put("hand.zlm", kHandZlm);
    TRC_TraceEnable(true);
    ASSERT_EQ(Load("hand.zlm"), 1) << refusal;
    EXPECT_EQ(g_MapLoaded, 1);
    const Fields f = Flatten(g_Landscape, true);
    const std::pair<const char*, const char*> want[] = {
        {"directory", "t\\"},        {"name", ""},
        {"camera.x", "0"},            {"fade rate", "0"},
        {"vertexCount", "4"},         {"objectCount", "1"},
        {"vertex 3.x", "2"},          {"vertex 4.z", "2"},
        {"edge 2 vertex2", "4"},      {"edge 2 otherEdge", "6"},
        {"edge 6 surface", "2"},      {"surface 1 edge2", "3"},
        {"surface 1 red0", "1"},      {"surface 1 green0", "0.5"},
        {"surface 1 blue0", "0.25"},  {"surface 1 red1", "0.5"},
        {"surface 1 blue2", "0.25"},  {"surface 1 material", "1"},
        {"surface 1 extension", "1"}, {"surface 1 normal.y", "1"},
        {"surface 1 gravity.y", "-9.80000019"},
        {"surface 1 resistance", "0.5"},
        {"surface 1 objectCount", "1"}, {"surface 1 object 0", "1"},
        {"surface 1 lightCount", "1"}, {"surface 1 light 0", "1"},
        {"surface 1 flags", "2"},     {"surface 1 flags32", "1"},  // lastTime valid, set at load
        {"surface 2 edge0", "4"},     {"surface 2 flow.x", "1"},
        {"surface 2 gravity.y", "-1"}, {"surface 2 objectCount", "0"},
        {"extension 1 byteCount", "2"}, {"extension 1 byte 0", "171"},
        {"extension 1 byte 1", "205"},
        {"texture 1 fileName", "a.bmp"},
        {"texture 1 suffix", "ABCDEFGHIJKLMNOPQ"},  // 17 bytes end the suffix; mode follows
        {"texture 1 mode", "1"},
        {"material 1 currentTexture", "1"}, {"material 1 mode", "2"},
        {"material 1 lmode", "1"},    {"material 1 frameCount", "2"},
        {"material 1 currentFrame", "1"}, {"material 1 frameTime", "0.5"},
        {"material 1 frame 0", "0"},  {"material 1 frame 1", "1"},
        {"material 1 frame 2", "0"},  {"material 1 frame 31", "0"},  // not padded in this format
        {"material 1 u1", "1"},       {"material 1 v2", "1"},
        {"material 1 uvAnimKind", "2"}, {"material 1 uvAnimAngle", "0.25"},
        {"material 1 uvAnimR", "2"},  {"material 1 uvAnimCu", "0.5"},
        {"material 1 uvAnimCv", "1"}, {"material 1 uvAnimSpare0", "-1"},
        {"material 1 uvAnimSpare1", "0.25"}, {"material 1 uvAnimDu", "1"},
        {"material 1 uvAnimDv", "0.5"},
        {"ambient 0", "0.25"},        {"ambient 2", "1"},
        {"light 1 type", "3"},        {"light 1 position.z", "1"},
        {"light 1 unitDirection.y", "-1"}, {"light 1 direction.y", "-2"},
        {"light 1 range", "2"},       {"light 1 colour2", "0.25"},
        {"light 1 coneAngle", "10"},
        {"object 1 name", "crate"},   {"object 1 type", "7"},
        {"object 1 active", "1"},     {"object 1 collisionMode", "1"},
        {"object 1 positionRef", "1"}, {"object 1 surface", "1"},
        {"object 1 height", "1"},     {"object 1 radius", "2"},
        {"object 1 planRadius", "1"}, {"object 1 vertex 2.y", "1"},
        {"object 1 surface 0 vref2", "2"}, {"object 1 surface 0 currentTexture", "1"},
        {"object 1 surface 0 red1", "0.5"}, {"object 1 surface 0 u1", "1"},
        {"object 1 surface 0 v2", "1"}, {"object 1 surface 0 blue2", "0.25"},
        {"object 1 surface 0 hasNormal", "1"}, {"object 1 surface 0 normal.z", "-1"},
        {"object 1 surface 0 mode", "1"}, {"object 1 surface 0 lmode", "1"},
        {"object 1 surface 0 frameTime", "0.25"}, {"object 1 surface 0 frame 0", "1"},
        {"object 1 lightCount", "1"}, {"object 1 light 0", "1"},
    };
    for (const auto& [key, value] : want) {
        ASSERT_TRUE(f.count(key)) << key;
        EXPECT_EQ(f.at(key), value) << key;
    }
    // A .zlm map is used as stored: no object set-up and no lighting run for it.
    for (const std::string& call : TRC_TraceLog()) {
        EXPECT_EQ(call.find("LND_SetUpObject"), std::string::npos);
        EXPECT_EQ(call.find("LND_ComputeStaticLighting"), std::string::npos);
    }
}

TEST_F(Zlm, KitWriterProducesTheHandWrittenBytes) {
    EXPECT_EQ(dk::ZlmBytes(HandMap()), kHandZlm);
}

TEST_F(Zlm, AllZeroFileIsThirtyTwoBytesAndLoadsEmpty) {
    // The word, 15 bytes of counts, the empty directory's zero byte and the ambient colour.
    Put("empty.zlm", Blob(32, 0));
    ASSERT_EQ(Load("empty.zlm"), 1) << refusal;
    const Landscape* l = g_Landscape;
    EXPECT_EQ(l->vertexCount + l->edgeCount + l->surfaceCount + l->extensionCount + l->textureCount, 0);
    EXPECT_EQ(l->materialCount + l->lightCount + l->objectCount, 0);
    ASSERT_NE(l->objects, nullptr);  // one unused record
    ASSERT_NE(g_RenderObjects, nullptr);
    EXPECT_EQ(dk::ZlmBytes(dk::MapData{}), Blob(32, 0));
}

// Every prefix of the file (each an archive entry followed by more data) loads with each field
// as stored or zero, except where the file ends
// inside an object's vertex or surface list or inside extension data: those counts can no
// longer be held against the bytes that follow, and the map is refused.
TEST_F(Zlm, EveryTruncationLoadsWhatWasReadOrIsRefused) {
    Put("full.zlm", kHandZlm);
    ASSERT_EQ(Load("full.zlm"), 1);
    const Fields full = Flatten(g_Landscape);
    MAP_UnloadMap();
    PutCuts(kHandZlm, ".zlm");
    for (size_t n = 0; n < kHandZlm.size(); ++n) {
        SCOPED_TRACE("cut at " + std::to_string(n));
        const bool refused = (n >= kExtensionCountEnd && n < kExtensionDataEnd) ||
                             (n >= kObjectVertexCountEnd && n < kObjectVerticesEnd) ||
                             (n >= kObjectSurfaceCountEnd && n < kObjectSurfaceMinimumEnd);
        const int result = Load(CutName(n, ".zlm"));
        ASSERT_EQ(result, refused ? 0 : 1) << refusal;
        if (refused) {
            EXPECT_NE(refusal.find("beyond the end of the file"), std::string::npos) << refusal;
            EXPECT_EQ(g_Landscape, nullptr);
            continue;
        }
        for (const auto& [key, value] : Flatten(g_Landscape)) {
            ASSERT_TRUE(full.count(key)) << key;
            if (value != full.at(key)) {
                EXPECT_TRUE(IsZero(value)) << key << " = " << value;
            }
        }
    }
}

TEST_F(Zlm, TruncatedArchiveEntryDoesNotReadItsNeighbour) {
    const size_t cut = 400;  // inside the material
    Put("cut.zlm", Blob(kHandZlm.begin(), kHandZlm.begin() + cut));
    ASSERT_EQ(Load("cut.zlm"), 1);
    const Fields onDisk = Flatten(g_Landscape);
    MAP_UnloadMap();
    Blob archive;
    ASSERT_TRUE(dk::MufArchiveBytes({{"maps/cut.zlm", Blob(kHandZlm.begin(), kHandZlm.begin() + cut)},
                                     {"maps/next.zlm", Blob(kHandZlm.begin() + cut, kHandZlm.end())}},
                                    &archive));
    Put("maps.muf", archive);
    ASSERT_EQ(MUF_OpenArchive("maps.muf"), MUF_OK);
    ASSERT_EQ(Load("maps\\cut.zlm"), 1) << refusal;
    EXPECT_EQ(Flatten(g_Landscape), onDisk);
    EXPECT_EQ(g_Landscape->lights[1].coneAngle, 0.0f);  // the neighbour's bytes were not read
}

// A frame count of 0 or less has no frame entries in the file and loads as 0 (an animation
// stopped on its first frame), in every mode, for materials and object surfaces alike.
TEST_F(Zlm, FrameCountOfZeroOrLessHasNoFrameEntries) {
    struct Case {
        const char* what;
        size_t modeAt;     // the record's mode (4 bytes)
        size_t countAt;    // its frameCount (2 bytes)
        size_t framesAt;   // its frame entries, taken out of the file
        size_t frameBytes;
        uint16_t count;
    };
    const Case cases[] = {
        {"material, -1", 338, 346, 354, 4, 0xFFFF},
        {"material, 0", 338, 346, 354, 4, 0},
        {"material, -32768", 338, 346, 354, 4, 0x8000},
        {"object surface, -1", 712, 717, 725, 2, 0xFFFF},
        {"object surface, 0", 712, 717, 725, 2, 0},
        {"object surface, -32768", 712, 717, 725, 2, 0x8000},
    };
    for (const Case& c : cases) {
        for (uint8_t mode : {0, 1, 2}) {
            SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
            Blob bytes = kHandZlm;
            bytes[c.modeAt] = mode;
            bytes[c.countAt] = uint8_t(c.count);
            bytes[c.countAt + 1] = uint8_t(c.count >> 8);
            bytes.erase(bytes.begin() + long(c.framesAt), bytes.begin() + long(c.framesAt + c.frameBytes));
            Put("frames.zlm", bytes);
            ASSERT_EQ(Load("frames.zlm"), 1) << refusal;
            const LandscapeMaterial& m = g_Landscape->materials[1];
            const ObjectSurface& os = g_Landscape->objects[1].objectSurfaces[0];
            const bool material = c.modeAt == 338;
            EXPECT_EQ(material ? m.frameCount : os.frameCount, 0);
            EXPECT_EQ(material ? m.mode : os.mode, mode);
            // What follows the frame count is read in its place.
            EXPECT_EQ(m.u[1], 1.0f);
            EXPECT_EQ(g_Landscape->objects[1].lightCount, 1);
            EXPECT_EQ(g_Landscape->objects[1].lightList[0], 1);
            MAP_UnloadMap();
        }
    }
}

TEST_F(Zlm, HugeOrNegativeListCountsAreRefused) {
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
        const char* reason;
    };
    const Case cases[] = {
        {"extension of 1000 bytes", kExtensionCountEnd - 4, 1000, "extension size beyond the end of the file"},
        {"extension of -1 bytes", kExtensionCountEnd - 4, 0xFFFFFFFF, "extension size beyond the end of the file"},
        {"2^31-1 object vertices", kObjectVertexCountEnd - 4, 0x7FFFFFFF, "object vertex list beyond the end"},
        {"-1 object vertices", kObjectVertexCountEnd - 4, 0xFFFFFFFF, "object vertex list beyond the end"},
        {"1000 object surfaces", kObjectSurfaceCountEnd - 4, 1000, "object surface list beyond the end"},
        {"-5 object surfaces", kObjectSurfaceCountEnd - 4, 0xFFFFFFFB, "object surface list beyond the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Blob bytes = kHandZlm;
        for (int i = 0; i < 4; ++i) bytes[c.at + size_t(i)] = uint8_t(c.value >> (8 * i));
        Put("bad.zlm", bytes);
        EXPECT_EQ(Load("bad.zlm"), 0);
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        EXPECT_EQ(g_Landscape, nullptr);
        EXPECT_EQ(g_MapLoaded, 0);
    }
}

// Counts beyond the fixed lists, names beyond their buffers and references outside their arrays
// refuse the map; the unchanged map loads.
TEST_F(Zlm, OverLimitCountsAndOutOfRangeReferencesAreRefused) {
    struct Case {
        const char* name;
        std::function<void(dk::MapData&)> change;
        const char* reason;  // null: loads
    };
    const Case cases[] = {
        {"unchanged", [](dk::MapData&) {}, nullptr},
        {"32 lights", [](dk::MapData& m) { m.lights.resize(32, m.lights[0]); }, nullptr},
        {"33 lights", [](dk::MapData& m) { m.lights.resize(33, m.lights[0]); }, "more than 32 lights"},
        {"16 objects on a surface", [](dk::MapData& m) { m.surfaces[0].objects.assign(16, 1); }, nullptr},
        {"17 objects on a surface", [](dk::MapData& m) { m.surfaces[0].objects.assign(17, 1); },
         "more than 16 objects on a surface"},
        {"33 lights on a surface", [](dk::MapData& m) { m.surfaces[0].lights.assign(33, 1); },
         "more than 32 lights on a surface"},
        {"32 material frames", [](dk::MapData& m) { m.materials[1].frames.assign(32, 1); }, nullptr},
        {"40 material frames", [](dk::MapData& m) { m.materials[1].frames.assign(40, 1); }, "more than 32 frames"},
        {"40 object surface frames", [](dk::MapData& m) { m.objects[0].surfaces[0].frames.assign(40, 1); },
         "more than 32 frames"},
        {"33 object lights", [](dk::MapData& m) { m.objects[0].lights.assign(33, 1); },
         "more than 32 lights on an object"},
        {"519-byte directory", [](dk::MapData& m) { m.textureDirectory.assign(519, 'd'); }, nullptr},
        {"520-byte directory", [](dk::MapData& m) { m.textureDirectory.assign(520, 'd'); },
         "texture directory too long"},
        {"600-byte directory", [](dk::MapData& m) { m.textureDirectory.assign(600, 'd'); },
         "texture directory too long"},
        {"515-byte file name", [](dk::MapData& m) { m.textures[0].fileName.assign(515, 'f'); }, nullptr},
        {"600-byte file name", [](dk::MapData& m) { m.textures[0].fileName.assign(600, 'f'); },
         "texture file name too long"},
        {"edge vertex", [](dk::MapData& m) { m.edges[2].vertex2 = 5; }, "edge vertex out of range"},
        {"edge surface", [](dk::MapData& m) { m.edges[0].surface = 3; }, "edge surface out of range"},
        {"twin edge", [](dk::MapData& m) { m.edges[0].otherEdge = 7; }, "twin edge out of range"},
        {"twin on the same surface", [](dk::MapData& m) { m.edges[0].otherEdge = 2; },
         "twin edge on the same surface"},
        {"edge that is its own twin", [](dk::MapData& m) { m.edges[3].otherEdge = 4; },
         "twin edge on the same surface"},
        {"surface edge", [](dk::MapData& m) { m.surfaces[1].edges[2] = 7; }, "surface edge out of range"},
        {"surface material", [](dk::MapData& m) { m.surfaces[1].material = 3; }, "surface material out of range"},
        {"surface extension", [](dk::MapData& m) { m.surfaces[0].extension = 2; },
         "surface extension out of range"},
        {"surface object", [](dk::MapData& m) { m.surfaces[0].objects = {2}; }, "surface object out of range"},
        {"surface light", [](dk::MapData& m) { m.surfaces[0].lights = {2}; }, "surface light out of range"},
        {"material texture", [](dk::MapData& m) { m.materials[0].currentTexture = 3; },
         "material texture out of range"},
        {"material frame", [](dk::MapData& m) { m.materials[1].frames = {2, 3}; }, "material frames out of range"},
        {"object position", [](dk::MapData& m) { m.objects[0].positionRef = 5; }, "object position out of range"},
        {"negative object position", [](dk::MapData& m) { m.objects[0].positionRef = -1; },
         "object position out of range"},
        {"object surface", [](dk::MapData& m) { m.objects[0].surface = 3; }, "object surface out of range"},
        {"object vertex reference", [](dk::MapData& m) { m.objects[0].surfaces[0].vrefs[1] = 3; },
         "object surface vertex out of range"},
        {"negative object vertex reference", [](dk::MapData& m) { m.objects[0].surfaces[0].vrefs[0] = -1; },
         "object surface vertex out of range"},
        {"object surface without vertices", [](dk::MapData& m) { m.objects[0].vertices.clear(); },
         "object surface vertex out of range"},
        {"object surface texture", [](dk::MapData& m) { m.objects[0].surfaces[0].currentTexture = 3; },
         "object surface texture out of range"},
        {"object surface frame", [](dk::MapData& m) { m.objects[0].surfaces[0].frames = {3}; },
         "object surface frames out of range"},
        {"object light", [](dk::MapData& m) { m.objects[0].lights = {2}; }, "object light out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dk::MapData map = SquareMap();
        c.change(map);
        Put("case.zlm", dk::ZlmBytes(map));
        const int result = Load("case.zlm");
        if (!c.reason) {
            EXPECT_EQ(result, 1) << refusal;
            continue;
        }
        EXPECT_EQ(result, 0);
        EXPECT_NE(refusal.find(std::string("Map refused: ") + c.reason), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("case.zlm"), std::string::npos);
        EXPECT_EQ(g_Landscape, nullptr);
        EXPECT_EQ(g_RenderObjects, nullptr);
    }
}

}  // namespace
}  // namespace maptest
