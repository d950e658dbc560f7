// Characters: the two pools of character bods and their creation at level load, the placing of
// zombies and humans into the NPC pool, the player characters' frame hook, the character kind
// tables (act_kinds.cpp, act_create.cpp); and, still stand-ins, the damage routines and the player
// status exchange.
#pragma once
#include <array>
#include <cstdint>

struct Bod;
struct CharacterControl;

// 0: melee blows of players and humans only reach zombies.
extern int32_t g_FriendlyFire;

// The damage routines: host or single player only, health clamped at 0. ACT_Damage subtracts and
// gives 1 when the health fell below 1; the other two kill at that point (health 0).
int ACT_Damage(Bod* bod, int amount);
int ACT_DamageCharacter(Bod* bod, int amount, int kind);
int ACT_DamageNoScore(Bod* bod, int amount, int kind);

// Kills a living character (item: the killing object's record, or null): recorded by the stand-in.
void ACT_KillCharacter(Bod* bod, void* item, int kind, int corpseFlag);
// Damage from a deadly or hurtful surface (host or single player): sets the AI record's death kind,
// subtracts, clamps at 0; 1 when the character was killed by it. Recorded by the stand-in.
int ACT_SurfaceDeath(Bod* bod, int amount, int kind);

// The character kind tables.
constexpr int ACT_MODEL_NAMES = 6;
constexpr int ACT_CHARACTER_RECORDS = 6;
constexpr int ACT_HUMAN_KINDS = 8;
constexpr int ACT_ZOMBIE_LOOKS = 16;
constexpr int ACT_SKINS = 124;
// A character record: the index of its model file name, the directory of its face pictures.
struct ActCharacterRecord {
    int32_t modelName;
    const char* faces;
};
// A human kind: its character record and its two skins (A worn, B loaded first and kept).
struct ActHumanKind {
    int32_t record;
    int32_t skinA;
    int32_t skinB;
};
// A zombie look: the model (0 the female model, 1 the male) and the skin.
struct ActZombieLook {
    int32_t modelSelector;
    int32_t skin;
};
extern const char* const kActModelFiles[2];
extern const int32_t kActModelNames[ACT_MODEL_NAMES];
extern const ActCharacterRecord kActCharacterRecords[ACT_CHARACTER_RECORDS];
extern const ActHumanKind kActHumanKinds[ACT_HUMAN_KINDS];
extern const ActZombieLook kActZombieLooks[ACT_ZOMBIE_LOOKS];
// Skin bitmap files by skin index; null where no skin is kept under that index.
extern const std::array<const char*, ACT_SKINS> kActSkinFiles;

// The model and skins of a human kind (player character ids are kinds): 1 and the file names, or
// 0 for a kind that the table does not hold.
struct ActKindFiles {
    const char* model;
    const char* skinA;
    const char* skinB;
};
int ACT_GetKindFiles(int characterId, ActKindFiles* out);
// The model and skin of a zombie look 0..15: 1 and the file names, or 0.
int ACT_GetLookFiles(int look, ActKindFiles* out);

// Creation at level load: the player bods (8 in a network game, else 4; class 4, the player
// frame hook, active, action 0) and the 60 NPC bods (class 8, inactive, no hook). A bod the heap
// refuses leaves its pool entry null.
void ACT_CreatePlayerBods();
void ACT_CreateNpcBods();
// Places a zombie (look 0..15, or -1 for the next look in turn) or a human of a kind into the
// lowest NPC bod without an AI record: its pool index, or -1 when none is free, the look or kind
// is out of range, or the model cannot be loaded (the bod is then left as it was).
int ACT_SpawnZombie(float x, float y, float z, float heading, int look);
int ACT_SpawnHuman(float x, float y, float z, float heading, int kind);
// The look the next spawn with look -1 takes (the cursor lives as long as the program).
int ACT_PeekLookCursor();
// The player characters' frame hook: lost limbs come back when their time has passed, then the
// hold of a zombie is checked.
void ACT_PlayerFrameHook(Bod* bod, void* control);

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
// Direct control of the selected member taken and given back; every player stops at a level's end
// (recorded by the stand-in).
void ACT_TakeDirectControl();
void ACT_ReleaseDirectControl();
void ACT_StopPlayersAtLevelEnd();
