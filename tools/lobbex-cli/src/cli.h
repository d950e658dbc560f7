// lobbex-cli's commands: the library's game API one command at a time, one result line each.
//   loadgamedef            -> "loadgamedef R game G"
//   join NAME              -> "join R addr A"
//   leave                  -> "leave R"
//   notify on|off          -> "notify R"; then "join A NAME" / "leave A NAME" as notices arrive
//   players [--buf N]      -> "players R A1 A2 ..."
//   name A [--buf N]       -> "name R NAME"
//   create-gulp            -> "create-gulp R"
//   open-gulp              -> "open-gulp H"
//   write [--to A,B] HEX   -> "write R"
//   read [--buf N]         -> "read R A HEX" ("read R" when nothing was read)
//   meter                  -> "meter in N out M"
//   close-gulp             -> "close-gulp R"
//   wait MS                -> "wait MS"
// Anything else gives "error LINE".
#pragma once
#include <functional>
#include <string>

namespace cli {

class Session {
public:
    explicit Session(std::function<void(const std::string&)> print);
    ~Session();
    void Run(const std::string& line);

private:
    std::function<void(const std::string&)> print_;
    int16_t game_ = 0;
    int16_t gulp_ = -1;
    bool notifying_ = false;
};

}  // namespace cli
