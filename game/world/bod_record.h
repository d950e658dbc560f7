// Reaching the fields that characters and world objects share by name (transform, surface,
// instance, heading, pose): the record of a bod is handed to a generic function as the
// CharacterControl* or the WorldObjectControl* that its class says it is.
#pragma once
#include "world/wo.h"
#include "world/bod.h"
#include "world/character.h"

// Calls fn(record) and returns true, or returns false when the bod has no record.
template <class Fn>
bool BOD_WithRecord(const Bod* bod, Fn&& fn) {
    if (CharacterControl* character = BOD_CharacterOf(bod)) {
        fn(character);
        return true;
    }
    if (WorldObjectControl* object = BOD_ObjectOf(bod)) {
        fn(object);
        return true;
    }
    return false;
}

template <class Record>
Vec3 BOD_PositionOf(const Record* record) {
    return Vec3{record->transform.m[9], record->transform.m[10], record->transform.m[11]};
}

template <class Record>
void BOD_SetPosition(Record* record, const Vec3& position) {
    record->transform.m[9] = position.x;
    record->transform.m[10] = position.y;
    record->transform.m[11] = position.z;
}
