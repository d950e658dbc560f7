// Windows Sockets start and stop, the Winsock error codes and the socket calls that behave as
// Winsock's (no signal on send, truncated datagrams reported, select over any socket number), and
// thread-safe host and service look-ups (winsock.h). The machine's own host name resolves to
// PLATFORM_HOST_ADDRESS when that is set, so tests on loopback and machines whose name the
// resolver does not know still find "their" address.
#include <fcntl.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "winsock.h"

namespace {

std::atomic<int> g_startups{0};

// The thread's last Winsock error lives in errno, beside the Berkeley calls' own errors.
void SetWsaError(int code) {
    errno = code;
}

constexpr int kHostNotFound = 11001; // WSAHOST_NOT_FOUND
constexpr int kNoData = 11004;       // WSANO_DATA

// Each thread's result records, like Winsock's per-thread buffers.
struct HostResult {
    hostent entry{};
    std::vector<char> buffer = std::vector<char>(2048);
    in_addr fixed{};
    char* fixedList[2] = {nullptr, nullptr};
    char* noAliases[1] = {nullptr};
    std::string fixedName;
};
thread_local HostResult t_host;

struct ServResult {
    servent entry{};
    std::vector<char> buffer = std::vector<char>(1024);
};
thread_local ServResult t_serv;

bool SameNameNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? (char)(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? (char)(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// PLATFORM_HOST_ADDRESS when it is set and `name` is this machine's host name.
bool OwnAddressOverride(const char* name, in_addr* address) {
    const char* fixed = std::getenv("PLATFORM_HOST_ADDRESS");
    if (!fixed || !*fixed) return false;
    char own[256] = {};
    if (gethostname(own, sizeof own - 1) != 0 || !SameNameNoCase(own, name)) return false;
    return inet_pton(AF_INET, fixed, address) == 1;
}

}  // namespace

PLATAPI int WSAStartup(WORD versionRequested, WSADATA* data) {
    int major = LOBYTE(versionRequested), minor = HIBYTE(versionRequested);
    if (!data) return WSASYSNOTREADY;
    std::memset(data, 0, sizeof *data);
    data->wHighVersion = MAKEWORD(2, 2);
    if (major < 1 || (major == 1 && minor < 1)) {
        data->wVersion = MAKEWORD(1, 1);
        return WSAVERNOTSUPPORTED;
    }
    data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? MAKEWORD(2, 2) : versionRequested;
    std::strcpy(data->szDescription, "Berkeley sockets");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 0xFFFF;
    data->iMaxUdpDg = 0xFFFF;
    g_startups.fetch_add(1);
    return 0;
}

PLATAPI int WSACleanup(void) {
    int count = g_startups.load();
    while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0) {
        SetWsaError(WSANOTINITIALISED);
        return SOCKET_ERROR;
    }
    return 0;
}

PLATAPI int WSAGetLastError(void) {
    int error = errno;
    return error >= 10000 ? error : PlatWsaErrorFromErrno(error);
}

PLATAPI struct hostent* PlatGetHostByName(const char* name) {
    if (!name) {
        SetWsaError(kHostNotFound);
        return nullptr;
    }
    HostResult& r = t_host;
    if (OwnAddressOverride(name, &r.fixed)) {
        r.fixedName = name;
        r.fixedList[0] = reinterpret_cast<char*>(&r.fixed);
        r.entry.h_name = r.fixedName.data();
        r.entry.h_aliases = r.noAliases;
        r.entry.h_addrtype = AF_INET;
        r.entry.h_length = 4;
        r.entry.h_addr_list = r.fixedList;
        return &r.entry;
    }
    for (;;) {
        hostent* found = nullptr;
        int hostError = 0;
        int rc = gethostbyname_r(name, &r.entry, r.buffer.data(), r.buffer.size(), &found, &hostError);
        if (rc == ERANGE && r.buffer.size() < (1u << 20)) {
            r.buffer.resize(r.buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found) {
            SetWsaError(hostError == NO_DATA ? kNoData : kHostNotFound);
            return nullptr;
        }
        return found;
    }
}

PLATAPI struct servent* PlatGetServByName(const char* name, const char* protocol) {
    if (!name) {
        SetWsaError(kNoData);
        return nullptr;
    }
    ServResult& r = t_serv;
    for (;;) {
        servent* found = nullptr;
        int rc = getservbyname_r(name, protocol, &r.entry, r.buffer.data(), r.buffer.size(), &found);
        if (rc == ERANGE && r.buffer.size() < (1u << 20)) {
            r.buffer.resize(r.buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found) {
            SetWsaError(kNoData);
            return nullptr;
        }
        return found;
    }
}

// ---- socket calls with Winsock's behaviour ----

PLATAPI void WSASetLastError(int error) {
    errno = error;
}

PLATAPI int PlatWsaErrorFromErrno(int error) {
    switch (error) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF:
    case ENOTSOCK: return WSAENOTSOCK;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS: return WSAEWOULDBLOCK; // a non-blocking connect under way, as Winsock says it
    case EALREADY: return WSAEALREADY;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET; // the connection is gone
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
    }
}

PLATAPI int closesocket(SOCKET s) {
    return close(s) == 0 ? 0 : SOCKET_ERROR;
}

PLATAPI int ioctlsocket(SOCKET s, long command, u_long* argument) {
    if (!argument) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    if (command == (long)FIONBIO) {
        int flags = fcntl(s, F_GETFL, 0);
        if (flags < 0) return SOCKET_ERROR;
        flags = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
        return fcntl(s, F_SETFL, flags) == 0 ? 0 : SOCKET_ERROR;
    }
    if (command == (long)FIONREAD) {
        int waiting = 0;
        if (ioctl(s, FIONREAD, &waiting) != 0) return SOCKET_ERROR;
        *argument = (u_long)waiting;
        return 0;
    }
    errno = EINVAL;
    return SOCKET_ERROR;
}

PLATAPI int PlatSend(SOCKET s, const char* buffer, int length, int flags) {
    if (length < 0) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    ssize_t sent = send(s, buffer, (size_t)length, flags | MSG_NOSIGNAL);
    return sent < 0 ? SOCKET_ERROR : (int)sent;
}

PLATAPI int PlatSendTo(SOCKET s, const char* buffer, int length, int flags, const struct sockaddr* to, int toLength) {
    if (length < 0 || toLength < 0) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    ssize_t sent = sendto(s, buffer, (size_t)length, flags | MSG_NOSIGNAL, to, (socklen_t)toLength);
    return sent < 0 ? SOCKET_ERROR : (int)sent;
}

namespace {

// One receive through recvmsg, which tells when a datagram did not fit.
int ReceiveMessage(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from, int* fromLength) {
    if (length < 0 || (fromLength && *fromLength < 0)) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    iovec part{buffer, (size_t)length};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (from && fromLength) {
        message.msg_name = from;
        message.msg_namelen = (socklen_t)*fromLength;
    }
    ssize_t got = recvmsg(s, &message, flags);
    if (got < 0) return SOCKET_ERROR;
    if (from && fromLength) *fromLength = (int)message.msg_namelen;
    if (message.msg_flags & MSG_TRUNC) {
        errno = EMSGSIZE;
        return SOCKET_ERROR;
    }
    return (int)got;
}

}  // namespace

PLATAPI int PlatRecv(SOCKET s, char* buffer, int length, int flags) {
    return ReceiveMessage(s, buffer, length, flags, nullptr, nullptr);
}

PLATAPI int PlatRecvFrom(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from, int* fromLength) {
    return ReceiveMessage(s, buffer, length, flags, from, fromLength);
}

PLATAPI int PlatSelect(int, PLAT_FD_SET* readable, PLAT_FD_SET* writable, PLAT_FD_SET* exceptional,
                       const struct timeval* timeout) {
    // poll serves any descriptor number (FD_SET stops at 1024); the sets keep Winsock's shape.
    PLAT_FD_SET* sets[3] = {readable, writable, exceptional};
    constexpr short kAsk[3] = {POLLIN, POLLOUT, POLLPRI};
    constexpr short kReady[3] = {POLLIN | POLLHUP | POLLERR | POLLRDHUP, POLLOUT | POLLHUP | POLLERR, POLLPRI};
    pollfd fds[3 * PLAT_FD_SETSIZE];
    nfds_t count = 0;
    for (int k = 0; k < 3; ++k) {
        if (!sets[k]) continue;
        if (sets[k]->fd_count > (u_int)PLAT_FD_SETSIZE) {
            errno = WSAEINVAL;
            return SOCKET_ERROR;
        }
        for (u_int i = 0; i < sets[k]->fd_count; ++i) {
            if (sets[k]->fd_array[i] < 0) {
                errno = WSAENOTSOCK;
                return SOCKET_ERROR;
            }
            fds[count++] = pollfd{sets[k]->fd_array[i], kAsk[k], 0};
        }
    }
    if (count == 0) {
        errno = WSAEINVAL;
        return SOCKET_ERROR;
    }
    int limit = -1;
    if (timeout) {
        long long ms = (long long)timeout->tv_sec * 1000 + ((long long)timeout->tv_usec + 999) / 1000;
        limit = ms < 0 ? 0 : ms > INT_MAX ? INT_MAX : (int)ms;
    }
    int rc = poll(fds, count, limit);
    if (rc < 0) return SOCKET_ERROR;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents & POLLNVAL) {
            errno = WSAENOTSOCK;
            return SOCKET_ERROR;
        }
    }
    int ready = 0;
    nfds_t at = 0;
    for (int k = 0; k < 3; ++k) {
        if (!sets[k]) continue;
        u_int kept = 0;
        for (u_int i = 0; i < sets[k]->fd_count; ++i, ++at) {
            if (fds[at].revents & kReady[k]) sets[k]->fd_array[kept++] = fds[at].fd;
        }
        sets[k]->fd_count = kept;
        ready += (int)kept;
    }
    return ready;
}
