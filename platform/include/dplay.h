// DirectPlay 3 and its lobby as the game's transport calls them, and the COM calls that create
// them. Our own declarations, holding only what callers use. The service providers are listed
// as on a Windows machine with DirectX 5 (TCP/IP, IPX, modem, serial); the IPX, modem and serial
// ones cannot be used here and refuse InitializeConnection with DPERR_UNAVAILABLE.
//
// Sessions over TCP/IP run over real sockets, as a star through the host: every machine keeps
// one TCP connection to the host, which assigns player ids and relays messages. Sessions are
// found by a UDP query to the machine named by the address's DPAID_INet text ("host" or
// "host:port"; empty or "undefined" means this machine). The port is the value Port (REG_DWORD)
// of HKEY_LOCAL_MACHINE\Software\Platform\DirectPlay in the machine's registry file; a host
// whose machine has none lets the system choose one and stores it there. Every session hosted
// by a process answers on that port. A pending lobby launch is the value LobbyLaunch
// (REG_BINARY) of the same key; without it GetConnectionSettings answers DPERR_NOTLOBBIED.
//
// The wire (all integers little-endian, every length checked against what arrived):
//   UDP datagram: u32 magic 0x594C5044 ("DPLY"), u8 kind, body.
//   TCP frame:    u32 n (1..kDpMaxFrame), then n bytes: u8 kind, body.
//   kind 1  enumeration query (UDP)   application GUID (16; all zero: any application)
//   kind 2  enumeration reply (UDP)   instance GUID 16, application GUID 16, u32 flags,
//                                     u32 max players, u32 current players, u16 TCP port,
//                                     u16 name length, name bytes (nothing after them)
//   kind 3  player-list query (UDP)   instance GUID 16
//   kind 4  player list (UDP, TCP)    instance GUID 16, u32 count (at most kDpMaxPlayers), then
//                                     per player: u32 id, u8 data length (0..16), data,
//                                     u8 name length, name
//   kind 5  join (TCP, to host)       instance GUID 16
//   kind 6  join reply (TCP)          u32 status (0 accepted), instance GUID 16, application
//                                     GUID 16, u32 flags, u32 max players, u16 name length, name
//   kind 7  create player (to host)   u32 request, u8 data length (0..16), data, u8 name length,
//                                     name
//   kind 8  player created (to owner) u32 request, u32 id (0 refused)
//   kind 9  destroy player (to host)  u32 id
//   kind 10 message                   u32 from, u32 to (0 every other player), payload to the
//                                     end of the frame (at most kDpMaxMessage bytes)
//   kind 11 system message (to client) u32 type (3 created, 5 destroyed), u32 id, u8 data length
//                                     (0..16), data, u8 name length, name
//   kind 12 keep-alive                 nothing
// Player ids are assigned by the host, unique in the session, never 0 or 0xFFFFFFFF. In a
// session with DPSESSION_KEEPALIVE every connection carries a keep-alive each second; a machine
// that closes its connection or stays silent for five seconds is gone. A client that loses its
// host receives DPSYS_SESSIONLOST (0x31); a host that loses a client receives
// DPSYS_DESTROYPLAYERORGROUP for each of its players, and so do the other clients.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plat.h"
#include "win32.h"

typedef uint32_t DPID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;

constexpr HRESULT MakeDirectPlayResult(uint32_t code) {
    return HRESULT(0x88770000u | code);
}
enum : HRESULT {
    DP_OK = 0,
    DPERR_ALREADYINITIALIZED = MakeDirectPlayResult(5),
    DPERR_BUFFERTOOSMALL = MakeDirectPlayResult(30),
    DPERR_INVALIDPARAMS = HRESULT(0x80070057u),
    DPERR_NOINTERFACE = HRESULT(0x80004002u),
    DPERR_UNAVAILABLE = MakeDirectPlayResult(270),
    DPERR_UNINITIALIZED = MakeDirectPlayResult(1000),
    DPERR_NOTLOBBIED = MakeDirectPlayResult(1210),
    DPERR_NOMESSAGES = MakeDirectPlayResult(190),
    DPERR_INVALIDPLAYER = MakeDirectPlayResult(150),
    DPERR_NOSESSIONS = MakeDirectPlayResult(220),
    DPERR_GENERIC = HRESULT(0x80004005u),
    DPERR_OUTOFMEMORY = HRESULT(0x8007000Eu),
    REGDB_E_CLASSNOTREG = HRESULT(0x80040154u),
    CO_E_NOTINITIALIZED = HRESULT(0x800401F0u),
};

// Service providers.
extern const GUID DPSPGUID_TCPIP;
extern const GUID DPSPGUID_IPX;
extern const GUID DPSPGUID_MODEM;
extern const GUID DPSPGUID_SERIAL;
// Interfaces and classes.
extern const GUID CLSID_DirectPlay;
extern const GUID IID_IDirectPlay3A;
extern const GUID IID_IDirectPlayLobby2A;
// Address data types.
extern const GUID DPAID_ServiceProvider;
extern const GUID DPAID_INet;
extern const GUID DPAID_Phone;
extern const GUID DPAID_Modem;
extern const GUID DPAID_ComPort;

struct DPNAME {
    DWORD dwSize;
    DWORD dwFlags;
    char* lpszShortNameA;
    char* lpszLongNameA;
};

// Connection enumeration: the provider's GUID, its address (a compound address naming the
// provider), the address size, its name and flags; return TRUE to go on.
typedef BOOL (*LPDPENUMCONNECTIONSCALLBACK)(const GUID* serviceProvider, void* connection, DWORD connectionSize,
                                             const DPNAME* name, DWORD flags, void* context);

struct DPCOMPOUNDADDRESSELEMENT;
// Address enumeration: one call per element; return TRUE to go on.
typedef BOOL (*LPDPENUMADDRESSCALLBACK)(const GUID& dataType, DWORD dataSize, const void* data, void* context);

constexpr DWORD kDpMaxFrame = 65536 + 64;
constexpr DWORD kDpMaxMessage = 65536;
constexpr DWORD kDpMaxPlayers = 256;
constexpr DWORD kDpMaxPlayerData = 16;

enum : DWORD {
    DPSESSION_KEEPALIVE = 0x4,
    DPSESSION_MIGRATEHOST = 0x40,
};
enum : DWORD { DPOPEN_JOIN = 0x1, DPOPEN_CREATE = 0x2, DPOPEN_RETURNSTATUS = 0x80 };
enum : DWORD { DPENUMSESSIONS_AVAILABLE = 0x1, DPENUMSESSIONS_ALL = 0x2, DPENUMSESSIONS_RETURNSTATUS = 0x80 };
enum : DWORD { DPESC_TIMEDOUT = 0x1 };
enum : DWORD { DPENUMPLAYERS_ALL = 0, DPENUMPLAYERS_LOCAL = 0x8, DPENUMPLAYERS_REMOTE = 0x10, DPENUMPLAYERS_SESSION = 0x80 };
enum : DWORD { DPRECEIVE_ALL = 0x1 };
enum : DWORD { DPPLAYERTYPE_PLAYER = 1 };
constexpr DPID DPID_SYSMSG = 0;
constexpr DPID DPID_ALLPLAYERS = 0;
enum : DWORD {
    DPSYS_CREATEPLAYERORGROUP = 0x3,
    DPSYS_DESTROYPLAYERORGROUP = 0x5,
    DPSYS_SESSIONLOST = 0x31,
};
enum : DWORD { DPLCONNECTION_JOINSESSION = 0x1, DPLCONNECTION_CREATESESSION = 0x2 };

struct DPSESSIONDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidInstance;
    GUID guidApplication;
    DWORD dwMaxPlayers;
    DWORD dwCurrentPlayers;
    char* lpszSessionNameA;
    char* lpszPasswordA;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwUser1;
    DWORD dwUser2;
    DWORD dwUser3;
    DWORD dwUser4;
};

// System messages as Receive returns them: their pointers point inside the returned buffer.
struct DPMSG_GENERIC {
    DWORD dwType;
};
struct DPMSG_CREATEPLAYERORGROUP {
    DWORD dwType;  // DPSYS_CREATEPLAYERORGROUP
    DWORD dwPlayerType;
    DPID dpId;
    DWORD dwCurrentPlayers;
    void* lpData;  // the player data the creator gave
    DWORD dwDataSize;
    DPNAME dpnName;
    DPID dpIdParent;
    DWORD dwFlags;
};
struct DPMSG_DESTROYPLAYERORGROUP {
    DWORD dwType;  // DPSYS_DESTROYPLAYERORGROUP
    DWORD dwPlayerType;
    DPID dpId;
};
struct DPMSG_SESSIONLOST {
    DWORD dwType;  // DPSYS_SESSIONLOST
};

// What a lobby hands the game it launched; every pointer points inside the same buffer.
struct DPLCONNECTION {
    DWORD dwSize;
    DWORD dwFlags;  // DPLCONNECTION_CREATESESSION or DPLCONNECTION_JOINSESSION
    DPSESSIONDESC2* lpSessionDesc;
    DPNAME* lpPlayerName;
    GUID guidSP;
    void* lpAddress;
    DWORD dwAddressSize;
};

typedef BOOL (*LPDPENUMSESSIONSCALLBACK2)(const DPSESSIONDESC2* session, DWORD* timeout, DWORD flags, void* context);
typedef BOOL (*LPDPENUMPLAYERSCALLBACK2)(DPID id, DWORD playerType, const DPNAME* name, DWORD flags, void* context);

struct DPCOMPOUNDADDRESSELEMENT {
    GUID guidDataType;
    DWORD dwDataSize;
    const void* lpData;
};

struct IDirectPlay3A {
    virtual HRESULT QueryInterface(REFIID interfaceId, void** object) = 0;
    virtual ULONG AddRef() = 0;
    // The references left; the object is gone at 0.
    virtual ULONG Release() = 0;
    virtual HRESULT EnumConnections(const GUID* application, LPDPENUMCONNECTIONSCALLBACK callback, void* context,
                                    DWORD flags) = 0;
    // The address's provider and, for TCP/IP, its DPAID_INet text when the address was made by
    // CreateCompoundAddress.
    virtual HRESULT InitializeConnection(void* connection, DWORD flags) = 0;
    virtual HRESULT Close() = 0;
    // DPOPEN_JOIN joins the session of desc->guidInstance (found by the last EnumSessions);
    // DPOPEN_CREATE makes this object the host; with DPOPEN_RETURNSTATUS desc gets the new
    // instance GUID.
    virtual HRESULT Open(DPSESSIONDESC2* desc, DWORD flags) = 0;
    // Synchronous: asks the connection's machine, waits for the replies, calls back once per
    // session, then once with DPESC_TIMEDOUT (and a null session).
    virtual HRESULT EnumSessions(DPSESSIONDESC2* desc, DWORD timeout, LPDPENUMSESSIONSCALLBACK2 callback,
                                 void* context, DWORD flags) = 0;
    // DPENUMPLAYERS_LOCAL or _REMOTE over this session; with DPENUMPLAYERS_SESSION the players of
    // the listed session `instance`, asked of its host.
    virtual HRESULT EnumPlayers(const GUID* instance, LPDPENUMPLAYERSCALLBACK2 callback, void* context,
                                DWORD flags) = 0;
    virtual HRESULT CreatePlayer(DPID* id, const DPNAME* name, void* event, const void* data, DWORD dataSize,
                                 DWORD flags) = 0;
    virtual HRESULT DestroyPlayer(DPID id) = 0;
    virtual HRESULT GetPlayerData(DPID id, void* data, DWORD* size, DWORD flags) = 0;
    // Id 0 of a modem-provider object: an address whose DPAID_Modem element lists the modems
    // (none here: one empty name).
    virtual HRESULT GetPlayerAddress(DPID id, void* address, DWORD* size) = 0;
    // to 0: every player but `from`. `from` must be a local player.
    virtual HRESULT Send(DPID from, DPID to, DWORD flags, const void* data, DWORD size) = 0;
    // Size 0 and DPERR_NOMESSAGES when nothing waits; DPERR_BUFFERTOOSMALL with the size when the
    // buffer is null or small. A broadcast arrives once per local player, `to` its id.
    virtual HRESULT Receive(DPID* from, DPID* to, DWORD flags, void* data, DWORD* size) = 0;

protected:
    virtual ~IDirectPlay3A() = default;
};

struct IDirectPlayLobby2A {
    virtual HRESULT QueryInterface(REFIID interfaceId, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // A game started by a DirectPlay lobby reads its connection here (a DPLCONNECTION).
    virtual HRESULT GetConnectionSettings(DWORD flags, void* data, DWORD* size) = 0;
    virtual HRESULT SetConnectionSettings(DWORD flags, DWORD applicationId, const DPLCONNECTION* connection) = 0;
    // Creates or joins the session of the connection settings; *directPlay is then in it. The
    // stored lobby launch is taken up (removed from the registry).
    virtual HRESULT Connect(DWORD flags, IDirectPlay3A** directPlay, void* outer) = 0;
    virtual HRESULT EnumAddress(LPDPENUMADDRESSCALLBACK callback, const void* address, DWORD size, void* context) = 0;
    // Packs the elements as an address: per element its 16-byte type, 4-byte size (little-endian)
    // and data. DPERR_BUFFERTOOSMALL with the size needed when `size` is too small.
    virtual HRESULT CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, DWORD count, void* address,
                                          DWORD* size) = 0;

protected:
    virtual ~IDirectPlayLobby2A() = default;
};

PLATAPI HRESULT DirectPlayCreate(const GUID* serviceProvider, IDirectPlay3A** directPlay, void* outer);
PLATAPI HRESULT DirectPlayLobbyCreateA(const GUID* serviceProvider, IDirectPlayLobby2A** lobby, void* outer,
                                       void* data, DWORD dataSize);

// COM, as far as the transport creates DirectPlay through it.
enum : DWORD { CLSCTX_INPROC_SERVER = 0x1 };
PLATAPI HRESULT CoInitialize(void* reserved);
PLATAPI void CoUninitialize(void);
// CLSID_DirectPlay with IID_IDirectPlay3A; CO_E_NOTINITIALIZED before CoInitialize.
PLATAPI HRESULT CoCreateInstance(REFCLSID classId, void* outer, DWORD context, REFIID interfaceId, void** object);

namespace plat {
// The wire's readers, for tests: each answers false for bytes that are not a whole, valid packet.
struct DpSessionRecord {
    GUID instance;
    GUID application;
    DWORD flags;
    DWORD maxPlayers;
    DWORD currentPlayers;
    uint16_t port;
    std::string name;
};
struct DpPlayerRecord {
    DPID id;
    std::string data;
    std::string name;
};
PLATEXPORT bool DpParseEnumReply(const uint8_t* bytes, size_t size, DpSessionRecord* out);
PLATEXPORT bool DpParseJoinReply(const uint8_t* bytes, size_t size, DWORD* status, DpSessionRecord* out);
PLATEXPORT bool DpParsePlayerList(const uint8_t* bytes, size_t size, GUID* instance, std::vector<DpPlayerRecord>* out);
PLATEXPORT bool DpParseMessage(const uint8_t* bytes, size_t size, DPID* from, DPID* to, size_t* payloadAt);
PLATEXPORT bool DpParseSystem(const uint8_t* bytes, size_t size, DWORD* type, DpPlayerRecord* out);
// The body writers that match them (kind byte first, as in a TCP frame or after the magic).
PLATEXPORT std::vector<uint8_t> DpWriteEnumReply(const DpSessionRecord& session);
PLATEXPORT std::vector<uint8_t> DpWriteJoinReply(DWORD status, const DpSessionRecord& session);
PLATEXPORT std::vector<uint8_t> DpWritePlayerList(const GUID& instance, const std::vector<DpPlayerRecord>& players);
PLATEXPORT std::vector<uint8_t> DpWriteMessage(DPID from, DPID to, const void* payload, size_t size);
PLATEXPORT std::vector<uint8_t> DpWriteSystem(DWORD type, const DpPlayerRecord& player);

// A stored lobby launch (the registry value LobbyLaunch): "DPL1", u32 flags, instance GUID 16,
// application GUID 16, u32 max players, then three texts each as u16 length and bytes: session
// name, player name, DPAID_INet address. Nothing may follow.
struct DpLobbyLaunch {
    DWORD flags = 0;
    GUID instance = {};
    GUID application = {};
    DWORD maxPlayers = 0;
    std::string sessionName;
    std::string playerName;
    std::string address;
    DWORD sessionFlags = 0;  // not stored: what SetConnectionSettings was given
};
PLATEXPORT std::vector<uint8_t> DpWriteLobbyLaunch(const DpLobbyLaunch& launch);
PLATEXPORT bool DpParseLobbyLaunch(const uint8_t* bytes, size_t size, DpLobbyLaunch* out);
// Stores (or, with null, removes) the machine's pending lobby launch.
PLATEXPORT bool DpStoreLobbyLaunch(const DpLobbyLaunch* launch);
// The machine's DirectPlay port (0 none) and storing it.
PLATEXPORT DWORD DpMachinePort();
PLATEXPORT bool DpSetMachinePort(DWORD port);
// How long EnumSessions and a session player query wait for replies (default 300 ms).
PLATEXPORT void DpSetEnumWindow(DWORD ms);
// Tests of long connection lists: EnumConnections lists this many more providers after the four
// ("Test Connection N", none of them usable). 0 by default.
PLATEXPORT void DpSetExtraProviders(int count);
}  // namespace plat
