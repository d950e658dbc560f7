// krpeer's session verbs over the network library's exported session and request calls (see
// peer_args.h for their command lines). Each prints one line per event:
//   serve: "port N" first, then "open" and "closed reason R" per peer session, "served N" at the
//          end (standard input "quit", SIGINT or SIGTERM stops it; the end of standard input
//          does not, so that it runs in the background of a script);
//   call:  "open", "mismatch I ..." or "twice I" per wrong completion, then "completed N of M";
//          exit 0 only when every request completed once, with status 0 and its payload echoed;
//   hold:  "open", then "closed reason R" when the library closes the session; on standard
//          input "close" closes it ("closed by user"), "hb TX RX" changes the heartbeat pair
//          ("hb ok" or "hb failed E");
//   key:   "open", "key ok" or "key failed E" for a data-key change, then "key same" or
//          "key differs" after asking the server for its data key; exit 0 only for "key same".
#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "krbytes.h"
#include "server_stop.h"
#include "krerrno.h"
#include "krcgame_modules.h"
#include "krrq_sess.h"
#include "lobbex_exports.h"
#include "peer_args.h"
#include "peer_modes.h"

namespace kp {

namespace {

// Bounds a run that would otherwise hang; no result depends on it.
constexpr int kGuardSeconds = 120;

std::mutex g_PrintLock;

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    std::lock_guard<std::mutex> hold(g_PrintLock);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The reason word of a session-closed notice, or all ones when it is missing.
uint32_t CloseReason(const uint8_t* data, uint32_t length) { return length >= 4 ? KrGetBe32(data) : 0xFFFFFFFFu; }

KRTLADDR TlAddr(bool udp, const sockaddr_in& a) {
    KRTLADDR t{};
    t.family = udp ? KRTL_UDP : KRTL_TCP;
    t.port = a.sin_port;
    t.addr = a.sin_addr.s_addr;
    return t;
}

// The option pairs as the library's vararg entries take them, ended by the terminator.
KRSESS_HNDL* Open(const SessArgs& a, int passive, const KRTLADDR* local, const KRTLADDR* remote, KRSREQ_HNDLR handler,
                  void* context) {
    // At most a handful of pairs: pass them through a fixed call of 16 pairs, unused ones ended early.
    uintptr_t v[33];
    size_t n = 0;
    for (const auto& [id, value] : a.options) {
        if (n + 2 >= 33) break;
        v[n++] = id;
        v[n++] = value;
    }
    v[n++] = KRSESS_OPTID_END;
    while (n < 33) v[n++] = KRSESS_OPTID_END;
    return KrSessOpenEx(passive, local, remote, handler, context, (uint32_t)v[0], v[1], (uint32_t)v[2], v[3],
                        (uint32_t)v[4], v[5], (uint32_t)v[6], v[7], (uint32_t)v[8], v[9], (uint32_t)v[10], v[11],
                        (uint32_t)v[12], v[13], (uint32_t)v[14], v[15], (uint32_t)v[16], v[17], (uint32_t)v[18], v[19],
                        (uint32_t)v[20], v[21], (uint32_t)v[22], v[23], (uint32_t)v[24], v[25], (uint32_t)v[26], v[27],
                        (uint32_t)v[28], v[29], (uint32_t)v[30], v[31], (uint32_t)v[32]);
}

// Reads standard input for up to `ms` and appends complete lines to `lines`; false at its end.
bool ReadInput(std::string* partial, std::deque<std::string>* lines, int ms) {
    pollfd input{0, POLLIN, 0};
    if (poll(&input, 1, ms) <= 0) return true;
    char bytes[256];
    const ssize_t got = read(0, bytes, sizeof bytes);
    if (got <= 0) return false;
    partial->append(bytes, (size_t)got);
    for (size_t at; (at = partial->find('\n')) != std::string::npos;) {
        lines->push_back(partial->substr(0, at));
        partial->erase(0, at + 1);
    }
    return true;
}

// ---- serve ----

struct Pending {
    KRSESS_HNDL* session;
    KRREQ_HNDL* request;
    std::vector<uint8_t> data;
    std::chrono::steady_clock::time_point due;
};

struct ServeState {
    std::mutex lock;
    const SessArgs* args = nullptr;
    uint64_t served = 0;
    std::deque<Pending> slow; // answers waiting for their time
};
ServeState g_serve;

void AnswerDataKey(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    KRCRYPT_KEY key{};
    uint8_t answer[20] = {};
    if (KrSessDataKeyGet(session, &key) == 0) {
        KrPutBe32(answer, key.type);
        std::memcpy(answer + 4, key.key, 16);
    }
    KrSReqComplete(session, request, 0, answer, sizeof answer);
}

void ServeHandler(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED) {
        Print("open");
        KrSReqNoRespComplete(session, request);
        return;
    }
    if (code == KRSESS_CODE_CLOSED) {
        Print("closed reason %u", CloseReason(data, length));
        KrSReqNoRespComplete(session, request);
        // The peer has gone: the server closes its side too, so the session's record, keys and
        // answered requests are freed instead of being held until the server stops.
        KrSessClose(session);
        return;
    }
    const SessArgs& a = *g_serve.args;
    {
        std::lock_guard<std::mutex> hold(g_serve.lock);
        ++g_serve.served;
    }
    if (a.noComplete) return; // kept by the library until its zombies overflow
    if (a.noHandler) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    if (code == kCodeDataKey) {
        AnswerDataKey(session, request);
        return;
    }
    if (a.slowMs) {
        std::lock_guard<std::mutex> hold(g_serve.lock);
        g_serve.slow.push_back({session, request, std::vector<uint8_t>(data, data + length),
                                std::chrono::steady_clock::now() + std::chrono::milliseconds(a.slowMs)});
        return;
    }
    KrSReqComplete(session, request, 0, data, length);
}

// Answers the slow requests whose time has come (on the main thread, not the io thread).
void AnswerDue() {
    for (;;) {
        Pending p;
        {
            std::lock_guard<std::mutex> hold(g_serve.lock);
            if (g_serve.slow.empty() || g_serve.slow.front().due > std::chrono::steady_clock::now()) return;
            p = std::move(g_serve.slow.front());
            g_serve.slow.pop_front();
        }
        KrSReqComplete(p.session, p.request, 0, p.data.data(), (uint32_t)p.data.size());
    }
}

int Serve(const SessArgs& a) {
    g_serve.args = &a;
    const KRTLADDR localTl = TlAddr(a.udp, LoopbackAddress(a.port));
    KRSESS_HNDL* listener = Open(a, 1, &localTl, nullptr, ServeHandler, nullptr);
    if (!listener) {
        std::fprintf(stderr, "krpeer: cannot listen (KrErrno 0x%x)\n", KrErrorGet());
        return 4;
    }
    KRTLADDR bound{};
    KrSessGetLocalTlAddr(listener, &bound);
    Print("port %u", (unsigned)ntohs(bound.port));
    std::string partial;
    std::deque<std::string> lines;
    bool inputOpen = a.inputOpen;
    bool quit = false;
    const int waitMs = a.slowMs ? 1 : 20;
    while (!quit && !server_stop::Requested()) {
        if (inputOpen) {
            inputOpen = ReadInput(&partial, &lines, waitMs);
        } else {
            pollfd wake{server_stop::WakeFd(), POLLIN, 0};
            poll(&wake, 1, waitMs);
        }
        for (; !lines.empty(); lines.pop_front())
            if (lines.front() == "quit") quit = true;
        AnswerDue();
    }
    {
        std::lock_guard<std::mutex> hold(g_serve.lock);
        Print("served %llu", (unsigned long long)g_serve.served);
    }
    KrSessClose(listener);
    return 0;
}

// ---- call ----

struct CallState {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint32_t> completions; // per request
    std::set<uint32_t> unanswered;     // indices sent and not completed
    uint32_t wrong = 0;
    uint32_t outstanding = 0;
    uint32_t size = 0;
    bool closed = false;
};
CallState g_call;

struct CallContext {
    uint32_t index;
};

void CallDone(KRSESS_HNDL*, uint32_t status, uint8_t* data, uint32_t length, void* context) {
    auto* c = static_cast<CallContext*>(context);
    const uint32_t index = c->index;
    delete c;
    const std::vector<uint8_t> expected = CallPayload(index, g_call.size);
    const bool intact = status == 0 && length == expected.size() && data && std::memcmp(data, expected.data(), length) == 0;
    std::lock_guard<std::mutex> hold(g_call.lock);
    if (++g_call.completions[index] > 1) {
        Print("twice %u", index);
        ++g_call.wrong;
    } else if (!intact) {
        Print("mismatch %u status %u length %u", index, status, length);
        ++g_call.wrong;
    }
    --g_call.outstanding;
    g_call.unanswered.erase(index);
    g_call.changed.notify_all();
}

void ClientHandler(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_CLOSED) {
        const uint32_t reason = CloseReason(data, length);
        Print("closed reason %u", reason);
        std::lock_guard<std::mutex> hold(g_call.lock);
        g_call.closed = true;
        g_call.changed.notify_all();
    }
    KrSReqNoRespComplete(session, request);
}

KRSESS_HNDL* OpenActive(const SessArgs& a) {
    const KRTLADDR remote = TlAddr(a.udp, a.to);
    KRSESS_HNDL* session = Open(a, 0, nullptr, &remote, ClientHandler, nullptr);
    if (!session) {
        Print("open failed 0x%x", KrErrorGet());
        return nullptr;
    }
    Print("open");
    return session;
}

// How far ahead of the oldest unanswered request an asynchronous call may send: the peer's
// sequence window (16 unless an option says otherwise). A request retried after newer ones
// further ahead than that falls out of the peer's window and is never answered.
uint32_t InFlight(const SessArgs& a) {
    uint32_t window = 16;
    for (const auto& [id, value] : a.options)
        if (id == KRSESS_OPTID_WINDOW && value > 0) window = value;
    return window;
}

int Call(const SessArgs& a) {
    KRSESS_HNDL* session = OpenActive(a);
    if (!session) return 4;
    g_call.size = a.size;
    g_call.completions.assign(a.count, 0);
    const uint32_t inFlight = InFlight(a);
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds);
    for (uint32_t i = 0; i < a.count; ++i) {
        const std::vector<uint8_t> payload = CallPayload(i, a.size);
        if (a.sync) {
            std::vector<uint8_t> answer(a.size);
            const uint32_t status =
                KrCReqSync(session, kCodeEcho, payload.data(), a.size, answer.data(), (uint32_t)answer.size());
            std::lock_guard<std::mutex> hold(g_call.lock);
            ++g_call.completions[i];
                    if (status != 0 || answer != payload) {
                Print("mismatch %u status %u", i, status);
                ++g_call.wrong;
            }
            continue;
        }
        {
            std::unique_lock<std::mutex> hold(g_call.lock);
            auto room = [&] { return g_call.unanswered.empty() || i - *g_call.unanswered.begin() < inFlight; };
            g_call.changed.wait_until(hold, guard, [&] { return room() || g_call.closed; });
            if (!room() || g_call.closed) break;
            ++g_call.outstanding;
            g_call.unanswered.insert(i);
        }
        auto* context = new CallContext{i};
        if (KrCReq(session, kCodeEcho, payload.data(), a.size, CallDone, context) != 0) {
            delete context;
            std::lock_guard<std::mutex> hold(g_call.lock);
            --g_call.outstanding;
            g_call.unanswered.erase(i);
            Print("send failed %u 0x%x", i, KrErrorGet());
            ++g_call.wrong;
        }
    }
    {
        std::unique_lock<std::mutex> hold(g_call.lock);
        g_call.changed.wait_until(hold, guard, [] { return g_call.outstanding == 0; });
    }
    KrSessClose(session);
    std::lock_guard<std::mutex> hold(g_call.lock);
    uint32_t once = 0;
    for (uint32_t n : g_call.completions) once += n == 1 ? 1 : 0;
    Print("completed %u of %u", once, a.count);
    return once == a.count && g_call.wrong == 0 ? 0 : 1;
}

// ---- hold ----

int Hold(const SessArgs& a) {
    KRSESS_HNDL* session = OpenActive(a);
    if (!session) return 4;
    std::string partial;
    std::deque<std::string> lines;
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds);
    while (std::chrono::steady_clock::now() < guard) {
        {
            std::lock_guard<std::mutex> hold(g_call.lock);
            if (g_call.closed) break;
        }
        if (!ReadInput(&partial, &lines, 20)) lines.push_back("close");
        for (; !lines.empty(); lines.pop_front()) {
            std::istringstream words(lines.front());
            std::string verb;
            words >> verb;
            if (verb == "close") {
                KrSessClose(session);
                Print("closed by user");
                return 0;
            }
            uint32_t tx = 0, rx = 0;
            if (verb == "hb" && (words >> tx >> rx)) {
                if (KrSessHBOptSet(session, tx, rx) == 0) Print("hb ok");
                else Print("hb failed 0x%x", KrErrorGet());
            }
        }
    }
    KrSessClose(session);
    std::lock_guard<std::mutex> hold(g_call.lock);
    return g_call.closed ? 0 : 5;
}

// ---- key ----

int Key(const SessArgs& a) {
    KRSESS_HNDL* session = OpenActive(a);
    if (!session) return 4;
    KRCRYPT_KEY key{a.keyType, {}};
    for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(0x40 + 3 * i);
    int code = 1;
    if (KrSessDataKeySet(session, &key, a.negotiate ? 1 : 0) == 0) {
        Print("key ok");
        KRCRYPT_KEY mine{};
        uint8_t answer[20] = {};
        const uint32_t status = KrCReqSync(session, kCodeDataKey, nullptr, 0, answer, sizeof answer);
        if (KrSessDataKeyGet(session, &mine) == 0 && status == 0 && KrGetBe32(answer) == mine.type &&
            std::memcmp(answer + 4, mine.key, 16) == 0) {
            Print("key same");
            code = 0;
        } else {
            Print("key differs");
        }
    } else {
        Print("key failed 0x%x", KrErrorGet());
    }
    KrSessClose(session);
    return code;
}

}  // namespace

int RunSession(const SessArgs& a) {
    KrErrorInit();
    if (KrRqModuleInit() != 0) {
        std::fprintf(stderr, "krpeer: the request layer did not start\n");
        return 4;
    }
    int code = 2;
    if (a.verb == "serve") code = Serve(a);
    else if (a.verb == "call") code = Call(a);
    else if (a.verb == "hold") code = Hold(a);
    else if (a.verb == "key") code = Key(a);
    KrRqModuleCleanup();
    return code;
}

}  // namespace kp
