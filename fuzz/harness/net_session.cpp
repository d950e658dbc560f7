// Control and request messages as a session receives them: the input is one datagram. It goes
// through the multiplexer's receive framing as the UDP channel hands it over, and each whole
// message is dispatched on this thread to an open session as the mux dispatches it: connect and
// connect-ack through their parsers to the session's handlers, other control messages to the
// control handler, requests and responses to the request handler. The session is one end of a
// pair the library opened over loopback (its I/O and timer threads run as in a program); a
// message that closes it is followed by a fresh pair. Requests that reach the user's handler are
// answered at once.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "krcgame_modules.h"
#include "krerrno.h"
#include "krio.h"
#include "krmux_ctl.h"
#include "krmux_rx.h"
#include "krnetdb.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "lobbex_exports.h"
#include "net_stub_resolver.h"

namespace {

void Answer(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED)
        KrSReqNoRespComplete(session, request);
    else
        KrSReqComplete(session, request, code + 1, data, length);
}

KRTLADDR Loopback(uint16_t port) {
    KRTLADDR t{};
    KrTlAddrZero(&t, KRTL_UDP);
    KrSetTlIPAddr(&t, htonl(INADDR_LOOPBACK));
    KrSetTlIPPort(&t, htons(port));
    return t;
}

uint16_t g_port = 0;
KRSESS_HNDL* g_session = nullptr;

bool Start() {
    setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
    fz::Scratch();
    KrErrorInit();
    KrTimeModuleInit();
    KrIOModuleInit();
    if (KrRqModuleInit() != 0) return false;
    KRTLADDR local = Loopback(0);
    KRSESS_HNDL* listener = KrSessOpenInternal(1, &local, nullptr, Answer, nullptr, nullptr, 0);
    if (!listener) return false;
    KRTLADDR bound{};
    if (KrSessGetLocalTlAddr(listener, &bound) != 0) return false;
    uint16_t p = 0;
    KrGetTlIPPort(&bound, &p);
    g_port = ntohs(p);
    return KrMuxRxBufHeapInit() == 0;
}

// The active end of a pair, opened again when a message closed it.
KRSESS_HNDL* Session() {
    if (g_session && KrSessState(g_session) == KRSESS_OPEN) return g_session;
    if (g_session) KrSessClose(g_session);
    KRTLADDR remote = Loopback(g_port);
    g_session = KrSessOpenInternal(0, nullptr, &remote, Answer, nullptr, nullptr, 0);
    return g_session;
}

// The datagram as the UDP channel hands it to the framing.
struct Datagram {
    const uint8_t* data;
    uint32_t size, offset, taken;
};
int Rx(void* context, void* buffer, uint32_t length) {
    auto* d = static_cast<Datagram*>(context);
    if (d->offset == d->size && d->taken) return 0;
    d->taken = 1;
    const uint32_t n = std::min(length, d->size - d->offset);
    if (n) std::memcpy(buffer, d->data + d->offset, n);
    d->offset += n;
    return int(n);
}
int Mark(void* context, KRIO_RXMARK* mark) {
    auto* d = static_cast<Datagram*>(context);
    mark->left = d->size - d->offset;
    mark->length = d->size;
    mark->full = d->size >= 512;
    mark->truncated = 0;
    mark->count = d->taken;
    return 0;
}
uint32_t Discard(void* context) {
    auto* d = static_cast<Datagram*>(context);
    const uint32_t n = d->size - d->offset;
    d->offset = d->size;
    return n;
}

void Deliver(KRSESS_HNDL* s, const KRMUX_RX& rx) {
    KRHDR h{};
    uint32_t offset = 0;
    if (KrMuxRxHeader(&rx, &h, &offset, 0x51) != 0) return;
    const uint8_t* payload = rx.body + offset;
    if (h.kind == KRHDR_KIND_REQUEST) {
        KrSessRequestHndlr(s, &rx);
        return;
    }
    KRMUX_CONNECT c{};
    if (h.sequence == KRSESS_CNTL_CONNECT) {
        if (KrMuxConnectParse(payload, h.length, &c, 0x51) == 0) KrSessConnectHndlr(s, &h, payload, h.length);
    } else if (h.sequence == KRSESS_CNTL_CONNECT_ACK) {
        if (KrMuxConnectAckParse(payload, h.length, &c, 0x51) == 0) KrSessConnectAckHndlr(s, &h, payload, h.length);
    } else {
        KrSessControlHndlr(s, &h, payload, h.length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Start();
    if (!ready) std::abort();
    if (size > 2048) return 0;
    KRSESS_HNDL* s = Session();
    if (!s) return 0;
    Datagram d{data, uint32_t(size), 0, 0};
    KRMUX_RXSRC source{&d, Rx, Mark, Discard};
    KRMUX_RX rx{};
    for (int n = 0; n < 8; ++n) {
        const KRMUX_RXRESULT r = KrMuxRxRun(&rx, &source, 0x51);
        if (r == KRMUX_RX_MESSAGE) {
            Deliver(s, rx);
            KrMuxRxBufFree(rx.body);
            rx.body = nullptr;
        } else if (r != KRMUX_RX_DROPPED) {
            break;
        }
    }
    KrMuxRxReset(&rx);
    return 0;
}
