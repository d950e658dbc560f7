// The request layer's public open calls and its counted start and stop (modules "krrq" and
// "krrq_sess"): KrSessOpen from socket addresses, KrSessOpenEx from transport addresses with
// option pairs, and KrRqModuleInit / KrRqModuleCleanup, which bring up and down the stack below
// the sessions in their fixed order.
#include <netinet/in.h>

#include <cstdarg>
#include <mutex>

#include "krcgame_modules.h"
#include "krerrno.h"
#include "krlog.h"
#include "krnetdb.h"
#include "krrq_opt.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq";

std::mutex g_StartLock;
uint32_t g_StartCount = 0;

}  // namespace

LOBBEX_API KRSESS_HNDL* KrSessOpen(int passive, int unreliable, const struct sockaddr_in* local,
                                   const struct sockaddr_in* remote, KRSREQ_HNDLR handler, void* context) {
    if (passive ? (!handler || !local) : !remote) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessOpen: Invalid parameters.");
        return nullptr;
    }
    const int type = unreliable == 1 ? KR_IO_DGRAM : KR_IO_STREAM;
    KRTLADDR localTl{}, remoteTl{};
    if (local) {
        uint32_t err = KrSockToTlAddr(reinterpret_cast<const sockaddr*>(local), type, &localTl);
        if (err) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "Failed to convert local sockaddr to TLADDR, err=%u", err);
            return nullptr;
        }
    }
    if (remote) {
        uint32_t err = KrSockToTlAddr(reinterpret_cast<const sockaddr*>(remote), type, &remoteTl);
        if (err) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "Failed to convert remote sockaddr to TLADDR, err=%u", err);
            return nullptr;
        }
    }
    return KrSessOpenInternal(passive ? 1 : 0, local ? &localTl : nullptr, remote ? &remoteTl : nullptr, handler,
                              context, nullptr, 0);
}

LOBBEX_API KRSESS_HNDL* KrSessOpenEx(int passive, const KRTLADDR* local, const KRTLADDR* remote, KRSREQ_HNDLR handler,
                                     void* context, ...) {
    KRSESS_OPT pairs[KRSESS_MAX_OPT_PAIRS];
    va_list args;
    va_start(args, context);
    int n = KrSessOptPairsRead(args, pairs);
    va_end(args);
    if (n < 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessOpenEx: Called specified an absurd number of optional parameters.Possibly missing terminator.");
        return nullptr;
    }
    if (passive ? (!handler || !local) : !remote) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessOpen: Invalid parameters.");
        return nullptr;
    }
    return KrSessOpenInternal(passive ? 1 : 0, local, remote, handler, context, pairs, (uint32_t)n);
}

int KrRqModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_StartLock);
    if (g_StartCount++ > 0) return 0;
    KR_TRACE_EVENT("rq__mini", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    KrErrorInit();
    KrTimeModuleInit();
    KrSessModuleInit();
    int failed = KrReqModuleInit();
    if (!failed) {
        failed = KrReqCryptModuleInit();
        if (!failed) {
            failed = KrMuxModuleInit();
            if (failed) KrReqCryptModuleCleanup();
        }
        if (failed) KrReqModuleCleanup();
    }
    if (failed) {
        KrSessModuleCleanup();
        KrTimeModuleCleanup();
        g_StartCount = 0;
        return 1;
    }
    KrErrorSet(KRERR_NONE);
    return 0;
}

void KrRqModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_StartLock);
    if (g_StartCount == 0 || --g_StartCount > 0) return;
    KR_TRACE_EVENT("rq__mcle", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    KrMuxModuleCleanup();
    KrReqCryptModuleCleanup();
    KrReqModuleCleanup();
    KrSessModuleCleanup();
    KrTimeModuleCleanup();
}

uint32_t KrRqModuleCount(void) {
    std::lock_guard<std::mutex> hold(g_StartLock);
    return g_StartCount;
}
