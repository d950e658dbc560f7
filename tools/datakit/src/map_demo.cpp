// The demo landscape and the map-building helpers (see map_demo.h), and the demo step that
// writes the maps of the demo install: every level's map file, plus one map of each text
// dialect, all under graphics\maps\ (packed into "maps.muf" by the archives step).
#include "datakit/map_demo.h"

#include "datakit/bmp.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "datakit/demo_steps.h"
#include "datakit/map_text.h"
#include "datakit/map_zlm.h"

namespace dk {

namespace {

MapVec Sub(const MapVec& a, const MapVec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

MapVec Cross(const MapVec& a, const MapVec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

float Dot(const MapVec& a, const MapVec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

MapVec Unit(const MapVec& v) {
    const float length = std::sqrt(Dot(v, v));
    if (!(length > 0.0f)) return {0, 0, 0};
    return {v[0] / length, v[1] / length, v[2] / length};
}

// The plan-view inside test of the game: every edge's side value at most 0.
bool Contains(const MapData& m, const MapSurface& s, float x, float z) {
    for (uint16_t e : s.edges) {
        const MapVec& a = m.vertices[m.edges[e - 1].vertex1 - 1];
        const MapVec& b = m.vertices[m.edges[e - 1].vertex2 - 1];
        if ((b[2] - a[2]) * (x - a[0]) - (b[0] - a[0]) * (z - a[2]) > 0.0f) return false;
    }
    return true;
}

int SurfaceAt(const MapData& m, float x, float z) {
    for (size_t i = 0; i < m.surfaces.size(); ++i)
        if (Contains(m, m.surfaces[i], x, z)) return int(i + 1);
    return 0;
}

// Colour slots from the directional lights: full bright for lighting mode 0.
void LightSlots(const MapData& m, const MapVec& normal, int lmode, MapVec* red, MapVec* green, MapVec* blue) {
    *red = *green = *blue = {0, 0, 0};
    for (const MapLight& l : m.lights) {
        if (l.type != 1) continue;
        const float f = -Dot(l.unitDirection, normal);
        for (int k = 0; k < 3; ++k) {
            if (lmode == 0) {
                (*red)[k] = (*green)[k] = (*blue)[k] = 1.0f;
            } else if (f > 0.0f) {
                (*red)[k] += l.colour[0] * f;
                (*green)[k] += l.colour[1] * f;
                (*blue)[k] += l.colour[2] * f;
            }
        }
    }
    for (MapVec* c : {red, green, blue})
        for (float& v : *c) v = std::clamp(v, 0.0f, 1.0f);
}

void CompleteObject(MapData& m, size_t index) {
    MapObject& o = m.objects[index];
    const MapVec& origin = m.vertices[o.positionRef - 1];
    o.extent = {0, 0, 0};
    o.radius = o.planRadius = 0;
    float lowest = 0, highest = 0;
    for (size_t i = 0; i < o.vertices.size(); ++i) {
        const MapVec& v = o.vertices[i];
        for (int k = 0; k < 3; ++k) o.extent[k] = std::max(o.extent[k], std::fabs(v[k]));
        o.radius = std::max(o.radius, std::sqrt(Dot(v, v)));
        o.planRadius = std::max(o.planRadius, std::sqrt(v[0] * v[0] + v[2] * v[2]));
        lowest = i ? std::min(lowest, v[1]) : v[1];
        highest = i ? std::max(highest, v[1]) : v[1];
    }
    o.depth = 0.0f - lowest;
    o.height = highest;
    o.surface = SurfaceAt(m, origin[0], origin[2]);
    o.lights = o.surface ? m.surfaces[o.surface - 1].lights : std::vector<uint8_t>{};
    for (MapObjectSurface& s : o.surfaces) {
        const MapVec& p0 = o.vertices[s.vrefs[2]];
        const MapVec& p1 = o.vertices[s.vrefs[1]];
        const MapVec& p2 = o.vertices[s.vrefs[0]];
        s.normal = Unit(Cross(Sub(p1, p0), Sub(p2, p0)));
        s.hasNormal = 1;
        LightSlots(m, s.normal, s.lmode, &s.red, &s.green, &s.blue);
    }
    // The surfaces under the origin and under each vertex list the object (at most 16 each).
    std::vector<int> under = {o.surface};
    for (const MapVec& v : o.vertices) under.push_back(SurfaceAt(m, origin[0] + v[0], origin[2] + v[2]));
    for (int s : under) {
        if (s == 0) continue;
        std::vector<uint16_t>& list = m.surfaces[s - 1].objects;
        if (list.size() < 16 && std::find(list.begin(), list.end(), uint16_t(index + 1)) == list.end())
            list.push_back(uint16_t(index + 1));
    }
}

}  // namespace

int AddMapTriangle(MapData* m, int a, int b, int c, uint16_t material) {
    const uint16_t surface = uint16_t(m->surfaces.size() + 1);
    MapSurface s;
    const int corners[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        m->edges.push_back(MapEdge{uint16_t(corners[i]), uint16_t(corners[(i + 1) % 3]), 0, surface});
        s.edges[i] = uint16_t(m->edges.size());
    }
    s.material = material;
    m->surfaces.push_back(s);
    return surface;
}

int AddMapVertex(MapData* m, float x, float y, float z) {
    m->vertices.push_back(MapVec{x, y, z});
    return int(m->vertices.size());
}

void AddMapSquare(MapData* m, int bl, int br, int tr, int tl) {
    AddMapTriangle(m, bl, br, tr, 1);
    AddMapTriangle(m, bl, tr, tl, 2);
}

MapData UprightTextureMap(const std::string& name, const std::string& texture, float ambient) {
    MapData m;
    m.versionMajor = 1;
    m.mapName = name;
    m.ambient = {ambient, ambient, ambient};
    m.textures.push_back(MapTexture{texture, "", 0});
    MapMaterial lower;
    lower.frames = {1};
    lower.currentTexture = 1;
    lower.lmode = 1;
    // Corners bottom left, bottom right, top right.
    lower.u = {0.0f, 1.0f, 1.0f};
    lower.v = {1.0f, 1.0f, 0.0f};
    MapMaterial upper = lower;
    // Corners bottom left, top right, top left.
    upper.u = {0.0f, 1.0f, 0.0f};
    upper.v = {1.0f, 0.0f, 0.0f};
    m.materials = {lower, upper};
    return m;
}

void LinkMapTwins(MapData* m) {
    for (size_t i = 0; i < m->edges.size(); ++i) {
        MapEdge& e = m->edges[i];
        e.otherEdge = 0;
        for (size_t j = 0; j < m->edges.size(); ++j) {
            const MapEdge& t = m->edges[j];
            if (j != i && t.surface != e.surface && t.vertex1 == e.vertex2 && t.vertex2 == e.vertex1) {
                e.otherEdge = uint16_t(j + 1);
                break;
            }
        }
    }
}

void CompleteMapData(MapData* m) {
    for (MapLight& l : m->lights) {
        l.range = std::sqrt(Dot(l.direction, l.direction));
        l.unitDirection = Unit(l.direction);
    }
    for (MapSurface& s : m->surfaces) {
        const MapVec& p0 = m->vertices[m->edges[s.edges[0] - 1].vertex1 - 1];
        const MapVec& p1 = m->vertices[m->edges[s.edges[1] - 1].vertex1 - 1];
        const MapVec& p2 = m->vertices[m->edges[s.edges[2] - 1].vertex1 - 1];
        s.normal = Unit(Cross(Sub(p2, p0), Sub(p1, p0)));
        s.objects.clear();
        s.lights.clear();
        for (size_t i = 0; i < m->lights.size() && i < 32; ++i)
            if (m->lights[i].type == 1) s.lights.push_back(uint8_t(i + 1));
        if (s.material == 0) {
            s.red = s.green = s.blue = {1, 1, 1};
        } else {
            LightSlots(*m, s.normal, m->materials[s.material - 1].lmode, &s.red, &s.green, &s.blue);
        }
    }
    for (size_t i = 0; i < m->objects.size(); ++i) CompleteObject(*m, i);
}

MapData DemoMapData() {
    constexpr int kCells = 6;
    constexpr float kCell = 256.0f;
    MapData m;
    m.mapName = "demo";
    m.textureDirectory = "graphics\\textures\\";
    m.ambient = {0.2f, 0.2f, 0.25f};
    m.background = {0.1f, 0.1f, 0.2f};
    m.fadeMode = 1;
    m.fadeThreshold = 2000.0f;
    m.fadeRate = 0.5f;
    m.cameraPosition = {kCells * kCell / 2, 300.0f, -400.0f};
    m.cameraRadius = 300.0f;
    m.cameraPitch = 0.3f;
    for (int z = 0; z <= kCells; ++z)
        for (int x = 0; x <= kCells; ++x) m.vertices.push_back({x * kCell, float(x) * 16.0f, z * kCell});
    auto at = [](int x, int z) { return z * (kCells + 1) + x + 1; };
    for (int z = 0; z < kCells; ++z) {
        for (int x = 0; x < kCells; ++x) {
            const uint16_t material = (x + z) % 2 ? 2 : 1;
            AddMapTriangle(&m, at(x, z), at(x + 1, z), at(x, z + 1), material);
            AddMapTriangle(&m, at(x + 1, z), at(x + 1, z + 1), at(x, z + 1), material);
        }
    }
    LinkMapTwins(&m);
    m.surfaces[0].extension = 1;
    m.extensions.push_back({1, 2, 3, 250});

    m.textures = {{"floor1.bmp", "", 0}, {"floor2.bmp", "", 0}, {"water1.bmp", "", 1}, {"water2.bmp", "", 1},
                  {"pillar.bmp", "", 0}};
    for (const char* name : kDemoTriggerTextures)
        m.textures.push_back({name, "", 0});
    MapMaterial plain;
    plain.u = {0, 1, 0};
    plain.v = {0, 0, 1};
    MapMaterial first = plain, second = plain, water = plain;
    first.frames = {1};
    first.currentTexture = 1;
    second.frames = {2};
    second.currentTexture = 2;
    water.frames = {3, 4};
    water.currentTexture = 3;
    water.mode = 2;
    water.frameTime = 0.5f;
    water.uv.kind = 2;
    water.uv.du = 0.1f;
    m.materials = {first, second, water};
    m.surfaces[2 * kCells * kCells - 1].material = 3;  // a pool in the far corner

    MapLight sun;
    sun.type = 1;
    sun.direction = {500.0f, -1000.0f, 250.0f};
    sun.colour = {1.0f, 0.95f, 0.85f};
    m.lights.push_back(sun);

    MapObject pillar;
    pillar.name = "pillar";
    pillar.type = 1;
    pillar.positionRef = at(kCells / 2, kCells / 2);
    const float h = 200.0f, w = 40.0f;
    pillar.vertices = {{-w, 0, -w}, {w, 0, -w}, {w, 0, w}, {-w, 0, w}, {-w, h, -w}, {w, h, -w}, {w, h, w}, {-w, h, w}};
    const int faces[6][4] = {{4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}, {3, 2, 1, 0}};
    for (const auto& f : faces) {
        for (const auto& tri : {std::array<int, 3>{f[0], f[1], f[2]}, std::array<int, 3>{f[0], f[2], f[3]}}) {
            MapObjectSurface s;
            s.vrefs = tri;
            // Wound like the floor: the normal the game computes points out of the box.
            const MapVec centre = {0, h / 2, 0};
            const MapVec& a = pillar.vertices[tri[0]];
            const MapVec n = Cross(Sub(pillar.vertices[tri[1]], pillar.vertices[tri[2]]),
                                   Sub(pillar.vertices[tri[0]], pillar.vertices[tri[2]]));
            if (Dot(n, Sub(a, centre)) < 0) std::swap(s.vrefs[0], s.vrefs[2]);
            s.currentTexture = 5;
            s.frames = {5};
            s.u = {0, 1, 1};
            s.v = {0, 0, 1};
            pillar.surfaces.push_back(s);
        }
    }
    m.objects.push_back(pillar);
    CompleteMapData(&m);
    return m;
}

bool DemoMaps(const std::string& dir) {
    namespace fs = std::filesystem;
    const MapData map = DemoMapData();
    // The level table's map files, and one map of each text dialect.
    static constexpr const char* kZlmMaps[] = {"grav20-3.zlm", "town2-4.zlm", "farm4-2.zlm", "mall18-3.zlm",
                                                "air4-2.zlm",   "sprt17-3.zlm", "hot9-2.zlm", "hyd17-3.zlm",
                                                "dock3-4.zlm",  "hsp10-3.zlm", "lab8-1.zlm", "sec23-1.zlm",
                                                "con19-3.zlm",  "esc7-1.zlm"};
    static constexpr const char* kBlmMaps[] = {"mult19-9.blm", "camp23-9.blm", "tran19-9.blm"};
    const fs::path maps = fs::path(dir) / "graphics" / "maps";
    for (const char* name : kZlmMaps)
        if (!WriteZlm((maps / name).string(), map)) return false;
    for (const char* name : kBlmMaps)
        if (!WriteTextMap((maps / name).string(), map, TextDialect::Blm)) return false;
    if (!WriteTextMap((maps / "demo.alm").string(), map, TextDialect::Alm) ||
        !WriteTextMap((maps / "demo.clm").string(), map, TextDialect::Clm))
        return false;
    const fs::path textures = fs::path(dir) / "graphics" / "textures";
    // The landscape's own textures: two floors told apart by colour, two frames of water, the
    // pillar's stone; 32 x 32, each a check of two shades of its colour.
    struct Own {
        const char* name;
        Rgb light, dark;
    };
    static constexpr Own kOwn[] = {{"floor1.bmp", {112, 150, 80}, {88, 124, 64}},
                                   {"floor2.bmp", {150, 120, 84}, {124, 98, 68}},
                                   {"water1.bmp", {60, 110, 190}, {40, 88, 160}},
                                   {"water2.bmp", {40, 88, 160}, {60, 110, 190}},
                                   {"pillar.bmp", {160, 160, 150}, {110, 110, 104}}};
    for (const Own& own : kOwn) {
        Bmp24 picture(32, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) picture.at(x, y) = ((x / 8) + (y / 8)) % 2 ? own.dark : own.light;
        if (!WriteBmp24((textures / own.name).string(), picture)) return false;
    }
    // Placeholder pictures of the trigger textures: a 16 x 16 check in a colour of its own each,
    // with a dark cross, so that a face wearing one is told apart at a glance.
    uint8_t shade = 0;
    for (const char* name : kDemoTriggerTextures) {
        Bmp24 picture(16, 16);
        shade = uint8_t(shade + 37);
        const Rgb base{uint8_t(96 + shade % 160), uint8_t(255 - shade), uint8_t(64 + (shade * 3) % 192)};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                picture.at(x, y) = (x == y || x == 15 - y) ? Rgb{16, 16, 16} : base;
        if (!WriteBmp24((textures / name).string(), picture)) return false;
    }
    return true;
}

}  // namespace dk
