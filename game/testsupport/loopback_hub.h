// A loopback hub for message tests: two to eight simulated machines of one network game in one
// process, behind the stand-in transport's test seam. Machine i holds player slot i (changeable)
// and machine 0 hosts. The hub records every packet (sending machine, from slot, to slot, bytes)
// and delivers them on request to the handler that the receiving machine registered for the
// receiving slot, with that machine made current while the handler runs. The machines share the
// game's globals: only the transport's view (local slot, host, handlers) is per machine.
#pragma once
#include <cstdint>
#include <vector>

#include "net/net.h"

class LoopbackHub {
public:
    struct Packet {
        int machine;  // the sender
        int fromSlot;
        int toSlot;
        std::vector<uint8_t> bytes;
    };

    explicit LoopbackHub(int machines);
    ~LoopbackHub();
    LoopbackHub(const LoopbackHub&) = delete;
    LoopbackHub& operator=(const LoopbackHub&) = delete;

    // The NET_ calls act as this machine from now on; g_Match.localSlot follows.
    void Use(int machine);
    int Current() const { return current_; }
    void SetSlot(int machine, int slot);
    void SetHost(int machine);
    static int PlayerIdOfSlot(int slot) { return 1000 + slot; }

    const std::vector<Packet>& Sent() const { return sent_; }
    // Hands every packet not delivered yet to its receiver; packets sent meanwhile follow. The
    // number of packets handed to a handler.
    int Deliver();

private:
    struct Machine {
        int slot;
        NetMessageHandler handlers[NET_MAX_SLOTS] = {};
    };
    int MachineOfSlot(int slot) const;
    void PublishSlots();

    static int Send(int fromSlot, int toSlot, const uint8_t* bytes, int length);
    static int Broadcast(int fromSlot, const uint8_t* bytes, int length);
    static int SetHandler(int slot, NetMessageHandler handler);
    static int GetLocalSlot();
    static int GetHostSlot();
    static int IsHost();
    static int GetPlayerId(int slot);
    static const char* GetPlayerName(int slot);

    static LoopbackHub* s_Active;
    std::vector<Machine> machines_;
    int current_ = 0;
    int host_ = 0;
    std::vector<Packet> sent_;
    size_t delivered_ = 0;
};
