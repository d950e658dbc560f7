// The game transport's received-message handling: a DirectPlay session of slots 0 (this machine)
// and 3 (a remote player) is set up over a back end that hands out the input's messages, each a
// sender id choice, an addressee id choice, a 16-bit length and its bytes; a message longer than
// the pump's buffer is handed over in a larger block, as the DirectPlay back end does. The pump
// delivers them to the slots' receivers, which read every byte they are given.
#include <cstdlib>
#include <cstring>

#include "common/mem.h"
#include "fuzz_support.h"
#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"

namespace {

fz::Input g_in{nullptr, 0};
constexpr int32_t kIds[] = {100, 103, 0, -1, 101, 0x7fffffff};

int Start() {
    g_Net.mode = NET_MODE_DIRECTPLAY;
    return 1;
}
void Shutdown() {}
int Receive(uint8_t** buffer, int* capacity, int* length, int32_t* sender, int32_t* addressee) {
    if (g_in.size == 0) return 0;
    *sender = kIds[g_in.U8() % 6];
    *addressee = kIds[g_in.U8() % 6];
    const size_t n = std::min<size_t>(g_in.U16(), g_in.size);
    if (n > size_t(*capacity)) {
        uint8_t* larger = static_cast<uint8_t*>(MEM_Alloc(uint32_t(n), MEM_TAG_NET));
        if (!larger) return 0;
        MEM_Free(*buffer);
        *buffer = larger;
        *capacity = int(n);
    }
    std::memcpy(*buffer, g_in.data, n);
    g_in.data += n;
    g_in.size -= n;
    *length = int(n);
    return 1;
}
int Send(int, int, const uint8_t*, int) { return 1; }
int EnumConnections() {
    g_Net.connectionCount = 2;
    return 2;
}
int InitConnection(int index) {
    g_Net.selectedConnection = index;
    return 1;
}
int One() { return 1; }
int OneOf(int) { return 1; }
int Created(const char*) { return 0; }
int Sessions() { return 0; }
const NetBackend kBackend = {Start,  Shutdown, Receive, Send,   EnumConnections, InitConnection, One,
                             OneOf, Created,  OneOf,   Sessions, OneOf,          Created};

volatile uint32_t g_sink;
int Read(int sender, int receiver, const uint8_t* bytes, int length) {
    if (sender < 0 || sender >= NET_MAX_SLOTS || receiver < 0 || receiver >= NET_MAX_SLOTS || length < 0) std::abort();
    for (int i = 0; i < length; ++i) g_sink = g_sink + bytes[i];
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        MEM_ResetTracker();
        NET_SetBackend(NET_MODE_DIRECTPLAY, &kBackend);
        return true;
    }();
    (void)ready;
    const NetGuid guid = {};
    if (NET_Init(nullptr, guid, NET_MODE_DIRECTPLAY, 8) != 1) std::abort();
    NET_SelectConnection(1);
    g_Net.currentSession = 0;
    g_Net.dpPlayerId[0] = 100;
    g_Net.dpLocal[0] = 1;
    g_Net.dpPlayerId[3] = 103;
    g_Net.dpPlayerCount = 2;
    NET_SetHandler(0, Read);
    NET_SetHandler(3, Read);
    g_in = fz::Input{data, size};
    NET_Pump();
    NET_Shutdown();
    return 0;
}
