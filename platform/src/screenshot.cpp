// PNG output of frames: plat::WritePng, and PLATFORM_SCREENSHOT, written once when the process
// ends with the last presented frame (a 640x480 black picture when nothing was presented).
#include <png.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "internal.h"

namespace plat {
namespace {
std::atomic<bool> g_ScreenshotWritten{false};

// Kept free of objects with destructors: libpng reports errors by longjmp to here.
bool WriteRows(FILE* file, png_bytep* rows, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0 || width > 0x10000 || height > 0x10000)
        return false;
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<png_byte> rgb(w * h * 3);
    for (size_t i = 0; i < w * h; ++i) {
        rgb[i * 3 + 0] = static_cast<png_byte>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<png_byte>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<png_byte>(pixels[i]);
    }
    std::vector<png_bytep> rows(h);
    for (size_t y = 0; y < h; ++y)
        rows[y] = rgb.data() + y * w * 3;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = WriteRows(file, rows.data(), width, height);
    ok = (std::fclose(file) == 0) && ok;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

namespace detail {
void WriteExitScreenshot() {
    const std::string path = GetConfig().screenshotPath;
    if (path.empty() || g_ScreenshotWritten.exchange(true))
        return;
    const uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    bool ok;
    if (LastFrame(&pixels, &width, &height)) {
        ok = WritePng(path, pixels, width, height);
    } else {
        std::vector<uint32_t> black(640 * 480, 0);
        ok = WritePng(path, black.data(), 640, 480);
    }
    if (!ok)
        std::fprintf(stderr, "platform: cannot write the screenshot %s\n", path.c_str());
}

void ResetScreenshot() {
    g_ScreenshotWritten.store(false);
}
}  // namespace detail

}  // namespace plat
