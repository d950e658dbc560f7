// Interface pictures as the world asks for them.
#pragma once

// Loads the two in-game icons of a world-object type; a type outside 0..149 or without a name
// loads nothing. The result is not used.
int IMG_LoadObjectIcons(int type);
