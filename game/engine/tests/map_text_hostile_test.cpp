// Text maps from outside: records whose indices point outside the arrays (refused without any
// lookup through them while the map is read), negative frame counts (no frames), an empty
// texture directory, and a seeded mutation loop over the demo map in the three dialects.
#include <string>

#include "datakit/map_mutants.h"
#include "engine/map_check.h"
#include "map_fixture.h"

namespace maptest {
namespace {

// Two triangles sharing an edge and, after them, an object standing on the first: reading the
// object is where a lookup of the surface under it would walk the edges. Line by line from the
// .blm templates.
const std::string kTwoTriangles =
    "T:\tV=4, E=6, S=2, X=0, F=2, M=1, L=0, O=1\n"
    "V1:\tx = 0, y = 0, z = 0\n"
    "V2:\tx = 100, y = 0, z = 0\n"
    "V3:\tx = 100, y = 0, z = 100\n"
    "V4:\tx = 0, y = 0, z = 100\n"
    "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
    "E2:\tvertices = [2, 4], other edge = 6, surface = 1\n"
    "E3:\tvertices = [4, 1], other edge = 0, surface = 1\n"
    "E4:\tvertices = [2, 3], other edge = 0, surface = 2\n"
    "E5:\tvertices = [3, 4], other edge = 0, surface = 2\n"
    "E6:\tvertices = [4, 2], other edge = 2, surface = 2\n"
    "S1:\tedges = [1, 2, 3], material = 1, flowvector = [0, 0, 0], resistance = 0, gravity = [0, -1, 0], "
    "extension = 0\n"
    "S2:\tedges = [4, 5, 6], material = 1, flowvector = [0, 0, 0], resistance = 0, gravity = [0, -1, 0], "
    "extension = 0\n"
    "F1:\tmode = 0, filename = a.bmp\n"
    "F2:\tmode = 0, filename = b.bmp\n"
    "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 2, frames = [1, 2]\n"
    "O1:\n"
    "{\n"
    "name = box\n"
    "type = 1\n"
    "collision mode = 1\n"
    "position ref = 1\n"
    "vertices = 3\n"
    "V0:\tx = 1, y = 0, z = 1\n"
    "V1:\tx = 2, y = 0, z = 1\n"
    "V2:\tx = 1, y = 1, z = 2\n"
    "surfaces = 1\n"
    "S0:\tvrefs = [0, 1, 2], uv's = [0, 0], [1, 0], [0, 1], lmode = 1, mode = 1, frametime = 0, nframes = 1, "
    "frames = [1]\n"
    "}\n";

// kTwoTriangles with the first occurrence of from replaced by to.
std::string With(const std::string& from, const std::string& to) {
    std::string text = kTwoTriangles;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class TextMapHostile : public MapFixture {};

// Each kind of index a record carries, out of range: the map is refused, and nothing is read or
// written through the index first (the sanitizer build checks every access).
TEST_F(TextMapHostile, EveryOutOfRangeIndexIsRefusedBeforeItIsUsed) {
    PutText("good.blm", kTwoTriangles);
    ASSERT_EQ(Load("good.blm"), 1) << refusal;
    EXPECT_EQ(g_Landscape->objects[1].surface, 1);  // found once the map has been checked
    MAP_UnloadMap();

    struct Case {
        const char* what;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"edge's first vertex", With("E1:\tvertices = [1, 2]", "E1:\tvertices = [65535, 2]"),
         "edge vertex out of range"},
        {"edge's second vertex, just past the end", With("E1:\tvertices = [1, 2]", "E1:\tvertices = [1, 5]"),
         "edge vertex out of range"},
        {"other edge", With("E1:\tvertices = [1, 2], other edge = 0", "E1:\tvertices = [1, 2], other edge = 65535"),
         "twin edge out of range"},
        {"other edge, just past the end",
         With("E3:\tvertices = [4, 1], other edge = 0", "E3:\tvertices = [4, 1], other edge = 7"),
         "twin edge out of range"},
        {"edge's surface", With("E1:\tvertices = [1, 2], other edge = 0, surface = 1",
                                "E1:\tvertices = [1, 2], other edge = 0, surface = 60000"),
         "edge surface out of range"},
        {"surface edge", With("S1:\tedges = [1, 2, 3]", "S1:\tedges = [1, 65535, 3]"), "surface edge out of range"},
        {"surface edge, just past the end", With("S1:\tedges = [1, 2, 3]", "S1:\tedges = [1, 2, 7]"),
         "surface edge out of range"},
        {"object position", With("position ref = 1", "position ref = 50000"), "object position out of range"},
        {"object position, negative", With("position ref = 1", "position ref = -3"), "object position out of range"},
        {"object surface vertex", With("vrefs = [0, 1, 2]", "vrefs = [0, 1, 3]"),
         "object surface vertex out of range"},
        {"object surface vertex, negative", With("vrefs = [0, 1, 2]", "vrefs = [-1, 1, 2]"),
         "object surface vertex out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutText("bad.blm", c.text);
        EXPECT_EQ(Load("bad.blm"), 0);
        EXPECT_NE(refusal.find(std::string("Map refused: ") + c.reason), std::string::npos) << refusal;
        EXPECT_EQ(g_Landscape, nullptr);
    }
}

// A frame count below 0 means no frames: it loads as 0, in every mode, for materials and object
// surfaces, in both dialects that carry frame lists.
TEST_F(TextMapHostile, NegativeFrameCountLoadsAsNoFrames) {
    const std::string material = "mode = 2, frametime = 0.5, nframes = 2, frames = [1, 2]";
    const std::string surface = "mode = 1, frametime = 0, nframes = 1, frames = [1]";
    struct Case {
        const char* what;
        std::string from, to;
        int materialFrames, surfaceFrames;
    };
    const Case cases[] = {
        {"looping material", material, "mode = 2, frametime = 0.5, nframes = -1, frames = []", 0, 1},
        {"once-only material", material, "mode = 1, frametime = 0.5, nframes = -32768, frames = []", 0, 1},
        {"still material", material, "mode = 0, frametime = 0.5, nframes = -5, frames = [1]", 0, 1},
        {"looping object surface", surface, "mode = 2, frametime = 0.5, nframes = -1, frames = []", 2, 0},
        {"object surface far below", surface, "mode = 1, frametime = 0.5, nframes = -2147483648, frames = []", 2, 0},
    };
    for (const char* ext : {".blm", ".clm"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ext);
            std::string text = With(c.from, c.to);
            if (std::string(ext) == ".clm") {
                // The newer dialect adds the texture-coordinate animation and the turning.
                text.replace(text.find("lmode = 1, mode = "), 0, "uv anim = [0][cu = 0, cv = 0, r = 0, du = 0, dv = 0], ");
                text.replace(text.find("position ref = 1\n"), 17, "position ref = 1\nrotations = [0][0, 0, 0]\n");
            }
            const std::string name = std::string("frames") + ext;
            PutText(name, text);
            ASSERT_EQ(Load(name), 1) << refusal;
            EXPECT_EQ(g_Landscape->materials[1].frameCount, c.materialFrames);
            EXPECT_EQ(g_Landscape->objects[1].objectSurfaces[0].frameCount, c.surfaceFrames);
            // The rest of the map is read as before.
            EXPECT_EQ(g_Landscape->objects[1].vertexCount, 3);
            EXPECT_STREQ(g_Landscape->objects[1].name, "box");
            MAP_UnloadMap();
        }
    }
}

// An empty texture directory stays empty; the line after it is read as its own record.
TEST_F(TextMapHostile, EmptyTextureDirectoryLeavesTheNextRecordAlone) {
    struct Case {
        const char* what;
        const char* lines;
        const char* directory;
        const char* name;
    };
    const Case cases[] = {
        {"nothing after the prefix", "D:\tTexture directory = \nN:\tMap name = town\n", "", "town"},
        {"no blank after the '='", "D:\tTexture directory =\nN:\tMap name = town\n", "", "town"},
        {"blanks and CR only", "D:\tTexture directory =   \r\nN:\tMap name = town\r\n", "", "town"},
        {"empty name, then the directory", "N:\tMap name = \nD:\tTexture directory = tex\\\n", "tex\\", ""},
        {"a value", "D:\tTexture directory = tex\\\nN:\tMap name = town\n", "tex\\", "town"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutText("dir.blm", std::string(c.lines) + kTwoTriangles);
        ASSERT_EQ(Load("dir.blm"), 1) << refusal;
        EXPECT_STREQ(g_MapTextureDirectory, c.directory);
        EXPECT_STREQ(g_MapName, c.name);
        EXPECT_EQ(g_Landscape->vertexCount, 4);
        MAP_UnloadMap();
    }
}

// Thousands of seeded mutants of the demo map in each dialect: each loads or is refused, and a
// loaded one passes the map check. Under the sanitizer build no access leaves an array.
TEST_F(TextMapHostile, MutantsOfTheDemoMapLoadOrAreRefusedCleanly) {
    const struct {
        dk::TextDialect dialect;
        const char* ext;
    } dialects[] = {{dk::TextDialect::Alm, ".alm"}, {dk::TextDialect::Blm, ".blm"}, {dk::TextDialect::Clm, ".clm"}};
    constexpr uint32_t kMutants = 1000;
    for (const auto& d : dialects) {
        const std::string text = dk::TextMapString(dk::DemoMapData(), d.dialect);
        const std::string name = std::string("mutant") + d.ext;
        int loaded = 0, refused = 0;
        for (uint32_t seed = 0; seed < kMutants; ++seed) {
            SCOPED_TRACE(std::string(d.ext) + " seed " + std::to_string(seed));
            PutText(name, dk::MutateMapText(text, seed));
            const int result = Load(name);
            ASSERT_TRUE(result == 0 || result == 1);
            if (result == 1) {
                ++loaded;
                ASSERT_EQ(MAP_CheckLandscape(g_Landscape), nullptr);
            } else {
                ++refused;
                ASSERT_EQ(g_Landscape, nullptr);
            }
            MAP_UnloadMap();
        }
        // The loop reaches both ends: maps that load and maps that are refused.
        EXPECT_GT(loaded, 0) << d.ext;
        EXPECT_GT(refused, 100) << d.ext;
    }
}

}  // namespace
}  // namespace maptest
