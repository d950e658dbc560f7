// Shared between the DirectPlay files: GUID bytes, address packing and the session object.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dplay.h"

namespace plat::dp {

constexpr uint32_t kMagic = 0x594C5044u;
enum Kind : uint8_t {
    kEnumQuery = 1,
    kEnumReply = 2,
    kPlayersQuery = 3,
    kPlayerList = 4,
    kJoin = 5,
    kJoinReply = 6,
    kCreatePlayer = 7,
    kPlayerCreated = 8,
    kDestroyPlayer = 9,
    kMessage = 10,
    kSystem = 11,
    kKeepAlive = 12,
};

void PutGuid(uint8_t* out, const GUID& g);
GUID GetGuid(const uint8_t* in);
void AppendGuid(std::vector<uint8_t>& out, const GUID& g);
void Append32(std::vector<uint8_t>& out, uint32_t v);
void Append16(std::vector<uint8_t>& out, uint16_t v);

// Reads fields front to back; any read past the end marks the reader failed.
struct Reader {
    const uint8_t* p;
    size_t size;
    size_t at = 0;
    bool ok = true;
    bool Need(size_t n) {
        if (!ok || size - at < n) ok = false;
        return ok;
    }
    uint8_t U8() { return Need(1) ? p[at++] : 0; }
    uint16_t U16() {
        if (!Need(2)) return 0;
        uint16_t v = uint16_t(p[at] | p[at + 1] << 8);
        at += 2;
        return v;
    }
    uint32_t U32() {
        if (!Need(4)) return 0;
        uint32_t v = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
        at += 4;
        return v;
    }
    GUID Guid() {
        if (!Need(16)) return GUID{};
        GUID g = GetGuid(p + at);
        at += 16;
        return g;
    }
    std::string Text(size_t length) {
        if (!Need(length)) return {};
        std::string s(reinterpret_cast<const char*>(p + at), length);
        at += length;
        return s;
    }
    bool AtEnd() const { return ok && at == size; }
};

HRESULT PackAddress(const DPCOMPOUNDADDRESSELEMENT* elements, DWORD count, void* address, DWORD* size);
// The DPAID_INet text of an address that CreateCompoundAddress made at `address` with this
// provider element, if it is remembered; the caller's bytes past the provider element are never
// read (an address carries no size of its own).
bool RememberedINet(const void* address, std::string* text);
// Builds a TCP/IP compound address with an INet text.
std::vector<uint8_t> TcpIpAddress(const std::string& inet);
bool IsProviderUsable(const GUID& provider);

IDirectPlay3A* NewDirectPlay(const GUID* provider);
// A session object made by NewDirectPlay, initialised for TCP/IP with this INet text.
HRESULT InitTcpIp(IDirectPlay3A* directPlay, const std::string& inet);
HRESULT EnumProviders(LPDPENUMCONNECTIONSCALLBACK callback, void* context);

}  // namespace plat::dp
