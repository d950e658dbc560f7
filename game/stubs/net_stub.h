// The stand-in transport's test seam: when a test installs a transport, the stand-in's NET_
// operations forward to it (the loopback hub of the tests). Never used by the program itself.
#pragma once
#include <cstdint>

#include "net/net.h"

struct NetTestTransport {
    int (*send)(int fromSlot, int toSlot, const uint8_t* bytes, int length);
    int (*broadcast)(int fromSlot, const uint8_t* bytes, int length);
    int (*setHandler)(int slot, NetMessageHandler handler);
    int (*getLocalSlot)();
    int (*getHostSlot)();
    int (*isHost)();
    int (*getPlayerId)(int slot);
    const char* (*getPlayerName)(int slot);
};

// Null removes the installed transport.
void NET_SetTestTransport(const NetTestTransport* transport);
// The stand-in's own receiver table (without a test transport).
NetMessageHandler NET_StubHandler(int slot);
