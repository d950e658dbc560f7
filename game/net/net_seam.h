// Observation and test points of the transport, all off by default (a program run never sets
// them): a replacement for the transport's player view (the loopback hub of the message tests),
// an observer of NET_Init and NET_Shutdown, the back end of a mode, and the meter's clock.
#pragma once
#include <cstdint>

#include "net/net.h"

struct NetBackend;

// When installed, NET_Send, NET_Broadcast, NET_SetHandler, NET_GetLocalSlot, NET_GetHostSlot,
// NET_IsHost, NET_GetPlayerId and NET_GetPlayerName answer through it.
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
void NET_InstallTestTransport(const NetTestTransport* transport);  // null removes it

// Called on entry to NET_Init (with its arguments as "guid,startMode,maxPlayers", the GUID's first
// word in hex) and NET_Shutdown (args null). For NET_Init a result of 0 refuses the start: NET_Init
// then answers 0 and leaves the mode at 0.
typedef int (*NetCallObserver)(const char* call, const char* args);
void NET_SetCallObserver(NetCallObserver observer);

// Replaces the back end of mode 2 or 3 (null restores the built-in one).
void NET_SetBackend(int mode, const NetBackend* backend);
// Replaces the meter's tick source (null restores GetTickCount).
void NET_SetTickSource(uint32_t (*ticks)());
// The handler registered for a slot 0..99, null for none or another slot.
NetMessageHandler NET_GetHandler(int slot);
