// The text map writer against the record templates of the three dialects, line by line.
#include <gtest/gtest.h>

#include "datakit/map_demo.h"
#include "datakit/map_text.h"

namespace {

dk::MapData OneTriangle() {
    dk::MapData m;
    m.mapName = "tri";
    m.textureDirectory = "tex\\";
    m.ambient = {0.5f, 0.25f, 1};
    m.fadeThreshold = 100;
    m.cameraPosition = {1, 2, 3};
    m.cameraYaw = 0.5f;
    m.cameraHeading = 0.25;
    m.vertices = {{0, 0, 0}, {1.5f, 0, 0}, {0, 0, -2}};
    dk::AddMapTriangle(&m, 1, 2, 3, 1);
    m.surfaces[0].object = 4;
    m.extensions = {{1, 200}};
    m.textures = {{"a.bmp", "", 1}};
    dk::MapMaterial mat;
    mat.currentTexture = 1;
    mat.frames = {1, 1};
    mat.mode = 2;
    mat.frameTime = 0.125f;
    mat.u = {0, 1, 0};
    mat.v = {0, 0.1f, 1};
    mat.uv.kind = 2;
    mat.uv.du = 0.5f;
    m.materials = {mat};
    dk::MapLight light;
    light.direction = {0, -1, 0};
    m.lights = {light};
    dk::MapObject o;
    o.name = "o o";
    o.type = 3;
    o.positionRef = 2;
    o.spinMode = 1;
    o.spin = {0, 1, 0};
    o.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    dk::MapObjectSurface s;
    s.vrefs = {0, 1, 2};
    s.currentTexture = 1;
    s.frames = {1};
    s.u = {0, 1, 0};
    s.v = {0, 0, 1};
    o.surfaces = {s};
    m.objects = {o};
    return m;
}

TEST(MapTextWriter, WritesEachDialectsRecords) {
    const dk::MapData m = OneTriangle();
    const std::string common =
        "V1:\tx = 0, y = 0, z = 0\n"
        "V2:\tx = 1.5, y = 0, z = 0\n"
        "V3:\tx = 0, y = 0, z = -2\n"
        "E1:\tvertices = [1, 2], other edge = 0, surface = 1\n"
        "E2:\tvertices = [2, 3], other edge = 0, surface = 1\n"
        "E3:\tvertices = [3, 1], other edge = 0, surface = 1\n";
    const std::string clm =
        "#:\tversion = 1.00\n"
        "// tri\n"
        "T:\tV=3, E=3, S=1, X=1, F=1, M=1, L=1, O=1\n"
        "A:\tambient colour = [0.5, 0.25, 1], background colour = [0, 0, 0], fademode = 0, fade threshold = 100, "
        "fade rate = 0\n"
        "C:\tposition = [1, 2, 3], rotations = [0.5, 0], camera radius = 0\n"
        "D:\tTexture directory = tex\\\n"
        "N:\tMap name = tri\n" +
        common +
        "S1:\tedges = [1, 2, 3], material = 1, flowvector = [0, 0, 0], resistance = 0, gravity = [0, -9.8, 0], "
        "extension = 0\n"
        "X1:\tnbytes = 2, data : 1 200\n"
        "F1:\tmode = 1, filename = a.bmp\n"
        "M1:\tuv's = [0, 0] [1, 0.1], [0, 1], uv anim = [2][cu = 0, cv = 0, r = 0, du = 0.5, dv = 0], lmode = 1, "
        "mode = 2, frametime = 0.125, nframes = 2, frames = [1, 1]\n"
        "L1:\ttype = 1, position = [0, 0, 0], direction = [0, -1, 0], cone angle = 0, rgb = [1, 1, 1]\n"
        "O1:\n{\nname = o o\ntype = 3\ncollision mode = 1\nposition ref = 2\nrotations = [1][0, 1, 0]\nvertices = 3\n"
        "V0:\tx = 0, y = 0, z = 0\nV1:\tx = 1, y = 0, z = 0\nV2:\tx = 0, y = 1, z = 0\nsurfaces = 1\n"
        "S0:\tvrefs = [0, 1, 2], uv's = [0, 0], [1, 0], [0, 1], lmode = 1, mode = 0, frametime = 0, nframes = 1, "
        "frames = [1]\n}\n";
    EXPECT_EQ(dk::TextMapString(m, dk::TextDialect::Clm), clm);

    const std::string alm =
        "#:\tversion = 1.00\n"
        "// tri\n"
        "T:\tV=3, E=3, S=1, X=1, F=1, M=1, L=0, O=1, D=0\n"
        "C:\theading = 0.25, position = [1, 2, 3]\n" +
        common +
        "S1:\tedges = [1, 2, 3], material = 1, object = 4, extension = 0\n"
        "X1:\tnbytes = 2, data : 1 200\n"
        "F1:\tmode = 1, filename = a.bmp\n"
        "M1:\ttexture = 1, uv's = [0, 0] [1, 0.1], [0, 1]\n"
        "O1:\n{\nname = o o\ntype = 3\nposition ref = 2\nvertices = 3\n"
        "V0:\tx = 0, y = 0, z = 0\nV1:\tx = 1, y = 0, z = 0\nV2:\tx = 0, y = 1, z = 0\nsurfaces = 1\n"
        "S0:\tvrefs = [0, 1, 2], texture = 1, uv's = [0, 0], [1, 0], [0, 1]\n}\n";
    EXPECT_EQ(dk::TextMapString(m, dk::TextDialect::Alm), alm);

    const std::string blm = dk::TextMapString(m, dk::TextDialect::Blm);
    EXPECT_NE(blm.find("M1:\tuv's = [0, 0] [1, 0.1], [0, 1], lmode = 1, mode = 2, frametime = 0.125, nframes = 2, "
                       "frames = [1, 1]\n"),
              std::string::npos);
    EXPECT_EQ(blm.find("uv anim"), std::string::npos);
    EXPECT_EQ(blm.find("rotations = [1]"), std::string::npos);
    EXPECT_NE(blm.find("collision mode = 1\n"), std::string::npos);
}

TEST(MapTextWriter, NumbersReadBackExactly) {
    for (float v : {0.1f, -9.8f, 1e-7f, 123456.789f, 3.0f, -0.0f}) {
        const std::string text = dk::MapNumber(v);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
    }
}

}  // namespace
