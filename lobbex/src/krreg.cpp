// The registry reads of the network library: the install directories and the binary manifest
// entries under HKEY_LOCAL_MACHINE "Software\Brellwick\Torvane".
#include "krreg.h"

#include <cstring>
#include <string>

#include "krlog.h"

namespace {

constexpr char kServiceKey[] = "Software\\Brellwick\\Torvane";
constexpr char kMainKey[] = "Software\\Brellwick\\Torvane\\Main";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

void StripTrailingSeparators(char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && IsSeparator(text[n - 1])) text[--n] = 0;
}

enum class Read { Found, Missing, TooLong };

// Reads a text value into `buffer` (`size` counting the terminator), always terminated.
Read ReadText(HKEY key, const char* name, char* buffer, uint32_t size) {
    DWORD type = 0, length = size;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length);
    if (rc == ERROR_MORE_DATA) return Read::TooLong;
    if (rc != ERROR_SUCCESS) return Read::Missing;
    if (length == 0 || buffer[length - 1] != 0) {
        if (length >= size) return Read::TooLong;
        buffer[length] = 0;
    }
    return Read::Found;
}

int Lookup(HKEY key, const char* first, const char* second, const char* subdirectory, char* buffer, uint32_t size) {
    if (first) {
        Read r = ReadText(key, first, buffer, size);
        if (r == Read::TooLong) return KR_DIR_TOO_LONG;
        if (r == Read::Found) {
            StripTrailingSeparators(buffer);
            return KR_DIR_FOUND;
        }
    }
    Read r = ReadText(key, second, buffer, size);
    if (r == Read::Missing) return KR_DIR_NO_ROOT;
    if (r == Read::TooLong) return KR_DIR_TOO_LONG;
    // Exactly one separator at the end, a backslash.
    size_t n = std::strlen(buffer);
    if (n > 0 && IsSeparator(buffer[n - 1])) {
        while (n > 1 && IsSeparator(buffer[n - 2])) buffer[--n] = 0;
        buffer[n - 1] = '\\';
    } else {
        if (n + 2 > size) return KR_DIR_TOO_LONG;
        buffer[n++] = '\\';
        buffer[n] = 0;
    }
    const char* sub = subdirectory ? subdirectory : "";
    while (IsSeparator(*sub)) ++sub;
    size_t extra = std::strlen(sub);
    if (n + extra + 1 > size) return KR_DIR_TOO_LONG;
    std::memcpy(buffer + n, sub, extra + 1);
    StripTrailingSeparators(buffer);
    return KR_DIR_FOUND;
}

}  // namespace

int LookupDirectory(const char* first, const char* second, const char* subdirectory, char* buffer, uint32_t size,
                    HKEY key) {
    if (!buffer || size == 0 || !second) return KR_DIR_TOO_LONG;
    buffer[0] = 0;
    HKEY use = key;
    if (!use && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMainKey, 0, KEY_READ, &use) != ERROR_SUCCESS) return KR_DIR_NO_KEY;
    int result = Lookup(use, first, second, subdirectory, buffer, size);
    if (!key) RegCloseKey(use);
    return result;
}

int LoadManifestEntry(const char* subkey, const char* valueName, void* buffer, uint32_t* size, int warn) {
    std::string path = std::string(kServiceKey) + "\\" + (subkey ? subkey : "");
    const uint32_t expected = size ? *size : 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        if (warn) KrWarn("LoadManifestEntry::Unable to open registry key (%s).", path.c_str());
        return KR_REG_NO_KEY;
    }
    DWORD type = 0, actual = 0;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &actual);
    int result = KR_REG_OK;
    if (rc != ERROR_SUCCESS) {
        if (warn)
            KrWarn("KrLoadBinaryObject::Unable to read value from registry (err:%d).\r\nKey:'%s'  Name:'%s' len:%d",
                   (int)rc, path.c_str(), valueName ? valueName : "", (int)expected);
        RegCloseKey(key);
        return KR_REG_UNREADABLE;
    }
    // The type is always tested (a 4-byte number must not pass for a binary word); only the
    // warning depends on `warn`.
    if (type != REG_BINARY) {
        if (warn) KrWarn("KrLoadBinaryObject::Value in registry has wrong type.");
        result = KR_REG_NOT_BINARY;
    }
    if (actual != expected) {
        KrWarn("KrLoadBinaryObject::Value in registry has wrong length. Got %d, expected %d", (int)actual,
               (int)expected);
        if (size) *size = actual;
        result = KR_REG_WRONG_LENGTH;
    }
    if (result == KR_REG_OK && expected > 0) {
        DWORD length = expected;
        rc = RegQueryValueExA(key, valueName, nullptr, &type, static_cast<BYTE*>(buffer), &length);
        if (rc != ERROR_SUCCESS || length != expected) {
            if (warn)
                KrWarn("KrLoadBinaryObject::Unable to read value from registry (err:%d).\r\nKey:'%s'  Name:'%s' len:%d",
                       (int)rc, path.c_str(), valueName ? valueName : "", (int)expected);
            result = KR_REG_UNREADABLE;
        }
    }
    RegCloseKey(key);
    return result;
}
