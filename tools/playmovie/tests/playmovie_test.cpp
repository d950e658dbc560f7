// playmovie end to end: synthetic movies made with the data kit's encoders, played headless
// through the game's movie player; the presented frames against the encoders' reconstructions
// (doubled and centred), the captured sound against the encoded samples, the abort key, the CD
// music, refused displays and sound the audio library cannot play.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datakit/demo_movies.h"
#include "png_read.h"
#include "playmovie.h"
#include "plat.h"
#include "shell/cda.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;

std::string WriteTestMovie(const fs::path& dir, const dk::DemoMovie& movie, const std::string& name) {
    const std::vector<uint8_t> bytes = dk::DemoMovieFile(movie);
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

uint32_t ToXrgb(uint16_t p, bool is565) {
    uint32_t r5, g, b5;
    if (is565) {
        r5 = (p >> 11) & 0x1F;
        const uint32_t g6 = (p >> 5) & 0x3F;
        g = (g6 << 2) | (g6 >> 4);
    } else {
        r5 = (p >> 10) & 0x1F;
        const uint32_t g5 = (p >> 5) & 0x1F;
        g = (g5 << 3) | (g5 >> 2);
    }
    b5 = p & 0x1F;
    return ((r5 << 3 | r5 >> 2) << 16) | (g << 8) | (b5 << 3 | b5 >> 2);
}

// The 640 x 480 screen with the picture doubled and centred on black, as the double-size blit of
// the hardware device's quality draws it: each row twice as wide on the first line of its pair,
// the second line of each pair left as it was.
std::vector<uint32_t> Screen(const std::vector<uint16_t>& picture, int w, int h, bool is565) {
    std::vector<uint32_t> screen(640 * 480, 0);
    const int x0 = (640 - 2 * w) / 2, y0 = (480 - 2 * h) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 2 * w; ++x)
            screen[size_t(y0 + 2 * y) * 640 + size_t(x0 + x)] =
                ToXrgb(picture[size_t(y) * size_t(w) + size_t(x / 2)], is565);
    return screen;
}

struct Wav {
    uint16_t channels = 0;
    uint32_t rate = 0;
    std::vector<int16_t> samples;
};

Wav ReadWav(const fs::path& path) {
    const std::string b = tooltest::Slurp(path);
    Wav w;
    if (b.size() < 44)
        return w;
    auto u8 = [&](size_t i) { return uint32_t(uint8_t(b[i])); };
    w.channels = uint16_t(u8(22) | u8(23) << 8);
    w.rate = u8(24) | u8(25) << 8 | u8(26) << 16 | u8(27) << 24;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        w.samples.push_back(int16_t(u8(i) | u8(i + 1) << 8));
    return w;
}

// The sound as the 44100 Hz stereo output carries it.
std::vector<int16_t> Interleaved(const std::vector<uint32_t>& words) {
    std::vector<int16_t> s;
    for (uint32_t w : words) {
        s.push_back(int16_t(w >> 16));
        s.push_back(int16_t(w & 0xFFFF));
    }
    return s;
}

// "" when equal, else where they first differ.
std::string FirstDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            size_t x0 = 640, y0 = 480, x1 = 0, y1 = 0;
            for (size_t j = 0; j < a.size(); ++j)
                if (a[j]) {
                    x0 = std::min(x0, j % 640);
                    y0 = std::min(y0, j / 640);
                    x1 = std::max(x1, j % 640);
                    y1 = std::max(y1, j / 640);
                }
            char text[160];
            std::snprintf(text, sizeof text, "at (%zu, %zu): %06x, expected %06x; shown within (%zu, %zu)-(%zu, %zu)",
                          i % 640, i / 640, a[i], b[i], x0, y0, x1, y1);
            return text;
        }
    return "";
}

size_t FirstSound(const std::vector<int16_t>& s) {
    return size_t(std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) - s.begin());
}

class Playmovie : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tooltest::FreshTestDir("playmovie_");
        plat::ResetForTests();
    }
    FmvStats RunInProcess(PlaymovieOptions options) {
        FmvStats stats{};
        EXPECT_TRUE(PLM_Run(options, &stats));
        return stats;
    }
    fs::path dir_;
};

TEST_F(Playmovie, FramesAreTheReconstructionsDoubledAndCentredAndTheSoundIsTheEncodersOwn) {
    struct Case {
        const char* what;
        int codec;
        dk::DemoMovieSound sound;
        bool is565;
    } cases[] = {
        {"row codec, PCM, 565", 2, dk::DemoMovieSound::PcmMono, true},
        {"YUV codec, ADPCM, 565", 17, dk::DemoMovieSound::AdpcmStereo, true},
        {"row codec, ADPCM, 555", 2, dk::DemoMovieSound::AdpcmStereo, false},
        {"YUV codec, silent, 555", 17, dk::DemoMovieSound::None, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const dk::DemoMovieSpec spec{"test.avi", c.codec, c.sound, 64, 48, 20, 15, 44100};
        const dk::DemoMovie movie = dk::BuildDemoMovie(spec, c.is565);
        const fs::path frames = dir_ / "frames";
        fs::remove_all(frames);
        const std::string path = WriteTestMovie(dir_, movie, "test.avi");
        std::vector<std::string> args = {"--frames", frames.string(), path};
        if (!c.is565)
            args.insert(args.begin(), {"--mode", "555"});
        std::string out, err;
        const std::string wav = (dir_ / "sound.wav").string();
        ASSERT_EQ(tooltest::RunCommand("PLATFORM_BACKEND=headless PLATFORM_AUDIO_OUT=" + tooltest::Quote(wav) + " " +
                                           tooltest::CommandLine(PLAYMOVIE_PATH, args),
                                       dir_, &out, &err),
                  0)
            << err;
        EXPECT_EQ(out, "frames 20 decoded 20\n");
        // 0000.png is the screen the movie starts on; each movie frame follows.
        for (int f = 0; f < 20; ++f) {
            char name[16];
            std::snprintf(name, sizeof name, "%04d.png", f + 1);
            const pngtest::Picture shown = pngtest::ReadPng((frames / name).string());
            ASSERT_EQ(shown.width, 640) << name;
            const std::string difference = FirstDifference(shown.pixels, Screen(movie.pictures[size_t(f)], 64, 48, c.is565));
            EXPECT_EQ(difference, "") << name;
            if (!difference.empty())
                break;
        }
        EXPECT_FALSE(fs::exists(frames / "0021.png"));

        const Wav sound = ReadWav(wav);
        ASSERT_EQ(sound.rate, 44100u);
        ASSERT_EQ(sound.channels, 2);
        if (!movie.hasSound) {
            EXPECT_EQ(FirstSound(sound.samples), sound.samples.size()) << "a silent movie sounds nothing";
            continue;
        }
        // The sound starts with the clock; the pictures end it, so its tail may be cut.
        const std::vector<int16_t> expected = Interleaved(movie.sound);
        const size_t from = FirstSound(sound.samples), skip = FirstSound(expected);
        ASSERT_LT(from, sound.samples.size());
        const size_t played = std::min(sound.samples.size() - from, expected.size() - skip);
        EXPECT_GT(played, expected.size() * 8 / 10);
        EXPECT_TRUE(std::equal(expected.begin() + ptrdiff_t(skip), expected.begin() + ptrdiff_t(skip + played),
                               sound.samples.begin() + ptrdiff_t(from)));
    }
}

TEST_F(Playmovie, AKeyEndsTheMovieAndTheCdResumesOnlyWhenItWasPlaying) {
    const dk::DemoMovie movie = dk::BuildDemoMovie({"keys.avi", 2, dk::DemoMovieSound::PcmMono, 64, 48, 30, 15, 22050});
    const std::string path = WriteTestMovie(dir_, movie, "keys.avi");
    for (bool cdPlaying : {false, true}) {
        SCOPED_TRACE(cdPlaying ? "CD playing" : "CD off");
        plat::ResetForTests();
        static std::vector<std::string> calls;
        calls.clear();
        CDA_SetCallTrace([](const char* entry) { calls.push_back(entry); });
        PlaymovieOptions options;
        options.movie = path;
        options.keyAt = 10;
        options.cdPlaying = cdPlaying;
        const FmvStats stats = RunInProcess(options);
        CDA_SetCallTrace(nullptr);
        EXPECT_EQ(stats.shown, 10);
        EXPECT_EQ(stats.decoded, 10);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "CDA_Resume"), cdPlaying ? 1 : 0);
    }
}

TEST_F(Playmovie, SoundTheAudioLibraryCannotPlayLeavesThePicturesPlayingSilently) {
    dk::DemoMovie movie = dk::BuildDemoMovie({"odd.avi", 17, dk::DemoMovieSound::PcmMono, 64, 48, 12, 15, 32000});
    const std::string path = WriteTestMovie(dir_, movie, "odd.avi");
    PlaymovieOptions options;
    options.movie = path;
    const FmvStats stats = RunInProcess(options);
    EXPECT_EQ(stats.audioFailed, 1);
    EXPECT_EQ(stats.shown, 12);
    EXPECT_EQ(stats.decoded, 12);
}

TEST_F(Playmovie, AnEightBitDisplayShowsNothingAndSaysWhy) {
    const dk::DemoMovie movie = dk::BuildDemoMovie({"clut.avi", 2, dk::DemoMovieSound::None, 64, 48, 5, 15, 22050});
    const std::string path = WriteTestMovie(dir_, movie, "clut.avi");
    std::string out, err;
    ASSERT_EQ(tooltest::RunCommand("PLATFORM_BACKEND=headless " +
                                       tooltest::CommandLine(PLAYMOVIE_PATH, {"--mode", "8", "--frames",
                                                                              (dir_ / "frames").string(), path}),
                                   dir_, &out, &err),
              0);
    EXPECT_EQ(out, "frames 0 decoded 0\n");
    EXPECT_NE(err.find("[CLUT error] 8-bit comes later..."), std::string::npos) << err;
    EXPECT_TRUE(fs::is_empty(dir_ / "frames"));
}

// The game plays its intro first: a close after 20 frames ends it inside the movie, and what it
// showed and sounded by then is what playmovie shows and sounds of the same file.
TEST_F(Playmovie, TheGameOpensWithTheIntroMovie) {
    const fs::path install = dir_ / "install";
    std::string out, err;
    ASSERT_EQ(tooltest::RunCommand(tooltest::CommandLine(DATAKIT_PATH, {install.string()}), dir_, &out, &err), 0) << err;
    const std::string shot = (dir_ / "game.png").string(), gameWav = (dir_ / "game.wav").string();
    ASSERT_EQ(tooltest::RunCommand("cd " + tooltest::Quote(install.string()) +
                                       " && PLATFORM_BACKEND=headless PLATFORM_FRAMES=20 PLATFORM_REGISTRY=" +
                                       tooltest::Quote((install / "registry.ini").string()) + " PLATFORM_SCREENSHOT=" +
                                       tooltest::Quote(shot) + " PLATFORM_AUDIO_OUT=" + tooltest::Quote(gameWav) + " " +
                                       tooltest::Quote(GHOULDEN_PATH),
                                   dir_, &out, &err),
              0)
        << err;
    const fs::path frames = dir_ / "frames";
    const std::string movieWav = (dir_ / "movie.wav").string();
    ASSERT_EQ(tooltest::RunCommand("PLATFORM_BACKEND=headless PLATFORM_AUDIO_OUT=" + tooltest::Quote(movieWav) + " " +
                                       tooltest::CommandLine(PLAYMOVIE_PATH, {"--frames", frames.string(),
                                                                              (install / "movies" / "intro_01.avi").string()}),
                                   dir_, &out, &err),
              0)
        << err;
    EXPECT_EQ(out, "frames 45 decoded 45\n");
    // The game presents ten frames before the movie starts (the display start-up, its mode probe
    // and the two black frames); then, as in playmovie, the screen the movie starts on and the
    // movie's frames at the pace of its clock.
    const pngtest::Picture game = pngtest::ReadPng(shot);
    const pngtest::Picture movie = pngtest::ReadPng((frames / "0009.png").string());
    ASSERT_EQ(game.width, 640);
    EXPECT_EQ(FirstDifference(game.pixels, movie.pixels), "");

    const Wav gameSound = ReadWav(gameWav), movieSound = ReadWav(movieWav);
    const size_t gameFrom = FirstSound(gameSound.samples), movieFrom = FirstSound(movieSound.samples);
    ASSERT_LT(gameFrom, gameSound.samples.size()) << "the game sounded nothing";
    const size_t n = gameSound.samples.size() - gameFrom;
    ASSERT_GT(n, 22050u) << "less than a quarter of a second of the intro's sound";
    ASSERT_LE(movieFrom + n, movieSound.samples.size());
    EXPECT_TRUE(std::equal(gameSound.samples.begin() + ptrdiff_t(gameFrom), gameSound.samples.end(),
                           movieSound.samples.begin() + ptrdiff_t(movieFrom)));
}

TEST_F(Playmovie, BadCommandLinesAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--mode", "24", "x.avi"}, {"--key-at", "0", "x.avi"}, {"a.avi", "b.avi"}}) {
        std::string out, err;
        EXPECT_EQ(tooltest::RunCommand(tooltest::CommandLine(PLAYMOVIE_PATH, args), dir_, &out, &err), 2) << err;
    }
}

}  // namespace
