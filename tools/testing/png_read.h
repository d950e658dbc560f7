// Test helper: a PNG picture read back with libpng as 0x00RRGGBB pixels, for comparing rendered
// frames with kept pictures.
#pragma once
#include <png.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pngtest {

// Empty (0 x 0, no pixels) when the file cannot be read.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline Picture ReadPng(const std::string& path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return p;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return p;
    }
    p.width = int(image.width);
    p.height = int(image.height);
    p.pixels.resize(size_t(p.width) * size_t(p.height));
    for (size_t i = 0; i < p.pixels.size(); ++i)
        p.pixels[i] = uint32_t(rgb[i * 3]) << 16 | uint32_t(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
    return p;
}

}  // namespace pngtest
