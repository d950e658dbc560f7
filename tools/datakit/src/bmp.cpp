// The bitmap writer: palettised (1, 4 or 8 bits) or true colour (24 bits), uncompressed, rows
// bottom-up or top-down (see bmp.h).
#include "datakit/bmp.h"

#include "datakit/bytes.h"

namespace dk {

namespace {
constexpr uint32_t kFileHeaderBytes = 14, kInfoHeaderBytes = 40;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dots per inch

// The headers and palette for rows of `stride` bytes; the caller appends the rows.
Bytes Headers(int width, int height, int bits, const std::array<Rgb, 256>* palette, bool topDown) {
    const uint32_t colours = palette ? (1u << bits) : 0;
    const uint32_t stride = ((uint32_t(width) * uint32_t(bits) + 31u) / 32u) * 4u;
    const uint32_t imageBytes = stride * uint32_t(height);
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + colours * 4;
    Bytes out;
    out.u8('B').u8('M').u32(pixelOffset + imageBytes).u16(0).u16(0).u32(pixelOffset);
    out.u32(kInfoHeaderBytes)
        .i32(width)
        .i32(topDown ? -height : height)  // positive: bottom row first
        .u16(1)                           // planes
        .u16(uint32_t(bits))
        .u32(0)  // uncompressed
        .u32(imageBytes)
        .i32(kPixelsPerMetre)
        .i32(kPixelsPerMetre)
        .u32(colours)  // colours used
        .u32(0);       // all important
    for (uint32_t i = 0; i < colours; ++i)
        out.u8((*palette)[i].b).u8((*palette)[i].g).u8((*palette)[i].r).u8(0);
    return out;
}
}  // namespace

std::vector<uint8_t> EncodeBmp(const Bmp8& picture, int bitsPerPixel, bool topDown) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) ||
        (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8))
        return {};
    for (uint8_t index : picture.pixels)
        if (index >> bitsPerPixel)
            return {};
    Bytes out = Headers(picture.width, picture.height, bitsPerPixel, &picture.palette, topDown);
    const size_t stride = ((size_t(picture.width) * size_t(bitsPerPixel) + 31) / 32) * 4;
    for (int i = 0; i < picture.height; ++i) {
        const int y = topDown ? i : picture.height - 1 - i;
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t index = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
            const size_t bit = size_t(x) * size_t(bitsPerPixel);  // from the row's first, high bit first
            row[bit / 8] |= uint8_t(index << (8 - bitsPerPixel - bit % 8));
        }
        out.raw(row);
    }
    return out.data;
}

std::vector<uint8_t> EncodeBmp8(const Bmp8& picture) {
    return EncodeBmp(picture, 8, false);
}

bool WriteBmp8(const std::string& path, const Bmp8& picture) {
    const std::vector<uint8_t> bytes = EncodeBmp8(picture);
    return !bytes.empty() && WriteFile(path, bytes);
}

std::vector<uint8_t> EncodeBmp24(const Bmp24& picture, bool topDown) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
        return {};
    Bytes out = Headers(picture.width, picture.height, 24, nullptr, topDown);
    const size_t stride = ((size_t(picture.width) * 24 + 31) / 32) * 4;
    for (int i = 0; i < picture.height; ++i) {
        const int y = topDown ? i : picture.height - 1 - i;
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& c = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
            out.u8(c.b).u8(c.g).u8(c.r);
        }
        out.zeros(stride - size_t(picture.width) * 3);
    }
    return out.data;
}

bool WriteBmp24(const std::string& path, const Bmp24& picture) {
    const std::vector<uint8_t> bytes = EncodeBmp24(picture);
    return !bytes.empty() && WriteFile(path, bytes);
}

}  // namespace dk
