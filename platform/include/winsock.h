// Windows Sockets 1.1 as the network library uses it. The socket calls keep their Berkeley names
// and meaning (they are the same functions); this header adds the Winsock start and stop, the
// Winsock error codes and the calls whose Berkeley twins behave differently (below), and the
// host and service look-ups, which here are safe to call from several threads at once (each
// thread gets its own result record, as Winsock gives) and answer the machine's own host name
// with PLATFORM_HOST_ADDRESS when that is set. Implemented in platform/src/winsock.cpp.
#pragma once
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "win32.h"

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | (((WORD)(BYTE)(high)) << 8)))
#define LOBYTE(w) ((BYTE)((w) & 0xFF))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xFF))

enum : int { WSASYSNOTREADY = 10091, WSAVERNOTSUPPORTED = 10092, WSANOTINITIALISED = 10093 };

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

// Version 1.1 is offered (and 2.2 as the highest); a request below 1.1 is refused.
PLATAPI int WSAStartup(WORD versionRequested, WSADATA* data);
PLATAPI int WSACleanup(void);
PLATAPI int WSAGetLastError(void);

// The look-ups: same arguments and results as the Berkeley calls of the same names.
PLATAPI struct hostent* PlatGetHostByName(const char* name);
PLATAPI struct servent* PlatGetServByName(const char* name, const char* protocol);
#define gethostbyname PlatGetHostByName
#define getservbyname PlatGetServByName

// ---- Socket calls with Winsock's behaviour ----
// The last socket error of the calling thread, as Winsock's codes. It is errno underneath: every
// Berkeley call and every call of this layer leaves its error there, and WSAGetLastError reads it
// (a code of 10000 and up is a Winsock code that this layer put there itself). A non-blocking
// connect under way reads as WSAEWOULDBLOCK, as Winsock reports it; a send on a connection that is
// gone reads as WSAECONNRESET.
enum : int {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEDESTADDRREQ = 10039,
    WSAEMSGSIZE = 10040,
    WSAEPROTOTYPE = 10041,
    WSAENOPROTOOPT = 10042,
    WSAEPROTONOSUPPORT = 10043,
    WSAESOCKTNOSUPPORT = 10044,
    WSAEOPNOTSUPP = 10045,
    WSAEPFNOSUPPORT = 10046,
    WSAEAFNOSUPPORT = 10047,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAHOST_NOT_FOUND = 11001,
    WSANO_DATA = 11004,
};
PLATAPI void WSASetLastError(int error);
// The Winsock code of a Berkeley errno value (0 for 0).
PLATAPI int PlatWsaErrorFromErrno(int error);

enum : int { SD_RECEIVE = 0, SD_SEND = 1, SD_BOTH = 2 };
PLATAPI int closesocket(SOCKET s);
// FIONBIO (non-zero: non-blocking) and FIONREAD (bytes waiting).
PLATAPI int ioctlsocket(SOCKET s, long command, u_long* argument);

// Sends never raise a signal, whatever happened to the connection (Winsock has no SIGPIPE).
PLATAPI int PlatSend(SOCKET s, const char* buffer, int length, int flags);
PLATAPI int PlatSendTo(SOCKET s, const char* buffer, int length, int flags, const struct sockaddr* to, int toLength);
// Receives report a datagram longer than the buffer as Winsock does: the buffer is filled with its
// start, the rest is lost, and the call fails with WSAEMSGSIZE.
PLATAPI int PlatRecv(SOCKET s, char* buffer, int length, int flags);
PLATAPI int PlatRecvFrom(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from, int* fromLength);

// Winsock's socket set: a count and an array, at most PLAT_FD_SETSIZE sockets, any socket number.
constexpr int PLAT_FD_SETSIZE = 64;
struct PLAT_FD_SET {
    u_int fd_count;
    SOCKET fd_array[PLAT_FD_SETSIZE];
};
// select as Winsock has it: `highest` is ignored; each given set is rewritten to hold its ready
// sockets in their order; the result is how many entries are ready in all (0 when the time limit
// ends; a null limit waits without one). A socket is readable when data, a connection to accept,
// the end of the stream or an error waits; writable when it can send, or when a connect under way
// has ended (well or not: ask SO_ERROR); exceptional when out-of-band data waits. A set entry that
// is not an open descriptor fails the call with WSAENOTSOCK; empty sets fail it with WSAEINVAL.
PLATAPI int PlatSelect(int highest, PLAT_FD_SET* readable, PLAT_FD_SET* writable, PLAT_FD_SET* exceptional,
                       const struct timeval* timeout);
