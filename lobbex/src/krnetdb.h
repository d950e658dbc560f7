// Transport addresses (krnetdb): KRTLADDR and its text form, conversions to and from socket
// addresses, matching with and without wildcards, and the compact packings of KRADDR values and
// 31-bit numbers used by multicast headers. Operations that return a status give 0 for success
// and 1 for failure, with KrErrno set. KrStringToTlAddr, KRTLADDRtostr and KrTlToSockAddr are
// exported (lobbex_exports.h).
#pragma once
#include <cstdint>

#include "krtypes.h"
#include "lobbex_exports.h"
#include "winsock.h"

// The qualified socket address, the socket-level twin of a family-4 transport address: family
// KR_AF_KRADDR, the KRADDR (network order), then an ordinary IPv4 socket address. The family is
// the library's own marker and is never handed to the system.
constexpr uint16_t KR_AF_KRADDR = 5;
struct KRQSOCKADDR {
    uint16_t family;
    uint16_t zero;
    uint32_t kraddr;
    sockaddr_in in;
};
static_assert(sizeof(KRQSOCKADDR) == 24, "a qualified socket address is 24 bytes");
// Room for any socket address these operations write (plain or qualified).
typedef KRQSOCKADDR KRSOCKADDR_STORAGE;

// Socket data types.
enum : int { KR_IO_STREAM = 1, KR_IO_DGRAM = 2 };

// Characters KRTLADDRtostr may write, terminator included.
constexpr int KR_TLADDR_TEXT = 32;

uint32_t KrTlToInnerSockAddr(const KRTLADDR* address, struct sockaddr* socketAddress, int* dataType);
uint32_t KrSockToTlAddr(const struct sockaddr* socketAddress, int dataType, KRTLADDR* address);
uint32_t KrTlToIODataType(const KRTLADDR* address, int* dataType);
uint32_t KrTlAddrZero(KRTLADDR* address, int family);
uint32_t KrSetTlIPAddr(KRTLADDR* address, uint32_t ip);
uint32_t KrGetTlIPAddr(const KRTLADDR* address, uint32_t* ip);
uint32_t KrSetTlIPPort(KRTLADDR* address, uint16_t port);
uint32_t KrGetTlIPPort(const KRTLADDR* address, uint16_t* port);
uint32_t KrSetTlKRADDR(KRTLADDR* address, KRADDR kraddr);
uint32_t KrGetTlKRADDR(const KRTLADDR* address, KRADDR* kraddr);
int KrTlAddrIsReliable(const KRTLADDR* address);
int KrTlAddrIsUnreliable(const KRTLADDR* address);
int KrTlAddrProtoTypeGet(const KRTLADDR* address); // 1 tcp, 2 udp, 0 other
int KrTlAddrIPEqual(const KRTLADDR* a, const KRTLADDR* b);
int KrTlAddrMatch(const KRTLADDR* a, const KRTLADDR* b, int wildcard);
int KrSockAddrMatch(const sockaddr_in* a, const sockaddr_in* b, int wildcard);
void KrSockAddrAny(sockaddr_in* address);
uint32_t KrSockAddrIPGet(const sockaddr_in* address);
uint16_t KrSockAddrPortGet(const sockaddr_in* address);
int KrInAddrIsAny(uint32_t ip);
int KrInPortIsAny(uint16_t port);
uint32_t KrGetHostIPAddr(void);
// "host/port[/KRADDR]": the plain address (&out->in) or, with a KRADDR, the qualified one; null
// when the text does not parse. `out` is changed only on success.
struct sockaddr* KrStringToSockAddr(const char* text, KRQSOCKADDR* out, int dataType);

// Packings. The unpackers read at most `length` bytes and answer 0 with KrErrno 2 when the
// packed value is longer than what is there.
uint32_t Kr31Pack(uint32_t value, uint8_t* out);
uint32_t Kr31Unpack(const uint8_t* in, uint32_t length, uint32_t* value);
uint32_t KrAddrPack(KRADDR value, uint8_t* out);
uint32_t KrAddrUnpack(const uint8_t* in, uint32_t length, KRADDR* value);

// Checks a destination list: unicast addresses are taken in order, duplicates skipped, and the
// taken ones stored sorted in `out`, whose capacity is *outCount on entry; *outCount is then the
// number taken. 0 when the whole list passed; 1 when a multicast or interior address stopped it
// or `out` was full.
uint32_t KrAddrExprEvaluate(const KRADDR* list, uint32_t count, KRADDR* out, uint32_t* outCount);

typedef void (*KRADDR_VISIT)(KRADDR address, uintptr_t argument);
uint32_t KrAddrListForEach(const KRADDR* list, uint32_t count, KRADDR_VISIT visit, uintptr_t argument);
