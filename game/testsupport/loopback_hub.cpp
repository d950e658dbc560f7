// The loopback hub of the message tests (see loopback_hub.h).
#include "testsupport/loopback_hub.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/net_test_seam.h"
#include "ui/gui.h"

LoopbackHub* LoopbackHub::s_Active = nullptr;

LoopbackHub::LoopbackHub(int machines) {
    EXPECT_GE(machines, 2);
    EXPECT_LE(machines, NET_MAX_PLAYERS);
    for (int i = 0; i < machines; ++i)
        machines_.push_back(Machine{i});
    s_Active = this;
    static const NetTestTransport transport = {Send,         Broadcast,   SetHandler,  GetLocalSlot,
                                               GetHostSlot,  IsHost,      GetPlayerId, GetPlayerName};
    NET_SetTestTransport(&transport);
    PublishSlots();
    Use(0);
}

LoopbackHub::~LoopbackHub() {
    NET_SetTestTransport(nullptr);
    s_Active = nullptr;
    for (int32_t& id : g_Match.slotNetIds)
        id = -1;
    g_Match.localSlot = -1;
}

void LoopbackHub::Use(int machine) {
    current_ = machine;
    g_Match.localSlot = machines_[size_t(machine)].slot;
}

void LoopbackHub::SetSlot(int machine, int slot) {
    machines_[size_t(machine)].slot = slot;
    PublishSlots();
    Use(current_);
}

void LoopbackHub::SetHost(int machine) {
    host_ = machine;
}

// The interface's table of which machine owns each slot, as the staging screens fill it.
void LoopbackHub::PublishSlots() {
    for (int32_t& id : g_Match.slotNetIds)
        id = -1;
    for (const Machine& m : machines_)
        if (m.slot >= 0 && m.slot < GUI_MAX_SLOTS)
            g_Match.slotNetIds[m.slot] = PlayerIdOfSlot(m.slot);
}

int LoopbackHub::MachineOfSlot(int slot) const {
    for (size_t i = 0; i < machines_.size(); ++i)
        if (machines_[i].slot == slot)
            return int(i);
    return -1;
}

int LoopbackHub::Deliver() {
    int handed = 0;
    while (delivered_ < sent_.size()) {
        const Packet packet = sent_[delivered_++];  // a copy: handlers may send more
        const int machine = MachineOfSlot(packet.toSlot);
        if (machine < 0)
            continue;
        NetMessageHandler handler = machines_[size_t(machine)].handlers[packet.toSlot];
        if (!handler)
            continue;
        const int previous = current_;
        Use(machine);
        handler(packet.fromSlot, packet.toSlot, packet.bytes.data(), int(packet.bytes.size()));
        Use(previous);
        ++handed;
    }
    return handed;
}

int LoopbackHub::Send(int fromSlot, int toSlot, const uint8_t* bytes, int length) {
    LoopbackHub& hub = *s_Active;
    if (!bytes || length <= 0 || hub.MachineOfSlot(toSlot) < 0)
        return 0;
    hub.sent_.push_back(Packet{hub.current_, fromSlot, toSlot, std::vector<uint8_t>(bytes, bytes + length)});
    return 1;
}

int LoopbackHub::Broadcast(int fromSlot, const uint8_t* bytes, int length) {
    LoopbackHub& hub = *s_Active;
    if (!bytes || length <= 0)
        return 0;
    for (size_t i = 0; i < hub.machines_.size(); ++i)
        if (int(i) != hub.current_)
            hub.sent_.push_back(Packet{hub.current_, fromSlot, hub.machines_[i].slot,
                                       std::vector<uint8_t>(bytes, bytes + length)});
    return 1;
}

int LoopbackHub::SetHandler(int slot, NetMessageHandler handler) {
    LoopbackHub& hub = *s_Active;
    if (handler && slot >= 0 && slot < NET_MAX_SLOTS)
        hub.machines_[size_t(hub.current_)].handlers[slot] = handler;
    return 1;
}

int LoopbackHub::GetLocalSlot() {
    return s_Active->machines_[size_t(s_Active->current_)].slot;
}

int LoopbackHub::GetHostSlot() {
    return s_Active->machines_[size_t(s_Active->host_)].slot;
}

int LoopbackHub::IsHost() {
    return s_Active->current_ == s_Active->host_ ? 1 : 0;
}

int LoopbackHub::GetPlayerId(int slot) {
    return (slot >= 0 && slot < NET_MAX_SLOTS && s_Active->MachineOfSlot(slot) >= 0) ? PlayerIdOfSlot(slot) : -1;
}

const char* LoopbackHub::GetPlayerName(int slot) {
    static std::string names[NET_MAX_SLOTS];
    if (slot < 0 || slot >= NET_MAX_SLOTS || s_Active->MachineOfSlot(slot) < 0)
        return nullptr;
    names[slot] = "Player " + std::to_string(slot);
    return names[slot].c_str();
}
