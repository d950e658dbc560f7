// vvlplay end to end: raw frame files and a movie of encoded frames become PNG pictures showing
// exactly what the encoder says the decoder draws.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/movie_writer.h"
#include "datakit/vidvex_frame.h"
#include "datakit/vidvex_rowenc.h"

namespace {

namespace fs = std::filesystem;

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

Picture ReadPng(const std::string& path) {
    Picture p;
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return p;
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) return p;
    p.w = int(img.width);
    p.h = int(img.height);
    p.rgb = std::move(rgb);
    return p;
}

// The picture a 555 frame gives, in the tool's 8-bit channels.
std::vector<uint8_t> Rgb(const std::vector<uint16_t>& px) {
    std::vector<uint8_t> out;
    auto five = [](unsigned v) { return uint8_t((v << 3) | (v >> 2)); };
    for (uint16_t p : px) {
        out.push_back(five((p >> 10) & 31));
        out.push_back(five((p >> 5) & 31));
        out.push_back(five(p & 31));
    }
    return out;
}

std::vector<uint16_t> Scene(int w, int h, int shift) {
    std::vector<uint16_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int lum = 40 + 4 * y + 2 * x;
            dk::VvlRgb c{lum + 20, lum, lum - 10};
            if (x >= 8 + shift && x < 16 + shift && y >= 4 && y < 12) c = {220, 200, 60};
            px.push_back(dk::VvlPack(c, false));
        }
    return px;
}

class VvlPlay : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vvlplay_test_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    int Run(const std::string& args) {
        std::string cmd = std::string(VVLPLAY_PATH) + " " + args + " > " + (dir_ / "out.txt").string() + " 2>&1";
        return std::system(cmd.c_str());
    }
    fs::path dir_;
};

TEST_F(VvlPlay, RawFramesBecomePictures) {
    const int w = 32, h = 16;
    dk::VvlRowParams p;
    p.interStream = true;
    dk::VvlEncoded key = dk::VvlEncodeRowFrame(p, w, h, Scene(w, h, 0), nullptr);
    p.key = false;
    p.skipTolerance = 1;
    dk::VvlEncoded next = dk::VvlEncodeRowFrame(p, w, h, Scene(w, h, 4), &key.decoded);
    ASSERT_TRUE(dk::WriteFile((dir_ / "a.vvf").string(), key.frame));
    ASSERT_TRUE(dk::WriteFile((dir_ / "b.vvf").string(), next.frame));
    std::string prefix = (dir_ / "pic").string();
    ASSERT_EQ(Run(prefix + " " + (dir_ / "a.vvf").string() + " " + (dir_ / "b.vvf").string()), 0);
    Picture a = ReadPng(prefix + "0000.png"), b = ReadPng(prefix + "0001.png");
    ASSERT_EQ(a.w, w);
    ASSERT_EQ(a.h, h);
    EXPECT_EQ(a.rgb, Rgb(key.decoded));
    EXPECT_EQ(b.rgb, Rgb(next.decoded));
    // Double size: every second line stays black.
    ASSERT_EQ(Run("-q 3 " + prefix + "q3_ " + (dir_ / "a.vvf").string()), 0);
    Picture d = ReadPng(prefix + "q3_0000.png");
    ASSERT_EQ(d.w, 2 * w);
    ASSERT_EQ(d.h, 2 * h);
    EXPECT_EQ(d.rgb[size_t(2 * w * 3) + 0], 0);
    std::vector<uint8_t> want = Rgb(key.decoded);
    EXPECT_EQ(d.rgb[3 * 2 * 5 + 1], want[3 * 5 + 1]);  // pixel (10, 0) is pixel (5, 0) doubled
}

TEST_F(VvlPlay, MovieFramesBecomePictures) {
    const int w = 32, h = 16;
    dk::MovieVideoTrack video;
    video.width = w;
    video.height = h;
    std::vector<std::vector<uint16_t>> decoded;
    dk::VvlRowParams p;
    for (int n = 0; n < 3; ++n) {
        dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, w, h, Scene(w, h, 2 * n), nullptr);
        video.frames.push_back(e.frame);
        decoded.push_back(e.decoded);
    }
    ASSERT_TRUE(dk::WriteMovieFile((dir_ / "m.avi").string(), &video, nullptr));
    std::string prefix = (dir_ / "m").string();
    ASSERT_EQ(Run(prefix + " " + (dir_ / "m.avi").string()), 0);
    for (int n = 0; n < 3; ++n) {
        Picture pic = ReadPng(prefix + "000" + std::to_string(n) + ".png");
        EXPECT_EQ(pic.rgb, Rgb(decoded[size_t(n)])) << n;
    }
    EXPECT_FALSE(fs::exists(prefix + "0003.png"));
}

TEST_F(VvlPlay, BadInputFails) {
    ASSERT_TRUE(dk::WriteFile((dir_ / "bad.vvf").string(), std::vector<uint8_t>(40, 0x0F)));
    EXPECT_NE(Run((dir_ / "x").string() + " " + (dir_ / "bad.vvf").string()), 0);
    EXPECT_NE(Run((dir_ / "x").string() + " " + (dir_ / "missing.vvf").string()), 0);
    EXPECT_NE(Run(""), 0);
}

// A 40-byte frame that claims a huge picture, alone or in a movie, and a movie whose stream
// claims one: refused with a message and exit code 1, before the tool or the libraries allocate
// for the picture.
TEST_F(VvlPlay, HugePicturesAreRefusedWithoutTakingTheirMemory) {
    dk::VvlHeader h;
    h.codec = 2;
    h.escape = 2;
    h.width = 27454;
    h.height = 29968;
    h.flags = 0x08 | 0x10;  // the key frame of an inter stream: it asks for a whole frame buffer
    std::vector<uint8_t> frame = dk::VvlWriteHeader(h);
    frame.resize(40, 0x11);
    const std::string raw = (dir_ / "huge.vvf").string();
    ASSERT_TRUE(dk::WriteFile(raw, frame));

    dk::MovieVideoTrack inMovie;
    inMovie.width = 64;
    inMovie.height = 48;
    inMovie.frames = {frame};
    const std::string movie = (dir_ / "huge_frame.avi").string();
    ASSERT_TRUE(dk::WriteMovieFile(movie, &inMovie, nullptr));

    dk::MovieVideoTrack stated = inMovie;
    stated.width = 27454;
    stated.height = 29968;
    stated.frames = {dk::VvlEncodeRowFrame(dk::VvlRowParams{}, 8, 4, Scene(8, 4, 0), nullptr).frame};
    const std::string statedMovie = (dir_ / "huge_stream.avi").string();
    ASSERT_TRUE(dk::WriteMovieFile(statedMovie, &stated, nullptr));

    struct Case {
        std::string input, message;
    };
    const Case cases[] = {{raw, "not a frame the library can decode"},
                          {movie, "not a frame the library can decode"},
                          {statedMovie, "no video to read"}};
    for (const Case& c : cases) {
        const int status = Run((dir_ / "x").string() + " " + c.input);
        ASSERT_TRUE(WIFEXITED(status)) << c.input;
        EXPECT_EQ(WEXITSTATUS(status), 1) << c.input;
        std::ifstream out(dir_ / "out.txt");
        std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        EXPECT_FALSE(fs::exists(dir_ / "x0000.png"));
    }
    // The largest child so far (this test's runs and those before it) stayed small.
    struct rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "kilobytes";
}

}  // namespace
