// The heartbeat change (module "krrq_opt"): a local change of this session's heartbeat pair sent
// to the peer as an option-set (code 5) and waited for until its option-ack (code 6), the peer's
// side that applies the pair as the peer's values and answers, and the session's list of pending
// option-set exchanges. Every length a received payload declares is checked against the bytes
// that are really there before anything is read.
#include <cstring>

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"
#include "krrq_opt.h"
#include "krrq_sess.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq_opt";
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

constexpr uint32_t kChangeMarks = KRSESS_F_LOCAL_HB | KRSESS_F_PEER_HB;

}  // namespace

// ---- the pending list ----

void KrOptListAppendNL(KRSESS_HNDL* s, KROPT_HNDL* node) {
    if (!s->optHead) {
        node->next = node->prev = node;
        s->optHead = node;
    } else {
        node->next = s->optHead;
        node->prev = s->optHead->prev;
        s->optHead->prev->next = node;
        s->optHead->prev = node;
    }
    ++s->optCount;
}

void KrOptListRemoveNL(KRSESS_HNDL* s, KROPT_HNDL* node) {
    if (!node->next) return;
    if (node->next == node) {
        s->optHead = nullptr;
    } else {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        if (s->optHead == node) s->optHead = node->next;
    }
    node->next = node->prev = nullptr;
    --s->optCount;
}

KROPT_HNDL* KrOptListFindNL(KRSESS_HNDL* s, uint32_t sequence) {
    KROPT_HNDL* node = s->optHead;
    for (uint32_t i = 0; node && i < s->optCount; ++i, node = node->next)
        if (node->sequence == sequence) return node;
    return nullptr;
}

void KrSessOptCleanup(KRSESS_HNDL* s) {
    // The waiters own their nodes: they are only woken, and see the session closed.
    KrLockEnter(&s->lock);
    KROPT_HNDL* node = s->optHead;
    for (uint32_t i = 0; node && i < s->optCount; ++i, node = node->next) KrEventSignal(&node->event);
    KrLockLeave(&s->lock);
}

// ---- the local change ----

int KrSessOptSetReq(KRSESS_HNDL* s, uint32_t type, uint8_t* data, uint32_t length) {
    auto* node = new (std::nothrow) KROPT_HNDL{};
    uint8_t* payload = new (std::nothrow) uint8_t[KROPT_HEADER_LEN + length];
    if (!node || !payload) {
        delete node;
        delete[] payload;
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "Unable to allocate KROPT_HNDL node!");
        return 1;
    }
    KrEventCreate(&node->event, nullptr);
    node->sequence = s->optSequence++;
    node->state = KROPT_SENT;
    node->data = data;
    node->length = length;
    KrPutBe32(payload, node->sequence);
    KrPutBe32(payload + 4, type);
    KrPutBe32(payload + 8, KROPT_STATUS_OK);
    KrPutBe32(payload + 12, length);
    if (length) std::memcpy(payload + KROPT_HEADER_LEN, data, length);
    KR_LOG(KrLevelDebug, "KrSessOptSetReq[0x%x]: Sent option_set type %d seq %d", Tag(s), (int)type,
           (int)node->sequence);
    KR_TRACE_EVENT("rq__ostx", s, node->sequence, type, length, 0);
    KrOptListAppendNL(s, node);
    const uint32_t tries = s->options[KRSESS_OPT_OPTSET_TRIES];
    const uint32_t interval = s->options[KRSESS_OPT_OPTSET_INTERVAL];
    for (uint32_t i = 0; i < tries && node->state != KROPT_ACKED && KrSessState(s) == KRSESS_OPEN; ++i) {
        if (KrSessCntlTx(s, KRSESS_CNTL_OPT_SET, payload, KROPT_HEADER_LEN + length) != 0) break;
        KrEventWaitFor(&node->event, &s->lock, interval,
                       [&] { return node->state == KROPT_ACKED || KrSessState(s) != KRSESS_OPEN; });
    }
    KrOptListRemoveNL(s, node);
    int result = 0;
    if (node->state != KROPT_ACKED) {
        KrErrorSet(KRERR_SESSION_STATE);
        KR_LOG(KrErr, "KrSessOptSeqReq[0x%x]: Failed to send option-set message", Tag(s));
        result = 1;
    } else if (node->status != KROPT_STATUS_OK) {
        KrErrorSet(KRERR_CONTROL_SEND);
        result = 1;
    }
    KrEventDestroy(&node->event);
    delete node;
    delete[] payload;
    return result;
}

LOBBEX_API int KrSessHBOptSet(KRSESS_HNDL* session, uint32_t txInterval, uint32_t rxCount) {
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) return 1;
    KrLockEnter(&session->lock);
    if (session->flags & kChangeMarks) {
        KrLockLeave(&session->lock);
        KrErrorSet(KRERR_BUSY);
        KR_LOG(KrErr, "KrSessHBOptSet[0x%x]: Cannot update heartbeat, another option-set in progress.", Tag(session));
        KrSessRefDec(session);
        return 1;
    }
    session->flags |= KRSESS_F_LOCAL_HB;
    const uint32_t oldTx = session->options[KRSESS_OPT_TXHB];
    const uint32_t oldRx = session->options[KRSESS_OPT_RXHB_CNT];
    session->options[KRSESS_OPT_TXHB] = txInterval;
    session->options[KRSESS_OPT_RXHB_CNT] = rxCount;
    int result = 0;
    if (KrSessState(session) == KRSESS_OPEN) {
        uint8_t data[KROPT_HB_DATA_LEN];
        KrPutBe32(data, txInterval);
        KrPutBe32(data + 4, rxCount);
        result = KrSessOptSetReq(session, KROPT_TYPE_HEARTBEAT, data, sizeof data);
        if (result != 0) {
            session->options[KRSESS_OPT_TXHB] = oldTx;
            session->options[KRSESS_OPT_RXHB_CNT] = oldRx;
        } else {
            KrSessTimersStop(session);
            KrSessTimersStart(session);
            KR_LOG(KrLevelDebug, "KrSessHBOptSet[0x%x]: Changed local heartbeat txhb_tmo from %d to %d", Tag(session),
                   (int)oldTx, (int)txInterval);
        }
    }
    session->flags &= ~KRSESS_F_LOCAL_HB;
    const uint32_t err = KrErrorGet();
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
    KrErrorSet(err);
    return result;
}

// ---- the peer's side ----

void KrSessOptSetHndlr(KRSESS_HNDL* s, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    (void)header;
    KR_TRACE_EVENT("rq__osrx", s, length, 0, 0, 0);
    if (length < KROPT_HEADER_LEN) {
        KR_LOG(KrWarning, "KrSessOptSetHndlr[0x%x]: Got %d data bytes in option-set message, expected %d.", Tag(s),
               (int)length, (int)KROPT_HEADER_LEN);
        return;
    }
    const uint32_t type = KrGetBe32(payload + 4);
    const uint32_t declared = KrGetBe32(payload + 12);
    const uint32_t present = length - KROPT_HEADER_LEN;
    uint32_t status = KROPT_STATUS_OK;
    if (declared > present) {
        KR_LOG(KrWarning, "KrSessOptSetHndlr[0x%x]: Got %d data bytes in option-set message, expected %d.", Tag(s),
               (int)length, (int)(KROPT_HEADER_LEN + (uint64_t)declared));
        status = KROPT_STATUS_FAILED;
    } else if (type != KROPT_TYPE_HEARTBEAT) {
        KR_LOG(KrWarning, "KrSessOptSetHndlr[0x%x]: Don't know how to handle option code %d", Tag(s), (int)type);
        status = KROPT_STATUS_FAILED;
    } else if (declared < KROPT_HB_DATA_LEN) {
        KR_LOG(KrWarning, "KrSessOptSetHndlr[0x%x]: Got %d data bytes in option-set message, expected %d.", Tag(s),
               (int)length, (int)(KROPT_HEADER_LEN + KROPT_HB_DATA_LEN));
        status = KROPT_STATUS_FAILED;
    }
    KrLockEnter(&s->lock);
    if (status == KROPT_STATUS_OK) {
        if (s->flags & kChangeMarks) {
            KR_LOG(KrErr, "KrSessHBOptSetHndlr[0x%x]: Cannot update heartbeat, another option-set in progress.", Tag(s));
            status = KROPT_STATUS_BUSY;
        } else {
            s->flags |= KRSESS_F_PEER_HB;
            const uint32_t oldTx = s->options[KRSESS_OPT_PEER_TXHB], oldRx = s->options[KRSESS_OPT_PEER_RXHB_CNT];
            const uint32_t tx = KrGetBe32(payload + KROPT_HEADER_LEN), rx = KrGetBe32(payload + KROPT_HEADER_LEN + 4);
            s->options[KRSESS_OPT_PEER_TXHB] = tx;
            s->options[KRSESS_OPT_PEER_RXHB_CNT] = rx;
            KrSessTimersStop(s);
            if (KrSessTimersStart(s) != 0) {
                s->options[KRSESS_OPT_PEER_TXHB] = oldTx;
                s->options[KRSESS_OPT_PEER_RXHB_CNT] = oldRx;
                status = KROPT_STATUS_FAILED;
                KR_LOG(KrErr, "KrSessHBOptSetHndlr[0x%x]: Heartbeat update failed. error %d", Tag(s), (int)KrErrorGet());
                KrSessTimersStart(s);
            } else {
                KR_LOG(KrLevelDebug, "KrSessHBOptSetHndlr[0x%x]: Heartbeat update tx-tmo %u %u rx-cnt %u %u", Tag(s),
                       oldTx, tx, oldRx, rx);
            }
            s->flags &= ~KRSESS_F_PEER_HB;
        }
    }
    // The answer echoes what was received, as far as it is really there, with the status.
    const uint32_t echoed = declared > present ? present : declared;
    uint8_t answer[KROPT_HEADER_LEN + 64];
    uint8_t* ack = KROPT_HEADER_LEN + echoed <= sizeof answer ? answer : new (std::nothrow) uint8_t[KROPT_HEADER_LEN + echoed];
    if (!ack) {
        KrLockLeave(&s->lock);
        KR_LOG(KrErr, "KrSessOptAckReq[0x%x]: Unable to allocate memory for option-set message.", Tag(s));
        return;
    }
    std::memcpy(ack, payload, KROPT_HEADER_LEN + echoed);
    KrPutBe32(ack + 8, status);
    KrPutBe32(ack + 12, echoed);
    KR_TRACE_EVENT("rq__oatx", s, KrGetBe32(payload), status, echoed, 0);
    KrSessCntlTx(s, KRSESS_CNTL_OPT_ACK, ack, KROPT_HEADER_LEN + echoed);
    KrLockLeave(&s->lock);
    if (ack != answer) delete[] ack;
}

void KrSessOptAckHndlr(KRSESS_HNDL* s, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    (void)header;
    KR_TRACE_EVENT("rq__oarx", s, length, 0, 0, 0);
    if (length < KROPT_HEADER_LEN || length - KROPT_HEADER_LEN < KrGetBe32(payload + 12)) {
        KR_LOG(KrWarning, "KrSessOptAckHndlr[0x%x]: Got %d data bytes in option-ack message, expected at least %d.",
               Tag(s), (int)length,
               (int)(length < KROPT_HEADER_LEN ? KROPT_HEADER_LEN : KROPT_HEADER_LEN + KrGetBe32(payload + 12)));
        return;
    }
    const uint32_t declared = KrGetBe32(payload + 12);
    KrLockEnter(&s->lock);
    KROPT_HNDL* node = KrOptListFindNL(s, KrGetBe32(payload));
    if (!node) {
        KrLockLeave(&s->lock);
        KR_LOG(KrWarning, "KrSessOptAckHndlr[0x%x]: Received acknowledge for unknown option-set message.", Tag(s));
        return;
    }
    node->status = KrGetBe32(payload + 8);
    if (declared == node->length) {
        if (declared) std::memcpy(node->data, payload + KROPT_HEADER_LEN, declared);
        node->state = KROPT_ACKED;
        KrEventSignal(&node->event);
    } else {
        KR_LOG(KrWarning, "KrSessOptAckHndlr[0x%x]: Received acknowledge with different length of option specific data. %d %d",
               Tag(s), (int)declared, (int)node->length);
    }
    KrLockLeave(&s->lock);
}
