// The game API against the test server in one process: each game slot is one player, so three
// slots make a game of three. Joins and leaves with their notices, the queries, GULP creation,
// the relay to all and to chosen members, the server's faults and remote closes.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <new>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gics_server.h"
#include "krcgame.h"
#include "krheap.h"
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
    server_ = new gics::Server(gics::Options{true, 1}, [this](const std::string& l) { log_.Add(l); });
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
    server_ = new gics::Server(gics::Options{false, 4}, [this](const std::string& l) { log_.Add(l); });
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
