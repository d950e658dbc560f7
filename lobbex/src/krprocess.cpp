// The environment reader and the process starter of the library.
#include <cstdlib>
#include <cstring>
#include <string>

#include "lobbex_exports.h"
#include "winprocess.h"

// A heap copy of the variable's text (the caller frees it), or `defaultValue` itself when the
// variable is not set.
LOBBEX_API char* KrGetEnv(const char* name, char* defaultValue) {
    DWORD need = GetEnvironmentVariableA(name, nullptr, 0);
    if (need == 0) return defaultValue;
    char* text = static_cast<char*>(std::malloc(need));
    if (!text) return defaultValue;
    DWORD got = GetEnvironmentVariableA(name, text, need);
    if (got + 1 != need) { // changed in between
        std::free(text);
        return defaultValue;
    }
    return text;
}

// Options: bit 0 shown minimised, bit 1 suspended (unless bit 2), bit 2 wait until it ends.
// Without `information` both handles are closed; otherwise the caller owns them.
LOBBEX_API int KrStartProcess(const char* commandLine, uint32_t options, PROCESS_INFORMATION* information) {
    if (!commandLine) return 0;
    std::string line = commandLine; // CreateProcess may write into its command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (options & KR_PROCESS_MINIMISED) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINIMIZED;
    }
    DWORD flags = NORMAL_PRIORITY_CLASS;
    if ((options & KR_PROCESS_SUSPENDED) && !(options & KR_PROCESS_WAIT)) flags |= CREATE_SUSPENDED;
    PROCESS_INFORMATION own = {};
    PROCESS_INFORMATION* info = information ? information : &own;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, info))
        return 0;
    if (options & KR_PROCESS_WAIT) WaitForSingleObject(info->hProcess, INFINITE);
    if (!information) {
        CloseHandle(own.hProcess);
        CloseHandle(own.hThread);
    }
    return 1;
}
