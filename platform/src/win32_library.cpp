// Run-time loading over dlopen. A Windows library name maps to a Linux one ("VOX.DLL" ->
// "libvox.so"), looked for beside the library that asks for it, beside the program, beside
// libplatform.so and then in each folder of PLATFORM_LIBRARY_PATH (colon-separated). A library
// that is not found is simply not loaded (null).
#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "internal.h"

namespace plat::detail {

// "VOX.DLL" -> "libvox.so": a path keeps only its last component, the name is lower-cased,
// ".dll" is dropped and "lib" and ".so" are added. A name that already ends in ".so" is used
// as it is.
std::string LinuxLibraryName(const std::string& windowsName) {
    std::string base = windowsName;
    size_t slash = base.find_last_of("\\/");
    if (slash != std::string::npos)
        base = base.substr(slash + 1);
    if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0)
        return base;
    for (char& ch : base)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0)
        base.resize(base.size() - 4);
    if (base.empty())
        return {};
    return "lib" + base + ".so";
}

namespace {
std::string DirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string DirOfObject(const void* address) {
    Dl_info info{};
    if (address && dladdr(address, &info) && info.dli_fname && *info.dli_fname)
        return DirOf(info.dli_fname);
    return {};
}

std::string ProgramDir() {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return {};
    return DirOf(std::string(buf.data(), static_cast<size_t>(n)));
}

bool IsFile(const std::string& path) {
    return access(path.c_str(), R_OK) == 0;
}
}  // namespace

HMODULE LoadLibraryFrom(const char* name, const void* caller) {
    if (!name)
        return nullptr;
    const std::string file = LinuxLibraryName(name);
    if (file.empty())
        return nullptr;
    std::vector<std::string> dirs;
    for (const std::string& d :
         {DirOfObject(caller), ProgramDir(), DirOfObject(reinterpret_cast<const void*>(&LinuxLibraryName))})
        if (!d.empty())
            dirs.push_back(d);
    if (const char* extra = std::getenv("PLATFORM_LIBRARY_PATH")) {
        std::string list = extra;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            if (colon == std::string::npos)
                colon = list.size();
            if (colon > start)
                dirs.push_back(list.substr(start, colon - start));
            start = colon + 1;
        }
    }
    for (const std::string& dir : dirs) {
        const std::string path = dir + "/" + file;
        if (!IsFile(path))
            continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return static_cast<HMODULE>(handle);
        std::fprintf(stderr, "platform: cannot load %s: %s\n", path.c_str(), dlerror());
    }
    return nullptr;
}

}  // namespace plat::detail

PLATAPI HMODULE LoadLibraryA(LPCSTR name) {
    return plat::detail::LoadLibraryFrom(name, __builtin_return_address(0));
}

PLATAPI void* GetProcAddress(HMODULE module, LPCSTR name) {
    // Ordinals (small numbers in place of a name) do not exist on Linux.
    if (!module || !name || reinterpret_cast<uintptr_t>(name) < 0x10000)
        return nullptr;
    return dlsym(module, name);
}

PLATAPI BOOL FreeLibrary(HMODULE module) {
    if (!module)
        return FALSE;
    return dlclose(module) == 0 ? TRUE : FALSE;
}
