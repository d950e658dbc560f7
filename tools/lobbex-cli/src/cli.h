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
//   open-speech-gulp       -> "open-speech-gulp H"; then "speech from A" as speech arrives
//   say STYLE FILE.wav     -> "say R" (one phrase of the file's 16-bit mono 8000 Hz samples)
//   listen OUT.wav [--wait MS] -> "listen BYTES" (the next whole phrase, played), or "listen R"
//   select-style N         -> "select-style R" (the compression style)
//   mute NAME, unmute NAME -> "mute R", "unmute R" (the mute list, bound to this game)
//   names                  -> "names N ADDR:NAME:FLAGS ..." (this game's name cache)
//   cached-name A          -> "cached-name R NAME muted M"
//   enum-servers [--buf N] -> "enum-servers R N A1 A2 ..."
//   query-server A, find-server NAME -> "query-server R addr A name NAME terminated T number N
//                             length L pattern P" (the flat record; see ServerLine in cli.cpp)
//   ping-game, ping-gulp, ping-session 0, ping-addr tcp/HOST/PORT -> "ping-X R MS"
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
    bool cache_ = false;
    uint16_t phrase_ = 0;
};

}  // namespace cli
