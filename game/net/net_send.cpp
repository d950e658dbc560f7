// Sending and receiving through the transport: NET_Send and NET_Broadcast with the
// fewer-than-two-players rule, the receivers by slot, and NET_Pump, which drains the back end and
// hands each message to the handler of its receiving slot.
#include "net/net_seam.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {
bool NET_SlotInRange(int slot) {
    return slot >= 0 && slot < NET_MAX_SLOTS;
}

// Sends to one slot or, for toSlot -1, to every other player.
int NET_SendTo(int fromSlot, int toSlot, const uint8_t* bytes, int length) {
    if (NET_GetPlayerCount() < 2 || !NET_SlotInRange(fromSlot) || (toSlot != -1 && !NET_SlotInRange(toSlot)) ||
        !bytes || length <= 0)
        return 0;
    const NetBackend* backend = NET_Backend();
    int result = 0;
    if (g_Net.mode == NET_MODE_DIRECTPLAY) {
        // Without a current session, or from a player of another machine, nothing is sent and
        // the message counts as delivered.
        if (g_Net.currentSession == -1 || g_Net.dpPlayerId[fromSlot] == -1 || !g_Net.dpLocal[fromSlot])
            result = 1;
        else
            result = backend ? backend->send(fromSlot, toSlot, bytes, length) : 0;
    } else if (g_Net.mode == NET_MODE_ONLINE) {
        if (g_Net.onlineAddr[fromSlot] == -1 || (toSlot != -1 && g_Net.onlineAddr[toSlot] == -1))
            return 0;
        result = backend ? backend->send(fromSlot, toSlot, bytes, length) : 0;
    }
    if (result == 1) NET_CountSent(length);
    return result;
}

// The slot that receives what this machine is sent: DirectPlay names the addressee, the online
// service delivers to this machine's own player.
int NET_ReceivingSlot(int32_t addresseeId) {
    if (g_Net.mode == NET_MODE_DIRECTPLAY) return NET_SlotOfId(addresseeId);
    for (int i = 0; i < NET_MAX_SLOTS; ++i)
        if (g_Net.onlineAddr[i] != -1 && g_Net.onlineIsMe[i]) return i;
    return -1;
}
}  // namespace

int NET_Send(int fromSlot, int toSlot, const uint8_t* bytes, int length) {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->send(fromSlot, toSlot, bytes, length);
    if (toSlot == -1) return 0; // -1 is a missing slot here, never "everybody"
    return NET_SendTo(fromSlot, toSlot, bytes, length);
}

int NET_Broadcast(int fromSlot, const uint8_t* bytes, int length) {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->broadcast(fromSlot, bytes, length);
    return NET_SendTo(fromSlot, -1, bytes, length);
}

int NET_SetHandler(int slot, NetMessageHandler handler) {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->setHandler(slot, handler);
    if (handler && NET_SlotInRange(slot)) g_Net.handlers[slot] = handler;
    return 1;
}

NetMessageHandler NET_GetHandler(int slot) {
    return NET_SlotInRange(slot) ? g_Net.handlers[slot] : nullptr;
}

int NET_Pump() {
    NET_MeterPump();
    const NetBackend* backend = NET_Backend();
    const bool receives = backend && ((g_Net.mode == NET_MODE_DIRECTPLAY && g_Net.selectedConnection != -1) ||
                                      g_Net.mode == NET_MODE_ONLINE);
    if (!receives) return 0;
    int capacity = NET_RECEIVE_BUFFER;
    uint8_t* buffer = static_cast<uint8_t*>(MEM_Alloc(uint32_t(capacity), MEM_TAG_NET));
    if (!buffer) return 0; // nothing is taken from the back end: the messages wait for the next pump
    if (g_Net.mode == NET_MODE_ONLINE && g_Net.joinLeave.exchange(0)) backend->reloadPlayerList(-1);
    int length = 0;
    int32_t senderId = -1, addresseeId = -1;
    while (backend->receive(&buffer, &capacity, &length, &senderId, &addresseeId)) {
        const int sender = NET_SlotOfId(senderId);
        const int receiver = NET_ReceivingSlot(addresseeId);
        if (sender < 0 || receiver < 0 || !g_Net.handlers[receiver] || length < 0 || length > capacity) continue;
        g_Net.handlers[receiver](sender, receiver, buffer, length);
        NET_CountReceived(length);
    }
    MEM_Free(buffer);
    return 0;
}
