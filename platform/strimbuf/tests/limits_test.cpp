// Sizes stated by a movie's headers: a video stream whose frames are larger than the video
// library's largest picture is refused at open, and no stated size (chunk, index, format, frame)
// makes the library allocate more than the file's own bytes can account for. A counting
// operator new sees every block the library asks for; a seeded mutation loop damages every kind
// of header field.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "datakit/bytes.h"
#include "datakit/movie_writer.h"
#include "largest_allocation.h"
#include "strimbuf.h"
#include "vidvex_format.h"

namespace {

std::string Path(const std::string& name) {
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "strimbuf_limits_" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    static const struct Remover {
        ~Remover() { std::filesystem::remove_all(dir); }
    } remover;
    return dir + name;
}

dk::MovieVideoTrack Video(uint32_t width, uint32_t height) {
    dk::MovieVideoTrack v;
    v.width = width;
    v.height = height;
    for (int i = 0; i < 3; ++i)
        v.frames.push_back(std::vector<uint8_t>(40, uint8_t(i)));
    return v;
}

dk::MovieAudioTrack Audio() {
    dk::MovieAudioTrack a;
    a.chunks.assign(3, std::vector<uint8_t>(64, 1));
    return a;
}

// Opens the movie at path, takes every item of both streams and closes it; returns whether it
// opened, and the frame size the player would read.
struct Result {
    bool opened = false;
    uint32_t width = 0, height = 0;
};
Result OpenAndRead(const std::string& path, int32_t budget = 0x200000) {
    Result r;
    sbInit(1, 2, 1);
    SBBUFFER* buffer = sbAllocBuffer(budget, 0);
    SBMOVIE* movie = sbOpenMovie(path.c_str(), buffer);
    r.opened = movie != nullptr;
    for (int32_t kind : {SB_VIDEO, SB_AUDIO}) {
        SBSTREAM* s = sbOpenStream(movie, 0, 1, kind);
        if (const SBSTREAMINFO* info = sbStreamInfo(s); info && kind == SB_VIDEO) {
            r.width = info->width;
            r.height = info->height;
        }
        const uint8_t* data = nullptr;
        int32_t length = 0;
        for (int32_t index; (index = sbNextChunk(s, &data, &length, 1, 1)) >= 0;)
            sbRelease(buffer, index);
        sbCloseStream(s);
    }
    sbCloseMovie(movie);
    sbFreeBuffer(buffer);
    sbExit();
    return r;
}

TEST(PictureLimit, VideoStreamsLargerThanTheLargestPictureAreRefused) {
    struct Case {
        uint32_t width, height;
        bool opens;
    };
    const uint32_t W = vvlfmt::kMaxPictureWidth, H = vvlfmt::kMaxPictureHeight;
    const Case cases[] = {
        {64, 48, true},       {W, H, true},          {W + 1, 48, false},          {64, H + 1, false},
        {27454, 29968, false}, {0x7FFFFFFFu, 48, false}, {64, 0xFFFFFFFFu - 47, true},  // a bottom-up -48
        {64, 0x80000000u, false},
    };
    for (const Case& c : cases) {
        const dk::MovieVideoTrack v = Video(c.width, c.height);
        const dk::MovieAudioTrack a = Audio();
        const std::string path = Path("size.avi");
        ASSERT_TRUE(dk::WriteMovieFile(path, &v, &a));
        const Result r = OpenAndRead(path);
        EXPECT_EQ(r.opened, c.opens) << c.width << " x " << c.height;
        if (r.opened) {
            EXPECT_TRUE(vvlfmt::PictureFits(r.width, r.height)) << r.width << " x " << r.height;
        }
    }
}

// Every 32-bit field of a small movie set to huge values, and random damage anywhere: whatever
// opens reports a picture inside the limit, and no block the library takes is larger than a
// few times the file (the items it indexes and reads are the file's own bytes).
TEST(PictureLimit, StatedSizesNeverAllocateBeyondTheFile) {
    const dk::MovieVideoTrack v = Video(64, 48);
    dk::MovieAudioTrack a = Audio();
    std::vector<std::vector<uint8_t>> corpus;
    for (dk::MovieIndex index : {dk::MovieIndex::FromMovi, dk::MovieIndex::None}) {
        const std::vector<uint8_t> whole = dk::WriteMovie(&v, &a, {index, false, false});
        for (size_t at = 0; at + 4 <= whole.size(); at += 2)
            for (uint32_t value : {0x7FFFFFF0u, 0xFFFFFFFFu, 0x00010000u, 0x00001001u}) {
                std::vector<uint8_t> bad = whole;
                for (int i = 0; i < 4; ++i)
                    bad[at + size_t(i)] = uint8_t(value >> (8 * i));
                corpus.push_back(std::move(bad));
            }
        std::mt19937 rng(2024);
        for (int n = 0; n < 1500; ++n) {
            std::vector<uint8_t> bad = whole;
            const int changes = 1 + int(rng() % 4);
            for (int c = 0; c < changes; ++c)
                bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            if (n % 5 == 0)
                bad.resize(rng() % bad.size());
            corpus.push_back(std::move(bad));
        }
    }
    const std::string path = Path("damaged.avi");
    size_t opened = 0;
    for (const std::vector<uint8_t>& bytes : corpus) {
        ASSERT_TRUE(dk::WriteFile(path, bytes));
        alloctest::Watch watch;
        const Result r = OpenAndRead(path);
        opened += r.opened;
        ASSERT_LE(watch.largest(), 8 * bytes.size() + 4096);
        if (r.opened) {
            ASSERT_TRUE(vvlfmt::PictureFits(r.width, r.height)) << r.width << " x " << r.height;
        }
    }
    EXPECT_GT(opened, 0u);
    EXPECT_LT(opened, corpus.size());
}

}  // namespace
