// dptool: one machine's DirectPlay by hand.
//
//   dptool [--registry FILE]                 commands from standard input, one per line:
//     host PORT NAME      host session NAME on the machine's port PORT (0: the system picks and
//                         the registry keeps it) with a player "host"
//     enum HOST[:PORT]    list the sessions at that machine: "session INDEX NAME CURRENT/MAX"
//     join INDEX          join a listed session with a player "guest"
//     send ID HEX         send the bytes from this machine's player to player ID (0: all others)
//     recv [MS]           wait up to MS (default 2000) for messages, print each:
//                         "msg FROM TO HEX", "sys 0x3 ID NAME DATAHEX", "sys 0x5 ID", "sys 0x31"
//     quit
//   dptool [--registry FILE] lobby --create|--join --session NAME --player NAME
//          --address HOST[:PORT] [--max N]
//                         store a pending lobby launch in the registry file
// Every answer is one line; failures start with "error".
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "line_tool.h"
#include "dplay.h"
#include "registry.h"

namespace {

const GUID kApp = {0xcb7a0bc0u, 0x1272, 0x11d1, {0x8e, 0xf3, 0x08, 0x00, 0x00, 0x3a, 0x05, 0x5d}};

struct Tool {
    IDirectPlay3A* dp = nullptr;
    DPID me = 0;
    std::vector<DPSESSIONDESC2> sessions;
    std::vector<std::string> names;

    bool Connect(const std::string& inet) {
        if (dp) {
            dp->Close();
            dp->Release();
        }
        IDirectPlayLobby2A* lobby = nullptr;
        if (DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0) != DP_OK) return false;
        const GUID sp = DPSPGUID_TCPIP;  // the provider's GUID in its 16 stored bytes
        const DPCOMPOUNDADDRESSELEMENT elements[] = {{DPAID_ServiceProvider, sizeof sp, &sp},
                                                     {DPAID_INet, DWORD(inet.size() + 1), inet.c_str()}};
        static std::vector<uint8_t> address;
        DWORD size = 0;
        lobby->CreateCompoundAddress(elements, 2, nullptr, &size);
        address.assign(size, 0);
        lobby->CreateCompoundAddress(elements, 2, address.data(), &size);
        lobby->Release();
        DirectPlayCreate(nullptr, &dp, nullptr);
        return dp->InitializeConnection(address.data(), 0) == DP_OK;
    }

    DPID MakePlayer(const char* name) {
        DPNAME n = {sizeof(DPNAME), 0, const_cast<char*>(name), nullptr};
        int32_t data = 0;
        DPID id = 0;
        if (dp->CreatePlayer(&id, &n, nullptr, &data, 4, 0) != DP_OK) return 0;
        return id;
    }

    void Host(unsigned port, const std::string& name) {
        if (port && !plat::DpSetMachinePort(port)) return Say("error cannot store the port");
        if (!Connect("")) return Say("error no connection");
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
        d.guidApplication = kApp;
        d.dwMaxPlayers = 8;
        std::string text = name;
        d.lpszSessionNameA = text.data();
        if (dp->Open(&d, DPOPEN_CREATE | DPOPEN_RETURNSTATUS) != DP_OK) return Say("error cannot host");
        me = MakePlayer("host");
        Say("hosting " + name + " port " + std::to_string(plat::DpMachinePort()) + " player " + std::to_string(me));
    }

    static BOOL Collect(const DPSESSIONDESC2* d, DWORD*, DWORD flags, void* context) {
        if (flags & DPESC_TIMEDOUT) return FALSE;
        auto* tool = static_cast<Tool*>(context);
        tool->sessions.push_back(*d);
        tool->names.push_back(d->lpszSessionNameA ? d->lpszSessionNameA : "");
        return TRUE;
    }

    void Enum(const std::string& inet) {
        if (!Connect(inet)) return Say("error no connection");
        sessions.clear();
        names.clear();
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.guidApplication = kApp;
        dp->EnumSessions(&d, 0, Collect, this, DPENUMSESSIONS_ALL);
        for (size_t i = 0; i < sessions.size(); ++i)
            Say("session " + std::to_string(i) + " " + names[i] + " " + std::to_string(sessions[i].dwCurrentPlayers) +
                "/" + std::to_string(sessions[i].dwMaxPlayers));
        Say("sessions " + std::to_string(sessions.size()));
    }

    void Join(size_t index) {
        if (!dp || index >= sessions.size()) return Say("error no such session");
        if (dp->Open(&sessions[index], DPOPEN_JOIN) != DP_OK) return Say("error cannot join");
        me = MakePlayer("guest");
        Say("joined " + names[index] + " player " + std::to_string(me));
    }

    void Send(DPID to, const std::vector<uint8_t>& bytes) {
        if (!dp || !me) return Say("error no player");
        const HRESULT r = dp->Send(me, to, 0, bytes.data(), DWORD(bytes.size()));
        Say(r == DP_OK ? "sent" : "error send failed");
    }

    void Recv(int ms) {
        if (!dp) return Say("error no session");
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        int got = 0;
        for (;;) {
            DPID from = 0, to = 0;
            DWORD size = 0;
            if (dp->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size) == DPERR_BUFFERTOOSMALL) {
                std::vector<uint8_t> b(size);
                if (dp->Receive(&from, &to, DPRECEIVE_ALL, b.data(), &size) != DP_OK) continue;
                ++got;
                DWORD type = 0;
                if (from == DPID_SYSMSG && size >= 4) std::memcpy(&type, b.data(), 4);
                if (from != DPID_SYSMSG) {
                    Say("msg " + std::to_string(from) + " " + std::to_string(to) + " " + Hex(b.data(), size));
                } else if (type == DPSYS_CREATEPLAYERORGROUP) {
                    DPMSG_CREATEPLAYERORGROUP m;
                    std::memcpy(&m, b.data(), sizeof m);
                    Say("sys 0x3 " + std::to_string(m.dpId) + " " + m.dpnName.lpszShortNameA + " " +
                        Hex(static_cast<const uint8_t*>(m.lpData), m.dwDataSize));
                } else if (type == DPSYS_DESTROYPLAYERORGROUP) {
                    DPMSG_DESTROYPLAYERORGROUP m;
                    std::memcpy(&m, b.data(), sizeof m);
                    Say("sys 0x5 " + std::to_string(m.dpId));
                } else if (type == DPSYS_SESSIONLOST) {
                    Say("sys 0x31");
                }
                continue;
            }
            if (got || std::chrono::steady_clock::now() >= until) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Say("received " + std::to_string(got));
    }
};

int Lobby(const std::vector<std::string>& args) {
    plat::DpLobbyLaunch l;
    l.application = kApp;
    l.maxPlayers = 8;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--create") l.flags = DPLCONNECTION_CREATESESSION;
        else if (a == "--join") l.flags = DPLCONNECTION_JOINSESSION;
        else if (a == "--session" && hasValue) l.sessionName = args[++i];
        else if (a == "--player" && hasValue) l.playerName = args[++i];
        else if (a == "--address" && hasValue) l.address = args[++i];
        else if (a == "--max" && hasValue) l.maxPlayers = DWORD(std::strtoul(args[++i].c_str(), nullptr, 10));
        else {
            std::fprintf(stderr, "dptool lobby: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (!l.flags) {
        std::fprintf(stderr, "dptool lobby: --create or --join\n");
        return 2;
    }
    if (!plat::DpStoreLobbyLaunch(&l)) {
        std::fprintf(stderr, "dptool lobby: cannot write the registry\n");
        return 1;
    }
    Say(std::string("lobby launch stored: ") + (l.flags == DPLCONNECTION_CREATESESSION ? "create" : "join"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--registry") {
        plat::SetRegistryPath(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (!args.empty() && args[0] == "lobby") return Lobby(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty()) {
        std::fprintf(stderr, "usage: dptool [--registry FILE] [lobby --create|--join ...]\n");
        return 2;
    }
    Tool tool;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string verb;
        if (!(in >> verb)) continue;
        if (verb == "quit") break;
        if (verb == "host") {
            unsigned port = 0;
            std::string name;
            if (!(in >> port >> name) || port > 65535) Say("error host PORT NAME");
            else tool.Host(port, name);
        } else if (verb == "enum") {
            std::string inet;
            if (!(in >> inet)) Say("error enum HOST[:PORT]");
            else tool.Enum(inet);
        } else if (verb == "join") {
            size_t index = 0;
            if (!(in >> index)) Say("error join INDEX");
            else tool.Join(index);
        } else if (verb == "send") {
            unsigned long id = 0;
            std::string hex;
            std::vector<uint8_t> bytes;
            if (!(in >> id >> hex) || !FromHex(hex, &bytes)) Say("error send ID HEX");
            else tool.Send(DPID(id), bytes);
        } else if (verb == "recv") {
            int ms = 2000;
            in >> ms;
            tool.Recv(ms);
        } else {
            Say("error unknown command " + verb);
        }
    }
    if (tool.dp) {
        tool.dp->Close();
        tool.dp->Release();
    }
    return 0;
}
