// The demo install's music: "music/trackNN.wav" for the disc's audio tracks 2 to 10 that the game
// plays (the levels' tracks and the menus' 3 and 6), each a short melody of our own, 22050 Hz 16-bit
// mono. The platform's CD drive plays them in place of a disc.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "audio_out.h"
#include "datakit/demo_steps.h"

namespace dk {

namespace {

constexpr uint32_t kRate = 22050;
constexpr int kFirstTrack = 2, kLastTrack = 10;
constexpr int kNotes = 16;
constexpr double kNoteSeconds = 0.375;  // 16 notes: 6 seconds
// The main menu's track runs four times as long: the attract movie starts when it ends, and a
// headless run of the demo (600 frames, 12 seconds) stays on the menu.
constexpr int kMenuTrack = 6, kMenuTrackNotes = 64;

// A pentatonic melody picked by the track number.
std::vector<int16_t> Melody(int track) {
    static const double kScale[] = {220.0, 246.94, 277.18, 329.63, 369.99, 440.0, 493.88, 554.37};
    const double pi = 3.14159265358979323846;
    const uint32_t noteFrames = static_cast<uint32_t>(kRate * kNoteSeconds);
    const int notes = track == kMenuTrack ? kMenuTrackNotes : kNotes;
    std::vector<int16_t> out;
    out.reserve(noteFrames * notes);
    uint32_t seed = 1234567u * static_cast<uint32_t>(track);
    for (int n = 0; n < notes; ++n) {
        seed = seed * 1103515245u + 12345u;
        const double hz = kScale[(seed >> 16) % 8] * (track % 2 ? 1.0 : 0.5);
        for (uint32_t i = 0; i < noteFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double f = static_cast<double>(i) / noteFrames;
            const double envelope = std::min(1.0, i / 200.0) * (1.0 - 0.7 * f);
            const double v = envelope * (0.3 * std::sin(2 * pi * hz * t) + 0.08 * std::sin(2 * pi * 2 * hz * t));
            out.push_back(static_cast<int16_t>(std::lround(v * 32767)));
        }
    }
    return out;
}

}  // namespace

bool DemoMusic(const std::string& dir) {
    const std::filesystem::path music = std::filesystem::path(dir) / "music";
    std::error_code ec;
    std::filesystem::create_directories(music, ec);
    if (ec)
        return false;
    for (int track = kFirstTrack; track <= kLastTrack; ++track) {
        char name[32];
        std::snprintf(name, sizeof name, "track%02d.wav", track);
        const std::vector<int16_t> samples = Melody(track);
        if (!plat::WriteWav((music / name).string(), kRate, 1, samples.data(), samples.size()))
            return false;
    }
    return true;
}

}  // namespace dk
