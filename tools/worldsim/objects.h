// worldsim's world objects under the game's own behaviours: real objects made by the spawner,
// doors and conveyors placed through the placement code, carrying driven by events, and what a
// frame did to them (door positions, carried entries, objects taken or dropped).
#pragma once
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct Bod;
struct Scenario;
struct ScenarioBod;
struct ScenarioEvent;

// "door WALL HEADING ALONG ACROSS SPEED [OPEN]", "conveyor SPEED MATERIAL [MATERIAL]": a static
// named object<N> like the objects.
bool SimReadStatic(const std::string& command, std::istringstream& words, Scenario* s, int objects);
// "pickup BOD OBJECT", "take BOD OBJECT" (as a received message applies it), "drop BOD".
bool SimReadCarryEvent(ScenarioEvent* event, std::istringstream& words);
bool SimIsCarryEvent(const std::string& what);

// Forgets the records of the last run.
void SimResetObjects();
// Makes a scenario's object or static with the game's code (null when the game refuses it).
Bod* SimMakeGameObject(const ScenarioBod& b);
// Runs a carrying event; its result as a line.
void SimCarryEvent(const ScenarioEvent& e, const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines);
// "door BOD X Z PHASE" when a door moved, "carry BOD TYPES selected S" when a character's carried
// entries changed, "where BOD W" when an object was taken or put back.
void SimObjectLines(const std::map<std::string, Bod*>& bods, std::vector<std::string>* lines, bool print);
// Calls of the world objects worth a line in the characters' report.
bool SimReportsObjectCall(const std::string& call);
