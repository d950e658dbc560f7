// The registry as one text file per machine (PLATFORM_REGISTRY, default
// ~/.config/brellwick/registry.ini). Key paths compare without regard to case. Writers take an
// inter-process lock and replace the file atomically (temporary file and rename); the file is
// created on the first write.
#pragma once
#include <string>

#include "plat.h"
#include "win32.h"

struct PlatRegKey;
typedef PlatRegKey* HKEY;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)

enum : LONG {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_OUTOFMEMORY = 14,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_MORE_DATA = 234,
    ERROR_NO_MORE_ITEMS = 259,
};
enum : DWORD { REG_NONE = 0, REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4 };
enum : DWORD { KEY_QUERY_VALUE = 0x1, KEY_SET_VALUE = 0x2, KEY_READ = 0x20019, KEY_WRITE = 0x20006, KEY_ALL_ACCESS = 0xF003F };
enum : DWORD { REG_OPTION_NON_VOLATILE = 0 };
enum : DWORD { REG_CREATED_NEW_KEY = 1, REG_OPENED_EXISTING_KEY = 2 };

PLATAPI LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, DWORD access, HKEY* result);
PLATAPI LONG RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                             DWORD access, void* security, HKEY* result, DWORD* disposition);
PLATAPI LONG RegCloseKey(HKEY key);
// Standard semantics: data null asks only for type and size; a too-small buffer gives
// ERROR_MORE_DATA with the needed size in *dataSize. REG_SZ sizes count the terminator.
PLATAPI LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                              DWORD* dataSize);
PLATAPI LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD dataSize);
// The value at `index` (0 up, in stored order): ERROR_NO_MORE_ITEMS past the last one.
PLATAPI LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD* reserved, DWORD* type,
                           BYTE* data, DWORD* dataSize);
PLATAPI LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
PLATAPI LONG RegDeleteKeyA(HKEY parent, LPCSTR subKey);

namespace plat {
// The registry file in use: PLATFORM_REGISTRY or the default. Tests and tools that play one
// machine set their own file here before the first registry call.
PLATEXPORT void SetRegistryPath(const std::string& path);
PLATEXPORT std::string RegistryPath();
}  // namespace plat
