// Creating a level's placed objects from its placement list.
#pragma once
#include <cstddef>

#include "world/wo_placement.h"

// Creates the objects of `list`, reading at most `capacity` records and stopping at the end
// record: types below 151 become active class-320 objects with their type's model, types 151 to
// 161 class-128 statics bound to the landscape object of their name. Records of other types are
// skipped. Returns the number of objects created.
int LVL_CreatePlacedObjects(const WOPlacement* list, size_t capacity);
