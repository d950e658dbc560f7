// Windows processes and the environment as the network library uses them: starting a program from
// a command line (shown minimised, suspended), its process and thread handles, its exit code, and
// reading an environment variable. Our own declarations, holding only what callers use;
// implemented over fork and exec in platform/src/win32_process.cpp.
#pragma once
#include "winthread.h"

enum : DWORD { STARTF_USESHOWWINDOW = 0x1 };
enum : DWORD { NORMAL_PRIORITY_CLASS = 0x20 };
enum : DWORD { ERROR_ENVVAR_NOT_FOUND = 203 };

struct STARTUPINFOA {
    DWORD cb;
    DWORD dwFlags;
    WORD wShowWindow;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// Starts the program named by the first word of `commandLine` (split into arguments as Windows
// does: blanks separate, double quotes group, \" is a quote). `application` must be null. The
// process and thread handles are signalled when the program has ended; both are closed with
// CloseHandle. CREATE_SUSPENDED stops the program before its first instruction (it is then
// continued by TerminateProcess only: a suspended start here is for callers that never resume).
// The window flags are recorded only. FALSE with ERROR_FILE_NOT_FOUND when the program does not
// exist.
PLATAPI BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, void* processSecurity, void* threadSecurity,
                            BOOL inheritHandles, DWORD flags, void* environment, LPCSTR directory,
                            STARTUPINFOA* startup, PROCESS_INFORMATION* information);
// STILL_ACTIVE while the program runs.
PLATAPI BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
PLATAPI BOOL TerminateProcess(HANDLE process, UINT exitCode);

// The variable's length (without the terminator) when it fits in `size`, else the size it needs
// (with the terminator); 0 with ERROR_ENVVAR_NOT_FOUND when it is not set.
PLATAPI DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
