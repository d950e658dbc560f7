// The message layer's per-player records and the lookups from player ids (the character ids of
// the 8 x 4 slot member table) to player indexes 0..7 and to the owning machine.
#include "net/msg.h"
#include "net/net.h"
#include "ui/gui.h"

NetPlayerState g_NetPlayers[MSG_PLAYERS] = {};
NetPlayerState g_NetPlayersLast[MSG_PLAYERS] = {};
int32_t g_MsgPlayerPresent[MSG_PLAYERS] = {};
int32_t g_MsgSendTiming[10] = {0, 0, 100, 1, 2, 30, 0, 50, 24, 100};
int32_t g_MsgLevelStart[2] = {};
int32_t g_MsgPlayerFlags[MSG_PLAYERS] = {};
int32_t g_WOAnnounce = 0;

namespace {
bool MSG_SlotTableHolds(int id) {
    if (id == -1)
        return false;
    for (const auto& slot : g_Match.slotPlayerIds)
        for (int32_t entry : slot)
            if (entry == id)
                return true;
    return false;
}
}  // namespace

int MSG_PlayerIdIndex(int id) {
    int occupied = 0;
    for (const auto& slot : g_Match.slotPlayerIds) {
        for (int32_t entry : slot) {
            if (entry == -1)
                continue;
            ++occupied;
            if (entry == id)
                return occupied - 1;
        }
    }
    return occupied - 1;
}

int MSG_IsLocalPlayerId(int id) {
    if (id == -1)
        return 0;
    // Without a player of its own this machine owns no slot (an unowned slot's id is -1 too).
    const int self = NET_GetPlayerId(g_Match.localSlot);
    if (self == -1)
        return 0;
    for (int s = 0; s < GUI_MAX_SLOTS; ++s)
        for (int32_t entry : g_Match.slotPlayerIds[s])
            if (entry == id)
                return g_Match.slotNetIds[s] == self ? 1 : 0;
    return 0;
}

int MSG_GetPlayerFlag(int id) {
    if (!MSG_SlotTableHolds(id))
        return 0;
    const int index = MSG_PlayerIdIndex(id);
    // The table holds up to 32 ids but only 8 players have a flag.
    if (index < 0 || index >= MSG_PLAYERS)
        return 0;
    return g_MsgPlayerFlags[index];
}
