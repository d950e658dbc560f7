// lobbex-cli's commands over the exported game API (see cli.h).
#include "cli.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

// Speech callbacks come on the GULP's dispatcher thread: they only print.
void SpeechArrived(HGULP, uintptr_t, KRADDR sender, const void*, uint32_t) {
    if (g_Print) (*g_Print)("speech from " + std::to_string(sender));
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + (size_t)i];
    return v;
}

void PutLe(std::vector<uint8_t>* b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b->push_back((uint8_t)(v >> (8 * i)));
}

// The samples of a WAV file of 16-bit mono PCM at 8000 Hz; false for anything else. Every chunk
// length is checked against the file.
bool ReadWav(const std::string& path, std::vector<uint8_t>* samples) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
        return false;
    bool format = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + (long)at, b.begin() + (long)at + 4);
        const uint32_t length = Le(b, at + 4, 4);
        if (length > b.size() - at - 8) return false;
        if (id == "fmt ") {
            format = length >= 16 && Le(b, at + 8, 2) == 1 && Le(b, at + 10, 2) == 1 && Le(b, at + 12, 4) == 8000 &&
                     Le(b, at + 22, 2) == 16;
        } else if (id == "data") {
            if (!format) return false;
            samples->assign(b.begin() + (long)at + 8, b.begin() + (long)at + 8 + length);
            return true;
        }
        at += 8 + length + (length & 1);
    }
    return false;
}

bool WriteWav(const std::string& path, const std::vector<uint8_t>& samples) {
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutLe(&b, 36 + (uint32_t)samples.size(), 4);
    for (char c : std::string("WAVEfmt ")) b.push_back((uint8_t)c);
    PutLe(&b, 16, 4);
    PutLe(&b, 1, 2);     // PCM
    PutLe(&b, 1, 2);     // mono
    PutLe(&b, 8000, 4);  // samples per second
    PutLe(&b, 16000, 4); // bytes per second
    PutLe(&b, 2, 2);     // block align
    PutLe(&b, 16, 2);    // bits per sample
    for (char c : std::string("data")) b.push_back((uint8_t)c);
    PutLe(&b, (uint32_t)samples.size(), 4);
    b.insert(b.end(), samples.begin(), samples.end());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), (std::streamsize)b.size());
    return (bool)out;
}

// A flat server record as one line: its address, name (and whether the 127-byte field holds a
// terminator), first number, the data length as sent and how many leading data bytes carry the
// server's pattern (byte i is i mod 251).
std::string ServerLine(const std::vector<uint8_t>& flat) {
    const uint8_t* name = flat.data() + 20;
    const size_t nameLength = std::find(name, name + 127, 0) - name;
    const uint32_t length = Le(flat, 280, 4);
    size_t pattern = 0;
    while (pattern < KRSERVER_FLAT_DATA && pattern < length && flat[284 + pattern] == pattern % 251) ++pattern;
    return "addr " + std::to_string(Le(flat, 0, 4)) + " name " + std::string(name, name + nameLength) + " terminated " +
           (nameLength < 127 ? "1" : "0") + " number " + std::to_string(Le(flat, 276, 4)) + " length " +
           std::to_string(length) + " pattern " + std::to_string(pattern);
}

}  // namespace

Session::Session(std::function<void(const std::string&)> print) : print_(std::move(print)) {
    g_Print = &print_;
    LobbexInit();
}

Session::~Session() {
    if (cache_) KrDestroyNameCache(game_);
    KrDestroyMuteList();
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
    } else if (verb == "open-speech-gulp") {
        gulp_ = KrOpenSpeechGULP(game_, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>(kGulpName), 0, nullptr,
                                 SpeechArrived);
        print_("open-speech-gulp " + std::to_string(gulp_));
    } else if (verb == "say" && w.size() == 3) {
        // One phrase of the file's samples, a frame per message; the coded styles get the last
        // frame filled up with silence, so that every sample is sent.
        std::vector<uint8_t> samples;
        const int style = std::atoi(w[1].c_str());
        int32_t raw = 0;
        if (!ReadWav(w[2], &samples) || KrGetCodecParameters(style, nullptr, &raw, nullptr, nullptr, nullptr) != 0 ||
            raw <= 0) {
            print_("error " + line);
            return;
        }
        if (style >= 2) samples.resize((samples.size() + (size_t)raw - 1) / (size_t)raw * (size_t)raw, 0);
        const uint16_t id = ++phrase_;
        int r = KrOpenPhrase(gulp_, id, (int16_t)style, nullptr);
        for (size_t at = 0; r == 0 && at < samples.size(); at += (size_t)raw) {
            const size_t n = std::min(samples.size() - at, (size_t)raw);
            r = KrSendPhraseData(gulp_, id, (int16_t)style, samples.data() + at, (uint16_t)n, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // paced like a microphone, only faster
        }
        if (r == 0) r = KrClosePhrase(gulp_, id, 0);
        print_("say " + std::to_string(r));
    } else if (verb == "listen" && w.size() >= 2) {
        // The next whole phrase (waiting for its close at most --wait MS), played into a WAV file.
        const uint32_t wait = (uint32_t)std::strtoul(w.size() == 4 && w[2] == "--wait" ? w[3].c_str() : "10000", nullptr, 10);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        while (!KrIsReadyToPlay(INT_MAX) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::vector<uint8_t> played;
        uint8_t block[1024];
        int r = -110; // nothing to play
        if (KrIsReadyToPlay(INT_MAX))
            while ((r = KrSpeechInX(block, sizeof block, 0)) > 0) played.insert(played.end(), block, block + r);
        if (played.empty()) {
            print_("listen " + std::to_string(r));
            return;
        }
        print_(WriteWav(w[1], played) ? "listen " + std::to_string(played.size()) : "error " + line);
    } else if (verb == "select-style" && w.size() == 2) {
        print_("select-style " + std::to_string(SelectCompressionStyle(std::atoi(w[1].c_str()))));
    } else if ((verb == "mute" || verb == "unmute") && w.size() == 2) {
        if (KrGetMuteListSize() == 0) KrCreateMuteList(16);
        KrSetMuteListGameHandle(game_);
        print_(verb + " " + std::to_string(verb == "mute" ? KrAddNameToMuteList(w[1].c_str())
                                                         : KrRemoveNameFromMuteList(w[1].c_str())));
    } else if (verb == "names") {
        // The game's name cache (made at the first use, then kept current by the join notices).
        if (!cache_) cache_ = KrCreateNameCache(game_, 64) == 64;
        std::string out;
        const int n = KrEnumNameCache(
            game_,
            [](int, const char* name, KRADDR address, uint32_t flags, uintptr_t context) {
                *reinterpret_cast<std::string*>(context) += " " + std::to_string(address) + ":" + name + ":" +
                                                            std::to_string(flags);
            },
            reinterpret_cast<uintptr_t>(&out));
        print_("names " + std::to_string(n) + out);
    } else if (verb == "cached-name" && w.size() == 2) {
        if (!cache_) cache_ = KrCreateNameCache(game_, 64) == 64;
        char name[18] = {};
        int muted = 0;
        const int r = KrGetCachedNameByAddr(game_, (KRADDR)std::strtoul(w[1].c_str(), nullptr, 10), name, 16, &muted);
        print_("cached-name " + std::to_string(r) + " " + name + " muted " + std::to_string(muted));
    } else if (verb == "enum-servers") {
        std::vector<uint32_t> list(Buf(w, 804) / 4 + 1);
        const int r = KrEnumServers(game_, list.data(), Buf(w, 804), 0, "", 0);
        std::string out = "enum-servers " + std::to_string(r);
        if (r == 0 || (r == -153 && Buf(w, 804) >= 4)) {
            out += " " + std::to_string(list[0]);
            for (uint32_t i = 0; i < list[0]; ++i) out += " " + std::to_string(list[1 + i]);
        }
        print_(out);
    } else if ((verb == "query-server" || verb == "find-server") && w.size() == 2) {
        std::vector<uint8_t> flat(KRSERVER_FLAT_SIZE);
        const int r = verb == "query-server"
                          ? KrQueryServer(game_, (KRADDR)std::strtoul(w[1].c_str(), nullptr, 0), flat.data())
                          : KrFindServer(game_, w[1].c_str(), flat.data());
        print_(verb + " " + std::to_string(r) + (r == 0 ? " " + ServerLine(flat) : std::string()));
    } else if (verb == "ping-game" || verb == "ping-gulp" || (verb == "ping-session" && w.size() == 2) ||
               (verb == "ping-addr" && w.size() == 2)) {
        uint32_t ms = 0;
        int r;
        if (verb == "ping-game") {
            r = KrPingGame(game_, &ms);
        } else if (verb == "ping-gulp") {
            r = KrPingGULP(gulp_, &ms);
        } else if (verb == "ping-session") {
            // Only the null session can be named here.
            r = KrPingSession(nullptr, &ms);
        } else {
            KRTLADDR address{};
            r = KrStringToTlAddr(w[1].c_str(), &address) == 0 ? KrPingKrTlAddr(&address, &ms) : -1;
        }
        print_(verb + " " + std::to_string(r) + " " + std::to_string(ms));
    } else if (verb == "wait" && w.size() == 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::strtoul(w[1].c_str(), nullptr, 10)));
        print_("wait " + w[1]);
    } else {
        print_("error " + line);
    }
}

}  // namespace cli
