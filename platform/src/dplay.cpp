// DirectPlay 3's factories, its lobby and the COM calls that create them (see dplay.h): the list
// of service providers with the TCP/IP one usable, compound addresses, and the lobby launch kept
// in the machine's registry. The GUID values are this platform's own; callers compare them only with these constants.
#include "dplay.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <type_traits>

#include "dplay_internal.h"
#include "registry.h"

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

namespace plat::dp {
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

// The last addresses CreateCompoundAddress made, by where it wrote them: an address carries no
// size of its own, so InitializeConnection reads the elements behind the provider from here.
struct Made {
    const void* at;
    std::vector<uint8_t> bytes;
};
std::atomic<int> g_ExtraProviders{0};
std::mutex g_MadeLock;
std::deque<Made> g_Made;
constexpr size_t kMadeKept = 64;

// Calls `take` for each element; false when an element runs past the end.
template <typename Take>
bool WalkAddress(const uint8_t* p, DWORD size, Take take) {
    DWORD at = 0;
    while (p && size - at >= kElementHead) {
        const GUID type = GetGuid(p + at);
        const DWORD length = DWORD(p[at + 16]) | DWORD(p[at + 17]) << 8 | DWORD(p[at + 18]) << 16 |
                             DWORD(p[at + 19]) << 24;
        if (length > size - at - kElementHead) return false;
        if (!take(type, length, p + at + kElementHead)) return true;
        at += kElementHead + length;
    }
    return at == size;
}

}  // namespace

bool IsProviderUsable(const GUID& provider) {
    for (const Provider& p : kProviders)
        if (*p.guid == provider) return p.usable;
    return false;
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
    std::lock_guard<std::mutex> guard(g_MadeLock);
    const uint8_t* bytes = static_cast<const uint8_t*>(address);
    g_Made.push_front({address, std::vector<uint8_t>(bytes, bytes + need)});
    if (g_Made.size() > kMadeKept) g_Made.pop_back();
    return DP_OK;
}

bool RememberedINet(const void* address, std::string* text) {
    const uint8_t* head = static_cast<const uint8_t*>(address);
    std::lock_guard<std::mutex> guard(g_MadeLock);
    for (const Made& m : g_Made) {
        if (m.at != address || m.bytes.size() < kElementHead + 16 ||
            std::memcmp(m.bytes.data(), head, kElementHead + 16) != 0)
            continue;
        bool found = false;
        WalkAddress(m.bytes.data(), DWORD(m.bytes.size()), [&](const GUID& type, DWORD length, const uint8_t* data) {
            if (type == DPAID_INet) {
                text->assign(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), length));
                found = true;
            }
            return true;
        });
        return found;
    }
    return false;
}

std::vector<uint8_t> TcpIpAddress(const std::string& inet) {
    uint8_t provider[16];
    PutGuid(provider, DPSPGUID_TCPIP);
    const DPCOMPOUNDADDRESSELEMENT elements[] = {{DPAID_ServiceProvider, 16, provider},
                                                 {DPAID_INet, DWORD(inet.size() + 1), inet.c_str()}};
    std::vector<uint8_t> out(2 * kElementHead + 16 + inet.size() + 1);
    DWORD size = DWORD(out.size());
    PackAddress(elements, 2, out.data(), &size);
    return out;
}

HRESULT EnumProviders(LPDPENUMCONNECTIONSCALLBACK callback, void* context) {
    if (!callback) return DPERR_INVALIDPARAMS;
    for (const Provider& p : kProviders) {
        uint8_t provider[16];
        PutGuid(provider, *p.guid);
        const DPCOMPOUNDADDRESSELEMENT element = {DPAID_ServiceProvider, 16, provider};
        uint8_t address[kElementHead + 16];
        DWORD size = sizeof address;
        PackAddress(&element, 1, address, &size);
        DPNAME name = {sizeof(DPNAME), 0, const_cast<char*>(p.name), nullptr};
        if (!callback(p.guid, address, size, &name, 0, context)) return DP_OK;
    }
    const int extra = g_ExtraProviders.load();
    for (int i = 0; i < extra; ++i) {
        const GUID guid = {0x7e570000u + uint32_t(i), 0x4d2b, 0x11d0, {0x9a, 0x01, 0x54, 0x65, 0x73, 0x74, 0, 0}};
        uint8_t provider[16];
        PutGuid(provider, guid);
        const DPCOMPOUNDADDRESSELEMENT element = {DPAID_ServiceProvider, 16, provider};
        uint8_t address[kElementHead + 16];
        DWORD size = sizeof address;
        PackAddress(&element, 1, address, &size);
        std::string text = "Test Connection " + std::to_string(i + 1);
        DPNAME name = {sizeof(DPNAME), 0, text.data(), nullptr};
        if (!callback(&guid, address, size, &name, 0, context)) break;
    }
    return DP_OK;
}

namespace {

// The connection a lobby hands the game: the DPLCONNECTION, its session description, the player
// name, both texts and the address, in one block whose pointers point inside it.
std::vector<uint8_t> ConnectionBlock(const DpLobbyLaunch& l) {
    const std::vector<uint8_t> address = TcpIpAddress(l.address);
    auto align = [](size_t n) { return (n + 7) & ~size_t(7); };
    const size_t descAt = align(sizeof(DPLCONNECTION));
    const size_t nameAt = align(descAt + sizeof(DPSESSIONDESC2));
    const size_t sessionTextAt = nameAt + sizeof(DPNAME);
    const size_t playerTextAt = sessionTextAt + l.sessionName.size() + 1;
    const size_t addressAt = playerTextAt + l.playerName.size() + 1;
    std::vector<uint8_t> block(addressAt + address.size());
    uint8_t* base = block.data();
    std::memcpy(base + sessionTextAt, l.sessionName.c_str(), l.sessionName.size() + 1);
    std::memcpy(base + playerTextAt, l.playerName.c_str(), l.playerName.size() + 1);
    std::memcpy(base + addressAt, address.data(), address.size());
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.guidInstance = l.instance;
    desc.guidApplication = l.application;
    desc.dwMaxPlayers = l.maxPlayers;
    desc.lpszSessionNameA = reinterpret_cast<char*>(base + sessionTextAt);
    std::memcpy(base + descAt, &desc, sizeof desc);
    const DPNAME name = {sizeof(DPNAME), 0, reinterpret_cast<char*>(base + playerTextAt), nullptr};
    std::memcpy(base + nameAt, &name, sizeof name);
    DPLCONNECTION c{};
    c.dwSize = sizeof c;
    c.dwFlags = l.flags;
    c.lpSessionDesc = reinterpret_cast<DPSESSIONDESC2*>(base + descAt);
    c.lpPlayerName = reinterpret_cast<DPNAME*>(base + nameAt);
    c.guidSP = DPSPGUID_TCPIP;
    c.lpAddress = base + addressAt;
    c.dwAddressSize = DWORD(address.size());
    std::memcpy(base, &c, sizeof c);
    return block;
}

// The machine's pending lobby launch, if one is stored and reads whole.
bool StoredLaunch(DpLobbyLaunch* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\DirectPlay", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = 0;
    std::vector<uint8_t> bytes;
    LONG result = RegQueryValueExA(key, "LobbyLaunch", nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS && type == REG_BINARY && size <= 8192) {
        bytes.resize(size);
        result = RegQueryValueExA(key, "LobbyLaunch", nullptr, &type, bytes.data(), &size);
        bytes.resize(result == ERROR_SUCCESS ? size : 0);
    }
    RegCloseKey(key);
    return !bytes.empty() && DpParseLobbyLaunch(bytes.data(), bytes.size(), out);
}

struct Listing {
    GUID instance;
    GUID found = {};
    bool any = false;
};

BOOL PickSession(const DPSESSIONDESC2* desc, DWORD*, DWORD flags, void* context) {
    auto* l = static_cast<Listing*>(context);
    if (flags & DPESC_TIMEDOUT || !desc) return FALSE;
    if (desc->guidInstance == l->instance || (l->instance == GUID{} && !l->any)) {
        l->found = desc->guidInstance;
        l->any = true;
    }
    return TRUE;
}

class Lobby final : public IDirectPlayLobby2A {
public:
    HRESULT QueryInterface(REFIID interfaceId, void** object) override {
        if (!object) return DPERR_INVALIDPARAMS;
        *object = nullptr;
        if (!(interfaceId == IID_IDirectPlayLobby2A)) return DPERR_NOINTERFACE;
        AddRef();
        *object = static_cast<IDirectPlayLobby2A*>(this);
        return DP_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetConnectionSettings(DWORD, void* data, DWORD* size) override {
        if (!size) return DPERR_INVALIDPARAMS;
        DpLobbyLaunch launch;
        if (!StoredLaunch(&launch)) return DPERR_NOTLOBBIED;
        const std::vector<uint8_t> block = ConnectionBlock(launch);
        if (!data || *size < block.size()) {
            *size = DWORD(block.size());
            return DPERR_BUFFERTOOSMALL;
        }
        // The block's pointers point inside it: build it again in the caller's buffer.
        std::memcpy(data, block.data(), block.size());
        Relocate(static_cast<uint8_t*>(data), block.data());
        *size = DWORD(block.size());
        return DP_OK;
    }
    HRESULT SetConnectionSettings(DWORD, DWORD, const DPLCONNECTION* c) override {
        if (!c || !c->lpSessionDesc) return DPERR_INVALIDPARAMS;
        DpLobbyLaunch l;
        l.flags = c->dwFlags;
        l.instance = c->lpSessionDesc->guidInstance;
        l.application = c->lpSessionDesc->guidApplication;
        l.maxPlayers = c->lpSessionDesc->dwMaxPlayers;
        l.sessionFlags = c->lpSessionDesc->dwFlags;
        if (c->lpSessionDesc->lpszSessionNameA) l.sessionName = c->lpSessionDesc->lpszSessionNameA;
        if (c->lpPlayerName && c->lpPlayerName->lpszShortNameA) l.playerName = c->lpPlayerName->lpszShortNameA;
        if (c->lpAddress) {
            const bool whole = WalkAddress(static_cast<const uint8_t*>(c->lpAddress), c->dwAddressSize,
                                           [&](const GUID& type, DWORD length, const uint8_t* data) {
                                               if (type == DPAID_INet)
                                                   l.address.assign(reinterpret_cast<const char*>(data),
                                                                    strnlen(reinterpret_cast<const char*>(data), length));
                                               return true;
                                           });
            if (!whole) return DPERR_INVALIDPARAMS;
        }
        settings_ = l;
        haveSettings_ = true;
        return DP_OK;
    }
    HRESULT Connect(DWORD, IDirectPlay3A** directPlay, void* outer) override {
        if (!directPlay) return DPERR_INVALIDPARAMS;
        *directPlay = nullptr;
        if (outer) return DPERR_NOINTERFACE;
        DpLobbyLaunch l;
        if (haveSettings_)
            l = settings_;
        else if (!StoredLaunch(&l))
            return DPERR_NOTLOBBIED;
        IDirectPlay3A* dp = NewDirectPlay(&DPSPGUID_TCPIP);
        HRESULT result = InitTcpIp(dp, l.address);
        DPSESSIONDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = l.application;
        desc.dwMaxPlayers = l.maxPlayers;
        desc.dwFlags = l.sessionFlags;
        std::string name = l.sessionName;
        desc.lpszSessionNameA = name.data();
        if (result == DP_OK && (l.flags & DPLCONNECTION_CREATESESSION)) {
            result = dp->Open(&desc, DPOPEN_CREATE | DPOPEN_RETURNSTATUS);
        } else if (result == DP_OK) {
            Listing listing{l.instance};
            result = dp->EnumSessions(&desc, 0, PickSession, &listing, DPENUMSESSIONS_ALL);
            if (result == DP_OK && !listing.any) result = DPERR_NOSESSIONS;
            desc.guidInstance = listing.found;
            if (result == DP_OK) result = dp->Open(&desc, DPOPEN_JOIN);
        }
        if (result != DP_OK) {
            dp->Release();
            return result;
        }
        // The launch has been taken up: the next start of the game is not lobbied.
        DpStoreLobbyLaunch(nullptr);
        *directPlay = dp;
        return DP_OK;
    }
    HRESULT EnumAddress(LPDPENUMADDRESSCALLBACK callback, const void* address, DWORD size, void* context) override {
        if (!callback || (!address && size)) return DPERR_INVALIDPARAMS;
        const uint8_t* p = static_cast<const uint8_t*>(address);
        if (!WalkAddress(p, size, [](const GUID&, DWORD, const uint8_t*) { return true; })) return DPERR_INVALIDPARAMS;
        WalkAddress(p, size, [&](const GUID& type, DWORD length, const uint8_t* data) {
            return callback(type, length, data, context) != FALSE;
        });
        return DP_OK;
    }
    HRESULT CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, DWORD count, void* address,
                                  DWORD* size) override {
        return PackAddress(elements, count, address, size);
    }

private:
    // Moves the pointers of a connection block copied from `from` to its new place `to`.
    static void Relocate(uint8_t* to, const uint8_t* from) {
        auto move = [&](auto* pointer) {
            using T = std::remove_reference_t<decltype(*pointer)>;
            if (*pointer) *pointer = reinterpret_cast<T>(to + (reinterpret_cast<const uint8_t*>(*pointer) - from));
        };
        DPLCONNECTION c;
        std::memcpy(&c, to, sizeof c);
        move(&c.lpSessionDesc);
        move(&c.lpPlayerName);
        move(&c.lpAddress);
        std::memcpy(to, &c, sizeof c);
        DPSESSIONDESC2 d;
        std::memcpy(&d, c.lpSessionDesc, sizeof d);
        move(&d.lpszSessionNameA);
        std::memcpy(c.lpSessionDesc, &d, sizeof d);
        DPNAME n;
        std::memcpy(&n, c.lpPlayerName, sizeof n);
        move(&n.lpszShortNameA);
        std::memcpy(c.lpPlayerName, &n, sizeof n);
    }

    std::atomic<ULONG> references_{1};
    DpLobbyLaunch settings_;
    bool haveSettings_ = false;
};

std::mutex g_ComLock;
int g_ComStarts = 0;

}  // namespace
}  // namespace plat::dp

using namespace plat::dp;

void plat::DpSetExtraProviders(int count) {
    g_ExtraProviders.store(count < 0 ? 0 : count);
}

PLATAPI HRESULT DirectPlayCreate(const GUID* serviceProvider, IDirectPlay3A** directPlay, void* outer) {
    if (!directPlay) return DPERR_INVALIDPARAMS;
    *directPlay = nullptr;
    if (outer) return DPERR_NOINTERFACE;
    *directPlay = NewDirectPlay(serviceProvider);
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
