// DirectPlay 3 and its lobby as the game's transport calls them, and the COM calls that create
// them. Our own declarations, holding only what callers use. The service providers are listed
// as on a Windows machine with DirectX 5 (TCP/IP, IPX, modem, serial); the IPX, modem and serial
// ones cannot be used here and refuse InitializeConnection with DPERR_UNAVAILABLE. A game is
// never started by a DirectPlay lobby here: GetConnectionSettings answers DPERR_NOTLOBBIED.
// Sessions over TCP/IP are not offered yet: EnumSessions finds none and Open answers
// DPERR_UNAVAILABLE.
#pragma once
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

struct DPCOMPOUNDADDRESSELEMENT {
    GUID guidDataType;
    DWORD dwDataSize;
    const void* lpData;
};

struct IDirectPlay3A {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT EnumConnections(const GUID* application, LPDPENUMCONNECTIONSCALLBACK callback, void* context,
                                    DWORD flags) = 0;
    virtual HRESULT InitializeConnection(void* connection, DWORD flags) = 0;

protected:
    virtual ~IDirectPlay3A() = default;
};

struct IDirectPlayLobby2A {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // A game started by a DirectPlay lobby reads its connection here.
    virtual HRESULT GetConnectionSettings(DWORD flags, void* data, DWORD* size) = 0;
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
