// The game table of the library: the 16 game slots that every game call names by an HGAME, the
// library's start count and its own host name and address, and the game definition GAMEDEF that
// the service's lobby leaves in the registry to bind a slot to its game instance server (GICS).
#pragma once
#include <cstdint>

#include "krevent.h"
#include "krnetdb.h"
#include "krtypes.h"

typedef int16_t HGAME;
constexpr int KR_MAX_GAMES = 16;

// Slot states.
enum : uint16_t { KRGAME_FREE = 0, KRGAME_PREPARED = 1, KRGAME_JOINING = 2, KRGAME_JOINED = 3 };

struct KRSESS_HNDL;
struct KRJOINLEAVE_HNDL;

// The join reply as decoded from CLIENT_JOIN's response.
struct KRGAME_JOIN_REPLY {
    KRADDR own;
    KRADDR server;
    KRTLADDR serverTl;
};

// One game slot.
struct KRGAME_CB {
    uint16_t state;
    KRADDR ownAddr;
    KRSESS_HNDL* joinSession;
    KRSESS_HNDL* gameSession;
    KRQSOCKADDR ownAddress;    // this machine, qualified by ownAddr
    KRQSOCKADDR localAddress;  // the own record with the any-address and port 0
    KRQSOCKADDR serverAddress; // the game server of the join reply
    sockaddr_in gicsAddress;
    int32_t unreliable;        // 1: the GICS is reached over udp
    uint32_t joinWord;
    const char* playerName;
    KRGAME_JOIN_REPLY joinReply;
    uint16_t joinCount;
    KRLOCK lock;
    KrEvent event;
    int32_t notifyState;       // 0 off, 1 disabling, 2 enabling, 3 enabled
    KRJOINLEAVE_HNDL* notifyCalling;
    KRJOINLEAVE_HNDL* notifyHead;
    int32_t notifyCount;
};

// GAMEDEF: field offsets of the registry record (little-endian). The game's record is 1100 bytes.
enum : uint32_t {
    GAMEDEF_HGAME = 0,      // int16
    GAMEDEF_OWN_ADDR = 4,   // KRADDR
    GAMEDEF_JOIN_WORD = 8,  // uint32
    GAMEDEF_GICS = 20,      // 16-byte KRTLADDR: family, port (network order), address, inner
    GAMEDEF_NAME = 36,      // NUL-terminated player name
    GAMEDEF_TRACE = 892,    // trace word
    GAMEDEF_NO_WAIT = 896,  // a word that the game reads
    GAMEDEF_GAME_SIZE = 1100,
};
struct GAMEDEF; // the record is handled as bytes

// Results of the game definition.
enum : int { KR_GAMEDEF_UNAVAILABLE = -10, KR_GAMEDEF_INCOMPATIBLE = -11 };

// The slot of a handle 0..15, else null.
KRGAME_CB* GetGamePtr(HGAME game);
// Binds the slot named by the record's HGAME (a joined slot is left as it is): 0, -1 bad handle.
// `size` is the number of bytes the record really holds.
int PrepareGameDef(const GAMEDEF* record, uint32_t size);
// The library's start count (never below 0).
int32_t KrStartCount(void);
// sockaddr_in of a host text (dotted or a name) and port: 0, or -1 logged by KrError.
int MakeIPAddress(sockaddr_in* address, const char* host, int port);
// The 24-byte player address record: family 5, zero, KRADDR (network order), then the socket
// address of host and port. 0, or -1 when the host does not resolve.
int MakeKrAddress(KRQSOCKADDR* record, const char* host, int port, KRADDR kraddr);
