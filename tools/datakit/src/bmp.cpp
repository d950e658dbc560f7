// The bitmap writer: 8-bit palettised, uncompressed, bottom-up rows (see bmp.h).
#include "datakit/bmp.h"

#include "datakit/bytes.h"

namespace dk {

namespace {
constexpr uint32_t kFileHeaderBytes = 14, kInfoHeaderBytes = 40, kPaletteBytes = 256 * 4;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dots per inch
}  // namespace

std::vector<uint8_t> EncodeBmp8(const Bmp8& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
        return {};
    const uint32_t stride = (uint32_t(picture.width) + 3u) & ~3u;
    const uint32_t imageBytes = stride * uint32_t(picture.height);
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + kPaletteBytes;

    Bytes out;
    out.u8('B').u8('M').u32(pixelOffset + imageBytes).u16(0).u16(0).u32(pixelOffset);
    out.u32(kInfoHeaderBytes)
        .i32(picture.width)
        .i32(picture.height)  // positive: bottom row first
        .u16(1)               // planes
        .u16(8)               // bits per pixel
        .u32(0)               // uncompressed
        .u32(imageBytes)
        .i32(kPixelsPerMetre)
        .i32(kPixelsPerMetre)
        .u32(256)             // colours used
        .u32(0);              // all important
    for (const Rgb& c : picture.palette)
        out.u8(c.b).u8(c.g).u8(c.r).u8(0);
    for (int y = picture.height - 1; y >= 0; --y) {
        out.raw(&picture.pixels[size_t(y) * size_t(picture.width)], size_t(picture.width));
        out.zeros(stride - uint32_t(picture.width));
    }
    return out.data;
}

bool WriteBmp8(const std::string& path, const Bmp8& picture) {
    const std::vector<uint8_t> bytes = EncodeBmp8(picture);
    return !bytes.empty() && WriteFile(path, bytes);
}

}  // namespace dk
