// fake-lobby: plays the service's lobby starting a game on one machine for several players.
//   fake-lobby --server HOST:PORT --players N [--type T --level L --fraglimit F --timelimit M]
//              INSTALL -- PROGRAM [ARGS...]
// For each player I (1..N) it makes INSTALL/pI, a view of the install (links to its entries) with
// its own copy of registry.ini; writes the player's game definition GAMEDEF there (HGAME 0, join
// word I, the name "PlayerI", the no-wait word 1, the game server HOST:PORT) and the service
// client's PlayerIndex I; then starts PROGRAM ARGS followed by the game's launch-line switches in
// INSTALL/pI, with PLATFORM_REGISTRY naming that registry file and PLATFORM_HOST_ADDRESS
// 127.0.0.1 (PLATFORM_BACKEND passes through, headless when unset).
// While the players run, each line a player prints comes out as "I: LINE" ("I err: LINE" for its
// error output), and a line "I TEXT" on standard input goes to player I ("* TEXT" to every
// player); the end of standard input closes theirs. When all have ended it prints
// "player I exit CODE" for each and exits with 0 when every code was 0, else 1.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/launch_line.h"
#include "gamedef_record.h"
#include "registry.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string host;
    uint16_t port = 0;
    int players = 0;
    int type = 0, level = 0, fragLimit = 10, timeLimit = 0, traps = 1;
    fs::path install;
    std::vector<std::string> program;  // PROGRAM and its ARGS
};

int Usage(const char* why) {
    std::fprintf(stderr,
                 "fake-lobby: %s\n"
                 "usage: fake-lobby --server HOST:PORT --players N [--type T --level L --fraglimit F "
                 "--timelimit M] INSTALL -- PROGRAM [ARGS...]\n",
                 why);
    return 2;
}

bool Number(const char* text, long low, long high, int* out) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (!*text || *end || n < low || n > high) return false;
    *out = int(n);
    return true;
}

// "" when the options are good, else what is wrong.
std::string Parse(int argc, char** argv, Options* o) {
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) != 0) {
            if (!o->install.empty()) return "one install folder only";
            o->install = a;
            continue;
        }
        if (i + 1 >= argc) return a + " needs a value";
        const char* v = argv[++i];
        int port = 0;
        if (a == "--server") {
            const std::string s = v;
            const size_t colon = s.rfind(':');
            if (colon == std::string::npos || !Number(s.c_str() + colon + 1, 1, 65535, &port))
                return "--server takes HOST:PORT";
            o->host = s.substr(0, colon);
            o->port = uint16_t(port);
        } else if (a == "--players") {
            if (!Number(v, 1, 100, &o->players)) return "--players takes 1 to 100";
        } else if (a == "--type") {
            if (!Number(v, -1000000, 1000000, &o->type)) return "bad --type";
        } else if (a == "--level") {
            if (!Number(v, -1000000, 1000000, &o->level)) return "bad --level";
        } else if (a == "--fraglimit") {
            if (!Number(v, -1000000, 1000000, &o->fragLimit)) return "bad --fraglimit";
        } else if (a == "--timelimit") {
            if (!Number(v, -1000000, 1000000, &o->timeLimit)) return "bad --timelimit";
        } else {
            return "unknown switch " + a;
        }
    }
    if (i >= argc - 1) return "no program after --";
    for (++i; i < argc; ++i) o->program.push_back(argv[i]);
    if (o->host.empty()) return "--server is required";
    if (o->players < 1) return "--players is required";
    if (o->install.empty()) return "no install folder";
    return "";
}

// The player's folder: every entry of the install linked, but its own registry file.
bool MakeView(const Options& o, int player, fs::path* view, std::string* error) {
    std::error_code ec;
    const fs::path install = fs::absolute(o.install, ec);
    *view = install / ("p" + std::to_string(player));
    fs::remove_all(*view, ec);
    if (!fs::create_directories(*view, ec)) {
        *error = "cannot make " + view->string();
        return false;
    }
    for (const fs::directory_entry& e : fs::directory_iterator(install, ec)) {
        const std::string name = e.path().filename().string();
        const bool playerFolder = name.size() > 1 && name[0] == 'p' &&
                                  name.find_first_not_of("0123456789", 1) == std::string::npos;
        if (name == "registry.ini" || playerFolder) continue;
        fs::create_symlink(e.path(), *view / name, ec);
        if (ec) {
            *error = "cannot link " + e.path().string();
            return false;
        }
    }
    if (fs::exists(install / "registry.ini")) fs::copy_file(install / "registry.ini", *view / "registry.ini", ec);
    if (ec) {
        *error = "cannot copy the registry file";
        return false;
    }
    return true;
}

bool WritePlayer(const Options& o, int player, const fs::path& registry, std::string* error) {
    GameDefOptions def;
    def.registry = registry.string();
    def.game = 0;
    def.joinWord = uint32_t(player);
    def.gicsHost = o.host;
    def.gicsPort = o.port;
    def.name = "Player" + std::to_string(player);
    def.noWait = 1;
    if (WriteGameDef(def, error) != 0) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\Brellapi", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        *error = "cannot open the service client's key";
        return false;
    }
    const DWORD index = DWORD(player);
    const LONG rc = RegSetValueExA(key, "PlayerIndex", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&index), 4);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) *error = "cannot write PlayerIndex";
    return rc == ERROR_SUCCESS;
}

// The launch line's switches as separate words.
std::vector<std::string> LaunchWords(const Options& o) {
    char line[256];
    std::snprintf(line, sizeof line, GameLaunchLine, o.type, o.players, o.level, o.fragLimit, o.timeLimit, o.traps);
    std::vector<std::string> words;
    for (char* w = std::strtok(line, " "); w; w = std::strtok(nullptr, " ")) words.push_back(w);
    return words;
}

struct Player {
    pid_t pid = -1;
    int in = -1;                   // its standard input
    int out = -1, err = -1;        // its standard output and error
    std::string outPart, errPart;  // the unfinished last lines
    int code = -1;
};

pid_t Start(const Options& o, const fs::path& view, Player* p) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return -1;
    // Our ends stay out of the later players, or a player's input would never end.
    for (int fd : {in[1], out[0], err[0]}) fcntl(fd, F_SETFD, FD_CLOEXEC);
    std::vector<std::string> args = o.program;
    for (const std::string& w : LaunchWords(o)) args.push_back(w);
    std::string program = o.program[0];
    if (program.find('/') != std::string::npos) program = fs::absolute(program).string();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        if (chdir(view.c_str()) != 0) _exit(126);
        setenv("PLATFORM_REGISTRY", (view / "registry.ini").c_str(), 1);
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        setenv("PLATFORM_BACKEND", getenv("PLATFORM_BACKEND") ? getenv("PLATFORM_BACKEND") : "headless", 1);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        std::fprintf(stderr, "fake-lobby: cannot run %s\n", program.c_str());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    p->pid = pid;
    p->in = in[1];
    p->out = out[0];
    p->err = err[0];
    return pid;
}

// Prints the finished lines of `part` with the player's prefix.
void Emit(std::string* part, const std::string& prefix, bool flushAll) {
    size_t nl;
    while ((nl = part->find('\n')) != std::string::npos) {
        std::printf("%s%s\n", prefix.c_str(), part->substr(0, nl).c_str());
        part->erase(0, nl + 1);
    }
    if (flushAll && !part->empty()) {
        std::printf("%s%s\n", prefix.c_str(), part->c_str());
        part->clear();
    }
    std::fflush(stdout);
}

void SendTo(Player& p, const std::string& text) {
    if (p.in < 0) return;
    const std::string line = text + "\n";
    if (write(p.in, line.data(), line.size()) != ssize_t(line.size())) {
        close(p.in);
        p.in = -1;
    }
}

// One line of our standard input: "I TEXT" or "* TEXT".
void Route(std::vector<Player>& players, const std::string& line) {
    const size_t space = line.find(' ');
    const std::string who = line.substr(0, space);
    const std::string text = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (who == "*") {
        for (Player& p : players) SendTo(p, text);
        return;
    }
    int index = 0;
    if (!Number(who.c_str(), 1, long(players.size()), &index)) {
        std::fprintf(stderr, "fake-lobby: no player %s\n", who.c_str());
        return;
    }
    SendTo(players[size_t(index - 1)], text);
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    Options o;
    const std::string bad = Parse(argc, argv, &o);
    if (!bad.empty()) return Usage(bad.c_str());
    if (!fs::is_directory(o.install)) return Usage("the install folder does not exist");

    std::vector<Player> players(size_t(o.players));
    for (int i = 1; i <= o.players; ++i) {
        fs::path view;
        std::string error;
        if (!MakeView(o, i, &view, &error) || !WritePlayer(o, i, view / "registry.ini", &error)) {
            std::fprintf(stderr, "fake-lobby: player %d: %s\n", i, error.c_str());
            return 1;
        }
        if (Start(o, view, &players[size_t(i - 1)]) < 0) {
            std::fprintf(stderr, "fake-lobby: player %d cannot be started\n", i);
            return 1;
        }
    }

    bool inputOpen = true;
    std::string input;
    for (;;) {
        std::vector<pollfd> polled;
        std::vector<std::pair<size_t, bool>> source;  // player, error output
        for (size_t i = 0; i < players.size(); ++i) {
            if (players[i].out >= 0) {
                polled.push_back({players[i].out, POLLIN, 0});
                source.push_back({i, false});
            }
            if (players[i].err >= 0) {
                polled.push_back({players[i].err, POLLIN, 0});
                source.push_back({i, true});
            }
        }
        if (polled.empty()) break;
        if (inputOpen) polled.push_back({0, POLLIN, 0});
        if (poll(polled.data(), polled.size(), 100) <= 0) continue;
        for (size_t k = 0; k < polled.size(); ++k) {
            if (!(polled[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char chunk[4096];
            const ssize_t n = read(polled[k].fd, chunk, sizeof chunk);
            if (k == source.size()) {  // our standard input
                if (n <= 0) {
                    inputOpen = false;
                    for (Player& p : players)
                        if (p.in >= 0) {
                            close(p.in);
                            p.in = -1;
                        }
                    continue;
                }
                input.append(chunk, size_t(n));
                size_t nl;
                while ((nl = input.find('\n')) != std::string::npos) {
                    Route(players, input.substr(0, nl));
                    input.erase(0, nl + 1);
                }
                continue;
            }
            Player& p = players[source[k].first];
            const bool isErr = source[k].second;
            std::string& part = isErr ? p.errPart : p.outPart;
            const std::string prefix = std::to_string(source[k].first + 1) + (isErr ? " err: " : ": ");
            if (n <= 0) {
                Emit(&part, prefix, true);
                close(polled[k].fd);
                (isErr ? p.err : p.out) = -1;
                continue;
            }
            part.append(chunk, size_t(n));
            Emit(&part, prefix, false);
        }
    }
    int worst = 0;
    for (size_t i = 0; i < players.size(); ++i) {
        Player& p = players[i];
        if (p.in >= 0) close(p.in);
        int status = 0;
        waitpid(p.pid, &status, 0);
        p.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        std::printf("player %zu exit %d\n", i + 1, p.code);
        if (p.code != 0) worst = 1;
    }
    std::fflush(stdout);
    return worst;
}
