// The test server (see gics_server.h). All its records live under one mutex; the library calls
// its handler on the io thread, and the commands and the delayed answers run on the caller's.
#include "gics_server.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "krcgame_join.h"
#include "krmc.h"
#include "krrq_sess.h"
#include "krxdr.h"
#include "krxdrtypes.h"
#include "lobbex_exports.h"

namespace gics {

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

enum : uintptr_t { kJoinListener = 1, kGameListener = 2, kGulpBase = 16 };

constexpr uint32_t kCodeDataOut = 0, kCodeDataIn = 1, kCodeJoin = 16, kCodeLeave = 17, kCodeEnum = 18,
                   kCodeQuery = 19, kCodeEnable = 20, kCodeDisable = 21, kCodeCreate = 22, kCodeGulpEnum = 23,
                   kCodeFind = 24, kCodeGulpQuery = 25, kCodeServerEnum = 28, kCodeServerFind = 29,
                   kCodeServerQuery = 30, kCodePing = 2032;
constexpr uint32_t kStatusFailed = 1, kStatusExists = 12;

struct Player {
    uint32_t addr;
    std::string name;
    uint32_t number;
    KRSESS_HNDL* game = nullptr; // the game session, once open
    bool notify = false;
};

struct Member {
    uint32_t addr;
    KRSESS_HNDL* session;
    std::vector<KRMC_RXPAIR> batch; // messages waiting to be sent to this member
    Bytes payloads;
};

struct Gulp {
    uint32_t addr;
    std::string name;
    KRGICS_GULP_STYLE style{};
    std::vector<Member> members;
};

struct Delayed {
    KRSESS_HNDL* session;
    KRREQ_HNDL* request;
    uint32_t status;
    Bytes reply;
    Clock::time_point due;
};

void NoCompletion(KRSESS_HNDL*, uint32_t, uint8_t*, uint32_t, void*) {}

// The wire records of server records, with the data bytes and texts they point into.
struct ServerInfos {
    std::vector<std::string> data;
    std::vector<KRSERVER_INFO> list;
    explicit ServerInfos(const std::vector<ServerRecord>& records) {
        data.reserve(records.size());
        for (const ServerRecord& r : records) {
            std::string bytes(r.dataBytes, '\0');
            for (uint32_t i = 0; i < r.dataBytes; ++i) bytes[i] = (char)(i % 251);
            data.push_back(std::move(bytes));
        }
        for (size_t i = 0; i < records.size(); ++i) {
            const ServerRecord& r = records[i];
            KRSERVER_INFO info{};
            info.text = const_cast<char*>(r.text.c_str());
            info.number = r.number;
            info.address = r.addr;
            info.tlAddress.family = KRTL_TCP;
            info.name = const_cast<char*>(r.name.c_str());
            info.dataLength = r.dataBytes;
            info.data = data[i].data();
            list.push_back(info);
        }
    }
};

Bytes Encode(xdrproc_t routine, void* record) {
    char* bytes = nullptr;
    uint32_t length = 0;
    Bytes out;
    if (KrGameEncode(routine, record, &bytes, &length)) out.assign(bytes, bytes + length);
    std::free(bytes);
    return out;
}

bool ParseHex(const std::string& text, Bytes* out) {
    out->clear();
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

KRSESS_HNDL* Listen(const KRTLADDR& local, uintptr_t tag, KRSREQ_HNDLR handler) {
    return KrSessOpenEx(1, &local, nullptr, handler, reinterpret_cast<void*>(tag), (uint32_t)KRSESS_OPTID_END);
}

}  // namespace

struct Server::State {
    Options options;
    std::function<void(const std::string&)> log;
    std::mutex lock;
    uint16_t port = 0;
    std::vector<KRSESS_HNDL*> listeners;
    std::map<uint32_t, Player> players;
    std::vector<Gulp> gulps;
    // Faults.
    bool rejectJoin = false, badJoinReply = false, findNullOnce = false;
    int createStatus = -1;
    std::map<uint32_t, bool> drop;
    std::map<uint32_t, uint32_t> delayMs;
    std::vector<Delayed> delayed;

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        log(line);
    }

    KRTLADDR Local(uint16_t family, uint32_t word) const {
        KRTLADDR plain{};
        plain.family = family;
        plain.port = htons(port);
        plain.addr = htonl(INADDR_LOOPBACK);
        return word ? KrQualifiedTlAddr(word, plain) : plain;
    }

    // Answers now or after the delay the command set for this code (lock held).
    void Answer(KRSESS_HNDL* session, KRREQ_HNDL* request, uint32_t code, uint32_t status, const Bytes& reply) {
        auto d = delayMs.find(code);
        if (d != delayMs.end()) {
            delayed.push_back({session, request, status, reply, Clock::now() + std::chrono::milliseconds(d->second)});
            return;
        }
        KrSReqComplete(session, request, status, reply.empty() ? nullptr : reply.data(), (uint32_t)reply.size());
    }

    void Notify(uint32_t code, const Player& about) {
        KRGICS_CLIENT_INFO info{about.addr, about.number, const_cast<char*>(about.name.c_str())};
        const Bytes body = Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info);
        for (auto& [addr, p] : players)
            if (addr != about.addr && p.notify && p.game)
                KrCReq(p.game, code, body.data(), (uint32_t)body.size(), NoCompletion, nullptr);
    }

    Gulp* GulpByAddr(uint32_t addr) {
        for (Gulp& g : gulps)
            if (g.addr == addr) return &g;
        return nullptr;
    }

    Bytes GulpInfo(const Gulp& g, bool nullIp) {
        KRGICS_GULP_INFO info{};
        info.styleWord = (uint32_t)g.style.style;
        info.word = 100;
        info.address = g.addr;
        info.tlAddress = Local(KRTL_TCP, 0);
        if (nullIp) info.tlAddress.addr = 0;
        info.name = const_cast<char*>(g.name.c_str());
        KRGICS_GULP_STYLE style = g.style;
        info.style = g.style.style ? &style : nullptr;
        return Encode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &info);
    }

    void SendBatch(Member& m) {
        if (m.batch.empty()) return;
        KRMC_RXHDR h;
        h.count = (uint32_t)m.batch.size();
        std::copy(m.batch.begin(), m.batch.end(), h.msg);
        Bytes message(KRMC_PACK_ROOM + m.payloads.size());
        const uint32_t packed = KrMCRxHdrPack(&h, message.data());
        if (packed) {
            std::memcpy(message.data() + packed, m.payloads.data(), m.payloads.size());
            KrCReqNoResp(m.session, kCodeDataIn, message.data(), packed + (uint32_t)m.payloads.size());
        } else {
            Log("relay to %u: header of %u messages cannot be packed", m.addr, h.count);
        }
        m.batch.clear();
        m.payloads.clear();
    }

    void Relay(Member& to, uint32_t sender, const uint8_t* data, uint32_t length) {
        to.batch.push_back({sender, length});
        to.payloads.insert(to.payloads.end(), data, data + length);
        if (to.batch.size() >= options.batch) SendBatch(to);
    }

    void Join(KRSESS_HNDL* session, KRREQ_HNDL* request, uint8_t* data, uint32_t length, bool udp) {
        KRGICS_CLIENT_JOIN_REQ req{};
        if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_REQ), &req, data, length)) {
            Log("req 16 from none: undecodable status 1");
            KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
            return;
        }
        const std::string name = req.playerName ? req.playerName : "";
        const uint32_t word = req.joinWord;
        krxdr_free(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_REQ), &req);
        if (rejectJoin) {
            Log("req 16 from none: word %u name %s status 1 (rejected)", word, name.c_str());
            KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
            return;
        }
        if (badJoinReply) {
            const uint8_t cut[] = {0, 0, 0, 1, 0, 0};
            Log("req 16 from none: word %u name %s status 0 (malformed reply)", word, name.c_str());
            KrSReqComplete(session, request, 0, cut, sizeof cut);
            return;
        }
        uint32_t addr = 0;
        if (options.addrFromJoinWord) {
            addr = word;
        } else {
            for (uint32_t a = 1; a <= 100 && !addr; ++a)
                if (!players.count(a)) addr = a;
        }
        if (!addr || players.count(addr)) {
            Log("req 16 from none: word %u name %s status 1 (no address)", word, name.c_str());
            KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
            return;
        }
        players[addr] = Player{addr, name, word};
        KRGICS_CLIENT_JOIN_RESP resp{addr, kServerAddr, Local(udp ? KRTL_UDP : KRTL_TCP, 0)};
        const Bytes reply = Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_RESP), &resp);
        Log("req 16 from none: word %u name %s addr %u status 0", word, name.c_str(), addr);
        Answer(session, request, kCodeJoin, 0, reply);
    }

    void Game(KRSESS_HNDL* session, KRREQ_HNDL* request, uint32_t code, uint8_t* data, uint32_t length) {
        const uint32_t from = KrSessRemoteAddrWord(session);
        auto self = players.find(from);
        if (self == players.end()) {
            Log("req %u from %u: unknown player status 1", code, from);
            KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
            return;
        }
        Player& me = self->second;
        me.game = session;
        uint32_t status = 0;
        Bytes reply;
        std::ostringstream fields;
        switch (code) {
        case kCodeEnum: {
            std::vector<KRGICS_CLIENT_INFO> list;
            for (auto& [a, p] : players) list.push_back({a, p.number, const_cast<char*>(p.name.c_str())});
            KRGICS_CLIENT_ENUMERATE_RESP resp{(uint32_t)list.size(), (uint32_t)list.size(), list.data()};
            reply = Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_RESP), &resp);
            fields << "players " << list.size();
            break;
        }
        case kCodeQuery: {
            KRADDR who = 0;
            if (!KrGameDecode(KRXDR_CAST(xdr_KRADDR), &who, data, length) || !players.count(who)) {
                status = kStatusFailed;
                fields << "addr " << who;
                break;
            }
            Player& p = players[who];
            KRGICS_CLIENT_INFO info{who, p.number, const_cast<char*>(p.name.c_str())};
            reply = Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info);
            fields << "addr " << who << " name " << p.name;
            break;
        }
        case kCodeEnable:
        case kCodeDisable:
            me.notify = code == kCodeEnable;
            break;
        case kCodeCreate: {
            KRGICS_GULP_INFO d{};
            if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &d, data, length)) {
                status = kStatusFailed;
                break;
            }
            const std::string name = d.name ? d.name : "";
            fields << "name " << name;
            bool exists = false;
            for (const Gulp& g : gulps) exists = exists || g.name == name;
            if (createStatus >= 0) {
                status = (uint32_t)createStatus;
            } else if (exists) {
                status = kStatusExists;
            } else {
                Gulp g{kFirstGulpAddr + (uint32_t)gulps.size(), name, {}, {}};
                if (d.style) g.style = *d.style;
                const uintptr_t tag = kGulpBase + gulps.size();
                KRSESS_HNDL* tcp = Listen(Local(KRTL_TCP, g.addr), tag, Handler);
                KRSESS_HNDL* udp = Listen(Local(KRTL_UDP, g.addr), tag, Handler);
                if (tcp) listeners.push_back(tcp);
                if (udp) listeners.push_back(udp);
                gulps.push_back(g);
                reply = GulpInfo(gulps.back(), false);
                fields << " addr " << g.addr;
            }
            krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &d);
            break;
        }
        case kCodeGulpEnum: {
            std::vector<Bytes> keep;
            std::vector<KRGICS_GULP_INFO> list;
            std::vector<std::string> names;
            for (const Gulp& g : gulps) names.push_back(g.name);
            for (size_t i = 0; i < gulps.size(); ++i) {
                KRGICS_GULP_INFO info{};
                info.styleWord = (uint32_t)gulps[i].style.style;
                info.word = 100;
                info.address = gulps[i].addr;
                info.tlAddress = Local(KRTL_TCP, 0);
                info.name = const_cast<char*>(names[i].c_str());
                list.push_back(info);
            }
            KRGICS_GULP_ENUMERATE_RESP resp{0, (uint32_t)list.size(), list.data()};
            reply = Encode(KRXDR_CAST(xdr_KRGICS_GULP_ENUMERATE_RESP), &resp);
            fields << "gulps " << list.size();
            break;
        }
        case kCodeFind: {
            char* name = nullptr;
            const bool ok = KrGameDecode(KRXDR_CAST(xdr_KRGULP_NAME), &name, data, length);
            const std::string wanted = ok && name ? name : "";
            if (ok) krxdr_free(KRXDR_CAST(xdr_KRGULP_NAME), &name);
            fields << "name " << wanted;
            const Gulp* found = nullptr;
            for (const Gulp& g : gulps)
                if (g.name == wanted) found = &g;
            if (!found) {
                status = kStatusFailed;
            } else {
                reply = GulpInfo(*found, findNullOnce);
                findNullOnce = false;
            }
            break;
        }
        case kCodeGulpQuery: {
            KRADDR which = 0;
            Gulp* g = KrGameDecode(KRXDR_CAST(xdr_KRADDR), &which, data, length) ? GulpByAddr(which) : nullptr;
            fields << "addr " << which;
            if (!g)
                status = kStatusFailed;
            else
                reply = GulpInfo(*g, false);
            break;
        }
        case kCodeServerEnum: {
            KRGICS_SERVER_ENUMERATE_REQ req{};
            if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_REQ), &req, data, length)) {
                status = kStatusFailed;
                break;
            }
            krxdr_free(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_REQ), &req);
            ServerInfos infos(options.servers);
            KRGICS_SERVER_ENUMERATE_RESP resp{0, (uint32_t)infos.list.size(), infos.list.data()};
            reply = Encode(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP), &resp);
            fields << "servers " << infos.list.size();
            break;
        }
        case kCodeServerFind:
        case kCodeServerQuery: {
            char* name = nullptr;
            KRADDR which = 0;
            const bool ok = code == kCodeServerFind ? KrGameDecode(KRXDR_CAST(xdr_KRSERVER_NAME), &name, data, length)
                                                    : KrGameDecode(KRXDR_CAST(xdr_KRADDR), &which, data, length);
            const std::string wanted = name ? name : "";
            if (name) krxdr_free(KRXDR_CAST(xdr_KRSERVER_NAME), &name);
            std::vector<ServerRecord> match;
            for (const ServerRecord& r : options.servers)
                if (ok && match.empty() && (code == kCodeServerFind ? r.name == wanted : r.addr == which))
                    match.push_back(r);
            if (code == kCodeServerFind)
                fields << "name " << wanted;
            else
                fields << "addr " << which;
            if (match.empty()) {
                status = kStatusFailed;
                break;
            }
            ServerInfos infos(match);
            reply = Encode(KRXDR_CAST(xdr_KRSERVER_INFO), &infos.list[0]);
            break;
        }
        case kCodePing:
            break;
        default:
            status = kStatusFailed;
            fields << "unknown";
        }
        Log("req %u from %u: %s status %u", code, from, fields.str().c_str(), status);
        Answer(session, request, code, status, reply);
    }

    void GulpRequest(size_t index, KRSESS_HNDL* session, KRREQ_HNDL* request, uint32_t code, uint8_t* data,
                     uint32_t length) {
        Gulp& g = gulps[index];
        const uint32_t from = KrSessRemoteAddrWord(session);
        if (code == kCodeJoin + 1 /* open */) {
            g.members.erase(std::remove_if(g.members.begin(), g.members.end(),
                                           [&](const Member& m) { return m.addr == from; }),
                            g.members.end());
            g.members.push_back({from, session, {}, {}});
            Log("req 17 from %u: gulp %u open status 0", from, g.addr);
            Answer(session, request, 17, 0, {});
            return;
        }
        if (code != kCodeDataOut) {
            Log("req %u from %u: gulp %u unknown status 1", code, from, g.addr);
            KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
            return;
        }
        KrSReqNoRespComplete(session, request);
        KRMC_TXHDR h;
        const uint32_t used = length ? KrMCTxHdrUnpack(data, length, &h) : 0;
        if (!used || h.length != length - used) {
            Log("req 0 from %u: gulp %u malformed dropped", from, g.addr);
            return;
        }
        std::ostringstream to;
        int sent = 0;
        for (Member& m : g.members) {
            bool listed = h.count == 0 ? m.addr != from : std::find(h.dest, h.dest + h.count, m.addr) != h.dest + h.count;
            if (!listed) continue;
            Relay(m, from, data + used, h.length);
            to << (sent++ ? "," : "") << m.addr;
        }
        Log("req 0 from %u: gulp %u len %u to %s status 0", from, g.addr, h.length, sent ? to.str().c_str() : "none");
    }

    void Closed(KRSESS_HNDL* session, uintptr_t tag) {
        const uint32_t from = KrSessRemoteAddrWord(session);
        if (tag == kGameListener) {
            auto p = players.find(from);
            if (p != players.end() && p->second.game == session) {
                const Player left = p->second;
                players.erase(p);
                Notify(kCodeLeave, left);
                Log("closed game of %u: left", from);
            }
        } else if (tag >= kGulpBase && tag - kGulpBase < gulps.size()) {
            auto& ms = gulps[tag - kGulpBase].members;
            ms.erase(std::remove_if(ms.begin(), ms.end(), [&](const Member& m) { return m.session == session; }),
                     ms.end());
        }
    }

    static void Handler(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                        KRREQ_HNDL* request);
};

namespace {
Server::State* g_State = nullptr; // the handler's way back to the one server of a process
std::mutex g_StateLock;
}  // namespace

void Server::State::Handler(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                            KRREQ_HNDL* request) {
    std::lock_guard<std::mutex> guard(g_StateLock);
    State* s = g_State;
    if (!s) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    std::lock_guard<std::mutex> hold(s->lock);
    const uintptr_t tag = reinterpret_cast<uintptr_t>(context);
    if (code == KRSESS_CODE_OPENED) {
        KrSReqNoRespComplete(session, request);
        if (tag == kGameListener) {
            auto p = s->players.find(KrSessRemoteAddrWord(session));
            if (p != s->players.end() && !p->second.game) {
                p->second.game = session;
                s->Notify(kCodeJoin, p->second);
            }
        }
        return;
    }
    if (code == KRSESS_CODE_CLOSED) {
        KrSReqNoRespComplete(session, request);
        s->Closed(session, tag);
        KrSessClose(session);
        return;
    }
    if (s->drop.count(code)) {
        s->Log("req %u from %u: dropped", code, KrSessRemoteAddrWord(session));
        KrSReqNoRespComplete(session, request);
        return;
    }
    if (code == kCodePing && tag != kGameListener) {
        // Any session answers a ping (the game session's are logged with the game's requests).
        s->Log("req %u from %u: ping status 0", code, KrSessRemoteAddrWord(session));
        KrSReqComplete(session, request, 0, nullptr, 0);
        return;
    }
    if (tag == kJoinListener && code == kCodeJoin) {
        KRTLADDR local{};
        KrSessGetLocalTlAddr(session, &local);
        s->Join(session, request, data, length, local.family == KRTL_UDP);
    } else if (tag == kGameListener) {
        s->Game(session, request, code, data, length);
    } else if (tag >= kGulpBase && tag - kGulpBase < s->gulps.size()) {
        s->GulpRequest(tag - kGulpBase, session, request, code, data, length);
    } else {
        s->Log("req %u from %u: unknown status 1", code, KrSessRemoteAddrWord(session));
        KrSReqComplete(session, request, kStatusFailed, nullptr, 0);
    }
}

Server::Server(Options options, std::function<void(const std::string&)> log) : s_(new State) {
    s_->options = options;
    if (s_->options.batch < 1) s_->options.batch = 1;
    if (s_->options.batch > KRMC_RX_MAX) s_->options.batch = KRMC_RX_MAX;
    s_->log = std::move(log);
}

Server::~Server() {
    Stop();
    delete s_;
}

uint16_t Server::Start() {
    {
        std::lock_guard<std::mutex> guard(g_StateLock);
        g_State = s_;
    }
    std::lock_guard<std::mutex> hold(s_->lock);
    s_->port = 0;
    KRSESS_HNDL* first = Listen(s_->Local(KRTL_TCP, 0), kJoinListener, State::Handler);
    if (!first) return 0;
    KRTLADDR bound{};
    KrSessGetLocalTlAddr(first, &bound);
    s_->port = ntohs(bound.port);
    s_->listeners.push_back(first);
    for (KRSESS_HNDL* l : {Listen(s_->Local(KRTL_UDP, 0), kJoinListener, State::Handler),
                           Listen(s_->Local(KRTL_TCP, kServerAddr), kGameListener, State::Handler),
                           Listen(s_->Local(KRTL_UDP, kServerAddr), kGameListener, State::Handler)})
        if (l) s_->listeners.push_back(l);
    return s_->port;
}

void Server::Stop() {
    std::vector<KRSESS_HNDL*> sessions;
    {
        std::lock_guard<std::mutex> guard(g_StateLock);
        if (g_State == s_) g_State = nullptr;
    }
    std::lock_guard<std::mutex> hold(s_->lock);
    for (Delayed& d : s_->delayed) KrSReqNoRespComplete(d.session, d.request);
    s_->delayed.clear();
    for (auto& [a, p] : s_->players)
        if (p.game) sessions.push_back(p.game);
    for (Gulp& g : s_->gulps)
        for (Member& m : g.members) sessions.push_back(m.session);
    s_->players.clear();
    s_->gulps.clear();
    for (KRSESS_HNDL* l : s_->listeners) sessions.push_back(l);
    s_->listeners.clear();
    for (KRSESS_HNDL* s : sessions) KrSessClose(s);
}

void Server::Flush() {
    std::lock_guard<std::mutex> hold(s_->lock);
    for (Gulp& g : s_->gulps)
        for (Member& m : g.members) s_->SendBatch(m);
}

void Server::Tick() {
    std::lock_guard<std::mutex> hold(s_->lock);
    const auto now = Clock::now();
    for (size_t i = 0; i < s_->delayed.size();) {
        Delayed& d = s_->delayed[i];
        if (d.due > now) {
            ++i;
            continue;
        }
        KrSReqComplete(d.session, d.request, d.status, d.reply.empty() ? nullptr : d.reply.data(),
                       (uint32_t)d.reply.size());
        s_->delayed.erase(s_->delayed.begin() + (long)i);
    }
}

bool Server::Command(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    std::lock_guard<std::mutex> hold(s_->lock);
    State& s = *s_;
    uint32_t a = 0, b = 0;
    std::string text;
    if (verb == "reject-join") {
        s.rejectJoin = true;
    } else if (verb == "bad-join-reply") {
        s.badJoinReply = true;
    } else if (verb == "create-status" && (in >> a)) {
        s.createStatus = (int)a;
    } else if (verb == "find-null-ip-once") {
        s.findNullOnce = true;
    } else if (verb == "drop" && (in >> a)) {
        s.drop[a] = true;
    } else if (verb == "delay" && (in >> a >> b)) {
        s.delayMs[a] = b;
    } else if (verb == "close-game" && (in >> a)) {
        in >> b; // the error word is the session layer's to send
        auto p = s.players.find(a);
        if (p == s.players.end() || !p->second.game) return false;
        KRSESS_HNDL* game = p->second.game;
        const Player left = p->second;
        s.players.erase(p);
        s.Notify(kCodeLeave, left);
        KrSessClose(game);
    } else if (verb == "close-gulp" && (in >> a)) {
        bool found = false;
        for (Gulp& g : s.gulps) {
            for (size_t i = 0; i < g.members.size(); ++i) {
                if (g.members[i].addr != a) continue;
                KrSessClose(g.members[i].session);
                g.members.erase(g.members.begin() + (long)i);
                found = true;
                break;
            }
        }
        if (!found) return false;
    } else if ((verb == "inject-gulp" && (in >> a >> text)) || (verb == "big-message" && (in >> a >> b))) {
        Bytes body;
        if (verb == "inject-gulp") {
            if (!ParseHex(text, &body)) return false;
        } else {
            // One message of b bytes from the server's own address.
            KRMC_RXHDR h;
            h.count = 1;
            h.msg[0] = {kServerAddr, b};
            body.resize(KRMC_PACK_ROOM + b);
            const uint32_t packed = KrMCRxHdrPack(&h, body.data());
            for (uint32_t i = 0; i < b; ++i) body[packed + i] = (uint8_t)i;
            body.resize(packed + b);
        }
        bool sent = false;
        for (Gulp& g : s.gulps)
            for (Member& m : g.members)
                if (m.addr == a && !sent) {
                    KrCReqNoResp(m.session, kCodeDataIn, body.data(), (uint32_t)body.size());
                    sent = true;
                }
        if (!sent) return false;
    } else if (verb == "leave" && (in >> a)) {
        auto p = s.players.find(a);
        if (p == s.players.end()) return false;
        s.Notify(kCodeLeave, p->second);
    } else {
        return false;
    }
    s.Log("cmd %s", line.c_str());
    return true;
}

bool ParseServers(const std::string& text, std::vector<ServerRecord>* out, std::string* error) {
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        std::istringstream in(line);
        ServerRecord r;
        std::string addr;
        if (!(in >> addr) || addr[0] == '#') continue;
        char* end = nullptr;
        r.addr = (uint32_t)std::strtoul(addr.c_str(), &end, 0);
        if (*end || !(in >> r.name) || r.name.size() > 127) {
            if (error) *error = "line " + std::to_string(number);
            return false;
        }
        in >> r.dataBytes >> r.number;
        std::getline(in >> std::ws, r.text);
        if (r.text.size() > 127) r.text.resize(127);
        out->push_back(r);
    }
    return true;
}

}  // namespace gics
