// DirectPlay 3, its lobby and the COM calls that create them (see dplay.h): the list of service
// providers with the TCP/IP one usable, compound addresses, and a lobby that never launched the
// game. The GUID values are this platform's own; callers compare them only with these constants.
#include "dplay.h"

#include <atomic>
#include <cstring>
#include <mutex>

const GUID DPSPGUID_TCPIP = {0x6e0f0a01, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x01}};
const GUID DPSPGUID_IPX = {0x6e0f0a02, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x02}};
const GUID DPSPGUID_MODEM = {0x6e0f0a03, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x03}};
const GUID DPSPGUID_SERIAL = {0x6e0f0a04, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x04}};
const GUID CLSID_DirectPlay = {0x6e0f0b01, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x10}};
const GUID IID_IDirectPlay3A = {0x6e0f0b02, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x11}};
const GUID IID_IDirectPlayLobby2A = {0x6e0f0b03, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x12}};
const GUID DPAID_ServiceProvider = {0x6e0f0c01, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x20}};
const GUID DPAID_INet = {0x6e0f0c02, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x21}};
const GUID DPAID_Phone = {0x6e0f0c03, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x22}};
const GUID DPAID_Modem = {0x6e0f0c04, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x23}};
const GUID DPAID_ComPort = {0x6e0f0c05, 0x4d2b, 0x11d0, {0x9a, 0x01, 0x47, 0x68, 0x6f, 0x75, 0x6c, 0x24}};

namespace {

struct Provider {
    const GUID* guid;
    const char* name;
    bool usable;
};
const Provider kProviders[] = {
    {&DPSPGUID_IPX, "IPX Connection For DirectPlay", false},
    {&DPSPGUID_TCPIP, "Internet TCP/IP Connection For DirectPlay", true},
    {&DPSPGUID_MODEM, "Modem Connection For DirectPlay", false},
    {&DPSPGUID_SERIAL, "Serial Connection For DirectPlay", false},
};

// One address element: 16-byte type, 4-byte little-endian size, data.
constexpr DWORD kElementHead = 20;

void PutGuid(uint8_t* out, const GUID& g) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(g.Data1 >> (8 * i));
    out[4] = uint8_t(g.Data2);
    out[5] = uint8_t(g.Data2 >> 8);
    out[6] = uint8_t(g.Data3);
    out[7] = uint8_t(g.Data3 >> 8);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID GetGuid(const uint8_t* in) {
    GUID g;
    g.Data1 = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    g.Data2 = uint16_t(in[4] | in[5] << 8);
    g.Data3 = uint16_t(in[6] | in[7] << 8);
    std::memcpy(g.Data4, in + 8, 8);
    return g;
}

HRESULT PackAddress(const DPCOMPOUNDADDRESSELEMENT* elements, DWORD count, void* address, DWORD* size) {
    if (!size || (count && !elements)) return DPERR_INVALIDPARAMS;
    uint64_t need = 0;
    for (DWORD i = 0; i < count; ++i) need += kElementHead + uint64_t(elements[i].dwDataSize);
    if (need > 0xFFFFFFFFu) return DPERR_INVALIDPARAMS;
    if (!address || *size < need) {
        *size = DWORD(need);
        return DPERR_BUFFERTOOSMALL;
    }
    uint8_t* out = static_cast<uint8_t*>(address);
    for (DWORD i = 0; i < count; ++i) {
        PutGuid(out, elements[i].guidDataType);
        for (int b = 0; b < 4; ++b) out[16 + b] = uint8_t(elements[i].dwDataSize >> (8 * b));
        if (elements[i].dwDataSize) std::memcpy(out + kElementHead, elements[i].lpData, elements[i].dwDataSize);
        out += kElementHead + elements[i].dwDataSize;
    }
    *size = DWORD(need);
    return DP_OK;
}

// The provider named by an address's DPAID_ServiceProvider element, null when there is none or
// the address is damaged (an element running past the end).
const Provider* ProviderOf(const void* address, DWORD size) {
    const uint8_t* p = static_cast<const uint8_t*>(address);
    DWORD at = 0;
    while (p && size - at >= kElementHead) {
        const GUID type = GetGuid(p + at);
        const DWORD length = DWORD(p[at + 16]) | DWORD(p[at + 17]) << 8 | DWORD(p[at + 18]) << 16 |
                             DWORD(p[at + 19]) << 24;
        if (length > size - at - kElementHead) return nullptr;
        if (type == DPAID_ServiceProvider && length == 16) {
            const GUID provider = GetGuid(p + at + kElementHead);
            for (const Provider& candidate : kProviders)
                if (*candidate.guid == provider) return &candidate;
            return nullptr;
        }
        at += kElementHead + length;
    }
    return nullptr;
}

class DirectPlay final : public IDirectPlay3A {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT EnumConnections(const GUID*, LPDPENUMCONNECTIONSCALLBACK callback, void* context, DWORD) override {
        if (!callback) return DPERR_INVALIDPARAMS;
        for (const Provider& p : kProviders) {
            uint8_t provider[16];
            PutGuid(provider, *p.guid);
            const DPCOMPOUNDADDRESSELEMENT element = {DPAID_ServiceProvider, 16, provider};
            uint8_t address[kElementHead + 16];
            DWORD size = sizeof address;
            PackAddress(&element, 1, address, &size);
            DPNAME name = {sizeof(DPNAME), 0, const_cast<char*>(p.name), nullptr};
            if (!callback(p.guid, address, size, &name, 0, context)) break;
        }
        return DP_OK;
    }
    HRESULT InitializeConnection(void* connection, DWORD) override {
        if (!connection) return DPERR_INVALIDPARAMS;
        std::lock_guard<std::mutex> guard(lock_);
        if (provider_) return DPERR_ALREADYINITIALIZED;
        // A compound address carries its own size only through its elements: the provider element
        // comes first in every address this layer makes, so the first element is enough.
        const Provider* p = ProviderOf(connection, kElementHead + 16);
        if (!p) return DPERR_INVALIDPARAMS;
        if (!p->usable) return DPERR_UNAVAILABLE;
        provider_ = p;
        return DP_OK;
    }

private:
    std::atomic<ULONG> references_{1};
    std::mutex lock_;
    const Provider* provider_ = nullptr;
};

class Lobby final : public IDirectPlayLobby2A {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetConnectionSettings(DWORD, void*, DWORD*) override { return DPERR_NOTLOBBIED; }
    HRESULT CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, DWORD count, void* address,
                                  DWORD* size) override {
        return PackAddress(elements, count, address, size);
    }

private:
    std::atomic<ULONG> references_{1};
};

std::mutex g_ComLock;
int g_ComStarts = 0;

}  // namespace

PLATAPI HRESULT DirectPlayCreate(const GUID*, IDirectPlay3A** directPlay, void* outer) {
    if (!directPlay) return DPERR_INVALIDPARAMS;
    *directPlay = nullptr;
    if (outer) return DPERR_NOINTERFACE;
    *directPlay = new DirectPlay;
    return DP_OK;
}

PLATAPI HRESULT DirectPlayLobbyCreateA(const GUID*, IDirectPlayLobby2A** lobby, void* outer, void*, DWORD) {
    if (!lobby) return DPERR_INVALIDPARAMS;
    *lobby = nullptr;
    if (outer) return DPERR_NOINTERFACE;
    *lobby = new Lobby;
    return DP_OK;
}

PLATAPI HRESULT CoInitialize(void*) {
    std::lock_guard<std::mutex> guard(g_ComLock);
    return g_ComStarts++ == 0 ? S_OK : S_FALSE;
}

PLATAPI void CoUninitialize(void) {
    std::lock_guard<std::mutex> guard(g_ComLock);
    if (g_ComStarts > 0) --g_ComStarts;
}

PLATAPI HRESULT CoCreateInstance(REFCLSID classId, void* outer, DWORD, REFIID interfaceId, void** object) {
    if (!object) return DPERR_INVALIDPARAMS;
    *object = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_ComLock);
        if (g_ComStarts == 0) return CO_E_NOTINITIALIZED;
    }
    if (!(classId == CLSID_DirectPlay)) return REGDB_E_CLASSNOTREG;
    if (!(interfaceId == IID_IDirectPlay3A)) return DPERR_NOINTERFACE;
    IDirectPlay3A* directPlay = nullptr;
    HRESULT result = DirectPlayCreate(nullptr, &directPlay, outer);
    *object = directPlay;
    return result;
}
