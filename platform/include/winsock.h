// Windows Sockets 1.1 as the network library uses it. The socket calls keep their Berkeley names
// and meaning (they are the same functions); this header adds the Winsock start and stop, and
// the host and service look-ups, which here are safe to call from several threads at once (each
// thread gets its own result record, as Winsock gives) and answer the machine's own host name
// with PLATFORM_HOST_ADDRESS when that is set. Implemented in platform/src/winsock.cpp.
#pragma once
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
