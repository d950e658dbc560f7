// The network transport as the rest of the game calls it: start and stop, player slots, sending
// game messages to one slot or to every other player, the receivers by slot, and the connection
// parameters that the network options file sets. A player slot is 0..7 in a game (the transport's
// tables have 100 slots); -1 means none.
#pragma once
#include <cstdint>

#include "win32.h"

// The DirectPlay application GUID, passed by value.
struct NetGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// {cb7a0bc0-1272-11d1-8ef3-0800003a055d}: the game's application GUID.
inline constexpr NetGuid kGhouldenGuid = {0xcb7a0bc0u, 0x1272, 0x11d1, {0x8e, 0xf3, 0x08, 0x00, 0x00, 0x3a, 0x05, 0x5d}};

// Start modes of NET_Init and the transport modes of NET_GetMode.
enum : int {
    NET_MODE_NONE = 0,
    NET_START_ONLINE_FIRST = 0,  // try the online service first (lobby launch)
    NET_MODE_DIRECTPLAY = 2,
    NET_MODE_ONLINE = 3,
};

constexpr int NET_MAX_SLOTS = 100;  // slots of the transport's tables
constexpr int NET_MAX_PLAYERS = 8;  // players of one game
constexpr int NET_MAX_NAME = 16;    // characters of a player name

// Receiver of game messages for one receiving slot. The bytes belong to the transport and are
// valid only during the call; the result is not used.
typedef int (*NetMessageHandler)(int senderSlot, int receiverSlot, const uint8_t* bytes, int length);

// Starts the transport: start mode 0 (online service first) or 2 (DirectPlay), maxPlayers 8.
// 1 when a back end runs, 0 on failure (the caller shuts down).
int NET_Init(HWND window, NetGuid applicationGuid, int startMode, int maxPlayers);
// Leaves and closes the session, releases the back end and its strings; mode back to 0.
int NET_Shutdown();
// One message to one player; needs at least 2 players in the session. 1 sent, 0 not.
int NET_Send(int fromSlot, int toSlot, const uint8_t* bytes, int length);
// One message to every other player; 1 sent (also when no session is open), 0 not.
int NET_Broadcast(int fromSlot, const uint8_t* bytes, int length);
// Registers the receiver for slot 0..99; a null handler is ignored. Result 1.
int NET_SetHandler(int slot, NetMessageHandler handler);
int NET_GetLocalSlot();   // this machine's player slot, -1 when none
int NET_GetHostSlot();    // the slot that reaches the host, -1 when none
int NET_IsHost();         // 1 when this machine hosts the session
int NET_GetMode();        // 0 none, 2 DirectPlay, 3 online service
// The back end's id of the player in a slot (DirectPlay player id or service address), -1 when
// none or the slot is outside 0..99.
int NET_GetPlayerId(int slot);
// The player's name (at most 16 characters), null for a slot out of range or without a name.
const char* NET_GetPlayerName(int slot);

// Polls the back end once and hands every waiting message to the handler of its receiving slot.
// Also steps the traffic meter. Result 0.
int NET_Pump();
// Clears the twelve traffic counters.
void NET_ResetTrafficCounters();
// Connections: the number of selectable ones (-1 for an unknown mode), their names (null for an
// index outside the list), selecting one (1 ok, 0 failed).
int NET_EnumConnections();
const char* NET_GetConnectionName(int index);
int NET_SelectConnection(int index);
int NET_InitConnection(int index);
// Sessions and players.
int NET_CloseSession(int connectionIndex);
int NET_LeaveSession();
int NET_ReloadPlayerList(int sessionIndex);
int NET_CreatePlayer(const char* name);
int NET_DestroyPlayer(int slot);
int NET_EnumSessions();
int NET_GetMaxSessions();
int NET_JoinSession(int sessionIndex);
int NET_HostSession(const char* name);
const char* NET_GetSessionName(int sessionIndex);
int NET_GetPlayerCount();
const char* NET_GetPlayerNameById(int id);

// Connection parameters, loaded from the network options file. The texts are tracked copies
// (heap tag 7) owned by the transport: a getter's text is valid until the next set, NET_Init or
// NET_Shutdown. The numeric setters keep only values inside their range; every setter returns 1.
int NET_SetIPAddress(const char* text);
int NET_SetConnString(const char* text);
int NET_SetPhoneNumber(const char* text);
const char* NET_GetIPAddress();
const char* NET_GetConnString();
const char* NET_GetPhoneNumber();
int NET_SetComPort(int port);        // 1..4, default 3
int NET_SetBaudRate(int rate);       // 110..256000, default 256000
int NET_SetStopBits(int code);       // 0..2 (one, one and a half, two), default 0
int NET_SetParity(int code);         // 0..3 (none, odd, even, mark), default 0
int NET_SetFlowControl(int code);    // 0..4 (none, XON/XOFF, RTS, DTR, RTS and DTR), default 2
int NET_GetComPort();
int NET_GetBaudRate();
int NET_GetStopBits();
int NET_GetParity();
int NET_GetFlowControl();
// NET_Init's part: the serial defaults and a fresh "undefined" for each text.
void NET_ResetConnectionParams();
// NET_Shutdown's part: releases the three texts (the getters then read "undefined").
void NET_ReleaseConnectionParams();
