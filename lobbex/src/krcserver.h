// The server queries' flat record, for the tests besides the exports.
#pragma once
#include <cstdint>

#include "krxdrtypes.h"

// A decoded server record into the caller's flat record of KRSERVER_FLAT_SIZE bytes: texts cut at
// 127 characters and terminated only when shorter, the data length as sent, at most 4096 data
// bytes copied.
void KrServerInfoFlatten(const KRSERVER_INFO& info, uint8_t* flat);
