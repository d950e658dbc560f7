// Windows file handles as the network library's trace files use them: open or create, read and
// write at the file pointer, move the pointer, cut the file at it, flush, delete and rename.
// Paths are game paths: backslashes become '/' and each component is matched without regard to
// case (plat::ResolvePath). Handles are closed with CloseHandle (winthread.h). Our own
// declarations; implemented in platform/src/win32_file.cpp.
#pragma once
#include "winthread.h"

enum : DWORD { GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u };
enum : DWORD { FILE_SHARE_READ = 0x1, FILE_SHARE_WRITE = 0x2, FILE_SHARE_DELETE = 0x4 };
enum : DWORD { CREATE_NEW = 1, CREATE_ALWAYS = 2, OPEN_EXISTING = 3, OPEN_ALWAYS = 4, TRUNCATE_EXISTING = 5 };
enum : DWORD { FILE_ATTRIBUTE_NORMAL = 0x80 };
enum : DWORD { FILE_BEGIN = 0, FILE_CURRENT = 1, FILE_END = 2 };
enum : DWORD { INVALID_SET_FILE_POINTER = 0xFFFFFFFFu, INVALID_FILE_SIZE = 0xFFFFFFFFu };
enum : DWORD { ERROR_PATH_NOT_FOUND = 3, ERROR_WRITE_FAULT = 29, ERROR_READ_FAULT = 30, ERROR_DISK_FULL = 112 };

// Sharing is not enforced: every file may be opened by several handles and processes at once.
// CREATE_ALWAYS and OPEN_ALWAYS on an existing file set the last error to ERROR_ALREADY_EXISTS.
PLATAPI HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                           DWORD flags, HANDLE templateFile);
// The overlapped argument must be null.
PLATAPI BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytesRead, void* overlapped);
PLATAPI BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* bytesWritten, void* overlapped);
PLATAPI DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
PLATAPI BOOL SetEndOfFile(HANDLE file);
PLATAPI BOOL FlushFileBuffers(HANDLE file);
PLATAPI DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
PLATAPI BOOL DeleteFileA(LPCSTR path);
// Fails with ERROR_ALREADY_EXISTS when the new name exists.
PLATAPI BOOL MoveFileA(LPCSTR existing, LPCSTR newName);
