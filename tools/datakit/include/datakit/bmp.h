// Windows bitmap files (.bmp) for the pictures of the game: 8-bit palettised, uncompressed. The
// file is a 14-byte file header, a 40-byte information header, a palette of 256 {blue, green,
// red, 0} entries and the rows bottom row first, each padded to a multiple of 4 bytes; every
// number little-endian.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

struct Rgb {
    uint8_t r, g, b;
};

// An 8-bit palettised picture; pixels hold width x height palette indexes, top row first.
struct Bmp8 {
    int width = 0;
    int height = 0;
    std::array<Rgb, 256> palette{};
    std::vector<uint8_t> pixels;

    Bmp8() = default;
    Bmp8(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
    uint8_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The file's bytes; empty when the size and the pixels disagree.
std::vector<uint8_t> EncodeBmp8(const Bmp8& picture);
bool WriteBmp8(const std::string& path, const Bmp8& picture);

}  // namespace dk
