// What the internet back ends share (krioinet): the port ranges of TCP and UDP and the binding of
// a channel's socket, which searches a wildcard port through the range of the channel's io type.
#include "krioinet.h"

#include <atomic>

#include "krerrno.h"
#include "krlog.h"
#include "krtime.h"

namespace {

constexpr char kKrModule[] = "krioinet";

std::atomic<uint32_t> g_KrTcpPortRange{KRIO_PORT_RANGE_DEFAULT};
std::atomic<uint32_t> g_KrUdpPortRange{KRIO_PORT_RANGE_DEFAULT};

void Dotted(uint32_t networkAddress, int out[4]) {
    uint32_t host = ntohl(networkAddress);
    for (int i = 0; i < 4; ++i) out[i] = (int)((host >> (24 - 8 * i)) & 0xFF);
}

}  // namespace

void KrIOInetPortRange(uint32_t ioType, uint32_t* first, uint32_t* count) {
    uint32_t value = (ioType == KRIO_TYPE_TCP ? g_KrTcpPortRange : g_KrUdpPortRange).load();
    *first = value >> 16;
    *count = value & 0xFFFF;
}

int KrIOInetPortRangeSet(uint32_t ioType, uint32_t value) {
    const uint32_t first = value >> 16, count = value & 0xFFFF;
    // An empty range, port 0 or one that runs past the last port could never be searched.
    if (count == 0 || first == 0 || first + count > 0x10000) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrIOInetPortRangeSet: Illegal port range %u+%u.", first, count);
        return 1;
    }
    (ioType == KRIO_TYPE_TCP ? g_KrTcpPortRange : g_KrUdpPortRange).store(value);
    return 0;
}

int KrIOInetBind(KRIO_HNDL* channel) {
    sockaddr_in address = channel->local;
    address.sin_family = AF_INET;
    if (address.sin_port != 0) {
        if (bind(channel->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            channel->local = address;
            return 0;
        }
        int error = WSAGetLastError();
        KrErrorSet(KRERR_SOCKET);
        if (error == WSAEADDRINUSE)
            KR_LOG(KrAlert, "KrIOInetBind: Failed to bind to 0x%x/0x%x which was already in use",
                   (unsigned)ntohl(address.sin_addr.s_addr), (unsigned)ntohs(address.sin_port));
        else
            KR_LOG(KrCrit, "KrIOInetBind: Failed to bind to 0x%x/0x%x (errno=%d)", (unsigned)ntohl(address.sin_addr.s_addr),
                   (unsigned)ntohs(address.sin_port), error);
        return 1;
    }
    uint32_t first = 0, count = 0;
    KrIOInetPortRange(channel->ioType, &first, &count);
    KRTIME now;
    KrGetTime(&now);
    const uint32_t start =
        (uint32_t)(((uintptr_t)channel / 4 + GetCurrentProcessId() + GetCurrentThreadId() + now.msec) % count);
    uint32_t offset = start, tried = 0;
    int lastError = 0;
    do {
        address.sin_port = htons((uint16_t)(first + offset));
        tried++;
        if (bind(channel->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            channel->local = address;
            return 0;
        }
        lastError = WSAGetLastError();
        if (lastError != WSAEADDRINUSE) {
            int d[4];
            Dotted(address.sin_addr.s_addr, d);
            KrErrorSet(KRERR_SOCKET);
            KR_LOG(KrCrit, "KrIOInetBind: bind of %d.%d.%d.%d:%d failed unexpectedly, %d attempt, error %d", d[0], d[1],
                   d[2], d[3], (int)(first + offset), (int)tried, lastError);
            return 1;
        }
        offset = (offset + 1) % count;
    } while (offset != start);
    KrErrorSet(KRERR_SOCKET);
    KR_LOG(KrAlert,
           "KrIOInetBind: Unable to find a port to bind (base=%d, extent=%d, start=%d, tried %d ports, last err=%d)",
           (int)first, (int)count, (int)start, (int)tried, lastError);
    return 1;
}

namespace {
const KrIOProtocolOption* FindProtocolOption(const KrIOProtocolOption* table, size_t rows, uint32_t id) {
    for (size_t i = 0; i < rows; ++i)
        if (table[i].id == id) return &table[i];
    return nullptr;
}
}  // namespace

int KrIOProtocolOptionGet(const KrIOProtocolOption* table, size_t rows, uint32_t id, uint32_t* value) {
    const KrIOProtocolOption* o = FindProtocolOption(table, rows, id);
    if (!o) {
        KrErrorSet(KRERR_NO_ENTRY);
        return 1;
    }
    return o->get(value);
}

int KrIOProtocolOptionsSet(const KrIOProtocolOption* table, size_t rows, const KRIO_OPTION* options,
                           uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const KrIOProtocolOption* o = FindProtocolOption(table, rows, options[i].id);
        if (!o) {
            KrErrorSet(KRERR_NO_ENTRY);
            return 1;
        }
        if (o->set(options[i].value) != 0) return 1;
    }
    return 0;
}
