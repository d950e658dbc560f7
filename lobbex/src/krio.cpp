// IO channels and the io thread (see krio.h). Channels live in a table of 31 chains keyed by
// their address, and in a socket map of 31 chains keyed by socket. The io thread copies the
// three socket sets (read, write, exceptional; at most 64 sockets each, the wakeup socket always
// in the read set), waits in select without a time limit and calls the callback of each ready
// channel with a reference held and the io lock released. Lock order: the io lock, then a
// channel's own lock.
#include "krio.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "krerrno.h"
#include "krioinet.h"
#include "krlog.h"
#include "krnetdb.h"
#include "krthread.h"
#include "krtime.h"
#include "krtmo.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krio";
constexpr int kChains = 31;
constexpr uint32_t kStackSize = 0x20000;
constexpr uint32_t kDeadManPeriodMs = 10000;
constexpr uint32_t kGraceEvents = 10;
constexpr uint32_t kCleanupWaitMs = 2000;
constexpr int kSetRead = 0, kSetWrite = 1, kSetExcept = 2;
constexpr uint32_t kSetClass[3] = {KRIO_READABLE, KRIO_WRITABLE, KRIO_EXCEPTIONAL};
constexpr const char* kSetName[3] = {"read", "write", "exceptional"};

// The io type 2 back end: every operation fails.
int FailOpen(KRIO_HNDL*, const KRIO_OPTION*, uint32_t) {
    return 1;
}
void FailNothing(KRIO_HNDL*) {}
int FailClone(KRIO_HNDL*, KRIO_HNDL*) {
    return 1;
}
int FailVector(KRIO_HNDL*, const KRIOVEC*, uint32_t) {
    return -1;
}
int FailMatch(const sockaddr_in*, const sockaddr_in*, int) {
    return 0;
}
void FailAny(sockaddr_in*) {}
int FailProtocolGet(uint32_t, uint32_t*) {
    return 1;
}
int FailProtocolSet(const KRIO_OPTION*, uint32_t) {
    return 1;
}
int FailChannelGet(KRIO_HNDL*, uint32_t, uint32_t*) {
    return 1;
}
int FailChannelSet(KRIO_HNDL*, const KRIO_OPTION*, uint32_t) {
    return 1;
}
int FailStatistics(KRIO_HNDL*, void*, uint32_t*) {
    return 1;
}
constexpr KRIO_OPS kFailOps = {FailOpen,        FailNothing,     FailClone,      FailNothing,    FailVector,
                               FailVector,      FailMatch,       FailAny,        FailProtocolGet, FailProtocolSet,
                               FailChannelGet,  FailChannelSet,  FailStatistics, nullptr,        nullptr};

// The operation tables of the internet family, by io type.
const KRIO_OPS* const kInetOps[KRIO_TYPE_COUNT] = {&g_KrIOTcpOps, &g_KrIOUdpOps, &kFailOps};

const KRIO_OPS* Ops(const KRIO_HNDL* channel) {
    return kInetOps[channel->ioType < KRIO_TYPE_COUNT ? channel->ioType : KRIO_TYPE_FAIL];
}

struct IoModule {
    KRLOCK lock;
    PLAT_FD_SET sets[3];
    int highest = 0; // highest socket + 1
    SOCKET wakeup = INVALID_SOCKET;
    sockaddr_in wakeupAddress{};
    uint32_t wakeupsPending = 0;
    HANDLE thread = nullptr;
    HANDLE exitEvent = nullptr;
    // Dead-man accounting.
    uint32_t eventsBegun = 0;
    uint32_t eventsEnded = 0;
    uint32_t eventStart = 0; // KrTickCount of the event being handled
    KRIO_HNDL* live[kChains] = {};
    KRIO_HNDL* map[kChains] = {};
};
IoModule g_KrIO;
std::mutex g_KrIOInitLock;
std::atomic<int> g_KrIOInitCount{0};
std::atomic<bool> g_KrIOStarted{false}; // the lock and the sets exist
std::atomic<bool> g_KrIOThreadAlive{false};

uint32_t LiveChain(const KRIO_HNDL* channel) {
    return (uint32_t)(((uintptr_t)channel / 16) % kChains);
}

uint32_t MapChain(SOCKET s) {
    return (uint32_t)((uint32_t)s % kChains);
}

void StatAdd(KRIO_HNDL* channel, int word, uint32_t amount) {
    __atomic_fetch_add(&channel->statistics[word], amount, __ATOMIC_RELAXED);
}

// ---- the live table and the socket map (io lock held) ----

void LiveAdd(KRIO_HNDL* channel) {
    KRIO_HNDL*& head = g_KrIO.live[LiveChain(channel)];
    channel->livePrev = nullptr;
    channel->liveNext = head;
    if (head) head->livePrev = channel;
    head = channel;
}

bool LiveHas(const KRIO_HNDL* channel) {
    for (KRIO_HNDL* c = g_KrIO.live[LiveChain(channel)]; c; c = c->liveNext)
        if (c == channel) return true;
    return false;
}

void LiveRemove(KRIO_HNDL* channel) {
    if (!LiveHas(channel)) return;
    if (channel->livePrev)
        channel->livePrev->liveNext = channel->liveNext;
    else
        g_KrIO.live[LiveChain(channel)] = channel->liveNext;
    if (channel->liveNext) channel->liveNext->livePrev = channel->livePrev;
    channel->liveNext = channel->livePrev = nullptr;
}

KRIO_HNDL* MapFind(SOCKET s) {
    for (KRIO_HNDL* c = g_KrIO.map[MapChain(s)]; c; c = c->mapNext)
        if (c->socket == s) return c;
    return nullptr;
}

void MapAdd(KRIO_HNDL* channel) {
    KRIO_HNDL*& head = g_KrIO.map[MapChain(channel->socket)];
    channel->mapPrev = nullptr;
    channel->mapNext = head;
    if (head) head->mapPrev = channel;
    head = channel;
    channel->inMap = 1;
}

void MapRemove(KRIO_HNDL* channel) {
    if (!channel->inMap) return;
    if (channel->mapPrev)
        channel->mapPrev->mapNext = channel->mapNext;
    else
        g_KrIO.map[MapChain(channel->socket)] = channel->mapNext;
    if (channel->mapNext) channel->mapNext->mapPrev = channel->mapPrev;
    channel->mapNext = channel->mapPrev = nullptr;
    channel->inMap = 0;
}

bool SetHas(const PLAT_FD_SET& set, SOCKET s) {
    for (u_int i = 0; i < set.fd_count; ++i)
        if (set.fd_array[i] == s) return true;
    return false;
}

void SetRemoveFirst(PLAT_FD_SET& set, SOCKET s) {
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (set.fd_array[i] != s) continue;
        for (u_int j = i + 1; j < set.fd_count; ++j) set.fd_array[j - 1] = set.fd_array[j];
        set.fd_count--;
        return;
    }
}

// A reference on a channel found in the live table (io lock held).
bool RefLocked(KRIO_HNDL* channel) {
    if (!channel || !LiveHas(channel)) return false;
    KrLockEnter(&channel->lock);
    bool usable = channel->state == KRIO_OPENING || channel->state == KRIO_OPEN;
    if (usable) channel->refCount++;
    KrLockLeave(&channel->lock);
    return usable;
}

KRIO_HNDL* NewHandle(void) {
    auto* channel = static_cast<KRIO_HNDL*>(std::calloc(1, sizeof(KRIO_HNDL)));
    if (!channel) return nullptr;
    channel->socket = INVALID_SOCKET;
    channel->connectTimeout = KRIO_CONNECT_TIMEOUT_DEFAULT;
    KrLockInit(&channel->lock, 0);
    return channel;
}

bool Started(const char* caller) {
    if (g_KrIOStarted.load()) return true;
    KrErrorSet(KRERR_PARAM);
    KR_LOG(KrErr, "%s: The io module is not started.", caller);
    return false;
}

// ---- the io thread ----

// Reads everything the wakeup socket holds, whatever the count of wakeups says (io lock held).
void DrainWakeupLocked(void) {
    char bytes[64];
    for (int i = 0; i < 4096; ++i) {
        int got = PlatRecv(g_KrIO.wakeup, bytes, sizeof bytes, 0);
        if (got >= 0) continue;
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) break;
        if (error == WSAEMSGSIZE) continue;
        KR_LOG(KrCrit, "KrIOThread: Bad read of wakeup-io-thread socket %d.", error);
        break;
    }
    g_KrIO.wakeupsPending = 0;
}

void EventLoop(const PLAT_FD_SET& ready, int setIndex) {
    const uint32_t eventClass = kSetClass[setIndex];
    for (u_int i = 0; i < ready.fd_count; ++i) {
        const SOCKET s = ready.fd_array[i];
        if (s == g_KrIO.wakeup) continue;
        KrLockEnter(&g_KrIO.lock);
        g_KrIO.eventsBegun++;
        g_KrIO.eventStart = KrTickCount();
        KRIO_HNDL* channel = MapFind(s);
        bool held = channel && RefLocked(channel);
        if (!channel) {
            if (SetHas(g_KrIO.sets[setIndex], s))
                KR_LOG(KrErr, "KrIOEventLoop: Can't find handle for socket (fd=%u).", (unsigned)s);
            else
                KR_LOG(KrLevelDebug, "KrIOEventLoop: Found outdated file descriptor (will be fixed at next select)");
        }
        KrLockLeave(&g_KrIO.lock);
        if (held) {
            KrIOCallbackCall(channel, eventClass);
            KrIOHndlDeref(channel);
        }
        KrLockEnter(&g_KrIO.lock);
        uint32_t elapsed = 0;
        if (KrIOThreadBlockedLocked(&elapsed) != 0)
            KR_LOG(KrErr, "KrIOEventLoop: %ums. delay handling io event.", elapsed);
        g_KrIO.eventsEnded++;
        KrLockLeave(&g_KrIO.lock);
    }
}

DWORD KrIOThread(void* argument) {
    const uintptr_t passes = (uintptr_t)argument;
    uintptr_t pass = 0;
    for (;;) {
        if (passes && pass++ >= passes) break;
        PLAT_FD_SET ready[3];
        KrLockEnter(&g_KrIO.lock);
        std::memcpy(ready, g_KrIO.sets, sizeof ready);
        int highest = g_KrIO.highest;
        KrLockLeave(&g_KrIO.lock);
        KR_INVARIANT(highest > 0);
        int result = PlatSelect(highest, &ready[kSetRead], &ready[kSetWrite], &ready[kSetExcept], nullptr);
        if (result == SOCKET_ERROR) {
            int error = WSAGetLastError();
            // A socket closed while the copy was in use: the next copy no longer has it.
            if (error == WSAEINTR || error == WSAENOTSOCK) continue;
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrCrit, "KrIOThread: select failed %u; terminating io-thread.", (unsigned)error);
            break;
        }
        if (result == 0) {
            KR_LOG(KrCrit, "KrIOThread: spurious wakeup from select");
            break;
        }
        KR_TRACE_EVENT("io__thrd", KR_TRACE_MODULE_WIDE, (uint32_t)result, 0, 0, 0);
        if (SetHas(ready[kSetRead], g_KrIO.wakeup)) {
            // Woken: the sets have changed or the module stops. The wakeup socket is emptied
            // whatever number of bytes it holds; the other ready sockets are served by the next
            // select, which sees them again.
            KR_TRACE_EVENT("iowkthrd", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
            KrLockEnter(&g_KrIO.lock);
            DrainWakeupLocked();
            KrLockLeave(&g_KrIO.lock);
            if (g_KrIOInitCount.load() == 0) break;
            continue;
        }
        for (int k = 0; k < 3; ++k) EventLoop(ready[k], k);
    }
    SetEvent(g_KrIO.exitEvent);
    KR_TRACE_EVENT("ioDETHRD", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    g_KrIOThreadAlive = false;
    return 0;
}

void UndoInit(bool winsock) {
    if (g_KrIO.thread) {
        CloseHandle(g_KrIO.thread);
        g_KrIO.thread = nullptr;
    }
    if (g_KrIO.exitEvent) {
        CloseHandle(g_KrIO.exitEvent);
        g_KrIO.exitEvent = nullptr;
    }
    if (g_KrIOStarted.exchange(false)) KrLockDestroy(&g_KrIO.lock);
    if (g_KrIO.wakeup != INVALID_SOCKET) closesocket(g_KrIO.wakeup);
    g_KrIO.wakeup = INVALID_SOCKET;
    std::memset(g_KrIO.sets, 0, sizeof g_KrIO.sets);
    g_KrIO.highest = 0;
    if (winsock) WSACleanup();
}

}  // namespace

// ---- references ----

namespace {
// A channel whose open failed leaves the table; it is freed now, or by the last reference when
// the io thread still holds one (a connect in progress was being served).
void Discard(KRIO_HNDL* channel) {
    KrLockEnter(&g_KrIO.lock);
    KrLockEnter(&channel->lock);
    channel->state = KRIO_CLOSING;
    const bool idle = channel->refCount < 1;
    if (idle) channel->state = KRIO_DESTROYING;
    KrLockLeave(&channel->lock);
    if (idle) LiveRemove(channel);
    KrLockLeave(&g_KrIO.lock);
    if (idle) {
        if (channel->backEnd) Ops(channel)->free(channel);
        KrIOHndlFree(channel);
    }
}
}  // namespace

int KrIOHndlRef(KRIO_HNDL* channel) {
    if (!channel || !g_KrIOStarted.load()) return 1;
    KrLockEnter(&g_KrIO.lock);
    bool held = RefLocked(channel);
    KrLockLeave(&g_KrIO.lock);
    return held ? 0 : 1;
}

void KrIOHndlDeref(KRIO_HNDL* channel) {
    KrLockEnter(&g_KrIO.lock);
    KrLockEnter(&channel->lock);
    channel->refCount--;
    KR_INVARIANT(channel->refCount >= 0);
    bool destroy = channel->refCount < 1 && channel->state == KRIO_CLOSING;
    if (destroy) channel->state = KRIO_DESTROYING;
    KrLockLeave(&channel->lock);
    if (destroy) LiveRemove(channel);
    KrLockLeave(&g_KrIO.lock);
    if (destroy) {
        if (channel->backEnd) Ops(channel)->free(channel);
        KrIOHndlFree(channel);
    }
}

void KrIOHndlFree(KRIO_HNDL* channel) {
    if (!channel) {
        KR_LOG(KrCrit, "KrIOHndlFreeAttempt to free null Kr Channel Handle.");
        return;
    }
    KrLockDestroy(&channel->lock);
    std::free(channel);
}

void KrIOCallbackGet(KRIO_HNDL* channel, KRIO_CBF* callback, void** argument, uint32_t* interest) {
    KrLockEnter(&channel->lock);
    if (callback) *callback = channel->callback;
    if (argument) *argument = channel->argument;
    if (interest) *interest = channel->interest;
    KrLockLeave(&channel->lock);
}

void KrIOCallbackCall(KRIO_HNDL* channel, uint32_t eventClass) {
    KRIO_CBF callback;
    void* argument;
    uint32_t interest;
    KrIOCallbackGet(channel, &callback, &argument, &interest);
    if ((interest & eventClass) && callback) callback(argument, eventClass);
}

void KrIOCallbackSet(KRIO_HNDL* channel, KRIO_CBF callback, void* argument, uint32_t interest) {
    KrLockEnter(&channel->lock);
    channel->callback = callback;
    channel->argument = argument;
    channel->interest = interest;
    KrLockLeave(&channel->lock);
}

// ---- interest ----

int KrIOEventListAddLocked(KRIO_HNDL* channel) {
    if (!channel) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOEventListAdd: Invalid Parameters.");
        return 1;
    }
    const SOCKET s = channel->socket;
    if (s == INVALID_SOCKET) return 0;
    uint32_t interest = 0;
    KrIOCallbackGet(channel, nullptr, nullptr, &interest);
    // A set that is full cannot watch the socket: the channel could never be served, so the
    // caller is told instead of being left with a channel that never hears anything.
    for (int k = 0; k < 3; ++k) {
        if (!(interest & kSetClass[k]) || SetHas(g_KrIO.sets[k], s)) continue;
        if (g_KrIO.sets[k].fd_count >= (u_int)PLAT_FD_SETSIZE) {
            KrErrorSet(KRERR_NO_MEMORY);
            KR_LOG(KrCrit, "KrIOEventListAdd[0x%x]: The %s socket set is full (%d sockets); socket %d cannot be watched.",
                   (unsigned)(uintptr_t)channel, kSetName[k], PLAT_FD_SETSIZE, (int)s);
            return 1;
        }
    }
    if (!MapFind(s)) MapAdd(channel);
    for (int k = 0; k < 3; ++k) {
        if (!(interest & kSetClass[k]) || SetHas(g_KrIO.sets[k], s)) continue;
        g_KrIO.sets[k].fd_array[g_KrIO.sets[k].fd_count++] = s;
    }
    if (s + 1 > g_KrIO.highest) g_KrIO.highest = s + 1;
    KR_TRACE_EVENT("io__elad", channel, (uint32_t)s, interest, 0, 0);
    KrIOThreadWakeup();
    return 0;
}

int KrIOEventListAdd(KRIO_HNDL* channel) {
    if (!Started("KrIOEventListAdd")) return 1;
    KrLockEnter(&g_KrIO.lock);
    int result = KrIOEventListAddLocked(channel);
    KrLockLeave(&g_KrIO.lock);
    return result;
}

void KrIOEventListRemoveLocked(KRIO_HNDL* channel) {
    if (!channel) {
        KR_LOG(KrCrit, "KrIOEventListRemove: Invalid Parameters (chan = nil).");
        return;
    }
    const SOCKET s = channel->socket;
    if (s == INVALID_SOCKET) return;
    KR_PRECONDITION(MapFind(s) == channel);
    if (MapFind(s) != channel) return;
    MapRemove(channel);
    for (int k = 0; k < 3; ++k) SetRemoveFirst(g_KrIO.sets[k], s);
    KR_TRACE_EVENT("io__elrm", channel, (uint32_t)s, 0, 0, 0);
    KrIOThreadWakeup();
}

void KrIOEventListRemove(KRIO_HNDL* channel) {
    if (!Started("KrIOEventListRemove")) return;
    KrLockEnter(&g_KrIO.lock);
    KrIOEventListRemoveLocked(channel);
    KrLockLeave(&g_KrIO.lock);
}

// ---- channels ----

KRIO_HNDL* KrIOOpen(uint32_t active, uint32_t ioType, const sockaddr_in* local, const sockaddr_in* remote,
                    KRIO_CBF callback, void* argument, uint32_t interest, const KRIO_OPTION* options,
                    uint32_t count) {
    if (active > KRIO_ACTIVE || ioType >= KRIO_TYPE_COUNT || (!active && !local) || (active && !remote) ||
        (interest && !callback) || (count && !options)) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOOpen: Invalid Parameters");
        return nullptr;
    }
    if (!Started("KrIOOpen")) return nullptr;
    const sockaddr_in* named = active ? remote : local;
    if (named->sin_family != AF_INET) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOOpen: Socket family %u not supported", (unsigned)named->sin_family);
        return nullptr;
    }
    KRIO_HNDL* channel = NewHandle();
    if (!channel) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrIOOpen: Failed to allocate handle");
        return nullptr;
    }
    channel->family = KRIO_FAMILY_INET;
    channel->ioType = ioType;
    channel->active = active;
    const KRIO_OPS* ops = Ops(channel);
    if (local)
        channel->local = *local;
    else
        ops->anyAddress(&channel->local);
    if (remote)
        channel->remote = *remote;
    else
        ops->anyAddress(&channel->remote);

    std::vector<KRIO_OPTION> ioOptions, backEndOptions;
    for (uint32_t i = 0; i < count; ++i)
        (options[i].id == KRIO_OPT_CONNECT_TIMEOUT ? ioOptions : backEndOptions).push_back(options[i]);

    channel->callback = callback;
    channel->interest = interest;
    channel->argument = argument;
    channel->state = KRIO_OPENING;
    KrLockEnter(&g_KrIO.lock);
    LiveAdd(channel);
    KrLockLeave(&g_KrIO.lock);
    if (!ioOptions.empty()) KrIOOptionsSetInternal(channel, ioOptions.data(), (uint32_t)ioOptions.size());

    if (ops->open(channel, backEndOptions.data(), (uint32_t)backEndOptions.size()) == 0) {
        KrLockEnter(&g_KrIO.lock);
        if (KrIOEventListAddLocked(channel) == 0) {
            KrLockEnter(&channel->lock);
            channel->state = KRIO_OPEN;
            KrLockLeave(&channel->lock);
            KrLockLeave(&g_KrIO.lock);
            return channel;
        }
        uint32_t why = KrErrorGet();
        KrLockLeave(&g_KrIO.lock);
        KR_LOG(KrErr, "KrIOOpen: Failed to add handle to suspend list");
        ops->close(channel);
        KrErrorSet(why);
    }
    uint32_t why = KrErrorGet();
    Discard(channel);
    KrErrorSet(why);
    return nullptr;
}

void KrIOClose(KRIO_HNDL* channel) {
    if (KrIOHndlRef(channel) != 0) return;
    KrLockEnter(&g_KrIO.lock);
    KrLockEnter(&channel->lock);
    bool closing = channel->state != KRIO_CLOSING;
    if (closing) channel->state = KRIO_CLOSING;
    KrLockLeave(&channel->lock);
    if (closing && channel->socket != INVALID_SOCKET && MapFind(channel->socket) == channel)
        KrIOEventListRemoveLocked(channel);
    KrLockLeave(&g_KrIO.lock);
    if (closing) Ops(channel)->close(channel);
    KrIOHndlDeref(channel);
}

KRIO_HNDL* KrIOClone(KRIO_HNDL* passive, KRIO_CBF callback, void* argument, uint32_t interest) {
    if (!passive || (interest && !callback) || KrIOHndlRef(passive) != 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOClone: Invalid Parameters");
        return nullptr;
    }
    if (passive->active) {
        KrIOHndlDeref(passive);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOClone: Invalid Parameters");
        return nullptr;
    }
    KRIO_HNDL* channel = NewHandle();
    if (!channel) {
        KrIOHndlDeref(passive);
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrIOClone: Failed to allocate channel");
        return nullptr;
    }
    channel->family = passive->family;
    channel->ioType = passive->ioType;
    channel->active = KRIO_ACTIVE;
    channel->callback = callback;
    channel->argument = argument;
    channel->interest = interest;
    channel->state = KRIO_OPENING;
    const KRIO_OPS* ops = Ops(channel);
    if (ops->clone(passive, channel) != 0) {
        uint32_t why = KrErrorGet();
        if (channel->backEnd) ops->free(channel);
        KrIOHndlFree(channel);
        KrIOHndlDeref(passive);
        KrErrorSet(why);
        return nullptr;
    }
    KrLockEnter(&g_KrIO.lock);
    if (KrIOEventListAddLocked(channel) != 0) {
        uint32_t why = KrErrorGet();
        KrLockLeave(&g_KrIO.lock);
        KR_LOG(KrErr, "KrIOClone: Failed to add channel to suspend list");
        ops->close(channel);
        ops->free(channel);
        KrIOHndlFree(channel);
        KrIOHndlDeref(passive);
        KrErrorSet(why);
        return nullptr;
    }
    KrLockEnter(&channel->lock);
    channel->state = KRIO_OPEN;
    KrLockLeave(&channel->lock);
    LiveAdd(channel);
    KrLockLeave(&g_KrIO.lock);
    KrIOHndlDeref(passive);
    return channel;
}

int KrIORxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    if (KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_IO);
        return -1;
    }
    int result = Ops(channel)->receiveV(channel, vector, count);
    StatAdd(channel, 2, 1);
    if (result > 0) StatAdd(channel, 3, (uint32_t)result);
    KrIOHndlDeref(channel);
    return result;
}

int KrIOTxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    if (KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_IO);
        return -1;
    }
    int result = Ops(channel)->transmitV(channel, vector, count);
    StatAdd(channel, 0, 1);
    if (result > 0) StatAdd(channel, 1, (uint32_t)result);
    KrIOHndlDeref(channel);
    return result;
}

int KrIORx(KRIO_HNDL* channel, void* buffer, uint32_t length) {
    KRIOVEC one{buffer, length};
    return KrIORxV(channel, &one, 1);
}

int KrIOTx(KRIO_HNDL* channel, const void* buffer, uint32_t length) {
    KRIOVEC one{const_cast<void*>(buffer), length};
    return KrIOTxV(channel, &one, 1);
}

int KrIORxMark(KRIO_HNDL* channel, KRIO_RXMARK* mark) {
    if (!mark || KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    const KRIO_OPS* ops = Ops(channel);
    int result = ops->rxMark ? ops->rxMark(channel, mark) : 1;
    KrIOHndlDeref(channel);
    return result;
}

uint32_t KrIORxDiscard(KRIO_HNDL* channel) {
    if (KrIOHndlRef(channel) != 0) return 0;
    const KRIO_OPS* ops = Ops(channel);
    uint32_t dropped = ops->rxDiscard ? ops->rxDiscard(channel) : 0;
    KrIOHndlDeref(channel);
    return dropped;
}

int KrIOGetTlAddr(KRIO_HNDL* channel, KRTLADDR* address, int remote) {
    if (!address || KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    const sockaddr_in& in = remote ? channel->remote : channel->local;
    int result = 1;
    if (in.sin_family != AF_INET) {
        KrErrorSet(KRERR_FAMILY);
        KR_LOG(KrCrit, "KrIOGetTlAddr: IO Channel has socket family %d that isn't supported.", (int)in.sin_family);
    } else if (channel->ioType != KRIO_TYPE_TCP && channel->ioType != KRIO_TYPE_UDP) {
        KrErrorSet(KRERR_FAMILY);
        KR_LOG(KrCrit, "KrIOGetTlAddr: IO Channel has socket for unsupported internet protocol (AF_INET, data type=%d).",
               (int)channel->ioType);
    } else {
        int dataType = channel->ioType == KRIO_TYPE_TCP ? KR_IO_STREAM : KR_IO_DGRAM;
        result = KrSockToTlAddr(reinterpret_cast<const sockaddr*>(&in), dataType, address) == 0 ? 0 : 1;
    }
    KrIOHndlDeref(channel);
    return result;
}

namespace {
int AddrMatch(KRIO_HNDL* channel, uint32_t ioType, const sockaddr_in* address, int wildcard, bool remote) {
    if (!address || KrIOHndlRef(channel) != 0) return 0;
    int match = channel->ioType == ioType &&
                Ops(channel)->addressMatch(remote ? &channel->remote : &channel->local, address, wildcard);
    KrIOHndlDeref(channel);
    return match ? 1 : 0;
}
}  // namespace

int KrIOLocalAddrMatch(KRIO_HNDL* channel, uint32_t ioType, const sockaddr_in* address, int wildcard) {
    return AddrMatch(channel, ioType, address, wildcard, false);
}

int KrIORemoteAddrMatch(KRIO_HNDL* channel, uint32_t ioType, const sockaddr_in* address, int wildcard) {
    return AddrMatch(channel, ioType, address, wildcard, true);
}

// ---- options and statistics ----

int KrIOOptionsSetInternal(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (options[i].id == KRIO_OPT_CONNECT_TIMEOUT) {
            __atomic_store_n(&channel->connectTimeout, options[i].value, __ATOMIC_RELAXED);
        } else {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "KrIOOptionsSetInternal[0x%x]: Unknown io channel option 0x%x.",
                   (unsigned)(uintptr_t)channel, options[i].id);
            result = 1;
        }
    }
    return result;
}

int KrIOOptionsSet(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    if (!options || !count || KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = 0;
    std::vector<KRIO_OPTION> ioOptions;
    for (uint32_t i = 0; i < count; ++i)
        if (options[i].id == KRIO_OPT_CONNECT_TIMEOUT) ioOptions.push_back(options[i]);
    if (!ioOptions.empty()) result |= KrIOOptionsSetInternal(channel, ioOptions.data(), (uint32_t)ioOptions.size());
    KrLockEnter(&channel->lock);
    bool open = channel->state == KRIO_OPEN;
    KrLockLeave(&channel->lock);
    if (open) result |= Ops(channel)->channelOptionsSet(channel, options, count);
    KrIOHndlDeref(channel);
    return result ? 1 : 0;
}

int KrIOOptionGet(KRIO_HNDL* channel, uint32_t id, uint32_t* value) {
    if (!value || KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = 0;
    if (id == KRIO_OPT_CONNECT_TIMEOUT)
        *value = __atomic_load_n(&channel->connectTimeout, __ATOMIC_RELAXED);
    else
        result = Ops(channel)->channelOptionGet(channel, id, value);
    KrIOHndlDeref(channel);
    return result;
}

int KrIOProtococolOptionsGet(uint32_t family, uint32_t ioType, uint32_t id, uint32_t* value) {
    if (family != KRIO_FAMILY_INET || ioType >= KRIO_TYPE_COUNT) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "KrIOProtococolOptionsGet: Illegal network I/O family %u and/or type.", family);
        return 1;
    }
    if (!value) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "KrIOProtococolOptionsGet: Malformed options vector.");
        return 1;
    }
    return kInetOps[ioType]->protocolOptionGet(id, value);
}

int KrIOOptionsSetV(uint32_t family, uint32_t ioType, const KRIO_OPTION* options, uint32_t count) {
    if (family != KRIO_FAMILY_INET || ioType >= KRIO_TYPE_COUNT) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "KrIOOptionsSetV: Illegal network I/O family %u and/or type.", family);
        return 1;
    }
    if (!options || !count) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "KrIOOptionsSetV: Malformed options vector.");
        return 1;
    }
    return kInetOps[ioType]->protocolOptionsSet(options, count);
}

int KrIOOptionSet(uint32_t family, uint32_t ioType, uint32_t id, uint32_t value) {
    KRIO_OPTION one{id, value};
    return KrIOOptionsSetV(family, ioType, &one, 1);
}

int KrIOStatisticsGet(KRIO_HNDL* channel, void* buffer, uint32_t* length) {
    if (!buffer || !length || KrIOHndlRef(channel) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    if (*length < 16) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOStatisticsGet[0x%x]: Stat buffer is too small %u", (unsigned)(uintptr_t)channel, *length);
        KrIOHndlDeref(channel);
        return 1;
    }
    auto* words = static_cast<uint32_t*>(buffer);
    for (int i = 0; i < 4; ++i) words[i] = __atomic_load_n(&channel->statistics[i], __ATOMIC_RELAXED);
    uint32_t rest = *length - 16;
    int result = Ops(channel)->statisticsGet(channel, words + 4, &rest);
    *length = 16 + (result == 0 ? rest : 0);
    KrIOHndlDeref(channel);
    return result;
}

// ---- the io thread ----

void KrIOThreadWakeup(void) {
    if (!g_KrIOStarted.load()) return;
    KrLockEnter(&g_KrIO.lock);
    g_KrIO.wakeupsPending++;
    char byte = 0;
    if (PlatSendTo(g_KrIO.wakeup, &byte, 1, 0, reinterpret_cast<const sockaddr*>(&g_KrIO.wakeupAddress),
                   sizeof g_KrIO.wakeupAddress) != 1) {
        int error = WSAGetLastError();
        // A full socket already wakes the thread.
        if (error != WSAEWOULDBLOCK)
            KR_LOG(KrCrit, "KrIOThreadWakeup: Unable to write to wakeup socket %u.", (unsigned)error);
    }
    KrLockLeave(&g_KrIO.lock);
}

uint32_t KrIOThreadBlockedLocked(uint32_t* elapsed) {
    uint32_t ms = 0, deadClass = 0;
    if (g_KrIO.eventsEnded != g_KrIO.eventsBegun) {
        const uint32_t now = KrTickCount();
        ms = now - g_KrIO.eventStart;
        deadClass = ms < 20 ? 0 : ms < 2000 ? 1 : ms < 30000 ? 2 : 3;
        if (g_KrIO.eventsBegun <= kGraceEvents && (deadClass == 1 || deadClass == 2)) deadClass = 0;
        if (deadClass) g_KrIO.eventStart = now; // the next report counts from this one
    }
    if (elapsed) *elapsed = ms;
    return deadClass;
}

uint32_t KrIOThreadBlocked(uint32_t* elapsed) {
    if (!g_KrIOStarted.load()) {
        if (elapsed) *elapsed = 0;
        return 0;
    }
    KrLockEnter(&g_KrIO.lock);
    uint32_t deadClass = KrIOThreadBlockedLocked(elapsed);
    KrLockLeave(&g_KrIO.lock);
    return deadClass;
}

void KrIOThreadDeadManTimer(uintptr_t) {
    uint32_t elapsed = 0;
    uint32_t deadClass = KrIOThreadBlocked(&elapsed);
    if (deadClass == 3)
        KR_LOG(KrCrit, "KrIOThreadDeadManTimer: io-thread blocked for %ums.", elapsed);
    else if (deadClass != 0)
        KR_LOG(KrErr, "KrIOThreadDeadManTimer: io-thread blocked for %ums.", elapsed);
}

SOCKET KrIOWakeupSocketGet(sockaddr_in* address) {
    if (address) *address = g_KrIO.wakeupAddress;
    return g_KrIO.wakeup;
}

int KrIOThreadRunning(void) {
    return g_KrIOThreadAlive.load() ? 1 : 0;
}

// ---- module ----

void KrIOModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_KrIOInitLock);
    if (g_KrIOInitCount.fetch_add(1) > 0) return;
    KR_TRACE_EVENT("io__mini", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    bool ok = false, winsock = false;
    do {
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrWarning, "Can't start Winsock DLL.");
            break;
        }
        winsock = true;
        if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrWarning, "Winsock DLL doesn't support version %u.%u.", 1u, 1u);
            break;
        }
        KrLockInit(&g_KrIO.lock, 0);
        std::memset(g_KrIO.sets, 0, sizeof g_KrIO.sets);
        std::memset(g_KrIO.live, 0, sizeof g_KrIO.live);
        std::memset(g_KrIO.map, 0, sizeof g_KrIO.map);
        g_KrIO.wakeupsPending = 0;
        g_KrIO.eventsBegun = g_KrIO.eventsEnded = 0;
        g_KrIOStarted = true;
        g_KrIO.wakeup = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (g_KrIO.wakeup == INVALID_SOCKET) {
            KR_LOG(KrCrit, "KrIOModuleInit: Unable to create io-thread wakeup socket, errno = %d.", WSAGetLastError());
            break;
        }
        u_long nonBlocking = 1;
        ioctlsocket(g_KrIO.wakeup, FIONBIO, &nonBlocking);
        g_KrIO.sets[kSetRead].fd_array[0] = g_KrIO.wakeup;
        g_KrIO.sets[kSetRead].fd_count = 1;
        g_KrIO.highest = g_KrIO.wakeup + 1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(g_KrIO.wakeup, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            KR_LOG(KrCrit, "KrIOModuleInit: Unable to bind arbitrary port to io-thread wakeup socket, errno = %d.",
                   WSAGetLastError());
            break;
        }
        socklen_t length = sizeof address;
        if (getsockname(g_KrIO.wakeup, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            KR_LOG(KrCrit, "KrIOModuleInit: Unable to get arbitrary port assigned to io-thread wakeup socket.");
            break;
        }
        g_KrIO.wakeupAddress = address;
        g_KrIO.exitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!g_KrIO.exitEvent) break;
        g_KrIOThreadAlive = true;
        g_KrIO.thread = KrThreadCreate(KrIOThread, nullptr, 1, kStackSize);
        if (!g_KrIO.thread) {
            g_KrIOThreadAlive = false;
            KR_LOG(KrCrit, "KrIOModuleInit: Unable to create io-thread, err = 0x%08x.", KrErrorGet());
            break;
        }
        SetThreadPriority(g_KrIO.thread, THREAD_PRIORITY_HIGHEST);
        if (KrTimeout(KrIOThreadDeadManTimer, 0, kDeadManPeriodMs, 1) != 0) {
            KR_LOG(KrCrit, "KrIOModuleInit: Unable to start the io-thread dead-man timer.");
            g_KrIOInitCount = 0;
            KrIOThreadWakeup();
            WaitForSingleObject(g_KrIO.thread, kCleanupWaitMs);
            break;
        }
        ok = true;
    } while (false);
    if (!ok) {
        g_KrIOInitCount = 0;
        UndoInit(winsock);
        kr_exit(kKrModule, __LINE__, KrEmerg,
                "Failed to initialize IO module, shutting down-- check machine configuration and seek server team "
                "assistance");
    }
}

void KrIOModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_KrIOInitLock);
    if (g_KrIOInitCount.load() == 0) return;
    if (g_KrIOInitCount.fetch_sub(1) > 1) return;
    KR_TRACE_EVENT("io__mcle", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    KrUntimeout(KrIOThreadDeadManTimer, 0);
    KrIOThreadWakeup();
    if (WaitForSingleObject(g_KrIO.exitEvent, kCleanupWaitMs) == WAIT_OBJECT_0)
        WaitForSingleObject(g_KrIO.thread, kCleanupWaitMs); // it has ended: join it
    else
        KR_LOG(KrCrit, "KrIOModuleCleanup: The io-thread did not end.");
    UndoInit(true);
}
