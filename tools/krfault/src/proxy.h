// The socket side of the fault-injection proxy: a UDP proxy (one upstream socket per client
// address) and a TCP proxy (one upstream connection per accepted client), both listening on
// 127.0.0.1 with a port the system picks, which they print on standard output as
// "krfault: listening udp|tcp 127.0.0.1:PORT". Each unit of traffic goes through the fault engine;
// what it does is logged on standard error. Commands on standard input, one a line:
//   stall c2s|s2c|both    stop reading that direction
//   resume c2s|s2c|both   read it again
//   reset                 reset every TCP connection
//   quit                  end
// SIGINT and SIGTERM end the proxy too. The end of standard input (a file, a closed pipe,
// /dev/null as `krfault ... &` in a script has) or one that was never open stops nothing.
#pragma once
#include <netinet/in.h>

#include <string>

#include "fault_rules.h"

namespace kf {

// The proxy's switches from the command lines and the rules.
struct Control {
    bool stalled[2] = {false, false};
    bool resetAll = false;
    bool quit = false;
    bool inputOpen = true; // standard input is still read for commands; its end leaves the proxy running
};

// Sets up the stop signals and standard input (see above) before any socket is opened.
void SetUpInput(Control* control);

// Applies one command line; false for a line that is not a command.
bool ApplyCommand(const std::string& line, Control* control);
// Reads what standard input holds (after poll said it is readable) and applies its complete
// lines; its end stops reading.
void ReadCommands(int fd, std::string* partial, Control* control);

// `start` is the control state after SetUpInput.
int RunUdpProxy(const sockaddr_in& target, FaultEngine& engine, const Control& start);
int RunTcpProxy(const sockaddr_in& target, FaultEngine& engine, const Control& start);

}  // namespace kf
