// worldsim's movement commands: floors and walls with a texture and a moving material, a map file
// in place of the synthetic landscape, the surface triggers bound at level start, and the
// characters' positions printed each frame.
#pragma once
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct Bod;
struct Scenario;

// The optional words after a floor's or wall's numbers: TEXTURE [MODE SPEED] (walls: TEXTURE).
struct SurfaceLook {
    std::string texture;
    std::string mode;   // "belt" or "flow"
    float speed = 0.0f;
};

// "floor X0 Z0 X1 Z1 Y [TEXTURE [MODE SPEED]]", "wall X0 Z0 X1 Z1 BOTTOM TOP [TEXTURE]".
bool SimReadFloor(std::istringstream& words, Scenario* s);
bool SimReadWall(std::istringstream& words, Scenario* s);
// "frame MS": every frame lasts MS milliseconds of the clock (in place of the platform's 20 and
// the step).
bool SimReadFrameLength(std::istringstream& words, Scenario* s);
// After frame `frame` (from 1): the clock set to the start plus frame x MS, when the scenario
// sets a frame length.
void SimKeepFrameLength(const Scenario& s, uint32_t startTicks, int frame);
// "map FILE" (relative to the directory worldsim runs in).
bool SimReadMap(std::istringstream& words, Scenario* s);

// Builds the scenario's landscape: its map file, else its floors and walls (nothing when none).
void SimBuildLandscape(const Scenario& s);
// At level start: the characters standing on the ground get their surfaces, their last move now, the level's triggers.
void SimStartMovement(const Scenario& s, const std::map<std::string, Bod*>& bods);
// "pos BOD X Y Z SURFACE" for every character.
void SimPositionLines(const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines);
