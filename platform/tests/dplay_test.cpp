// DirectPlay's connections and lobby: the four providers are listed with addresses that name
// them, only TCP/IP can be initialised, compound addresses pack their elements field by field,
// the lobby reports that it did not start the game, and COM creates DirectPlay only after
// CoInitialize.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dplay.h"

namespace {

struct Listed {
    GUID provider;
    std::vector<uint8_t> address;
    std::string name;
};

BOOL Collect(const GUID* provider, void* connection, DWORD size, const DPNAME* name, DWORD, void* context) {
    auto* list = static_cast<std::vector<Listed>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(connection);
    list->push_back({*provider, std::vector<uint8_t>(bytes, bytes + size), name->lpszShortNameA});
    return TRUE;
}

BOOL StopAtFirst(const GUID*, void*, DWORD, const DPNAME*, DWORD, void* context) {
    ++*static_cast<int*>(context);
    return FALSE;
}

TEST(DirectPlay, ProvidersAreListedAndOnlyTcpIpCanBeUsed) {
    std::vector<Listed> listed;
    struct Case {
        const GUID* provider;
        HRESULT init;
    } cases[] = {
        {&DPSPGUID_IPX, DPERR_UNAVAILABLE},
        {&DPSPGUID_TCPIP, DP_OK},
        {&DPSPGUID_MODEM, DPERR_UNAVAILABLE},
        {&DPSPGUID_SERIAL, DPERR_UNAVAILABLE},
    };
    IDirectPlay3A* lister = nullptr;
    ASSERT_EQ(DirectPlayCreate(nullptr, &lister, nullptr), DP_OK);
    ASSERT_EQ(lister->EnumConnections(nullptr, Collect, &listed, 0), DP_OK);
    int calls = 0;
    EXPECT_EQ(lister->EnumConnections(nullptr, StopAtFirst, &calls, 0), DP_OK);
    EXPECT_EQ(calls, 1) << "FALSE ends the enumeration";
    lister->Release();
    ASSERT_EQ(listed.size(), 4u);
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_TRUE(listed[i].provider == *cases[i].provider) << listed[i].name;
        IDirectPlay3A* dp = nullptr;
        ASSERT_EQ(DirectPlayCreate(nullptr, &dp, nullptr), DP_OK);
        EXPECT_EQ(dp->InitializeConnection(listed[i].address.data(), 0), cases[i].init) << listed[i].name;
        if (cases[i].init == DP_OK) {
            EXPECT_EQ(dp->InitializeConnection(listed[i].address.data(), 0), DPERR_ALREADYINITIALIZED);
        }
        dp->Release();
    }
    EXPECT_NE(listed[1].name.find("TCP/IP"), std::string::npos);
}

TEST(DirectPlay, CompoundAddressesPackTheirElements) {
    IDirectPlayLobby2A* lobby = nullptr;
    ASSERT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
    const char host[] = "10.0.0.5";
    const GUID sp = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    const DPCOMPOUNDADDRESSELEMENT elements[] = {{DPAID_ServiceProvider, 16, &sp}, {DPAID_INet, sizeof host, host}};
    DWORD size = 0;
    EXPECT_EQ(lobby->CreateCompoundAddress(elements, 2, nullptr, &size), DPERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, 20u + 16 + 20 + 9);
    std::vector<uint8_t> address(size);
    DWORD small = size - 1;
    EXPECT_EQ(lobby->CreateCompoundAddress(elements, 2, address.data(), &small), DPERR_BUFFERTOOSMALL);
    ASSERT_EQ(lobby->CreateCompoundAddress(elements, 2, address.data(), &size), DP_OK);
    // The provider element's size and data, little-endian GUID fields.
    const uint8_t provider[] = {16, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 0x08, 0x07,
                                9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(std::memcmp(address.data() + 16, provider, sizeof provider), 0);
    EXPECT_EQ(address[36 + 16], 9);
    EXPECT_STREQ(reinterpret_cast<const char*>(address.data()) + 56, host);

    // An address naming an unknown provider is refused.
    IDirectPlay3A* dp = nullptr;
    ASSERT_EQ(DirectPlayCreate(nullptr, &dp, nullptr), DP_OK);
    EXPECT_EQ(dp->InitializeConnection(address.data(), 0), DPERR_INVALIDPARAMS);
    dp->Release();

    DWORD settingsSize = 0;
    EXPECT_EQ(lobby->GetConnectionSettings(0, nullptr, &settingsSize), DPERR_NOTLOBBIED);
    lobby->Release();
}

TEST(DirectPlay, ComCreatesDirectPlayAfterCoInitialize) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoCreateInstance(IID_IDirectPlay3A, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlayLobby2A, &object),
              DPERR_NOINTERFACE);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A, &object), S_OK);
    ASSERT_NE(object, nullptr);
    static_cast<IDirectPlay3A*>(object)->Release();
    CoUninitialize();
    CoUninitialize();
    CoUninitialize(); // never below zero
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

}  // namespace
