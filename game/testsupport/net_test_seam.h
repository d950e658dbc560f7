// The message and shell tests' way into the transport: installing
// a test transport (the loopback hub) into the transport's seam also routes NET_Init and
// NET_Shutdown into the stand-ins' call trace, so start-up order tests see them and can make
// NET_Init fail. Never used by the program itself.
#pragma once
#include <cstdint>

#include "net/net.h"
#include "net/net_seam.h"

// Null removes the installed transport (the trace routing stays).
void NET_SetTestTransport(const NetTestTransport* transport);
// The transport's receiver of a slot.
NetMessageHandler NET_StubHandler(int slot);
