// Stand-in for the landscape object set-up until it is built.
#pragma once
#include <cstdint>

// The stand-in sets nothing up: it returns the object count (0 for an index outside
// 1..objectCount), as the set-up does.
int32_t LND_SetUpObject(int32_t object);
