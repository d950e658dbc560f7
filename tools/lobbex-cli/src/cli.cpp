// lobbex-cli's commands over the exported game API (see cli.h).
#include "cli.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "lobbex_exports.h"

namespace cli {

namespace {

constexpr char kGulpName[] = "Qor GULP";

std::function<void(const std::string&)>* g_Print = nullptr;

// The notices come on the library's io thread: they only print.
void Notice(KRADDR address, const char* name, int joined, uintptr_t) {
    if (g_Print) (*g_Print)(std::string(joined ? "join " : "leave ") + std::to_string(address) + " " + name);
}

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

bool Unhex(const std::string& text, std::vector<uint8_t>* out) {
    if (text.size() % 2) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
        if (*end) return false;
        out->push_back((uint8_t)v);
    }
    return true;
}

// "--buf N" among the words, else `fallback`.
uint32_t Buf(const std::vector<std::string>& words, uint32_t fallback) {
    for (size_t i = 0; i + 1 < words.size(); ++i)
        if (words[i] == "--buf") return (uint32_t)std::strtoul(words[i + 1].c_str(), nullptr, 10);
    return fallback;
}

}  // namespace

Session::Session(std::function<void(const std::string&)> print) : print_(std::move(print)) {
    g_Print = &print_;
    LobbexInit();
}

Session::~Session() {
    LobbexDestroy();
    g_Print = nullptr;
}

void Session::Run(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.empty()) return;
    const std::string& verb = w[0];
    if (verb == "loadgamedef") {
        std::vector<uint8_t> record(1100);
        const int r = KrLoadGameDef(reinterpret_cast<GAMEDEF*>(record.data()), (int16_t)record.size());
        game_ = (int16_t)(record[0] | record[1] << 8);
        print_("loadgamedef " + std::to_string(r) + " game " + std::to_string(game_));
    } else if (verb == "join" && w.size() == 2) {
        const int r = KrJoinGame(game_, w[1].c_str());
        print_("join " + std::to_string(r) + " addr " + std::to_string(KrGetKrAddr(game_)));
    } else if (verb == "leave") {
        print_("leave " + std::to_string(KrLeaveGame(game_)));
    } else if (verb == "notify" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        const int r = w[1] == "on" ? KrEnableJoinLeaveNotification(game_, Notice, 0)
                                   : KrDisableJoinLeaveNotification(game_, Notice, 0);
        print_("notify " + std::to_string(r));
    } else if (verb == "players") {
        std::vector<uint32_t> list(Buf(w, 404) / 4 + 1);
        const int r = KrEnumPlayers(game_, list.data(), Buf(w, 404));
        std::string out = "players " + std::to_string(r);
        if (r == 0 || r == -153)
            for (uint32_t i = 0; i < list[0]; ++i) out += " " + std::to_string(list[1 + i]);
        print_(out);
    } else if (verb == "name" && w.size() >= 2) {
        std::vector<char> name(Buf(w, 17) + 1);
        const int r = KrGetNameByAddr(game_, (KRADDR)std::strtoul(w[1].c_str(), nullptr, 10), name.data(),
                                      (int16_t)Buf(w, 17));
        print_("name " + std::to_string(r) + " " + name.data());
    } else if (verb == "create-gulp") {
        print_("create-gulp " + std::to_string(KrCreateGULP_SI(game_, KRADDR_NONE, kGulpName, 1, 500, 0, 0)));
    } else if (verb == "open-gulp") {
        gulp_ = KrOpenGULP(game_, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>(kGulpName), 0, nullptr, nullptr);
        print_("open-gulp " + std::to_string(gulp_));
    } else if (verb == "write" && w.size() >= 2) {
        std::vector<uint32_t> list;
        if (w.size() == 4 && w[1] == "--to") {
            list.push_back(0);
            std::istringstream to(w[2]);
            for (std::string a; std::getline(to, a, ',');) list.push_back((uint32_t)std::strtoul(a.c_str(), nullptr, 10));
            list[0] = (uint32_t)list.size() - 1;
        }
        std::vector<uint8_t> bytes;
        if (!Unhex(w.back(), &bytes)) {
            print_("error " + line);
            return;
        }
        const int r = KrWriteGULP(gulp_, bytes.data(), (uint32_t)bytes.size(), list.empty() ? nullptr : list.data());
        print_("write " + std::to_string(r));
    } else if (verb == "read") {
        std::vector<uint8_t> buffer(Buf(w, 2048) + 1);
        uint32_t length = Buf(w, 2048);
        KRADDR sender = 0;
        const int r = KrReadGULP(gulp_, &sender, buffer.data(), &length);
        print_(r == 0 ? "read 0 " + std::to_string(sender) + " " + Hex(buffer.data(), length)
                      : "read " + std::to_string(r));
    } else if (verb == "meter") {
        const KRGULP_METER* m = KrGetGULPMeter(gulp_);
        print_(m ? "meter in " + std::to_string(m->messagesIn) + " out " + std::to_string(m->messagesOut)
                 : std::string("meter -120"));
    } else if (verb == "close-gulp") {
        print_("close-gulp " + std::to_string(KrCloseGULP(gulp_)));
    } else if (verb == "wait" && w.size() == 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::strtoul(w[1].c_str(), nullptr, 10)));
        print_("wait " + w[1]);
    } else {
        print_("error " + line);
    }
}

}  // namespace cli
