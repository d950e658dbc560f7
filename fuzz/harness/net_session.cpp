// Control and request messages as a session receives them: the input is one datagram, handed to a
// session of no transport (KrSessRxDatagram), which frames it with the multiplexer's receive
// framing and dispatches each whole message as the mux does, all on this thread before the call
// returns: no io, timeout or transmit thread is started. Requests that reach the user's handler
// are answered at once (the answer's send fails: the session has no channel). A message that
// closes the session is followed by a fresh one.
#include <cstdlib>

#include "fuzz_support.h"
#include "krerrno.h"
#include "krmux_rx.h"
#include "krrq_req.h"
#include "krrq_sess.h"
#include "lobbex_exports.h"

namespace {

// The session word the seeds' connect-acks and disconnects carry.
constexpr uint32_t kSessionWord = 0x5E550001;

void Answer(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED)
        KrSReqNoRespComplete(session, request);
    else
        KrSReqComplete(session, request, code + 1, data, length);
}

bool Start() {
    fz::Scratch();
    KrErrorInit();
    return KrSessModuleInit() == 0 && KrReqModuleInit() == 0 && KrReqCryptModuleInit() == 0 &&
           KrMuxRxBufHeapInit() == 0;
}

KRSESS_HNDL* g_session = nullptr;

// The session, opened again when a message closed it.
KRSESS_HNDL* Session() {
    if (g_session && KrSessState(g_session) == KRSESS_OPEN) return g_session;
    if (g_session) KrSessClose(g_session);
    g_session = KrSessOpenUnattached(0, kSessionWord, Answer, nullptr);
    return g_session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Start();
    if (!ready) std::abort();
    if (size > 2048) return 0;
    if (KRSESS_HNDL* s = Session()) KrSessRxDatagram(s, data, uint32_t(size));
    return 0;
}
