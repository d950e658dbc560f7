// The game API against the test server in one process: each game slot is one player, so three
// slots make a game of three. Joins and leaves with their notices, the queries, GULP creation,
// the relay to all and to chosen members, the server's faults and remote closes.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gics_server.h"
#include "krcgame.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_req.h"
#include "krgulp.h"
#include "krtime.h"
#include "krtmo.h"
#include "lobbex_exports.h"

// Counts the C++ allocations of the thread that asks for it (the library's own heaps count theirs).
thread_local bool t_CountNews = false;
thread_local uint32_t t_News = 0;

// The replacements (every non-aligned form, so that each new meets its own delete) pair malloc
// with free, as they must; the compiler cannot see that pairing.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
void* CountedAlloc(std::size_t size) noexcept {
    if (t_CountNews) ++t_News;
    return std::malloc(size ? size : 1);
}
void* CountedAllocOrThrow(std::size_t size) {
    if (void* p = CountedAlloc(size)) return p;
    throw std::bad_alloc();
}
}  // namespace
void* operator new(std::size_t size) { return CountedAllocOrThrow(size); }
void* operator new[](std::size_t size) { return CountedAllocOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// Bounds a wait for something that must happen; no result depends on its length.
constexpr auto kGuard = std::chrono::seconds(60);

struct Log {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> lines;
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> hold(lock);
        lines.push_back(line);
        changed.notify_all();
    }
    size_t Count(const std::string& part) {
        std::lock_guard<std::mutex> hold(lock);
        size_t n = 0;
        for (const std::string& l : lines) n += l.find(part) != std::string::npos;
        return n;
    }
    bool WaitFor(const std::string& part) {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, kGuard, [&] {
            for (const std::string& l : lines)
                if (l.find(part) != std::string::npos) return true;
            return false;
        });
    }
};

Log* g_Notices = nullptr;
void Notice(KRADDR address, const char* name, int joined, uintptr_t context) {
    g_Notices->Add(std::to_string(context) + (joined ? " join " : " leave ") + std::to_string(address) + " " + name);
}

std::atomic<int> g_Event4{0};
void Monitor(uintptr_t event, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    if (event == 4) ++g_Event4;
}

// Waits until the slot's queue holds `n` messages.
bool WaitQueued(HGULP h, uint32_t n) {
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (CountGULPQ(h) < n) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class gics_game : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        LobbexInit();
        g_Notices = &notices_;
        server_ = new gics::Server(gics::Options{}, [this](const std::string& l) { log_.Add(l); });
        port_ = server_->Start();
        ASSERT_NE(port_, 0);
    }
    void TearDown() override {
        KrRegisterMonitorCallback(nullptr);
        for (HGAME g = 0; g < 4; ++g)
            while (KrLeaveGame(g) == 0) {
            }
        // The server's sessions go before the library stops under them.
        delete server_;
        server_ = nullptr;
        LobbexDestroy();
        g_Notices = nullptr;
    }
    // Binds slot `game` to the server as a lobby's game definition does.
    void Prepare(HGAME game, uint32_t joinWord = 0, bool udp = false) {
        uint8_t record[GAMEDEF_GAME_SIZE] = {};
        record[0] = (uint8_t)game;
        std::memcpy(record + GAMEDEF_JOIN_WORD, &joinWord, 4);
        record[GAMEDEF_GICS] = udp ? KRTL_UDP : KRTL_TCP;
        const uint16_t port = htons(port_);
        std::memcpy(record + GAMEDEF_GICS + 2, &port, 2);
        const uint32_t ip = htonl(INADDR_LOOPBACK);
        std::memcpy(record + GAMEDEF_GICS + 4, &ip, 4);
        ASSERT_EQ(PrepareGameDef(reinterpret_cast<GAMEDEF*>(record), sizeof record), 0);
    }
    HGULP OpenQor(HGAME game) {
        EXPECT_EQ(KrCreateGULP_SI(game, 0x7fffffff, "Qor GULP", 1, 500, 0, 0), 0);
        return KrOpenGULP(game, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("Qor GULP"), 0, nullptr, nullptr);
    }
    std::string Read(HGULP h, KRADDR* sender) {
        char buffer[2048];
        uint32_t length = sizeof buffer;
        if (KrReadGULP(h, sender, buffer, &length) != 0) return "<none>";
        return std::string(buffer, length);
    }

    Log log_, notices_;
    gics::Server* server_ = nullptr;
    uint16_t port_ = 0;
};

TEST_F(gics_game, ThreePlayersJoinQueryAndExchangeMessages) {
    const char* names[] = {"alpha", "bravo", "charlie-sixteen!"}; // the last has 16 characters
    for (HGAME g = 0; g < 3; ++g) {
        Prepare(g);
        ASSERT_EQ(KrJoinGame(g, names[g]), 0) << g;
        EXPECT_EQ(KrGetKrAddr(g), (KRADDR)(g + 1)) << "the lowest free address";
        ASSERT_EQ(KrEnableJoinLeaveNotification(g, Notice, (uintptr_t)g), 0);
        EXPECT_EQ(KrEnableJoinLeaveNotification(g, Notice, (uintptr_t)g), -1) << "a second enable keeps one record";
    }
    // Each player hears of the joins after its own.
    for (const char* line : {"0 join 2 bravo", "0 join 3 charlie-sixteen!", "1 join 3 charlie-sixteen!"})
        EXPECT_TRUE(notices_.WaitFor(line)) << line;
    EXPECT_EQ(notices_.Count("2 join"), 0u);
    uint32_t list[101];
    ASSERT_EQ(KrEnumPlayers(0, list, sizeof list), 0);
    EXPECT_EQ(list[0], 3u);
    uint32_t small[3];
    EXPECT_EQ(KrEnumPlayers(0, small, sizeof small), -153) << "room for two addresses";
    EXPECT_EQ(small[0], 2u);
    uint32_t tiny[1] = {77};
    EXPECT_EQ(KrEnumPlayers(0, tiny, 3), -153) << "a buffer under 4 bytes is refused";
    EXPECT_EQ(tiny[0], 77u) << "and nothing is written";
    char name[17];
    EXPECT_EQ(KrGetNameByAddr(0, 3, name, 17), 0);
    EXPECT_STREQ(name, "charlie-sixteen!");
    EXPECT_EQ(KrGetNameByAddr(0, 3, name, 16), -170) << "16 characters do not fit 16 bytes";
    EXPECT_STREQ(name, "");
    EXPECT_EQ(KrGetNameByAddr(0, 55, name, 17), -161);

    HGULP h[3];
    for (HGAME g = 0; g < 3; ++g) {
        h[g] = OpenQor(g);
        ASSERT_GE(h[g], 0) << g;
        EXPECT_EQ(IsGULPConnected(h[g]), 1);
    }
    EXPECT_EQ(log_.Count("req 22 from 1: name Qor GULP addr 8192 status 0"), 1u);
    EXPECT_EQ(log_.Count("req 22 from 2: name Qor GULP status 12"), 1u) << "the second create finds it";
    uint32_t gulps[4];
    EXPECT_EQ(KrEnumGULPs(0, gulps, sizeof gulps), 0);
    EXPECT_EQ(gulps[0], 1u);
    KRGULP_INFO info{};
    EXPECT_EQ(KrFindGULP(0, "Qor GULP", &info), 0);
    EXPECT_STREQ(info.name, "Qor GULP");
    EXPECT_EQ(info.style, KRGULP_STYLE_SI);
    EXPECT_EQ(KrQueryGULP(0, info.address, &info), 0);
    EXPECT_NE(KrFindGULP(0, "Nothing", &info), 0);

    // To all: everyone but the sender, in order.
    ASSERT_EQ(KrWriteGULP(h[0], "one", 3, nullptr), 0);
    ASSERT_EQ(KrWriteGULP(h[0], "two", 3, nullptr), 0);
    // To a chosen member: only 3 hears it.
    const uint32_t only3[] = {1, 3};
    ASSERT_EQ(KrWriteGULP(h[1], "secret", 6, only3), 0);
    const uint32_t none[] = {0};
    EXPECT_EQ(KrWriteGULP(h[1], "void", 4, none), 0) << "an empty list sends nothing";
    ASSERT_TRUE(WaitQueued(h[1], 2));
    ASSERT_TRUE(WaitQueued(h[2], 3));
    KRADDR from = 0;
    EXPECT_EQ(Read(h[1], &from), "one");
    EXPECT_EQ(from, 1u);
    EXPECT_EQ(Read(h[1], &from), "two");
    EXPECT_EQ(Read(h[2], &from), "one");
    EXPECT_EQ(Read(h[2], &from), "two");
    EXPECT_EQ(Read(h[2], &from), "secret");
    EXPECT_EQ(from, 2u);
    ASSERT_EQ(KrWriteGULP(h[2], "last", 4, nullptr), 0);
    ASSERT_TRUE(WaitQueued(h[0], 1));
    EXPECT_EQ(Read(h[0], &from), "last");
    ASSERT_TRUE(WaitQueued(h[1], 1));
    EXPECT_EQ(Read(h[1], &from), "last");
    EXPECT_EQ(CountGULPQ(h[0]) + CountGULPQ(h[1]) + CountGULPQ(h[2]), 0u) << "player 1 never heard the secret";
    EXPECT_EQ(KrReadGULP(h[0], &from, nullptr, nullptr), -100);
    EXPECT_EQ(KrGetGULPMeter(h[0])->messagesOut, 2u);
    EXPECT_EQ(KrGetGULPMeter(h[2])->messagesIn, 3u);
    EXPECT_EQ(KrGetGULPMeter(h[1])->messagesOut, 2u) << "the write to nobody is counted too";

    // Leaving: the others hear it.
    ASSERT_EQ(KrLeaveGame(2), 0);
    ASSERT_TRUE(notices_.WaitFor("0 leave 3 charlie-sixteen!"));
    ASSERT_TRUE(notices_.WaitFor("1 leave 3 charlie-sixteen!"));
    EXPECT_EQ(KrLeaveGame(2), -131) << "not joined";
    EXPECT_EQ(KrLeaveGame(40), -130) << "no such game";
}

TEST_F(gics_game, JoinFailuresLeaveTheSlotAsTheyShould) {
    struct Case {
        const char* command;
        const char* name;
        int result;
        uint16_t state;
    } cases[] = {
        {"reject-join", "rejected", -44, KRGAME_JOINING},
        {"bad-join-reply", "garbled", -3, KRGAME_JOINING},
        {nullptr, "seventeen-letters", -2, KRGAME_JOINING},
    };
    HGAME g = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gics::Server* fresh = new gics::Server(gics::Options{}, [this](const std::string& l) { log_.Add(l); });
        server_->Stop();
        delete server_;
        server_ = fresh;
        port_ = server_->Start();
        if (c.command) {
            ASSERT_TRUE(server_->Command(c.command));
        }
        Prepare(g);
        EXPECT_EQ(KrJoinGame(g, c.name), c.result);
        EXPECT_EQ(GetGamePtr(g)->state, c.state);
        EXPECT_EQ(GetGamePtr(g)->joinSession, nullptr) << "the join session is closed";
        EXPECT_EQ(KrJoinGame(g, "again"), -46) << "until the definition is loaded again";
        ++g;
    }
    EXPECT_EQ(KrJoinGame(-1, "x"), -47);
}

TEST_F(gics_game, JoiningTwiceCountsAndCreateStatusesMap) {
    Prepare(0);
    ASSERT_EQ(KrJoinGame(0, "solo"), 0);
    ASSERT_EQ(KrJoinGame(0, "solo"), 0);
    EXPECT_EQ(GetGamePtr(0)->joinCount, 2);
    EXPECT_EQ(KrLeaveGame(0), 0);
    EXPECT_EQ(GetGamePtr(0)->state, KRGAME_JOINED) << "the first leave after two joins keeps the game";
    ASSERT_TRUE(server_->Command("create-status 5"));
    EXPECT_EQ(KrCreateGULP_MC(0, 0x7fffffff, "Other", 1), -73);
    ASSERT_TRUE(server_->Command("create-status 12"));
    EXPECT_EQ(KrCreateGULP_CS(0, 0x7fffffff, "Other", 1, 2, 3, 4, 5, 6, 7), 0);
    EXPECT_EQ(KrCreateGULP(33, nullptr), -70);
    EXPECT_EQ(KrOpenGULP(33, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("x"), 0, nullptr, nullptr), -81);
    EXPECT_EQ(KrOpenGULP(0, -1, 0, 0, nullptr, nullptr), -84);
    EXPECT_EQ(KrOpenGULP(0, 7, 0, 0, nullptr, nullptr), -84);
    EXPECT_EQ(KrOpenGULP(0, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("Missing"), 0, nullptr, nullptr), -81);
    EXPECT_EQ(IsGULPConnected(0), 0) << "the slot is free again";
}

TEST_F(gics_game, ServerClosesReachTheClient) {
    KrRegisterMonitorCallback(Monitor);
    g_Event4 = 0;
    Prepare(0);
    Prepare(1);
    ASSERT_EQ(KrJoinGame(0, "first"), 0);
    ASSERT_EQ(KrJoinGame(1, "second"), 0);
    ASSERT_TRUE(server_->Command("find-null-ip-once"));
    const HGULP a = OpenQor(0);
    ASSERT_GE(a, 0) << "the find is sent again after a null address";
    const HGULP b = OpenQor(1);
    ASSERT_GE(b, 0);

    // A message larger than the reader's buffer stays first until a large enough read.
    ASSERT_TRUE(server_->Command("big-message 1 3000"));
    ASSERT_TRUE(WaitQueued(a, 1));
    EXPECT_EQ(GetFirstMessageLength(a), 3000u);
    std::vector<uint8_t> buffer(3000);
    uint32_t length = 2999;
    KRADDR from = 0;
    EXPECT_EQ(KrReadGULP(a, &from, buffer.data(), &length), -102);
    length = 3000;
    EXPECT_EQ(KrReadGULP(a, &from, buffer.data(), &length), 0);
    EXPECT_EQ(length, 3000u);
    EXPECT_EQ(buffer[2999], (uint8_t)(2999 & 0xFF));

    // 255 destinations cannot be described: nothing reaches the server.
    std::vector<uint32_t> many(256);
    many[0] = 255;
    for (uint32_t i = 1; i <= 255; ++i) many[i] = i;
    const size_t before = log_.Count("req 0 from 1");
    EXPECT_EQ(KrWriteGULP(a, "x", 1, many.data()), -93);

    // Hostile data-in requests deliver nothing and leave the channel working.
    for (const char* hex : {"00", "01C080C0", "05C2878A", "03C181FF", "03C1818A41"}) {
        ASSERT_TRUE(server_->Command(std::string("inject-gulp 1 ") + hex));
    }
    ASSERT_EQ(KrWriteGULP(b, "ok", 2, nullptr), 0);
    ASSERT_TRUE(WaitQueued(a, 1));
    length = 3000;
    EXPECT_EQ(KrReadGULP(a, &from, buffer.data(), &length), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), "ok");
    EXPECT_EQ(from, 2u);
    EXPECT_EQ(log_.Count("req 0 from 1"), before) << "the refused write sent nothing";

    // The GULP server closes player 1's channel: its queue goes with it.
    ASSERT_EQ(KrWriteGULP(b, "pending", 7, nullptr), 0);
    ASSERT_TRUE(WaitQueued(a, 1));
    ASSERT_TRUE(server_->Command("close-gulp 1"));
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (IsGULPConnected(a) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(IsGULPConnected(a), 0);
    EXPECT_EQ(KrWriteGULP(a, "x", 1, nullptr), -92);
    EXPECT_EQ(IsGULPQEmpty(a), 1);

    // The game instance server closes player 2's game session: monitor event 4, still joined.
    ASSERT_TRUE(server_->Command("close-game 2 0"));
    while (g_Event4 == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(g_Event4.load(), 1);
    EXPECT_EQ(GetGamePtr(1)->state, KRGAME_JOINED);
    uint32_t list[4];
    EXPECT_EQ(KrEnumPlayers(1, list, sizeof list), -151) << "no game session to ask on";
    EXPECT_EQ(KrLeaveGame(1), 0);
    EXPECT_EQ(GetGamePtr(1)->state, KRGAME_FREE);
}

// A callback disabled while the io thread runs it is freed only after it returns; the walk
// survives records leaving the ring under it.
std::atomic<int> g_InCallback{0};
std::atomic<int> g_Release{0};
void SlowNotice(KRADDR, const char*, int, uintptr_t) {
    g_InCallback = 1;
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (!g_Release && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(gics_game, DisableDuringARunningCallback) {
    Prepare(0);
    Prepare(1);
    ASSERT_EQ(KrJoinGame(0, "host"), 0);
    ASSERT_EQ(KrEnableJoinLeaveNotification(0, SlowNotice, 1), 0);
    ASSERT_EQ(KrEnableJoinLeaveNotification(0, Notice, 2), 0);
    g_InCallback = 0;
    g_Release = 0;
    ASSERT_EQ(KrJoinGame(1, "guest"), 0);
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (!g_InCallback && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(g_InCallback.load(), 1);
    EXPECT_EQ(KrDisableJoinLeaveNotification(0, SlowNotice, 1), 0);
    EXPECT_EQ(KrDisableJoinLeaveNotification(0, SlowNotice, 1), -1) << "already gone";
    g_Release = 1;
    ASSERT_TRUE(notices_.WaitFor("2 join 2 guest")) << "the walk goes on to the next record";
    EXPECT_EQ(KrDisableJoinLeaveNotification(0, Notice, 2), 0);
    EXPECT_EQ(GetGamePtr(0)->notifyState, 0) << "the last record sent the disable";
    EXPECT_EQ(GetGamePtr(0)->notifyHead, nullptr);
}

// A game instance server reached over UDP answers on UDP too; with addresses taken from the join
// word, the player gets the word it brought.
TEST_F(gics_game, JoinOverUdpWithTheAddressFromTheJoinWord) {
    delete server_;
    server_ = new gics::Server(gics::Options{true, 1, {}}, [this](const std::string& l) { log_.Add(l); });
    port_ = server_->Start();
    ASSERT_NE(port_, 0);
    Prepare(0, 42, true);
    ASSERT_EQ(GetGamePtr(0)->unreliable, 1);
    ASSERT_EQ(KrJoinGame(0, "datagram"), 0);
    EXPECT_EQ(KrGetKrAddr(0), 42u);
    uint32_t list[4];
    ASSERT_EQ(KrEnumPlayers(0, list, sizeof list), 0);
    EXPECT_EQ(list[0], 1u);
    EXPECT_EQ(list[1], 42u);
    char name[17];
    EXPECT_EQ(KrGetNameByAddr(0, 42, name, sizeof name), 0);
    EXPECT_STREQ(name, "datagram");
}

// The relay batches up to N messages per data-in request; a full batch goes at once, the rest
// when the server flushes. Each arrives in order with its own sender and length.
// Once the first messages have gone, a write takes no memory: neither from the library's heaps
// (its request and message come from the kept blocks) nor from the C++ allocator.
TEST_F(gics_game, WritingToAGulpTakesNoNewMemory) {
    Prepare(0);
    Prepare(1);
    ASSERT_EQ(KrJoinGame(0, "receiver"), 0);
    ASSERT_EQ(KrJoinGame(1, "sender"), 0);
    const HGULP r = OpenQor(0);
    const HGULP w = OpenQor(1);
    ASSERT_GE(r, 0);
    ASSERT_GE(w, 0);
    const std::string message(64, 'm');
    ASSERT_EQ(KrWriteGULP(w, message.data(), (uint32_t)message.size(), nullptr), 0);
    ASSERT_TRUE(WaitQueued(r, 1));
    // The server's side of this process draws on the same heaps. Fill their kept blocks to the
    // bound first (request handles, and messages of every size up to 1 KB), so that what the
    // server holds at once never empties them under the writer.
    {
        std::vector<KRREQ_HNDL*> handles;
        std::vector<uint8_t*> messages;
        for (int i = 0; i < 64; ++i) {
            handles.push_back(KrReqHndlAlloc(nullptr, 0));
            for (uint32_t size : {64u, 128u, 256u, 512u, 1024u}) messages.push_back(KrReqMsgAlloc(size));
        }
        for (KRREQ_HNDL* h : handles) KrReqHndlFree(h);
        for (uint8_t* m : messages) KrReqMsgFree(m);
    }
    // Rounds of 20 that the relay and the receiver take in before the next one. The first round
    // warms up; only the writes of the 50 rounds after it are counted.
    uint32_t fresh = 0, news = 0, queued = 1;
    int failed = 0;
    for (int round = 0; round <= 50; ++round) {
        const bool counted = round > 0;
        const uint32_t freshBefore = KrHeapFreshBlocksOnThisThread();
        t_News = 0;
        t_CountNews = counted;
        for (int i = 0; i < 20; ++i) failed += KrWriteGULP(w, message.data(), (uint32_t)message.size(), nullptr) != 0;
        t_CountNews = false;
        if (counted) {
            fresh += KrHeapFreshBlocksOnThisThread() - freshBefore;
            news += t_News;
        }
        queued += 20;
        ASSERT_TRUE(WaitQueued(r, queued)) << "every message arrives (round " << round << ")";
    }
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(fresh, 0u);
    EXPECT_EQ(news, 0u);
}

TEST_F(gics_game, BatchedRelayKeepsOrderAndSenders) {
    delete server_;
    server_ = new gics::Server(gics::Options{false, 4, {}}, [this](const std::string& l) { log_.Add(l); });
    port_ = server_->Start();
    ASSERT_NE(port_, 0);
    Prepare(0);
    Prepare(1);
    ASSERT_EQ(KrJoinGame(0, "receiver"), 0);
    ASSERT_EQ(KrJoinGame(1, "sender"), 0);
    const HGULP r = OpenQor(0);
    const HGULP w = OpenQor(1);
    ASSERT_GE(r, 0);
    ASSERT_GE(w, 0);
    const std::string messages[] = {"a", "bb", "", "dddd", "eeeee", "ffffff"};
    for (const std::string& m : messages) ASSERT_EQ(KrWriteGULP(w, m.data(), (uint32_t)m.size(), nullptr), 0);
    ASSERT_TRUE(WaitQueued(r, 4)) << "the full batch of four";
    // The flush must come after the server has taken in all six, or the last two would wait for
    // a later one.
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (log_.Count("req 0 from 2: gulp") < 6 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(log_.Count("req 0 from 2: gulp"), 6u);
    EXPECT_EQ(CountGULPQ(r), 4u) << "the last two wait for the flush";
    server_->Flush();
    ASSERT_TRUE(WaitQueued(r, 6));
    for (const std::string& m : messages) {
        KRADDR from = 0;
        EXPECT_EQ(Read(r, &from), m);
        EXPECT_EQ(from, 2u);
    }
}

// The library clock, moved only by the test while it is in.
std::atomic<uint32_t> g_Now{1000000};
uint32_t TestTick() { return g_Now.load(); }

TEST_F(gics_game, AnUnansweredGulpListFailsWithAnEmptyCount) {
    Prepare(0);
    ASSERT_EQ(KrJoinGame(0, "asker"), 0);
    ASSERT_TRUE(server_->Command("drop 23"));
    KrTimeSetTickSource(TestTick);
    uint32_t list[4] = {9, 9, 9, 9};
    std::atomic<int> result{1};
    std::thread asker([&] { result = KrEnumGULPs(0, list, sizeof list); });
    ASSERT_TRUE(log_.WaitFor("req 23 from 1: dropped"));
    // The request's time-out passes on the library clock.
    for (int step = 0; step < 600 && result == 1; ++step) {
        g_Now += 1000;
        KrTmoWakeup();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    asker.join();
    KrTimeSetTickSource(nullptr);
    EXPECT_EQ(result.load(), -61);
    EXPECT_EQ(list[0], 0u);
}

// The io thread queues and closes while the caller reads: run under the thread sanitizer.
TEST_F(gics_game, RemoteCloseWhileReading) {
    Prepare(0);
    Prepare(1);
    ASSERT_EQ(KrJoinGame(0, "reader"), 0);
    ASSERT_EQ(KrJoinGame(1, "writer"), 0);
    const HGULP a = OpenQor(0);
    const HGULP b = OpenQor(1);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> read{0};
    std::thread reader([&] {
        char buffer[64];
        while (!stop) {
            uint32_t length = sizeof buffer;
            KRADDR from = 0;
            if (KrReadGULP(a, &from, buffer, &length) == 0) ++read;
            (void)KrIsDataReady(a);
            (void)IsGULPQEmpty(a);
        }
    });
    for (int i = 0; i < 50; ++i) ASSERT_EQ(KrWriteGULP(b, "tick", 4, nullptr), 0);
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (read < 10 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(server_->Command("close-gulp 1"));
    while (IsGULPConnected(a) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    reader.join();
    EXPECT_EQ(IsGULPConnected(a), 0);
    EXPECT_EQ(IsGULPQEmpty(a), 1);
    EXPECT_GE(read.load(), 10);
}

}  // namespace

// ---- the name cache, the mute list and speech GULPs against the server ----

namespace {

// The used entries of a game's name cache in slot order, as "address:name:flags".
std::vector<std::string> CacheEntries(HGAME game) {
    std::vector<std::string> out;
    KrEnumNameCache(
        game,
        [](int, const char* name, KRADDR address, uint32_t flags, uintptr_t context) {
            reinterpret_cast<std::vector<std::string>*>(context)->push_back(std::to_string(address) + ":" + name + ":" +
                                                                            std::to_string(flags));
        },
        reinterpret_cast<uintptr_t>(&out));
    return out;
}

bool WaitCache(HGAME game, const std::vector<std::string>& want) {
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (CacheEntries(game) != want) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Players whose addresses are their join words.
class gics_names : public gics_game {
protected:
    void SetUp() override {
        gics_game::SetUp();
        delete server_;
        server_ = new gics::Server(gics::Options{true, 1, {}}, [this](const std::string& l) { log_.Add(l); });
        port_ = server_->Start();
        ASSERT_NE(port_, 0);
    }
    void TearDown() override {
        while (KrDestroyNameCache(0) != 0 && KrEnumNameCache(0, nullptr, 0) >= 0) {
        }
        KrDestroyMuteList();
        gics_game::TearDown();
    }
    void Join(HGAME game, uint32_t address, const char* name) {
        Prepare(game, address);
        ASSERT_EQ(KrJoinGame(game, name), 0);
        ASSERT_EQ(KrGetKrAddr(game), address);
    }
    std::string Lookup(KRADDR address, int* result, int* muted, int16_t length = 16) {
        char name[64];
        std::memset(name, '#', sizeof name);
        *muted = -1;
        *result = KrGetCachedNameByAddr(0, address, name, length, muted);
        EXPECT_EQ(name[length + 1], '#') << "nothing past length + 1";
        return name;
    }
};

// Capacity 10: 3 and 13 share the home slot 3, so 13 lies in slot 4, and is still found there (from
// the cache, without asking the server) after 3 has left and slot 3 is free.
TEST_F(gics_names, TheCacheFollowsJoinsAndLeavesAndProbesPastFreeSlots) {
    Join(0, 1, "watcher");
    ASSERT_EQ(KrCreateNameCache(0, 10), 10);
    Join(1, 3, "three");
    Join(2, 13, "thirteen");
    ASSERT_TRUE(WaitCache(0, {"3:three:0", "13:thirteen:0"})) << testing::PrintToString(CacheEntries(0));
    ASSERT_EQ(KrLeaveGame(1), 0);
    ASSERT_TRUE(WaitCache(0, {"13:thirteen:0"})) << testing::PrintToString(CacheEntries(0));
    const size_t asked = log_.Count("req 19 from 1:");
    int result = 0, muted = 0;
    EXPECT_EQ(Lookup(13, &result, &muted), "thirteen");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(muted, 0);
    EXPECT_EQ(log_.Count("req 19 from 1:"), asked) << "found in the cache";
    // A name shorter than the buffer asks: only `length` characters are delivered.
    EXPECT_EQ(Lookup(13, &result, &muted, 4), "thir");
    // Someone not in the cache is asked of the server and added at its home slot.
    Join(3, 23, "twenty-three");
    ASSERT_TRUE(WaitCache(0, {"23:twenty-three:0", "13:thirteen:0"}));
    EXPECT_EQ(KrPurgeNameCache(0), 0);
    EXPECT_EQ(Lookup(23, &result, &muted), "twenty-three");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(log_.Count("req 19 from 1:"), asked + 1);
    EXPECT_EQ(CacheEntries(0), (std::vector<std::string>{"23:twenty-three:0"}));
    // Somebody unknown to the server: its text stands in, bounded by the buffer.
    EXPECT_EQ(Lookup(0xABCDE, &result, &muted), "KRADDRABCDE");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Lookup(0xABCDE, &result, &muted, 4), "KRAD");
    EXPECT_EQ(KrGetCachedNameByAddr(16, 3, nullptr, 0, nullptr), 0x7FFFFFFF);
    // A second create only counts; one destroy frees the cache all the same.
    EXPECT_EQ(KrCreateNameCache(0, 10), -1);
    EXPECT_EQ(KrDestroyNameCache(0), 0);
    EXPECT_EQ(KrEnumNameCache(0, nullptr, 0), -1);
}

// A full cache: the name is delivered from the server, the answer is -1, and the log says so.
TEST_F(gics_names, AFullCacheStillDeliversTheName) {
    Join(0, 1, "watcher");
    ASSERT_EQ(KrCreateNameCache(0, 2), 2);
    Join(1, 4, "four");
    Join(2, 6, "six");
    ASSERT_TRUE(WaitCache(0, {"4:four:0", "6:six:0"}));
    const uint32_t saved = KrGetTrace();
    KrSetTrace(saved | KR_TRACE_ERROR);
    testing::internal::CaptureStderr();
    int result = 0, muted = 0;
    const std::string name = Lookup(1, &result, &muted);
    const std::string boxes = testing::internal::GetCapturedStderr();
    KrSetTrace(saved);
    EXPECT_EQ(name, "watcher");
    EXPECT_EQ(result, -1);
    EXPECT_NE(boxes.find("Name Cache is Full (HGAME:0), could not add KRADDR 0x1"), std::string::npos) << boxes;
}

// Muting sets the muted bit of the bound game's cached name (names compare without case); a
// joining muted player comes in muted; purging and destroying the list clear every bit.
TEST_F(gics_names, TheMuteListMarksTheBoundGamesCache) {
    Join(0, 1, "watcher");
    ASSERT_EQ(KrCreateNameCache(0, 8), 8);
    Join(1, 2, "Loud");
    ASSERT_TRUE(WaitCache(0, {"2:Loud:0"}));
    ASSERT_EQ(KrCreateMuteList(20), 20);
    EXPECT_EQ(KrCreateMuteList(5), 20) << "one list";
    ASSERT_EQ(KrSetMuteListGameHandle(0), 0);
    EXPECT_EQ(KrAddNameToMuteList("loud"), 0);
    EXPECT_EQ(CacheEntries(0), (std::vector<std::string>{"2:Loud:1"}));
    int result = 0, muted = 0;
    Lookup(2, &result, &muted);
    EXPECT_EQ(muted, 1);
    EXPECT_EQ(KrAddNameToMuteList("LOUD"), -1) << "already there";
    Join(2, 3, "quiet");
    EXPECT_EQ(KrAddNameToMuteList("QUIET"), 1);
    Join(3, 5, "other");
    ASSERT_TRUE(WaitCache(0, {"2:Loud:1", "3:quiet:1", "5:other:0"})) << testing::PrintToString(CacheEntries(0));
    EXPECT_EQ(KrRemoveNameFromMuteList("Quiet"), 0);
    EXPECT_EQ(CacheEntries(0), (std::vector<std::string>{"2:Loud:1", "3:quiet:0", "5:other:0"}));
    EXPECT_EQ(KrAddNameToMuteList("other"), 1) << "the freed entry is used again";
    EXPECT_EQ(KrPurgeMuteList(), 0);
    EXPECT_EQ(CacheEntries(0), (std::vector<std::string>{"2:Loud:0", "3:quiet:0", "5:other:0"}));
    EXPECT_EQ(KrGetMuteListSize(), 20);
    EXPECT_EQ(KrAddNameToMuteList("other"), 0);
    EXPECT_EQ(KrDestroyMuteList(), 0);
    EXPECT_EQ(CacheEntries(0), (std::vector<std::string>{"2:Loud:0", "3:quiet:0", "5:other:0"}));
}

// Speech callbacks: the GULP, the opener's context, the latest sender, no data.
struct SpeechCalls {
    std::mutex lock;
    std::vector<std::string> calls;
    void Add(const std::string& c) {
        std::lock_guard<std::mutex> hold(lock);
        calls.push_back(c);
    }
    size_t Count(const std::string& c) {
        std::lock_guard<std::mutex> hold(lock);
        return (size_t)std::count(calls.begin(), calls.end(), c);
    }
} g_SpeechCalls;

void SpeechCallback(HGULP gulp, uintptr_t context, KRADDR sender, const void* data, uint32_t length) {
    g_SpeechCalls.Add(std::to_string(gulp) + " " + std::to_string(context) + " " + std::to_string(sender) +
                      (data || length ? " data" : ""));
}

bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class gics_speech : public gics_names {
protected:
    void SetUp() override {
        gics_names::SetUp();
        KrSpeechInit();
    }
    void TearDown() override {
        gics_names::TearDown();
        EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 0; })) << "every dispatcher thread ends";
    }
    // The start of a phrase of style 0 from `w` to one player (`to`); left open, since a close
    // goes to every player.
    void Say(HGULP w, uint16_t id, KRADDR to, size_t bytes) {
        KrSpeechInit();
        const uint32_t list[2] = {1, to};
        const std::vector<uint8_t> data(bytes, 0x21);
        ASSERT_EQ(KrOpenPhrase(w, id, 0, list), 0);
        ASSERT_EQ(KrSendPhraseData(w, id, 0, data.data(), (uint16_t)data.size(), list), 0);
    }
};

TEST_F(gics_speech, DispatchersCallTheirOwnCallbackAndStopAtClose) {
    Join(0, 1, "ear-one");
    Join(1, 2, "ear-two");
    Join(2, 3, "ear-three");
    Join(3, 9, "mouth");
    ASSERT_EQ(KrCreateGULP_SI(0, 0x7fffffff, "Qor GULP", 1, 500, 0, 0), 0);
    const auto key = reinterpret_cast<uintptr_t>("Qor GULP");
    const HGULP a = KrOpenSpeechGULP(0, KRGULP_OPEN_FIND, key, 71, nullptr, SpeechCallback);
    const HGULP b = KrOpenSpeechGULP(1, KRGULP_OPEN_FIND, key, 72, nullptr, SpeechCallback);
    const HGULP plain = KrOpenSpeechGULP(2, KRGULP_OPEN_FIND, key, 73, nullptr, nullptr);
    const HGULP w = KrOpenGULP(3, KRGULP_OPEN_FIND, key, 0, nullptr, nullptr);
    ASSERT_TRUE(a >= 0 && b >= 0 && plain >= 0 && w >= 0);
    EXPECT_EQ(KrSpeechDispatcherCount(), 2) << "no thread without a callback";
    EXPECT_EQ(KrOpenSpeechGULP(0, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("No GULP"), 74, nullptr,
                               SpeechCallback),
              -81);
    EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 2; })) << "a failed open's thread ends";

    // To player 1 only: A's callback runs (on its own thread), B's does not; the phrase is queued.
    Say(w, 1, 1, 100);
    const std::string fromW = std::to_string(a) + " 71 9";
    ASSERT_TRUE(WaitFor([&] { return g_SpeechCalls.Count(fromW) >= 1; }));
    ASSERT_TRUE(WaitFor([] { return KrIsReadyToPlay(99) == 1; }));
    EXPECT_EQ(g_SpeechCalls.Count(std::to_string(b) + " 72 9"), 0u);
    uint8_t block[256];
    EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 100);
    // Without a callback the messages still reach the play queue.
    Say(w, 2, 3, 30);
    ASSERT_TRUE(WaitFor([] { return KrIsReadyToPlay(29) == 1; }));
    EXPECT_EQ(KrSpeechInX(block, sizeof block, 0), 30);

    // Closing the newest leaves the other working; closing it later stops its thread too.
    EXPECT_EQ(KrCloseSpeechGULP(b), 0);
    EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 1; }));
    const size_t before = g_SpeechCalls.Count(fromW);
    Say(w, 3, 1, 10);
    EXPECT_TRUE(WaitFor([&] { return g_SpeechCalls.Count(fromW) > before; }));
    EXPECT_EQ(KrCloseGULP(a), 0);
    EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 0; }));
    EXPECT_EQ(KrCloseGULP(plain), 0);
    EXPECT_EQ(KrCloseGULP(w), 0);
}

// Closed locally while messages are relayed to it, and closed by the server: the dispatcher goes
// either way, and nothing is used after it is freed (run under the thread sanitizer).
TEST_F(gics_speech, ClosedLocallyDuringRelayOrRemotely) {
    Join(0, 1, "ear");
    Join(1, 9, "mouth");
    ASSERT_EQ(KrCreateGULP_SI(0, 0x7fffffff, "Qor GULP", 1, 500, 0, 0), 0);
    const auto key = reinterpret_cast<uintptr_t>("Qor GULP");
    const HGULP w = KrOpenGULP(1, KRGULP_OPEN_FIND, key, 0, nullptr, nullptr);
    ASSERT_GE(w, 0);
    for (int round = 0; round < 5; ++round) {
        const HGULP a = KrOpenSpeechGULP(0, KRGULP_OPEN_FIND, key, 80, nullptr, SpeechCallback);
        ASSERT_GE(a, 0);
        std::atomic<bool> stop{false};
        std::thread talker([&] {
            const std::vector<uint8_t> data(64, 1);
            const uint32_t list[2] = {1, 1};
            for (uint16_t id = 0; !stop; ++id) {
                KrSendPhraseData(w, id, 0, data.data(), (uint16_t)data.size(), list);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const std::string call = std::to_string(a) + " 80 9";
        EXPECT_TRUE(WaitFor([&] { return g_SpeechCalls.Count(call) >= 1; }));
        EXPECT_EQ(KrCloseGULP(a), 0);
        stop = true;
        talker.join();
        EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 0; })) << round;
        KrSpeechInit();
    }
    const HGULP a = KrOpenSpeechGULP(0, KRGULP_OPEN_FIND, key, 81, nullptr, SpeechCallback);
    ASSERT_GE(a, 0);
    ASSERT_TRUE(server_->Command("close-gulp 1"));
    EXPECT_TRUE(WaitFor([&] { return IsGULPConnected(a) == 0; }));
    EXPECT_TRUE(WaitFor([] { return KrSpeechDispatcherCount() == 0; })) << "a remote close stops the thread";
    EXPECT_EQ(KrCloseGULP(a), 0);
    EXPECT_EQ(KrCloseGULP(w), 0);
}

}  // namespace
