// Session heartbeats (module "krrq_sess"): the transmit timer, which sends a heartbeat only after
// a whole interval without any transmission, and the receive timer, which closes the session
// (reason 2) when nothing counted as a reception arrived for the peer's interval times this
// session's count. Both timers carry the session handle, which each firing checks in the
// session registry before it touches the session.
#include <cstdint>

#include "krerrno.h"
#include "krlog.h"
#include "krnetdb.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "krtmo.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq_sess";
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }
constexpr uint32_t kTxArmed = 1, kRxArmed = 2;

uint64_t Ms(const KRTIME& t) { return (uint64_t)t.sec * 1000u + t.msec; }

uint64_t NowMs() {
    KRTIME now{};
    KrGetTime(&now);
    return Ms(now);
}

// Arms a one-shot timer; one already armed for the pair is no failure.
int Arm(KRTMO_CBF callback, KRSESS_HNDL* s, uint64_t ms) {
    if (ms == 0) ms = 1;
    if (ms > 0x7FFFFFFF) ms = 0x7FFFFFFF;
    if (KrTimeout(callback, (uintptr_t)s, (uint32_t)ms, 0) == 0) return 0;
    return KrErrorGet() == KRERR_TIMER_EXISTS ? 0 : 1;
}

void TxTimer(uintptr_t argument);
void RxTimer(uintptr_t argument);

// Session lock held. Arms the transmit timer; true when a heartbeat is due now.
bool TxStart(KRSESS_HNDL* s, int* failed) {
    *failed = 0;
    const uint32_t interval = s->options[KRSESS_OPT_TXHB];
    if (interval == 0) return false;
    const uint64_t now = NowMs();
    uint64_t due = Ms(s->lastTx) + interval;
    bool send = false;
    if (now >= due) {
        due = now + interval;
        send = true;
    }
    if (Arm(TxTimer, s, due - now) == 0) {
        s->timers |= kTxArmed;
    } else {
        *failed = 1;
        KR_LOG(KrErr, "KrSessTxTimerStart[0x%x]: Unexpected error staring session tx hb timer. %u", Tag(s),
               KrErrorGet());
    }
    return send;
}

// Session lock held. The receive deadline; 0 when there is none.
uint64_t RxDeadline(const KRSESS_HNDL* s) {
    const uint64_t count = s->options[KRSESS_OPT_RXHB_CNT];
    const uint64_t peer = s->options[KRSESS_OPT_PEER_TXHB];
    if (count == 0 || peer == 0) return 0;
    return Ms(s->lastRx) + peer * count;
}

int RxStart(KRSESS_HNDL* s) {
    const uint64_t deadline = RxDeadline(s);
    if (deadline == 0) return 0;
    const uint64_t now = NowMs();
    if (Arm(RxTimer, s, deadline > now ? deadline - now : 1) == 0) {
        s->timers |= kRxArmed;
    } else {
        KR_LOG(KrErr, "KrSessRxTimerStart[0x%x]: Unexpected error staring session rx hb timer. %u", Tag(s),
               KrErrorGet());
        return 1;
    }
    return 0;
}

void SendHeartbeat(KRSESS_HNDL* s) {
    KR_TRACE_EVENT("rq__hbtx", s, 0, 0, 0, 0);
    KrSessCntlTx(s, KRSESS_CNTL_HEARTBEAT, nullptr, 0);
}

void TxTimer(uintptr_t argument) {
    auto* s = reinterpret_cast<KRSESS_HNDL*>(argument);
    if (KrSessRefInc(s, KRSESS_CLOSED) != 0) {
        KR_LOG(KrLevelDebug, "KrSessTxTimer[0x%x]: Spurious heartbeat.", Tag(s));
        return;
    }
    KrLockEnter(&s->lock);
    bool send = false;
    s->timers &= ~kTxArmed; // this one-shot has fired
    if (KrSessState(s) == KRSESS_OPEN) {
        int failed = 0;
        send = TxStart(s, &failed);
        if (failed) KR_LOG(KrErr, "KrSessTxTimer[0x%x]: Failed to start tx hb timer %u", Tag(s), KrErrorGet());
    }
    KrLockLeave(&s->lock);
    if (send) SendHeartbeat(s);
    KrSessRefDec(s);
}

void RxTimer(uintptr_t argument) {
    auto* s = reinterpret_cast<KRSESS_HNDL*>(argument);
    if (KrSessRefInc(s, KRSESS_CLOSED) != 0) return;
    KrLockEnter(&s->lock);
    bool close = false;
    KRTIME last{};
    s->timers &= ~kRxArmed;
    if (KrSessState(s) == KRSESS_OPEN) {
        const uint64_t deadline = RxDeadline(s);
        const uint64_t now = NowMs();
        if (deadline != 0 && now < deadline) {
            if (Arm(RxTimer, s, deadline - now) == 0) s->timers |= kRxArmed;
        } else if (deadline != 0) {
            close = true;
            last = s->lastRx;
        }
    }
    KrLockLeave(&s->lock);
    if (close) {
        char text[KR_TLADDR_TEXT] = "";
        KRTLADDRtostr(&s->remoteAddr, text);
        KRDATE d{};
        KrTimeToLocalDate(&last, &d);
        KR_LOG(KrWarning, "KrSessHeartbeatTmo[0x%x]: Haven't heard from remote %s/0x%x since %u.%02u.%02u.%03u.; closing session.",
               Tag(s), text, s->link.remoteWord, (unsigned)d.hour, (unsigned)d.minute, (unsigned)d.second,
               (unsigned)d.msec);
        KrSessRemoteClose(s, KRSESS_REASON_HEARTBEAT);
    }
    KrSessRefDec(s);
}

}  // namespace

int KrSessTimersStart(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    int result = 1;
    bool send = false;
    if (KrSessState(session) == KRSESS_OPEN && RxStart(session) == 0) {
        int failed = 0;
        send = TxStart(session, &failed);
        if (failed) {
            if (session->timers & kRxArmed) KrUntimeout(RxTimer, (uintptr_t)session);
            session->timers &= ~kRxArmed;
            send = false;
        }
        result = failed;
    } else if (KrSessState(session) != KRSESS_OPEN) {
        result = 0; // timers run only while the session is open
    }
    KrLockLeave(&session->lock);
    if (send) SendHeartbeat(session);
    return result;
}

void KrSessTimersStop(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    const uint32_t armed = session->timers;
    session->timers = 0;
    // A timer that has just been taken to run is no failure to stop: it finds the session
    // closed or gone.
    if ((armed & kRxArmed) && KrUntimeout(RxTimer, (uintptr_t)session) != 0 && KrErrorGet() != KRERR_NO_ENTRY)
        KR_LOG(KrErr, "KrSessRxTimerStop[0x%x]: Unexpected error staring session rx hb timer. %u", Tag(session),
               KrErrorGet());
    if ((armed & kTxArmed) && KrUntimeout(TxTimer, (uintptr_t)session) != 0 && KrErrorGet() != KRERR_NO_ENTRY)
        KR_LOG(KrErr, "KrSessTimerStop[0x%x]: Unexpected error starting session tx hb timer. %u", Tag(session),
               KrErrorGet());
    KrLockLeave(&session->lock);
}
