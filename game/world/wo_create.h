// Making world objects during play from the master table, and the objects' message numbers.
#pragma once
#include <cstdint>

#include "common/mth.h"

struct Bod;
struct WorldObjectControl;

// A class-64 object of `type` in g_WorldBods on the given (zeroed) control record, its master row
// copied, lying in the world (state 19); null, with a report on the debug output, when the master
// table has no row for the type. A weapon that fires objects gets its projectile's model now.
Bod* WOCreateFromMaster(WorldObjectControl* control, uint32_t type);
// Allocates the control record and creates the object at `position` (surface located from
// `startSurface`), marked as made during play. Returns the bod (null when the type has no row:
// the record is freed); the out pointers, when given, receive the bod and the control record.
Bod* WOCreateAt(const Vec3* position, int32_t startSurface, uint32_t type, Bod** outBod,
                WorldObjectControl** outControl);

// The level's message numbers: the counter starts again at 1 (level start).
void WO_ResetNetIds();
// The next message number for a new object: 1..254 in turn, skipping 0 and WO_NO_NET_ID and every
// number a live world object still holds. WO_NO_NET_ID when all are held.
uint8_t WO_TakeNetId();
