// The demo install's settings and its input script: the options file (CD music off, so that the
// demo sounds the same without a CD drive), the network options file, and "demo-input.txt", the
// headless demo's clicks from the main menu's single-player button to the level map's start.
#include <filesystem>
#include <fstream>
#include <string>

#include "datakit/demo_steps.h"
#include "datakit/settings.h"

namespace dk {

namespace {
bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}
}  // namespace

bool DemoSettings(const std::string& dir) {
    const std::filesystem::path root(dir);
    OptionsFile options;
    options.cdMusic = 0;
    NetOptionsFile net;
    // Mouse moves are relative to the pointer's start in the middle of the screen: (100, 310) is
    // the single-player button, (590, 440) the level map's start button.
    const std::string input =
        "300 mouse move -220 70\n302 mouse down 0\n303 mouse up 0\n"
        "310 mouse move 490 130\n312 mouse down 0\n313 mouse up 0\n";
    return WriteText(root / "data" / "if_op.dat", OptionsFileText(options)) &&
           WriteText(root / "data" / "if_mpop.dat", NetOptionsFileText(net)) &&
           WriteText(root / "demo-input.txt", input);
}

}  // namespace dk
