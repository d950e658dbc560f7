// The exported key calls of a session: KrSessCntlKeySet/Get and KrSessDataKeySet/Get. Each
// checks its arguments, validates the session through the registry (holding an internal
// reference while it works) and refuses listening sessions, then runs the internal operation
// (krrq_key_change.cpp). 0 on success, 1 on failure.
#include <cinttypes>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_sess.h"

namespace {

constexpr char kKrModule[] = "krrq_crypt";

unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

// The checks every key call makes. 0 with an internal reference held on the session, 1 (logged,
// KrErrno 1) otherwise.
int Enter(const char* name, const char* verb, KRSESS_HNDL* session, const void* key) {
    if (!session || !key) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s(0x%x, 0x%x): Invalid parameters.", name, Tag(session), Tag(key));
        return 1;
    }
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s[0x%x]: Invalid session handle.", name, Tag(session));
        return 1;
    }
    if (!KrSessIsActive(session)) {
        KrSessRefDec(session);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s[0x%x]: Can only %s key on active sessions.", name, Tag(session), verb);
        return 1;
    }
    return 0;
}

// One exported key call: checked entry, the internal call, the reference given back.
template <class Op>
int Run(const char* name, const char* verb, KRSESS_HNDL* session, const void* key, Op op) {
    if (Enter(name, verb, session, key) != 0) return 1;
    const int failed = op();
    KrSessRefDec(session);
    return failed ? 1 : 0;
}

}  // namespace

LOBBEX_API int KrSessCntlKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key) {
    return Run("KrSessCntlKeySet", "set", session, key, [&] { return KrSessCntlKeySetInternal(session, key); });
}

LOBBEX_API int KrSessCntlKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    return Run("KrSessCntlKeyGet", "get", session, key, [&] { return KrSessCntlKeyGetInternal(session, key); });
}

LOBBEX_API int KrSessDataKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int negotiate) {
    if (key && key->type >= 4) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessDataKeySet(0x%x, 0x%x): Invalid parameters.", Tag(session), Tag(key));
        return 1;
    }
    return Run("KrSessDataKeySet", "set", session, key, [&] { return KrSessDataKeySetInternal(session, key, negotiate); });
}

LOBBEX_API int KrSessDataKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    return Run("KrSessDataKeyGet", "get", session, key, [&] { return KrSessDataKeyGetInternal(session, key); });
}
