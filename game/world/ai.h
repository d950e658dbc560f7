// Stand-in for the AI characters until they are built: the record holds health and state.
#pragma once
#include <cstdint>

struct Bod;
struct CharacterControl;

struct AICharacter {
    float health;   // 0..64
    int32_t state;  // 0 idle, 1 held, 3 dying, 4 (not shown on the map), 5 attack ...
    int32_t aiDrives;    // 1 while the AI drives the character, 0 while a player does
    int32_t kind;        // 1 a player character
    int32_t posture;     // 8 crawling
    float facing;        // degrees in [0, 360), 0 along +z
    int32_t chewIndex;   // the next chew sound of a feeding zombie, 0..15
    int32_t lastChewMs;  // when it last chewed
    // Movement and surface contact.
    float speed;         // forward speed, units per frame step (25.6 frame steps a second)
    int32_t lastMoveMs;  // game time of the character's last move
    int32_t deathKind;   // how the character last died (the death kinds of the damage routines)
    int32_t nextDamageMs;  // a poisoned floor hurts again from this time on
};

// 1 once the level's goals are met (the stand-in: the result set for the name, else 0).
int AI_LevelFinished();
void AI_Tick();
// Level load and unload: the level's AI set-up; the AI's end (it records the survivors for the
// results screen). Recorded by the stand-in.
void AI_InitLevel(int level);
void AI_Shutdown();
// The AI's reaction to a hit: attacker's record (or the victim's own), victim's record, damage.
void AI_OnDamaged(AICharacter* attacker, AICharacter* victim, float damage);

// The hand-over between the player and the AI. AI_TakeBack: the AI drives again (in single player
// its facing follows the heading); AI_Release: the AI lets go; AI_SyncHeading: AI_TakeBack for
// every character but the focus character, which only while g_FocusAiMode is set. Recorded.
void AI_TakeBack(Bod* bod);
void AI_Release(Bod* bod);
void AI_SyncHeading(Bod* bod);
// 1 when the bod is g_FocusBod and g_FocusAiMode is 0.
int AI_IsFocusUnderPlayer(const Bod* bod);
// A character held by a zombie is let go once the hold has ended (recorded).
void AI_HeldCheck(CharacterControl* control);
// The hurt message and speech of a damaged character (recorded).
void AI_OnHurt(AICharacter* ai);
// Multiplayer: the character faces and attacks its attacker (recorded).
void AI_TurnOnAttacker(AICharacter* attackerAi, AICharacter* ai);
// A team order (recorded): walk to, use or attack what lies at a clicked point, given to player
// member 0..7.
void AI_OrderAtPoint(float x, float y, float z, int member);

// The AI's part in a character's move. One saved-position slot serves every character: the move
// saves the position before it steps and restores it when the step is refused. AI_FindBlocker
// gives another character within 90 units in plan and 200 in height of the bod, or null.
// AI_OnBumpObject gives 1 when the AI takes over after walking into a landscape object.
// The stand-in records each call.
void AI_SavePosition(Bod* bod);
void AI_RestorePosition(Bod* bod);
Bod* AI_FindBlocker(Bod* bod);
void AI_OnBumpCharacter(Bod* bod, Bod* other);
int AI_OnBumpObject(Bod* bod);
void AI_OnBumpWall(Bod* bod);
