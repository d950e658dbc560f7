// Sessions (see krrq_sess.h): the session registry with its internal and user references, open
// (active with its connect, passive), clones for a listening session, the connect, connect-ack,
// disconnect and heartbeat messages, close by the user and by the peer, destroy, and the table
// through which the mux calls the session layer.
#include "krrq_sess.h"

#include <arpa/inet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"
#include "krmux_ctl.h"
#include "krnetdb.h"
#include "krreg.h"
#include "krtime.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq_sess";
constexpr uint32_t kChains = 31;

std::mutex g_InitLock;
uint32_t g_InitCount = 0;
KRLOCK g_SessLock; // the registry, every session's state and reference counts
std::atomic<bool> g_SessLockMade{false};
KRSESS_HNDL* g_Table[kChains];
std::atomic<uint32_t> g_Live{0};
std::atomic<uint32_t> g_Word{0};

uint32_t Chain(const KRSESS_HNDL* s) { return (uint32_t)(((uintptr_t)s >> 4) % kChains); }
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

void ModLock() { KrLockEnter(&g_SessLock); }
void ModUnlock() { KrLockLeave(&g_SessLock); }

bool InTable(const KRSESS_HNDL* s) {
    for (KRSESS_HNDL* p = g_Table[Chain(s)]; p; p = p->chainNext)
        if (p == s) return true;
    return false;
}

// The state, with the session lock held by the caller (the registry reads it under its own lock).
void SetState(KRSESS_HNDL* s, uint32_t state) {
    ModLock();
    s->state = state;
    ModUnlock();
}

uint32_t StateOf(KRSESS_HNDL* s) {
    ModLock();
    uint32_t state = s->state;
    ModUnlock();
    return state;
}

// The address word of a transport address: its KRADDR for family 4, else none.
uint32_t AddrWord(const KRTLADDR* address) {
    if (!address || address->family != KRTL_KRADDR) return KR_ADDR_WORD_UNSET;
    return ntohl(address->addr);
}

// The transport protocol an address names: KRTL_TCP, KRTL_UDP or 0.
uint32_t Protocol(const KRTLADDR* address) {
    if (!address) return 0;
    uint32_t family = address->family == KRTL_KRADDR ? address->inner.family : address->family;
    return family == KRTL_TCP || family == KRTL_UDP ? family : 0;
}

// A clone leaves its listening session's unconfirmed count, once: when its peer is heard
// beyond the connect, or when it closes. Session lock held (or the last reference); the parent
// is still referenced then.
void LeaveUnconfirmedNL(KRSESS_HNDL* s) {
    if (!(s->flags & KRSESS_F_UNCONFIRMED)) return;
    s->flags &= ~KRSESS_F_UNCONFIRMED;
    if (s->parent) s->parent->unconfirmed.fetch_sub(1);
}

// A message addressed by a clone's id shows that its peer heard the connect-ack.
void Confirm(KRSESS_HNDL* s) {
    KrLockEnter(&s->lock);
    LeaveUnconfirmedNL(s);
    KrLockLeave(&s->lock);
}

// A place among the listener's unconfirmed clones; false (the open dropped, logged and counted
// in the listener's statistics) when they are at the bound.
bool TakeUnconfirmedPlace(KRSESS_HNDL* listener) {
    uint32_t held = listener->unconfirmed.load();
    do {
        if (held >= listener->unconfirmedBound) {
            // Logged before it is counted: whoever reads the count finds the line written.
            KR_LOG(KrWarning, "KrSessClone[0x%x]: %u sessions opened from the network are not confirmed yet; connect dropped.",
                   Tag(listener), held);
            KrLockEnter(&listener->lock);
            ++listener->stats[KRSTAT_OPENS_DROPPED];
            KrLockLeave(&listener->lock);
            return false;
        }
    } while (!listener->unconfirmed.compare_exchange_weak(held, held + 1));
    return true;
}

uint32_t UnconfirmedBound() {
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (LoadManifestEntry("MAIN", "MAXUNCONFIRMEDSESSIONS", bytes, &size, 0) != 0) return KRSESS_UNCONFIRMED_DEFAULT;
    const uint32_t bound = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                           (uint32_t)bytes[3] << 24;
    return bound ? bound : KRSESS_UNCONFIRMED_DEFAULT;
}

void Destroy(KRSESS_HNDL* s) {
    KR_TRACE_EVENT("rq__sdes", s, s->link.localId, s->link.remoteId, 0, 0);
    KrSessReqCleanup(s);
    KrSessOptCleanup(s);
    KrSessCryptCleanup(s);
    if (s->destroyCallback) s->destroyCallback(s);
    LeaveUnconfirmedNL(s);
    if (s->parent) KrSessRefDec(s->parent);
    KrEventDestroy(&s->event);
    KrLockDestroy(&s->lock);
    free(s);
    g_Live.fetch_sub(1);
}

void Enter(KRSESS_HNDL* s) {
    ModLock();
    uint32_t c = Chain(s);
    s->chainNext = g_Table[c];
    g_Table[c] = s;
    ModUnlock();
    g_Live.fetch_add(1);
}

// A zeroed session with its lock, event, keys and time stamps; not in the registry yet.
KRSESS_HNDL* Alloc(const char* who) {
    auto* s = static_cast<KRSESS_HNDL*>(calloc(1, sizeof(KRSESS_HNDL)));
    if (!s) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "%s: Unable to allocate Korrin Session Handle.", who);
        return nullptr;
    }
    KrLockInit(&s->lock, 0);
    KrEventCreate(&s->event, nullptr);
    s->link.owner = s;
    s->link.localWord = s->link.remoteWord = KR_ADDR_WORD_UNSET;
    s->refs = 1;     // the session's own, dropped with the last user reference
    s->userRefs = 1;
    KrGetTime(&s->lastTx);
    s->lastRx = s->lastTx;
    return s;
}

void FreeUnentered(KRSESS_HNDL* s) {
    KrSessCryptCleanup(s);
    KrEventDestroy(&s->event);
    KrLockDestroy(&s->lock);
    free(s);
}

// Detaches the session from its mux (the mux closes when its own list empties).
void Detach(KRSESS_HNDL* s) {
    KrLockEnter(&s->lock);
    bool attached = s->mux != nullptr;
    s->mux = nullptr;
    KrLockLeave(&s->lock);
    if (attached) KrMuxSessRemove(&s->link);
}

// Sends a control message with the given header id under the shared plain-text handle. Session
// lock held. 0 when sent whole.
int CntlTxId(KRSESS_HNDL* s, uint32_t code, uint32_t id, const uint8_t* payload, uint32_t length) {
    KRHDR h{};
    h.kind = KRHDR_KIND_CONTROL;
    h.id = id;
    h.length = length;
    h.sequence = code;
    uint8_t* message = nullptr;
    uint32_t size = 0;
    if (KrReqCTCntlMsgAlloc(KrReqCryptPlainText(), 0, &h, payload, &message, &size) != 0) return -1;
    int result = KrSessTx(s, message, size);
    KrReqMsgFree(message);
    return result;
}

void FillConnect(KRSESS_HNDL* s, uint8_t* p) {
    KrPutBe32(p, KR_SESS_VERSION);
    KrPutBe32(p + 4, s->link.sessionWord);
    KrPutBe32(p + 8, s->link.localWord);
    KrPutBe32(p + 12, s->link.remoteWord);
    KrPutBe32(p + 16, s->options[KRSESS_OPT_TXHB]);
    KrPutBe32(p + 20, s->options[KRSESS_OPT_RXHB_CNT]);
}

void RecordAddresses(KRSESS_HNDL* s) {
    KrLockEnter(&s->lock);
    KRMUX_HNDL* mux = s->mux;
    KrLockLeave(&s->lock);
    KRTLADDR local{}, remote{};
    if (!mux) return;
    KrMuxGetTlAddr(mux, &local, 0);
    if (!s->passive) KrMuxGetTlAddr(mux, &remote, 1);
    KrLockEnter(&s->lock);
    s->localAddr = local;
    s->remoteAddr = remote;
    KrLockLeave(&s->lock);
}

// The active connect: up to the connect tries, each waiting the connect interval for the ack.
int Connect(KRSESS_HNDL* s) {
    uint8_t payload[KR_CONNECT_LEN];
    KrLockEnter(&s->lock);
    FillConnect(s, payload);
    SetState(s, KRSESS_CONNECTING);
    const uint32_t tries = s->options[KRSESS_OPT_CONN_TRIES];
    const uint32_t interval = s->options[KRSESS_OPT_CONN_INTERVAL];
    for (uint32_t i = 0; i < tries && StateOf(s) == KRSESS_CONNECTING; ++i) {
        KR_TRACE_EVENT(i == 0 ? "rq__cntx" : "rq__CNTX", s, i, 0, 0, 0);
        CntlTxId(s, KRSESS_CNTL_CONNECT, s->link.localId, payload, KR_CONNECT_LEN);
        KrEventWaitFor(&s->event, &s->lock, interval, [&] { return StateOf(s) != KRSESS_CONNECTING; });
    }
    uint32_t state = StateOf(s);
    if (state == KRSESS_CONNECTING) SetState(s, KRSESS_ACTIVE);
    KrLockLeave(&s->lock);
    if (state == KRSESS_OPEN) {
        KrLockEnter(&s->lock);
        int failed = KrSessTimersStart(s);
        KrLockLeave(&s->lock);
        if (!failed) return 0;
    }
    // Anything but an open session, a remote close while connecting included, fails the open.
    KrErrorSet(KRERR_SESSION_STATE);
    char text[KR_TLADDR_TEXT] = "";
    KrLockEnter(&s->lock);
    KRTLADDRtostr(&s->remoteAddr, text);
    KrLockLeave(&s->lock);
    KR_LOG(KrWarning, "KrSessConnect[0x%x]: Failed to connect to %s", Tag(s), text);
    return 1;
}

// The close log lines of a session in state 2.
void CloseLog(KRSESS_HNDL* s) {
    char local[KR_TLADDR_TEXT] = "", remote[KR_TLADDR_TEXT] = "";
    KrLockEnter(&s->lock);
    KRTLADDRtostr(&s->localAddr, local);
    KRTLADDRtostr(&s->remoteAddr, remote);
    const uint32_t* w = s->stats;
    if (s->passive) {
        KrLockLeave(&s->lock);
        kr_log(kKrModule, __LINE__, KrLevelDebug, "Closing sess 0x%x: <%s><%s> clone cnt %u", Tag(s), local, remote,
               w[KRSTAT_CLONES]);
        return;
    }
    KRDATE rx{}, tx{};
    KrTimeToLocalDate(&s->lastRx, &rx);
    KrTimeToLocalDate(&s->lastTx, &tx);
    uint32_t words[10] = {w[14], w[21], w[16], w[18], w[23], w[27], w[33], w[31], w[29], w[35]};
    KrLockLeave(&s->lock);
    kr_log(kKrModule, __LINE__, KrLevelDebug, "Closing sess 0x%x: <%s><%s> l-rx %u:%u:%u.%03u l-tx %u:%u:%u.%03u ",
           Tag(s), local, remote, (unsigned)rx.hour, (unsigned)rx.minute, (unsigned)rx.second, (unsigned)rx.msec,
           (unsigned)tx.hour, (unsigned)tx.minute, (unsigned)tx.second, (unsigned)tx.msec);
    kr_log(kKrModule, __LINE__, KrLevelDebug,
           "Closing sess 0x%x: sreq req: %u res: %u rreq: %u ireq: %u rres: %u creq req: %u res: %u nres: %u "
           "rreq: %u ires: %u",
           Tag(s), words[0], words[1], words[2], words[3], words[4], words[5], words[6], words[7], words[8],
           words[9]);
}

// Releases a session whose open failed: closed, detached, its user reference dropped.
void FailOpen(KRSESS_HNDL* s) {
    KrLockEnter(&s->lock);
    s->flags |= KRSESS_F_USER_CLOSED;
    SetState(s, KRSESS_CLOSED);
    KrSessTimersStop(s);
    KrLockLeave(&s->lock);
    Detach(s);
    KrSessUserRefDec(s);
}

// ---- the mux's calls ----

KRSESS_HNDL* Owner(KRMUX_SESS* link) { return static_cast<KRSESS_HNDL*>(link->owner); }

void OpHold(KRMUX_SESS* link) {
    // The mux holds a session only while it is linked, that is before its destroy can begin.
    KRSESS_HNDL* s = Owner(link);
    ModLock();
    KR_INVARIANT(InTable(s));
    ++s->refs;
    ModUnlock();
}

void OpRelease(KRMUX_SESS* link) { KrSessRefDec(Owner(link)); }

KRMUX_SESS* OpClone(KRMUX_SESS* listener) {
    KRSESS_HNDL* s = KrSessClone(Owner(listener));
    return s ? &s->link : nullptr;
}

void OpConnect(KRMUX_SESS* link, const KRHDR* h, const uint8_t* payload, uint32_t length) {
    KrSessConnectHndlr(Owner(link), h, payload, length);
}

void OpConnectAck(KRMUX_SESS* link, const KRHDR* h, const uint8_t* payload, uint32_t length) {
    KrSessConnectAckHndlr(Owner(link), h, payload, length);
}

void OpControl(KRMUX_SESS* link, const KRHDR* h, const uint8_t* payload, uint32_t length) {
    Confirm(Owner(link));
    KrSessControlHndlr(Owner(link), h, payload, length);
}

void OpRequest(KRMUX_SESS* link, const KRMUX_RX* packet) {
    Confirm(Owner(link));
    KrSessRequestHndlr(Owner(link), packet);
}

void OpRemoteClose(KRMUX_SESS* link, uint32_t reason) {
    // Called for sessions the mux has already unlinked: the handle is checked in the registry.
    KRSESS_HNDL* s = Owner(link);
    if (KrSessRefInc(s, KRSESS_DESTROYED) != 0) return;
    KrLockEnter(&s->lock);
    s->mux = nullptr;
    KrLockLeave(&s->lock);
    KrSessRemoteClose(s, reason);
    KrSessRefDec(s);
}

const KRMUX_SESSOPS kSessOps = {OpHold,       OpRelease, OpClone,   OpConnect,
                                OpConnectAck, OpControl, OpRequest, OpRemoteClose};

}  // namespace

// ---- module ----

int KrSessModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_InitLock);
    if (g_InitCount++ == 0) {
        if (!g_SessLockMade.exchange(true)) KrLockInit(&g_SessLock, 0);
        KRTIME now{};
        KrGetTime(&now);
        // The initial sequence seed; session words are drawn from it, one apart.
        g_Word.store(now.sec << 10 | (now.msec & 63));
    }
    KrMuxSetSessOps(&kSessOps);
    return 0;
}

void KrSessModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_InitLock);
    if (g_InitCount == 0 || --g_InitCount > 0) return;
    KrMuxSetSessOps(nullptr);
}

uint32_t KrSessNextWord(void) { return g_Word.fetch_add(1); }
uint32_t KrSessCount(void) { return g_Live.load(); }

// ---- registry and references ----

int KrSessRefInc(KRSESS_HNDL* session, uint32_t minState) {
    if (!session || !g_SessLockMade.load()) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    ModLock();
    bool ok = InTable(session) && session->state > minState;
    if (ok) ++session->refs;
    ModUnlock();
    if (!ok) KrErrorSet(KRERR_PARAM);
    return ok ? 0 : 1;
}

void KrSessRefDec(KRSESS_HNDL* session) {
    ModLock();
    KR_INVARIANT(session->refs > 0);
    bool last = --session->refs == 0;
    if (last) {
        session->state = KRSESS_DESTROYED;
        KRSESS_HNDL** at = &g_Table[Chain(session)];
        while (*at && *at != session) at = &(*at)->chainNext;
        if (*at) *at = session->chainNext;
    }
    ModUnlock();
    if (last) Destroy(session);
}

int KrSessUserRefInc(KRSESS_HNDL* session) {
    if (!session) return 1;
    ModLock();
    bool ok = InTable(session) && session->state > KRSESS_DESTROYED;
    if (ok) ++session->userRefs;
    ModUnlock();
    if (!ok) KrErrorSet(KRERR_PARAM);
    return ok ? 0 : 1;
}

int KrSessUserRefDec(KRSESS_HNDL* session) {
    ModLock();
    if (!InTable(session)) {
        ModUnlock();
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    const bool open = session->state > KRSESS_CLOSED;
    if (session->userRefs <= 0 || (session->userRefs == 1 && open)) {
        const bool below = session->userRefs <= 0;
        ModUnlock();
        if (below)
            KR_LOG(KrErr, "KrSessUserRefDec[0x%x]: attempt to decrement user reference to < 0 on open session...You have failed me for the last time.",
                   Tag(session));
        else
            KR_LOG(KrErr, "KrSessUserRefDec[0x%x]: attempt to decrement user reference to 0 on open session...You naughty programmer.",
                   Tag(session));
        return 1;
    }
    bool last = --session->userRefs == 0;
    ModUnlock();
    if (last) KrSessRefDec(session); // the session's own reference
    return 0;
}

uint32_t KrSessState(KRSESS_HNDL* session) {
    if (!g_SessLockMade.load()) return KRSESS_DESTROYED;
    ModLock();
    uint32_t state = InTable(session) ? session->state : (uint32_t)KRSESS_DESTROYED;
    ModUnlock();
    return state;
}

// ---- open ----

KRSESS_HNDL* KrSessOpenInternal(uint32_t passive, const KRTLADDR* local, const KRTLADDR* remote, KRSREQ_HNDLR handler,
                                void* context, const KRSESS_OPT* options, uint32_t count) {
    KRSESS_HNDL* s = Alloc("KrSessOpenInternal");
    if (!s) return nullptr;
    const KRTLADDR* chosen = passive ? local : remote;
    const uint32_t protocol = Protocol(chosen);
    if (!protocol) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessOpenInternal: Unable to determine protocol type specifed by address.");
        FreeUnentered(s);
        return nullptr;
    }
    s->passive = passive ? 1 : 0;
    if (passive) s->unconfirmedBound = UnconfirmedBound();
    s->family = chosen->family;
    s->reliable = protocol == KRTL_TCP;
    s->handler = handler;
    s->context = context;
    KrSessOptionsDefault(s->options, (int)s->reliable);
    // Session options here, every other id goes to the channel.
    KRSESS_OPT* own = count ? new (std::nothrow) KRSESS_OPT[count] : nullptr;
    KRIO_OPTION* channel = count ? new (std::nothrow) KRIO_OPTION[count] : nullptr;
    uint32_t nOwn = 0, nChannel = 0;
    if (count && (!own || !channel)) {
        delete[] own;
        delete[] channel;
        KrErrorSet(KRERR_NO_MEMORY);
        FreeUnentered(s);
        return nullptr;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (options[i].id >= KRSESS_OPTID_TXHB && options[i].id <= KRSESS_OPTID_DATA_KEY)
            own[nOwn++] = options[i];
        else
            channel[nChannel++] = KRIO_OPTION{options[i].id, (uint32_t)options[i].value};
    }
    int failed = KrSessCryptInit(s);
    if (failed) {
        KR_LOG(KrErr, "KrSessActiveInit[0x%x]: Failed to allocate plain-text control encryption handle: error %d.",
               Tag(s), (int)KrErrorGet());
    } else if (nOwn && KrSessOptionsSetInternal(s, own, nOwn, 0) != 0) {
        KR_LOG(KrErr, "KrSessOpenInternal: Failed to set options.");
        failed = 1;
    }
    if (failed) {
        delete[] own;
        delete[] channel;
        FreeUnentered(s);
        return nullptr;
    }
    s->link.active = s->passive ? 0 : 1;
    s->link.localWord = AddrWord(local);
    s->link.remoteWord = s->passive ? KR_ADDR_WORD_UNSET : AddrWord(remote);
    s->link.sessionWord = KrSessNextWord();
    s->state = s->passive ? KRSESS_PASSIVE : KRSESS_ACTIVE;
    Enter(s);
    const uint32_t savedErr = KrErrorGet();
    int added = KrMuxSessAdd(&s->link, local, s->passive ? nullptr : remote, 1, nChannel ? channel : nullptr, nChannel);
    delete[] own;
    delete[] channel;
    if (added != 0) {
        if (KrErrorGet() == KRERR_NONE) KrErrorSet(savedErr ? savedErr : KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrSessOpenInternal: Couldn't create/find Mux channel for Korrin session.");
        KR_TRACE_EVENT("rq__ESOP", s, 0, 0, 0, 0);
        FailOpen(s);
        return nullptr;
    }
    KrLockEnter(&s->lock);
    s->mux = s->link.mux;
    KrLockLeave(&s->lock);
    RecordAddresses(s);
    if (!s->passive && Connect(s) != 0) {
        const uint32_t err = KrErrorGet();
        KR_TRACE_EVENT("rq__ESOP", s, 0, 0, 0, 0);
        FailOpen(s);
        KrErrorSet(err);
        return nullptr;
    }
    KR_TRACE_EVENT("rq__sopn", s, s->passive, s->link.localId, 0, 0);
    return s;
}

KRSESS_HNDL* KrSessClone(KRSESS_HNDL* listener) {
    if (KrSessRefInc(listener, KRSESS_CLOSED) != 0) return nullptr;
    if (!TakeUnconfirmedPlace(listener)) {
        KrSessRefDec(listener);
        return nullptr;
    }
    KRSESS_HNDL* s = Alloc("KrSessClone");
    if (s && KrSessCryptInit(s) != 0) {
        KR_LOG(KrErr, "KrSessActiveInit[0x%x]: Failed to allocate plain-text control encryption handle: error %d.",
               Tag(s), (int)KrErrorGet());
        KrEventDestroy(&s->event);
        KrLockDestroy(&s->lock);
        free(s);
        s = nullptr;
    }
    if (!s) {
        listener->unconfirmed.fetch_sub(1);
        KrSessRefDec(listener);
        return nullptr;
    }
    KrLockEnter(&listener->lock);
    std::memcpy(s->options, listener->options, sizeof s->options);
    s->family = listener->family;
    s->reliable = listener->reliable;
    s->handler = listener->handler;
    s->context = listener->context;
    ++listener->stats[KRSTAT_CLONES];
    KrLockLeave(&listener->lock);
    s->parent = listener; // keeps the reference taken above until the clone closes
    s->flags |= KRSESS_F_UNCONFIRMED;
    s->link.active = 1;
    s->state = KRSESS_ACCEPTED;
    Enter(s);
    return s;
}

// ---- close ----

LOBBEX_API int KrSessClose(KRSESS_HNDL* session) {
    if (KrSessRefInc(session, KRSESS_DESTROYED) != 0) {
        KR_LOG(KrErr, "KrSessClose: Invalid session handle.");
        return 1;
    }
    KR_TRACE_EVENT("rq__sclo", session, 0, 0, 0, 0);
    KrLockEnter(&session->lock);
    if (session->flags & KRSESS_F_USER_CLOSED) {
        KrLockLeave(&session->lock);
        KR_LOG(KrWarning, "KrSessClose[0x%x]: Redundant close on session.", Tag(session));
        KrSessRefDec(session);
        return 0;
    }
    const uint32_t was = StateOf(session);
    const bool byPeer = (session->flags & KRSESS_F_REMOTE_CLOSED) != 0;
    session->flags |= KRSESS_F_USER_CLOSED;
    SetState(session, KRSESS_CLOSED);
    LeaveUnconfirmedNL(session);
    KRSESS_HNDL* parent = session->parent;
    session->parent = nullptr;
    if (!byPeer) {
        KrSessTimersStop(session);
        if (!session->passive && (was == KRSESS_OPEN || was == KRSESS_ACCEPTED || was == KRSESS_CONNECTING)) {
            uint8_t payload[KRSESS_DISCONNECT_LEN];
            KrPutBe32(payload, KR_SESS_VERSION);
            KrPutBe32(payload + 4, session->link.sessionWord);
            KrPutBe32(payload + 8, session->link.localWord);
            KrPutBe32(payload + 12, session->link.remoteWord);
            KR_TRACE_EVENT("rq__ditx", session, 0, 0, 0, 0);
            if (KrSessCntlTx(session, KRSESS_CNTL_DISCONNECT, payload, sizeof payload) != 0)
                KR_LOG(KrLevelInfo, "KrSessDisconnectReq[0x%x]:Failed to send disconnect request.", Tag(session));
        }
    }
    KrEventSignal(&session->event);
    KrLockLeave(&session->lock);
    if (parent) {
        // A clone closed by its user counts with its listening session, and lets it go.
        KrLockEnter(&parent->lock);
        ++parent->stats[KRSTAT_CLONES_CLOSED];
        KrLockLeave(&parent->lock);
        KrSessRefDec(parent);
    }
    KrSessOptCleanup(session);
    Detach(session);
    CloseLog(session);
    KrSessUserRefDec(session);
    KrSessRefDec(session);
    return 0;
}

void KrSessRemoteClose(KRSESS_HNDL* session, uint32_t reason) {
    if (KrSessRefInc(session, KRSESS_DESTROYED) != 0) return;
    KR_TRACE_EVENT("rq__srcl", session, reason, 0, 0, 0);
    KrLockEnter(&session->lock);
    const uint32_t was = StateOf(session);
    if (was <= KRSESS_CLOSED) {
        KrLockLeave(&session->lock);
        KrSessRefDec(session);
        return;
    }
    if (was == KRSESS_CONNECTING)
        KR_LOG(KrLevelDebug, "KrSessRemoteClose[0x%x]: Remote close for connecting session, always exciting", Tag(session));
    session->flags |= KRSESS_F_REMOTE_CLOSED;
    SetState(session, KRSESS_CLOSED);
    LeaveUnconfirmedNL(session);
    KrSessTimersStop(session);
    KrEventSignal(&session->event);
    KrLockLeave(&session->lock);
    KrSessOptCleanup(session); // wakes the option-set exchanges waiting on this session
    Detach(session);
    if (was == KRSESS_CONNECTING) {
        // The open that waits fails; nobody above has heard of the session.
    } else if (was == KRSESS_ACCEPTED) {
        // A clone whose peer never finished connecting: nobody above knows it, so nobody will
        // close it; it lets its user reference go itself.
        KrLockEnter(&session->lock);
        session->flags |= KRSESS_F_USER_CLOSED;
        KRSESS_HNDL* parent = session->parent;
        session->parent = nullptr;
        KrLockLeave(&session->lock);
        if (parent) KrSessRefDec(parent);
        KrSessUserRefDec(session);
    } else {
        uint8_t payload[4];
        KrPutBe32(payload, reason);
        KrSessInternalNotice(session, KRSESS_CODE_CLOSED, payload, sizeof payload);
    }
    KrSessRefDec(session);
}

void KrSessDestroyCBFSet(KRSESS_HNDL* session, KRSESS_DESTROY_CBF callback) {
    if (KrSessRefInc(session, KRSESS_DESTROYED) != 0) return;
    KrLockEnter(&session->lock);
    session->destroyCallback = callback;
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
}

// ---- accessors ----

uint32_t KrSessUnconfirmedCount(KRSESS_HNDL* listener) { return listener->unconfirmed.load(); }

int KrSessIsActive(const KRSESS_HNDL* session) { return session->passive == 0; }
int KrSessIsPassive(const KRSESS_HNDL* session) { return session->passive != 0; }
uint32_t KrSessLocalAddrWord(const KRSESS_HNDL* session) { return session->link.localWord; }
uint32_t KrSessRemoteAddrWord(const KRSESS_HNDL* session) { return session->link.remoteWord; }
KRMUX_HNDL* KrSessMux(const KRSESS_HNDL* session) { return session->mux; }

KRLOCK* KrSessLockOf(KRSESS_HNDL* session) { return &session->lock; }
KRREQ_QUEUES* KrSessReqQueues(KRSESS_HNDL* session) { return &session->queues; }
uint32_t KrSessPeerId(KRSESS_HNDL* session) { return session->link.remoteId; }
uint32_t KrSessNextTxSeq(KRSESS_HNDL* session) { return session->txSequence++; }

void KrSessMarkTxNL(KRSESS_HNDL* session) { KrGetTime(&session->lastTx); }
void KrSessMarkTx(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    KrSessMarkTxNL(session);
    KrLockLeave(&session->lock);
}
void KrSessMarkRxNL(KRSESS_HNDL* session) { KrGetTime(&session->lastRx); }
void KrSessMarkRx(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    KrSessMarkRxNL(session);
    KrLockLeave(&session->lock);
}
void KrSessMarkReqRxNL(KRSESS_HNDL* session) {
    KrGetTime(&session->lastReqRx);
    session->lastRx = session->lastReqRx;
}
void KrSessMarkReqRx(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    KrSessMarkReqRxNL(session);
    KrLockLeave(&session->lock);
}

void KrSessStatAddNL(KRSESS_HNDL* session, uint32_t word, uint32_t bytes) {
    ++session->stats[word];
    if (bytes) session->stats[word + 1] += bytes;
}

LOBBEX_API int KrSessStatGet(KRSESS_HNDL* session, uint32_t* record) {
    if (!record || KrSessRefInc(session, KRSESS_DESTROYED) != 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessStatGet: attempted to get stats of null session");
        return 1;
    }
    KrLockEnter(&session->lock);
    uint32_t* w = session->stats;
    const KRTIME* stamps[4] = {&session->lastReqRx, &session->unusedTime, &session->lastRx, &session->lastTx};
    for (int i = 0; i < 4; ++i) {
        w[KRSTAT_LAST_REQRX + 3 * i] = stamps[i]->sec;
        w[KRSTAT_LAST_REQRX + 3 * i + 1] = stamps[i]->msec;
        w[KRSTAT_LAST_REQRX + 3 * i + 2] = stamps[i]->usec;
    }
    std::memcpy(record, w, sizeof session->stats);
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
    return 0;
}

LOBBEX_API int KrSessGetTlAddr(KRSESS_HNDL* session, KRTLADDR* address, int local) {
    if (!session || !address) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessGetTlAddr: Invalid parameters.");
        return 1;
    }
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return 1;
    KrLockEnter(&session->lock);
    KRMUX_HNDL* mux = session->mux;
    KrLockLeave(&session->lock);
    int result = mux ? KrMuxGetTlAddr(mux, address, local ? 0 : 1) : 1;
    KrSessRefDec(session);
    return result;
}

LOBBEX_API int KrSessGetLocalTlAddr(KRSESS_HNDL* session, KRTLADDR* address) {
    return KrSessGetTlAddr(session, address, 1);
}
LOBBEX_API int KrSessGetRemoteTlAddr(KRSESS_HNDL* session, KRTLADDR* address) {
    return KrSessGetTlAddr(session, address, 0);
}

// ---- transmit ----

int KrSessTx(KRSESS_HNDL* session, const uint8_t* message, uint32_t length) {
    KrLockEnter(&session->lock);
    KRMUX_HNDL* mux = session->mux;
    int sent = mux ? KrMuxTx(mux, message, length) : -1;
    bool whole = sent >= 0 && (uint32_t)sent == length;
    if (whole) KrSessMarkTxNL(session);
    KrLockLeave(&session->lock);
    return whole ? 0 : 1;
}

int KrSessCntlTx(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length) {
    KrLockEnter(&session->lock);
    int result = CntlTxId(session, code, session->link.remoteId, payload, length);
    KrLockLeave(&session->lock);
    return result;
}

// ---- receive ----

void KrSessConnectHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    (void)header;
    if (length < KR_CONNECT_LEN) {
        KR_LOG(KrWarning, "KrSessConnectHndlr[0x%x]: Invalid connect control message parameter size: %u", Tag(session),
               length);
        return;
    }
    if (KrGetBe32(payload) != KR_SESS_VERSION) {
        KR_LOG(KrWarning, "KrSessConnectHndlr[0x%x]: Received connect with different version.", Tag(session));
        return;
    }
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return;
    KrLockEnter(&session->lock);
    const uint32_t state = StateOf(session);
    const bool first = state == KRSESS_ACCEPTED;
    if (first) {
        session->link.sessionWord = KrGetBe32(payload + 4);
        session->options[KRSESS_OPT_PEER_TXHB] = KrGetBe32(payload + 16);
        session->options[KRSESS_OPT_PEER_RXHB_CNT] = KrGetBe32(payload + 20);
        session->mux = session->link.mux;
    }
    // A repeated connect (its ack was lost) is answered again, in the open state too.
    int failed = 1;
    if (first || state == KRSESS_OPEN) {
        uint8_t ack[KR_CONNECT_LEN];
        FillConnect(session, ack);
        failed = CntlTxId(session, KRSESS_CNTL_CONNECT_ACK, session->link.localId, ack, sizeof ack);
    }
    KrLockLeave(&session->lock);
    if (!first && state != KRSESS_OPEN) {
        KrSessRefDec(session);
        return;
    }
    if (failed) {
        KrSessRemoteClose(session, KRSESS_REASON_CONNECT);
    } else if (first) {
        RecordAddresses(session);
        KR_TRACE_EVENT("rq__srop", session, 0, 0, 0, 0);
        if (KrSessInternalNotice(session, KRSESS_CODE_OPENED, nullptr, 0) != 0) {
            KR_LOG(KrErr, "KrSessRemoteOpen: Unable to allocate response handle");
        } else {
            KrLockEnter(&session->lock);
            if (StateOf(session) == KRSESS_ACCEPTED) {
                SetState(session, KRSESS_OPEN);
                KrSessTimersStart(session);
            }
            KrLockLeave(&session->lock);
        }
    }
    KrSessRefDec(session);
}

void KrSessConnectAckHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    (void)header;
    if (length < KR_CONNECT_LEN) {
        KR_LOG(KrWarning, "KrSessConnectAckHndlr: Invalid connect-ack control message parameter size: %u", length);
        return;
    }
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return;
    KrLockEnter(&session->lock);
    if (StateOf(session) == KRSESS_CONNECTING) {
        session->options[KRSESS_OPT_PEER_TXHB] = KrGetBe32(payload + 16);
        session->options[KRSESS_OPT_PEER_RXHB_CNT] = KrGetBe32(payload + 20);
        SetState(session, KRSESS_OPEN);
        KrEventSignal(&session->event);
    }
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
}

namespace {

void DisconnectHndlr(KRSESS_HNDL* s, const uint8_t* payload, uint32_t length) {
    if (length < KRSESS_DISCONNECT_LEN) {
        KR_LOG(KrWarning, "KrSessDisConnectHndlr[0x%x]: Invalid disconnect control message parameter size: %u", Tag(s),
               length);
        return;
    }
    if (KrGetBe32(payload) != KR_SESS_VERSION) {
        KR_LOG(KrWarning, "KrSessDisConnectHndlr[0x%x-0x%x]: Received disconnect with different version.", Tag(s),
               s->link.localId);
        return;
    }
    KrLockEnter(&s->lock);
    const bool match = KrGetBe32(payload + 4) == s->link.sessionWord && KrGetBe32(payload + 8) == s->link.remoteWord &&
                       KrGetBe32(payload + 12) == s->link.localWord;
    KrLockLeave(&s->lock);
    if (!match) {
        KR_LOG(KrLevelInfo, "KrSessDisConnectHndlr[0x%x-0x%x]: Received disconnect for recycled session id.", Tag(s),
               s->link.localId);
        return;
    }
    KR_TRACE_EVENT("rq__dirx", s, 0, 0, 0, 0);
    KrSessRemoteClose(s, KRSESS_REASON_DISCONNECT);
}

}  // namespace

void KrSessControlHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return;
    switch (header->sequence) {
    case KRSESS_CNTL_DISCONNECT: DisconnectHndlr(session, payload, length); break;
    case KRSESS_CNTL_HEARTBEAT:
        KR_TRACE_EVENT("rq__hbrx", session, 0, 0, 0, 0);
        if (length)
            KR_LOG(KrWarning, "KrSessHeartbeatHndlr[0x%x]: %u extraneous data bytes in hearbeat message.", Tag(session),
                   length);
        KrSessMarkRx(session);
        break;
    case KRSESS_CNTL_OPT_SET: KrSessOptSetHndlr(session, header, payload, length); break;
    case KRSESS_CNTL_OPT_ACK: KrSessOptAckHndlr(session, header, payload, length); break;
    case KRSESS_CNTL_KEY_SET: KrSessDataKeySetHndlr(session, header, payload, length); break;
    case KRSESS_CNTL_KEY_ACK: KrSessDataKeyAckHndlr(session, header, payload, length); break;
    default: KR_LOG(KrWarning, "KrSessControlHndlr: Unrecognized control code %u", header->sequence); break;
    }
    KrSessRefDec(session);
}

// ---- a session of no transport, fed one datagram at a time (a test seam) ----

namespace {

// A UDP channel's default transmit size: a datagram this long may carry a message on.
constexpr uint32_t kUnattachedFullDatagram = 512;

// The datagram as a UDP channel hands it to the framing: its bytes, then 0 (nothing more yet).
struct Datagram {
    const uint8_t* data;
    uint32_t size, offset, reads;
};

int DatagramRx(void* context, void* buffer, uint32_t length) {
    auto* d = static_cast<Datagram*>(context);
    if (d->offset == d->size && d->reads) return 0;
    d->reads = 1;
    const uint32_t n = length < d->size - d->offset ? length : d->size - d->offset;
    if (n) std::memcpy(buffer, d->data + d->offset, n);
    d->offset += n;
    return (int)n;
}

int DatagramMark(void* context, KRIO_RXMARK* mark) {
    auto* d = static_cast<Datagram*>(context);
    mark->left = d->size - d->offset;
    mark->length = d->size;
    mark->full = d->size >= kUnattachedFullDatagram;
    mark->truncated = 0;
    mark->count = d->reads;
    return 0;
}

uint32_t DatagramDiscard(void* context) {
    auto* d = static_cast<Datagram*>(context);
    const uint32_t n = d->size - d->offset;
    d->offset = d->size;
    return n;
}

// One whole message, dispatched as a mux holding only this session dispatches it: requests,
// responses and control codes 3 and up when they name its local id; a connect-ack when its words
// are the session's; a connect finds no listening session and is dropped.
void DeliverUnattached(KRSESS_HNDL* s, const KRMUX_RX& rx) {
    KRHDR h{};
    uint32_t offset = 0;
    if (KrMuxRxHeader(&rx, &h, &offset, (uintptr_t)s) != 0) return;
    const uint8_t* payload = rx.body + offset;
    if (h.kind == KRHDR_KIND_REQUEST) {
        if (h.id != s->link.localId) return;
        Confirm(s);
        KrSessRequestHndlr(s, &rx);
    } else if (h.sequence == KRSESS_CNTL_CONNECT) {
        KRMUX_CONNECT c{};
        KrMuxConnectParse(payload, h.length, &c, (uintptr_t)s);
    } else if (h.sequence == KRSESS_CNTL_CONNECT_ACK) {
        KRMUX_CONNECT c{};
        if (KrMuxConnectAckParse(payload, h.length, &c, (uintptr_t)s) != 0) return;
        if (c.destWord != s->link.localWord || c.sourceWord != s->link.remoteWord ||
            c.sessionWord != s->link.sessionWord)
            return;
        KrLockEnter(&s->lock);
        s->link.remoteId = h.id;
        KrLockLeave(&s->lock);
        KrSessConnectAckHndlr(s, &h, payload, h.length);
    } else {
        if (h.id != s->link.localId) return;
        Confirm(s);
        KrSessControlHndlr(s, &h, payload, h.length);
    }
}

}  // namespace

KRSESS_HNDL* KrSessOpenUnattached(uint32_t reliable, uint32_t sessionWord, KRSREQ_HNDLR handler, void* context) {
    KRSESS_HNDL* s = Alloc("KrSessOpenUnattached");
    if (!s) return nullptr;
    if (KrSessCryptInit(s) != 0) {
        FreeUnentered(s);
        return nullptr;
    }
    s->reliable = reliable ? 1 : 0;
    s->family = reliable ? KRTL_TCP : KRTL_UDP;
    s->handler = handler;
    s->context = context;
    KrSessOptionsDefault(s->options, (int)s->reliable);
    s->link.active = 1;
    s->link.localId = KRSESS_UNATTACHED_ID;
    s->link.remoteId = KRSESS_UNATTACHED_ID;
    s->link.sessionWord = sessionWord;
    s->state = KRSESS_OPEN;
    Enter(s);
    return s;
}

void KrSessRxDatagram(KRSESS_HNDL* session, const uint8_t* data, uint32_t size) {
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return;
    Datagram d{data, size, 0, 0};
    const KRMUX_RXSRC source{&d, DatagramRx, DatagramMark, DatagramDiscard};
    KRMUX_RX rx{};
    // Every message or drop reads at least one byte of the datagram: the bound is never reached
    // by a framing that works.
    for (uint32_t n = 0; n <= size; ++n) {
        const KRMUX_RXRESULT r = KrMuxRxRun(&rx, &source, (uintptr_t)session);
        if (r == KRMUX_RX_MESSAGE) {
            DeliverUnattached(session, rx);
            KrMuxRxBufFree(rx.body);
            rx.body = nullptr;
        } else if (r != KRMUX_RX_DROPPED) {
            break;
        }
    }
    KrMuxRxReset(&rx);
    KrSessRefDec(session);
}
