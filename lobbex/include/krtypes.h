// The network library's basic types, shared by its callers and its modules: service and
// transport addresses, library time and calendar dates, log levels and the monitor callback.
#pragma once
#include <cstddef>
#include <cstdint>

// The service's 31-bit address of a player, peer, server or group. Bit 30 and bit 29 set: pure
// multicast; bit 30 alone: interior; bit 30 clear: unicast. KRADDR_NONE means none.
typedef uint32_t KRADDR;
constexpr KRADDR KRADDR_NONE = 0x7FFFFFFF;

// Transport address families.
enum : uint16_t { KRTL_UNSPEC = 0, KRTL_UNIX = 1, KRTL_TCP = 2, KRTL_UDP = 3, KRTL_KRADDR = 4 };

// The first 8 bytes of a tcp or udp transport address, also the inner address of family 4.
struct KRTLADDR_INNER {
    uint16_t family; // host byte order
    uint16_t port;   // network byte order
    uint32_t addr;   // IPv4, network byte order
};

// A transport address, 16 bytes, copied whole. tcp/udp: family, port, address, then 8 zero
// bytes. Family 4: port zero, the KRADDR (network order) in `addr`, the tcp or udp address in
// `inner`.
struct KRTLADDR {
    uint16_t family;
    uint16_t port;
    uint32_t addr;
    KRTLADDR_INNER inner;
};
static_assert(sizeof(KRTLADDR) == 16, "a transport address is 16 bytes");

// Library time, and durations: seconds since 1970-01-01 00:00 UTC, milliseconds, microseconds.
struct KRTIME {
    uint32_t sec;
    uint32_t msec;
    uint32_t usec;
};

// A calendar date. Minute comes before hour.
struct KRDATE {
    int32_t year;      // full year
    int32_t month;     // 0-11
    int32_t minute;
    int32_t hour;
    int32_t day;       // of the month, 1-31
    int32_t weekDay;   // 0 = Sunday
    int32_t yearDay;   // 0-365
    int32_t second;
    int32_t msec;
    int32_t dst;       // daylight-saving flag
    int32_t tzOffset;  // the runtime library's time-zone offset, seconds west of UTC
};

// Log levels of kr_log, printed by name.
enum KrLogLevel : int {
    KrEmerg = 0,
    KrAlert = 1,
    KrCrit = 2,
    KrErr = 3,
    KrWarning = 4, // printed "KrWarn"
    KrNotice = 5,
    KrLevelInfo = 6,  // printed "KrInfo"
    KrLevelDebug = 7, // printed "KrDebug"
};

// The monitor callback: an event number and seven words. The words carry handles and pointers
// (lists, data), so they are pointer-sized.
typedef void (*KRMONITOR_CBF)(uintptr_t event, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4,
                              uintptr_t a5, uintptr_t a6, uintptr_t a7);
