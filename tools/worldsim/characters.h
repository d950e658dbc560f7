// worldsim's characters under the game's own action table: their set-up on the demo install's
// character body, the command fields and selections that scenarios write, and what a frame did to
// them (animations started, health changed, the calls worth a line).
#pragma once
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct Bod;

// Writes the character bodies where the game loads them (the harness's working directory).
void SimWriteCharacterFiles();
// Puts a character on the action table with the female body, standing; a player's AI record is
// a player character's.
void SimUseGameHandlers(Bod* bod, bool player);
// A command field (turn, move, attack, use, push, kick, gait); false for a bod without a record.
bool SimCommand(Bod* bod, const std::string& field, int value);
// An object of `type` carried in slot 1 and selected (-1: bare hands).
bool SimSelect(Bod* bod, int type);

// What is remembered of each character between frames.
struct SimCharacterState {
    int animation = -1;
    float health = -1.0f;
};
// The lines of a frame for the characters: "anim BOD NAME", "health BOD N".
void SimCharacterLines(const std::map<std::string, Bod*>& bods, std::map<std::string, SimCharacterState>* seen,
                       std::vector<std::string>* lines, bool print);
// Whether a call of the frame is part of the characters' report.
bool SimReportsCall(const std::string& call);
