// vvlplay [-q QUALITY] [-565] OUTPREFIX INPUT...
// Decodes movie frames through the video library's exports, as the movie player does, and
// writes every drawn picture as OUTPREFIX0000.png, OUTPREFIX0001.png, ... An INPUT is either a
// movie file (its video frames in order) or a raw frame file (one frame: header and payload).
// The screen is the size of the first frame's picture (doubled at blit qualities 3 and 5);
// QUALITY is the blit quality (0, 3 or 5; default 0); -565 decodes to 565 pixels instead of 555.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "strimbuf.h"
#include "vidvex.h"

namespace {

struct Options {
    int quality = 0;
    bool is565 = false;
    std::string prefix;
    std::vector<std::string> inputs;
};

struct Player {
    Options opt;
    XImage* image = nullptr;
    VScreen* screen = nullptr;
    int width = 0, height = 0;  // screen size in pixels
    std::vector<uint16_t> pixels;
    int written = 0;
};

bool WritePng(const std::string& path, const std::vector<uint16_t>& px, int w, int h, bool is565) {
    std::vector<uint8_t> rgb;
    rgb.reserve(px.size() * 3);
    auto five = [](unsigned v) { return uint8_t((v << 3) | (v >> 2)); };
    for (uint16_t p : px) {
        if (is565) {
            unsigned g = (p >> 5) & 63;
            rgb.push_back(five((p >> 11) & 31));
            rgb.push_back(uint8_t((g << 2) | (g >> 4)));
            rgb.push_back(five(p & 31));
        } else {
            rgb.push_back(five((p >> 10) & 31));
            rgb.push_back(five((p >> 5) & 31));
            rgb.push_back(five(p & 31));
        }
    }
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(w);
    img.height = png_uint_32(h);
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// Hands one frame to the library (the first makes the image and the screen), draws it and
// writes the picture.
bool Frame(Player& p, const uint8_t* data, size_t length, const std::string& what) {
    if (!p.image) {
        p.image = Vvl_CreateXImageLen(data, length);
        if (!p.image) {
            std::fprintf(stderr, "vvlplay: %s: not a frame the library can decode\n", what.c_str());
            return false;
        }
        int x, y, w, h;
        Vvl_GetXImageXYWH(p.image, &x, &y, &w, &h);
        int scale = (p.opt.quality == 3 || p.opt.quality == 5) ? 2 : 1;
        p.width = w * scale;
        p.height = h * scale;
        if (p.width <= 0 || p.height <= 0 || p.width > 8192 || p.height > 8192) {
            std::fprintf(stderr, "vvlplay: %s: picture of %dx%d\n", what.c_str(), w, h);
            return false;
        }
        p.pixels.assign(size_t(p.width) * size_t(p.height), 0);
        p.screen = Vvl_CreateVScreen(p.pixels.data(), 2, p.width * 2, p.height);
        Vvl_AlterVScreenView(p.screen, 0, 0, p.width, p.height);
        Vvl_SetVScreenBlitQuality(p.screen, p.opt.quality);
    } else {
        int r = Vvl_AlterXImageDataLen(p.image, data, length);
        if (r < 0) {
            std::fprintf(stderr, "vvlplay: %s: refused (%d)\n", what.c_str(), r);
            return false;
        }
    }
    int r = Vvl_plixImageToVScreen(p.image, p.screen);
    if (r < 0) {
        std::fprintf(stderr, "vvlplay: %s: cannot draw (%d)\n", what.c_str(), r);
        return false;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%04d.png", p.written++);
    std::string path = p.opt.prefix + name;
    if (!WritePng(path, p.pixels, p.width, p.height, p.opt.is565)) {
        std::fprintf(stderr, "vvlplay: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Movie(Player& p, const std::string& path) {
    SBBUFFER* buffer = sbAllocBuffer(0x200000, 0);
    SBMOVIE* movie = buffer ? sbOpenMovie(path.c_str(), buffer) : nullptr;
    SBSTREAM* video = movie ? sbOpenStream(movie, 0, 1, SB_VIDEO) : nullptr;
    bool ok = video != nullptr;
    if (!ok) std::fprintf(stderr, "vvlplay: %s: no video to read\n", path.c_str());
    // The frames must stay valid while the image refers to them: each is copied and kept.
    std::vector<std::vector<uint8_t>> kept(2);
    for (int n = 0; ok; ++n) {
        const uint8_t* data = nullptr;
        int32_t length = 0;
        int32_t index = sbNextChunk(video, &data, &length, 1, 1);
        if (index == -1) break;
        if (index < 0 || length < 0) {
            std::fprintf(stderr, "vvlplay: %s: read error %d\n", path.c_str(), index);
            ok = false;
            break;
        }
        kept[size_t(n & 1)].assign(data, data + length);
        sbRelease(buffer, index);
        ok = Frame(p, kept[size_t(n & 1)].data(), kept[size_t(n & 1)].size(), path + " frame " + std::to_string(n));
    }
    // The image must not keep a frame that goes with this movie.
    if (p.image) Vvl_AlterXImageData(p.image, nullptr);
    sbCloseStream(video);
    sbCloseMovie(movie);
    sbFreeBuffer(buffer);
    return ok;
}

bool IsMovie(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 && std::memcmp(bytes.data() + 8, "AVI ", 4) == 0;
}

int Usage() {
    std::fprintf(stderr, "usage: vvlplay [-q QUALITY] [-565] OUTPREFIX INPUT...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Player p;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        if (a == "-q" && i + 1 < argc) p.opt.quality = std::atoi(argv[++i]);
        else if (a == "-565") p.opt.is565 = true;
        else return Usage();
    }
    if (argc - i < 2) return Usage();
    p.opt.prefix = argv[i++];
    for (; i < argc; ++i) p.opt.inputs.push_back(argv[i]);

    sbInit(1, 2, 1);
    Vvl_InitVideo(1, 1);
    Vvl_Decompress16BitAs565(p.opt.is565);
    bool ok = true;
    std::vector<std::vector<uint8_t>> raw;  // raw frames stay alive while the image uses them
    for (const std::string& in : p.opt.inputs) {
        std::ifstream f(in, std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "vvlplay: cannot open %s\n", in.c_str());
            ok = false;
            break;
        }
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (IsMovie(bytes)) {
            ok = Movie(p, in);
        } else {
            raw.push_back(std::move(bytes));
            ok = Frame(p, raw.back().data(), raw.back().size(), in);
        }
        if (!ok) break;
    }
    Vvl_ExitVideo();
    sbExit();
    if (ok) std::printf("%d pictures written\n", p.written);
    return ok ? 0 : 1;
}
