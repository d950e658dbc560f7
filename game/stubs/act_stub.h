// Stand-in for the character records, kind tables and damage routines until they are built.
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
