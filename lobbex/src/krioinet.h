// The internet back ends of the io channels (krioinet): UDP (io type 1), TCP with its transmit
// thread (io type 0), and the port binding they share. Their operation tables are used by krio.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "krio.h"

extern const KRIO_OPS g_KrIOTcpOps;
extern const KRIO_OPS g_KrIOUdpOps;

// Protocol options of the TCP back end, and of its channels (0x50001-0x50003).
constexpr uint32_t KRIO_TCP_PORT_RANGE = 0x50000;
constexpr uint32_t KRIO_TCP_IOCBUF_SIZE = 0x50001;
constexpr uint32_t KRIO_TCP_SNDBUF_SIZE = 0x50002;
constexpr uint32_t KRIO_TCP_RCVBUF_SIZE = 0x50003;
constexpr uint32_t KRIO_TCP_IOCBUF_DEFAULT = 4096;
constexpr uint32_t KRIO_TCP_SOBUF_DEFAULT = 8192;

// Protocol options of the UDP back end.
constexpr uint32_t KRIO_UDP_PORT_RANGE = 0x60000;
constexpr uint32_t KRIO_UDP_DATAGRAM_SIZE = 0x60001;
// Datagrams are received into buffers of this size by default, and every transmit is cut into
// datagrams of at most this many bytes.
constexpr uint32_t KRIO_UDP_DATAGRAM = 512;

// A port range option value: the first port in the high 16 bits, the count in the low 16 bits.
constexpr uint32_t KrPortRange(uint32_t first, uint32_t count) {
    return (first << 16) | (count & 0xFFFF);
}
constexpr uint32_t KRIO_PORT_RANGE_DEFAULT = KrPortRange(8050, 950);

// Statistics words of the back ends, in order.
enum : int { KRUDP_BYTES_SENT, KRUDP_DGRAMS_SENT, KRUDP_BYTES_RECEIVED, KRUDP_DGRAMS_RECEIVED, KRUDP_TRUNCATED };
constexpr uint32_t KRUDP_STATISTICS = 5;
enum : int { KRTCP_BYTES_SENT, KRTCP_BYTES_RECEIVED, KRTCP_MESSAGES_QUEUED, KRTCP_UNUSED, KRTCP_SEND_CALLS,
             KRTCP_HIGHEST_FILL };
constexpr uint32_t KRTCP_STATISTICS = 6;

// Binds the channel's socket to its local address; a wildcard port is searched in the range of
// the channel's io type from a pseudo-random start, each port tried once. 0 or 1 (KrErrno
// 0x30002). The bound address is written back into the channel's local address.
int KrIOInetBind(KRIO_HNDL* channel);
// The current range of an io type (TCP or UDP).
void KrIOInetPortRange(uint32_t ioType, uint32_t* first, uint32_t* count);
int KrIOInetPortRangeSet(uint32_t ioType, uint32_t value);

// A back end's protocol-wide options: one row per option id with its getter and setter.
struct KrIOProtocolOption {
    uint32_t id;
    int (*get)(uint32_t* value);
    int (*set)(uint32_t value);
};
// The port-range row of a back end's table: the range of io type `Type` read as one word
// (KrPortRange) and set through KrIOInetPortRangeSet.
template <uint32_t Type>
int KrIOInetPortRangeOptionGet(uint32_t* value) {
    uint32_t first, count;
    KrIOInetPortRange(Type, &first, &count);
    *value = KrPortRange(first, count);
    return 0;
}
template <uint32_t Type>
int KrIOInetPortRangeOptionSet(uint32_t value) {
    return KrIOInetPortRangeSet(Type, value);
}
template <uint32_t Type>
constexpr KrIOProtocolOption KrIOInetPortRangeOption(uint32_t id) {
    return {id, KrIOInetPortRangeOptionGet<Type>, KrIOInetPortRangeOptionSet<Type>};
}
// Reads one option through the table; an id not in it fails with KRERR_NO_ENTRY. 0 = done.
int KrIOProtocolOptionGet(const KrIOProtocolOption* table, size_t rows, uint32_t id, uint32_t* value);
// Sets the options in order, stopping at the first unknown id (KRERR_NO_ENTRY) or refusal.
int KrIOProtocolOptionsSet(const KrIOProtocolOption* table, size_t rows, const KRIO_OPTION* options,
                           uint32_t count);
// The two protocol-option operations of a back end, over its table.
template <const auto& Table>
int KrIOProtocolOptionGetFrom(uint32_t id, uint32_t* value) {
    return KrIOProtocolOptionGet(Table, std::size(Table), id, value);
}
template <const auto& Table>
int KrIOProtocolOptionsSetFrom(const KRIO_OPTION* options, uint32_t count) {
    return KrIOProtocolOptionsSet(Table, std::size(Table), options, count);
}

// The transmit threads of TCP channels that are running in this process (tests look at it).
uint32_t TCPTxThreadsRunning(void);
