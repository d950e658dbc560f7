// The UDP back end of the io channels (io type 1). A channel reads the bytes of one datagram at a
// time and fetches the next when the current one is used up; a transmit leaves as datagrams of at
// most 512 bytes, one message starting a fresh datagram. A passive channel owns the socket of a
// listening end and serves its peers through clone channels, one per source address, that have
// no socket of their own and read the passive channel's datagram buffer. The reader is told where
// each datagram begins and ends (KrIORxMark), so that its framing can restart at the next
// datagram when one is lost.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "krerrno.h"
#include "krioinet.h"
#include "krlog.h"
#include "krnetdb.h"

namespace {

constexpr char kKrModule[] = "krioinet";
constexpr uint32_t kCloneChains = 511;
constexpr uint32_t kMaxDatagram = 65536;
enum : uint32_t { kPassive = 0, kActive = 1, kClone = 2 };

struct Datagram {
    uint32_t left;
    uint32_t offset;
    uint32_t size;
    uint32_t length;    // as received (the buffer size when cut)
    uint32_t truncated; // the current datagram was cut
    uint32_t count;     // datagrams received into this buffer
    uint8_t* data;
};

struct UdpHandle {
    uint32_t kind;
    KRIO_HNDL* channel;
    SOCKET socket;    // passive and active: their own; kept until the last user has gone
    Datagram buffer;  // passive and active
    uint32_t statistics[KRUDP_STATISTICS]; // updated atomically
    // Passive: under `lock`.
    KRLOCK lock;
    UdpHandle* clones[kCloneChains];
    UdpHandle* current;
    sockaddr_in source; // of the current datagram
    KRIO_CBF savedCallback;
    void* savedArgument;
    uint32_t users; // the passive channel and its clones
    // Clone: its passive handle and its links in the clone table.
    UdpHandle* passive;
    UdpHandle* chainNext;
    UdpHandle* chainPrev;
    int inTable;
};

void StatAdd(UdpHandle* h, int word, uint32_t amount) {
    __atomic_fetch_add(&h->statistics[word], amount, __ATOMIC_RELAXED);
}

uint32_t CloneChain(const sockaddr_in& a) {
    return ((uint32_t)ntohs(a.sin_port) + ntohl(a.sin_addr.s_addr)) % kCloneChains;
}

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

// ---- the clone table (passive lock held) ----

UdpHandle* CloneFind(UdpHandle* p, const sockaddr_in& source) {
    for (UdpHandle* c = p->clones[CloneChain(source)]; c; c = c->chainNext)
        if (SameAddress(c->channel->remote, source)) return c;
    return nullptr;
}

void CloneInsert(UdpHandle* p, UdpHandle* c) {
    UdpHandle*& head = p->clones[CloneChain(c->channel->remote)];
    c->chainPrev = nullptr;
    c->chainNext = head;
    if (head) head->chainPrev = c;
    head = c;
    c->inTable = 1;
}

void CloneRemove(UdpHandle* p, UdpHandle* c) {
    if (!c->inTable) return;
    if (c->chainPrev)
        c->chainPrev->chainNext = c->chainNext;
    else
        p->clones[CloneChain(c->channel->remote)] = c->chainNext;
    if (c->chainNext) c->chainNext->chainPrev = c->chainPrev;
    c->chainNext = c->chainPrev = nullptr;
    c->inTable = 0;
    if (p->current == c) p->current = nullptr;
}

bool TableEmpty(const UdpHandle* p) {
    for (UdpHandle* head : p->clones)
        if (head) return false;
    return true;
}

UdpHandle* NewHandle(uint32_t kind, uint32_t size) {
    auto* h = static_cast<UdpHandle*>(std::calloc(1, sizeof(UdpHandle)));
    if (!h) return nullptr;
    h->kind = kind;
    h->socket = INVALID_SOCKET;
    if (kind != kClone) {
        h->buffer.size = size;
        h->buffer.data = static_cast<uint8_t*>(std::malloc(size));
        if (!h->buffer.data) {
            std::free(h);
            return nullptr;
        }
    }
    if (kind == kPassive) {
        KrLockInit(&h->lock, 0);
        h->users = 1;
    }
    return h;
}

// The socket and the buffer go with the last user of a handle.
void ReleaseHandle(UdpHandle* h) {
    if (h->socket != INVALID_SOCKET) closesocket(h->socket);
    if (h->kind == kPassive) KrLockDestroy(&h->lock);
    std::free(h->buffer.data);
    std::free(h);
}

void ReleasePassiveUser(UdpHandle* p) {
    KrLockEnter(&p->lock);
    bool last = --p->users == 0;
    KrLockLeave(&p->lock);
    if (last) ReleaseHandle(p);
}

// ---- one datagram ----

// Receives the next datagram into `owner`'s buffer (with its source when `from` is given). 0 on
// success, which includes "nothing": a refused "connection" or no datagram waiting leave the
// buffer empty; 1 on failure, which empties the buffer.
int UDPActiveRx(UdpHandle* owner, KRIO_HNDL* channel, sockaddr_in* from) {
    Datagram& b = owner->buffer;
    b.left = b.offset = 0;
    int got;
    if (from) {
        int fromLength = sizeof *from;
        got = PlatRecvFrom(owner->socket, reinterpret_cast<char*>(b.data), (int)b.size, 0,
                           reinterpret_cast<sockaddr*>(from), &fromLength);
    } else {
        got = PlatRecv(owner->socket, reinterpret_cast<char*>(b.data), (int)b.size, 0);
    }
    if (got > 0) {
        b.left = b.length = (uint32_t)got;
        b.truncated = 0;
        b.count++;
        StatAdd(owner, KRUDP_DGRAMS_RECEIVED, 1);
        return 0;
    }
    if (got == 0) {
        KR_LOG(KrLevelDebug, "UDPActiveRx[0x%x]: 0 byte datagram", (unsigned)(uintptr_t)channel);
        return 1;
    }
    const int error = WSAGetLastError();
    if (error == WSAEMSGSIZE) {
        KR_LOG(KrWarning, "UDPActiveRx: Truncated datagram.");
        b.left = b.length = b.size;
        b.truncated = 1;
        b.count++;
        StatAdd(owner, KRUDP_DGRAMS_RECEIVED, 1);
        StatAdd(owner, KRUDP_TRUNCATED, 1);
        return 0;
    }
    if (error == WSAECONNREFUSED) {
        KrErrorSet(KRERR_IO);
        KR_LOG(KrLevelDebug, "UDPActiveRx[0x%x]: UDP \"connection\" refused.", (unsigned)(uintptr_t)channel);
        return 0;
    }
    // A datagram that has not arrived yet is not an error of the channel: a message continued
    // in the next datagram is read when that one comes.
    if (error == WSAEWOULDBLOCK) return 0;
    KrErrorSet(KRERR_BAD_DATA);
    KR_LOG(KrLevelDebug, "UDPActiveRx[0x%x]: Failed to read datagram %d", (unsigned)(uintptr_t)channel, error);
    return 1;
}

// Calls a channel's callback with a reference held, when its interest has the class.
void CallChannel(KRIO_HNDL* channel, uint32_t eventClass) {
    if (KrIOHndlRef(channel) != 0) return;
    KrIOCallbackCall(channel, eventClass);
    KrIOHndlDeref(channel);
}

void UDPPassiveEventHndlr(void* argument, uint32_t eventClass) {
    auto* channel = static_cast<KRIO_HNDL*>(argument);
    auto* p = static_cast<UdpHandle*>(channel->backEnd);
    if (eventClass != KRIO_READABLE) {
        KrLockEnter(&p->lock);
        KRIO_CBF saved = p->savedCallback;
        void* savedArgument = p->savedArgument;
        KrLockLeave(&p->lock);
        if (saved) saved(savedArgument, eventClass);
        return;
    }
    Datagram& b = p->buffer;
    if (b.left > 0) {
        KR_LOG(KrLevelDebug, "UDPPassiveEventHndlr[0x%x]: %d bytes of %d byte message unread; discarding.",
               (unsigned)(uintptr_t)channel, (int)b.left, (int)b.length);
        b.left = b.offset = 0;
    }
    sockaddr_in from{};
    if (UDPActiveRx(p, channel, &from) != 0) {
        KR_LOG(KrErr, "UDPPassiveEventHndlr[0x%x]: Unable to receive current datagram.", (unsigned)(uintptr_t)channel);
        return;
    }
    if (b.left == 0) return; // nothing came
    KrLockEnter(&p->lock);
    p->source = from;
    UdpHandle* clone = CloneFind(p, from);
    p->current = clone;
    KRIO_HNDL* cloneChannel = clone ? clone->channel : nullptr;
    KRIO_CBF saved = p->savedCallback;
    void* savedArgument = p->savedArgument;
    KrLockLeave(&p->lock);
    if (cloneChannel) {
        CallChannel(cloneChannel, eventClass);
        return;
    }
    // A new peer: the saved callback (the multiplexer's accept) clones the channel, and the new
    // clone, now current, gets this first datagram.
    if (saved) saved(savedArgument, eventClass);
    KrLockEnter(&p->lock);
    cloneChannel = p->current ? p->current->channel : nullptr;
    KrLockLeave(&p->lock);
    if (cloneChannel) CallChannel(cloneChannel, eventClass);
}

// ---- operations ----

int UDPOpen(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    uint32_t size = KRIO_UDP_DATAGRAM;
    for (uint32_t i = 0; i < count; ++i) {
        if (options[i].id != KRIO_UDP_DATAGRAM_SIZE) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "UDPsOptionsSetInternal[]: Unknown session option 0x%x.", options[i].id);
            return 1;
        }
        if (options[i].value == 0 || options[i].value > kMaxDatagram) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "UDPsOptionsSetInternal[]: Illegal datagram size %u.", options[i].value);
            return 1;
        }
        size = options[i].value;
    }
    const bool passive = channel->active == KRIO_PASSIVE;
    UdpHandle* h = NewHandle(passive ? kPassive : kActive, size);
    if (!h) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "UDPOpen: Unable to allocate UDP-specific handle.");
        return 1;
    }
    h->channel = channel;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        KrErrorSet(KRERR_SOCKET);
        KR_LOG(KrErr, "UDPOpen: Couldn't open UDP/IP socket %d", WSAGetLastError());
        ReleaseHandle(h);
        return 1;
    }
    h->socket = s;
    channel->socket = s;
    const unsigned id = (unsigned)(uintptr_t)channel;
    bool ok = false;
    do {
        u_long nonBlocking = 1;
        if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "UDPOpen[0x%x]: Failed to set socket non-blocking %d.", id, WSAGetLastError());
            break;
        }
        const sockaddr_in& remote = channel->remote;
        const bool wildcardRemote = KrInAddrIsAny(remote.sin_addr.s_addr) || KrInPortIsAny(remote.sin_port);
        if (passive) {
            if (!wildcardRemote) {
                KrErrorSet(KRERR_PARAM);
                KR_LOG(KrErr, "UDPPassiveOpen[0x%x]: Passive channel must specify Wildcardremote UDP/IP address.", id);
                break;
            }
            if (KrIOInetBind(channel) != 0) {
                KR_LOG(KrErr, "UDPPassiveOpen[0x%x]: KrIOInetBind failed.", id);
                break;
            }
            uint32_t interest = 0;
            KrIOCallbackGet(channel, &h->savedCallback, &h->savedArgument, &interest);
            KrIOCallbackSet(channel, UDPPassiveEventHndlr, channel, interest);
        } else {
            if (KrInAddrIsAny(remote.sin_addr.s_addr) || KrInPortIsAny(remote.sin_port)) {
                KrErrorSet(KRERR_PARAM);
                KR_LOG(KrErr, "UDPActiveOpen[0x%x]: Active channel cannot specify Wildcard remote UDP/IP address.", id);
                break;
            }
            if (KrIOInetBind(channel) != 0) {
                KR_LOG(KrErr, "UDPActiveOpen[0x%x]: KrIOInetBind failed.", id);
                break;
            }
            if (connect(s, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
                KrErrorSet(KRERR_SOCKET);
                KR_LOG(KrErr, "UDPActiveOpen[0x%x]: connect failed %d.", id, WSAGetLastError());
                break;
            }
            socklen_t length = sizeof channel->local;
            if (getsockname(s, reinterpret_cast<sockaddr*>(&channel->local), &length) != 0) {
                KrErrorSet(KRERR_SOCKET);
                KR_LOG(KrErr, "UDPActiveOpen[0x%x]: getsockname failed %d.", id, WSAGetLastError());
                break;
            }
        }
        ok = true;
    } while (false);
    if (!ok) {
        uint32_t why = KrErrorGet();
        if (passive)
            KR_LOG(KrErr, "UDPOpen[0x%x]: Remote Initiator Handle Open failed.", id);
        else
            KR_LOG(KrErr, "UDPOpen[0x%x]: Local Initiator Handle Open failed.", id);
        ReleaseHandle(h); // closes the socket
        channel->socket = INVALID_SOCKET;
        KrErrorSet(why);
        return 1;
    }
    channel->backEnd = h;
    return 0;
}

void UDPClose(KRIO_HNDL* channel) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    if (!h) return;
    // The sockets themselves are closed when their last user has gone (UDPHndlFree): a clone may
    // still transmit through its passive channel's socket, and a number closed early could be
    // reused at once by another socket of the process.
    switch (h->kind) {
    case kClone:
        KrLockEnter(&h->passive->lock);
        CloneRemove(h->passive, h);
        KrLockLeave(&h->passive->lock);
        break;
    case kPassive:
        KrLockEnter(&h->lock);
        if (!TableEmpty(h))
            KR_LOG(KrCrit, "UDPClose: Attempting to close passive UDP channel that still has cloned active channels.");
        KrLockLeave(&h->lock);
        break;
    case kActive:
        break;
    default:
        KR_LOG(KrErr, "UDPClose: Invalid UDP Channel Type 0x%x", h->kind);
        break;
    }
}

int UDPClone(KRIO_HNDL* passive, KRIO_HNDL* channel) {
    auto* p = static_cast<UdpHandle*>(passive->backEnd);
    const unsigned id = (unsigned)(uintptr_t)passive;
    if (!p || p->kind != kPassive) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "UDPClone[0x%x]: Cannot clone active channel.", id);
        return 1;
    }
    UdpHandle* c = NewHandle(kClone, 0);
    if (!c) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "UDPClone[0x%x]: Unable to allocate UDP-specific clone handle.", id);
        return 1;
    }
    socklen_t length = sizeof channel->local;
    if (getsockname(p->socket, reinterpret_cast<sockaddr*>(&channel->local), &length) != 0) {
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "UDPClone[0x%x]: Unable to get local address.", id);
        std::free(c);
        return 1;
    }
    c->channel = channel;
    c->passive = p;
    channel->socket = INVALID_SOCKET;
    channel->backEnd = c;
    KrLockEnter(&p->lock);
    channel->remote = p->source;
    CloneInsert(p, c);
    p->current = c;
    p->users++;
    KrLockLeave(&p->lock);
    return 0;
}

void UDPHndlFree(KRIO_HNDL* channel) {
    auto* h = channel ? static_cast<UdpHandle*>(channel->backEnd) : nullptr;
    if (!h) {
        KR_LOG(KrAlert, "UDPHndlFreeAttempt to free null Kr Channel Handle.");
        return;
    }
    channel->backEnd = nullptr;
    switch (h->kind) {
    case kClone: {
        UdpHandle* p = h->passive;
        KrLockEnter(&p->lock);
        CloneRemove(p, h);
        KrLockLeave(&p->lock);
        std::free(h);
        ReleasePassiveUser(p);
        break;
    }
    case kPassive:
        ReleasePassiveUser(h);
        break;
    default:
        ReleaseHandle(h);
        break;
    }
}

int UDPRxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    UdpHandle* owner = h->kind == kClone ? h->passive : h;
    if (h->kind == kClone) {
        // Only the clone of the current datagram's source may read it.
        KrLockEnter(&owner->lock);
        bool current = owner->current == h;
        KrLockLeave(&owner->lock);
        if (!current) return 0;
    }
    Datagram& b = owner->buffer;
    if (b.left == 0) {
        if (h->kind != kActive) return 0;
        if (UDPActiveRx(owner, channel, nullptr) != 0) {
            KR_LOG(KrErr, "UDPRxV[0x%x]: Receive of next datagram failed.", (unsigned)(uintptr_t)channel);
            return -1;
        }
    }
    uint32_t copied = 0;
    for (uint32_t i = 0; i < count && b.left > 0; ++i) {
        if (vector[i].length == 0) {
            KR_LOG(KrWarning, "UDPRxV[0x%x]: 0 byte iovec entry.", (unsigned)(uintptr_t)channel);
            continue;
        }
        uint32_t take = vector[i].length < b.left ? vector[i].length : b.left;
        std::memcpy(vector[i].base, b.data + b.offset, take);
        b.offset += take;
        b.left -= take;
        copied += take;
    }
    if (b.left == 0) {
        b.offset = 0;
        if (h->kind == kClone) {
            KrLockEnter(&owner->lock);
            if (owner->current == h) owner->current = nullptr;
            KrLockLeave(&owner->lock);
        }
    }
    StatAdd(h, KRUDP_BYTES_RECEIVED, copied);
    return (int)copied;
}

int UDPTxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    if (h->kind == kPassive) {
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "UDPTxV: Transmit not supported on channel of type %d.", (int)h->kind);
        return -1;
    }
    const SOCKET s = h->kind == kActive ? h->socket : h->passive->socket;
    uint8_t stage[KRIO_UDP_DATAGRAM];
    uint32_t staged = 0;
    int sent = 0;
    auto flush = [&]() -> int {
        int result = h->kind == kActive
                         ? PlatSend(s, reinterpret_cast<const char*>(stage), (int)staged, 0)
                         : PlatSendTo(s, reinterpret_cast<const char*>(stage), (int)staged, 0,
                                      reinterpret_cast<const sockaddr*>(&channel->remote), sizeof channel->remote);
        StatAdd(h, KRUDP_DGRAMS_SENT, 1);
        if (result != (int)staged) {
            if (result < 0) KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "UDPTXV[0x%x]: Write failed after 0x%x bytes %d.", (unsigned)(uintptr_t)channel,
                   (unsigned)sent, result < 0 ? WSAGetLastError() : result);
            return sent > 0 ? sent : result;
        }
        StatAdd(h, KRUDP_BYTES_SENT, (uint32_t)result);
        sent += result;
        staged = 0;
        return 0;
    };
    for (uint32_t i = 0; i < count; ++i) {
        const auto* from = static_cast<const uint8_t*>(vector[i].base);
        uint32_t left = vector[i].length;
        while (left > 0) {
            uint32_t take = KRIO_UDP_DATAGRAM - staged < left ? KRIO_UDP_DATAGRAM - staged : left;
            std::memcpy(stage + staged, from, take);
            staged += take;
            from += take;
            left -= take;
            if (staged == KRIO_UDP_DATAGRAM) {
                int failed = flush();
                if (staged) return failed;
            }
        }
    }
    if (staged > 0) {
        int failed = flush();
        if (staged) return failed;
    }
    return sent;
}

int UDPRxMark(KRIO_HNDL* channel, KRIO_RXMARK* mark) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    UdpHandle* owner = h->kind == kClone ? h->passive : h;
    const Datagram& b = owner->buffer;
    mark->left = b.left;
    mark->length = b.length;
    mark->full = b.length >= KRIO_UDP_DATAGRAM ? 1 : 0;
    mark->truncated = b.truncated;
    mark->count = b.count;
    return 0;
}

uint32_t UDPRxDiscard(KRIO_HNDL* channel) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    UdpHandle* owner = h->kind == kClone ? h->passive : h;
    if (h->kind == kClone) {
        KrLockEnter(&owner->lock);
        bool current = owner->current == h;
        if (current) owner->current = nullptr;
        KrLockLeave(&owner->lock);
        if (!current) return 0;
    }
    Datagram& b = owner->buffer;
    uint32_t dropped = b.left;
    b.left = b.offset = 0;
    return dropped;
}

// ---- options and statistics ----

int SizeGet(uint32_t* value) {
    *value = KRIO_UDP_DATAGRAM;
    return 0;
}
int SizeSet(uint32_t value) {
    KR_LOG(KrErr, "UDPReceiveDatagramSizeSet: Cannot set default receive datagram size to %d (unimplemented)", (int)value);
    return 1;
}

constexpr KrIOProtocolOption kProtocolOptions[] = {
    KrIOInetPortRangeOption<KRIO_TYPE_UDP>(KRIO_UDP_PORT_RANGE),
    {KRIO_UDP_DATAGRAM_SIZE, SizeGet, SizeSet},
};

constexpr auto UDPProtocolOptionGet = KrIOProtocolOptionGetFrom<kProtocolOptions>;
constexpr auto UDPProtocolOptionsSet = KrIOProtocolOptionsSetFrom<kProtocolOptions>;

int UDPChannelOptionGet(KRIO_HNDL* channel, uint32_t id, uint32_t* value) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    if (id == KRIO_UDP_DATAGRAM_SIZE) {
        *value = h->kind == kClone ? h->passive->buffer.size : h->buffer.size;
        return 0;
    }
    KrErrorSet(KRERR_PARAM);
    return 1;
}

int UDPHndlOptionsSet(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (options[i].id == KRIO_UDP_DATAGRAM_SIZE) {
            KR_LOG(KrErr, "UDPHndlOptionsSet[0x%x]: Attempted to set UDP option receive buffer (unimplemented)",
                   (unsigned)(uintptr_t)channel);
            result = 1;
        } else if (options[i].id == KRIO_UDP_PORT_RANGE) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "UDPHndlOptionsSet[0x%x]: Unknown option 0x%x.", (unsigned)(uintptr_t)channel, options[i].id);
            result = 1;
        }
    }
    return result;
}

int UDPStatisticsGet(KRIO_HNDL* channel, void* buffer, uint32_t* length) {
    auto* h = static_cast<UdpHandle*>(channel->backEnd);
    if (*length < KRUDP_STATISTICS * 4) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "UDPStatisticsGet[0x%x]: Stat buffer is too small 0x%x\n", (unsigned)(uintptr_t)channel, *length);
        return 1;
    }
    auto* words = static_cast<uint32_t*>(buffer);
    for (uint32_t i = 0; i < KRUDP_STATISTICS; ++i) words[i] = __atomic_load_n(&h->statistics[i], __ATOMIC_RELAXED);
    *length = KRUDP_STATISTICS * 4;
    return 0;
}

}  // namespace

const KRIO_OPS g_KrIOUdpOps = {UDPOpen,
                               UDPClose,
                               UDPClone,
                               UDPHndlFree,
                               UDPRxV,
                               UDPTxV,
                               KrSockAddrMatch,
                               KrSockAddrAny,
                               UDPProtocolOptionGet,
                               UDPProtocolOptionsSet,
                               UDPChannelOptionGet,
                               UDPHndlOptionsSet,
                               UDPStatisticsGet,
                               UDPRxMark,
                               UDPRxDiscard};
