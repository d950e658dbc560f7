// The game definition record: the input's first byte picks the caller's buffer size (the game's
// record size, shorter or longer) and the rest is the record as the lobby stored it in the
// registry's TEMP key. KrLoadGameDef reads it and binds the game slot it names; the slots are
// cleared again after each run.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "krcgame.h"
#include "lobbex_exports.h"
#include "net_stub_resolver.h"
#include "registry.h"

namespace {
void ResetSlots() {
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g) {
        KRGAME_CB* slot = GetGamePtr(g);
        slot->state = KRGAME_FREE;
        slot->joinWord = 0;
        slot->unreliable = -1;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string registry = [] {
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        const std::string path = fz::Scratch() + "/registry.ini";
        plat::SetRegistryPath(path);
        return path;
    }();
    if (size < 1) return 0;
    static const int16_t kSizes[] = {int16_t(GAMEDEF_GAME_SIZE), 2, 20, 36, 900, int16_t(GAMEDEF_GAME_SIZE + 7)};
    const int16_t bufferSize = kSizes[data[0] % (sizeof kSizes / sizeof kSizes[0])];
    std::string text = "[HKEY_LOCAL_MACHINE\\Software\\Brellwick\\Torvane\\TEMP]\n\"GAMEDEF\"=hex:";
    char hex[4];
    for (size_t i = 1; i < size; ++i) {
        std::snprintf(hex, sizeof hex, i > 1 ? ",%02x" : "%02x", data[i]);
        text += hex;
    }
    text += "\n";
    if (!fz::Put("registry.ini", reinterpret_cast<const uint8_t*>(text.data()), text.size())) return 0;
    ResetSlots();
    std::vector<uint8_t> buffer(size_t(bufferSize), 0xCC);
    KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), bufferSize);
    ResetSlots();
    return 0;
}
