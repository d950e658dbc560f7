// IO channels (krio): one socket of the library with its transport back end, and the one io
// thread per process that waits on every registered socket and calls each channel's event
// callback. The multiplexer opens, clones, reads, writes and closes channels; the back ends
// (krioinet: UDP and TCP) supply the per-transport operations through operation tables.
//
// Internal operations give 0 for success and non-zero for failure and set the thread's KrErrno;
// receive and transmit give a byte count or -1.
#pragma once
#include <cstdint>

#include "krevent.h"
#include "krtypes.h"
#include "winsock.h"

// Io types: the back end of a channel.
enum : uint32_t { KRIO_TYPE_TCP = 0, KRIO_TYPE_UDP = 1, KRIO_TYPE_FAIL = 2 };
constexpr uint32_t KRIO_TYPE_COUNT = 3;
// Families: 0 internet, the only one.
constexpr uint32_t KRIO_FAMILY_INET = 0;
// Passive (listening) or active (connected) channels.
enum : uint32_t { KRIO_PASSIVE = 0, KRIO_ACTIVE = 1 };
// Channel states; a channel is usable in states 3 and 4.
enum : int32_t { KRIO_CLOSING = 1, KRIO_DESTROYING = 2, KRIO_OPENING = 3, KRIO_OPEN = 4 };
// Event classes and interest flags.
enum : uint32_t { KRIO_READABLE = 2, KRIO_WRITABLE = 4, KRIO_EXCEPTIONAL = 8 };

// The io option: how long an active TCP open waits for its connect, in milliseconds.
constexpr uint32_t KRIO_OPT_CONNECT_TIMEOUT = 0x40000;
constexpr uint32_t KRIO_CONNECT_TIMEOUT_DEFAULT = 30000;

// Options are (id, value) pairs.
struct KRIO_OPTION {
    uint32_t id;
    uint32_t value;
};

// One piece of a receive or transmit vector.
struct KRIOVEC {
    void* base;
    uint32_t length;
};

// What a datagram channel tells its reader about the datagram being read (KrIORxMark), so that a
// message framing can restart at datagram starts when one is lost.
struct KRIO_RXMARK {
    uint32_t left;      // bytes of the current datagram not read yet (0: the next read starts a new one)
    uint32_t length;    // length of the current (or last) datagram, as received
    uint32_t full;      // 1 when that datagram had the full transmit size: its message may go on
    uint32_t truncated; // 1 when that datagram was longer than the receive buffer and was cut
    uint32_t count;     // datagrams received into this buffer so far
};

struct KRIO_HNDL;
typedef void (*KRIO_CBF)(void* argument, uint32_t eventClass);

// A back end's operation table, one per family and io type.
struct KRIO_OPS {
    int (*open)(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count);
    void (*close)(KRIO_HNDL* channel);
    int (*clone)(KRIO_HNDL* passive, KRIO_HNDL* channel);
    void (*free)(KRIO_HNDL* channel);
    int (*receiveV)(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count);
    int (*transmitV)(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count);
    int (*addressMatch)(const sockaddr_in* a, const sockaddr_in* b, int wildcard);
    void (*anyAddress)(sockaddr_in* address);
    int (*protocolOptionGet)(uint32_t id, uint32_t* value);
    int (*protocolOptionsSet)(const KRIO_OPTION* options, uint32_t count);
    int (*channelOptionGet)(KRIO_HNDL* channel, uint32_t id, uint32_t* value);
    int (*channelOptionsSet)(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count);
    int (*statisticsGet)(KRIO_HNDL* channel, void* buffer, uint32_t* length);
    // Datagram back ends only (null elsewhere): where the reader stands in the current datagram,
    // and dropping what is left of it (the result is the number of bytes dropped).
    int (*rxMark)(KRIO_HNDL* channel, KRIO_RXMARK* mark);
    uint32_t (*rxDiscard)(KRIO_HNDL* channel);
};

// An io channel. Allocated zeroed by the module; callers hold it as an opaque pointer.
struct KRIO_HNDL {
    KRIO_HNDL* liveNext; // the table of live channels
    KRIO_HNDL* livePrev;
    KRIO_HNDL* mapNext; // the socket map
    KRIO_HNDL* mapPrev;
    int inMap;
    int32_t state;    // under `lock`
    int32_t refCount; // under `lock`
    SOCKET socket;
    uint32_t family;
    uint32_t ioType;
    uint32_t active;
    sockaddr_in local;
    sockaddr_in remote;
    KRLOCK lock;
    // The event callback, its interest and argument: under `lock` (the back ends swap them).
    KRIO_CBF callback;
    uint32_t interest;
    void* argument;
    void* backEnd; // owned by the back end
    uint32_t connectTimeout; // io option 0x40000
    // Statistics: transmit calls, bytes transmitted, receive calls, bytes received.
    uint32_t statistics[4]; // updated atomically
};

// ---- channels ----
KRIO_HNDL* KrIOOpen(uint32_t active, uint32_t ioType, const sockaddr_in* local, const sockaddr_in* remote,
                    KRIO_CBF callback, void* argument, uint32_t interest, const KRIO_OPTION* options,
                    uint32_t count);
void KrIOClose(KRIO_HNDL* channel);
KRIO_HNDL* KrIOClone(KRIO_HNDL* passive, KRIO_CBF callback, void* argument, uint32_t interest);
int KrIORxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count);
int KrIOTxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count);
int KrIORx(KRIO_HNDL* channel, void* buffer, uint32_t length);
int KrIOTx(KRIO_HNDL* channel, const void* buffer, uint32_t length);
// 0 and the mark for a datagram channel; 1 for a stream channel or one that is not usable.
int KrIORxMark(KRIO_HNDL* channel, KRIO_RXMARK* mark);
// Drops what is left of the current datagram; the number of bytes dropped (0 for a stream).
uint32_t KrIORxDiscard(KRIO_HNDL* channel);
// `remote` 0 for the local address, 1 for the remote one.
int KrIOGetTlAddr(KRIO_HNDL* channel, KRTLADDR* address, int remote);
int KrIOLocalAddrMatch(KRIO_HNDL* channel, uint32_t ioType, const sockaddr_in* address, int wildcard);
int KrIORemoteAddrMatch(KRIO_HNDL* channel, uint32_t ioType, const sockaddr_in* address, int wildcard);
int KrIOOptionsSet(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count);
int KrIOOptionsSetInternal(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count);
int KrIOOptionGet(KRIO_HNDL* channel, uint32_t id, uint32_t* value);
int KrIOProtococolOptionsGet(uint32_t family, uint32_t ioType, uint32_t id, uint32_t* value);
int KrIOOptionsSetV(uint32_t family, uint32_t ioType, const KRIO_OPTION* options, uint32_t count);
int KrIOOptionSet(uint32_t family, uint32_t ioType, uint32_t id, uint32_t value);
// `length` in: the buffer's size in bytes; out: 16 plus what the back end wrote.
int KrIOStatisticsGet(KRIO_HNDL* channel, void* buffer, uint32_t* length);

// Interest: the Locked forms expect the io lock held. Add fails (KrErrno 3) when a set the
// channel needs already holds 64 sockets.
int KrIOEventListAdd(KRIO_HNDL* channel);
int KrIOEventListAddLocked(KRIO_HNDL* channel);
void KrIOEventListRemove(KRIO_HNDL* channel);
void KrIOEventListRemoveLocked(KRIO_HNDL* channel);

// The channel's callback, argument and interest, read and replaced under its lock (the back ends
// install their own while they work: a passive UDP channel, a TCP connect).
void KrIOCallbackGet(KRIO_HNDL* channel, KRIO_CBF* callback, void** argument, uint32_t* interest);
void KrIOCallbackSet(KRIO_HNDL* channel, KRIO_CBF callback, void* argument, uint32_t interest);
// Calls the channel's callback with the event class when its interest has that class. The caller
// holds a reference on the channel; the callback runs without the channel's lock.
void KrIOCallbackCall(KRIO_HNDL* channel, uint32_t eventClass);

// References: 0 and a reference taken when the channel is live and usable.
int KrIOHndlRef(KRIO_HNDL* channel);
void KrIOHndlDeref(KRIO_HNDL* channel);
void KrIOHndlFree(KRIO_HNDL* channel);

// ---- the io thread ----
void KrIOThreadWakeup(void);
// The dead-man class of the event being handled: 0 none or under 20 ms, 1 under 2 s, 2 under
// 30 s, 3 longer; `elapsed` gets its milliseconds. The Locked form expects the io lock held.
uint32_t KrIOThreadBlocked(uint32_t* elapsed);
uint32_t KrIOThreadBlockedLocked(uint32_t* elapsed);
void KrIOThreadDeadManTimer(uintptr_t argument);

void KrIOModuleInit(void);
void KrIOModuleCleanup(void);

// For tests: the wakeup socket and its address, and whether the io thread runs.
SOCKET KrIOWakeupSocketGet(sockaddr_in* address);
int KrIOThreadRunning(void);
