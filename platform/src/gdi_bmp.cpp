// Bitmap files (.bmp) into device-independent bitmaps, behind LoadImageA. The file is a 14-byte
// file header ("BM", file size, two reserved words, offset of the pixels), an information header
// (40 bytes, or the 108- and 124-byte versions that extend it), the colour table of blue, green,
// red, 0 entries and the rows, bottom row first when the height is positive, each padded to a
// multiple of 4 bytes; little-endian throughout. Only uncompressed pictures of 1, 4, 8 and 24
// bits per pixel. Every field is checked against the file before anything is read through it.
#include <algorithm>
#include <cstdio>
#include <string>

#include "gdi_internal.h"

namespace plat::detail {
namespace {
constexpr size_t kFileHeaderBytes = 14;
constexpr int64_t kMaxSide = 16384;
constexpr long kMaxFileBytes = 256L << 20;

uint32_t U16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t U32(const uint8_t* p) {
    return U16(p) | (U16(p + 2) << 16);
}
int32_t I32(const uint8_t* p) {
    return int32_t(U32(p));
}
}  // namespace

std::unique_ptr<PlatBitmap> DecodeBmp(const uint8_t* data, size_t size) {
    if (!data || size < kFileHeaderBytes + 40 || data[0] != 'B' || data[1] != 'M')
        return nullptr;
    const uint32_t fileSize = U32(data + 2);
    const uint32_t pixelOffset = U32(data + 10);
    const uint8_t* info = data + kFileHeaderBytes;
    const uint32_t infoSize = U32(info);
    if ((infoSize != 40 && infoSize != 108 && infoSize != 124) || kFileHeaderBytes + infoSize > size)
        return nullptr;
    const int32_t width = I32(info + 4), signedHeight = I32(info + 8);
    const uint32_t planes = U16(info + 12), bits = U16(info + 14), compression = U32(info + 16);
    const uint32_t imageSize = U32(info + 20), coloursUsed = U32(info + 32), coloursImportant = U32(info + 36);

    if (width <= 0 || width > kMaxSide || signedHeight == 0 || signedHeight < -kMaxSide || signedHeight > kMaxSide)
        return nullptr;
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24) || compression != 0)
        return nullptr;
    // A palettised picture has up to 2^bits colours (all of them when the count is 0); a
    // true-colour one may carry an optional table, which is skipped.
    const uint64_t maxColours = bits <= 8 ? (uint64_t(1) << bits) : 256;
    if (coloursUsed > maxColours)
        return nullptr;
    const uint64_t colours = (bits <= 8 && coloursUsed == 0) ? maxColours : coloursUsed;
    if (coloursImportant > colours)
        return nullptr;
    const uint64_t tableEnd = kFileHeaderBytes + infoSize + colours * 4;
    const int64_t height = signedHeight < 0 ? -int64_t(signedHeight) : signedHeight;
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * uint64_t(height);
    if (pixelOffset < tableEnd || uint64_t(pixelOffset) + pixelBytes > size)
        return nullptr;
    if (imageSize != 0 && (imageSize < pixelBytes || imageSize > size - pixelOffset))
        return nullptr;
    if (fileSize != 0 && (fileSize < uint64_t(pixelOffset) + pixelBytes || fileSize > size))
        return nullptr;

    auto bitmap = std::make_unique<PlatBitmap>();
    bitmap->width = width;
    bitmap->height = int(height);
    bitmap->bitsPerPixel = int(bits);
    bitmap->stride = int(stride);
    bitmap->xPelsPerMeter = I32(info + 24);
    bitmap->yPelsPerMeter = I32(info + 28);
    if (bits <= 8) {
        const uint8_t* table = info + infoSize;
        bitmap->colours.resize(size_t(colours));
        for (size_t i = 0; i < bitmap->colours.size(); ++i)
            bitmap->colours[i] = RGBQUAD{table[i * 4], table[i * 4 + 1], table[i * 4 + 2], 0};
    }
    bitmap->bits.resize(size_t(pixelBytes));
    for (int64_t row = 0; row < height; ++row) {
        const int64_t fileRow = signedHeight > 0 ? height - 1 - row : row;
        const uint8_t* from = data + pixelOffset + uint64_t(fileRow) * stride;
        std::copy(from, from + stride, bitmap->bits.begin() + ptrdiff_t(uint64_t(row) * stride));
    }
    return bitmap;
}

uint32_t BitmapPixel(const PlatBitmap& bitmap, int x, int y) {
    const uint8_t* row = bitmap.bits.data() + size_t(y) * size_t(bitmap.stride);
    switch (bitmap.bitsPerPixel) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    case 8:
        return row[x];
    default: {
        const uint8_t* p = row + size_t(x) * 3;
        return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
    }
}

void BitmapColour(const PlatBitmap& bitmap, uint32_t index, uint8_t* r, uint8_t* g, uint8_t* b) {
    if (index >= bitmap.colours.size()) {
        *r = *g = *b = 0;
        return;
    }
    const RGBQUAD& c = bitmap.colours[index];
    *r = c.rgbRed;
    *g = c.rgbGreen;
    *b = c.rgbBlue;
}

}  // namespace plat::detail

using namespace plat::detail;

PLATAPI HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int width, int height, UINT flags) {
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || width != 0 || height != 0)
        return nullptr;
    std::FILE* file = std::fopen(plat::ResolvePath(name).c_str(), "rb");
    if (!file)
        return nullptr;
    std::vector<uint8_t> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes.resize(size_t(size));
            if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
                bytes.clear();
        }
    }
    std::fclose(file);
    std::unique_ptr<PlatBitmap> bitmap = DecodeBmp(bytes.data(), bytes.size());
    return bitmap ? RegisterBitmap(std::move(bitmap)) : nullptr;
}
