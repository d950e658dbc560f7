// Registry helpers of the library: string and number values by open key or by path under
// HKEY_LOCAL_MACHINE, the per-game manifest keys, and the search list of directories collected
// from a key's values.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lobbex_exports.h"
#include "registry.h"

namespace {
// The manifest key of a game is this text with the game's number written over its first digit.
constexpr char kManifestKey[] = "Software\\Brellwick\\Torvane\\Manifest\\GAME00000000000000000000";
constexpr size_t kManifestDigits = sizeof "Software\\Brellwick\\Torvane\\Manifest\\GAME" - 1;
constexpr DWORD kEnumLimit = 260;

bool ManifestKey(int game, char* out, size_t size) {
    if (size < sizeof kManifestKey) return false;
    std::memcpy(out, kManifestKey, sizeof kManifestKey);
    std::snprintf(out + kManifestDigits, size - kManifestDigits, "%d", game);
    return true;
}

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace

// A missing value, or one that is not a string, gives `defaultValue` itself (not a copy): the
// caller frees the result only when it differs from its default.
LOBBEX_API char* KrRegQueryStringValue(HKEY key, const char* name, char* defaultValue) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return defaultValue;
    char* text = static_cast<char*>(std::malloc(size ? size : 1));
    if (!text) return defaultValue;
    text[0] = 0;
    DWORD length = size;
    if (size && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &length) != ERROR_SUCCESS)
        text[0] = 0;
    if (size) text[size - 1] = 0;
    return text;
}

LOBBEX_API DWORD KrRegQueryDWORDValue(HKEY key, const char* name, DWORD defaultValue) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return value;
}

LOBBEX_API char* KrRegGetStringValue(const char* subkey, const char* name, char* defaultValue) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return defaultValue;
    char* text = KrRegQueryStringValue(key, name, defaultValue);
    RegCloseKey(key);
    return text;
}

LOBBEX_API DWORD KrRegGetDWORDValue(const char* subkey, const char* name, DWORD defaultValue) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return defaultValue;
    DWORD value = KrRegQueryDWORDValue(key, name, defaultValue);
    RegCloseKey(key);
    return value;
}

LOBBEX_API char* KrManifestGetStringValue(int game, const char* name, char* defaultValue) {
    char path[sizeof kManifestKey];
    if (!ManifestKey(game, path, sizeof path)) return defaultValue;
    return KrRegGetStringValue(path, name, defaultValue);
}

LOBBEX_API DWORD KrManifestGetDWORDValue(int game, const char* name, DWORD defaultValue) {
    char path[sizeof kManifestKey];
    if (!ManifestKey(game, path, sizeof path)) return defaultValue;
    return KrRegGetDWORDValue(path, name, defaultValue);
}

// Strings are stored with their terminator.
LOBBEX_API LONG KrRegSetStringValue(HKEY key, const char* name, const char* text) {
    const char* value = text ? text : "";
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(std::strlen(value) + 1));
}

LOBBEX_API LONG KrRegSetDWORDValue(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LOBBEX_API LONG KrRegPutStringValue(const char* subkey, const char* name, const char* text) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    rc = KrRegSetStringValue(key, name, text);
    RegCloseKey(key);
    return rc;
}

LOBBEX_API LONG KrRegPutDWORDValue(const char* subkey, const char* name, DWORD value) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    rc = KrRegSetDWORDValue(key, name, value);
    RegCloseKey(key);
    return rc;
}

// Adds a directory to a search list ("dir;dir;..."): only a network path (two slashes) or a
// drive path ("C:\", "C:/") after leading blanks is taken, without its trailing blanks, ';' and
// '\'. 1 when it was added.
LOBBEX_API int KrSearchListAdd(const char* candidate, char** list) {
    if (!list || !candidate) return 0;
    while (IsBlank(*candidate)) ++candidate;
    const bool network = IsSlash(candidate[0]) && IsSlash(candidate[1]);
    const bool drive = candidate[0] && candidate[1] == ':' && IsSlash(candidate[2]);
    if (!network && !drive) return 0;
    size_t n = std::strlen(candidate);
    while (n > 0 && IsBlank(candidate[n - 1])) --n;
    while (n > 0 && (candidate[n - 1] == ';' || candidate[n - 1] == '\\')) --n;
    const size_t old = *list ? std::strlen(*list) : 0;
    const size_t joiner = old ? 1 : 0;
    char* grown = static_cast<char*>(std::realloc(*list, old + joiner + n + 1));
    if (!grown) return 0;
    if (joiner) grown[old] = ';';
    std::memcpy(grown + old + joiner, candidate, n);
    grown[old + joiner + n] = 0;
    *list = grown;
    return 1;
}

// Each value of the key in order: a string with text contributes its text, any other value with
// a name contributes its name. The number of values read.
LOBBEX_API int KrRegBuildSearchList(HKEY root, const char* subkey, char** list) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    int count = 0;
    for (DWORD index = 0;; ++index) {
        char name[kEnumLimit + 1] = {};
        BYTE data[kEnumLimit + 1] = {};
        DWORD nameSize = kEnumLimit, dataSize = kEnumLimit, type = 0;
        LONG rc = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue; // longer than the limit: skipped
        ++count;
        const char* text = reinterpret_cast<const char*>(data);
        if (type == REG_SZ && dataSize > 0 && text[0])
            KrSearchListAdd(text, list);
        else if (name[0])
            KrSearchListAdd(name, list);
    }
    RegCloseKey(key);
    return count;
}
