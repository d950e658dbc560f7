// Session options (module "krrq_opt"): the default option words of TCP and UDP sessions, the
// option ids mapped to their words with the intervals recomputed from timeout and tries, the
// key options handed to the key module, the heartbeat pair negotiated on an open session, every
// other id passed to the session's mux channel, and reading options back.
#include <cstdarg>
#include <cstring>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_opt.h"
#include "krrq_sess.h"

namespace {

constexpr char kKrModule[] = "krrq_opt";
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

constexpr uint32_t kTcpDefaults[KRSESS_OPT_COUNT] = {10000, 3,     10000, 3,     15000, 1,     15000, 16,    16,
                                                     20000, 1,     20000, 15000, 1,     15000, 15000, 1,     15000};
constexpr uint32_t kUdpDefaults[KRSESS_OPT_COUNT] = {10000, 3,     10000, 3,    15000, 5,     3000, 16,    16,
                                                     20000, 5,     4000,  15000, 5,    3000,  15000, 5,    3000};

// The word of each id from 0x10000 to 0x10007.
constexpr uint32_t kWordOf[8] = {KRSESS_OPT_TXHB,     KRSESS_OPT_RXHB_CNT,   KRSESS_OPT_WINDOW,
                                 KRSESS_OPT_ZOMBIE_LIMIT, KRSESS_OPT_CONN_TMO, KRSESS_OPT_CONN_TRIES,
                                 KRSESS_OPT_REQ_TMO,  KRSESS_OPT_REQ_TRIES};

void Recompute(uint32_t* w, uint32_t timeoutWord, uint32_t triesWord, uint32_t intervalWord) {
    const uint32_t tries = w[triesWord] ? w[triesWord] : 1;
    w[intervalWord] = w[timeoutWord] / tries;
}

bool SessionId(uint32_t id) { return id >= KRSESS_OPTID_TXHB && id <= KRSESS_OPTID_DATA_KEY; }

}  // namespace

void KrSessOptionsDefault(uint32_t* words, int reliable) {
    std::memcpy(words, reliable ? kTcpDefaults : kUdpDefaults, sizeof kTcpDefaults);
}

int KrSessOptionsSetInternal(KRSESS_HNDL* s, const KRSESS_OPT* options, uint32_t count, int negotiate) {
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = options[i].id;
        const uint32_t value = (uint32_t)options[i].value;
        if (id == KRSESS_OPTID_CNTL_KEY) {
            if (KrSessCntlKeySetInternal(s, reinterpret_cast<const KRCRYPT_KEY*>(options[i].value)) != 0) result = 1;
            continue;
        }
        if (id == KRSESS_OPTID_DATA_KEY) {
            if (KrSessDataKeySetInternal(s, reinterpret_cast<const KRCRYPT_KEY*>(options[i].value), negotiate) != 0)
                result = 1;
            continue;
        }
        if (!SessionId(id)) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "KrSessOptionsSetInternal[0x%x]: Unknown session option 0x%x.", Tag(s), id);
            result = 1;
            continue;
        }
        if (negotiate && (id == KRSESS_OPTID_TXHB || id == KRSESS_OPTID_RXHB_CNT) &&
            KrSessState(s) == KRSESS_OPEN) {
            KrLockEnter(&s->lock);
            uint32_t tx = s->options[KRSESS_OPT_TXHB], rx = s->options[KRSESS_OPT_RXHB_CNT];
            KrLockLeave(&s->lock);
            (id == KRSESS_OPTID_TXHB ? tx : rx) = value;
            if (KrSessHBOptSet(s, tx, rx) != 0) result = 1;
            continue;
        }
        const bool tries = id == KRSESS_OPTID_CONN_TRIES || id == KRSESS_OPTID_REQ_TRIES;
        if (tries && value == 0) {
            // No try at all would make the interval a division by zero.
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "KrSessOptionsSetInternal[0x%x]: a retry count of 0 is refused.", Tag(s));
            result = 1;
            continue;
        }
        if (id == KRSESS_OPTID_WINDOW && value == 0) {
            // An empty window would let the zombie list grow without end.
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "KrSessOptionsSetInternal[0x%x]: a window size of 0 is refused.", Tag(s));
            result = 1;
            continue;
        }
        KrLockEnter(&s->lock);
        uint32_t* w = s->options;
        if (tries && s->reliable && value != 1) {
            if (id == KRSESS_OPTID_CONN_TRIES)
                KR_LOG(KrLevelInfo, "KrSessOptionsSetInternal[0x%x]: connection retry count cannot be specified for reliable sessions.",
                       Tag(s));
            else
                KR_LOG(KrWarning, "KrSessOptionsSetInternal[0x%x]: request retry count cannot be specified for reliable sessions.",
                       Tag(s));
        } else {
            w[kWordOf[id - KRSESS_OPTID_TXHB]] = value;
        }
        if (id == KRSESS_OPTID_CONN_TMO || id == KRSESS_OPTID_CONN_TRIES)
            Recompute(w, KRSESS_OPT_CONN_TMO, KRSESS_OPT_CONN_TRIES, KRSESS_OPT_CONN_INTERVAL);
        if (id == KRSESS_OPTID_REQ_TMO || id == KRSESS_OPTID_REQ_TRIES)
            Recompute(w, KRSESS_OPT_REQ_TMO, KRSESS_OPT_REQ_TRIES, KRSESS_OPT_REQ_INTERVAL);
        KrLockLeave(&s->lock);
    }
    return result;
}

int KrSessOptionsSetV(KRSESS_HNDL* s, const KRSESS_OPT* options, uint32_t count) {
    if (!s || !options || count == 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    if (KrSessRefInc(s, KRSESS_CLOSED) != 0) return 1;
    KRSESS_OPT own[KRSESS_MAX_OPT_PAIRS + 1];
    KRIO_OPTION channel[KRSESS_MAX_OPT_PAIRS + 1];
    uint32_t nOwn = 0, nChannel = 0;
    int result = 0;
    for (uint32_t i = 0; i < count && result == 0; ++i) {
        if (nOwn > KRSESS_MAX_OPT_PAIRS || nChannel > KRSESS_MAX_OPT_PAIRS) {
            KrErrorSet(KRERR_PARAM);
            result = 1;
        } else if (SessionId(options[i].id)) {
            own[nOwn++] = options[i];
        } else {
            channel[nChannel++] = KRIO_OPTION{options[i].id, (uint32_t)options[i].value};
        }
    }
    if (result == 0 && nOwn) result = KrSessOptionsSetInternal(s, own, nOwn, 1);
    if (result == 0 && nChannel && KrSessState(s) == KRSESS_OPEN) {
        // Channel options apply only while the session is open; otherwise they are dropped.
        KrLockEnter(&s->lock);
        KRMUX_HNDL* mux = s->mux;
        KrLockLeave(&s->lock);
        if (mux) result = KrMuxOptionsSet(mux, channel, nChannel);
    }
    KrSessRefDec(s);
    return result;
}

LOBBEX_API int KrSessOptionsSet(KRSESS_HNDL* session, uint32_t id, uintptr_t value) {
    KRSESS_OPT pair{id, value};
    return KrSessOptionsSetV(session, &pair, 1);
}

int KrSessOptPairsRead(va_list args, KRSESS_OPT* pairs) {
    int n = -1;
    for (uint32_t i = 0; i <= KRSESS_MAX_OPT_PAIRS; ++i) {
        uint32_t id = va_arg(args, uint32_t);
        if (id == KRSESS_OPTID_END) {
            n = (int)i;
            break;
        }
        if (i == KRSESS_MAX_OPT_PAIRS) break;
        pairs[i].id = id;
        pairs[i].value = va_arg(args, uintptr_t);
    }
    return n;
}

LOBBEX_API int KrSessOptionsSetEx(KRSESS_HNDL* session, ...) {
    KRSESS_OPT pairs[KRSESS_MAX_OPT_PAIRS];
    va_list args;
    va_start(args, session);
    int n = KrSessOptPairsRead(args, pairs);
    va_end(args);
    if (n < 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessOptionsSetEx[0x%x]: Called specified an absurd number of optional parameters.Possibly missing terminator.",
               Tag(session));
        return 1;
    }
    return KrSessOptionsSetV(session, n ? pairs : nullptr, (uint32_t)n);
}

int KrSessOptionsGetInternal(KRSESS_HNDL* s, uint32_t id, uintptr_t* value) {
    if (id >= KRSESS_OPTID_TXHB && id <= KRSESS_OPTID_REQ_TRIES) {
        KrLockEnter(&s->lock);
        *value = s->options[kWordOf[id - KRSESS_OPTID_TXHB]];
        KrLockLeave(&s->lock);
        return 0;
    }
    KrErrorSet(KRERR_PARAM);
    KR_LOG(KrErr, "KrSessOptionsGet[0x%x]: Unknown option 0x%x.", Tag(s), id);
    return 1;
}

LOBBEX_API int KrSessOptionsGet(KRSESS_HNDL* session, uint32_t id, void* value) {
    if (!value || KrSessRefInc(session, KRSESS_DESTROYED) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = 1;
    if (id == KRSESS_OPTID_CNTL_KEY) {
        result = KrSessCntlKeyGetInternal(session, static_cast<KRCRYPT_KEY*>(value));
    } else if (id == KRSESS_OPTID_DATA_KEY) {
        result = KrSessDataKeyGetInternal(session, static_cast<KRCRYPT_KEY*>(value));
    } else if (SessionId(id)) {
        uintptr_t word = 0;
        result = KrSessOptionsGetInternal(session, id, &word);
        if (result == 0) *static_cast<uint32_t*>(value) = (uint32_t)word;
    } else if (KrSessState(session) == KRSESS_OPEN) {
        KrLockEnter(&session->lock);
        KRMUX_HNDL* mux = session->mux;
        KrLockLeave(&session->lock);
        result = mux ? KrMuxOptionGet(mux, id, static_cast<uint32_t*>(value)) : 1;
    } else {
        KrErrorSet(KRERR_PARAM);
    }
    KrSessRefDec(session);
    return result;
}
