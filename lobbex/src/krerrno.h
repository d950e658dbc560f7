// The per-thread error value KrErrno: why an internal operation failed, read on the same thread
// by its caller (KrErrorGet is exported).
#pragma once
#include <cstdint>

enum : uint32_t {
    KRERR_NONE = 0,
    KRERR_PARAM = 1,          // invalid parameters or handle
    KRERR_BAD_DATA = 2,       // an invalid packet header or message
    KRERR_NO_MEMORY = 3,
    KRERR_NO_ENTRY = 4,       // timer not found; option not known to an io back end
    KRERR_BUSY = 5,           // another option change of the session is in progress
    KRERR_TIMER_EXISTS = 6,   // a timer with this callback and argument already exists
    KRERR_MULTICAST = 0xFFFF, // address expression not supported (pure multicast)
    KRERR_SESSION_STATE = 0x10001,
    KRERR_SEQUENCE = 0x10002,
    KRERR_CONTROL_SEND = 0x10003,
    KRERR_FAMILY = 0x30001,   // unsupported address family
    KRERR_SOCKET = 0x30002,
    KRERR_IO = 0x30003,
    KRERR_TCP_TX = 0x30004,
};

void KrErrorInit(void);
void KrErrorCleanup(void);
void KrErrorSet(uint32_t value);
