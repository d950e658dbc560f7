// The real SDL audio path: with SDL's file-writing "disk" driver the device's output goes to a
// file at the pace it is played. A click on a menu button must put the click sound into that
// file after the click and not before: the file's length, read just before the click, marks the
// point of the stream that had been played by then.
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "window_fixture.h"

namespace wt {
namespace {

// The mixed stream: 44100 frames a second, 16-bit stereo.
constexpr size_t kFrameBytes = 4, kRate = 44100;

size_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? size_t(st.st_size) : 0;
}

std::vector<int16_t> Samples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1])) << 8);
    return s;
}

// Waits until the device has played `frames` frames into the file.
bool WaitForFrames(const std::string& path, size_t frames) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(long(kStepSeconds * 1000));
    while (FileSize(path) / kFrameBytes < frames) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The frames of [from, to) whose 10 ms block has a mean square above a quiet floor.
size_t LoudFrames(const std::vector<int16_t>& s, size_t from, size_t to) {
    const size_t block = kRate / 100;
    size_t loud = 0;
    for (size_t f = from; f + block <= to && 2 * (f + block) <= s.size(); f += block) {
        double sum = 0;
        for (size_t i = 2 * f; i < 2 * (f + block); ++i) sum += double(s[i]) * double(s[i]);
        if (sum / double(2 * block) > 100.0 * 100.0) loud += block;
    }
    return loud;
}

TEST_F(WindowTest, AClickOnAMenuButtonReachesSdlsAudioDevice) {
    const std::string out = Path("sdlaudio.raw");
    Start({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", out}});
    ASSERT_TRUE(WaitForMenu()) << game_->Errors();
    // The menu is up and quiet: what is played from here to the click is silence. A quarter of a
    // second of it is played before the click.
    const size_t menuFrame = FileSize(out) / kFrameBytes;
    ASSERT_TRUE(WaitForFrames(out, menuFrame + kRate / 4)) << "the device plays";
    MoveTo(30, 460);  // EXIT
    const size_t clickFrame = FileSize(out) / kFrameBytes;
    ASSERT_TRUE(HeldClick(display_->Name(), [&] { return DialogShown(Now()); }, kStepSeconds));
    ASSERT_TRUE(WaitFor(DialogShown, kStepSeconds)) << game_->Errors();
    // Let the device play on past the click sound, then end the game.
    const size_t wanted = clickFrame + 2 * kRate;
    ASSERT_TRUE(WaitForFrames(out, wanted)) << "the device plays";
    ASSERT_TRUE(display_->RequestClose(window_));
    ASSERT_EQ(game_->Wait(kStepSeconds), 0) << game_->Errors();

    const std::vector<int16_t> s = Samples(out);
    ASSERT_GE(s.size() / 2, wanted) << "the disk driver wrote the device's output";
    EXPECT_EQ(LoudFrames(s, menuFrame, clickFrame), 0u) << "nothing sounds before the click";
    const size_t loud = LoudFrames(s, clickFrame, clickFrame + 2 * kRate);
    EXPECT_GE(loud, kRate / 50) << "the click sound follows the click";
}

}  // namespace
}  // namespace wt
