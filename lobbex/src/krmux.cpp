// The session multiplexer (see krmux.h): the module's table of live muxes with their references,
// the session lists, opening, cloning, finding and closing muxes, the receive handler with its
// dispatch, and the connect and connect-ack handlers.
#include "krmux.h"

#include <atomic>
#include <mutex>

#include "krbmap.h"
#include "krerrno.h"
#include "krlog.h"
#include "krmux_ctl.h"
#include "krnetdb.h"

namespace {

constexpr char kKrModule[] = "krmux";
constexpr uint32_t kChains = 31;
constexpr uint32_t kInterest = KRIO_READABLE | KRIO_EXCEPTIONAL;

// A list of sessions: a circle through the sessions' own links.
struct SessList {
    uint32_t refs;
    KRMUX_SESS* first;
    uint32_t count;
};

}  // namespace

struct KRMUX_HNDL {
    KRMUX_HNDL* chainNext; // the module table
    KRLOCK lock;
    uint32_t state;    // under the module lock
    int32_t refs;      // under the module lock
    uint32_t active;   // 1 active, 0 passive
    uint32_t cloned;   // made for a peer of a passive mux
    KRIO_HNDL* channel; // under `lock`
    SessList* passiveList; // a passive mux's own, shared by its clones
    SessList* activeList;
    KRBMAP_LIST* ids;
    KRMUX_RX rx; // the io thread's alone
};

namespace {

std::mutex g_InitLock;
uint32_t g_InitCount = 0;
KRLOCK g_ModLock;
std::atomic<bool> g_ModLockMade{false};
KRMUX_HNDL* g_Table[kChains];
// The module lists in creation order: muxes are few, a plain array walk is enough.
struct ModList {
    KRMUX_HNDL** items = nullptr;
    uint32_t count = 0, room = 0;
};
ModList g_ActiveMuxes, g_PassiveMuxes;
std::atomic<const KRMUX_SESSOPS*> g_Ops{nullptr};
std::atomic<uint32_t> g_Live{0};

void ModLock() { KrLockEnter(&g_ModLock); }
void ModUnlock() { KrLockLeave(&g_ModLock); }

uint32_t Chain(const KRMUX_HNDL* mux) { return (uint32_t)(((uintptr_t)mux >> 4) % kChains); }

bool ListAdd(ModList& list, KRMUX_HNDL* mux) {
    if (list.count == list.room) {
        uint32_t room = list.room ? list.room * 2 : 8;
        auto** items = new (std::nothrow) KRMUX_HNDL*[room];
        if (!items) return false;
        for (uint32_t i = 0; i < list.count; ++i) items[i] = list.items[i];
        delete[] list.items;
        list.items = items;
        list.room = room;
    }
    list.items[list.count++] = mux;
    return true;
}

void ListRemove(ModList& list, KRMUX_HNDL* mux) {
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.items[i] != mux) continue;
        for (uint32_t j = i + 1; j < list.count; ++j) list.items[j - 1] = list.items[j];
        --list.count;
        return;
    }
}

// Enters a made mux in the table and its module list, with its open reference. Module lock held.
bool Enter(KRMUX_HNDL* mux, uint32_t state) {
    if (!ListAdd(mux->active ? g_ActiveMuxes : g_PassiveMuxes, mux)) return false;
    uint32_t c = Chain(mux);
    mux->chainNext = g_Table[c];
    g_Table[c] = mux;
    mux->state = state;
    mux->refs = 1;
    g_Live.fetch_add(1);
    return true;
}

bool InTable(const KRMUX_HNDL* mux) {
    for (KRMUX_HNDL* m = g_Table[Chain(mux)]; m; m = m->chainNext)
        if (m == mux) return true;
    return false;
}

// A reference on a live mux whose state is at least `minState`; false when it is gone.
bool Ref(KRMUX_HNDL* mux, uint32_t minState) {
    if (!mux) return false;
    ModLock();
    bool ok = InTable(mux) && mux->state >= minState;
    if (ok) ++mux->refs;
    ModUnlock();
    return ok;
}

void SessListFree(SessList* list) {
    if (!list) {
        KR_LOG(KrCrit, "KrMuxSessListFree: Attempt to free null Kr Mux Session List.");
        return;
    }
    delete list;
}

void Destroy(KRMUX_HNDL* mux) {
    KR_INVARIANT(mux->state == KRMUX_DESTROYING && mux->refs == 0);
    KrMuxRxReset(&mux->rx);
    KrLockDestroy(&mux->lock);
    delete mux;
    g_Live.fetch_sub(1);
}

void Unref(KRMUX_HNDL* mux) {
    ModLock();
    bool last = --mux->refs == 0;
    if (last) {
        mux->state = KRMUX_DESTROYING;
        KRMUX_HNDL** at = &g_Table[Chain(mux)];
        while (*at && *at != mux) at = &(*at)->chainNext;
        if (*at) *at = mux->chainNext;
        ListRemove(mux->active ? g_ActiveMuxes : g_PassiveMuxes, mux);
    }
    ModUnlock();
    if (last) Destroy(mux);
}

void Hold(KRMUX_SESS* s) {
    const KRMUX_SESSOPS* ops = g_Ops.load();
    if (ops && ops->hold) ops->hold(s);
}

void Release(KRMUX_SESS* s) {
    const KRMUX_SESSOPS* ops = g_Ops.load();
    if (ops && ops->release) ops->release(s);
}

// The session circle, under the mux lock.
void Link(SessList* list, KRMUX_SESS* s) {
    if (!list->first) {
        s->next = s->prev = s;
        list->first = s;
    } else {
        s->next = list->first;
        s->prev = list->first->prev;
        list->first->prev->next = s;
        list->first->prev = s;
    }
    ++list->count;
}

bool Unlink(SessList* list, KRMUX_SESS* s) {
    if (!list || !list->first || !s->next) return false;
    KRMUX_SESS* p = list->first;
    for (uint32_t i = 0; i < list->count; ++i, p = p->next) {
        if (p != s) continue;
        if (s->next == s) {
            list->first = nullptr;
        } else {
            s->prev->next = s->next;
            s->next->prev = s->prev;
            if (list->first == s) list->first = s->next;
        }
        s->next = s->prev = nullptr;
        --list->count;
        return true;
    }
    return false;
}

template <typename Match>
KRMUX_SESS* FindIn(SessList* list, Match match) {
    if (!list || !list->first) return nullptr;
    KRMUX_SESS* p = list->first;
    for (uint32_t i = 0; i < list->count; ++i, p = p->next)
        if (!p->closed && match(p)) return p;
    return nullptr;
}

SessList* OwnList(KRMUX_HNDL* mux) { return mux->active ? mux->activeList : mux->passiveList; }

// A transport address as an IPv4 socket address and its io type.
bool ToSock(const KRTLADDR* address, sockaddr_in* out, uint32_t* ioType) {
    KRSOCKADDR_STORAGE storage{};
    int dataType = 0;
    if (KrTlToSockAddr(address, reinterpret_cast<sockaddr*>(&storage), &dataType) != 0) return false;
    if (storage.family == KR_AF_KRADDR) {
        *out = storage.in;
    } else {
        sockaddr_in plain{};
        static_assert(sizeof plain <= sizeof storage, "");
        __builtin_memcpy(&plain, &storage, sizeof plain);
        *out = plain;
    }
    *ioType = dataType == KR_IO_STREAM ? KRIO_TYPE_TCP : KRIO_TYPE_UDP;
    return true;
}

KRIO_HNDL* ChannelOf(KRMUX_HNDL* mux) {
    KrLockEnter(&mux->lock);
    KRIO_HNDL* channel = mux->channel;
    KrLockLeave(&mux->lock);
    return channel;
}

// ---- receive ----

int SourceRx(void* context, void* buffer, uint32_t length) {
    return KrIORx(static_cast<KRIO_HNDL*>(context), buffer, length);
}
int SourceMark(void* context, KRIO_RXMARK* mark) { return KrIORxMark(static_cast<KRIO_HNDL*>(context), mark); }
uint32_t SourceDiscard(void* context) { return KrIORxDiscard(static_cast<KRIO_HNDL*>(context)); }

void ConnectHndlr(KRMUX_HNDL* mux, const KRHDR* h, const uint8_t* payload, uint32_t length) {
    const unsigned t = (unsigned)(uintptr_t)mux;
    KRMUX_CONNECT c{};
    if (KrMuxConnectParse(payload, length, &c, (uintptr_t)mux) != 0) return;
    const KRMUX_SESSOPS* ops = g_Ops.load();
    KrLockEnter(&mux->lock);
    KRMUX_SESS* s = FindIn(mux->activeList, [&](KRMUX_SESS* p) {
        return p->localWord == c.destWord && p->remoteWord == c.sourceWord && p->sessionWord == c.sessionWord;
    });
    if (s) {
        Hold(s);
        KrLockLeave(&mux->lock);
    } else {
        KRMUX_SESS* listener = FindIn(mux->passiveList, [&](KRMUX_SESS* p) { return p->localWord == c.destWord; });
        if (!listener || !ops || !ops->clone) {
            KrLockLeave(&mux->lock);
            KR_LOG(KrLevelInfo, "KrMuxConnectHndlr[0x%x]: Request to connect to unbound server address 0x%08x from 0x%08x.",
                   t, c.destWord, c.sourceWord);
            return;
        }
        Hold(listener);
        KrLockLeave(&mux->lock);
        s = ops->clone(listener);
        Release(listener);
        if (!s) {
            KR_LOG(KrWarning, "KrMuxHdrToSess[0x%x]: Unable to clone active Korrin channel from passiveone for 0x%08x/%08x",
                   t, c.destWord, c.sourceWord);
            return;
        }
        uint32_t id = 0;
        KrLockEnter(&mux->lock);
        bool ok = KrBMapAlloc(mux->ids, &id) == 1 && id <= KR_BMAP_MAX_SESSION_ID;
        if (ok) {
            s->mux = mux;
            s->active = 1;
            s->localWord = c.destWord;
            s->remoteWord = c.sourceWord;
            s->remoteId = h->id;
            s->localId = id;
            Link(mux->activeList, s);
            Hold(s);
        }
        KrLockLeave(&mux->lock);
        if (!ok) {
            KR_LOG(KrWarning, "KrMuxConnectHndlr[0x%x]: No session id left for a connect from 0x%08x.", t, c.sourceWord);
            if (ops->remoteClose) ops->remoteClose(s, 1);
            return;
        }
        ModLock();
        if (mux->state == KRMUX_NEW) mux->state = KRMUX_OPEN;
        ModUnlock();
    }
    if (ops && ops->connect) ops->connect(s, h, payload, length);
    Release(s);
}

void ConnectAckHndlr(KRMUX_HNDL* mux, const KRHDR* h, const uint8_t* payload, uint32_t length) {
    KRMUX_CONNECT c{};
    if (KrMuxConnectAckParse(payload, length, &c, (uintptr_t)mux) != 0) return;
    KrLockEnter(&mux->lock);
    KRMUX_SESS* s = FindIn(mux->activeList, [&](KRMUX_SESS* p) {
        return p->localWord == c.destWord && p->remoteWord == c.sourceWord && p->sessionWord == c.sessionWord;
    });
    if (s) {
        s->remoteId = h->id;
        Hold(s);
    }
    KrLockLeave(&mux->lock);
    if (!s) {
        KR_LOG(KrLevelInfo, "KrMuxConnectAckHndlr[0x%x]: Connect Ack destination unknown 0x%08x from 0x%08x.",
               (unsigned)(uintptr_t)mux, c.destWord, c.sourceWord);
        return;
    }
    const KRMUX_SESSOPS* ops = g_Ops.load();
    if (ops && ops->connectAck) ops->connectAck(s, h, payload, length);
    Release(s);
}

void Dispatch(KRMUX_HNDL* mux) {
    KRHDR h{};
    uint32_t offset = 0;
    if (KrMuxRxHeader(&mux->rx, &h, &offset, (uintptr_t)mux) != 0) return;
    const uint8_t* payload = mux->rx.body + offset;
    const KRMUX_SESSOPS* ops = g_Ops.load();
    if (h.kind == KRHDR_KIND_REQUEST) {
        KRMUX_SESS* s = KrMuxLocalIdToSess(mux, h.id);
        if (!s) {
            KR_LOG(KrWarning, "KrMuxRxEventHndlr[0x%x]: Failed to find session handle for id %x", (unsigned)(uintptr_t)mux, h.id);
            return;
        }
        if (ops && ops->request) ops->request(s, &mux->rx);
        Release(s);
        return;
    }
    if (h.sequence == 1) {
        ConnectHndlr(mux, &h, payload, h.length);
    } else if (h.sequence == 2) {
        ConnectAckHndlr(mux, &h, payload, h.length);
    } else {
        KRMUX_SESS* s = KrMuxLocalIdToSess(mux, h.id);
        if (!s) return;
        if (ops && ops->control) ops->control(s, &h, payload, h.length);
        Release(s);
    }
}

}  // namespace

// ---- module ----

int KrMuxModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_InitLock);
    if (g_InitCount == 0) {
        if (!g_ModLockMade.exchange(true)) KrLockInit(&g_ModLock, 0);
        if (KrMuxRxBufHeapInit() != 0) return 1;
        KrIOModuleInit();
    }
    ++g_InitCount;
    return 0;
}

void KrMuxModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_InitLock);
    if (g_InitCount == 0 || --g_InitCount > 0) return;
    KrIOModuleCleanup();
    KrMuxRxBufHeapDestroy();
}

void KrMuxSetSessOps(const KRMUX_SESSOPS* ops) { g_Ops.store(ops); }

uint32_t KrMuxCount(void) { return g_Live.load(); }

uint32_t KrMuxState(KRMUX_HNDL* mux) {
    ModLock();
    uint32_t state = InTable(mux) ? mux->state : (uint32_t)KRMUX_DESTROYED;
    ModUnlock();
    return state;
}

void KrMuxRelease(KRMUX_HNDL* mux) {
    if (mux) Unref(mux);
}

// ---- open, clone, find ----

KRMUX_HNDL* KrMuxOpen(uint32_t active, const KRTLADDR* local, const KRTLADDR* remote,
                      const KRIO_OPTION* options, uint32_t count) {
    KR_PRECONDITION((options == nullptr) == (count == 0));
    sockaddr_in localSock{}, remoteSock{};
    uint32_t localType = 0, remoteType = 0;
    if (local && !ToSock(local, &localSock, &localType)) {
        KR_LOG(KrErr, "KrMuxOpen: Unable to convert local transport layer address to sockaddr.");
        return nullptr;
    }
    if (remote && !ToSock(remote, &remoteSock, &remoteType)) {
        KR_LOG(KrErr, "KrMuxOpen: Unable to convert remote transport layer address to sockaddr.");
        return nullptr;
    }
    auto* mux = new (std::nothrow) KRMUX_HNDL{};
    if (!mux) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrMuxOpen: Unable to allocate mux channel handle.");
        return nullptr;
    }
    const unsigned t = (unsigned)(uintptr_t)mux;
    KrLockInit(&mux->lock, 0);
    mux->active = active ? 1 : 0;
    if (!active) {
        mux->passiveList = new (std::nothrow) SessList{1, nullptr, 0};
        if (!mux->passiveList) KR_LOG(KrErr, "KrMuxOpen[0x%x]: Couldn't allocate passive Kr channel list handle.", t);
    } else {
        mux->activeList = new (std::nothrow) SessList{1, nullptr, 0};
        if (!mux->activeList) KR_LOG(KrErr, "KrMuxOpen[0x%x]: Couldn't allocate active Kr channel list handle.", t);
        else if (!(mux->ids = KrBMapListCreate()))
            KR_LOG(KrErr, "KrMuxOpen[0x%x]: Couldn't allocate active Kr session ID bitmap.", t);
    }
    bool made = active ? (mux->activeList && mux->ids) : mux->passiveList != nullptr;
    if (made) {
        ModLock();
        made = Enter(mux, KRMUX_OPENING);
        ModUnlock();
    }
    if (!made) {
        KrErrorSet(KRERR_NO_MEMORY);
        KrBMapListDestroy(mux->ids);
        delete mux->activeList;
        delete mux->passiveList;
        KrLockDestroy(&mux->lock);
        delete mux;
        return nullptr;
    }
    KRIO_HNDL* channel = KrIOOpen(mux->active ? KRIO_ACTIVE : KRIO_PASSIVE, local ? localType : remoteType,
                                  local ? &localSock : nullptr, remote ? &remoteSock : nullptr,
                                  mux->active ? KrMuxRxEventHndlr : KrMuxAcceptEventHndlr, mux, kInterest,
                                  options, count);
    if (!channel) {
        KR_LOG(KrErr, "KrMuxOpen[0x%x]: Unable to create low-level I/O channel.", t);
        ModLock();
        mux->state = KRMUX_CLOSING;
        ModUnlock();
        KrBMapListDestroy(mux->ids);
        mux->ids = nullptr;
        SessListFree(mux->activeList ? mux->activeList : mux->passiveList);
        mux->activeList = mux->passiveList = nullptr;
        Unref(mux);
        return nullptr;
    }
    KrLockEnter(&mux->lock);
    mux->channel = channel;
    KrLockLeave(&mux->lock);
    ModLock();
    mux->state = KRMUX_OPEN;
    ModUnlock();
    return mux;
}

KRMUX_HNDL* KrMuxClone(KRMUX_HNDL* passive) {
    if (!Ref(passive, KRMUX_OPEN)) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrMuxClone: Invalid parameters.");
        return nullptr;
    }
    const unsigned t = (unsigned)(uintptr_t)passive;
    KRMUX_HNDL* result = nullptr;
    auto* mux = passive->active ? nullptr : new (std::nothrow) KRMUX_HNDL{};
    if (passive->active) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrMuxClone: Invalid parameters.");
    } else if (!mux) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrMuxClone[0x%x]: Unable to allocate Korrin Active Channel Handle.", t);
    } else {
        KrLockInit(&mux->lock, 0);
        mux->active = 1;
        mux->cloned = 1;
        mux->activeList = new (std::nothrow) SessList{1, nullptr, 0};
        if (!mux->activeList) KR_LOG(KrErr, "KrMuxClone[0x%x]: Couldn't allocate active Kr channel list handle.", t);
        else if (!(mux->ids = KrBMapListCreate()))
            KR_LOG(KrErr, "KrMuxClone[0x%x]: Couldn't allocate active Kr session ID bitmap.", t);
        bool made = mux->activeList && mux->ids;
        if (made) {
            ModLock();
            made = Enter(mux, KRMUX_NEW);
            if (made) {
                mux->passiveList = passive->passiveList;
                ++mux->passiveList->refs;
            }
            ModUnlock();
        }
        if (!made) {
            KrErrorSet(KRERR_NO_MEMORY);
            KrBMapListDestroy(mux->ids);
            delete mux->activeList;
            KrLockDestroy(&mux->lock);
            delete mux;
        } else {
            KRIO_HNDL* channel = ChannelOf(passive);
            KRIO_HNDL* clone = channel ? KrIOClone(channel, KrMuxRxEventHndlr, mux, kInterest) : nullptr;
            if (!clone) {
                KR_LOG(KrErr, "KrMuxClone[0x%x]: Unable to clone low-level I/O channel.", t);
                KrMuxClose(mux);
            } else {
                KrLockEnter(&mux->lock);
                mux->channel = clone;
                KrLockLeave(&mux->lock);
                result = mux;
            }
        }
    }
    Unref(passive);
    return result;
}

KRMUX_HNDL* KrMuxFindAddr(uint32_t active, const KRTLADDR* local, const KRTLADDR* remote) {
    sockaddr_in localSock{}, remoteSock{};
    uint32_t localType = 0, remoteType = 0;
    if (local && !ToSock(local, &localSock, &localType)) {
        KR_LOG(KrErr, "KrMuxFindAddr: Unable to convert local transport layer address to sockaddr.");
        return nullptr;
    }
    if (remote && !ToSock(remote, &remoteSock, &remoteType)) {
        KR_LOG(KrErr, "KrMuxFindAddr: Unable to convert remote transport layer address to sockaddr.");
        return nullptr;
    }
    if (active ? !remote : !local) return nullptr;
    ModLock();
    ModList& list = active ? g_ActiveMuxes : g_PassiveMuxes;
    KRMUX_HNDL* found = nullptr;
    for (uint32_t i = 0; i < list.count && !found; ++i) {
        KRMUX_HNDL* m = list.items[i];
        if (m->state != KRMUX_OPEN) continue;
        KRIO_HNDL* channel = ChannelOf(m);
        if (!channel) continue;
        bool match = active ? KrIORemoteAddrMatch(channel, remoteType, &remoteSock, 0) == 1 &&
                                  (!local || KrIOLocalAddrMatch(channel, localType, &localSock, 1) == 1)
                            : KrIOLocalAddrMatch(channel, localType, &localSock, 0) == 1;
        if (match) {
            ++m->refs;
            found = m;
        }
    }
    ModUnlock();
    return found;
}

// ---- sessions ----

int KrMuxSessAdd(KRMUX_SESS* session, const KRTLADDR* local, const KRTLADDR* remote, int open,
                 const KRIO_OPTION* options, uint32_t count) {
    if (!session) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrMuxSessAdd: Invalid Parameters.");
        return 1;
    }
    if (session->active ? !remote : !local) {
        KrErrorSet(KRERR_PARAM);
        KR_ERROR(KrErr, "KrMuxSessAdd[0x%x]: Invalid Parameters.  Missing address", (unsigned)(uintptr_t)session);
        return 1;
    }
    if ((options == nullptr) != (count == 0)) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KRMUX_HNDL* mux = KrMuxFindAddr(session->active, local, remote);
    if (!mux) {
        if (!open) return 1;
        mux = KrMuxOpen(session->active, local, remote, options, count);
        if (!mux) return 1;
        if (!Ref(mux, KRMUX_OPEN)) {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "KrMuxSessAdd[0x%x]: could not increment reference of mux 0x%x I just created",
                   (unsigned)(uintptr_t)session, (unsigned)(uintptr_t)mux);
            return 1;
        }
    }
    KrLockEnter(&mux->lock);
    bool ok = true;
    if (session->active) {
        uint32_t id = 0;
        // A request header carries ids up to 2046: a session beyond could never be addressed.
        ok = KrBMapAlloc(mux->ids, &id) == 1 && id <= KR_BMAP_MAX_SESSION_ID;
        if (ok) session->localId = id;
    }
    if (ok) {
        session->mux = mux;
        Link(OwnList(mux), session);
    }
    bool empty = !ok && OwnList(mux)->count == 0;
    KrLockLeave(&mux->lock);
    if (!ok) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrMuxSessAdd[0x%x]: No session id left on mux 0x%x.", (unsigned)(uintptr_t)session,
               (unsigned)(uintptr_t)mux);
        if (empty) KrMuxClose(mux);
    }
    Unref(mux);
    return ok ? 0 : 1;
}

void KrMuxSessRemove(KRMUX_SESS* session) {
    if (!session) {
        KR_LOG(KrErr, "KrMuxSessRemove: Invalid Parameters.");
        return;
    }
    // Read under the module lock, under which a closing mux also unlinks its sessions: a session
    // removed while its mux closes sees either the mux or its own link already cleared.
    ModLock();
    KRMUX_HNDL* mux = session->mux;
    const bool held = mux && InTable(mux) && mux->state >= KRMUX_CLOSING;
    if (held) {
        ++mux->refs;
    } else {
        KR_INVARIANT(!session->next);
        session->mux = nullptr;
    }
    ModUnlock();
    if (!held) return;
    KrLockEnter(&mux->lock);
    SessList* own = OwnList(mux);
    if (!Unlink(own, session) && session->active) Unlink(mux->activeList, session);
    session->mux = nullptr;
    bool empty = own && own->count == 0;
    KrLockLeave(&mux->lock);
    if (empty) KrMuxClose(mux);
    Unref(mux);
}

KRMUX_SESS* KrMuxLocalIdToSess(KRMUX_HNDL* mux, uint32_t id) {
    if (!Ref(mux, KRMUX_OPEN)) return nullptr;
    KR_PRECONDITION(mux->active);
    KrLockEnter(&mux->lock);
    KRMUX_SESS* s = FindIn(mux->activeList, [&](KRMUX_SESS* p) { return p->localId == id; });
    bool empty = mux->activeList && mux->activeList->count == 0;
    if (s) Hold(s);
    KrLockLeave(&mux->lock);
    if (empty) {
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "KrMuxLocalIdToSess[0x%x]: Mux is open but session list is empty, possible stale session.",
               (unsigned)(uintptr_t)mux);
    }
    Unref(mux);
    return s;
}

// ---- transmit and the channel's forwards ----

int KrMuxTxV(KRMUX_HNDL* mux, const KRIOVEC* vector, uint32_t count) {
    if (!Ref(mux, KRMUX_OPEN)) return -1;
    KRIO_HNDL* channel = ChannelOf(mux);
    int result = channel ? KrIOTxV(channel, vector, count) : -1;
    Unref(mux);
    return result;
}

int KrMuxTx(KRMUX_HNDL* mux, const void* buffer, uint32_t length) {
    KRIOVEC piece{const_cast<void*>(buffer), length};
    return KrMuxTxV(mux, &piece, 1);
}

int KrMuxGetTlAddr(KRMUX_HNDL* mux, KRTLADDR* address, int remote) {
    if (!Ref(mux, KRMUX_OPEN)) {
        KrErrorSet(KRERR_BAD_DATA);
        return 1;
    }
    int result = KrIOGetTlAddr(ChannelOf(mux), address, remote);
    Unref(mux);
    return result;
}

int KrMuxOptionsSet(KRMUX_HNDL* mux, const KRIO_OPTION* options, uint32_t count) {
    if (!Ref(mux, KRMUX_OPEN)) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = KrIOOptionsSet(ChannelOf(mux), options, count);
    Unref(mux);
    return result;
}

int KrMuxOptionGet(KRMUX_HNDL* mux, uint32_t id, uint32_t* value) {
    if (!Ref(mux, KRMUX_OPEN)) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = KrIOOptionGet(ChannelOf(mux), id, value);
    Unref(mux);
    return result;
}

// ---- close ----

void KrMuxClose(KRMUX_HNDL* mux) {
    if (!Ref(mux, KRMUX_NEW)) return;
    ModLock();
    KR_INVARIANT(mux->refs > 1 && mux->state > KRMUX_DESTROYING);
    // Two closers may both have taken their reference: only the first drops the open one.
    bool first = mux->state > KRMUX_CLOSING;
    if (first) {
        mux->state = KRMUX_CLOSING;
        --mux->refs; // the open reference
    }
    ModUnlock();
    if (!first) {
        Unref(mux);
        return;
    }
    const KRMUX_SESSOPS* ops = g_Ops.load();
    for (;;) {
        ModLock();
        KrLockEnter(&mux->lock);
        SessList* own = OwnList(mux);
        KRMUX_SESS* s = own ? own->first : nullptr;
        if (s) {
            Unlink(own, s);
            s->mux = nullptr;
        }
        KrLockLeave(&mux->lock);
        ModUnlock();
        if (!s) break;
        if (ops && ops->remoteClose) ops->remoteClose(s, 1);
    }
    KrLockEnter(&mux->lock);
    KRIO_HNDL* channel = mux->channel;
    mux->channel = nullptr;
    SessList* activeList = mux->activeList;
    SessList* passiveList = mux->passiveList;
    KRBMAP_LIST* ids = mux->ids;
    mux->activeList = mux->passiveList = nullptr;
    mux->ids = nullptr;
    KrLockLeave(&mux->lock);
    KrBMapListDestroy(ids);
    if (activeList) SessListFree(activeList);
    if (passiveList) {
        ModLock();
        bool last = --passiveList->refs == 0;
        ModUnlock();
        if (last) {
            KR_INVARIANT(passiveList->count == 0);
            SessListFree(passiveList);
        }
    }
    if (channel) KrIOClose(channel);
    Unref(mux);
}

// ---- io callbacks ----

void KrMuxRxEventHndlr(void* argument, uint32_t eventClass) {
    auto* mux = static_cast<KRMUX_HNDL*>(argument);
    (void)eventClass;
    if (!Ref(mux, KRMUX_NEW)) return;
    KRIO_HNDL* channel = ChannelOf(mux);
    if (!channel) {
        Unref(mux);
        return;
    }
    KRMUX_RXSRC source{channel, SourceRx, SourceMark, SourceDiscard};
    bool close = false;
    for (;;) {
        KRMUX_RXRESULT r = KrMuxRxRun(&mux->rx, &source, (uintptr_t)mux);
        if (r == KRMUX_RX_WAIT) break;
        if (r == KRMUX_RX_CLOSE) {
            close = true;
            break;
        }
        if (r == KRMUX_RX_MESSAGE) {
            Dispatch(mux);
            KrMuxRxBufFree(mux->rx.body);
            mux->rx.body = nullptr;
        }
        uint32_t state = KrMuxState(mux);
        if (state == KRMUX_NEW) {
            KR_LOG(KrWarning, "KrMuxRxEventHndlr[0x%x]: Bogus message on new mux, closing.", (unsigned)(uintptr_t)mux);
            close = true;
            break;
        }
        if (state != KRMUX_OPEN) break;
    }
    if (close) KrMuxClose(mux);
    Unref(mux);
}

void KrMuxAcceptEventHndlr(void* argument, uint32_t eventClass) {
    auto* mux = static_cast<KRMUX_HNDL*>(argument);
    if (eventClass != KRIO_READABLE) {
        KR_LOG(KrCrit, "KrMuxAcceptEventHndlr: Unexpected or illegal event on passive channel, flags=%x.", eventClass);
        return;
    }
    if (!KrMuxClone(mux)) KR_LOG(KrErr, "KrMuxAcceptEventHndlr: Unable to clone passive channel.");
}
