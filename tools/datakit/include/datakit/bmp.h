// Windows bitmap files (.bmp) for the pictures of the game, uncompressed: palettised (1, 4 or 8
// bits per pixel) or true colour (24 bits). The file is a 14-byte file header, a 40-byte
// information header, the palette of {blue, green, red, 0} entries (2^bits of them; none at 24
// bits) and the rows, bottom row first unless written top-down (a negative height), each padded
// to a multiple of 4 bytes; every number little-endian.
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

// A true-colour picture; pixels top row first.
struct Bmp24 {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Bmp24() = default;
    Bmp24(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), Rgb{0, 0, 0}) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The file's bytes, 8 bits per pixel, bottom row first; empty when the size and the pixels
// disagree.
std::vector<uint8_t> EncodeBmp8(const Bmp8& picture);
bool WriteBmp8(const std::string& path, const Bmp8& picture);
// The same picture with 1, 4 or 8 bits per pixel (the first 2^bits palette entries); empty when
// an index does not fit or the depth is not one of these.
std::vector<uint8_t> EncodeBmp(const Bmp8& picture, int bitsPerPixel, bool topDown = false);
std::vector<uint8_t> EncodeBmp24(const Bmp24& picture, bool topDown = false);
bool WriteBmp24(const std::string& path, const Bmp24& picture);

}  // namespace dk
