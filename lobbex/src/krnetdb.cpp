// Transport addresses (see krnetdb.h): the text forms "family/host/port" and
// "host/port[/KRADDR]", conversions between KRTLADDR and socket addresses, the field getters and
// setters, matching, and this machine's address. Texts are split at "/" without ever reading
// past their end, and an address is changed only when the whole text parsed.
#include "krnetdb.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "krerrno.h"
#include "krlog.h"

namespace {

constexpr char kKrModule[] = "krnetdb";

bool IsIp(uint16_t family) {
    return family == KRTL_TCP || family == KRTL_UDP;
}

// The address that carries port and IPv4: the inner one of a family-4 address. Null when the
// family (or the inner family) has none.
const KRTLADDR_INNER* IpPart(const KRTLADDR* a, uint16_t* family) {
    if (IsIp(a->family)) {
        *family = a->family;
        return reinterpret_cast<const KRTLADDR_INNER*>(a);
    }
    if (a->family == KRTL_KRADDR && IsIp(a->inner.family)) {
        *family = a->inner.family;
        return &a->inner;
    }
    *family = a->family == KRTL_KRADDR ? a->inner.family : a->family;
    return nullptr;
}

KRTLADDR_INNER* IpPart(KRTLADDR* a, uint16_t* family) {
    return const_cast<KRTLADDR_INNER*>(IpPart(static_cast<const KRTLADDR*>(a), family));
}

uint32_t Unsupported(const char* text, uint16_t family) {
    KrErrorSet(KRERR_FAMILY);
    kr_log(kKrModule, __LINE__, KrErr, "%s%d", text, (int)family);
    return 1;
}

uint32_t InvalidParameters(const char* operation) {
    KrErrorSet(KRERR_PARAM);
    kr_log(kKrModule, __LINE__, KrErr, "%s: Invalid Parameters", operation);
    return 1;
}

void PlainSockAddr(uint16_t port, uint32_t ip, sockaddr_in* out) {
    std::memset(out, 0, sizeof *out); // bytes 8-15 too: addresses are compared whole
    out->sin_family = AF_INET;
    out->sin_port = port;
    out->sin_addr.s_addr = ip;
}

// Splits the next word off `rest` at "/": false when nothing is left. After the last word
// `rest` is null.
bool NextWord(const char*& rest, std::string& word) {
    if (!rest) return false;
    const char* slash = std::strchr(rest, '/');
    if (slash) {
        word.assign(rest, (size_t)(slash - rest));
        rest = slash + 1;
    } else {
        word.assign(rest);
        rest = nullptr;
    }
    return true;
}

// A host word: "*" any, "." keep, a dotted address or a host name.
bool ParseHost(const std::string& word, uint32_t* ip) {
    if (word == "*") {
        *ip = 0;
        return true;
    }
    if (word == ".") return true;
    in_addr_t dotted = inet_addr(word.c_str());
    if (dotted != INADDR_NONE) {
        *ip = dotted;
        return true;
    }
    hostent* host = gethostbyname(word.c_str());
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0]) return false;
    std::memcpy(ip, host->h_addr_list[0], 4);
    return true;
}

// A port word: "*" any, "." keep, a number (decimal, 0x hex, leading-zero octal), or, when it
// reads as 0, a service name; an unknown service is port 0xFFFF.
void ParsePort(const std::string& word, const char* protocol, uint16_t* port) {
    if (word == "*") {
        *port = 0;
        return;
    }
    if (word == ".") return;
    unsigned long number = std::strtoul(word.c_str(), nullptr, 0);
    if (number != 0) {
        *port = htons((uint16_t)number);
        return;
    }
    servent* service = getservbyname(word.c_str(), protocol);
    *port = service ? (uint16_t)service->s_port : (uint16_t)0xFFFF;
}

}  // namespace

LOBBEX_API uint32_t KrStringToTlAddr(const char* text, KRTLADDR* address) {
    if (!text || !address) return 1;
    const char* rest = text;
    std::string word;
    NextWord(rest, word);
    uint16_t family;
    if (strcasecmp(word.c_str(), "tcp") == 0)
        family = KRTL_TCP;
    else if (strcasecmp(word.c_str(), "udp") == 0)
        family = KRTL_UDP;
    else if (word == "*")
        family = address->family;
    else
        return 1;
    if (!IsIp(family)) return 1;
    uint32_t ip = address->addr;
    uint16_t port = address->port;
    if (!NextWord(rest, word) || !ParseHost(word, &ip)) return 1;
    if (!NextWord(rest, word)) return 1; // a host without a port
    ParsePort(word, family == KRTL_TCP ? "tcp" : "udp", &port);
    // Anything after the port is ignored.
    address->family = family;
    address->port = port;
    address->addr = ip;
    address->inner = KRTLADDR_INNER{0, 0, 0};
    return 0;
}

struct sockaddr* KrStringToSockAddr(const char* text, KRQSOCKADDR* out, int dataType) {
    if (!text || !out) return nullptr;
    const char* rest = text;
    std::string word;
    uint32_t ip = out->in.sin_addr.s_addr;
    uint16_t port = out->in.sin_port;
    NextWord(rest, word);
    if (!ParseHost(word, &ip)) return nullptr;
    if (!NextWord(rest, word)) return nullptr;
    ParsePort(word, dataType == KR_IO_STREAM ? "tcp" : "udp", &port);
    if (!NextWord(rest, word)) {
        PlainSockAddr(port, ip, &out->in);
        return reinterpret_cast<sockaddr*>(&out->in);
    }
    uint32_t kraddr = out->kraddr;
    if (word == "*")
        kraddr = htonl(KRADDR_NONE);
    else if (word != ".")
        kraddr = htonl((uint32_t)std::strtoul(word.c_str(), nullptr, 0));
    PlainSockAddr(port, ip, &out->in);
    out->family = KR_AF_KRADDR;
    out->zero = 0;
    out->kraddr = kraddr;
    return reinterpret_cast<sockaddr*>(out);
}

LOBBEX_API int KRTLADDRtostr(const KRTLADDR* address, char* buffer) {
    if (!address || !buffer) return 0;
    static constexpr const char* kNames[] = {"unspec", "unix", "tcp", "udp"};
    const char* name = address->family < 4 ? kNames[address->family] : "unknown";
    uint8_t b[4];
    std::memcpy(b, &address->addr, 4);
    int n = std::snprintf(buffer, KR_TLADDR_TEXT, "%s/%d.%d.%d.%d/%d", name, b[0], b[1], b[2], b[3],
                          (int)ntohs(address->port));
    return n < 0 ? 0 : n;
}

LOBBEX_API uint32_t KrTlToSockAddr(const KRTLADDR* address, struct sockaddr* socketAddress, int* dataType) {
    if (!address || !socketAddress || !dataType) return InvalidParameters("KrTlToSockAddr");
    if (IsIp(address->family)) {
        sockaddr_in in;
        PlainSockAddr(address->port, address->addr, &in);
        std::memcpy(socketAddress, &in, sizeof in);
        *dataType = address->family == KRTL_TCP ? KR_IO_STREAM : KR_IO_DGRAM;
        return 0;
    }
    if (address->family == KRTL_KRADDR && IsIp(address->inner.family)) {
        KRQSOCKADDR q;
        std::memset(&q, 0, sizeof q);
        q.family = KR_AF_KRADDR;
        q.kraddr = address->addr;
        PlainSockAddr(address->inner.port, address->inner.addr, &q.in);
        std::memcpy(socketAddress, &q, sizeof q);
        *dataType = address->inner.family == KRTL_TCP ? KR_IO_STREAM : KR_IO_DGRAM;
        return 0;
    }
    uint16_t family;
    IpPart(address, &family);
    return Unsupported("KrTlToSockAddr: Unsupported Korrin Tranport-layer protocol stack ", family);
}

uint32_t KrTlToInnerSockAddr(const KRTLADDR* address, struct sockaddr* socketAddress, int* dataType) {
    if (address && address->family == KRTL_KRADDR) {
        KRTLADDR inner;
        std::memset(&inner, 0, sizeof inner);
        inner.family = address->inner.family;
        inner.port = address->inner.port;
        inner.addr = address->inner.addr;
        return KrTlToSockAddr(&inner, socketAddress, dataType);
    }
    return KrTlToSockAddr(address, socketAddress, dataType);
}

uint32_t KrSockToTlAddr(const struct sockaddr* socketAddress, int dataType, KRTLADDR* address) {
    if (!socketAddress || !address) return InvalidParameters("KrSockToTlAddr");
    uint16_t socketFamily;
    std::memcpy(&socketFamily, socketAddress, sizeof socketFamily);
    const uint16_t family = dataType == KR_IO_STREAM ? KRTL_TCP : dataType == KR_IO_DGRAM ? KRTL_UDP : 0;
    if (socketFamily == AF_INET) {
        sockaddr_in in;
        std::memcpy(&in, socketAddress, sizeof in);
        address->port = in.sin_port;
        address->addr = in.sin_addr.s_addr;
        if (!family) {
            KrErrorSet(KRERR_FAMILY);
            KR_LOG(KrErr, "KrSockToTlAddr: Illegal socket type %d", dataType);
            return 1;
        }
        address->family = family;
        address->inner = KRTLADDR_INNER{0, 0, 0};
        return 0;
    }
    if (socketFamily == KR_AF_KRADDR) {
        KRQSOCKADDR q;
        std::memcpy(&q, socketAddress, sizeof q);
        address->addr = q.kraddr;
        address->port = 0;
        if (!family) {
            KrErrorSet(KRERR_FAMILY);
            KR_LOG(KrErr, "KrSockToTlAddr: Illegal socket type %d", dataType);
            return 1;
        }
        address->family = KRTL_KRADDR;
        address->inner = KRTLADDR_INNER{family, q.in.sin_port, q.in.sin_addr.s_addr};
        return 0;
    }
    KrErrorSet(KRERR_FAMILY);
    KR_LOG(KrErr, "KrSockToTlAddr: Unsupported socket family %d", (int)socketFamily);
    return 1;
}

uint32_t KrTlToIODataType(const KRTLADDR* address, int* dataType) {
    if (!address || !dataType) return InvalidParameters("KrTlToIODataType");
    uint16_t family;
    if (!IpPart(address, &family))
        return Unsupported("KrTlToIODataType: Unsupported Korrin Tranport-layer protocol stack ", family);
    *dataType = family == KRTL_TCP ? KR_IO_STREAM : KR_IO_DGRAM;
    return 0;
}

uint32_t KrTlAddrZero(KRTLADDR* address, int family) {
    if (!address) return InvalidParameters("KrTlAddrZero");
    if (family != KRTL_TCP && family != KRTL_UDP && family != KRTL_KRADDR)
        return Unsupported("KrTlToSockAddr: Unsupported Korrin Transport-layer protocol stack ", (uint16_t)family);
    std::memset(address, 0, sizeof *address);
    address->family = (uint16_t)family;
    if (family == KRTL_KRADDR) {
        address->addr = htonl(KRADDR_NONE);
        address->inner.family = KRTL_TCP;
    }
    return 0;
}

uint32_t KrSetTlIPAddr(KRTLADDR* address, uint32_t ip) {
    if (!address) return InvalidParameters("KrSetTlIPAddr");
    uint16_t family;
    KRTLADDR_INNER* part = IpPart(address, &family);
    if (!part) return Unsupported("KrSetTlIPAddr: Unsupported Korrin Transport-layer protocol stack ", family);
    part->addr = ip;
    return 0;
}

uint32_t KrGetTlIPAddr(const KRTLADDR* address, uint32_t* ip) {
    if (!address || !ip) return InvalidParameters("KrGetTlIPAddr");
    uint16_t family;
    const KRTLADDR_INNER* part = IpPart(address, &family);
    if (!part) return Unsupported("KrGetTlIPAddr: Unsupported Korrin Transport-layer protocol stack ", family);
    *ip = part->addr;
    return 0;
}

uint32_t KrSetTlIPPort(KRTLADDR* address, uint16_t port) {
    if (!address) return InvalidParameters("KrSetTlIPPort");
    uint16_t family;
    KRTLADDR_INNER* part = IpPart(address, &family);
    if (!part) return Unsupported("KrSetTlIPPort: Unsupported Korrin Transport-layer protocol stack ", family);
    part->port = port;
    return 0;
}

uint32_t KrGetTlIPPort(const KRTLADDR* address, uint16_t* port) {
    if (!address || !port) return InvalidParameters("KrGetTlIPPort");
    uint16_t family;
    const KRTLADDR_INNER* part = IpPart(address, &family);
    if (!part) return Unsupported("KrGetTlIPPort: Unsupported Korrin Transport-layer protocol stack ", family);
    *port = part->port;
    return 0;
}

uint32_t KrSetTlKRADDR(KRTLADDR* address, KRADDR kraddr) {
    if (!address) return InvalidParameters("KrSetTlKRADDR");
    if (address->family == KRTL_KRADDR) {
        address->addr = htonl(kraddr);
        return 0;
    }
    if (IsIp(address->family)) {
        const KRTLADDR_INNER old = {address->family, address->port, address->addr};
        address->family = KRTL_KRADDR;
        address->port = 0;
        address->addr = htonl(kraddr);
        address->inner = old;
        return 0;
    }
    return Unsupported("KrSetTlKRADDR: Unsupported Korrin Transport-layer protocol stack ", address->family);
}

uint32_t KrGetTlKRADDR(const KRTLADDR* address, KRADDR* kraddr) {
    if (!address || !kraddr) return InvalidParameters("KrGetTlKRADDR");
    if (address->family == KRTL_KRADDR) {
        *kraddr = ntohl(address->addr);
        return 0;
    }
    if (IsIp(address->family)) {
        *kraddr = KRADDR_NONE;
        return 0;
    }
    return Unsupported("KrGetTlKRADDR: Unsupported Korrin Transport-layer protocol stack ", address->family);
}

int KrTlAddrIsReliable(const KRTLADDR* address) {
    if (!address) return 0;
    uint16_t family;
    if (!IpPart(address, &family)) {
        Unsupported("KrTlAddrIsReliable: Unsupported Korrin Transport-layer protocol stack ", family);
        return 0;
    }
    return family == KRTL_TCP ? 1 : 0;
}

int KrTlAddrIsUnreliable(const KRTLADDR* address) {
    if (!address) return 0;
    uint16_t family;
    if (!IpPart(address, &family)) {
        Unsupported("KrTlAddrIsUnreliable: Unsupported Korrin Transport-layer protocol stack ", family);
        return 0;
    }
    return family == KRTL_UDP ? 1 : 0;
}

int KrTlAddrProtoTypeGet(const KRTLADDR* address) {
    if (!address) return 0;
    uint16_t family;
    if (!IpPart(address, &family)) {
        Unsupported("KrTlAddrProtoTypeGet: Unsupported Korrin Transport-layer protocol stack ", family);
        return 0;
    }
    return family == KRTL_TCP ? 1 : 2;
}

int KrTlAddrIPEqual(const KRTLADDR* a, const KRTLADDR* b) {
    if (!a || !b) return 0;
    const uint32_t ipA = a->family == KRTL_KRADDR ? a->inner.addr : a->addr;
    const uint32_t ipB = b->family == KRTL_KRADDR ? b->inner.addr : b->addr;
    return ipA == ipB ? 1 : 0;
}

namespace {
int Match(uint16_t portA, uint32_t ipA, uint16_t portB, uint32_t ipB, int wildcard) {
    if (!wildcard) return portA == portB && ipA == ipB ? 1 : 0;
    const bool ports = portA == portB || portA == 0 || portB == 0;
    const bool ips = ipA == ipB || ipA == 0 || ipB == 0;
    return ports && ips ? 1 : 0;
}
}  // namespace

int KrTlAddrMatch(const KRTLADDR* a, const KRTLADDR* b, int wildcard) {
    if (!a || !b || a->family != b->family) return 0;
    if (a->family == KRTL_KRADDR)
        return Match(a->inner.port, a->inner.addr, b->inner.port, b->inner.addr, wildcard);
    return Match(a->port, a->addr, b->port, b->addr, wildcard);
}

int KrSockAddrMatch(const sockaddr_in* a, const sockaddr_in* b, int wildcard) {
    if (!a || !b) return 0;
    return Match(a->sin_port, a->sin_addr.s_addr, b->sin_port, b->sin_addr.s_addr, wildcard);
}

void KrSockAddrAny(sockaddr_in* address) {
    if (address) PlainSockAddr(0, 0, address);
}

uint32_t KrSockAddrIPGet(const sockaddr_in* address) {
    return address && address->sin_family == AF_INET ? address->sin_addr.s_addr : 0xFFFFFFFFu;
}

uint16_t KrSockAddrPortGet(const sockaddr_in* address) {
    return address && address->sin_family == AF_INET ? address->sin_port : (uint16_t)0xFFFF;
}

int KrInAddrIsAny(uint32_t ip) {
    return ip == 0 ? 1 : 0;
}

int KrInPortIsAny(uint16_t port) {
    return port == 0 ? 1 : 0;
}

uint32_t KrGetHostIPAddr(void) {
    char name[1025] = {};
    if (gethostname(name, 1024) != 0) {
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "KrGetHostIPAddr: Unable to get host name.");
        return 0xFFFFFFFFu;
    }
    hostent* host = gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0]) {
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "KrGetHostIPAddr: Unable to get address for host <%s>.", name);
        return 0xFFFFFFFFu;
    }
    uint32_t ip;
    std::memcpy(&ip, host->h_addr_list[0], 4);
    return ip;
}
