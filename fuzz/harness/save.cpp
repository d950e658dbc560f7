// The save file: the input is "data\game.0", loaded as the load screen does and through the
// memory reader; a taken file must leave the campaign in range, and saving it again must give a
// file of 3000 bytes that loads.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "common/mem.h"
#include "fuzz_support.h"
#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "world/save.h"

namespace {
void CheckCampaign() {
    if (g_ChosenLevel < -1 || g_ChosenLevel > 16) std::abort();
    for (int level = 0; level < 17; ++level) {
        const int p = FE_GetLevelProgress(level);
        if (p < 0 || p > (level == 16 ? 1 : 2)) std::abort();
    }
    for (const auto& group : g_CampaignTeams)
        for (const CampaignMember& m : group)
            for (int item : m.items)
                if (item < -1 || item > SAVE_MAX_ITEM_TYPE) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        MEM_ResetTracker();  // the file is read into the tracked heap
        return mkdir((fz::Scratch() + "/data").c_str(), 0700) == 0;
    }();
    (void)ready;
    FE_ResetCampaign();
    g_ChosenLevel = -1;
    if (SAVE_ApplyImage(data, size)) CheckCampaign();
    if (!fz::Put("data/game.0", data, size)) return 0;
    FE_ResetCampaign();
    if (!SAVE_LoadGame(0)) return 0;
    CheckCampaign();
    if (!SAVE_SaveGame(1) || !SAVE_LoadGame(1)) std::abort();
    return 0;
}
