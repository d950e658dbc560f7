// Pictures: the input is a .bmp file, decoded by the platform's bitmap reader behind LoadImageA;
// every pixel and palette entry of a picture that decodes is read back.
#include "fuzz_support.h"
#include "gdi_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<PlatBitmap> bitmap = plat::detail::DecodeBmp(data, size);
    if (!bitmap) return 0;
    volatile uint32_t sum = 0;
    for (int y = 0; y < bitmap->height; ++y)
        for (int x = 0; x < bitmap->width; ++x) sum = sum + plat::detail::BitmapPixel(*bitmap, x, y);
    for (uint32_t i = 0; i < 256; ++i) {
        uint8_t r, g, b;
        plat::detail::BitmapColour(*bitmap, i, &r, &g, &b);
    }
    return 0;
}
