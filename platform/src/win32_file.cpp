// Windows file handles over POSIX file descriptors: the calls in winfile.h. Game paths are
// resolved with plat::ResolvePath (backslashes, case); sharing modes are not enforced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel_object.h"
#include "plat.h"
#include "winfile.h"

namespace {

using plat::detail::ErrorFromErrno;
using plat::detail::KernelObject;
using plat::detail::LookupHandleAs;

struct FileObject : KernelObject {
    explicit FileObject(int descriptor) : KernelObject(Kind::File), fd(descriptor) {}
    ~FileObject() override { close(fd); }
    const int fd;
};

std::shared_ptr<FileObject> LookupFile(HANDLE file) {
    return LookupHandleAs<FileObject>(file, KernelObject::Kind::File);
}

bool Fail(int error) {
    SetLastError(ErrorFromErrno(error));
    return false;
}

}  // namespace

PLATAPI HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string real = plat::ResolvePath(path);
    int mode = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
               : (access & GENERIC_WRITE)                          ? O_WRONLY
                                                                   : O_RDONLY;
    mode |= O_CLOEXEC;
    int fd = -1;
    bool existed = false;
    switch (disposition) {
    case CREATE_NEW: fd = open(real.c_str(), mode | O_CREAT | O_EXCL, 0644); break;
    case OPEN_EXISTING: fd = open(real.c_str(), mode); break;
    case TRUNCATE_EXISTING: fd = open(real.c_str(), mode | O_TRUNC); break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
            fd = open(real.c_str(), mode | (disposition == CREATE_ALWAYS ? O_TRUNC : 0));
            if (fd >= 0) {
                existed = true;
            } else if (errno == ENOENT) {
                fd = open(real.c_str(), mode | O_CREAT | O_EXCL, 0644);
                if (fd < 0 && errno != EEXIST) break;
            } else {
                break;
            }
        }
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (fd < 0) {
        Fail(errno);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = plat::detail::NewHandle(std::make_shared<FileObject>(fd));
    SetLastError(existed ? (DWORD)ERROR_ALREADY_EXISTS : (DWORD)ERROR_SUCCESS);
    return handle;
}

PLATAPI BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytesRead, void* overlapped) {
    auto f = LookupFile(file);
    if (bytesRead) *bytesRead = 0;
    if (!f) return FALSE;
    if (overlapped || (!buffer && bytes)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytes) {
        ssize_t n = read(f->fd, static_cast<char*>(buffer) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(errno);
        if (n == 0) break;
        done += (DWORD)n;
    }
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

PLATAPI BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* bytesWritten, void* overlapped) {
    auto f = LookupFile(file);
    if (bytesWritten) *bytesWritten = 0;
    if (!f) return FALSE;
    if (overlapped || (!buffer && bytes)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytes) {
        ssize_t n = write(f->fd, static_cast<const char*>(buffer) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (bytesWritten) *bytesWritten = done;
            return Fail(n < 0 ? errno : ENOSPC);
        }
        done += (DWORD)n;
    }
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

PLATAPI DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    auto f = LookupFile(file);
    if (!f) return INVALID_SET_FILE_POINTER;
    int64_t move = distanceHigh ? (int64_t)(((uint64_t)(uint32_t)*distanceHigh << 32) | (uint32_t)distance)
                                : (int64_t)distance;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t at = lseek(f->fd, (off_t)move, whence);
    if (at < 0) {
        Fail(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = (LONG)((uint64_t)at >> 32);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)at;
}

PLATAPI BOOL SetEndOfFile(HANDLE file) {
    auto f = LookupFile(file);
    if (!f) return FALSE;
    off_t at = lseek(f->fd, 0, SEEK_CUR);
    if (at < 0 || ftruncate(f->fd, at) != 0) return Fail(errno);
    return TRUE;
}

PLATAPI BOOL FlushFileBuffers(HANDLE file) {
    auto f = LookupFile(file);
    if (!f) return FALSE;
    if (fsync(f->fd) != 0) return Fail(errno);
    return TRUE;
}

PLATAPI DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
    auto f = LookupFile(file);
    if (!f) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        Fail(errno);
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh) *sizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)st.st_size;
}

PLATAPI BOOL DeleteFileA(LPCSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (unlink(plat::ResolvePath(path).c_str()) != 0) return Fail(errno);
    return TRUE;
}

PLATAPI BOOL MoveFileA(LPCSTR existing, LPCSTR newName) {
    if (!existing || !newName || !*existing || !*newName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string from = plat::ResolvePath(existing);
    std::string to = plat::ResolvePath(newName);
    // link() refuses an existing target, and keeps the move one step for other processes.
    if (link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (errno != EPERM && errno != EXDEV && errno != ENOTSUP) return Fail(errno);
        struct stat st;
        if (stat(to.c_str(), &st) == 0) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (rename(from.c_str(), to.c_str()) != 0) return Fail(errno);
        return TRUE;
    }
    unlink(from.c_str());
    return TRUE;
}
