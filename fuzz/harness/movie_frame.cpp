// Movie frames: the input's first byte sets the blit quality, the screen's pixel format and the
// image's position; the next two bytes split the rest into a first frame (which creates the
// image) and a second one (decoded over it, as the next frame of a movie is). Both are drawn
// into a small screen whose memory is surrounded by guard bytes; a guard that changed, or a
// result the library does not define, is a finding.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "vidvex.h"

namespace {

constexpr int kWidth = 48, kHeight = 24, kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

// The screen: rows of kWidth pixels with 8 bytes of padding each, between two guard areas.
struct Screen {
    int bpp, pitch;
    std::vector<uint8_t> mem;
    explicit Screen(int bytesPerPixel)
        : bpp(bytesPerPixel), pitch(kWidth * bytesPerPixel + 8), mem(size_t(2 * kGuard + pitch * kHeight), kGuardByte) {
        for (int y = 0; y < kHeight; ++y) std::memset(Base() + y * pitch, 0, size_t(kWidth * bpp));
    }
    uint8_t* Base() { return mem.data() + kGuard; }
    bool Intact() const {
        for (int i = 0; i < kGuard; ++i)
            if (mem[size_t(i)] != kGuardByte || mem[mem.size() - 1 - size_t(i)] != kGuardByte) return false;
        for (int y = 0; y < kHeight; ++y)
            for (int i = kWidth * bpp; i < pitch; ++i)
                if (mem[size_t(kGuard + y * pitch + i)] != kGuardByte) return false;
        return true;
    }
};

bool Defined(int r) { return r == 0 || r == 1 || r == -5 || r == -6 || r == -7; }

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Vvl_InitVideo(3, 3) == 0;
    if (!ready) std::abort();
    fz::Input in{data, size};
    const uint8_t options = in.U8();
    const size_t split = std::min<size_t>(in.U16(), in.size);
    // Each frame in a block of its own exact size, so a read past either is a sanitizer report.
    const std::vector<uint8_t> first(in.data, in.data + split);
    const std::vector<uint8_t> second(in.data + split, in.data + in.size);

    const int quality = options % 6;
    const bool eightBit = options & 0x40;
    Screen screen(eightBit ? 1 : 2);
    VScreen* scr = Vvl_CreateVScreen(screen.Base(), eightBit ? 1 : 2, screen.pitch, kHeight);
    if (!scr) return 0;
    Vvl_SetVScreenBlitQuality(scr, quality);
    Vvl_AlterVScreenView(scr, 0, 0, kWidth, kHeight);
    XImage* image = Vvl_CreateXImageLen(first.data(), first.size());
    if (image) {
        if (options & 0x80) Vvl_MoveXImage(image, 0, int(options & 0x38) - 16, int(options & 0x7) - 3);
        Check(Defined(Vvl_plixImageToVScreen(image, scr)));
        const int a = Vvl_AlterXImageDataLen(image, second.data(), second.size());
        Check(a == 0 || a == -5);
        Check(Defined(Vvl_plixImageToVScreen(image, scr)));
        Check(Defined(Vvl_BlitXImageToVScreen(image, scr)));
        int x, y, w, h;
        Vvl_GetXImageDirtyXYWH(image, &x, &y, &w, &h);
        Vvl_DestroyXImage(image);
    }
    Vvl_DestroyVScreen(scr);
    Check(screen.Intact());
    return 0;
}
