// Text maps whose objects have several surfaces: every surface line is read, in both dialects
// that end a surface line with a frame list, and the object's closing line and the records after
// it are read as well.
#include <string>

#include "map_fixture.h"

namespace {

using namespace maptest;

// A one-triangle landscape with two objects; the first has three surfaces, the second one. The
// rotations line is .clm only.
std::string ObjectsMap(bool clm) {
    const std::string rotations = clm ? "rotations = [0][0, 0, 0]\n" : "";
    return std::string("#:\tversion = 1.00\n"
                       "T:\tV=3, E=3, S=1, X=0, F=2, M=1, L=0, O=2\n"
                       "V1:\tx = 0, y = 0, z = 0\n"
                       "V2:\tx = 100, y = 0, z = 0\n"
                       "V3:\tx = 100, y = 0, z = 100\n"
                       "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
                       "E2:\tvertices = [2, 3], other edge = 0, surface = 1\n"
                       "E3:\tvertices = [3, 1], other edge = 0, surface = 1\n"
                       "S1:\tedges = [1, 2, 3], material = 1, extension = 0\n"
                       "F1:\tmode = 0, filename = a.bmp\n"
                       "F2:\tmode = 0, filename = b.bmp\n") +
           (clm ? "M1:\tuv's = [0, 0] [1, 0], [0, 1], uv anim = [0][cu = 0, cv = 0, r = 0, du = 0, dv = 0], "
                  "lmode = 1, mode = 0, frametime = 0, nframes = 1, frames = [1]\n"
                : "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 0, frametime = 0, nframes = 1, frames = [1]\n") +
           "O1:\n"
           "{\n"
           "name = box\n"
           "type = 3\n"
           "collision mode = 1\n"
           "position ref = 1\n" +
           rotations +
           "vertices = 4\n"
           "V0:\tx = 0, y = 0, z = 0\n"
           "V1:\tx = 10, y = 0, z = 0\n"
           "V2:\tx = 10, y = 10, z = 0\n"
           "V3:\tx = 0, y = 10, z = 0\n"
           "surfaces = 3\n"
           "S0:\tvrefs = [0, 1, 2], uv's = [0, 1], [1, 1], [1, 0], lmode = 1, mode = 0, frametime = 0, "
           "nframes = 1, frames = [1]\n"
           "S1:\tvrefs = [0, 2, 3], uv's = [0, 1], [1, 0], [0, 0], lmode = 0, mode = 2, frametime = 0.5, "
           "nframes = 2, frames = [2, 1]\n"
           "S2:\tvrefs = [3, 2, 1], uv's = [0.25, 0], [0, 0], [0, 0], lmode = 1, mode = 1, frametime = 0, "
           "nframes = 1, frames = [2]\n"
           "}\n"
           "O2:\n"
           "{\n"
           "name = post\n"
           "type = 4\n"
           "collision mode = 0\n"
           "position ref = 2\n" +
           rotations +
           "vertices = 3\n"
           "V0:\tx = 0, y = 0, z = 0\n"
           "V1:\tx = 5, y = 0, z = 0\n"
           "V2:\tx = 0, y = 5, z = 0\n"
           "surfaces = 1\n"
           "S0:\tvrefs = [2, 1, 0], uv's = [0, 0], [1, 0], [0, 1], lmode = 1, mode = 0, frametime = 0, "
           "nframes = 1, frames = [2]\n"
           "}\n";
}

class TextMapObjectSurfaces : public MapFixture {};

TEST_F(TextMapObjectSurfaces, EverySurfaceLineAndTheNextObjectAreRead) {
    for (const char* name : {"objects.blm", "objects.clm"}) {
        SCOPED_TRACE(name);
        PutText(name, ObjectsMap(std::string(name).ends_with(".clm")));
        ASSERT_EQ(Load(name), 1) << refusal;
        const Fields f = Flatten(g_Landscape);
        const std::pair<const char*, const char*> want[] = {
            {"object 1 surfaceCount", "3"},
            {"object 1 surface 0 vref2", "2"},
            {"object 1 surface 0 currentTexture", "1"},
            {"object 1 surface 1 vref1", "2"},
            {"object 1 surface 1 vref2", "3"},
            {"object 1 surface 1 lmode", "0"},
            {"object 1 surface 1 mode", "2"},
            {"object 1 surface 1 frameTime", "0.5"},
            {"object 1 surface 1 frameCount", "2"},
            {"object 1 surface 1 frame 1", "1"},
            {"object 1 surface 1 currentTexture", "2"},
            {"object 1 surface 1 v1", "0"},
            {"object 1 surface 2 vref0", "3"},
            {"object 1 surface 2 u0", "0.25"},
            {"object 1 surface 2 currentTexture", "2"},
            {"object 2 name", "post"},
            {"object 2 type", "4"},
            {"object 2 collisionMode", "0"},
            {"object 2 positionRef", "2"},
            {"object 2 surfaceCount", "1"},
            {"object 2 surface 0 vref0", "2"},
            {"object 2 surface 0 currentTexture", "2"},
            {"material 1 currentTexture", "1"},
        };
        for (const auto& [key, value] : want) {
            ASSERT_TRUE(f.count(key)) << key;
            EXPECT_EQ(f.at(key), value) << key;
        }
        MAP_UnloadMap();
    }
}

}  // namespace
