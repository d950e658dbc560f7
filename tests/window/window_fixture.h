// What every window test shares: its own Xvfb display, the demo install (written once, see
// EnsureInstall) with a registry of the test's own, the game started in a window on that display, waits for what the window shows, and the colours of the demo art's
// outlines (the screens' hit regions drawn by the data kit).
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "game_run.h"
#include "png_read.h"
#include "x_display.h"

namespace wt {

constexpr int kWidth = 640, kHeight = 480;
// The outline colours of the demo art: main menu buttons, the quit dialog's yes and no.
constexpr uint32_t kButtonOutline = 0xF0C828, kYesOutline = 0x28E650, kNoOutline = 0xFA6EC8;
// Generous bounds: the tests run beside a loaded machine.
constexpr double kStartSeconds = 90, kStepSeconds = 30;

// Colours equal within what a 16-bit display keeps of them.
inline bool Near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -12 || d > 12) return false;
    }
    return true;
}

// A picture of the whole game screen: from the window, or read back from a screenshot.
struct Screen {
    std::vector<uint32_t> pixels;
    bool Valid() const { return pixels.size() == size_t(kWidth) * kHeight; }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * kWidth + size_t(x)]; }
    int Count(uint32_t colour) const {
        int n = 0;
        for (uint32_t p : pixels) n += Near(p, colour);
        return n;
    }
};

inline bool WritePng(const std::string& path, const Screen& s) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    for (uint32_t p : s.pixels)
        for (int shift : {16, 8, 0}) rgb.push_back(uint8_t(p >> shift));
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

inline Screen FromPng(const std::string& path) {
    pngtest::Picture p = pngtest::ReadPng(path);
    Screen s;
    if (p.width == kWidth && p.height == kHeight) s.pixels = p.pixels;
    return s;
}

// The main menu: the outline of each of its four buttons along the button's top and bottom edges.
inline bool MenuShown(const Screen& s) {
    if (!s.Valid()) return false;
    for (int i = 0; i < 4; ++i)
        for (int x : {40, 300, 560})
            if (!Near(s.At(x, 290 + 50 * i), kButtonOutline) || !Near(s.At(x, 329 + 50 * i), kButtonOutline))
                return false;
    return true;
}
// The quit dialog: its yes and no outlines are on the screen.
inline bool DialogShown(const Screen& s) {
    return s.Valid() && s.Count(kYesOutline) > 40 && s.Count(kNoOutline) > 40;
}
inline bool MenuWithoutDialog(const Screen& s) { return MenuShown(s) && !DialogShown(s); }
// Nothing to see: the click ends the game.
inline bool Ended(const Screen&) { return false; }

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("Xvfb").empty())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb; `make deps` installs it as root): "
                            "the window tests need a virtual X display";
        if (FindProgram("xdotool").empty())
            GTEST_SKIP() << "xdotool is not installed (Debian package xdotool; `make deps` installs it as root): "
                            "the window tests send X input with it";
        install_ = std::string(WINDOW_WORK_DIR) + "/install";
        ASSERT_TRUE(EnsureInstall(install_)) << "the data kit could not write " << install_;
        // Each test has its own folder for its registry, screenshots and sound files.
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::string(WINDOW_WORK_DIR) + "/" + info->test_suite_name() + "." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        std::filesystem::create_directories(dir_, ec);
        std::filesystem::copy_file(install_ + "/registry.ini", Path("registry.ini"), ec);
        ASSERT_FALSE(ec) << "cannot copy the install's registry into " << dir_;
        display_ = std::make_unique<XDisplay>(kWidth, kHeight);
        ASSERT_TRUE(display_->Started()) << display_->Error();
    }
    void TearDown() override {
        game_.reset();
        display_.reset();
    }

    // The game in the install with this test's registry; `env` on top.
    std::unique_ptr<GameRun> Run(std::map<std::string, std::string> env, const std::string& errors) {
        env.emplace("PLATFORM_REGISTRY", Path("registry.ini"));
        return std::make_unique<GameRun>(install_, display_->Name(), env, Path(errors));
    }
    // Starts the game in a window and waits for it.
    void Start(const std::map<std::string, std::string>& env = {}) {
        game_ = Run(env, "stderr.txt");
        ASSERT_TRUE(game_->Started());
        window_ = display_->WaitForWindow("Ghoulden", kStartSeconds);
        ASSERT_NE(window_, 0u) << "no window appeared\n" << game_->Errors();
    }
    // Waits for the main menu. A player skips the opening movie with a key: the space bar once a
    // second until the menu shows (the menu does nothing with it).
    bool WaitForMenu() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(long(kStartSeconds * 1000));
        while (std::chrono::steady_clock::now() < end) {
            if (WaitFor(MenuShown, 1.0, false)) return true;
            if (!game_->Running() || !PressKey(display_->Name(), "space")) break;
        }
        return WaitFor(MenuShown, 0);
    }

    Screen Now() { return Screen{display_->Contents(window_, kWidth, kHeight)}; }
    // Waits until the window shows what `shown` looks for; false after `seconds`. With `keep`,
    // what the window showed then is kept as waited-N.png in the test's folder and named in a
    // failure.
    bool WaitFor(const std::function<bool(const Screen&)>& shown, double seconds, bool keep = true) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
        Screen last;
        do {
            last = Now();
            if (shown(last)) return true;
            if (!game_->Running()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        } while (std::chrono::steady_clock::now() < end);
        const std::string kept = Path("waited-" + std::to_string(waits_ + 1) + ".png");
        waits_ += keep;
        if (keep && last.Valid() && WritePng(kept, last))
            ADD_FAILURE() << "the window did not show what was waited for; it showed " << kept;
        return false;
    }
    // Moves the game's pointer, which starts at the centre of the screen, by relative X events.
    void MoveTo(int x, int y) {
        ASSERT_TRUE(MoveBy(display_->Name(), x - pointerX_, y - pointerY_));
        pointerX_ = x;
        pointerY_ = y;
    }
    // A click at (x, y) held until `seen` holds for what the window shows (or the game ended).
    void ClickAt(int x, int y, const std::function<bool(const Screen&)>& seen) {
        MoveTo(x, y);
        ASSERT_TRUE(HeldClick(display_->Name(), [&] { return !game_->Running() || seen(Now()); }, kStepSeconds));
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    std::string install_, dir_;
    std::unique_ptr<XDisplay> display_;
    std::unique_ptr<GameRun> game_;
    unsigned long window_ = 0;
    int pointerX_ = kWidth / 2, pointerY_ = kHeight / 2;
    int waits_ = 0;
};

}  // namespace wt
