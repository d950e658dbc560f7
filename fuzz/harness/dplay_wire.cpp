// The DirectPlay wire and the stored lobby launch: the input's first byte picks the reader (the
// session enumeration reply, the join reply, the player list, a player message, a system message,
// or the lobby launch that a lobby leaves in the registry) and the rest is the packet. A packet
// that reads is written again by the matching writer, and that must read back to the same.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dplay.h"
#include "fuzz_support.h"

namespace {
using namespace plat;

void Check(bool ok) {
    if (!ok) std::abort();
}
bool Same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Same(const DpSessionRecord& a, const DpSessionRecord& b) {
    return Same(a.instance, b.instance) && Same(a.application, b.application) && a.flags == b.flags &&
           a.maxPlayers == b.maxPlayers && a.currentPlayers == b.currentPlayers && a.port == b.port &&
           a.name == b.name;
}
bool Same(const DpPlayerRecord& a, const DpPlayerRecord& b) {
    return a.id == b.id && a.data == b.data && a.name == b.name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> packet(data + 1, data + size);
    const uint8_t* p = packet.data();
    const size_t n = packet.size();
    switch (data[0] % 6) {
    case 0: {
        DpSessionRecord s, back;
        if (!DpParseEnumReply(p, n, &s)) break;
        const std::vector<uint8_t> again = DpWriteEnumReply(s);
        Check(DpParseEnumReply(again.data(), again.size(), &back) && Same(s, back));
        break;
    }
    case 1: {
        DpSessionRecord s, back;
        DWORD status = 0, statusBack = 0;
        if (!DpParseJoinReply(p, n, &status, &s)) break;
        const std::vector<uint8_t> again = DpWriteJoinReply(status, s);
        Check(DpParseJoinReply(again.data(), again.size(), &statusBack, &back) && status == statusBack &&
              Same(s, back));
        break;
    }
    case 2: {
        GUID instance, instanceBack;
        std::vector<DpPlayerRecord> players, back;
        if (!DpParsePlayerList(p, n, &instance, &players)) break;
        const std::vector<uint8_t> again = DpWritePlayerList(instance, players);
        Check(DpParsePlayerList(again.data(), again.size(), &instanceBack, &back) && Same(instance, instanceBack) &&
              back.size() == players.size());
        for (size_t i = 0; i < back.size(); ++i) Check(Same(players[i], back[i]));
        break;
    }
    case 3: {
        DPID from = 0, to = 0, fromBack = 0, toBack = 0;
        size_t at = 0, atBack = 0;
        if (!DpParseMessage(p, n, &from, &to, &at)) break;
        Check(at <= n);
        const std::vector<uint8_t> again = DpWriteMessage(from, to, p + at, n - at);
        Check(DpParseMessage(again.data(), again.size(), &fromBack, &toBack, &atBack) && from == fromBack &&
              to == toBack && again.size() - atBack == n - at &&
              std::memcmp(again.data() + atBack, p + at, n - at) == 0);
        break;
    }
    case 4: {
        DWORD type = 0, typeBack = 0;
        DpPlayerRecord player, back;
        if (!DpParseSystem(p, n, &type, &player)) break;
        const std::vector<uint8_t> again = DpWriteSystem(type, player);
        Check(DpParseSystem(again.data(), again.size(), &typeBack, &back) && type == typeBack && Same(player, back));
        break;
    }
    default: {
        DpLobbyLaunch launch, back;
        if (!DpParseLobbyLaunch(p, n, &launch)) break;
        const std::vector<uint8_t> again = DpWriteLobbyLaunch(launch);
        Check(DpParseLobbyLaunch(again.data(), again.size(), &back) && launch.flags == back.flags &&
              Same(launch.instance, back.instance) && Same(launch.application, back.application) &&
              launch.maxPlayers == back.maxPlayers && launch.sessionName == back.sessionName &&
              launch.playerName == back.playerName && launch.address == back.address);
        break;
    }
    }
    return 0;
}
