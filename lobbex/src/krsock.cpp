// Windows Sockets start and stop for the library, with this machine's host name and address,
// and the socket address builder from dotted text or a host name.
#include <atomic>
#include <cstring>

#include "krlog.h"
#include "krsock.h"
#include "winsock.h"

namespace {
std::atomic<bool> g_KrWinsockStarted{false};
}

int KrWinsockStartup(char* hostName, struct sockaddr_in* address) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        KrMessageBox("No Suitable Winsock Found.", "Winsock Error");
        return -1;
    }
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
        KrMessageBox("Winsock found, but wrong version.", "Winsock Error");
        WSACleanup();
        return -2;
    }
    if (g_KrWinsockStarted.exchange(true)) WSACleanup(); // started once: keep one start
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    if (hostName) strmcpy(hostName, name, 255);
    hostent* host = gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0]) {
        KrMessageBox(name, "gethostbyname() failed");
        return -3;
    }
    if (address) {
        std::memset(address, 0, sizeof *address);
        address->sin_family = AF_INET;
        address->sin_port = htons(0);
        std::memcpy(&address->sin_addr, host->h_addr_list[0], 4);
    }
    return 0;
}

int KrWinsockCleanup(void) {
    if (g_KrWinsockStarted.exchange(false)) WSACleanup();
    return 0;
}

LOBBEX_API int BuildSockAddr(struct sockaddr_in* address, const char* hostText, int port) {
    if (!address || !hostText) return -1;
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((uint16_t)port);
    in_addr_t ip = inet_addr(hostText);
    if (ip == INADDR_NONE) {
        hostent* host = gethostbyname(hostText);
        if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0]) {
            KrMessageBox("gethostbyname() could not find that host.", hostText);
            return -1;
        }
        std::memcpy(&ip, host->h_addr_list[0], 4);
    }
    address->sin_addr.s_addr = ip;
    return 0;
}
