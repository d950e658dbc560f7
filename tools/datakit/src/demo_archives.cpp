// The demo install's archives: packs the loose files the earlier steps wrote into "sounds.muf",
// "maps.muf", "data.muf" and an empty "patches.muf" in the install directory, as the real
// install has them, and leaves on disk the files the game reads from disk only.
#include <filesystem>
#include <string>
#include <vector>

#include "datakit/demo_steps.h"
#include "datakit/muf_writer.h"

namespace dk {

namespace {

namespace fs = std::filesystem;

enum class Home { Disk, Sounds, Maps, Data };

// Where a file goes, by its lower-case path relative to the install; the first match wins.
struct HomeRule {
    const char* prefix;
    const char* suffix;
    Home home;
};
constexpr HomeRule kHomeRules[] = {
    {"", ".muf", Home::Disk},
    {"registry.ini", "", Home::Disk},
    {"demo-input.txt", "", Home::Disk},          // the headless demo's input script
    {"def_pal.bin", "", Home::Disk},             // palettes are opened straight from disk
    {"deftxtr.bmp", "", Home::Disk},             // so is the fallback texture
    {"graphics/maps/", ".bin", Home::Disk},
    {"graphics/movies/", "", Home::Disk},        // movies play from the install source
    {"movies/", "", Home::Disk},
    {"music/", "", Home::Disk},                  // the CD drive's tracks
    {"data/if_op.dat", "", Home::Disk},          // settings, key map and saves are disk files
    {"data/if_mpop.dat", "", Home::Disk},
    {"data/ifkeymap.dat", "", Home::Disk},
    {"data/game.", "", Home::Disk},
    {"sounds/", "", Home::Sounds},
    {"speech/", "", Home::Sounds},
    {"graphics/maps/", "", Home::Maps},
    {"", "", Home::Data},
};

struct ArchiveOut {
    const char* fileName;
    Home home;
};
constexpr ArchiveOut kArchives[] = {
    {"sounds.muf", Home::Sounds},
    {"maps.muf", Home::Maps},
    {"data.muf", Home::Data},
    {"patches.muf", Home::Disk},  // an unpatched install: no entries
};

Home HomeOf(const std::string& relative) {
    std::string n = relative;
    for (char& c : n)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    for (const HomeRule& r : kHomeRules) {
        std::string p = r.prefix, s = r.suffix;
        if (n.size() >= p.size() + s.size() && n.compare(0, p.size(), p) == 0 &&
            n.compare(n.size() - s.size(), s.size(), s) == 0)
            return r.home;
    }
    return Home::Data;
}

}  // namespace

bool DemoArchives(const std::string& dir) {
    std::vector<MufFile> files;
    if (!CollectFiles(dir, &files)) return false;
    for (const ArchiveOut& a : kArchives) {
        std::vector<MufFile> members;
        if (a.home != Home::Disk)
            for (const MufFile& f : files)
                if (HomeOf(f.name) == a.home) members.push_back(f);
        if (!WriteMuf((fs::path(dir) / a.fileName).string(), members)) return false;
    }
    // The packed files now live only in their archives; folders they leave empty go too.
    std::error_code ec;
    for (const MufFile& f : files) {
        if (HomeOf(f.name) == Home::Disk) continue;
        if (!fs::remove(fs::path(dir) / f.name, ec)) return false;
        for (fs::path rel = fs::path(f.name).parent_path(); !rel.empty(); rel = rel.parent_path())
            if (fs::is_empty(fs::path(dir) / rel, ec)) fs::remove(fs::path(dir) / rel, ec);
    }
    return true;
}

}  // namespace dk
