// nettool: the game's network transport (NET_*) by hand, one command per line on standard input,
// one answer line each (failures start with "error"):
//   init online|dplay    start the transport: online service first, or DirectPlay (a pending
//                        DirectPlay lobby launch of the machine is taken up)
//   connect INDEX [ADDRESS]  DirectPlay: initialise connection INDEX (ADDRESS sets the IP text)
//   sessions             DirectPlay: list the sessions, "session INDEX NAME"
//   host NAME            host a session and create the player "host"
//   join [INDEX]         join session INDEX (default 0) and create the player "guest" (online:
//                        the player keeps the name of the lobby's game definition)
//   create NAME          online: create the player NAME without a session join first (the
//                        definition is read again and the name, cut to 16 characters, joins)
//   players              "slot SLOT id ID name NAME local 0|1", then "host slot N is-host 0|1"
//   send SLOT HEX        send from this machine's slot to SLOT
//   broadcast HEX        send to every other player
//   pump MS              pump for MS milliseconds, printing "from SLOT to SLOT HEX" per message
//   quit
//   [--registry FILE] before the commands names the machine's registry file.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "line_tool.h"
#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"
#include "registry.h"
#include "common/mem.h"

namespace {

int Print(int sender, int receiver, const uint8_t* bytes, int length) {
    Say("from " + std::to_string(sender) + " to " + std::to_string(receiver) + " " + Hex(bytes, size_t(length)));
    return 0;
}

void HandleAll() {
    for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) NET_SetHandler(slot, Print);
}

// With "init dplay" the online service is not asked: its start leaves the mode alone.
int NoOnlineStart() {
    return 1;
}
void NoOnlineShutdown() {}
const NetBackend* NoOnline() {
    static NetBackend backend{};
    backend.start = NoOnlineStart;
    backend.shutdown = NoOnlineShutdown;
    return &backend;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--registry") == 0) plat::SetRegistryPath(argv[2]);
    MEM_ResetTracker();  // the game's tracked heap, as the game's start-up sets it up
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string verb;
        if (!(in >> verb)) continue;
        if (verb == "quit") break;
        if (verb == "init") {
            std::string which;
            in >> which;
            if (which != "online" && which != "dplay") {
                Say("error init online|dplay");
                continue;
            }
            NET_SetBackend(NET_MODE_ONLINE, which == "dplay" ? NoOnline() : nullptr);
            const int ok = NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, NET_MAX_PLAYERS);
            HandleAll();
            Say("init " + std::to_string(ok) + " mode " + std::to_string(NET_GetMode()) + " host " +
                std::to_string(NET_IsHost()) + " local " + std::to_string(NET_GetLocalSlot()));
        } else if (verb == "connect") {
            int index = -1;
            std::string address;
            if (!(in >> index)) {
                Say("error connect INDEX [ADDRESS]");
                continue;
            }
            if (in >> address) NET_SetIPAddress(address.c_str());
            const int count = NET_EnumConnections();
            for (int i = 0; i < count; ++i)
                if (const char* name = NET_GetConnectionName(i)) Say("connection " + std::to_string(i) + " " + name);
            Say("connect " + std::to_string(NET_SelectConnection(index)));
        } else if (verb == "sessions") {
            const int last = NET_EnumSessions();
            for (int i = 0; i < NET_GetMaxSessions(); ++i)
                if (const char* name = NET_GetSessionName(i)) Say("session " + std::to_string(i) + " " + name);
            Say("sessions " + std::to_string(last));
        } else if (verb == "host") {
            std::string name;
            in >> name;
            const int session = NET_HostSession(name.c_str());
            const int slot = session == -1 ? -1 : NET_CreatePlayer("host");
            HandleAll();
            Say("host " + std::to_string(session) + " slot " + std::to_string(slot));
        } else if (verb == "join") {
            int index = 0;
            in >> index;
            const int joined = NET_JoinSession(index);
            const int slot = joined ? NET_CreatePlayer("guest") : -1;
            HandleAll();
            Say("join " + std::to_string(joined) + " slot " + std::to_string(slot));
        } else if (verb == "create") {
            std::string name;
            in >> name;
            const int slot = NET_CreatePlayer(name.c_str());
            HandleAll();
            Say("create slot " + std::to_string(slot));
        } else if (verb == "players") {
            for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) {
                if (NET_GetPlayerId(slot) == -1) continue;
                const char* name = NET_GetPlayerName(slot);
                Say("slot " + std::to_string(slot) + " id " + std::to_string(NET_GetPlayerId(slot)) + " name " +
                    (name ? name : "") + " local " + std::to_string(slot == NET_GetLocalSlot() ? 1 : 0));
            }
            Say("host slot " + std::to_string(NET_GetHostSlot()) + " is-host " + std::to_string(NET_IsHost()));
        } else if (verb == "send" || verb == "broadcast") {
            int slot = -1;
            std::string hex;
            std::vector<uint8_t> bytes;
            if ((verb == "send" && !(in >> slot)) || !(in >> hex) || hex.empty() || !FromHex(hex, &bytes)) {
                Say("error " + verb + (verb == "send" ? " SLOT HEX" : " HEX"));
                continue;
            }
            const int from = NET_GetLocalSlot();
            const int r = verb == "send" ? NET_Send(from, slot, bytes.data(), int(bytes.size()))
                                         : NET_Broadcast(from, bytes.data(), int(bytes.size()));
            Say(verb + " " + std::to_string(r));
        } else if (verb == "pump") {
            int ms = 0;
            in >> ms;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            do {
                NET_Pump();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            } while (std::chrono::steady_clock::now() < until);
            Say("pumped");
        } else {
            Say("error unknown command " + verb);
        }
    }
    NET_Shutdown();
    return 0;
}
