// The hook table of memory and file functions and its setters. The defaults are the runtime's
// functions, installed when the library is loaded; nothing inside the library calls them: the
// table is there for the library's user.
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include "sonvex.h"

namespace {

int defaultClose(int handle) {
    return ::close(handle);
}
long defaultRead(int handle, void* buffer, unsigned count) {
    return static_cast<long>(::read(handle, buffer, count));
}
long defaultSeek(int handle, long offset, int origin) {
    return static_cast<long>(::lseek(handle, offset, origin));
}
int defaultOpen(const char* path, int flags) {
    return ::open(path, flags);
}

struct hookTable {
    wrenfieldMalloc malloc = std::malloc;
    wrenfieldCalloc calloc = std::calloc;
    wrenfieldFree free = std::free;
    wrenfieldClose close = defaultClose;
    wrenfieldRead read = defaultRead;
    wrenfieldSeek seek = defaultSeek;
    wrenfieldSeek seekSlow = defaultSeek;
    wrenfieldOpen open = defaultOpen;
};

hookTable g_hooks;

}  // namespace

SVXAPI wrenfieldMalloc Setwrenfield_malloc(wrenfieldMalloc f) {
    g_hooks.malloc = f;
    return f;
}
SVXAPI wrenfieldCalloc Setwrenfield_calloc(wrenfieldCalloc f) {
    g_hooks.calloc = f;
    return f;
}
SVXAPI wrenfieldFree Setwrenfield_free(wrenfieldFree f) {
    g_hooks.free = f;
    return f;
}
SVXAPI wrenfieldClose Setwrenfield_close(wrenfieldClose f) {
    g_hooks.close = f;
    return f;
}
SVXAPI wrenfieldRead Setwrenfield_read(wrenfieldRead f) {
    g_hooks.read = f;
    return f;
}
SVXAPI wrenfieldSeek Setwrenfield_seek(wrenfieldSeek f) {
    g_hooks.seek = f;
    return f;
}
SVXAPI wrenfieldSeek Setwrenfield_seek_slow(wrenfieldSeek f) {
    g_hooks.seekSlow = f;
    return f;
}
SVXAPI wrenfieldOpen Setwrenfield_open(wrenfieldOpen f) {
    g_hooks.open = f;
    return f;
}
