// The transport's state block NetTransport (one for the process) and the table of its back ends,
// shared by the transport's files and the back ends that fill the slot tables.
#pragma once
#include <atomic>
#include <cstdint>

#include "net/net.h"

constexpr int NET_MAX_SESSIONS = 50;
constexpr int NET_MAX_CONNECTIONS = 49;
constexpr int NET_MAX_MODEMS = 100;
constexpr int NET_RECEIVE_BUFFER = 2048;
constexpr int NET_GAMEDEF_SIZE = 1100;
// The selected connection of a game started by a DirectPlay lobby: not in the connection list,
// but selected, so that the pump receives.
constexpr int32_t NET_LOBBY_CONNECTION = -2;

// The traffic meter of one direction: this frame, last frame, peak of one frame, peak of one
// second, last completed second, running sum of the current second.
struct NetTrafficCounters {
    int32_t thisFrame;
    int32_t lastFrame;
    int32_t peakFrame;
    int32_t peakSecond;
    int32_t lastSecond;
    int32_t runningSum;
};

struct NetTraffic {
    NetTrafficCounters sent;
    NetTrafficCounters received;
    uint32_t now;          // tick count of the last pump
    uint32_t secondStart;  // tick count at which the current second began (0: not started)
};

// One back end: what the transport's operations ask of DirectPlay or of the online service.
// Slot tables live in NetTransport; a back end fills them.
struct NetBackend {
    // The start of NET_Init; may change the mode. Its result is NET_Init's.
    int (*start)();
    void (*shutdown)();
    // Takes the next received message into *buffer (which it may replace by a larger block of
    // MEM_Alloc tag 7, updating *capacity): 1 with its length and the sender's and addressee's
    // back-end ids, 0 when nothing is waiting.
    int (*receive)(uint8_t** buffer, int* capacity, int* length, int32_t* senderId, int32_t* addresseeId);
    // Sends to one slot, or to every other player for toSlot -1: 1 sent, 0 refused.
    int (*send)(int fromSlot, int toSlot, const uint8_t* bytes, int length);
    // Fills the connection list (names and count) and answers the count.
    int (*enumConnections)();
    int (*initConnection)(int index);
    int (*closeSession)();
    int (*reloadPlayerList)(int session);
    int (*createPlayer)(const char* name);
    int (*destroyPlayer)(int slot);
    int (*enumSessions)();
    int (*joinSession)(int session);
    int (*hostSession)(const char* name);
};

// The back ends, indexed by mode (0 and 1 have none).
extern const NetBackend g_NetDirectPlay;
extern const NetBackend g_NetOnline;

struct NetTransport {
    HWND window;
    NetGuid guid;
    NetGuid sessionGuid;  // the copy that fills session descriptions
    int32_t host;
    int32_t mode;
    int32_t maxPlayers;
    NetMessageHandler handlers[NET_MAX_SLOTS];

    // DirectPlay tables.
    int32_t dpPlayerId[NET_MAX_SLOTS];  // -1 free
    char* dpName[NET_MAX_SLOTS];
    int32_t dpPlayerData[NET_MAX_SLOTS];
    int32_t dpLocal[NET_MAX_SLOTS];
    int32_t dpPlayerCount;
    void* directPlay;  // the DirectPlay interface, null none
    int32_t selectedConnection;
    int32_t currentSession;
    int32_t lastSession;
    char* sessionName[NET_MAX_SESSIONS];
    uint8_t sessionInstance[NET_MAX_SESSIONS][16];
    char* connectionName[NET_MAX_CONNECTIONS];
    int32_t connectionCount;
    char* modemName[NET_MAX_MODEMS];
    int32_t modemCount;
    int32_t selectedModem;

    // Online tables.
    uint8_t gameDef[NET_GAMEDEF_SIZE];
    int32_t gulp;
    int32_t onlinePlayerCount;
    int32_t onlineAddr[NET_MAX_SLOTS];  // KRADDR, -1 free
    char* onlineName[NET_MAX_SLOTS];
    int32_t onlineIsMe[NET_MAX_SLOTS];
    std::atomic<int> joinLeave;  // set by the library's thread, cleared by NET_Pump
    int32_t joinState;           // -1 not joined
    const char* onlineLabel;

    NetTraffic traffic;
};

extern NetTransport g_Net;

// The back end of the current mode, null for none.
const NetBackend* NET_Backend();
// The system tick count as the meter reads it (the seam may replace the source).
uint32_t NET_Ticks();
// A slot 0..99 in use by the current back end whose id is `id`, scanning from 0; -1 none.
int NET_SlotOfId(int32_t id);
// Clears the twelve counters and both tick counts.
void NET_ClearTraffic();
// The meter's step at the start of each pump.
void NET_MeterPump();
void NET_CountSent(int length);
void NET_CountReceived(int length);
// The seam's replacements (net_seam.cpp), null when not installed.
struct NetTestTransport;
const NetTestTransport* NET_TestTransport();
int NET_ObserveCall(const char* call, const char* args);  // 1 when nobody observes
const NetBackend* NET_BackendOfMode(int mode);
