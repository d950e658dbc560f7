// The game in a window for the window tests: a fresh demo install written by the data kit, the
// game started in it with the sdl backend on a given X display, X input sent with xdotool, and
// the program's end waited for with a bound.
#pragma once
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wt {

// The demo install that the window tests share, in `dir`: written by the data kit when it is
// missing or older than the kit, with the main menu's music track silenced so that the menu is
// quiet until something is clicked. False when it could not be written.
bool EnsureInstall(const std::string& dir);

class GameRun {
public:
    // Starts the game in `install` with DISPLAY, PLATFORM_BACKEND=sdl and `env` on top (a value
    // of "" unsets the variable; PLATFORM_REGISTRY must be among them). Standard error goes to
    // `errors`.
    GameRun(const std::string& install, const std::string& display, const std::map<std::string, std::string>& env,
            const std::string& errors);
    ~GameRun();  // a game still running is killed
    GameRun(const GameRun&) = delete;
    GameRun& operator=(const GameRun&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit code once the program ends within `seconds`; -1 after a signal, -2 when it still
    // runs (it is then left running).
    int Wait(double seconds);
    // True while the program has not ended.
    bool Running();
    // What the program wrote on standard error.
    std::string Errors() const;

private:
    pid_t pid_ = -1;
    int status_ = -2;
    std::string errors_;
};

// Runs xdotool on `display` with `arguments`; true when it succeeded.
bool Xdo(const std::string& display, const std::vector<std::string>& arguments);
// Pointer moves, clicks and keys as a player makes them: a relative move, a held left click and a
// key press. The game reads the mouse once a frame and a release cancels a press it has not seen
// yet, so the button is held at least 150 ms and then until `seen` says the game reacted (at most
// `seconds`).
bool MoveBy(const std::string& display, int dx, int dy);
bool HeldClick(const std::string& display, const std::function<bool()>& seen = {}, double seconds = 0);
bool PressKey(const std::string& display, const std::string& key);

}  // namespace wt
