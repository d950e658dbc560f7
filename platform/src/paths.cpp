// Game paths on a case-sensitive file system, and the per-process temporary directory.
// ResolvePath turns "graphics\Maps\Town.ZLM" into the real "graphics/maps/town.zlm": each
// component is matched without regard to case against the directory listing; from the first
// component that does not exist on, the rest is kept as spelled (so new files get the name the
// game gave them, inside the directory that really exists).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace plat {
namespace {
bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of `dir` whose name equals `name` without regard to case; the exact spelling wins,
// otherwise the first match in byte order, so the answer does not depend on listing order.
bool FindNoCase(const std::string& dir, const std::string& name, std::string* found) {
    const std::string exact = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (Exists(exact)) {
        *found = name;
        return true;
    }
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return false;
    bool any = false;
    while (dirent* e = readdir(d)) {
        std::string entry = e->d_name;
        if (entry == "." || entry == "..")
            continue;
        if (detail::EqualNoCase(entry, name) && (!any || entry < *found)) {
            *found = entry;
            any = true;
        }
    }
    closedir(d);
    return any;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir == "/")
        return "/" + name;
    return dir + "/" + name;
}
}  // namespace

std::string ResolvePath(const std::string& gamePath) {
    std::string path = gamePath;
    for (char& ch : path)
        if (ch == '\\')
            ch = '/';
    const bool absolute = !path.empty() && path[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    std::string result = absolute ? "/" : "";
    bool resolving = true;
    for (const std::string& part : parts) {
        if (resolving && part != "." && part != "..") {
            std::string found;
            if (IsDir(result.empty() ? "." : result) && FindNoCase(result, part, &found)) {
                result = Join(result, found);
                continue;
            }
            resolving = false; // the rest does not exist: keep it as spelled
        }
        result = Join(result, part);
    }
    return result;
}

// ---- Temporary directory ----
namespace {
struct TempState {
    std::mutex lock;
    std::string dir;
    pid_t owner = 0;
};
TempState& T() {
    static TempState* t = new TempState; // never destroyed: removed by the exit handler
    return *t;
}
}  // namespace

const std::string& TempDir() {
    TempState& t = T();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.dir.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/ghoulden-" +
                              std::to_string(getpid()) + "-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) {
            t.dir = buf.data();
            t.owner = getpid();
        } else {
            std::perror("platform: cannot create a temporary directory");
            t.dir = base && *base ? base : "/tmp"; // still somewhere writable to fall back on
            t.owner = 0;                           // and never removed
        }
    }
    return t.dir;
}

void RemoveTempDir() {
    TempState& t = T();
    std::lock_guard<std::mutex> guard(t.lock);
    // Only the process that made it removes it: a forked child shares its parent's directory
    // and must not pull it from under the parent.
    if (t.dir.empty() || t.owner != getpid())
        return;
    std::error_code ec;
    std::filesystem::remove_all(t.dir, ec);
    t.dir.clear();
}

namespace detail {
void RemoveTempDirAtExit() {
    RemoveTempDir();
}
}  // namespace detail

}  // namespace plat
