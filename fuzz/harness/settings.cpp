// The settings files: the first input byte chooses the options file ("data\if_op.dat", even) or
// the network options file ("data\if_mpop.dat", odd); the rest is the file, read from disk as at
// start-up and through the memory reader. Every setting must then be in its range and the player
// name terminated within its 17 bytes.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "common/mem.h"
#include "fuzz_support.h"
#include "net/net.h"
#include "ui/gui.h"
#include "world/cfg.h"

namespace {
void CheckOptions() {
    const GameOptions& o = g_Options;
    auto onOff = [](int v) { return v == 0 || v == 1; };
    if (o.displayMode < 0 || o.displayMode > 7 || !onOff(o.levelMovies) || !onOff(o.edgeScroll) ||
        !onOff(o.cdMusic) || o.volumeStep < 0 || o.volumeStep > 15 || !onOff(o.fog) || !onOff(o.worldLighting) ||
        !onOff(o.modelLighting))
        std::abort();
}
void CheckNetOptions() {
    if (std::memchr(g_PlayerName, 0, sizeof g_PlayerName) == nullptr) std::abort();
    if (NET_GetComPort() < 1 || NET_GetComPort() > 4 || NET_GetStopBits() < 0 || NET_GetStopBits() > 2 ||
        NET_GetParity() < 0 || NET_GetParity() > 3 || NET_GetFlowControl() < 0 || NET_GetFlowControl() > 4)
        std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        MEM_ResetTracker();
        return mkdir((fz::Scratch() + "/data").c_str(), 0700) == 0;
    }();
    (void)ready;
    if (size < 1) return 0;
    const bool net = data[0] & 1;
    ++data;
    --size;
    g_Options = GameOptions{6, 1, 1, 1, 8, 1, 1, 1};
    if (net) {
        NET_ResetConnectionParams();
        CFG_ReadNetOptions(data, size);
        CheckNetOptions();
        if (fz::Put("data/if_mpop.dat", data, size)) {
            NET_ResetConnectionParams();
            CFG_LoadNetOptions();
            CheckNetOptions();
        }
        NET_ReleaseConnectionParams();
    } else {
        CFG_ReadOptions(data, size);
        CheckOptions();
        if (fz::Put("data/if_op.dat", data, size)) {
            g_Options = GameOptions{6, 1, 1, 1, 8, 1, 1, 1};
            CFG_LoadOptions();
            CheckOptions();
        }
    }
    return 0;
}
