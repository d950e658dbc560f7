// The receive framing of a mux (see krmux_rx.h).
#include "krmux_rx.h"

#include <atomic>
#include <mutex>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"

namespace {

constexpr char kKrModule[] = "krmux";
constexpr uint32_t kSkipPiece = 128;

std::mutex g_HeapLock;
uint32_t g_HeapStarts = 0;
std::atomic<KRHEAP*> g_RxHeap{nullptr};

// What is known of the current datagram; `datagram` false for a stream.
struct Where {
    bool datagram;
    KRIO_RXMARK mark;
};

Where Look(const KRMUX_RXSRC* source) {
    Where w{};
    w.datagram = source->mark && source->mark(source->context, &w.mark) == 0;
    return w;
}

// A message may read on only while bytes of its datagram are left, or into the next datagram
// when the one used up had the full transmit size and was not cut.
bool MayReadOn(const Where& w) {
    if (!w.datagram || w.mark.left > 0) return true;
    return w.mark.full && !w.mark.truncated;
}

void DropDatagram(const KRMUX_RXSRC* source, const Where& w) {
    if (w.datagram && w.mark.left > 0 && source->discard) source->discard(source->context);
}

}  // namespace

int KrMuxRxBufHeapInit(void) {
    std::lock_guard<std::mutex> hold(g_HeapLock);
    if (g_HeapStarts == 0) {
        KRHEAP* heap = KrHeapCreate("Mux Receive Heap");
        if (!heap) {
            KR_LOG(KrAlert, "KrMuxRxBufHeapInit: Couldn't create Parameter List Heap, probably out of memory.");
            return 1;
        }
        g_RxHeap.store(heap);
    }
    ++g_HeapStarts;
    return 0;
}

void KrMuxRxBufHeapDestroy(void) {
    std::lock_guard<std::mutex> hold(g_HeapLock);
    if (g_HeapStarts == 0 || --g_HeapStarts > 0) return;
    KrHeapDestroy(g_RxHeap.exchange(nullptr));
}

void KrMuxRxBufFree(void* buffer) {
    if (!buffer) {
        KR_LOG(KrCrit, "KrMuxRxBufFree: Attempt to free null parameter list buffer.");
        return;
    }
    KrHeapFree(g_RxHeap.load(), buffer);
}

uint32_t KrMuxRxBufCount(void) {
    KRHEAP* heap = g_RxHeap.load();
    return heap ? KrHeapCount(heap) : 0;
}

void KrMuxRxReset(KRMUX_RX* rx) {
    if (rx->body) KrMuxRxBufFree(rx->body);
    rx->body = nullptr;
    rx->bodyLen = 0;
    rx->state = KRMUX_RX_IDLE;
    rx->expected = rx->resid = 0;
}

KRMUX_RXRESULT KrMuxRxRun(KRMUX_RX* rx, const KRMUX_RXSRC* source, uintptr_t tag) {
    const unsigned t = (unsigned)tag;
    for (;;) {
        Where w = Look(source);
        if (rx->state == KRMUX_RX_IDLE) {
            // A message starts a datagram: what is left of one whose message is complete is
            // not the start of another.
            if (w.datagram && w.mark.left > 0 && w.mark.left < w.mark.length) {
                DropDatagram(source, w);
                w = Look(source);
            }
            rx->expected = rx->resid = KRHDR_MIN_PT_LEN;
            rx->firstDatagram = 0;
            rx->state = KRMUX_RX_PREFIX;
        } else if (rx->state == KRMUX_RX_HDRDONE) {
            if (KrHdrUnpackPT(rx->header, &rx->hdr) != 0) {
                KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: Unpack of header failed 0x%x, state 0x%x resid 0x%x...closing mux.",
                       t, KrErrorGet(), rx->state, rx->resid);
                if (!w.datagram) return KRMUX_RX_CLOSE;
                DropDatagram(source, w);
                KrMuxRxReset(rx);
                return KRMUX_RX_DROPPED;
            }
            int ct = KrCTHdrPackedLen(rx->header[0]);
            uint64_t length = (uint64_t)rx->hdr.length + (uint64_t)(ct < 0 ? 0 : ct) + rx->hdr.pad + 2;
            rx->bodyLen = (uint32_t)length;
            rx->expected = rx->resid = (uint32_t)length;
            if (length > KR_MUX_MAX_BODY) {
                // No sender builds such a message: a forged or damaged header.
                KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: Body of 0x%x bytes is over the limit, discarding message",
                       t, (unsigned)length);
                if (w.datagram) {
                    DropDatagram(source, w);
                    KrMuxRxReset(rx);
                    return KRMUX_RX_DROPPED;
                }
                rx->state = KRMUX_RX_SKIP;
                continue;
            }
            KRHEAP* heap = g_RxHeap.load();
            rx->body = heap ? (uint8_t*)KrHeapAlloc(heap, rx->bodyLen) : nullptr;
            if (!rx->body) {
                KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: Unable to allocate 0x%x bytes for rx-buf, discarding message",
                       t, rx->bodyLen);
                rx->state = KRMUX_RX_SKIP;
            } else {
                rx->state = KRMUX_RX_BODY;
            }
            continue;
        } else if (rx->state == KRMUX_RX_COMPLETE) {
            rx->state = KRMUX_RX_IDLE;
            if (w.datagram && w.mark.left > 0 && w.mark.count != rx->firstDatagram) {
                // The last datagram of a message carries only its tail: a message that went on
                // into another datagram and ends inside it was framed across a lost or repeated
                // datagram.
                KR_LOG(KrWarning, "KrMuxRxEventHndlr[0x%x]: Message ends inside a continued datagram, discarding.", t);
                DropDatagram(source, w);
                KrMuxRxReset(rx);
                return KRMUX_RX_DROPPED;
            }
            return KRMUX_RX_MESSAGE;
        } else if (rx->state > KRMUX_RX_COMPLETE) {
            KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: Illegal state.", t);
            KrMuxRxReset(rx);
            return KRMUX_RX_CLOSE;
        }

        // A reading state: the bytes still missing of the current part.
        if (rx->resid == 0) {
            // Nothing left to read of a part (a header whose plain text is only its first 3
            // bytes, or an empty body): fall through to what follows it.
        } else {
            bool partial = rx->resid < rx->expected || rx->state != KRMUX_RX_PREFIX;
            if (partial && !MayReadOn(w)) {
                // The datagram ended before the message: the message is lost, the next
                // datagram starts afresh.
                KR_LOG(KrWarning, "KrMuxRxEventHndlr[0x%x]: Message cut at a datagram end, state 0x%x resid 0x%x, discarding.",
                       t, rx->state, rx->resid);
                KrMuxRxReset(rx);
                return KRMUX_RX_DROPPED;
            }
            uint8_t scratch[kSkipPiece];
            uint8_t* into = nullptr;
            uint32_t want = rx->resid;
            switch (rx->state) {
            case KRMUX_RX_PREFIX: into = rx->header + (rx->expected - rx->resid); break;
            case KRMUX_RX_HEADER: into = rx->header + KRHDR_MIN_PT_LEN + (rx->expected - rx->resid); break;
            case KRMUX_RX_BODY: into = rx->body + (rx->expected - rx->resid); break;
            default:
                into = scratch;
                if (want > kSkipPiece) want = kSkipPiece;
                break;
            }
            if (w.datagram && w.mark.left > 0 && want > w.mark.left) want = w.mark.left;
            int got = source->rx(source->context, into, want);
            if (got < 0) {
                static constexpr const char* kWhat[] = {"header", "header", "header", "header",
                                                       "cipher data", "truncated data", "data"};
                KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: KrIORx of %s failed 0x%x, state 0x%x resid 0x%x...closing mux.",
                       t, kWhat[rx->state], KrErrorGet(), rx->state, rx->resid);
                KrMuxRxReset(rx);
                return KRMUX_RX_CLOSE;
            }
            if (got == 0) return KRMUX_RX_WAIT;
            if ((uint32_t)got > want) got = (int)want;
            if (w.datagram && rx->state == KRMUX_RX_PREFIX && rx->resid == rx->expected) {
                KRIO_RXMARK now{};
                if (source->mark(source->context, &now) == 0) rx->firstDatagram = now.count;
            }
            rx->resid -= (uint32_t)got;
            if (rx->resid > 0) continue;
        }

        // The current part is complete.
        if (rx->state == KRMUX_RX_PREFIX) {
            int length = KrPTHdrPackedLen(rx->header[0]);
            if (length < (int)KRHDR_MIN_PT_LEN) {
                KR_LOG(KrErr, "KrMuxRxEventHndlr[0x%x]: Incorrect header length 0x%x, state 0x%x resid 0x%x...closing mux.",
                       t, (unsigned)length, rx->state, rx->resid);
                if (!w.datagram) {
                    KrMuxRxReset(rx);
                    return KRMUX_RX_CLOSE;
                }
                DropDatagram(source, Look(source));
                KrMuxRxReset(rx);
                return KRMUX_RX_DROPPED;
            }
            rx->headerLen = (uint32_t)length;
            rx->expected = rx->resid = rx->headerLen - KRHDR_MIN_PT_LEN;
            rx->state = rx->resid ? KRMUX_RX_HEADER : KRMUX_RX_HDRDONE;
        } else if (rx->state == KRMUX_RX_HEADER) {
            rx->state = KRMUX_RX_HDRDONE;
        } else if (rx->state == KRMUX_RX_BODY) {
            rx->state = KRMUX_RX_COMPLETE;
        } else if (rx->state == KRMUX_RX_SKIP) {
            KrMuxRxReset(rx);
            return KRMUX_RX_DROPPED;
        }
    }
}
