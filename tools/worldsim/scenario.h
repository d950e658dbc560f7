// worldsim's scenarios: the text format (see kScenarioHelp), its reader, and the run that sets the
// world up through the world harness and prints each frame.
#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "movement.h"

extern const char* const kScenarioHelp;

struct ScenarioBod {
    std::string kind;   // "player", "npc", "object", "door", "conveyor"
    int index;          // player slot, NPC pool index, or the object's number
    float x, y, z;
    int value;          // player id, NPC health, object type
    int action;
    std::vector<float> params = {};  // door and conveyor numbers
    std::string target = {};         // a door's landscape object
};

struct ScenarioEvent {
    int frame;
    std::string what;   // "action", "remote", "halt", "resume", "remove", "blast", "command", "select",
                        // "pickup", "take", "drop",
                        // and the camera and team events: "key", "cam", "orders", "place", "radar";
                        // the level's end and the score: "finish", "frag"
    std::string who;
    std::vector<float> numbers;
    std::string field;  // command: turn, move, attack, use, push, kick, gait
};

struct Scenario {
    int level = 2;
    std::string game = "single";  // "single", "host", "client"
    std::string handlers = "logging";  // "logging": handlers that report; "game": the real tables
    int localSlot = 0;
    int frames = 3;
    uint32_t extraMs = 0;         // added to the platform's step each frame
    std::vector<ScenarioBod> bods;
    std::vector<float> floors;    // 5 numbers each
    std::vector<float> walls;     // 6 numbers each
    std::vector<ScenarioEvent> events;
    bool printCamera = false;     // print camera: the camera's line after every frame
    // Movement: the floors' and walls' looks (one each), a map file, positions printed.
    std::vector<SurfaceLook> floorLooks;
    std::vector<SurfaceLook> wallLooks;
    std::string map;
    bool printPositions = false;
    uint32_t frameMs = 0;         // 0: the platform's 20 plus extraMs
    // The level's end and the match score: the level frame counter at the start (-1: a settled
    // level), the network match's type and frag limit.
    int levelFrames = -1;
    int matchType = 0;
    int fragLimit = 0;
};

// false and a message naming the line when the text is not a scenario.
bool ReadScenario(std::istream& in, Scenario* scenario, std::string* error);
// Runs it and prints every frame to out.
void RunScenario(const Scenario& scenario, std::ostream& out);
