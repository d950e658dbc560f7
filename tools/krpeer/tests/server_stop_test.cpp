// The long-running tools in a script: `krpeer serve` and `krfault` keep serving when their standard
// input ends at once (/dev/null, as a script's background job has), was never open, or is a pipe
// whose writer closed it; they stop on "quit", SIGINT or SIGTERM with exit code 0 and
// print their summary line then.
#include <gtest/gtest.h>

#include <signal.h>

#include <iterator>
#include <string>

#include "peer_child.h"

namespace {

using kpt::Child;
using kpt::Input;
using kpt::Tool;

std::string To(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

struct StopCase {
    const char* what;
    Input input;
    bool closeInput;  // the test closes its end of the pipe before the call
    int signal;       // 0: "quit" on standard input
};
constexpr StopCase kCases[] = {
    {"input closed, SIGTERM", Input::kClosed, false, SIGTERM},
    {"input /dev/null, SIGINT", Input::kDevNull, false, SIGINT},
    {"input pipe ended, SIGTERM", Input::kPipe, true, SIGTERM},
    {"input pipe, quit", Input::kPipe, false, 0},
};

// Requests to `port`; true when all 20 came back intact.
bool CallSucceeds(uint16_t port, std::string* output) {
    Child call(Tool("krpeer"), {"call", "--proto", "udp", "--to", To(port), "--count", "20", "--size", "64"});
    const int code = call.Wait();
    *output = call.Output();
    return code == 0 && output->find("completed 20 of 20") != std::string::npos;
}

TEST(ServerStop, ServeRunsOnWithoutInputAndStopsOnQuitOrSignal) {
    for (const StopCase& c : kCases) {
        SCOPED_TRACE(c.what);
        Child server(Tool("krpeer"), {"serve", "--proto", "udp", "--port", "0"}, c.input);
        const uint16_t port = server.Port("port ");
        ASSERT_NE(port, 0) << server.Output();
        if (c.closeInput) server.CloseInput();
        std::string output;
        // Two calls one after the other: the server outlives the end of its input.
        EXPECT_TRUE(CallSucceeds(port, &output)) << output;
        EXPECT_TRUE(CallSucceeds(port, &output)) << output;
        if (c.signal)
            server.Signal(c.signal);
        else
            server.Send("quit");
        EXPECT_EQ(server.Line("served"), "served 40") << server.Output();
        EXPECT_EQ(server.Wait(), 0) << server.Output();
    }
}

TEST(ServerStop, ProxyRunsOnWithoutInputAndStopsOnQuitOrSignal) {
    const StopCase (&cases)[std::size(kCases)] = kCases;
    Child server(Tool("krpeer"), {"serve", "--proto", "udp", "--port", "0"});
    const uint16_t port = server.Port("port ");
    ASSERT_NE(port, 0) << server.Output();
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        Child proxy(Tool("krfault"), {"udp", To(port)}, c.input, true);
        const uint16_t proxied = proxy.Port("krfault: listening");
        ASSERT_NE(proxied, 0) << proxy.Output();
        std::string output;
        if (c.closeInput) proxy.CloseInput();
        EXPECT_TRUE(CallSucceeds(proxied, &output)) << output;
        EXPECT_TRUE(CallSucceeds(proxied, &output)) << output;
        if (c.signal)
            proxy.Signal(c.signal);
        else
            proxy.Send("quit");
        const std::string done = proxy.Line("krfault: done");
        EXPECT_NE(done.find("c2s "), std::string::npos) << proxy.Output();
        EXPECT_EQ(done.find("c2s 0 "), std::string::npos) << "traffic went through: " << done;
        EXPECT_EQ(proxy.Wait(), 0) << proxy.Output();
    }
    server.Send("quit");
    EXPECT_EQ(server.Wait(), 0);
}

}  // namespace
