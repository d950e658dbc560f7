// worldsim's movement commands (see movement.h).
#include "movement.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/game_clock.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "engine/map_load.h"
#include "scenario.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/phy.h"
#include "world_harness.h"

namespace {
bool ReadFloats(std::istringstream& words, size_t count, std::vector<float>* out) {
    float value;
    for (size_t i = 0; i < count; ++i) {
        if (!(words >> value))
            return false;
        out->push_back(value);
    }
    return true;
}

bool AtEnd(std::istringstream& words) {
    std::string rest;
    return !(words >> rest);
}
}  // namespace

bool SimReadFloor(std::istringstream& words, Scenario* s) {
    std::vector<float> n;
    SurfaceLook look;
    if (!ReadFloats(words, 5, &n))
        return false;
    if (words >> look.texture && words >> look.mode) {
        if ((look.mode != "belt" && look.mode != "flow") || !(words >> look.speed))
            return false;
    }
    if (!AtEnd(words))
        return false;
    s->floors.insert(s->floors.end(), n.begin(), n.end());
    s->floorLooks.push_back(look);
    return true;
}

bool SimReadWall(std::istringstream& words, Scenario* s) {
    std::vector<float> n;
    SurfaceLook look;
    if (!ReadFloats(words, 6, &n))
        return false;
    words >> look.texture;
    if (!AtEnd(words))
        return false;
    s->walls.insert(s->walls.end(), n.begin(), n.end());
    s->wallLooks.push_back(look);
    return true;
}

bool SimReadFrameLength(std::istringstream& words, Scenario* s) {
    int ms = 0;
    if (!(words >> ms) || ms < 1 || !AtEnd(words))
        return false;
    s->frameMs = uint32_t(ms);
    return true;
}

void SimKeepFrameLength(const Scenario& s, uint32_t startTicks, int frame) {
    if (s.frameMs)
        WH_SetTicks(startTicks + uint32_t(frame) * s.frameMs);
}

bool SimReadMap(std::istringstream& words, Scenario* s) {
    std::string file;
    if (!(words >> file) || !AtEnd(words))
        return false;
    s->map = std::filesystem::absolute(file).string();
    return true;
}

void SimBuildLandscape(const Scenario& s) {
    if (!s.map.empty()) {
        MAP_LoadMap(nullptr, s.map.c_str());
        return;
    }
    std::vector<WhFloor> floors;
    for (size_t i = 0, k = 0; i + 4 < s.floors.size(); i += 5, ++k) {
        WhFloor f{s.floors[i], s.floors[i + 1], s.floors[i + 2], s.floors[i + 3], s.floors[i + 4]};
        if (k < s.floorLooks.size()) {
            f.texture = s.floorLooks[k].texture;
            f.mode = s.floorLooks[k].mode;
            f.speed = s.floorLooks[k].speed;
        }
        floors.push_back(f);
    }
    std::vector<WhWall> walls;
    for (size_t i = 0, k = 0; i + 5 < s.walls.size(); i += 6, ++k) {
        WhWall w{s.walls[i], s.walls[i + 1], s.walls[i + 2], s.walls[i + 3], s.walls[i + 4], s.walls[i + 5]};
        if (k < s.wallLooks.size())
            w.texture = s.wallLooks[k].texture;
        walls.push_back(w);
    }
    if (!floors.empty() || !walls.empty())
        WH_BuildLandscape(floors, walls);
}

void SimStartMovement(const Scenario& s, const std::map<std::string, Bod*>& bods) {
    if (!g_Landscape)
        return;
    for (const auto& [name, bod] : bods) {
        CharacterControl* control = BOD_CharacterOf(bod);
        if (!control)
            continue;
        // A character placed on the ground stands on its surface; one placed in the air has none
        // until its fall lands it.
        const Vec3 position = BOD_PositionOf(control);
        const int32_t surface = LND_LocateSurface(0, &position);
        if (surface && std::fabs(position.y - float(LND_GetGroundHeight(&position, surface))) < 0.5f)
            control->surface = uint32_t(surface);
        if (auto* ai = static_cast<AICharacter*>(control->ai))
            ai->lastMoveMs = g_GameClock.nowMs;
    }
    PHY_BindSurfaceTriggers(s.level);
}

void SimPositionLines(const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines) {
    for (const auto& [name, bod] : bods) {
        const CharacterControl* control = BOD_CharacterOf(bod);
        if (!control)
            continue;
        const Vec3 p = BOD_PositionOf(control);
        char text[160];
        std::snprintf(text, sizeof(text), "pos %s %.1f %.1f %.1f %u", name.c_str(), p.x, p.y, p.z, control->surface);
        lines->push_back(text);
    }
}
