// Windows Sockets start and stop, and thread-safe host and service look-ups (winsock.h). The
// machine's own host name resolves to PLATFORM_HOST_ADDRESS when that is set, so tests on
// loopback and machines whose name the resolver does not know still find "their" address.
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "winsock.h"

namespace {

std::atomic<int> g_startups{0};
thread_local int t_wsaError = 0;

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
        t_wsaError = WSANOTINITIALISED;
        return SOCKET_ERROR;
    }
    return 0;
}

PLATAPI int WSAGetLastError(void) {
    return t_wsaError;
}

PLATAPI struct hostent* PlatGetHostByName(const char* name) {
    if (!name) {
        t_wsaError = kHostNotFound;
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
            t_wsaError = hostError == NO_DATA ? kNoData : kHostNotFound;
            return nullptr;
        }
        return found;
    }
}

PLATAPI struct servent* PlatGetServByName(const char* name, const char* protocol) {
    if (!name) {
        t_wsaError = kNoData;
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
            t_wsaError = kNoData;
            return nullptr;
        }
        return found;
    }
}
