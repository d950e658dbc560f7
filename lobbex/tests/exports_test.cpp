// The shared library exports exactly its table: the public names are found by name, the
// internal ones are not, and the library answers through its own definitions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Whether `name`, looked up through the library's handle (which also searches what the library
// depends on), is defined by the library itself.
bool DefinedByLibrary(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) return false;
    Dl_info info;
    if (!dladdr(symbol, &info) || !info.dli_fname) return false;
    const std::string file = info.dli_fname;
    return file.substr(file.rfind('/') + 1) == "liblobbex.so";
}

TEST(Exports, PublicNamesOnlyAndTheyWork) {
    void* library = dlopen(LOBBEX_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name :
         {"kr_log", "kr_error", "kr_exit", "kr_abort", "KrAbort", "KrError", "KrWarn", "KrInfo", "KrDebug", "KrTraceMsg",
          "KrSetTrace", "KrGetTrace", "KrLogInit", "KrLogInitNotice", "KrTraceClose", "KrLogAPICall", "KrLogReturnVal",
          "KrGetLastError", "KrGetErrorText", "KrDisplayError", "KrEnableAutoErrorMessageBoxes", "LobbexVersion",
          "KrErrorGet", "KrRegisterMonitorCallback", "KrMonitorNotify", "KrProgramException", "BuildSockAddr",
          "strmcpy", "KrIPX_DoPeriodicUpdate", "KrIPX_GetMachineInfo", "KrIPX_GetNumberRemoteMachine",
          "KrIPX_GetLocalAdr", "KrLoadBinaryObject", "KrSaveBinaryObject", "KrStringToTlAddr", "KRTLADDRtostr",
          "KrTlToSockAddr", "KrGetTime", "KrGetLocalDate", "KrTimeToLocalDate"}) {
        EXPECT_TRUE(DefinedByLibrary(library, name)) << name << " is exported";
    }
    for (const char* name : {"KrTimeout", "KrUntimeout", "KrLockEnter", "KrEventWait", "LookupDirectory",
                             "LoadManifestEntry", "KrAvlInsert", "KrTmoModuleInit", "KrAddrPack", "KrErrorSet",
                             "KrWinsockStartup", "KrErrorTextFor", "xdr_int", "xdr_string"}) {
        EXPECT_FALSE(DefinedByLibrary(library, name)) << name << " stays inside the library";
    }
    using GetText = int (*)(int, char*, int);
    using Version = uint32_t (*)(char*, int);
    auto getText = reinterpret_cast<GetText>(dlsym(library, "KrGetErrorText"));
    auto version = reinterpret_cast<Version>(dlsym(library, "LobbexVersion"));
    ASSERT_TRUE(getText && version);
    char text[64];
    EXPECT_EQ(getText(-44, text, sizeof text), 0);
    EXPECT_STREQ(text, "Game server rejected our request to join the game.");
    EXPECT_EQ(version(text, sizeof text), 0x01020020u);
    EXPECT_STREQ(text, "Lobbex v1.02.20");
    dlclose(library);
}

}  // namespace
