// The demo install's registry: DIR/registry.ini with the game's key, whose "SourcePath" and
// "TargetPath" both name DIR as an absolute path, written through the platform's registry.
#include <cstdio>
#include <filesystem>
#include <string>

#include "datakit/demo_steps.h"
#include "registry.h"

namespace dk {

namespace {
constexpr char kGameKey[] = "SOFTWARE\\Brellwick\\Ghoulden\\1.00";

bool SetString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD(value.size() + 1)) == ERROR_SUCCESS;
}
}  // namespace

bool DemoRegistry(const std::string& dir) {
    std::error_code ec;
    std::string root = std::filesystem::absolute(dir, ec).lexically_normal().string();
    if (ec || root.empty())
        return false;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();

    // This process's registry becomes the install's file while the key is written.
    const std::string previous = plat::RegistryPath();
    plat::SetRegistryPath(root + "/registry.ini");
    HKEY key = nullptr;
    DWORD disposition = 0;
    bool ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, &key, &disposition) == ERROR_SUCCESS;
    if (ok) {
        ok = SetString(key, "SourcePath", root) && SetString(key, "TargetPath", root);
        RegCloseKey(key);
    }
    plat::SetRegistryPath(previous);
    if (!ok)
        std::fprintf(stderr, "ghoulden-datakit: cannot write the registry key in %s/registry.ini\n", root.c_str());
    return ok;
}

}  // namespace dk
