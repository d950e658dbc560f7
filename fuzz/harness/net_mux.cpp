// The multiplexer's receive framing: the input's first byte says whether the bytes come over a
// stream (TCP: read in pieces of the second byte's size) or as datagrams (UDP: each one a 16-bit
// length and its bytes, marked full at 512 bytes as the channel does), and the rest is what
// arrives. Every message the framing delivers is read as the mux reads it: its whole header, and
// the connect or connect-ack payload of a control message; every body is freed, and none may be
// left over at the end.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "fuzz_support.h"
#include "krerrno.h"
#include "krmux_ctl.h"
#include "krmux_rx.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Feed {
    bool datagram = false;
    Bytes stream;
    size_t streamAt = 0;
    size_t streamEnd = 0;  // what has arrived so far
    std::deque<Bytes> waiting;
    Bytes current;
    uint32_t offset = 0;
    uint32_t count = 0;
};

int FeedRx(void* context, void* buffer, uint32_t length) {
    auto* f = static_cast<Feed*>(context);
    if (!f->datagram) {
        const uint32_t n = uint32_t(std::min<size_t>(length, f->streamEnd - f->streamAt));
        if (n == 0) return 0;
        std::memcpy(buffer, f->stream.data() + f->streamAt, n);
        f->streamAt += n;
        return int(n);
    }
    if (f->offset == f->current.size()) {
        if (f->waiting.empty()) return 0;
        f->current = f->waiting.front();
        f->waiting.pop_front();
        f->offset = 0;
        ++f->count;
    }
    const uint32_t n = std::min(length, uint32_t(f->current.size()) - f->offset);
    if (n == 0) return 0;
    std::memcpy(buffer, f->current.data() + f->offset, n);
    f->offset += n;
    return int(n);
}

int FeedMark(void* context, KRIO_RXMARK* mark) {
    auto* f = static_cast<Feed*>(context);
    if (!f->datagram) return 1;
    mark->left = uint32_t(f->current.size()) - f->offset;
    mark->length = uint32_t(f->current.size());
    mark->full = f->current.size() >= 512 ? 1 : 0;
    mark->truncated = 0;
    mark->count = f->count;
    return 0;
}

uint32_t FeedDiscard(void* context) {
    auto* f = static_cast<Feed*>(context);
    const uint32_t n = uint32_t(f->current.size()) - f->offset;
    f->offset = uint32_t(f->current.size());
    return n;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

// One delivered message, read as the mux's dispatch reads it.
void Take(KRMUX_RX& rx) {
    Check(rx.body != nullptr);
    const int ct = KrCTHdrPackedLen(rx.header[0]);
    Check(ct >= 0 && rx.bodyLen >= rx.hdr.length + uint32_t(ct) + rx.hdr.pad + 2);
    KRHDR header{};
    uint32_t payloadAt = 0;
    if (KrMuxRxHeader(&rx, &header, &payloadAt, 0x51) == 0) {
        Check(payloadAt + header.length <= rx.bodyLen);
        if (header.kind == KRHDR_KIND_CONTROL) {
            KRMUX_CONNECT connect{};
            KrMuxConnectParse(rx.body + payloadAt, header.length, &connect, 0x51);
            KrMuxConnectAckParse(rx.body + payloadAt, header.length, &connect, 0x51);
        }
    }
    KrMuxRxBufFree(rx.body);
    rx.body = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        KrErrorInit();
        return KrMuxRxBufHeapInit() == 0;
    }();
    if (!ready) std::abort();
    fz::Input in{data, size};
    Feed feed;
    feed.datagram = in.U8() & 1;
    const size_t piece = 1 + in.U8();
    if (feed.datagram) {
        while (in.size > 0) {
            const size_t n = std::min<size_t>(in.U16() % 1024, in.size);
            feed.waiting.emplace_back(in.data, in.data + n);
            in.data += n;
            in.size -= n;
        }
    } else {
        feed.stream.assign(in.data, in.data + in.size);
    }
    KRMUX_RXSRC source{&feed, FeedRx, FeedMark, FeedDiscard};
    KRMUX_RX rx{};
    for (int runs = 0; runs < 4096; ++runs) {
        if (!feed.datagram) feed.streamEnd = std::min(feed.stream.size(), feed.streamEnd + piece);
        const KRMUX_RXRESULT r = KrMuxRxRun(&rx, &source, 0x51);
        if (r == KRMUX_RX_CLOSE) break;
        if (r == KRMUX_RX_MESSAGE) Take(rx);
        if (r == KRMUX_RX_WAIT && (feed.datagram ? feed.waiting.empty() && feed.offset == feed.current.size()
                                                 : feed.streamEnd == feed.stream.size()))
            break;
    }
    KrMuxRxReset(&rx);
    Check(KrMuxRxBufCount() == 0);
    return 0;
}
