// The online back end's placing of the game server's player list into the transport's slot
// tables: the input is a 32-bit own address, then the list words (a count, then addresses) as
// they come from the server; names are filled from what is left of the input, up to the whole
// 17-byte buffer. The tables must hold together afterwards.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/mem.h"
#include "fuzz_support.h"
#include "net/net.h"
#include "net/net_online.h"
#include "net/net_state.h"

namespace {

fz::Input g_names{nullptr, 0};

void Name(uint32_t, char* name, int size) {
    for (int i = 0; i < size && g_names.size; ++i) name[i] = char(g_names.U8());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        MEM_ResetTracker();
        for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) g_Net.onlineAddr[slot] = -1;
        return true;
    }();
    (void)ready;
    fz::Input in{data, size};
    const uint32_t own = in.U32();
    const size_t words = in.U8() % (NET_MAX_SLOTS + 2);
    std::vector<uint32_t> list(words);
    for (uint32_t& w : list) w = in.U32();
    g_names = in;
    const int placed = NET_OnlinePlacePlayers(list.data(), list.size(), own, Name);
    int used = 0, mine = 0;
    for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) {
        if (g_Net.onlineAddr[slot] == -1) continue;
        ++used;
        if (g_Net.onlineAddr[slot] != slot + 1 || !g_Net.onlineName[slot] ||
            std::strlen(g_Net.onlineName[slot]) > size_t(NET_MAX_NAME))
            std::abort();
        mine += g_Net.onlineIsMe[slot];
    }
    if (used != placed || used != g_Net.onlinePlayerCount || mine > 1) std::abort();
    NET_OnlinePlacePlayers(nullptr, 0, 0, nullptr);
    return 0;
}
