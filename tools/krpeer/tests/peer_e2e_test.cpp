// Two krpeer processes on loopback, directly and through the fault proxy krfault: requests echoed
// exactly once over UDP and TCP, through 20% loss and 20% duplication both ways; a server that
// answers slowly, never or without a response; the session-closed reasons a peer sees (its user
// closed, heartbeats stopped, the connection was reset); a heartbeat change that the peer applies;
// and a data key change whose first acknowledgement is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peer_child.h"

namespace {

using kpt::Child;
using kpt::Tool;

std::string Proto(bool udp) { return udp ? "udp" : "tcp"; }
std::string To(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

// Options on both ends for a lossy path: 10 connect tries 200 ms apart, and 30 request tries 50
// ms apart (short real tries, so that thousands of requests take seconds). With 20% loss and 20%
// duplication both ways a try fails about one time in three, so the tries themselves almost never
// run out; what a request must survive is a loaded machine that stalls the processes, and the
// 1.5 s of all its tries together covers that (300 ms did not, about once in twenty runs).
std::vector<std::string> Tries() {
    return {"--opt", "0x10004=2000", "--opt", "0x10005=10", "--opt", "0x10006=1500", "--opt", "0x10007=30"};
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class PeerEndToEnd : public ::testing::TestWithParam<bool> {
protected:
    bool Udp() const { return GetParam(); }
};

TEST_P(PeerEndToEnd, RequestsAreEchoedExactlyOnce) {
    Child server(Tool("krpeer"), {"serve", "--proto", Proto(Udp()), "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0) << server.Output();
    // Asynchronous ones, a window of them in flight, then synchronous ones longer than a datagram.
    Child async(Tool("krpeer"), {"call", "--proto", Proto(Udp()), "--to", To(port), "--count", "500", "--size", "200"});
    EXPECT_EQ(async.Wait(), 0) << async.Output();
    EXPECT_NE(async.Output().find("completed 500 of 500"), std::string::npos) << async.Output();
    Child sync(Tool("krpeer"),
               {"call", "--proto", Proto(Udp()), "--to", To(port), "--count", "50", "--size", "1500", "--sync"});
    EXPECT_EQ(sync.Wait(), 0) << sync.Output();
    EXPECT_EQ(server.Line("open"), "open");
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
}

TEST_P(PeerEndToEnd, ClosedByThePeersUser) {
    Child server(Tool("krpeer"), {"serve", "--proto", Proto(Udp()), "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child client(Tool("krpeer"), {"hold", "--proto", Proto(Udp()), "--to", To(port)});
    ASSERT_EQ(client.Line("open"), "open") << client.Output();
    ASSERT_EQ(server.Line("open"), "open");
    client.Send("close");
    EXPECT_EQ(client.Line("closed"), "closed by user");
    EXPECT_EQ(client.Wait(), 0);
    EXPECT_EQ(server.Line("closed"), "closed reason 0") << server.Output();
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
}

TEST_P(PeerEndToEnd, SilentPeersTimeOutOnBothEnds) {
    const std::vector<std::string> heartbeats = {"--opt", "0x10000=100", "--opt", "0x10001=2"};
    Child server(Tool("krpeer"), Join({"serve", "--proto", Proto(Udp()), "--port", "0"}, heartbeats));
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child proxy(Tool("krfault"), {Proto(Udp()), To(port)});
    const uint16_t proxied = proxy.Port("krfault: listening");
    ASSERT_NE(proxied, 0);
    Child client(Tool("krpeer"), Join({"hold", "--proto", Proto(Udp()), "--to", To(proxied)}, heartbeats));
    ASSERT_EQ(client.Line("open"), "open") << client.Output();
    ASSERT_EQ(server.Line("open"), "open");
    proxy.Send("stall both");
    EXPECT_EQ(client.Line("closed"), "closed reason 2") << client.Output();
    EXPECT_EQ(server.Line("closed"), "closed reason 2") << server.Output();
    EXPECT_EQ(client.Wait(), 0);
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

TEST_P(PeerEndToEnd, AHeartbeatChangeReachesThePeer) {
    // Both ends start with the default 10 s heartbeats; the client then announces 100 ms. The
    // server's session, counting 3 silent intervals of the peer's, gives up after 300 ms of
    // silence instead of 30 s.
    Child server(Tool("krpeer"), {"serve", "--proto", Proto(Udp()), "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child proxy(Tool("krfault"), {Proto(Udp()), To(port)});
    const uint16_t proxied = proxy.Port("krfault: listening");
    ASSERT_NE(proxied, 0);
    Child client(Tool("krpeer"), {"hold", "--proto", Proto(Udp()), "--to", To(proxied)});
    ASSERT_EQ(client.Line("open"), "open") << client.Output();
    ASSERT_EQ(server.Line("open"), "open");
    client.Send("hb 100 2");
    ASSERT_EQ(client.Line("hb"), "hb ok") << client.Output();
    proxy.Send("stall both");
    EXPECT_EQ(server.Line("closed", 10), "closed reason 2") << server.Output();
    client.Send("close");
    EXPECT_EQ(client.Wait(), 0);
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

TEST_P(PeerEndToEnd, AServerThatMisbehaves) {
    // The request timeout is short where it must run out and long where the answer must come in
    // time, so that a loaded machine cannot make a 50 ms answer miss it.
    struct Case {
        const char* how;
        const char* requestTimeout;
        int exitCode;
        const char* report;
    } const cases[] = {
        {"--slow", "0x10006=6000", 0, "completed 4 of 4"},      // answers that take 50 ms still come
        {"--no-complete", "0x10006=300", 1, "mismatch 0 status 13"}, // never answered: the request times out
        {"--no-handler", "0x10006=300", 1, "mismatch 0 status 13"},  // ended without a response: the same
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        std::vector<std::string> serve = {"serve", "--proto", Proto(Udp()), "--port", "0", c.how};
        if (std::string(c.how) == "--slow") serve.push_back("50");
        Child server(Tool("krpeer"), serve);
        const uint16_t port = server.Port("port ");
        ASSERT_NE(port, 0);
        Child call(Tool("krpeer"), {"call", "--proto", Proto(Udp()), "--to", To(port), "--count", "4", "--size", "16",
                                    "--sync", "--opt", c.requestTimeout, "--opt", "0x10007=3"});
        EXPECT_EQ(call.Wait(), c.exitCode) << call.Output();
        EXPECT_NE(call.Output().find(c.report), std::string::npos) << call.Output();
        server.Send("quit");
        EXPECT_EQ(server.Wait(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, PeerEndToEnd, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Udp" : "Tcp"; });

TEST(PeerThroughFaults, ResetConnectionClosesTheSessionsOfItsMux) {
    Child server(Tool("krpeer"), {"serve", "--proto", "tcp", "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child proxy(Tool("krfault"), {"tcp", To(port)});
    const uint16_t proxied = proxy.Port("krfault: listening");
    Child client(Tool("krpeer"), {"hold", "--proto", "tcp", "--to", To(proxied)});
    ASSERT_EQ(client.Line("open"), "open") << client.Output();
    ASSERT_EQ(server.Line("open"), "open");
    proxy.Send("reset");
    EXPECT_EQ(client.Line("closed"), "closed reason 1") << client.Output();
    EXPECT_EQ(server.Line("closed"), "closed reason 1") << server.Output();
    EXPECT_EQ(client.Wait(), 0);
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

TEST(PeerThroughFaults, LossAndDuplicationBothWays) {
    Child server(Tool("krpeer"), Join({"serve", "--proto", "udp", "--port", "0"}, Tries()));
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child proxy(Tool("krfault"), {"udp", To(port), "seed=11", "drop%20", "dup%20"});
    const uint16_t proxied = proxy.Port("krfault: listening");
    ASSERT_NE(proxied, 0);
    Child async(Tool("krpeer"),
                Join({"call", "--proto", "udp", "--to", To(proxied), "--count", "2000", "--size", "64"}, Tries()));
    EXPECT_EQ(async.Wait(), 0) << async.Output();
    EXPECT_NE(async.Output().find("completed 2000 of 2000"), std::string::npos) << async.Output();
    Child sync(Tool("krpeer"),
               Join({"call", "--proto", "udp", "--to", To(proxied), "--count", "200", "--size", "64", "--sync"}, Tries()));
    EXPECT_EQ(sync.Wait(), 0) << sync.Output();
    EXPECT_NE(sync.Output().find("completed 200 of 200"), std::string::npos) << sync.Output();
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

// Twenty thousand requests through 10% loss, 10% duplication and 10% reordering both ways, each
// completed exactly once. Both ends take a window of 64 (the caller keeps that many ahead of its
// oldest unanswered request) and retry every 20 ms for 4 s in all, so that the run takes seconds;
// ctest stops it after five minutes.
TEST(PeerThroughFaults, TwentyThousandRequestsThroughLossDuplicationAndReordering) {
    const std::vector<std::string> options = {"--opt", "0x10004=2000", "--opt", "0x10005=10",  "--opt", "0x10006=4000",
                                              "--opt", "0x10007=200",  "--opt", "0x10002=64"};
    Child server(Tool("krpeer"), Join({"serve", "--proto", "udp", "--port", "0"}, options));
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    Child proxy(Tool("krfault"), {"udp", To(port), "seed=7", "drop%10", "dup%10", "reorder%10"});
    const uint16_t proxied = proxy.Port("krfault: listening");
    ASSERT_NE(proxied, 0);
    Child call(Tool("krpeer"),
               Join({"call", "--proto", "udp", "--to", To(proxied), "--count", "20000", "--size", "64"}, options));
    EXPECT_EQ(call.Wait(240), 0) << call.Output();
    const std::string out = call.Output();
    EXPECT_NE(out.find("completed 20000 of 20000"), std::string::npos) << out;
    EXPECT_EQ(out.find("twice"), std::string::npos) << out;
    EXPECT_EQ(out.find("mismatch"), std::string::npos) << out;
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

TEST(PeerThroughFaults, KeyChangeWithItsFirstAckLost) {
    Child server(Tool("krpeer"), {"serve", "--proto", "udp", "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0);
    // From the server: the connect-ack, then the first ack of the key change.
    Child proxy(Tool("krfault"), {"udp", To(port), "drop:s2c#2"});
    const uint16_t proxied = proxy.Port("krfault: listening");
    Child client(Tool("krpeer"), {"key", "--proto", "udp", "--to", To(proxied), "--type", "2"});
    EXPECT_EQ(client.Line("key"), "key ok") << client.Output();
    EXPECT_EQ(client.Line("key"), "key same") << client.Output();
    EXPECT_EQ(client.Wait(), 0);
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
    proxy.Send("quit");
    proxy.Wait();
}

}  // namespace
