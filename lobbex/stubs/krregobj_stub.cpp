// Stand-in for the binary objects of the service's TEMP key until the library-start issue builds
// them with the game definition: KrLoadBinaryObject and KrSaveBinaryObject, which the trace
// file's process count ("KrTraceCount") needs now.
#include <string>

#include "krlog.h"
#include "krreg.h"

LOBBEX_API int KrLoadBinaryObject(const char* name, void* buffer, uint32_t* size) {
    return LoadManifestEntry("TEMP", name, buffer, size, 1);
}

LOBBEX_API int KrSaveBinaryObject(const char* name, const void* data, uint32_t size) {
    const std::string path = "Software\\Brellwick\\Torvane\\TEMP";
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "Torvane Game Manifest Object";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
        KrWarn("KrSaveBinaryObject::Unable to create registry key (%s)", path.c_str());
        return -1;
    }
    LONG rc = RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        KrWarn("KrSaveBinaryObject::Unable to record value in registry.");
        return (int)KrLogReturnVal("KrSaveBinaryObject", -1);
    }
    return (int)KrLogReturnVal("KrSaveBinaryObject", 0);
}
