// Stand-in for the character records, kind tables, damage routines and the player status
// exchange until they are built.
#pragma once
#include <cstdint>

struct Bod;

// 0: melee blows of players and humans only reach zombies.
extern int32_t g_FriendlyFire;

// The damage routines: host or single player only, health clamped at 0. ACT_Damage subtracts and
// gives 1 when the health fell below 1; the other two kill at that point (health 0).
int ACT_Damage(Bod* bod, int amount);
int ACT_DamageCharacter(Bod* bod, int amount, int kind);
int ACT_DamageNoScore(Bod* bod, int amount, int kind);

// The model and skins of a player character id (the human-kind table): 1 and the file names, or
// 0 for an id that the table does not hold.
struct ActKindFiles {
    const char* model;
    const char* skinA;
    const char* skinB;
};
int ACT_GetKindFiles(int characterId, ActKindFiles* out);

// The player status exchange with the interface. The stand-in keeps one status record per player
// character 0..7 in place of the character records: ACT_GetPlayerStatus gives it back (with the
// character's bod and its control record flag) and 1, or 0 for an index without a character;
// ACT_SetPlayerStatus stores the record and hands its request words to the character's control
// record. Each call is recorded.
struct PlayerStatus;
struct HudState;
int ACT_GetPlayerStatus(int index, PlayerStatus* status);
int ACT_SetPlayerStatus(int index, const PlayerStatus* status);
// Applies the HUD state's command block (act_commands.cpp): the team-mode flag, the steered member,
// an order at a point, the camera commands; recorded with the controlled member, the team-mode
// flag, the radar word, the ordered point, the pan words and the run flag.
void ACT_ApplyPlayerCommands(const HudState* state);
// Test seam: the status record the stand-in holds for player index 0..7.
PlayerStatus* ACT_StubStatus(int index);
