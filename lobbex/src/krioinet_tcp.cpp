// The TCP back end of the io channels (io type 0) and its transmit threads. A passive channel
// listens and accepts; an active one connects within the channel's connect time limit. Every TCP
// channel has a transmit thread: a transmit first tries a non-blocking send from the caller's
// thread, and what the socket does not take waits in the channel's ring buffer, which the thread
// drains. Only the thread sends while it owns the ring (the transmitting flag), so the bytes leave
// in the order of the transmits.
//
// The socket stays non-blocking all its life: the transmit thread waits for room with select
// rather than switching the socket to blocking mode, because that mode belongs to the socket and
// would make the io thread's receive block too. A closed channel's socket is shut down at once
// (which also wakes a transmit thread waiting on it) and closed when the last of the channel and
// its thread has let the handle go, so that its number cannot be reused under the thread.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <netinet/tcp.h>

#include "krerrno.h"
#include "kriocbuf.h"
#include "krioinet.h"
#include "krlog.h"
#include "krnetdb.h"
#include "krthread.h"

namespace {

constexpr char kKrModule[] = "krioinet";
constexpr uint32_t kStartWaitMs = 10000;
constexpr int kMaxRebinds = 5;

enum : int { kNone = 0, kConnecting = 1, kTimedOut = 2, kConnected = 3, kRefused = 4 };
enum : int { kThreadStarting = 0, kThreadRunning = 1, kThreadFailed = 2 };

struct TcpHandle {
    KRIOCBUF ring;
    KRIO_HNDL* channel; // for messages only: the thread outlives it
    SOCKET socket;
    KRLOCK lock;
    // Under `lock`:
    int connectState;
    int connectError; // the Winsock error of a failed connect
    KrEvent connectEvent;
    KRIO_CBF savedCallback;
    void* savedArgument;
    uint32_t savedInterest;
    int transmitting;
    int closeRequest;
    uint32_t pendingSize;
    int32_t refCount; // the channel and the thread
    int threadState;
    HANDLE thread;
    KrEvent wake;
    KrEvent started;
    uint32_t iocbufSize;
    uint32_t sndBufSize;
    uint32_t rcvBufSize;
    uint32_t statistics[KRTCP_STATISTICS]; // updated atomically
};

std::atomic<uint32_t> g_TcpIocbufSize{KRIO_TCP_IOCBUF_DEFAULT};
std::atomic<uint32_t> g_TcpSndBufSize{KRIO_TCP_SOBUF_DEFAULT};
std::atomic<uint32_t> g_TcpRcvBufSize{KRIO_TCP_SOBUF_DEFAULT};
std::atomic<uint32_t> g_TcpThreadsRunning{0};

unsigned Id(const void* p) {
    return (unsigned)(uintptr_t)p;
}

void StatAdd(TcpHandle* h, int word, uint32_t amount) {
    __atomic_fetch_add(&h->statistics[word], amount, __ATOMIC_RELAXED);
}

void StatMax(TcpHandle* h, int word, uint32_t value) {
    uint32_t seen = __atomic_load_n(&h->statistics[word], __ATOMIC_RELAXED);
    while (value > seen &&
           !__atomic_compare_exchange_n(&h->statistics[word], &seen, value, false, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
}

bool Disconnected(int error) {
    return error == WSAECONNRESET || error == WSAEHOSTDOWN || error == WSAEHOSTUNREACH || error == WSAENETDOWN ||
           error == WSAENETRESET;
}

int NoDelay(SOCKET s, int on) {
    return setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : 1;
}

// ---- the handle ----

void Destroy(TcpHandle* h) {
    if (h->socket != INVALID_SOCKET) closesocket(h->socket);
    KrIOCBufDestroy(&h->ring);
    KrEventDestroy(&h->connectEvent);
    KrEventDestroy(&h->wake);
    KrEventDestroy(&h->started);
    KrLockDestroy(&h->lock);
    if (h->thread) CloseHandle(h->thread);
    std::free(h);
}

void Deref(TcpHandle* h) {
    KrLockEnter(&h->lock);
    bool last = --h->refCount == 0;
    KR_INVARIANT(h->refCount >= 0);
    KrLockLeave(&h->lock);
    if (last) Destroy(h);
}

// A failed open or accept: tells the thread to end. The handle stays the channel's back end
// until the channel is freed (which drops the channel's reference): the io thread may still be
// in the connect handler with this channel.
void Abandon(KRIO_HNDL*, TcpHandle* h) {
    KrLockEnter(&h->lock);
    h->closeRequest = 1;
    KrEventSignal(&h->wake);
    KrLockLeave(&h->lock);
}

// ---- sending ----

// Sends the ring's bytes from the caller's thread without waiting (handle lock held). 0 when
// the ring is empty or the socket takes no more for now; 1 on a failure.
int TCPTxOutput(TcpHandle* h) {
    for (;;) {
        const uint8_t* data = nullptr;
        uint32_t length = KrIOCBufContig(&h->ring, &data);
        if (length == 0) return 0;
        int sent = PlatSend(h->socket, reinterpret_cast<const char*>(data), (int)length, 0);
        StatAdd(h, KRTCP_SEND_CALLS, 1);
        if (sent > 0) {
            KrIOCBufConsume(&h->ring, (uint32_t)sent);
            StatAdd(h, KRTCP_BYTES_SENT, (uint32_t)sent);
            if ((uint32_t)sent < length) return 0;
            continue;
        }
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return 0;
        if (Disconnected(error)) {
            KrErrorSet(KRERR_IO);
            KR_LOG(KrWarning, "TCPTxOutput[0x%x]: disconnected at %d bytes. %d", Id(h->channel), (int)length, error);
        } else {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "TCPTxOutput[0x%x]: Failed to transmit %d bytes. %d", Id(h->channel), (int)length, error);
        }
        return 1;
    }
}

// Hands the ring to the transmit thread (handle lock held).
void TCPTxStart(TcpHandle* h) {
    h->transmitting = 1;
    NoDelay(h->socket, 0);
    KrEventSignal(&h->wake);
}

void TCPTxStop(TcpHandle* h) {
    h->transmitting = 0;
}

// Sends all of `data` from the transmit thread, waiting for room as long as it takes. 0, or 1
// when the connection fails.
int TCPTxSend(TcpHandle* h, const uint8_t* data, uint32_t length) {
    uint32_t done = 0;
    while (done < length) {
        int sent = PlatSend(h->socket, reinterpret_cast<const char*>(data + done), (int)(length - done), 0);
        StatAdd(h, KRTCP_SEND_CALLS, 1);
        if (sent > 0) {
            done += (uint32_t)sent;
            StatAdd(h, KRTCP_BYTES_SENT, (uint32_t)sent);
            continue;
        }
        int error = WSAGetLastError();
        if (sent == SOCKET_ERROR && (error == WSAEWOULDBLOCK || error == WSAEINTR)) {
            PLAT_FD_SET writable{1, {h->socket}};
            if (PlatSelect(h->socket + 1, nullptr, &writable, nullptr, nullptr) != SOCKET_ERROR ||
                WSAGetLastError() == WSAEINTR)
                continue;
            error = WSAGetLastError();
        }
        if (Disconnected(error)) {
            KrErrorSet(KRERR_IO);
            KR_LOG(KrWarning, "TCPTxOutput[0x%x]: disconnected at %d bytes. %d", Id(h->channel), (int)(length - done),
                   error);
        } else {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "TCPTxOutput[0x%x]: Failed to transmit %d bytes. %d", Id(h->channel), (int)(length - done),
                   error);
        }
        return 1;
    }
    return 0;
}

DWORD TCPTxThread(void* argument) {
    auto* h = static_cast<TcpHandle*>(argument);
    KrLockEnter(&h->lock);
    uint32_t size = h->iocbufSize;
    auto* buffer = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!buffer) {
        KR_LOG(KrAlert, "Unable to allocate space for transmit thread on 0x%08x, aborting", Id(h->channel));
        h->threadState = kThreadFailed;
        KrEventSignal(&h->started);
        KrLockLeave(&h->lock);
        g_TcpThreadsRunning--;
        Deref(h);
        return 0;
    }
    h->pendingSize = 0;
    h->threadState = kThreadRunning;
    KrEventSignal(&h->started);
    for (;;) {
        while (!h->closeRequest && !(h->transmitting && KrIOCBufUsed(&h->ring) > 0))
            KrEventWait(&h->wake, &h->lock, nullptr);
        if (h->closeRequest) break;
        if (h->pendingSize) {
            auto* resized = static_cast<uint8_t*>(std::malloc(h->pendingSize));
            if (resized) {
                std::free(buffer);
                buffer = resized;
                size = h->pendingSize;
            } else {
                KR_LOG(KrErr, "Unable to allocate new TCP transmit buffer");
            }
            h->pendingSize = 0;
        }
        uint32_t length = KrIOCBufRead(&h->ring, buffer, size);
        KrLockLeave(&h->lock);
        int failed = TCPTxSend(h, buffer, length);
        KrLockEnter(&h->lock);
        if (failed) {
            // The flag stays set: later transmits only queue until the ring is full.
            if (!h->closeRequest)
                KR_LOG(KrErr, "TCPTxThread[0x%x] failed to send, closing transmit", Id(h->channel));
            break;
        }
        if (KrIOCBufUsed(&h->ring) == 0) TCPTxStop(h);
    }
    KrLockLeave(&h->lock);
    std::free(buffer);
    g_TcpThreadsRunning--;
    Deref(h);
    return 0;
}

// A handle with its ring and a running transmit thread; null when any of them cannot be had.
TcpHandle* Create(KRIO_HNDL* channel, SOCKET s, uint32_t iocbufSize) {
    auto* h = static_cast<TcpHandle*>(std::calloc(1, sizeof(TcpHandle)));
    if (!h) return nullptr;
    if (KrIOCBufCreate(&h->ring, iocbufSize) != 0) {
        std::free(h);
        return nullptr;
    }
    h->channel = channel;
    h->socket = s;
    h->iocbufSize = iocbufSize;
    h->sndBufSize = g_TcpSndBufSize.load();
    h->rcvBufSize = g_TcpRcvBufSize.load();
    KrLockInit(&h->lock, 0);
    KrEventCreate(&h->connectEvent, nullptr);
    KrEventCreate(&h->wake, nullptr);
    KrEventCreate(&h->started, nullptr);
    h->refCount = 2;
    KrLockEnter(&h->lock);
    g_TcpThreadsRunning++;
    h->thread = KrThreadCreate(TCPTxThread, h, 1, 0);
    if (!h->thread) {
        g_TcpThreadsRunning--;
        KrLockLeave(&h->lock);
        h->socket = INVALID_SOCKET; // the caller's
        Destroy(h);
        return nullptr;
    }
    // A bounded wait: a thread that cannot start (or cannot get its buffer) fails the creation.
    const KRTIME limit{kStartWaitMs / 1000, kStartWaitMs % 1000, 0};
    while (h->threadState == kThreadStarting)
        if (!KrEventWait(&h->started, &h->lock, &limit)) break;
    const bool running = h->threadState == kThreadRunning;
    if (!running) {
        KR_LOG(KrErr, "TCP handle 0x%x: the transmit thread did not start.", Id(channel));
        h->closeRequest = 1;
        KrEventSignal(&h->wake);
    }
    KrLockLeave(&h->lock);
    if (!running) {
        // The socket stays the caller's; the thread, if it ever runs, lets the handle go.
        KrLockEnter(&h->lock);
        h->socket = INVALID_SOCKET;
        KrLockLeave(&h->lock);
        Deref(h);
        return nullptr;
    }
    return h;
}

// ---- socket buffer sizes and options ----

int TCPHndlSoBufSizeSet(TcpHandle* h, uint32_t id, uint32_t size) {
    const bool send = id == KRIO_TCP_SNDBUF_SIZE;
    const char* name = send ? "transmit" : "receive";
    uint32_t& current = send ? h->sndBufSize : h->rcvBufSize;
    const uint32_t moduleDefault = send ? g_TcpSndBufSize.load() : g_TcpRcvBufSize.load();
    if (current != moduleDefault && current != size)
        KR_LOG(KrWarning, "TCPHndlSoBufSizeSet[%x]: Changing %s buffer size from non-default %d to %d...possible conflict",
               Id(h->channel), name, (int)current, (int)size);
    int value = (int)size;
    if (setsockopt(h->socket, SOL_SOCKET, send ? SO_SNDBUF : SO_RCVBUF, &value, sizeof value) != 0) {
        KR_LOG(KrErr, "TCPHndlSoBufSizeSet[0x%x]: Failed to set socket %s buf size to %d; err %d", Id(h->channel), name,
               (int)size, WSAGetLastError());
        return 1;
    }
    KR_LOG(KrLevelDebug, "TCPHndlSoBufSizeSet[%x]: Changed %s buffer size from %d to %d", Id(h->channel), name,
           (int)current, (int)size);
    current = size;
    return 0;
}

int TCPHndlOptionsSetV(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = options[i].id, value = options[i].value;
        if (id < KRIO_TCP_PORT_RANGE || id > KRIO_TCP_RCVBUF_SIZE) continue;
        if (id == KRIO_TCP_PORT_RANGE) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "TCPHndlOptionsSetV[0x%x]: Unknown option 0x%x.", Id(channel), id);
            result = 1;
            continue;
        }
        KrLockEnter(&h->lock);
        if (id == KRIO_TCP_IOCBUF_SIZE) {
            if (value == 0) {
                KR_LOG(KrErr, "Cannot resize IOCBuf to %d bytes", (int)value);
                result = 1;
            } else if (KrIOCBufUsed(&h->ring) > value || KrIOCBufResize(&h->ring, value, nullptr) != 0) {
                // A ring smaller than what it holds would cut queued messages: refused.
                KR_LOG(KrErr, "Failed to resize IOCBuf to %d bytes", (int)value);
                result = 1;
            } else {
                h->iocbufSize = value;
                h->pendingSize = value;
            }
        } else if (value == 0 || TCPHndlSoBufSizeSet(h, id, value) != 0) {
            result = 1;
        }
        KrLockLeave(&h->lock);
    }
    return result;
}

// ---- opening ----

void TCPSocketConnectHndlr(void* argument, uint32_t eventClass) {
    auto* channel = static_cast<KRIO_HNDL*>(argument);
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    if (!h) return;
    KrLockEnter(&h->lock);
    if (eventClass != KRIO_WRITABLE) {
        KRIO_CBF saved = h->savedCallback;
        void* savedArgument = h->savedArgument;
        KrLockLeave(&h->lock);
        if (saved) saved(savedArgument, eventClass);
        return;
    }
    if (h->connectState == kConnecting) {
        // A connect that ends makes the socket writable whether it worked or not: its own error
        // tells which.
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(h->socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error == 0) {
            h->connectState = kConnected;
        } else {
            h->connectState = kRefused;
            h->connectError = PlatWsaErrorFromErrno(error);
        }
        KrIOEventListRemove(channel);
        KrEventSignal(&h->connectEvent);
    } else {
        KR_LOG(KrLevelDebug, "TCPSocketConnectHndlr called while in state %d", h->connectState);
    }
    KrLockLeave(&h->lock);
}

// Puts the open's buffer sizes and options on a new handle.
int ApplySizes(TcpHandle* h, KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    KrLockEnter(&h->lock);
    int failed = TCPHndlSoBufSizeSet(h, KRIO_TCP_SNDBUF_SIZE, h->sndBufSize) |
                 TCPHndlSoBufSizeSet(h, KRIO_TCP_RCVBUF_SIZE, h->rcvBufSize);
    KrLockLeave(&h->lock);
    channel->backEnd = h;
    if (count && TCPHndlOptionsSetV(channel, options, count) != 0) failed = 1;
    return failed;
}

int TCPPassiveOpen(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    const SOCKET s = channel->socket;
    TcpHandle* h = Create(channel, s, g_TcpIocbufSize.load());
    if (!h) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "TCPPassiveOpen[0x%x]: Unable to allocate TCP-specific handle.", Id(channel));
        return 1;
    }
    bool ok = false;
    do {
        if (ApplySizes(h, channel, options, count) != 0) break;
        const sockaddr_in& remote = channel->remote;
        if (!KrInAddrIsAny(remote.sin_addr.s_addr) && !KrInPortIsAny(remote.sin_port)) {
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "TCPPassiveOpen[0x%x]: Passive channel must specify Wildcardremote TCP/IP address.", Id(channel));
            break;
        }
        int on = 1;
        if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "TCPPassiveOpen[0x%x %d]: Unable to set socket reuse address optin; error %d", Id(channel),
                   (int)s, WSAGetLastError());
            break;
        }
        // Accepting runs on the io thread: a connection that vanishes before it is taken must
        // not leave that thread waiting.
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        if (KrIOInetBind(channel) != 0) {
            KR_LOG(KrErr, "TCPPassiveOpen[0x%x]: bind failed %d.", Id(channel), WSAGetLastError());
            break;
        }
        if (listen(s, 5) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "TCPPassiveOpen[0x%x]: listen failed %d.", Id(channel), WSAGetLastError());
            break;
        }
        ok = true;
    } while (false);
    if (ok) return 0;
    uint32_t why = KrErrorGet();
    Abandon(channel, h); // the handle closes the socket
    channel->socket = INVALID_SOCKET;
    KrErrorSet(why);
    return 1;
}

int TCPActiveOpen(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    TcpHandle* h = Create(channel, channel->socket, g_TcpIocbufSize.load());
    if (!h) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: Unable to allocate TCP-specific handle.", Id(channel));
        return 1;
    }
    const unsigned id = Id(channel);
    auto fail = [&]() {
        uint32_t why = KrErrorGet();
        Abandon(channel, h); // the handle closes the socket
        channel->socket = INVALID_SOCKET;
        KrErrorSet(why);
        return 1;
    };
    if (ApplySizes(h, channel, options, count) != 0) return fail();
    const sockaddr_in remote = channel->remote;
    if (KrInAddrIsAny(remote.sin_addr.s_addr) || KrInPortIsAny(remote.sin_port)) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: Active channel cannot specify Wildcard remote TCP/IP address.", id);
        return fail();
    }
    const bool wildcardPort = KrInPortIsAny(channel->local.sin_port);
    const sockaddr_in localCopy = channel->local;
    u_long nonBlocking = 1;
    if (ioctlsocket(h->socket, FIONBIO, &nonBlocking) != 0) {
        KrErrorSet(KRERR_SOCKET);
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: Failed to set socket non-blocking %d.", id, WSAGetLastError());
        return fail();
    }
    KRIO_CBF callback;
    void* argument;
    uint32_t interest;
    KrIOCallbackGet(channel, &callback, &argument, &interest);
    if (callback != TCPSocketConnectHndlr) {
        KrLockEnter(&h->lock);
        h->savedCallback = callback;
        h->savedArgument = argument;
        h->savedInterest = interest;
        KrLockLeave(&h->lock);
        KrIOCallbackSet(channel, TCPSocketConnectHndlr, channel, KRIO_WRITABLE);
    }

    bool failed = false, watched = false;
    int rebinds = 0;
    KrLockEnter(&h->lock);
    for (;;) {
        if (KrIOInetBind(channel) != 0) {
            KR_LOG(KrErr, "TCPActiveOpen[0x%x]: KrIOInetBind failed.", id);
            failed = true;
            break;
        }
        if (connect(h->socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
            KR_LOG(KrLevelDebug, "Connect returned right away.");
            h->connectState = kConnected;
            break;
        }
        const int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            h->connectState = kConnecting;
            if (KrIOEventListAdd(channel) != 0) {
                KrErrorSet(KRERR_IO);
                KR_LOG(KrCrit, "TCPActiveOpen[0x%x]: Couldn't add socket connect handler to socket event list.  Gack!",
                       id);
                failed = true;
                break;
            }
            watched = true;
            const uint32_t ms = __atomic_load_n(&channel->connectTimeout, __ATOMIC_RELAXED);
            const KRTIME limit{ms / 1000, ms % 1000, 0};
            if (h->connectState == kConnecting) KrEventWait(&h->connectEvent, &h->lock, &limit);
            if (h->connectState == kConnecting) {
                h->connectState = kTimedOut;
                KrErrorSet(KRERR_IO);
                KR_LOG(KrWarning, "TCPActiveOpen[0x%x]: connect timed out after %d msecs", (unsigned)h->socket, (int)ms);
            }
            break;
        }
        if ((error == WSAEADDRINUSE || error == WSAEADDRNOTAVAIL) && wildcardPort && rebinds < kMaxRebinds) {
            KR_LOG(KrWarning, "TCPActiveOpen[0x%x]: address (tcp/0x%x/0x%x) in use, rebinding", (unsigned)h->socket,
                   (unsigned)ntohl(channel->local.sin_addr.s_addr), (unsigned)ntohs(channel->local.sin_port));
            rebinds++;
            channel->local = localCopy;
            // A socket is bound once: the next port needs a fresh one.
            SOCKET fresh = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            if (fresh != INVALID_SOCKET) {
                ioctlsocket(fresh, FIONBIO, &nonBlocking);
                closesocket(h->socket);
                h->socket = channel->socket = fresh;
                continue;
            }
        }
        if (rebinds == 0)
            KR_LOG(KrErr, "TCPActiveOpen[0x%x]: connect failed tcp/0x%x/0x%x: %d.", (unsigned)h->socket,
                   (unsigned)ntohl(remote.sin_addr.s_addr), (unsigned)ntohs(remote.sin_port), error);
        else
            KR_LOG(KrErr, "TCPActiveOpen[0x%x]: failed to bind to a unique port (%d tries) tcp/0x%x/0x%x: %d.",
                   (unsigned)h->socket, rebinds, (unsigned)ntohl(remote.sin_addr.s_addr),
                   (unsigned)ntohs(remote.sin_port), error);
        KrErrorSet(KRERR_IO);
        failed = true;
        break;
    }
    // The connect handler took the interest away itself when it saw the connect end.
    if (watched && h->connectState != kConnected && h->connectState != kRefused) KrIOEventListRemove(channel);
    const int state = h->connectState;
    const int connectError = h->connectError;
    KRIO_CBF saved = h->savedCallback;
    void* savedArgument = h->savedArgument;
    uint32_t savedInterest = h->savedInterest;
    KrLockLeave(&h->lock);
    if (callback != TCPSocketConnectHndlr) KrIOCallbackSet(channel, saved, savedArgument, savedInterest);
    if (failed) return fail();

    switch (state) {
    case kConnected: {
        socklen_t length = sizeof channel->local;
        if (getsockname(h->socket, reinterpret_cast<sockaddr*>(&channel->local), &length) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "TCPActiveOpen[0x%x]: getsockname failed %d.", id, WSAGetLastError());
            return fail();
        }
        if (NoDelay(h->socket, 1) != 0) {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "TCPActiveOpen[0x%x %d]: Unable to set socket tcp-nodelay option; error %d", id,
                   (int)h->socket, WSAGetLastError());
            return fail();
        }
        return 0;
    }
    case kRefused:
        // The connect ended with an error (a refusal, an unreachable host): the open fails now.
        KrErrorSet(KRERR_IO);
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: connect failed tcp/0x%x/0x%x: %d.", (unsigned)h->socket,
               (unsigned)ntohl(remote.sin_addr.s_addr), (unsigned)ntohs(remote.sin_port), connectError);
        return fail();
    case kNone:
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: my TCP handle mysteriously reset", id);
        return fail();
    case kConnecting:
    case kTimedOut: {
        KRTLADDR address;
        char text[KR_TLADDR_TEXT] = "?";
        if (KrSockToTlAddr(reinterpret_cast<const sockaddr*>(&remote), KR_IO_STREAM, &address) == 0)
            KRTLADDRtostr(&address, text);
        KrErrorSet(KRERR_IO);
        KR_LOG(KrWarning, "TCPActiveOpen[0x%x]: connect timed out to %s", id, text);
        return fail();
    }
    default:
        KR_LOG(KrErr, "TCPActiveOpen[0x%x]: session connect went haywire %s: %d.", id, "tcp", state);
        return fail();
    }
}

// ---- operations ----

int TCPOpen(KRIO_HNDL* channel, const KRIO_OPTION* options, uint32_t count) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        KrErrorSet(KRERR_SOCKET);
        KR_LOG(KrErr, "TCPOpen[0x%x]: Couldn't open TCP/IP socket %d", Id(channel), WSAGetLastError());
        return 1;
    }
    channel->socket = s;
    const bool active = channel->active == KRIO_ACTIVE;
    int failed = active ? TCPActiveOpen(channel, options, count) : TCPPassiveOpen(channel, options, count);
    if (failed) {
        uint32_t why = KrErrorGet();
        if (active)
            KR_LOG(KrErr, "TCPOpen[0x%x]: Local Initiator Handle Open failed.", Id(channel));
        else
            KR_LOG(KrErr, "TCPOpen[0x%x]: Remote Initiator Handle Open failed.", Id(channel));
        // A handle, once made, owns the socket and closed it; otherwise it is closed here.
        if (channel->socket != INVALID_SOCKET) closesocket(channel->socket);
        channel->socket = INVALID_SOCKET;
        KrErrorSet(why);
    }
    return failed;
}

void TCPClose(KRIO_HNDL* channel) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    if (!h) return;
    KrLockEnter(&h->lock);
    shutdown(h->socket, SD_BOTH);
    KrIOCBufClear(&h->ring);
    h->closeRequest = 1;
    KrEventSignal(&h->wake);
    KrLockLeave(&h->lock);
}

int TCPClone(KRIO_HNDL* passive, KRIO_HNDL* channel) {
    auto* p = static_cast<TcpHandle*>(passive->backEnd);
    const unsigned id = Id(passive);
    if (passive->active || !p) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "TCPClone[0x%x]: Cannot clone active channel.", id);
        return 1;
    }
    KrLockEnter(&p->lock);
    const uint32_t iocbufSize = p->iocbufSize, sndBufSize = p->sndBufSize, rcvBufSize = p->rcvBufSize;
    KrLockLeave(&p->lock);
    TcpHandle* h = Create(channel, INVALID_SOCKET, iocbufSize);
    if (!h) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "TCPClone[0x%x]: Unable to allocate TCP-specific handle.", id);
        return 1;
    }
    h->sndBufSize = sndBufSize;
    h->rcvBufSize = rcvBufSize;
    channel->backEnd = h;
    socklen_t length = sizeof channel->remote;
    SOCKET s = accept(passive->socket, reinterpret_cast<sockaddr*>(&channel->remote), &length);
    if (s == INVALID_SOCKET) {
        KrErrorSet(KRERR_SOCKET);
        KR_LOG(KrErr, "TCPClone[0x%x]: Unable to accept connection %d.", id, WSAGetLastError());
        Abandon(channel, h);
        return 1;
    }
    bool ok = false;
    do {
        length = sizeof channel->local;
        if (getsockname(s, reinterpret_cast<sockaddr*>(&channel->local), &length) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "TCPClone[0x%x]: Unable to get local address of cloned channel %d.", id, WSAGetLastError());
            break;
        }
        u_long nonBlocking = 1;
        if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrErr, "TCPCloneOpen[0x%x]: Failed to set socket non-blocking %d.", id, WSAGetLastError());
            break;
        }
        if (NoDelay(s, 1) != 0) {
            KrErrorSet(KRERR_BAD_DATA);
            KR_LOG(KrErr, "TCPClone[0x%x]: Unable to set socket tcp-nodelay option; error %d", id, WSAGetLastError());
            break;
        }
        ok = true;
    } while (false);
    if (!ok) {
        uint32_t why = KrErrorGet();
        closesocket(s);
        Abandon(channel, h);
        KrErrorSet(why);
        return 1;
    }
    KrLockEnter(&h->lock);
    h->socket = s;
    KrLockLeave(&h->lock);
    channel->socket = s;
    return 0;
}

void TCPHndlFree(KRIO_HNDL* channel) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    if (!h) return;
    channel->backEnd = nullptr;
    Deref(h);
}

int TCPRxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (vector[i].length == 0) {
            KR_LOG(KrWarning, "TCPRxV[0x%x]: 0 byte iovec entry.", Id(channel));
            continue;
        }
        int got = PlatRecv(channel->socket, static_cast<char*>(vector[i].base), (int)vector[i].length, 0);
        if (got > 0) {
            total += (uint32_t)got;
            if ((uint32_t)got < vector[i].length) break;
            continue;
        }
        if (got == 0) {
            if (total == 0) return -1; // the peer closed
            break;
        }
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) break;
        KrErrorSet(KRERR_IO);
        KR_LOG(KrLevelDebug, "TCPRxV[0x%x]: recv failed %d...socket closed", Id(channel), error);
        return -1;
    }
    StatAdd(h, KRTCP_BYTES_RECEIVED, total);
    return (int)total;
}

int TCPTxV(KRIO_HNDL* channel, const KRIOVEC* vector, uint32_t count) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) total += vector[i].length;
    KrLockEnter(&h->lock);
    const uint32_t capacity = KrIOCBufCapacity(&h->ring);
    if (total > capacity) {
        KrLockLeave(&h->lock);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "TCPTxV recvd message too long -- total length %d (max %d)", (int)total, (int)capacity);
        return -1;
    }
    uint32_t appended = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t got = KrIOCBufAppend(&h->ring, vector[i].base, vector[i].length);
        appended += got;
        if (got < vector[i].length) {
            KrIOCBufTakeBack(&h->ring, appended);
            KrLockLeave(&h->lock);
            KrErrorSet(KRERR_TCP_TX);
            return 0;
        }
    }
    StatAdd(h, KRTCP_MESSAGES_QUEUED, 1);
    StatMax(h, KRTCP_HIGHEST_FILL, KrIOCBufUsed(&h->ring));
    if (!h->transmitting) {
        TCPTxOutput(h);
        if (KrIOCBufUsed(&h->ring) > 0) TCPTxStart(h);
    } else {
        KrEventSignal(&h->wake);
    }
    KrLockLeave(&h->lock);
    return (int)total;
}

// ---- protocol options, channel options and statistics ----

int SndGet(uint32_t* value) {
    *value = g_TcpSndBufSize.load();
    return 0;
}
int SndSet(uint32_t value) {
    KR_PRECONDITION(value != 0);
    if (value == 0) return 1;
    g_TcpSndBufSize = value;
    return 0;
}
int RcvGet(uint32_t* value) {
    *value = g_TcpRcvBufSize.load();
    return 0;
}
int RcvSet(uint32_t value) {
    KR_PRECONDITION(value != 0);
    if (value == 0) return 1;
    g_TcpRcvBufSize = value;
    return 0;
}
int IocbufGet(uint32_t* value) {
    *value = g_TcpIocbufSize.load();
    return 0;
}
int IocbufSet(uint32_t value) {
    // An empty ring would refuse every message.
    if (value == 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "Cannot set default TCP transmit buffer size to %d", (int)value);
        return 1;
    }
    KR_LOG(KrLevelDebug, "Set default TCP transmit buffer size from %d to %d", (int)g_TcpIocbufSize.load(), (int)value);
    g_TcpIocbufSize = value;
    return 0;
}

constexpr KrIOProtocolOption kProtocolOptions[] = {
    KrIOInetPortRangeOption<KRIO_TYPE_TCP>(KRIO_TCP_PORT_RANGE),
    {KRIO_TCP_SNDBUF_SIZE, SndGet, SndSet},
    {KRIO_TCP_RCVBUF_SIZE, RcvGet, RcvSet},
    {KRIO_TCP_IOCBUF_SIZE, IocbufGet, IocbufSet},
};

constexpr auto TCPProtocolOptionGet = KrIOProtocolOptionGetFrom<kProtocolOptions>;
constexpr auto TCPProtocolOptionsSet = KrIOProtocolOptionsSetFrom<kProtocolOptions>;

int TCPChannelOptionGet(KRIO_HNDL* channel, uint32_t id, uint32_t* value) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    int result = 0;
    KrLockEnter(&h->lock);
    if (id == KRIO_TCP_IOCBUF_SIZE)
        *value = KrIOCBufCapacity(&h->ring);
    else if (id == KRIO_TCP_SNDBUF_SIZE)
        *value = h->sndBufSize;
    else if (id == KRIO_TCP_RCVBUF_SIZE)
        *value = h->rcvBufSize;
    else
        result = 1;
    KrLockLeave(&h->lock);
    if (result) KrErrorSet(KRERR_PARAM);
    return result;
}

int TCPStatisticsGet(KRIO_HNDL* channel, void* buffer, uint32_t* length) {
    auto* h = static_cast<TcpHandle*>(channel->backEnd);
    if (*length < KRTCP_STATISTICS * 4) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "TCPStatisticsGet[0x%x]: Stat buffer is too small 0x%x\n", Id(channel), *length);
        return 1;
    }
    auto* words = static_cast<uint32_t*>(buffer);
    for (uint32_t i = 0; i < KRTCP_STATISTICS; ++i) words[i] = __atomic_load_n(&h->statistics[i], __ATOMIC_RELAXED);
    *length = KRTCP_STATISTICS * 4;
    return 0;
}

}  // namespace

uint32_t TCPTxThreadsRunning(void) {
    return g_TcpThreadsRunning.load();
}

const KRIO_OPS g_KrIOTcpOps = {TCPOpen,
                               TCPClose,
                               TCPClone,
                               TCPHndlFree,
                               TCPRxV,
                               TCPTxV,
                               KrSockAddrMatch,
                               KrSockAddrAny,
                               TCPProtocolOptionGet,
                               TCPProtocolOptionsSet,
                               TCPChannelOptionGet,
                               TCPHndlOptionsSetV,
                               TCPStatisticsGet,
                               nullptr,
                               nullptr};
