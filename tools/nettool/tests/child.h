// Test helper: the gics-testserver of one test, over the shared child-process helper.
#pragma once
#include <string>
#include <vector>

#include "child_process.h"

namespace nettest {

using tooltest::After;
using tooltest::Child;

// A test server started for one test: its port, and its commands on standard input.
class TestServer {
public:
    TestServer(const std::string& program, bool addrFromJoinWord)
        : child_(program, addrFromJoinWord ? std::vector<std::string>{"--addr-from-join-word"}
                                           : std::vector<std::string>{}) {
        port_ = After(child_.Line("port"), "port");
        EXPECT_FALSE(port_.empty());
        child_.CollectOutput();
    }
    ~TestServer() { child_.Say("quit"); }
    const std::string& port() const { return port_; }
    void Command(const std::string& line) { child_.Say(line); }
    // The server's lines so far (one per request).
    std::string Log() { return child_.Collected(); }

private:
    Child child_;
    std::string port_;
};

}  // namespace nettest
