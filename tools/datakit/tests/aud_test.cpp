// The .aud writer against the file layout, the PCM conversions, and the demo install's sounds and
// music tracks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "datakit/aud.h"
#include "datakit/demo_steps.h"
#include "plat.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

TEST(Aud, TheWriterFollowsTheLayout) {
    dk::AudSound s;
    s.channels = 2;
    s.rate = 11025;
    s.bits = 8;
    s.data = {0x80, 0xFF, 0x00, 0x7F};
    const std::vector<uint8_t> expected = {
        0x00, 0x01, 0x00, 0x00,  // version 256
        0x04, 0x00, 0x00, 0x00,  // 4 bytes of data
        0x01, 0x00,              // PCM
        0x02, 0x00,              // 2 channels
        0x11, 0x2B, 0x00, 0x00,  // 11025 Hz
        0x22, 0x56, 0x00, 0x00,  // 22050 bytes per second
        0x02, 0x00,              // block align 2
        0x08, 0x00,              // 8 bits
        0x00, 0x00,              // no extra format bytes
        0x00, 0x00,              // padding
        0x80, 0xFF, 0x00, 0x7F,  // the data
    };
    EXPECT_EQ(dk::AudBytes(s), expected);
}

TEST(Aud, SamplesBecomePcmOfEitherDepthInEveryChannel) {
    const std::vector<float> samples = {0.0f, 1.0f, -1.0f, 2.0f, 0.5f};
    const dk::AudSound eight = dk::AudFromSamples(samples, 8000, 8, 1);
    EXPECT_EQ(eight.data, (std::vector<uint8_t>{128, 255, 1, 255, 192}));
    const dk::AudSound sixteen = dk::AudFromSamples(samples, 8000, 16, 2);
    ASSERT_EQ(sixteen.data.size(), 20u);
    EXPECT_EQ(sixteen.data[0], 0);
    EXPECT_EQ(sixteen.data[4], 0xFF);  // 32767, left
    EXPECT_EQ(sixteen.data[5], 0x7F);
    EXPECT_EQ(sixteen.data[6], 0xFF);  // and right
    EXPECT_EQ(sixteen.data[7], 0x7F);
    EXPECT_EQ(sixteen.data[8], 0x01);  // -32767
    EXPECT_EQ(sixteen.data[9], 0x80);
    const std::vector<float> sine = dk::SineSamples(1000, 22050, 22050, 0.5);
    float peak = 0;
    for (float v : sine)
        peak = std::max(peak, v);
    EXPECT_NEAR(peak, 0.5f, 0.001f);
}

TEST(Aud, TheGroupsNameTheGamesSoundFiles) {
    const auto& groups = dk::SoundGroupFiles();
    ASSERT_EQ(groups.size(), 19u);
    const size_t counts[] = {6, 86, 6, 12, 13, 0, 3, 1, 6, 8, 0, 9, 6, 0, 1, 15, 4, 9, 4};
    for (size_t g = 0; g < groups.size(); ++g)
        EXPECT_EQ(groups[g].size(), counts[g]) << g;
    EXPECT_EQ(groups[0][0], "sounds\\sql_2clk.aud");
    EXPECT_EQ(groups[1][64], "sounds\\pump_action sg.aud");
    EXPECT_EQ(groups[1][25], "sounds\\zom_sp~1.aud");
    EXPECT_EQ(groups[14][0], "sounds\\X-Ray.aud");
}

TEST(Aud, TheDemoHasEverySoundAndEveryMusicTrack) {
    const fs::path dir = fs::path(plat::TempDir()) / "demo-sounds";
    fs::remove_all(dir);
    ASSERT_TRUE(dk::DemoSounds(dir.string()));
    ASSERT_TRUE(dk::DemoMusic(dir.string()));
    std::set<std::string> names;
    for (const auto& group : dk::SoundGroupFiles()) {
        for (std::string file : group) {
            for (char& c : file)
                if (c == '\\')
                    c = '/';
            names.insert(file);
            const std::vector<uint8_t> bytes = Slurp(dir / file);
            ASSERT_GE(bytes.size(), dk::kAudHeaderBytes) << file;
            EXPECT_EQ(Le32(bytes, 0), 256u) << file;
            EXPECT_EQ(Le32(bytes, 4), bytes.size() - dk::kAudHeaderBytes) << file;
            EXPECT_GT(Le32(bytes, 4), 0u) << file;
        }
    }
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "sounds"))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, names.size()) << "one file per distinct name";
    for (int track = 2; track <= 10; ++track) {
        char name[32];
        std::snprintf(name, sizeof name, "music/track%02d.wav", track);
        const std::vector<uint8_t> wav = Slurp(dir / name);
        ASSERT_GT(wav.size(), 44u) << name;
        EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(wav, 40), wav.size() - 44) << name;
    }
    fs::remove_all(dir);
}

}  // namespace
