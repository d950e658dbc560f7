// The GULP data channels: the table of 64 slots, open by name or by address, the write under the
// packed transmit header, the data-in handler that unpacks the receive header and delivers each
// message, the bounded receive queue and its readers, the meter, and the close (also when the
// GULP server closes the session). Every slot change happens under the slot's lock; a session is
// closed only after the slot has let go of it, so the io thread and the caller never share one
// half-closed.
#include "krgulp.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "krcgame_join.h"
#include "krerrno.h"
#include "krlog.h"
#include "krmc.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "krxdr.h"

namespace {

constexpr char kKrModule[] = "krgulp";

constexpr uint32_t kCodeDataOut = 0;
constexpr uint32_t kCodeDataIn = 1;
constexpr uint32_t kCodeOpen = 17;
// The largest payload one write carries (the working buffer lives on the stack).
constexpr uint32_t kWriteRoom = 16384;

KRGULP_CB g_Gulps[KR_MAX_GULPS];
std::once_flag g_LocksMade;

void MakeLocks() {
    // The locks live as long as the process: a late callback on the io thread may still take one
    // after the table has been cleaned up.
    std::call_once(g_LocksMade, [] {
        for (KRGULP_CB& g : g_Gulps) KrLockInit(&g.lock, 0);
    });
}

void ResetMeterNL(KRGULP_CB* g) {
    std::memset(&g->meter, 0, sizeof g->meter);
    g->meter.startTick = KrTickCount();
    g->meter.smallest = 0x7fffffff;
    g->meter.largest = 0;
}

void CountNL(KRGULP_CB* g, bool in, uint32_t length) {
    KRGULP_METER& m = g->meter;
    if (in) {
        ++m.messagesIn;
        m.bytesIn += length;
    } else {
        ++m.messagesOut;
        m.bytesOut += length;
    }
    if (length < m.smallest) m.smallest = length;
    if (length > m.largest) m.largest = length;
}

void DropFirstNL(KRGULP_CB* g) {
    KRGULP_QENTRY* e = g->head;
    g->head = e->next;
    if (!g->head) g->tail = nullptr;
    --g->queued;
    g->queuedBytes -= e->length;
    g->firstLength.store(g->head ? g->head->length : 0);
    std::free(e);
}

void PurgeNL(KRGULP_CB* g) {
    while (g->head) DropFirstNL(g);
}

// Takes the slot's session and description out (lock held); the caller closes and frees them
// after leaving the lock.
struct Detached {
    KRSESS_HNDL* session = nullptr;
    KRGICS_GULP_INFO info{};
    bool hasInfo = false;
};

Detached DetachNL(KRGULP_CB* g) {
    Detached d;
    if (g->state >= KRGULP_OPEN_SENT) d.session = g->session;
    if (g->state >= KRGULP_OPENING && (g->openStyle == KRGULP_OPEN_FIND || g->openStyle == KRGULP_OPEN_QUERY)) {
        d.info = g->info;
        d.hasInfo = true;
    }
    std::memset(&g->info, 0, sizeof g->info);
    g->session = nullptr;
    g->state = KRGULP_FREE;
    g->game = -1;
    PurgeNL(g); // queued messages never reach whatever opens this slot next
    return d;
}

void Release(Detached& d) {
    if (d.session) KrSessClose(d.session);
    if (d.hasInfo) krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &d.info);
}

void FreeSlot(KRGULP_CB* g) {
    KrLockEnter(&g->lock);
    Detached d = DetachNL(g);
    KrLockLeave(&g->lock);
    Release(d);
}

HGULP OpenFailed(KRGULP_CB* g, int code) {
    FreeSlot(g);
    return (HGULP)KrLogReturnVal("KrOpenGULP", code);
}

bool ZeroIp(const KRGICS_GULP_INFO& info) {
    return info.tlAddress.addr == 0;
}

// The data-in request: every message in header order, or none when the header or the payload
// lengths do not fit the request.
void DataIn(HGULP h, KRGULP_CB* g, KRSESS_HNDL* session, const uint8_t* data, uint32_t length) {
    KrLockEnter(&g->lock);
    const bool current = g->session == session && g->state >= KRGULP_OPEN_SENT;
    const uintptr_t context = g->context;
    const KRGULP_MSG_CBF callback = g->messageCallback;
    KrLockLeave(&g->lock);
    if (!current || !data || length == 0) return;
    KRMC_RXHDR header; // on the stack: 1 KB
    const uint32_t used = KrMCRxHdrUnpack(data, length, &header);
    if (!used) {
        KrWarn("MultiCastReqHndlrCBF::Couldn't unpack mcrx-header.");
        return;
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < header.count; ++i) total += header.msg[i].length;
    if (total > length - used) {
        KrWarn("MultiCastReqHndlrCBF:: payloads of %u bytes run past the %u bytes of the request; dropped.",
               (unsigned)total, (unsigned)(length - used));
        return;
    }
    const uint8_t* payload = data + used;
    for (uint32_t i = 0; i < header.count; ++i) {
        const KRMC_RXPAIR& m = header.msg[i];
        KrLockEnter(&g->lock);
        CountNL(g, true, m.length);
        KrLockLeave(&g->lock);
        KrMonitorNotify(9, 0, 0, (uintptr_t)h, m.sender, 0, m.length, (uintptr_t)payload);
        if (callback)
            callback(h, context, m.sender, payload, m.length);
        else
            KrMessageHandler(h, m.sender, payload, m.length);
        payload += m.length;
    }
}

}  // namespace

KRGULP_CB* GetGULPPtr(HGULP gulp) {
    return gulp >= 0 && gulp < KR_MAX_GULPS ? &g_Gulps[gulp] : nullptr;
}

KRSESS_HNDL* GetGULPSession(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return nullptr;
    KrLockEnter(&g->lock);
    KRSESS_HNDL* s = g->session;
    KrLockLeave(&g->lock);
    return s;
}

LOBBEX_API void InitGULPs(void) {
    KrLogAPICall("InitGULPs");
    MakeLocks();
    for (KRGULP_CB& g : g_Gulps) {
        KrLockEnter(&g.lock);
        PurgeNL(&g);
        g.game = -1;
        g.state = KRGULP_FREE;
        g.session = nullptr;
        std::memset(&g.info, 0, sizeof g.info);
        g.head = g.tail = nullptr;
        g.queued = 0;
        g.queuedBytes = 0;
        g.firstLength.store(0);
        KrLockLeave(&g.lock);
    }
}

LOBBEX_API void CleanupGULPs(void) {
    KrLogAPICall("CleanupGULPs");
    MakeLocks();
    for (HGULP h = 0; h < KR_MAX_GULPS; ++h) {
        KRGULP_CB& g = g_Gulps[h];
        KrLockEnter(&g.lock);
        const bool used = g.state != KRGULP_FREE;
        KrLockLeave(&g.lock);
        if (used) {
            KrWarn("CleanupGULPs::Cleaning up orphaned GULP(%d)", h);
            KrCloseGULP(h);
        }
        KrLockEnter(&g.lock);
        PurgeNL(&g);
        KrLockLeave(&g.lock);
    }
}

LOBBEX_API HGULP KrOpenGULP(int16_t game, int16_t style, uintptr_t key, uintptr_t context, KRGULP_OPEN_CBF openCallback,
                            KRGULP_MSG_CBF messageCallback) {
    KrLogAPICall("KrOpenGULP");
    MakeLocks();
    HGULP h = -1;
    KRGULP_CB* g = nullptr;
    for (HGULP i = 0; i < KR_MAX_GULPS && !g; ++i) {
        KrLockEnter(&g_Gulps[i].lock);
        if (g_Gulps[i].state == KRGULP_FREE) {
            g = &g_Gulps[i];
            h = i;
            g->state = KRGULP_CLAIMED;
            PurgeNL(g);
            ResetMeterNL(g);
            g->game = game;
            g->openStyle = style;
            g->openCallback = openCallback;
            g->context = context;
            g->messageCallback = messageCallback;
        }
        KrLockLeave(&g_Gulps[i].lock);
    }
    if (!g) {
        KrError("KrOpenGULP::No more gulp handles available");
        return (HGULP)KrLogReturnVal("KrOpenGULP", -80);
    }
    KRGAME_CB* slot = GetGamePtr(game);
    KrMonitorNotify(6, 0, (uintptr_t)game, (uintptr_t)h, slot ? slot->ownAddr : 0, 0, 0, 0);
    if (style == -1) {
        KrWarn("Sorry, we no longer support opening GULPs with the KLUDGE method");
        return OpenFailed(g, -84);
    }
    if (style != KRGULP_OPEN_FIND && style != KRGULP_OPEN_QUERY) {
        KrError("KrOpenGULP::Unsupported GULP Open Style: %d", style);
        return OpenFailed(g, -84);
    }
    if (!slot || slot->state != KRGAME_JOINED) return OpenFailed(g, -81);
    KRGICS_GULP_INFO info{};
    int found;
    if (style == KRGULP_OPEN_QUERY) {
        found = KrQueryGULPInfo(game, (KRADDR)key, &info);
    } else {
        const char* name = reinterpret_cast<const char*>(key);
        found = KrFindGULPInfo(game, name, &info);
        if (found == 0 && ZeroIp(info)) {
            KrWarn("KrOpenGULP::tl_addr returned from KrFindGULPInfo is null");
            krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &info);
            found = KrFindGULPInfo(game, name, &info);
        }
    }
    if (found != 0) return OpenFailed(g, -81);
    KrLockEnter(&g->lock);
    g->info = info;
    g->state = KRGULP_OPENING;
    KrLockLeave(&g->lock);
    KRSESS_HNDL* session = KrGameSessOpen(slot->ownAddr, info.tlAddress, info.address, MultiCastReqHndlrCBF,
                                          reinterpret_cast<void*>((intptr_t)h));
    if (!session) return OpenFailed(g, -82);
    KrLockEnter(&g->lock);
    g->session = session;
    g->state = KRGULP_OPEN_SENT;
    KrLockLeave(&g->lock);
    const uint32_t status = KrCReqSync(session, kCodeOpen, nullptr, 0, nullptr, 0);
    KrLockEnter(&g->lock);
    const bool ours = g->session == session; // a remote close may have taken it meanwhile
    if (ours && status == 0) g->state = KRGULP_CONNECTED;
    KrLockLeave(&g->lock);
    if (!ours) return (HGULP)KrLogReturnVal("KrOpenGULP", -83);
    if (status != 0) {
        KrError("OpenGULP:: KrCReqSync error = %d", (int)status);
        return OpenFailed(g, -83);
    }
    if (openCallback) openCallback(h, context, 0);
    return (HGULP)KrLogReturnVal("KrOpenGULP", h);
}

KRSESS_HNDL* KrGULPSessionRef(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return nullptr;
    MakeLocks();
    KrLockEnter(&g->lock);
    KRSESS_HNDL* session = g->state == KRGULP_CONNECTED ? g->session : nullptr;
    if (session && KrSessRefInc(session, KRSESS_DESTROYED) != 0) session = nullptr;
    KrLockLeave(&g->lock);
    return session;
}

void KrCloseGULPSlot(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return;
    MakeLocks();
    KrMonitorNotify(7, 0, 0, (uintptr_t)gulp, 0, 0, 0, 0);
    FreeSlot(g);
}

LOBBEX_API int KrWriteGULP(HGULP gulp, const void* data, uint32_t length, const uint32_t* list) {
    KrLogAPICall("KrWriteGULP");
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) {
        KrError("WriteGULP::Bad Handle %d", gulp);
        return (int)KrLogReturnVal("KrWriteGULP", -91);
    }
    KrLockEnter(&g->lock);
    const uint16_t state = g->state;
    KRSESS_HNDL* session = state == KRGULP_CONNECTED ? g->session : nullptr;
    if (session && KrSessRefInc(session, KRSESS_DESTROYED) != 0) session = nullptr;
    if (session) CountNL(g, false, length);
    KrLockLeave(&g->lock);
    if (!session) {
        KrError("WriteGULP::Not Connected, Gulp %d is in state %d", gulp, state);
        return (int)KrLogReturnVal("KrWriteGULP", -92);
    }
    KrMonitorNotify(8, 0, 0, (uintptr_t)gulp, 0, (uintptr_t)list, length, (uintptr_t)data);
    int result = 0;
    const uint32_t count = list ? list[0] : 0;
    if (list && count == 0) {
        result = 0; // nobody to send to
    } else if (length > kWriteRoom || count > KRMC_TX_MAX || (length && !data)) {
        KrError(length > kWriteRoom ? "WriteGULP::malloc() failed, Gulp %d" : "KrWriteGULP::Couldn't compress mc-tx header.",
                gulp);
        result = -93;
    } else {
        // One working buffer: the plain header, then the packed header and the payload.
        KRMC_TXHDR plain;
        plain.length = length;
        plain.count = count;
        if (count) std::memcpy(plain.dest, list + 1, count * sizeof(KRADDR));
        uint8_t message[KRMC_PACK_ROOM + kWriteRoom];
        const uint32_t packed = KrMCTxHdrPack(&plain, message);
        if (!packed) {
            KrError("KrWriteGULP::Couldn't compress mc-tx header.");
            result = -93;
        } else {
            if (length) std::memcpy(message + packed, data, length);
            if (KrCReqNoResp(session, kCodeDataOut, message, packed + length) != 0) {
                KrError("WriteGULP::KrReqNoResp failed (err:0x%08x), Gulp %d", (unsigned)KrErrorGet(), gulp);
                result = -94;
            }
        }
    }
    KrSessRefDec(session);
    return (int)KrLogReturnVal("KrWriteGULP", result);
}

void MultiCastReqHndlrCBF(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                          KRREQ_HNDL* request) {
    const HGULP h = (HGULP)(intptr_t)context;
    KRGULP_CB* g = GetGULPPtr(h);
    if (!g) {
        KrError("MultiCastReqHndlr::Invalid GulpHandle: %d", h);
    } else if (code == KRSESS_CODE_CLOSED) {
        const uint32_t error = length >= 4 && data ? ntohl(*reinterpret_cast<const uint32_t*>(data)) : 0;
        KrLockEnter(&g->lock);
        const bool ours = g->session == session;
        Detached d;
        const bool speech = ours && g->messageCallback == KrSpeechRelay;
        const uintptr_t dispatcher = g->context;
        if (ours) d = DetachNL(g);
        KrLockLeave(&g->lock);
        if (speech) KrSpeechGULPDetached(dispatcher); // its dispatcher thread stops
        if (ours) {
            KrMonitorNotify(11, error, 0, (uintptr_t)h, (uintptr_t)session, 0, length, (uintptr_t)data);
            KrMonitorNotify(7, 0, 0, (uintptr_t)h, 0, 0, 0, 0);
        }
        KrSReqNoRespComplete(session, request);
        if (ours) {
            Release(d);
            KrError("MultiCastReqHndlrCBF:: Saw Remote Close (err=%d) on gulp:%d", (int)error, h);
        } else {
            KrSessClose(session); // an earlier GULP's session: ours to close all the same
        }
        return;
    } else if (code == kCodeDataIn) {
        DataIn(h, g, session, data, length);
    } else if (code != KRSESS_CODE_OPENED) {
        KrError("MultiCastReqHndlr:: Invalid code(%d): gulp=%d", (int)code, h);
    }
    KrSReqNoRespComplete(session, request);
}

LOBBEX_API int KrMessageHandler(HGULP gulp, KRADDR sender, const void* data, uint32_t length) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) {
        KrError("KrMessageHandler::Invalid Gulp: %d", gulp);
        return 0;
    }
    auto* e = static_cast<KRGULP_QENTRY*>(std::malloc(sizeof(KRGULP_QENTRY) + length));
    if (!e) {
        KrError("KrMessageHandler::AllocGULPQEntry failed: %d", gulp);
        return 0;
    }
    e->next = nullptr;
    e->sender = sender;
    e->length = length;
    if (length) std::memcpy(e->data, data, length);
    uint32_t dropped = 0;
    KrLockEnter(&g->lock);
    while (g->head && (g->queued >= KRGULP_QUEUE_MAX_MESSAGES || g->queuedBytes + length > KRGULP_QUEUE_MAX_BYTES)) {
        DropFirstNL(g);
        ++dropped;
    }
    if (g->tail)
        g->tail->next = e;
    else
        g->head = e;
    g->tail = e;
    ++g->queued;
    g->queuedBytes += length;
    g->firstLength.store(g->head->length);
    KrLockLeave(&g->lock);
    if (dropped) KrWarn("KrMessageHandler:: queue of gulp %d full; %u oldest message(s) dropped.", gulp, (unsigned)dropped);
    return 1;
}

LOBBEX_API int KrReadGULP(HGULP gulp, KRADDR* sender, void* buffer, uint32_t* length) {
    KrLogAPICall("KrReadGULP");
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g || !length) {
        KrError("ReadGULP::Invalid GULP# %d", gulp);
        return (int)KrLogReturnVal("KrReadGULP", -100);
    }
    KrLockEnter(&g->lock);
    KRGULP_QENTRY* e = g->head;
    if (!e) {
        KrLockLeave(&g->lock);
        return (int)KrLogReturnVal("KrReadGULP", KR_ERR_NOTHING_QUEUED);
    }
    if (e->length > *length || (e->length && !buffer)) {
        const uint32_t need = e->length;
        KrLockLeave(&g->lock);
        KrError("ReadGULP(%d)::Buffer too small for message len=%d", gulp, (int)need);
        return (int)KrLogReturnVal("KrReadGULP", -102);
    }
    g->head = e->next;
    if (!g->head) g->tail = nullptr;
    --g->queued;
    g->queuedBytes -= e->length;
    g->firstLength.store(g->head ? g->head->length : 0);
    KrLockLeave(&g->lock);
    if (sender) *sender = e->sender;
    *length = e->length;
    if (e->length) std::memcpy(buffer, e->data, e->length);
    std::free(e);
    KrMonitorNotify(10, 0, 0, (uintptr_t)gulp, sender ? *sender : 0, 0, *length, (uintptr_t)buffer);
    return (int)KrLogReturnVal("KrReadGULP", 0);
}

LOBBEX_API int IsGULPConnected(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return 0;
    KrLockEnter(&g->lock);
    const int connected = g->state == KRGULP_CONNECTED ? 1 : 0;
    KrLockLeave(&g->lock);
    return connected;
}

LOBBEX_API int IsGULPQEmpty(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    return !g || g->queued.load() == 0 ? 1 : 0;
}

LOBBEX_API uint32_t KrIsDataReady(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    return g ? g->firstLength.load() : 0;
}

LOBBEX_API uint32_t GetFirstMessageLength(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return 0;
    KrLockEnter(&g->lock);
    const uint32_t n = g->head ? g->head->length : 0;
    KrLockLeave(&g->lock);
    return n;
}

LOBBEX_API uint32_t CountGULPQ(HGULP gulp) {
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return 0;
    KrLockEnter(&g->lock);
    const uint32_t n = g->queued.load();
    KrLockLeave(&g->lock);
    return n;
}

LOBBEX_API KRGULP_METER* KrGetGULPMeter(HGULP gulp) {
    KrLogAPICall("KrGetGULPMeter");
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return nullptr;
    KrLockEnter(&g->lock);
    g->snapshot = g->meter;
    KrLockLeave(&g->lock);
    return &g->snapshot;
}

LOBBEX_API int KrResetGULPMeter(HGULP gulp) {
    KrLogAPICall("KrResetGULPMeter");
    KRGULP_CB* g = GetGULPPtr(gulp);
    if (!g) return (int)KrLogReturnVal("KrResetGULPMeter", -120);
    KrLockEnter(&g->lock);
    ResetMeterNL(g);
    KrLockLeave(&g->lock);
    return 0;
}
