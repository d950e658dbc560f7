// The demo install's sound effects: every file the sound groups name, each a short placeholder of
// our own (a tone with its own pitch, length and shape, derived from the file's name), 22050 Hz
// 16-bit mono. Looping sounds hold a steady tone of whole cycles so that they loop cleanly.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "datakit/aud.h"
#include "datakit/bytes.h"
#include "datakit/demo_steps.h"

namespace dk {

namespace {

constexpr uint32_t kRate = 22050;

uint32_t NameHash(const std::string& name) {
    uint32_t h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    return h;
}

bool Loops(const std::string& name) {
    return name.find("loop") != std::string::npos || name.find("_lp") != std::string::npos ||
           name.find("_amb") != std::string::npos || name.find("hum") != std::string::npos;
}

std::vector<float> Placeholder(const std::string& name, bool interfaceSound) {
    const uint32_t h = NameHash(name);
    const double pi = 3.14159265358979323846;
    if (Loops(name)) {
        // One second of two steady partials with whole cycles in it.
        const double hz = 110 + (h % 220);
        std::vector<float> out(kRate);
        for (uint32_t i = 0; i < kRate; ++i) {
            const double t = static_cast<double>(i) / kRate;
            out[i] = static_cast<float>(0.25 * std::sin(2 * pi * hz * t) + 0.1 * std::sin(2 * pi * 3 * hz * t));
        }
        return out;
    }
    const double ms = interfaceSound ? 60 + (h % 60) : 120 + (h % 280);
    const uint32_t frames = static_cast<uint32_t>(kRate * ms / 1000);
    const double start = interfaceSound ? 900 + (h >> 8) % 900 : 200 + (h >> 8) % 700;
    const double end = start * (0.5 + ((h >> 16) % 100) / 100.0);
    std::vector<float> out(frames);
    double phase = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const double f = static_cast<double>(i) / frames;
        phase += 2 * pi * (start + (end - start) * f) / kRate;
        const double envelope = (1 - f) * (1 - f) * std::min(1.0, i / 40.0);
        out[i] = static_cast<float>(0.5 * envelope * (std::sin(phase) + 0.3 * std::sin(2 * phase)));
    }
    return out;
}

}  // namespace

bool DemoSounds(const std::string& dir) {
    std::set<std::string> written;
    const auto& groups = SoundGroupFiles();
    for (size_t g = 0; g < groups.size(); ++g) {
        for (const std::string& file : groups[g]) {
            if (!written.insert(file).second)
                continue;
            std::string relative = file;
            for (char& c : relative)
                if (c == '\\')
                    c = '/';
            const std::string stem = std::filesystem::path(relative).stem().string();
            const AudSound sound = AudFromSamples(Placeholder(stem, g == 0), kRate, 16, 1);
            if (!WriteFile((std::filesystem::path(dir) / relative).string(), AudBytes(sound)))
                return false;
        }
    }
    return true;
}

}  // namespace dk
