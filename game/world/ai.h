// Stand-in for the AI characters until they are built: the record holds health and state.
#pragma once
#include <cstdint>

struct AICharacter {
    float health;   // 0..64
    int32_t state;  // 1 held, 3 dying, 4 (not shown on the map), 5 ...
};

// 1 once the level's goals are met (the stand-in: the result set for the name, else 0).
int AI_LevelFinished();
void AI_Tick();
// The AI's reaction to a hit: attacker's record (or the victim's own), victim's record, damage.
void AI_OnDamaged(AICharacter* attacker, AICharacter* victim, float damage);

// The hand-over of a team member between the player and its AI, and the team's orders (recorded
// by the stand-in): the AI takes the member back, or releases it to the player; an order to walk
// to, use or attack what lies at a clicked point, given to player member 0..7.
struct Bod;
void AI_TakeBack(Bod* bod);
void AI_Release(Bod* bod);
void AI_OrderAtPoint(float x, float y, float z, int member);
