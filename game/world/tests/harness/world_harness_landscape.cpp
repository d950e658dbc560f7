// Synthetic landscapes for the world tests: a real binary map written by the data kit into the
// harness's working directory and loaded by the game's own load driver. Floors are pairs of
// triangles with their twin edges; walls are solid landscape objects of four triangles (one pair
// facing each way) standing on a vertex of their own, listed by the floor surfaces under them.
#include <array>
#include <string>

#include "datakit/map_data.h"
#include "datakit/map_demo.h"
#include "datakit/map_zlm.h"
#include "engine/lnd.h"
#include "engine/map_load.h"
#include "world_harness.h"
#include "world_harness_internal.h"

namespace {
constexpr const char* kMapFile = "synthetic.zlm";

// The texture number of a name, added to the map's list on first use; 0 for no name.
uint16_t TextureNumber(dk::MapData* map, const std::string& name) {
    if (name.empty())
        return 0;
    for (size_t i = 0; i < map->textures.size(); ++i)
        if (map->textures[i].fileName == name)
            return uint16_t(i + 1);
    dk::MapTexture texture;
    texture.fileName = name;
    map->textures.push_back(texture);
    return uint16_t(map->textures.size());
}

// A floor's material: its texture, and the scrolling of a belt or flow.
uint16_t FloorMaterial(dk::MapData* map, const WhFloor& f) {
    if (f.texture.empty() && f.mode.empty())
        return 0;
    dk::MapMaterial material;
    const uint16_t texture = TextureNumber(map, f.texture);
    material.currentTexture = texture;
    material.frames = {texture};
    if (!f.mode.empty()) {
        material.uv.kind = 2;
        material.uv.dv = f.speed;
    }
    map->materials.push_back(material);
    return uint16_t(map->materials.size());
}

constexpr float kStrongFlow = 100.0f;

dk::MapObject Wall(const WhWall& w, int index, int origin) {
    dk::MapObject o;
    o.name = "wall" + std::to_string(index);
    o.type = 1;
    o.collisionMode = 1;
    o.positionRef = origin;
    const float dx = w.x1 - w.x0, dz = w.z1 - w.z0, h = w.top - w.bottom;
    o.vertices = {{0, 0, 0}, {dx, 0, dz}, {dx, h, dz}, {0, h, 0}};
    const std::array<std::array<int32_t, 3>, 4> triangles = {{{0, 1, 2}, {0, 2, 3}, {2, 1, 0}, {3, 2, 0}}};
    for (const auto& t : triangles) {
        dk::MapObjectSurface s;
        s.vrefs = t;
        o.surfaces.push_back(s);
    }
    return o;
}
}  // namespace

void WH_ReleaseLandscape() {
    if (g_Landscape)
        MAP_UnloadMap();
}

void WH_BuildLandscape(const std::vector<WhFloor>& floors, const std::vector<WhWall>& walls) {
    WH_ReleaseLandscape();
    dk::MapData map;
    map.mapName = "synthetic";
    for (const WhFloor& f : floors) {
        const int a = int(map.vertices.size()) + 1;
        map.vertices.push_back({f.x0, f.y, f.z0});
        map.vertices.push_back({f.x1, f.y, f.z0});
        map.vertices.push_back({f.x1, f.y, f.z1});
        map.vertices.push_back({f.x0, f.y, f.z1});
        const uint16_t material = FloorMaterial(&map, f);
        for (int s : {dk::AddMapTriangle(&map, a, a + 1, a + 2, material),
                      dk::AddMapTriangle(&map, a, a + 2, a + 3, material)})
            if (f.mode == "flow")
                map.surfaces[size_t(s) - 1].flow = {kStrongFlow, 0.0f, 0.0f};
    }
    dk::LinkMapTwins(&map);
    for (size_t i = 0; i < walls.size(); ++i) {
        const WhWall& w = walls[i];
        map.vertices.push_back({w.x0, w.bottom, w.z0});
        map.objects.push_back(Wall(w, int(i), int(map.vertices.size())));
        const uint16_t texture = TextureNumber(&map, w.texture);
        for (dk::MapObjectSurface& s : map.objects.back().surfaces)
            s.currentTexture = texture;
    }
    dk::CompleteMapData(&map);
    dk::WriteZlm(kMapFile, map);
    MAP_LoadMap(nullptr, kMapFile);
    // The scale of a scrolling material is the level code's to set; the harness gives them 1.
    if (g_Landscape)
        for (int m = 1; m <= g_Landscape->materialCount; ++m)
            if (g_Landscape->materials[m].uvAnimKind)
                g_Landscape->materials[m].uvAnimScale = 1.0f;
}

void WH_MarkSurfaceDrawn(int surface, bool drawn) {
    Landscape* l = g_Landscape;
    if (!l || surface < 1 || surface > l->surfaceCount)
        return;
    l->surfaces[surface].drawStamp = drawn ? g_LandscapeDrawStamp : g_LandscapeDrawStamp - 1;
}
