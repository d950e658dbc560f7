// The game in a window for the window tests (see game_run.h).
#include "game_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "x_display.h"

extern char** environ;

namespace wt {

namespace {

using Clock = std::chrono::steady_clock;

// The current environment with `changes` applied ("" removes a variable).
std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!changes.count(name)) out.push_back(entry);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty()) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Runs a program to its end (at most `seconds`); its exit code, or -1.
int RunToEnd(const std::string& program, std::vector<std::string> argv, const std::map<std::string, std::string>& env,
             double seconds) {
    std::vector<std::string> envStrings = Environment(env);
    std::vector<char*> args = Pointers(argv), envp = Pointers(envStrings);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

namespace {

// Zeroes the samples of a WAVE file's data chunk; false when the file is not a WAVE file.
bool Silence(const std::string& path) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    char riff[12];
    if (!f.read(riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;
    char chunk[8];
    while (f.read(chunk, 8)) {
        const uint32_t size = uint32_t(uint8_t(chunk[4])) | uint32_t(uint8_t(chunk[5])) << 8 |
                              uint32_t(uint8_t(chunk[6])) << 16 | uint32_t(uint8_t(chunk[7])) << 24;
        if (std::memcmp(chunk, "data", 4) == 0) {
            const std::streampos at = f.tellg();
            f.seekp(at);
            const std::string zeros(size, '\0');
            return bool(f.write(zeros.data(), std::streamsize(zeros.size())));
        }
        f.seekg(std::streamoff(size + (size & 1)), std::ios::cur);
    }
    return false;
}

}  // namespace

bool EnsureInstall(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path stamp = fs::path(dir) / "window-tests.stamp";
    if (fs::exists(stamp, ec) && fs::last_write_time(stamp, ec) >= fs::last_write_time(GHOULDEN_DATAKIT, ec))
        return true;
    fs::remove_all(dir, ec);
    if (RunToEnd(GHOULDEN_DATAKIT, {GHOULDEN_DATAKIT, dir}, {}, 300) != 0) return false;
    // The menu's track (the CD's track 6) plays as silence: the sound test hears only the click.
    if (!Silence((fs::path(dir) / "music" / "track06.wav").string())) return false;
    return bool(std::ofstream(stamp.string()) << "written by the window tests\n");
}

GameRun::GameRun(const std::string& install, const std::string& display,
                 const std::map<std::string, std::string>& env, const std::string& errors)
    : errors_(errors) {
    std::map<std::string, std::string> all = {
        {"DISPLAY", display},
        {"WAYLAND_DISPLAY", ""},
        {"PLATFORM_BACKEND", "sdl"},
        {"PLATFORM_INPUT", ""},
        {"PLATFORM_FRAMES", ""},
        {"PLATFORM_SCREENSHOT", ""},
        {"PLATFORM_AUDIO_OUT", ""},
        {"SDL_VIDEODRIVER", "x11"},
        {"SDL_AUDIODRIVER", "dummy"},
    };
    for (const auto& [name, value] : env) all[name] = value;
    std::vector<std::string> envStrings = Environment(all);
    std::vector<std::string> argv = {GHOULDEN_PROGRAM};
    std::vector<char*> args = Pointers(argv), envp = Pointers(envStrings);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The game is started in its install, as a player starts it.
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(install);
    if (posix_spawn(&pid_, GHOULDEN_PROGRAM, &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    std::filesystem::current_path(cwd);
    posix_spawn_file_actions_destroy(&actions);
}

GameRun::~GameRun() {
    if (pid_ > 0 && status_ == -2) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int GameRun::Wait(double seconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (status_ == -2 && pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (Clock::now() > end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

bool GameRun::Running() { return Wait(0) == -2; }

std::string GameRun::Errors() const {
    std::ifstream in(errors_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Xdo(const std::string& display, const std::vector<std::string>& arguments) {
    const std::string xdotool = FindProgram("xdotool");
    if (xdotool.empty()) return false;
    std::vector<std::string> argv = {xdotool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunToEnd(xdotool, argv, {{"DISPLAY", display}}, 30) == 0;
}

bool MoveBy(const std::string& display, int dx, int dy) {
    return Xdo(display, {"mousemove_relative", "--", std::to_string(dx), std::to_string(dy)});
}

bool HeldClick(const std::string& display, const std::function<bool()>& seen, double seconds) {
    if (!Xdo(display, {"mousedown", "1"})) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (seen && !seen() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // After a click that ended the game the display may be all that is left to release on.
    return Xdo(display, {"mouseup", "1"});
}

bool PressKey(const std::string& display, const std::string& key) {
    return Xdo(display, {"key", "--delay", "100", key});
}

}  // namespace wt
