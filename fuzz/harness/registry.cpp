// The registry file: the input is a machine's registry text file. The game's and the network
// library's reads run over it (install directories, manifest entries, the game definition, every
// value of their keys listed and read back), then a value is written, which rewrites the whole
// file, and must read back as written.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "krcgame.h"
#include "krreg.h"
#include "lobbex_exports.h"
#include "net_stub_resolver.h"
#include "registry.h"

namespace {

const char* const kKeys[] = {
    "Software\\Brellwick\\Torvane",      "Software\\Brellwick\\Torvane\\Main",
    "Software\\Brellwick\\Torvane\\TEMP", "SOFTWARE\\Brellwick\\Ghoulden\\1.00",
    "Software\\Platform\\DirectPlay",    "Software\\Platform\\Brellapi",
};

// Every value of a key, listed and then read by name.
void ListKey(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0; i < 64; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        std::vector<uint8_t> value(512);
        dataSize = DWORD(value.size());
        const LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, value.data(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) continue;
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size < (1u << 20)) {
            std::vector<uint8_t> whole(size + 1);
            RegQueryValueExA(key, name, nullptr, &type, whole.data(), &size);
        }
    }
    RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        plat::SetRegistryPath(fz::Scratch() + "/registry.ini");
        return true;
    }();
    (void)ready;
    if (!fz::Put("registry.ini", data, size)) return 0;
    for (const char* key : kKeys) ListKey(key);

    char directory[260];
    LookupDirectory("InstallDir", "Root", "Games", directory, sizeof directory, nullptr);
    LookupDirectory(nullptr, "Root", "Lobby", directory, 16, nullptr);
    uint8_t manifest[64];
    uint32_t manifestSize = sizeof manifest;
    LoadManifestEntry("Manifest", "Entry", manifest, &manifestSize, 1);
    std::vector<uint8_t> record(GAMEDEF_GAME_SIZE);
    KrLoadGameDef(reinterpret_cast<GAMEDEF*>(record.data()), int16_t(record.size()));
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g) GetGamePtr(g)->state = KRGAME_FREE;

    // A write rewrites the file from what was read; the value reads back as written.
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brellwick\\Torvane\\Main", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        static const char kValue[] = "C:\\Fuzz \"dir\"";
        if (RegSetValueExA(key, "Root", 0, REG_SZ, reinterpret_cast<const BYTE*>(kValue), sizeof kValue) ==
            ERROR_SUCCESS) {
            char back[64] = {};
            DWORD type = 0, backSize = sizeof back;
            if (RegQueryValueExA(key, "Root", nullptr, &type, reinterpret_cast<BYTE*>(back), &backSize) !=
                    ERROR_SUCCESS ||
                type != REG_SZ || std::strcmp(back, kValue) != 0)
                std::abort();
        }
        RegCloseKey(key);
    }
    return 0;
}
