// The text map formats: a map of each dialect written out line by line from the record
// templates, what each dialect leaves to defaults, the tolerance for noise and malformed lines,
// ends of file inside records, every truncation, and the contents that refuse a map.
#include <cmath>

#include "datakit/muf_writer.h"
#include "engine/lnd_light.h"
#include "map_fixture.h"

namespace maptest {
namespace {

// Two triangles sharing an edge, an extension, two textures, a still and an animated material,
// a spot light and a turning object, line by line from the .clm templates.
const char kHandClm[] =
    "#:\tversion = 1.02\n"
    "// a hand-written map: the letters V, E, S in a comment are no records\n"
    "T:\tV=4, E=6, S=2, X=1, F=2, M=2, L=1, O=1\n"
    "A:\tambient colour = [0.25, 0.5, 0.75], background colour = [0.125, 0.375, 0.625], fademode = 2, "
    "fade threshold = 1500, fade rate = 0.5\n"
    "C:\tposition = [10, 20, 30], rotations = [1.5, -0.25], camera radius = 250\n"
    "D:\tTexture directory = graphics\\ textures\\\n"
    "N:\tMap name = Test Map\n"
    "V1:\tx = 0, y = 0, z = 0\n"
    "V2:\tx = 100, y = 0, z = 0\n"
    "V3:\tx = 100, y = 10, z = 100\n"
    "V4:\tx = 0, y = 10, z = 100\n"
    "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
    "E2:\tvertices = [2, 4], other edge = 6, surface = 1\n"
    "E3:\tvertices = [4, 1], other edge = 0, surface = 1\n"
    "E4:\tvertices = [2, 3], other edge = 0, surface = 2\n"
    "E5:\tvertices = [3, 4], other edge = 0, surface = 2\n"
    "E6:\tvertices = [4, 2], other edge = 2, surface = 2\n"
    "S1:\tedges = [1, 2, 3], material = 1, flowvector = [0, 0, 0], resistance = 0, gravity = [0, -9.8, 0], "
    "extension = 0\n"
    "S2:\tedges = [4, 5, 6], material = 2, flowvector = [1.5, 0, -2], resistance = 0.25, gravity = [0, -4.5, 0], "
    "extension = 1\n"
    "X1:\tnbytes = 3, data : 7 0 255\n"
    "F1:\tmode = 0, filename = grass.bmp\n"
    "F2:\tmode = 1, filename = lava.bmp\n"
    "M1:\tuv's = [0, 0] [1, 0], [0, 1], uv anim = [0][cu = 0, cv = 0, r = 0, du = 0, dv = 0], lmode = 0, "
    "mode = 0, frametime = 0, nframes = 1, frames = [1]\n"
    "M2:\tuv's = [0.5, 0] [1, 0.5], [0, 1], uv anim = [1][cu = 0.5, cv = 0.5, r = 2, du = 0.125, dv = -0.5], "
    "lmode = 1, mode = 2, frametime = 0.25, nframes = 2, frames = [2, 1]\n"
    "L1:\ttype = 2, position = [50, 200, 50], direction = [0, -100, 0], cone angle = 0.5, rgb = [1, 0.5, 0.25]\n"
    "O1:\n"
    "{\n"
    "name = crate\n"
    "type = 7\n"
    "collision mode = 1\n"
    "position ref = 1\n"
    "rotations = [1][0, 0.5, 0]\n"
    "vertices = 3\n"
    "V0:\tx = 10, y = 0, z = 10\n"
    "V1:\tx = 20, y = 0, z = 10\n"
    "V2:\tx = 10, y = 5, z = 20\n"
    "surfaces = 1\n"
    "S0:\tvrefs = [0, 1, 2], uv's = [0, 0], [1, 0], [0.5, 1], lmode = 0, mode = 1, frametime = 0.5, nframes = 1, "
    "frames = [2]\n"
    "}\n";

// The same map in the oldest dialect: no ambient, directory, name or light records; a heading
// camera; materials and object surfaces with a single texture.
const char kHandAlm[] =
    "#:\tversion = 1.00\n"
    "T:\tV=4, E=6, S=2, X=1, F=2, M=2, L=0, O=1, D=0\n"
    "C:\theading = 0.5, position = [1, 2, 3]\n"
    "V1:\tx = 0, y = 0, z = 0\n"
    "V2:\tx = 100, y = 0, z = 0\n"
    "V3:\tx = 100, y = 10, z = 100\n"
    "V4:\tx = 0, y = 10, z = 100\n"
    "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
    "E2:\tvertices = [2, 4], other edge = 6, surface = 1\n"
    "E3:\tvertices = [4, 1], other edge = 0, surface = 1\n"
    "E4:\tvertices = [2, 3], other edge = 0, surface = 2\n"
    "E5:\tvertices = [3, 4], other edge = 0, surface = 2\n"
    "E6:\tvertices = [4, 2], other edge = 2, surface = 2\n"
    "S1:\tedges = [1, 2, 3], material = 1, object = 0, extension = 0\n"
    "S2:\tedges = [4, 5, 6], material = 2, object = 1, extension = 1\n"
    "X1:\tnbytes = 3, data : 7 0 255\n"
    "F1:\tmode = 0, filename = grass.bmp\n"
    "F2:\tmode = 1, filename = lava.bmp\n"
    "M1:\ttexture = 1, uv's = [0, 0] [1, 0], [0, 1]\n"
    "M2:\ttexture = 2, uv's = [0.5, 0] [1, 0.5], [0, 1]\n"
    "O1:\n"
    "{\n"
    "name = crate\n"
    "type = 7\n"
    "position ref = 1\n"
    "vertices = 3\n"
    "V0:\tx = 10, y = 0, z = 10\n"
    "V1:\tx = 20, y = 0, z = 10\n"
    "V2:\tx = 10, y = 5, z = 20\n"
    "surfaces = 1\n"
    "S0:\tvrefs = [0, 1, 2], texture = 2, uv's = [0, 0], [1, 0], [0.5, 1]\n"
    "}\n";

// The text with its line ends turned into CR LF.
std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

class TextMap : public MapFixture {
protected:
    Fields LoadFields(const std::string& name, const std::string& text) {
        PutText(name, text);
        EXPECT_EQ(Load(name), 1) << refusal;
        return g_Landscape ? Flatten(g_Landscape, true) : Fields{};
    }
    static void ExpectFields(const Fields& f, std::initializer_list<std::pair<const char*, const char*>> want) {
        for (const auto& [key, value] : want) {
            ASSERT_TRUE(f.count(key)) << key;
            EXPECT_EQ(f.at(key), value) << key;
        }
    }
};

TEST_F(TextMap, HandWrittenClmLoadsEveryRecord) {
    Matrix34 camera;
    PutText("hand.clm", kHandClm);
    TRC_TraceEnable(true);
    ASSERT_EQ(Load("hand.clm", &camera), 1) << refusal;
    const Fields f = Flatten(g_Landscape, true);
    ExpectFields(f, {
        {"directory", "graphics\\textures\\"}, {"name", "TestMap"},  // white space dropped
        {"ambient 2", "0.75"}, {"background 1", "0.375"}, {"fade mode", "2"}, {"fade threshold", "1500"},
        {"fade rate", "0.5"}, {"camera.z", "30"}, {"camera yaw", "1.5"}, {"camera pitch", "-0.25"},
        {"camera radius", "250"}, {"vertexCount", "4"}, {"lightCount", "1"}, {"objectCount", "1"},
        {"vertex 3.y", "10"}, {"edge 2 otherEdge", "6"}, {"edge 6 surface", "2"},
        {"surface 1 gravity.y", "-9.80000019"}, {"surface 2 material", "2"}, {"surface 2 flow.z", "-2"},
        {"surface 2 resistance", "0.25"}, {"surface 2 gravity.y", "-4.5"}, {"surface 2 extension", "1"},
        {"extension 1 byteCount", "3"}, {"extension 1 byte 0", "7"}, {"extension 1 byte 2", "255"},
        {"texture 1 fileName", "grass.bmp"}, {"texture 2 fileName", "lava.bmp"}, {"texture 2 mode", "1"},
        {"material 1 currentTexture", "1"}, {"material 1 lmode", "0"}, {"material 1 frame 31", "1"},
        {"material 2 u0", "0.5"}, {"material 2 v1", "0.5"}, {"material 2 v2", "1"},
        {"material 2 uvAnimKind", "1"}, {"material 2 uvAnimCu", "0.5"}, {"material 2 uvAnimCv", "0.5"},
        {"material 2 uvAnimR", "2"}, {"material 2 uvAnimDu", "0.125"}, {"material 2 uvAnimDv", "-0.5"},
        {"material 2 uvAnimAngle", "0"}, {"material 2 lmode", "1"}, {"material 2 mode", "2"},
        {"material 2 frameTime", "0.25"}, {"material 2 frameCount", "2"}, {"material 2 frame 0", "2"},
        {"material 2 frame 1", "1"}, {"material 2 frame 2", "2"},  // padded with the first frame
        {"material 2 frame 31", "2"}, {"material 2 currentTexture", "2"}, {"material 2 currentFrame", "0"},
        {"light 1 type", "2"}, {"light 1 position.y", "200"}, {"light 1 direction.y", "-100"},
        {"light 1 coneAngle", "0.5"}, {"light 1 colour1", "0.5"},
        {"object 1 name", "crate"}, {"object 1 type", "7"}, {"object 1 collisionMode", "1"},
        {"object 1 positionRef", "1"}, {"object 1 spinMode", "1"}, {"object 1 spin.y", "0.5"},
        {"object 1 vertexCount", "3"}, {"object 1 vertex 1.x", "20"}, {"object 1 vertex 2.z", "20"},
        {"object 1 surface", "1"},  // located under vertex 1 while reading
        {"object 1 surface 0 vref1", "1"}, {"object 1 surface 0 u2", "0.5"}, {"object 1 surface 0 lmode", "0"},
        {"object 1 surface 0 mode", "1"}, {"object 1 surface 0 frameTime", "0.5"},
        {"object 1 surface 0 frame 31", "2"}, {"object 1 surface 0 currentTexture", "2"},
        {"object 1 surface 0 hasNormal", "1"},  // given by the object set-up
    });
    // The start camera: a turn about Y by the yaw, then the position.
    const float expected[12] = {std::cos(1.5f), 0, -std::sin(1.5f), 0, 1, 0, std::sin(1.5f), 0, std::cos(1.5f), 10, 20, 30};
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(camera.m[i], expected[i]) << i;
    // The ambient record sets the light floor too.
    EXPECT_EQ(std::vector<float>(g_AmbientFloor, g_AmbientFloor + 4), (std::vector<float>{0.25f, 0.5f, 0.75f, 0.0f}));
}

TEST_F(TextMap, EachDialectFillsWhatItLeavesOutWithItsDefaults) {
    Matrix34 camera;
    PutText("hand.alm", kHandAlm);
    ASSERT_EQ(Load("hand.alm", &camera), 1) << refusal;
    const Landscape* l = g_Landscape;
    EXPECT_STREQ(l->textures[0].fileName, "**DEFAULT TEXTURE**");
    ASSERT_EQ(l->lightCount, 1);  // one default light, though the map declares none
    EXPECT_EQ(l->lights[1].type, 1);
    EXPECT_EQ(l->lights[1].direction.x, 1000.0f);
    EXPECT_EQ(l->lights[1].direction.y, -1000.0f);
    EXPECT_EQ(l->lights[1].colour[2], 1.0f);
    for (int s = 1; s <= 2; ++s) EXPECT_EQ(l->surfaces[s].gravity.y, -9.8f);
    const LandscapeMaterial& m = l->materials[2];
    EXPECT_EQ(m.currentTexture, 2);
    EXPECT_EQ(m.frameCount, 1);
    EXPECT_EQ(m.lmode, 1);
    EXPECT_EQ(m.frames[31], 2);
    EXPECT_EQ(m.u[0], 0.5f);
    const LandscapeObject& o = l->objects[1];
    EXPECT_EQ(o.collisionMode, 1);
    EXPECT_EQ(o.objectSurfaces[0].currentTexture, 2);
    EXPECT_EQ(o.objectSurfaces[0].frameCount, 1);
    EXPECT_EQ(o.objectSurfaces[0].lmode, 1);
    EXPECT_EQ(o.objectSurfaces[0].mode, 1);
    EXPECT_EQ(o.objectSurfaces[0].frames[17], 2);
    EXPECT_EQ(l->cameraPosition.x, 0.0f);  // the heading camera leaves the header's camera at 0
    EXPECT_FLOAT_EQ(camera.m[0], std::cos(0.5f));
    EXPECT_FLOAT_EQ(camera.m[6], std::sin(0.5f));
    EXPECT_EQ(camera.m[10], 2.0f);
    MAP_UnloadMap();

    // .blm has no texture-coordinate animation or turning objects; .clm keeps them.
    dk::MapData map = SquareMap();
    for (auto [dialect, name, keeps] : {std::tuple{dk::TextDialect::Blm, "sq.blm", false},
                                        std::tuple{dk::TextDialect::Clm, "sq.clm", true}}) {
        SCOPED_TRACE(name);
        PutText(name, dk::TextMapString(map, dialect));
        ASSERT_EQ(Load(name), 1) << refusal;
        EXPECT_EQ(g_Landscape->materials[2].uvAnimKind, keeps ? 1 : 0);
        EXPECT_EQ(g_Landscape->materials[2].uvAnimDv, keeps ? -0.5f : 0.0f);
        EXPECT_EQ(g_Landscape->objects[1].spinMode, keeps ? 1 : 0);
        EXPECT_EQ(g_Landscape->objects[1].spin.y, keeps ? 0.5f : 0.0f);
        EXPECT_EQ(g_Landscape->materials[2].frameTime, 0.25f);
        EXPECT_EQ(g_Landscape->surfaces[2].flow.x, 1.5f);
        MAP_UnloadMap();
    }
}

TEST_F(TextMap, CrLfLineEndsReadLikeLf) {
    const Fields lf = LoadFields("lf.clm", kHandClm);
    MAP_UnloadMap();
    EXPECT_EQ(LoadFields("crlf.clm", WithCrLf(kHandClm)), lf);
    EXPECT_STREQ(g_Landscape->objects[1].name, "crate");
}

TEST_F(TextMap, MapThatLivesOnlyInAnArchiveLoads) {
    const Fields onDisk = LoadFields("hand.clm", kHandClm);
    MAP_UnloadMap();
    std::filesystem::remove(root / "hand.clm");
    // The entry after the map holds records that must not be read as part of it.
    Blob archive;
    ASSERT_TRUE(dk::MufArchiveBytes({{"graphics/maps/hand.clm", Blob(kHandClm, kHandClm + sizeof kHandClm - 1)},
                                     {"graphics/maps/hand.zzz", Blob{'V', '1', ':', '\t', 'x', ' ', '=', ' ', '9'}}},
                                    &archive));
    Put("maps.muf", archive);
    ASSERT_EQ(MUF_OpenArchive("maps.muf"), MUF_OK);
    ASSERT_EQ(Load("graphics\\maps\\hand.clm"), 1) << refusal;
    EXPECT_EQ(Flatten(g_Landscape, true), onDisk);
}

// A small .blm map to which each case appends its lines.
const char kBase[] =
    "T:\tV=3, E=3, S=1, X=1, F=20, M=1, L=0, O=1\n"
    "V1:\tx = 0, y = 0, z = 0\n"
    "V2:\tx = 10, y = 0, z = 0\n"
    "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
    "E2:\tvertices = [2, 3], other edge = 0, surface = 1\n"
    "E3:\tvertices = [3, 1], other edge = 0, surface = 1\n"
    "S1:\tedges = [1, 2, 3], material = 1, flowvector = [0, 0, 0], resistance = 0, gravity = [0, -1, 0], "
    "extension = 0\n";

TEST_F(TextMap, NoiseMalformedLinesAndStrayRecordsAreTolerated) {
    struct Case {
        const char* name;
        const char* before;  // put in front of the base map
        const char* after;   // appended to it
        std::initializer_list<std::pair<const char*, const char*>> want;
    };
    const Case cases[] = {
        {"comment holding a record", "", "// V1:\tx = 99, y = 99, z = 99\nV3:\tx = 0, y = 0, z = 10\n",
         {{"vertex 1.x", "0"}, {"vertex 3.z", "10"}}},
        {"skipped block holding records", "",
         "W1:\n{\nV1:\tx = 99, y = 99, z = 99\nO1:\n} V2:\tx = 98, y = 0, z = 0\nV3:\tx = 0, y = 0, z = 10\n",
         {{"vertex 1.x", "0"}, {"vertex 2.x", "10"}, {"vertex 3.z", "10"}}},
        {"lower-case noise between records", "", "this is noise 123 ; ok\nV3:\tx = 0, y = 0, z = 10\n",
         {{"vertex 3.z", "10"}}},
        {"frame list without blanks", "",
         "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 2, frames = [12,13]\n",
         {{"material 1 frame 0", "12"}, {"material 1 frame 1", "13"}, {"material 1 frame 2", "12"},
          {"material 1 frame 31", "12"}, {"material 1 currentTexture", "12"}}},
        {"frame number with a minus sign", "",
         "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 2, frames = [-5, 3]\n",
         {{"material 1 frame 0", "5"}, {"material 1 frame 1", "3"}}},
        {"no frames", "",
         "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 0, frames = []\n"
         "V3:\tx = 0, y = 0, z = 10\n",
         {{"material 1 frameCount", "0"}, {"material 1 frame 0", "0"}, {"vertex 3.z", "10"}}},
        {"malformed line keeps the fields it did not reach", "",
         "V3:\tx = 5, y = oops, z = 7\nF1:\tmode = 1, filename = a.bmp\n",
         {{"vertex 3.x", "5"}, {"vertex 3.y", "0"}, {"vertex 3.z", "0"}, {"texture 1 fileName", "a.bmp"}}},
        {"records outside their arrays are dropped", "",
         "V0:\tx = 9, y = 9, z = 9\nV4:\tx = 9, y = 9, z = 9\nF21:\tmode = 1, filename = far.bmp\n"
         "O2:\n{\nname = far\ntype = 1\ncollision mode = 1\nposition ref = 1\nvertices = 1\n"
         "V0:\tx = 1, y = 2, z = 3\nsurfaces = 0\n}\n"
         "O1:\n{\nname = near\ntype = 2\ncollision mode = 0\nposition ref = 2\nvertices = 2\n"
         "V5:\tx = 1, y = 2, z = 3\nV1:\tx = 4, y = 5, z = 6\nsurfaces = 0\n}\n",
         {{"vertex 1.x", "0"}, {"vertexCount", "3"}, {"object 1 name", "near"}, {"object 1 type", "2"},
          {"object 1 vertex 0.x", "0"}, {"object 1 vertex 1.z", "6"}, {"object 1 surface", "1"}}},
        {"records before the totals and a second totals record",
         "V1:\tx = 9, y = 9, z = 9\nN:\tMap name = early\n", "T:\tV=9, E=9, S=9, X=9, F=9, M=9, L=9, O=9\n",
         {{"vertex 1.x", "0"}, {"vertexCount", "3"}, {"textureCount", "20"}, {"name", "early"}}},
        {"object name of 16 characters with blanks", "",
         "O1:\n{\nname = name of sixteen!\r\ntype = 3\n}\n", {{"object 1 name", "name of sixteen!"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Fields f = LoadFields("case.blm", std::string(c.before) + kBase + c.after);
        ExpectFields(f, c.want);
        MAP_UnloadMap();
    }
    // Without a totals record there is nothing to fill: an empty map.
    const Fields empty = LoadFields("empty.blm", "V1:\tx = 9, y = 9, z = 9\n");
    ExpectFields(empty, {{"vertexCount", "0"}, {"objectCount", "0"}});
    MAP_UnloadMap();
    // An .alm without texture records still names the default texture.
    PutText("bare.alm", "T:\tV=0, E=0, S=0, X=0, F=0, M=0, L=0, O=0, D=0\n");
    ASSERT_EQ(Load("bare.alm"), 1) << refusal;
    EXPECT_STREQ(g_Landscape->textures[0].fileName, "**DEFAULT TEXTURE**");
    EXPECT_EQ(g_Landscape->lightCount, 1);
}

TEST_F(TextMap, FileEndingInsideARecordStopsReading) {
    struct Case {
        const char* name;
        const char* tail;
        std::initializer_list<std::pair<const char*, const char*>> want;
    };
    const Case cases[] = {
        {"inside a frame list",
         "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 3, frames = [3, ",
         {{"material 1 frameCount", "3"}, {"material 1 frame 0", "3"}, {"material 1 frame 1", "0"},
          {"material 1 currentTexture", "0"}}},
        {"inside a skipped block", "W1:\n{\nV3:\tx = 1, y = 1, z = 1\n", {{"vertex 3.x", "0"}}},
        {"inside extension data", "X1:\tnbytes = 3, data : 1 2", {{"extension 1 byte 1", "2"}, {"extension 1 byte 2", "0"}}},
        {"inside a data token", "X1:\tnbytes = 2, data : 1 25", {{"extension 1 byte 1", "25"}}},
        {"inside an object block", "O1:\n{\nname = crate\ntype = 3\ncoll",
         {{"object 1 name", "crate"}, {"object 1 type", "3"}, {"object 1 vertexCount", "0"}}},
        {"inside a texture directory", "D:\tTexture directory = abc", {{"directory", "abc"}}},
        {"inside a comment", "// the end", {{"vertexCount", "3"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectFields(LoadFields("cut.blm", std::string(kBase) + c.tail), c.want);
        MAP_UnloadMap();
    }
}

TEST_F(TextMap, ContentsThatCannotBeStoredRefuseTheMap) {
    const std::string name600(600, 'n');
    struct Case {
        const char* name;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"40 material frames",
         std::string(kBase) + "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 40, frames = [1]\n",
         "more than 32 frames"},
        {"40 object surface frames",
         std::string(kBase) + "O1:\n{\nname = o\ntype = 1\ncollision mode = 1\nposition ref = 1\nvertices = 3\n"
                              "V0:\tx = 0, y = 0, z = 0\nV1:\tx = 1, y = 0, z = 0\nV2:\tx = 0, y = 0, z = 1\nsurfaces = 1\n"
                              "S0:\tvrefs = [0, 1, 2], uv's = [0, 0], [1, 0], [0, 1], lmode = 1, mode = 1, frametime = 0, "
                              "nframes = 40, frames = [1]\n}\n",
         "more than 32 frames"},
        {"600-character file name", std::string(kBase) + "F1:\tmode = 0, filename = " + name600 + "\n",
         "texture file name too long"},
        {"300 lights", "T:\tV=0, E=0, S=0, X=0, F=0, M=0, L=300, O=0\n", "more than 32 lights"},
        {"33 lights", "T:\tV=0, E=0, S=0, X=0, F=0, M=0, L=33, O=0\n", "more than 32 lights"},
        {"70000 vertices", "T:\tV=70000, E=0, S=0, X=0, F=0, M=0, L=0, O=0\n", "count out of range"},
        {"negative object count", "T:\tV=0, E=0, S=0, X=0, F=0, M=0, L=0, O=-1\n", "count out of range"},
        {"edge vertex beyond the vertices", std::string(kBase) + "E3:\tvertices = [3, 9], other edge = 0, surface = 1\n",
         "edge vertex out of range"},
        {"edge vertex beyond its field", std::string(kBase) + "E3:\tvertices = [3, 65537], other edge = 0, surface = 1\n",
         "edge vertex out of range"},
        {"edge that is its own twin", std::string(kBase) + "E3:\tvertices = [3, 1], other edge = 3, surface = 1\n",
         "twin edge on the same surface"},
        {"surface material", std::string(kBase) + "S1:\tedges = [1, 2, 3], material = 2, flowvector = [0, 0, 0], "
                                                  "resistance = 0, gravity = [0, -1, 0], extension = 0\n",
         "surface material out of range"},
        {"material frame beyond the textures",
         std::string(kBase) + "M1:\tuv's = [0, 0] [1, 0], [0, 1], lmode = 1, mode = 2, frametime = 0.5, nframes = 1, frames = [21]\n",
         "material texture out of range"},
        {"object name of 17 characters", std::string(kBase) + "O1:\n{\nname = seventeen letters\n}\n",
         "object name longer than 16 characters"},
        {"object position beyond the vertices",
         std::string(kBase) + "O1:\n{\nname = o\ntype = 1\ncollision mode = 1\nposition ref = 9\nvertices = 0\nsurfaces = 0\n}\n",
         "object position out of range"},
        {"object vertex reference",
         std::string(kBase) + "O1:\n{\nname = o\ntype = 1\ncollision mode = 1\nposition ref = 1\nvertices = 1\n"
                              "V0:\tx = 0, y = 0, z = 0\nsurfaces = 1\n"
                              "S0:\tvrefs = [0, 1, 0], uv's = [0, 0], [1, 0], [0, 1], lmode = 1, mode = 0, frametime = 0, "
                              "nframes = 1, frames = [1]\n}\n",
         "object surface vertex out of range"},
        {"object vertex list longer than the file",
         std::string(kBase) + "O1:\n{\nname = o\ntype = 1\ncollision mode = 1\nposition ref = 1\nvertices = 1000000\n",
         "object list longer than the file"},
        {"extension data longer than the file", std::string(kBase) + "X1:\tnbytes = 100, data : 1 2 3\n",
         "extension size beyond the end of the file"},
        {"texture directory of 520 characters", std::string(kBase) + "D:\tTexture directory = " + std::string(520, 'd') + "\n",
         "texture directory too long"},
        {"map name of 256 characters", std::string(kBase) + "N:\tMap name = " + std::string(256, 'n') + "\n",
         "map name too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PutText("bad.blm", c.text);
        EXPECT_EQ(Load("bad.blm"), 0);
        EXPECT_NE(refusal.find(std::string("Map refused: ") + c.reason), std::string::npos) << refusal;
        EXPECT_EQ(g_Landscape, nullptr);
        EXPECT_EQ(g_MapLoaded, 0);
    }
    // The longest names that fit load.
    PutText("long.blm", std::string(kBase) + "D:\tTexture directory = " + std::string(519, 'd') + "\nN:\tMap name = " +
                            std::string(255, 'n') + "\nF1:\tmode = 0, filename = " + std::string(515, 'f') + "\n");
    ASSERT_EQ(Load("long.blm"), 1) << refusal;
    EXPECT_EQ(std::string(g_MapTextureDirectory), std::string(519, 'd'));
    EXPECT_EQ(std::string(g_MapName), std::string(255, 'n'));
    EXPECT_EQ(std::string(g_Landscape->textures[1].fileName), std::string(515, 'f'));
}

// Every prefix of the hand-written map loads (with the totals it has read) or is refused because
// a list it declares runs past its end; nothing is read or written outside an array.
TEST_F(TextMap, EveryTruncationLoadsOrIsRefusedCleanly) {
    const std::string full = kHandClm;
    const size_t totalsEnd = full.find("A:");
    PutCuts(Blob(full.begin(), full.end()), ".clm");
    for (size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE("cut at " + std::to_string(n));
        const int result = Load(CutName(n, ".clm"));
        if (result == 0) {
            const bool listCut = refusal.find("beyond the end of the file") != std::string::npos ||
                                 refusal.find("longer than the file") != std::string::npos;
            EXPECT_TRUE(listCut) << refusal;
            continue;
        }
        ASSERT_EQ(result, 1);
        if (n >= totalsEnd) {
            EXPECT_EQ(g_Landscape->vertexCount, 4);
            EXPECT_EQ(g_Landscape->objectCount, 1);
        }
    }
}

}  // namespace
}  // namespace maptest
