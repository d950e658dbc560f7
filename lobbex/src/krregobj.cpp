// The binary objects of the service's TEMP key ("Software\Brellwick\Torvane\TEMP"): small records
// that the lobby and the library leave for each other (the game definition, the trace file's
// process count).
#include <cstdio>

#include "krlog.h"
#include "krreg.h"
#include "lobbex_exports.h"

namespace {
constexpr char kTempKeyFormat[] = "%s\\TEMP";
constexpr char kServiceKey[] = "Software\\Brellwick\\Torvane";
}  // namespace

LOBBEX_API int KrLoadBinaryObject(const char* name, void* buffer, uint32_t* size) {
    return LoadManifestEntry("TEMP", name, buffer, size, 1);
}

LOBBEX_API int KrSaveBinaryObject(const char* name, const void* data, uint32_t size) {
    char path[128];
    std::snprintf(path, sizeof path, kTempKeyFormat, kServiceKey);
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "Torvane Game Manifest Object";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        KrWarn("KrSaveBinaryObject::Unable to create registry key (%s)", path);
        return -1;
    }
    LONG rc = RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        KrWarn("KrSaveBinaryObject::Unable to record value in registry.");
        return int(KrLogReturnVal("KrSaveBinaryObject", -1));
    }
    return int(KrLogReturnVal("KrSaveBinaryObject", 0));
}
