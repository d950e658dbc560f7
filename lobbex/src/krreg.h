// The network library's registry reads: the install directories (LookupDirectory) and the binary
// manifest entries under HKEY_LOCAL_MACHINE "Software\Brellwick\Torvane" (LoadManifestEntry),
// on which the binary objects of the service's TEMP key are built.
#pragma once
#include <cstdint>

#include "registry.h"

// Results of LookupDirectory.
enum : int { KR_DIR_FOUND = 0, KR_DIR_TOO_LONG = 1, KR_DIR_NO_KEY = 2, KR_DIR_NO_ROOT = 3 };

// Finds a directory of the install from "Software\Brellwick\Torvane\Main" (opened and closed
// here when `key` is null; a caller's open key is used as it is): the value `first` when given
// and present, else the value `second` with `subdirectory` appended after one '\'. Trailing
// separators are removed. `size` counts the terminator.
int LookupDirectory(const char* first, const char* second, const char* subdirectory, char* buffer, uint32_t size,
                    HKEY key);

// Results of LoadManifestEntry and the binary objects.
enum : int { KR_REG_OK = 0, KR_REG_NO_KEY = -50, KR_REG_UNREADABLE = -51, KR_REG_NOT_BINARY = -52,
             KR_REG_WRONG_LENGTH = -53 };

// Reads the binary value `valueName` of "Software\Brellwick\Torvane\<subkey>" into `buffer`.
// `size` is in/out: the expected length in; the actual length out when it differs (-53, and
// nothing is copied). Warnings go through KrWarn; only the length warning is given when `warn`
// is off.
int LoadManifestEntry(const char* subkey, const char* valueName, void* buffer, uint32_t* size, int warn);
