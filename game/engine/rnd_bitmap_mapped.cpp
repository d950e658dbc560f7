// The mapped blit of the in-game map: a destination rectangle filled from a picture through an
// affine mapping in 8.8 fixed point. Per-column offsets are computed once and a per-row offset
// added, so each pixel costs two additions, the range tests and one load. The source is read
// with its real pitch and size, and only the part of the rectangle on the back buffer is drawn.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/rnd_bitmap.h"
#include "engine/rnd_state.h"

namespace {
struct Locked {
    uint8_t* pixels;
    int64_t pitch, width, height;
    int bits;
};

bool DSP_Lock(IDirectDrawSurface3* surface, uint32_t flags, Locked* out) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (surface->Lock(nullptr, &desc, flags, nullptr) != DD_OK)
        return false;
    *out = Locked{static_cast<uint8_t*>(desc.lpSurface), desc.lPitch, desc.dwWidth, desc.dwHeight,
                  int(desc.ddpfPixelFormat.dwRGBBitCount)};
    return true;
}
}  // namespace

void DSP_BlitBitmapMapped(DesignRect* rect, Bitmap* bitmap, const BitmapMapping* mapping) {
    if (!rect)
        return;
    rect->x = DSP_Trunc(DSP_DesignToScreenX(float(rect->x)));
    rect->y = DSP_Trunc(DSP_DesignToScreenY(float(rect->y)));
    rect->width = DSP_Trunc(DSP_DesignToScreenX(float(rect->width)));
    rect->height = DSP_Trunc(DSP_DesignToScreenY(float(rect->height)));
    IDirectDrawSurface3* back = RND_GetBackBuffer();
    if (!bitmap || !bitmap->surface || !mapping || !back)
        return;
    const int depth = RND_GetBitDepth();
    if ((depth != 8 && depth != 16) || rect->width <= 0 || rect->height <= 0)
        return;

    Locked dst, src;
    if (!DSP_Lock(back, DDLOCK_WAIT | DDLOCK_WRITEONLY, &dst))
        return;
    if (!DSP_Lock(bitmap->surface, DDLOCK_WAIT | DDLOCK_READONLY, &src)) {
        back->Unlock(nullptr);
        return;
    }
    if (dst.bits == depth && src.bits == depth) {
        const int bytes = depth / 8;
        const int64_t width = rect->width, height = rect->height;
        // The columns and rows of the rectangle that lie on the back buffer.
        const int64_t c0 = std::max<int64_t>(0, -int64_t(rect->x));
        const int64_t c1 = std::min<int64_t>(width, dst.width - rect->x);
        const int64_t r1 = std::min<int64_t>(height, dst.height - rect->y);

        // Column offsets: accumulated steps of the top edge's mapping, in 8.8.
        std::vector<int64_t> columnU, columnV;
        const float du = (mapping->topRightU - mapping->topLeftU) / float(width);
        const float dv = (mapping->topRightV - mapping->topLeftV) / float(width);
        float u = 0.0f, v = 0.0f;
        for (int64_t c = 0; c < c1; ++c) {
            if (c >= c0) {
                columnU.push_back(DSP_Trunc((u + 0.5f) * 256.0f));
                columnV.push_back(DSP_Trunc((v + 0.5f) * 256.0f));
            }
            u += du;
            v += dv;
        }
        const float rowStepU = (mapping->bottomLeftU - mapping->topLeftU) * 256.0f / float(height);
        const float rowStepV = (mapping->bottomLeftV - mapping->topLeftV) * 256.0f / float(height);
        float rowU = mapping->topLeftU * 256.0f, rowV = mapping->topLeftV * 256.0f;
        for (int64_t r = 0; r < r1; ++r) {
            const int64_t offsetU = DSP_Trunc(rowU + 0.5f), offsetV = DSP_Trunc(rowV + 0.5f);
            rowU += rowStepU;
            rowV += rowStepV;
            const int64_t y = rect->y + r;
            if (y < 0)
                continue;
            uint8_t* out = dst.pixels + y * dst.pitch;
            for (int64_t c = c0; c < c1; ++c) {
                const int64_t U = columnU[size_t(c - c0)] + offsetU, V = columnV[size_t(c - c0)] + offsetV;
                const int64_t column = U / 256;  // toward zero
                const uint8_t* from = nullptr;
                if (column >= 0 && column < src.width && V >= 0 && (V >> 8) < src.height)
                    from = src.pixels + (V >> 8) * src.pitch + column * bytes;
                uint8_t* to = out + (rect->x + c) * bytes;
                if (from)
                    std::memcpy(to, from, size_t(bytes));
                else
                    std::memset(to, 0, size_t(bytes));
            }
        }
    }
    bitmap->surface->Unlock(nullptr);
    back->Unlock(nullptr);
}
