// Character movement: the one locomotion step of every moving character, and the ballistic step of
// a character in the air.
#pragma once

struct Bod;

// Moves the character one frame along its heading by its animation's root motion and holds it on
// the ground: 1 moved, 0 blocked or not movable.
int PHY_MoveCharacter(Bod* bod);
// One frame of a falling character: gravity on its velocity, the position moved by it, deadly
// surfaces. 1 once it has reached the ground (the velocity is left as it was on impact), else 0.
int PHY_FallStep(Bod* bod);
