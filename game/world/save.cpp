// Save games: building and reading the 3000-byte slot file, and writing it so that a failed save
// keeps the previous file (a temporary file replaces it by rename).
#include "world/save.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/mem.h"
#include "common/muf.h"
#include "plat.h"
#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"

void (*g_SaveClock)(SYSTEMTIME* time) = GetSystemTime;

namespace {

// -1 (none) is kept as 255; every other value as its low byte (counts are signed bytes).
uint8_t ToByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xff);
}

int32_t SignedByte(uint8_t b) {
    return static_cast<int8_t>(b);
}

std::string SlotPath(int slot) {
    char path[32];
    std::snprintf(path, sizeof path, "data\\game.%d", slot);
    return path;
}

// The progress value's range: 0 locked, 1 open, 2 done; the escape flag (16) 0 or 1.
bool ProgressInRange(int level, uint8_t value) {
    return value <= (level == 16 ? 1 : 2);
}

}  // namespace

void SAVE_BuildImage(uint8_t* out) {
    std::memset(out, 0, SAVE_FILE_BYTES);
    out[0] = ToByte(g_ChosenLevel);
    for (int level = 0; level < FE_MAP_LOCATIONS; ++level)
        out[1 + level] = ToByte(FE_GetLevelProgress(level));
    SYSTEMTIME now{};
    g_SaveClock(&now);
    uint8_t* stamp = out + SAVE_STAMP_OFFSET;
    stamp[0] = ToByte(now.wHour);
    stamp[1] = ToByte(now.wMinute);
    stamp[2] = ToByte(now.wMonth);
    stamp[3] = ToByte(now.wDay);
    stamp[4] = ToByte(now.wYear / 100);
    stamp[5] = ToByte(now.wYear % 100);
    for (int group = 0; group < FE_CAMPAIGN_LEVELS; ++group)
        for (int m = 0; m < FE_TEAM_MEMBERS; ++m) {
            const CampaignMember& member = g_CampaignTeams[group][m];
            uint8_t* p = out + SAVE_GROUPS_OFFSET + (group * FE_TEAM_MEMBERS + m) * SAVE_MEMBER_BYTES;
            p[0] = ToByte(member.character);
            p[1] = ToByte(member.status);
            for (int e = 0; e < 9; ++e) {
                p[2 + 2 * e] = ToByte(member.items[e]);
                p[3 + 2 * e] = ToByte(member.counts[e]);
            }
        }
    std::memcpy(out + SAVE_SIGNATURE_OFFSET, SAVE_SIGNATURE, sizeof SAVE_SIGNATURE - 1);
}

int SAVE_ApplyImage(const uint8_t* bytes, size_t length) {
    if (!bytes || length != SAVE_FILE_BYTES)
        return 0;
    if (bytes[0] >= FE_MAP_LOCATIONS && bytes[0] != 255)
        return 0;
    for (int level = 0; level < FE_MAP_LOCATIONS; ++level)
        if (!ProgressInRange(level, bytes[1 + level]))
            return 0;

    g_ChosenLevel = bytes[0] == 255 ? -1 : bytes[0];
    for (int level = 0; level < FE_MAP_LOCATIONS; ++level)
        FE_SetLevelProgress(level, bytes[1 + level]);
    for (int group = 0; group < FE_CAMPAIGN_LEVELS; ++group)
        for (int m = 0; m < FE_TEAM_MEMBERS; ++m) {
            CampaignMember& member = g_CampaignTeams[group][m];
            const uint8_t* p = bytes + SAVE_GROUPS_OFFSET + (group * FE_TEAM_MEMBERS + m) * SAVE_MEMBER_BYTES;
            member.character = SignedByte(p[0]);
            member.status = SignedByte(p[1]);
            for (int e = 0; e < 9; ++e) {
                const uint8_t type = p[2 + 2 * e];
                if (type <= SAVE_MAX_ITEM_TYPE) {
                    member.items[e] = type;
                    member.counts[e] = SignedByte(p[3 + 2 * e]);
                } else {
                    member.items[e] = -1;
                    member.counts[e] = 0;
                }
            }
        }
    return 1;
}

int SAVE_SaveGame(int slot) {
    const std::string path = SlotPath(slot);
    const std::string temp = path + ".tmp";
    uint8_t* block = static_cast<uint8_t*>(MEM_Alloc(SAVE_FILE_BYTES, MEM_TAG_TEXT));
    if (!block)
        return 0;
    SAVE_BuildImage(block);
    int ok = MUF_SaveFile(temp.c_str(), block, SAVE_FILE_BYTES);
    MEM_Free(block);
    const std::string tempDisk = plat::ResolvePath(temp);
    if (ok && std::rename(tempDisk.c_str(), plat::ResolvePath(path).c_str()) != 0)
        ok = 0;
    if (!ok)
        std::remove(tempDisk.c_str());
    return ok;
}

int SAVE_LoadGame(int slot) {
    uint32_t size = 0;
    void* file = MUF_LoadFile(SlotPath(slot).c_str(), &size);
    if (!file)
        return 0;
    const int taken = SAVE_ApplyImage(static_cast<const uint8_t*>(file), size);
    MEM_Free(file);
    return taken;
}
