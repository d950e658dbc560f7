// The movie player's pictures: the video library set up over the primary display surface, the
// first frame placed (doubled and centred) and shown, each frame decoded and drawn into the
// locked surface, and the video library ended. Owns the virtual screen and the surface records.
#include <cstdint>

#include "engine/rnd_state.h"
#include "movie/fmv_player.h"
#include "win32.h"

VScreen* g_FmvScreen;

namespace {
DDSURFACEDESC g_FmvSurface;
DDPIXELFORMAT g_FmvFormat;
// Any nonzero address: the screen is pointed at the locked surface before it draws.
char g_FmvPlaceholder;

int FMV_ScreenFormat() {
    return g_FmvFormat.dwRGBBitCount == 8 ? 1 : 2;
}

// Locks the whole primary surface into g_FmvSurface; false when it cannot be locked.
bool FMV_LockPrimary() {
    IDirectDrawSurface3* primary = RND_GetPrimarySurface();
    if (!primary)
        return false;
    g_FmvSurface = DDSURFACEDESC{};
    g_FmvSurface.dwSize = sizeof(DDSURFACEDESC);
    return primary->Lock(nullptr, &g_FmvSurface, 0, nullptr) == DD_OK;
}
}  // namespace

int FMV_InitVideo() {
    Vvl_InitVideo(1, 1);
    g_FmvScreen = Vvl_CreateVScreen(&g_FmvPlaceholder, 0, 512, 224);
    Vvl_SetVScreenBlitQuality(g_FmvScreen, RND_IsHardwareDevice() ? 3 : 5);
    IDirectDrawSurface3* primary = RND_GetPrimarySurface();
    if (!primary)
        return 0;  // no display: nothing to play on
    g_FmvSurface = DDSURFACEDESC{};
    g_FmvSurface.dwSize = sizeof(DDSURFACEDESC);
    if (primary->GetSurfaceDesc(&g_FmvSurface) != DD_OK)
        return 0;
    g_FmvFormat = DDPIXELFORMAT{};
    g_FmvFormat.dwSize = sizeof(DDPIXELFORMAT);
    if (primary->GetPixelFormat(&g_FmvFormat) != DD_OK)
        return 0;
    if (g_FmvFormat.dwRGBBitCount == 8) {
        Vvl_Decompress16BitAs565(0);
        MessageBoxA(nullptr, "8-bit comes later...", "CLUT error", MB_ICONEXCLAMATION);
        return 0;
    }
    if (g_FmvFormat.dwRGBBitCount != 16)
        return 0;
    Vvl_Decompress16BitAs565(g_FmvFormat.dwGBitMask == 0x3E0 ? 0 : 1);
    if (FMV_LockPrimary()) {
        Vvl_AlterVScreen(g_FmvScreen, g_FmvSurface.lpSurface, FMV_ScreenFormat(), g_FmvSurface.lPitch,
                         int(g_FmvSurface.dwHeight));
        Vvl_AlterVScreenView(g_FmvScreen, g_FmvArea[0], g_FmvArea[1], g_FmvArea[2], g_FmvArea[3]);
        primary->Unlock(nullptr);
    }
    return 1;
}

void FMV_ExitVideo() {
    IDirectDrawSurface3* primary = RND_GetPrimarySurface();
    const HRESULT result = primary ? primary->Unlock(nullptr) : HRESULT(DD_OK);
    if (result != DD_OK && result != DDERR_NOTLOCKED)
        return;
    Vvl_DestroyVScreen(g_FmvScreen);
    g_FmvScreen = nullptr;
    Vvl_ExitVideo();
}

int FMV_ShowFirstFrame(MovieContext* context, int advance) {
    if (advance) {
        sbNextChunk(context->videoStream, nullptr, nullptr, 2, 0);
        // Not yet available: read ahead and ask again, as for every later frame.
        context->frameInHand = FMV_TakeFrame(context);
        if (context->frameInHand < 0)
            return context->frameInHand;
    }
    if (!context->picture) {
        context->picture = Vvl_CreateXImageLen(context->frameData, size_t(context->frameLength));
        if (!context->picture)
            return -9;
    }
    Vvl_GetXImageXYWH(context->picture, &context->pictureX, &context->pictureY, &context->pictureWidth,
                      &context->pictureHeight);
    Vvl_AlterXImageSpriteModes(context->picture, 1, 0);
    int frameWidth = 0, frameHeight = 0;
    if (const SBSTREAMINFO* info = sbStreamInfo(context->videoStream)) {
        frameWidth = info->width;
        frameHeight = info->height;
    }
    const int quality = Vvl_GetVScreenBlitQuality(g_FmvScreen);
    const int scale = (quality == 3 || quality == 5) ? 2 : 1;
    Vvl_MoveXImage(context->picture, 0, (g_FmvArea[2] - scale * frameWidth) / 2,
                   (g_FmvArea[3] - scale * frameHeight) / 2);
    FMV_DecodeFrame(context, 1);
    if (!advance)
        return 0;
    sbRelease(context->streamBuffer, context->frameInHand);
    while (sbPosition(context->videoStream, -1) <= context->firstFrame) {
        context->frameInHand = FMV_TakeFrame(context);
        if (context->frameInHand < 0)
            return context->frameInHand;
        FMV_DecodeFrame(context, 1);
        sbRelease(context->streamBuffer, context->frameInHand);
    }
    context->frameInHand = -3;
    return 0;
}

int FMV_DecodeFrame(MovieContext* context, int draw) {
    const VvlResult altered =
        Vvl_AlterXImageDataLen(context->picture, context->frameData, size_t(context->frameLength));
    if (altered < 0)
        return altered;
    // A surface that cannot be locked is not drawn into: the frame is only decoded, so that
    // the next one follows on from it.
    if (!FMV_LockPrimary()) {
        ++g_FmvStats.decoded;
        return Vvl_plixImageToVScreen(context->picture, nullptr) >= 0 ? 1 : 0;
    }
    Vvl_AlterVScreen(g_FmvScreen, g_FmvSurface.lpSurface, FMV_ScreenFormat(), g_FmvSurface.lPitch,
                     int(g_FmvSurface.dwHeight));
    Vvl_AlterVScreenView(g_FmvScreen, g_FmvArea[0], g_FmvArea[1], g_FmvArea[2], g_FmvArea[3]);
    Vvl_AlterVScreen(g_FmvScreen, g_FmvSurface.lpSurface, 0, -1, -1);
    const VvlResult drawn = Vvl_plixImageToVScreen(context->picture, draw ? g_FmvScreen : nullptr);
    ++g_FmvStats.decoded;
    if (draw && drawn >= 0)
        ++g_FmvStats.shown;
    RND_GetPrimarySurface()->Unlock(nullptr);
    return drawn >= 0 ? 1 : 0;
}
