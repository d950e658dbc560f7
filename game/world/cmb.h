// Stand-in for thrown objects and body-part detachment until they are built.
#pragma once
#include "common/mth.h"

struct Bod;
struct CharacterControl;

// Cuts the character into flying pieces with the two velocities (recorded).
void CMB_GibCharacterFly(Bod* victimBod, int playerId, const Vec3* velocityA, const Vec3* velocityB);
// Clears the hidden and detached marks of the character's named bones (recorded).
void CMB_RestoreLimbs(CharacterControl* control);
