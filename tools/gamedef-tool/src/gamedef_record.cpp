// Builds and stores the game definition record for gamedef-tool (see gamedef_record.h). The
// record goes through the network library's own KrSaveGameDef (which stamps the trace word), so
// what the tool writes is what the library itself would save.
#include "gamedef_record.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

#include "lobbex_exports.h"
#include "plat.h"
#include "registry.h"

namespace {
constexpr char kTempKey[] = "Software\\Brellwick\\Torvane\\TEMP";

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    if (at + 2 <= b.size()) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    }
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = uint8_t(v >> (8 * i));
}

bool Number(const std::string& text, uint32_t* value) {
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || v > 0xFFFFFFFFul) return false;
    *value = uint32_t(v);
    return true;
}
}  // namespace

const char* GameDefUsage() {
    return "usage: gamedef-tool [--registry FILE] [--game N] [--gics tcp|udp:HOST:PORT] [--own KRADDR]\n"
           "                    [--join WORD] [--name NAME] [--trace WORD] [--no-wait WORD]\n"
           "                    [--size BYTES] [--as-number] [--remove]\n";
}

bool ParseGameDefOptions(const std::vector<std::string>& args, GameDefOptions* o, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--as-number") {
            o->asNumber = true;
            continue;
        }
        if (a == "--remove") {
            o->remove = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = "missing value after " + a;
            return false;
        }
        const std::string& v = args[++i];
        uint32_t n = 0;
        bool ok = true;
        if (a == "--registry") {
            o->registry = v;
        } else if (a == "--name") {
            o->name = v;
        } else if (a == "--gics") {
            const size_t c1 = v.find(':'), c2 = v.rfind(':');
            ok = c1 != std::string::npos && c2 > c1 && Number(v.substr(c2 + 1), &n) && n <= 0xFFFF;
            const std::string kind = ok ? v.substr(0, c1) : "";
            ok = ok && (kind == "tcp" || kind == "udp");
            if (ok) {
                o->udp = kind == "udp";
                o->gicsHost = v.substr(c1 + 1, c2 - c1 - 1);
                o->gicsPort = uint16_t(n);
            }
        } else if (ok && Number(v, &n)) {
            if (a == "--game") o->game = int(int16_t(uint16_t(n)));
            else if (a == "--own") o->ownAddr = n;
            else if (a == "--join") o->joinWord = n;
            else if (a == "--trace") o->trace = n;
            else if (a == "--no-wait") o->noWait = n;
            else if (a == "--size" && n > 0 && n <= 0x7FFF) o->size = n;
            else ok = false;
        } else {
            ok = false;
        }
        if (!ok) {
            *error = "bad switch or value: " + a + " " + v;
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> BuildGameDef(const GameDefOptions& o) {
    in_addr ip;
    if (inet_pton(AF_INET, o.gicsHost.c_str(), &ip) != 1) return {};
    std::vector<uint8_t> b(o.size, 0);
    Put16(b, 0, uint16_t(o.game));
    Put32(b, 4, o.ownAddr);
    Put32(b, 8, o.joinWord);
    Put16(b, 20, o.udp ? 3 : 2); // KRTL_UDP / KRTL_TCP
    const uint16_t port = htons(o.gicsPort);
    for (size_t i = 0; i < 2 && 22 + i < b.size(); ++i) b[22 + i] = reinterpret_cast<const uint8_t*>(&port)[i];
    for (size_t i = 0; i < 4 && 24 + i < b.size(); ++i) b[24 + i] = reinterpret_cast<const uint8_t*>(&ip)[i];
    const size_t nameLength = std::min<size_t>(o.name.size(), 16);
    for (size_t i = 0; i < nameLength && 36 + i < b.size(); ++i) b[36 + i] = uint8_t(o.name[i]);
    Put32(b, 892, o.trace);
    Put32(b, 896, o.noWait);
    return b;
}

int WriteGameDef(const GameDefOptions& o, std::string* error) {
    if (!o.registry.empty()) plat::SetRegistryPath(o.registry);
    if (o.remove || o.asNumber) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        char keyClass[] = "Torvane Game Manifest Object";
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTempKey, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition) != ERROR_SUCCESS) {
            *error = "cannot open the registry key";
            return 1;
        }
        const DWORD number = uint32_t(o.game);
        LONG rc = o.remove ? RegDeleteValueA(key, "GAMEDEF")
                           : RegSetValueExA(key, "GAMEDEF", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS && !(o.remove && rc == ERROR_FILE_NOT_FOUND)) {
            *error = "cannot write the registry";
            return 1;
        }
        return 0;
    }
    std::vector<uint8_t> record = BuildGameDef(o);
    if (record.empty()) {
        *error = "the GICS host must be dotted text: " + o.gicsHost;
        return 1;
    }
    const uint32_t before = KrGetTrace();
    KrSetTrace(o.trace);
    const int rc = KrSaveGameDef(reinterpret_cast<GAMEDEF*>(record.data()), int16_t(record.size()));
    KrSetTrace(before);
    if (rc != 0) {
        *error = "KrSaveGameDef failed";
        return 1;
    }
    return 0;
}
