/* The export table of libvidvex.so, the video decoding library: virtual screens (VScreen) over
 * caller-owned pixel memory, compressed movie frames (XImage) decoded and drawn onto them, the
 * replaceable allocator and the message buffer that the audio library writes its fatal messages
 * into. Every export is a plain C function; handles are addresses of pool slots. */
#pragma once
#include <stddef.h>

#if defined(VIDVEX_BUILD)
#define VVL_API __attribute__((visibility("default")))
#else
#define VVL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VScreen VScreen;
typedef struct XImage XImage;

/* 0 success, -1 slot not in use, -2 null handle, -4 out of memory, -5 bad new frame data,
 * -6 cannot draw, -7 bad frame header. */
typedef int VvlResult;

typedef void* (*VvlMallocFn)(size_t size);
typedef void* (*VvlCallocFn)(size_t count, size_t size);
typedef void (*VvlFreeFn)(void* block);

/* Pools. */
VVL_API VvlResult Vvl_InitVideo(int screens, int images);
VVL_API void Vvl_ExitVideo(void);

/* Screens. "Keep" values: 0 for addresses and pixel formats, -1 for pitch and height, any
 * negative value for rectangle coordinates. */
VVL_API VScreen* Vvl_CreateVScreen(void* surface, int format, int pitch, int height);
VVL_API void Vvl_DestroyVScreen(VScreen* screen);
VVL_API VvlResult Vvl_AlterVScreen(VScreen* screen, void* surface, int format, int pitch, int height);
VVL_API VvlResult Vvl_AlterVScreenClip(VScreen* screen, int x, int y, int w, int h);
VVL_API VvlResult Vvl_AlterVScreenView(VScreen* screen, int x, int y, int w, int h);
VVL_API VvlResult Vvl_AlterVScreenBackground(VScreen* screen, void* address, int unused, int a, int b, int c);
VVL_API VvlResult Vvl_GetVScreenView(VScreen* screen, int* x, int* y, int* w, int* h);
VVL_API int Vvl_SetVScreenBlitQuality(VScreen* screen, int quality);
VVL_API int Vvl_GetVScreenBlitQuality(VScreen* screen);
VVL_API void* Vvl_GetVScreenAddr(VScreen* screen);
VVL_API void Vvl_EraseVScreen(VScreen* screen);
VVL_API VvlResult Vvl_BlitVScreenToVScreen(VScreen* source, VScreen* target);
VVL_API VvlResult Vvl_SetVScreenCLUTs(VScreen* screen, const void* table1, const void* table2, int shared);
VVL_API void Vvl_ResetVScreenCLUTs(VScreen* screen);

/* Images. The pointer-only exports trust the caller to hand a whole frame; the ...Len forms take
 * the frame's length and refuse frames whose header or payload would be read past it. */
VVL_API XImage* Vvl_CreateXImage(const void* frame);
VVL_API XImage* Vvl_CreateXImageLen(const void* frame, size_t length);
VVL_API XImage* Vvl_CreateGenericXImage(const void* frame, int height, int width, int mode);
VVL_API XImage* Vvl_AlterXImage(XImage* image, const void* frame, int mode, int depth, int width, int height);
VVL_API void Vvl_DestroyXImage(XImage* image);
VVL_API VvlResult Vvl_AlterXImageData(XImage* image, const void* frame);
VVL_API VvlResult Vvl_AlterXImageDataLen(XImage* image, const void* frame, size_t length);
VVL_API VvlResult Vvl_MoveXImage(XImage* image, int mode, int x, int y);
VVL_API VvlResult Vvl_AlterXImageSpriteModes(XImage* image, int a, int b);
VVL_API int Vvl_GetXImageColorDepth(XImage* image);
VVL_API VvlResult Vvl_GetXImageDirtyXYWH(XImage* image, int* x, int* y, int* w, int* h);
VVL_API VvlResult Vvl_GetXImageXYWH(XImage* image, int* x, int* y, int* w, int* h);
VVL_API int Vvl_GetXImageType(XImage* image);
VVL_API int Vvl_IsXImageKeyFrame(XImage* image);
VVL_API void* Vvl_GetXImageFrameBuffer(XImage* image);
VVL_API VScreen* Vvl_DeriveVScreenFromXImage(XImage* image);
VVL_API VvlResult Vvl_SetXImageBlitAll(XImage* image);

/* Drawing: decode the current frame and draw it (screen may be null: decode only), or draw the
 * last decoded frame again. */
VVL_API VvlResult Vvl_plixImageToVScreen(XImage* image, VScreen* screen);
VVL_API VvlResult Vvl_BlitXImageToVScreen(XImage* image, VScreen* screen);

/* 16-bit output as 565 (non-zero) or 555 (0); returns the previous setting. */
VVL_API int Vvl_Decompress16BitAs565(int on);

/* The message buffer (2048 bytes, the caller's). */
VVL_API char* ErrorBuffer(char* buffer);
VVL_API int Announcement(const char* text);
VVL_API void AnnDone(void);

/* Allocator hooks; each returns the function given. */
VVL_API VvlMallocFn Vidvex_Setmalloc(VvlMallocFn fn);
VVL_API VvlCallocFn Vidvex_Setcalloc(VvlCallocFn fn);
VVL_API VvlFreeFn Vidvex_Setfree(VvlFreeFn fn);

#ifdef __cplusplus
}
#endif
