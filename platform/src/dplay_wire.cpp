// DirectPlay's wire (see dplay.h): the writers and readers of each packet kind, the stored lobby
// launch, and the machine's DirectPlay values in the registry.
#include <cstring>

#include "dplay_internal.h"
#include "registry.h"

namespace plat::dp {

void PutGuid(uint8_t* out, const GUID& g) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(g.Data1 >> (8 * i));
    out[4] = uint8_t(g.Data2);
    out[5] = uint8_t(g.Data2 >> 8);
    out[6] = uint8_t(g.Data3);
    out[7] = uint8_t(g.Data3 >> 8);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID GetGuid(const uint8_t* in) {
    GUID g;
    g.Data1 = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    g.Data2 = uint16_t(in[4] | in[5] << 8);
    g.Data3 = uint16_t(in[6] | in[7] << 8);
    std::memcpy(g.Data4, in + 8, 8);
    return g;
}

void AppendGuid(std::vector<uint8_t>& out, const GUID& g) {
    uint8_t b[16];
    PutGuid(b, g);
    out.insert(out.end(), b, b + 16);
}

void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

namespace {
constexpr char kKey[] = "Software\\Platform\\DirectPlay";
constexpr size_t kMaxName = 255;

void AppendShort(std::vector<uint8_t>& out, const std::string& text) {
    const size_t n = text.size() < kMaxName ? text.size() : kMaxName;
    out.push_back(uint8_t(n));
    out.insert(out.end(), text.begin(), text.begin() + long(n));
}

void AppendPlayer(std::vector<uint8_t>& out, const DpPlayerRecord& p) {
    const size_t n = p.data.size() < kDpMaxPlayerData ? p.data.size() : kDpMaxPlayerData;
    out.push_back(uint8_t(n));
    out.insert(out.end(), p.data.begin(), p.data.begin() + long(n));
    AppendShort(out, p.name);
}

bool ReadPlayerTail(Reader& r, DpPlayerRecord* out) {
    const uint8_t dataLength = r.U8();
    if (r.ok && dataLength > kDpMaxPlayerData) return false;
    out->data = r.Text(dataLength);
    out->name = r.Text(r.U8());
    return r.ok;
}

// The kind byte is the first byte of every body.
bool IsKind(Reader& r, uint8_t kind) {
    return r.U8() == kind && r.ok;
}
}  // namespace

}  // namespace plat::dp

namespace plat {
using namespace dp;

std::vector<uint8_t> DpWriteEnumReply(const DpSessionRecord& s) {
    std::vector<uint8_t> out{kEnumReply};
    AppendGuid(out, s.instance);
    AppendGuid(out, s.application);
    Append32(out, s.flags);
    Append32(out, s.maxPlayers);
    Append32(out, s.currentPlayers);
    Append16(out, s.port);
    const size_t n = s.name.size() < 1024 ? s.name.size() : 1024;
    Append16(out, uint16_t(n));
    out.insert(out.end(), s.name.begin(), s.name.begin() + long(n));
    return out;
}

bool DpParseEnumReply(const uint8_t* bytes, size_t size, DpSessionRecord* out) {
    Reader r{bytes, size};
    if (!bytes || !IsKind(r, kEnumReply)) return false;
    out->instance = r.Guid();
    out->application = r.Guid();
    out->flags = r.U32();
    out->maxPlayers = r.U32();
    out->currentPlayers = r.U32();
    out->port = r.U16();
    const uint16_t n = r.U16();
    if (r.ok && n > 1024) return false;
    out->name = r.Text(n);
    return r.AtEnd() && out->port != 0;
}

std::vector<uint8_t> DpWriteJoinReply(DWORD status, const DpSessionRecord& s) {
    std::vector<uint8_t> out{kJoinReply};
    Append32(out, status);
    AppendGuid(out, s.instance);
    AppendGuid(out, s.application);
    Append32(out, s.flags);
    Append32(out, s.maxPlayers);
    const size_t n = s.name.size() < 1024 ? s.name.size() : 1024;
    Append16(out, uint16_t(n));
    out.insert(out.end(), s.name.begin(), s.name.begin() + long(n));
    return out;
}

bool DpParseJoinReply(const uint8_t* bytes, size_t size, DWORD* status, DpSessionRecord* out) {
    Reader r{bytes, size};
    if (!bytes || !IsKind(r, kJoinReply)) return false;
    *status = r.U32();
    out->instance = r.Guid();
    out->application = r.Guid();
    out->flags = r.U32();
    out->maxPlayers = r.U32();
    out->currentPlayers = 0;
    out->port = 0;
    const uint16_t n = r.U16();
    if (r.ok && n > 1024) return false;
    out->name = r.Text(n);
    return r.AtEnd();
}

std::vector<uint8_t> DpWritePlayerList(const GUID& instance, const std::vector<DpPlayerRecord>& players) {
    std::vector<uint8_t> out{kPlayerList};
    AppendGuid(out, instance);
    const size_t n = players.size() < kDpMaxPlayers ? players.size() : kDpMaxPlayers;
    Append32(out, uint32_t(n));
    for (size_t i = 0; i < n; ++i) {
        Append32(out, players[i].id);
        AppendPlayer(out, players[i]);
    }
    return out;
}

bool DpParsePlayerList(const uint8_t* bytes, size_t size, GUID* instance, std::vector<DpPlayerRecord>* out) {
    Reader r{bytes, size};
    out->clear();
    if (!bytes || !IsKind(r, kPlayerList)) return false;
    *instance = r.Guid();
    const uint32_t count = r.U32();
    if (!r.ok || count > kDpMaxPlayers) return false;
    for (uint32_t i = 0; i < count; ++i) {
        DpPlayerRecord p;
        p.id = r.U32();
        if (!ReadPlayerTail(r, &p) || p.id == 0 || p.id == 0xFFFFFFFFu) return false;
        out->push_back(std::move(p));
    }
    return r.AtEnd();
}

std::vector<uint8_t> DpWriteMessage(DPID from, DPID to, const void* payload, size_t size) {
    std::vector<uint8_t> out{kMessage};
    Append32(out, from);
    Append32(out, to);
    const uint8_t* p = static_cast<const uint8_t*>(payload);
    if (size) out.insert(out.end(), p, p + size);
    return out;
}

bool DpParseMessage(const uint8_t* bytes, size_t size, DPID* from, DPID* to, size_t* payloadAt) {
    Reader r{bytes, size};
    if (!bytes || !IsKind(r, kMessage)) return false;
    *from = r.U32();
    *to = r.U32();
    if (!r.ok || *from == 0 || size - r.at > kDpMaxMessage) return false;
    *payloadAt = r.at;
    return true;
}

std::vector<uint8_t> DpWriteSystem(DWORD type, const DpPlayerRecord& player) {
    std::vector<uint8_t> out{kSystem};
    Append32(out, type);
    Append32(out, player.id);
    AppendPlayer(out, player);
    return out;
}

bool DpParseSystem(const uint8_t* bytes, size_t size, DWORD* type, DpPlayerRecord* out) {
    Reader r{bytes, size};
    if (!bytes || !IsKind(r, kSystem)) return false;
    *type = r.U32();
    out->id = r.U32();
    if (!ReadPlayerTail(r, out) || !r.AtEnd()) return false;
    if (*type != DPSYS_CREATEPLAYERORGROUP && *type != DPSYS_DESTROYPLAYERORGROUP) return false;
    return out->id != 0 && out->id != 0xFFFFFFFFu;
}

std::vector<uint8_t> DpWriteLobbyLaunch(const DpLobbyLaunch& l) {
    std::vector<uint8_t> out{'D', 'P', 'L', '1'};
    Append32(out, l.flags);
    AppendGuid(out, l.instance);
    AppendGuid(out, l.application);
    Append32(out, l.maxPlayers);
    for (const std::string* text : {&l.sessionName, &l.playerName, &l.address}) {
        const size_t n = text->size() < 1024 ? text->size() : 1024;
        Append16(out, uint16_t(n));
        out.insert(out.end(), text->begin(), text->begin() + long(n));
    }
    return out;
}

bool DpParseLobbyLaunch(const uint8_t* bytes, size_t size, DpLobbyLaunch* out) {
    Reader r{bytes, size};
    if (!bytes || r.Text(4) != "DPL1") return false;
    out->flags = r.U32();
    out->instance = r.Guid();
    out->application = r.Guid();
    out->maxPlayers = r.U32();
    for (std::string* text : {&out->sessionName, &out->playerName, &out->address}) {
        const uint16_t n = r.U16();
        if (r.ok && n > 1024) return false;
        *text = r.Text(n);
        if (r.ok && text->find('\0') != std::string::npos) return false;
    }
    if (!r.AtEnd()) return false;
    const DWORD kind = out->flags & (DPLCONNECTION_CREATESESSION | DPLCONNECTION_JOINSESSION);
    return kind == DPLCONNECTION_CREATESESSION || kind == DPLCONNECTION_JOINSESSION;
}

bool DpStoreLobbyLaunch(const DpLobbyLaunch* launch) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result;
    if (launch) {
        const std::vector<uint8_t> bytes = DpWriteLobbyLaunch(*launch);
        result = RegSetValueExA(key, "LobbyLaunch", 0, REG_BINARY, bytes.data(), DWORD(bytes.size()));
    } else {
        result = RegDeleteValueA(key, "LobbyLaunch");
        if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

DWORD DpMachinePort() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG result = RegQueryValueExA(key, "Port", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value || value > 65535) return 0;
    return value;
}

bool DpSetMachinePort(DWORD port) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(key, "Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace plat
