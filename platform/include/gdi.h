// GDI as the game uses it: .bmp pictures loaded from files into device-independent bitmaps
// (LoadImageA: 1, 4, 8 and 24 bits per pixel, bottom-up or top-down, with their colour tables),
// memory device contexts, colour tables, a nearest-neighbour StretchBlt into a DirectDraw
// surface's device context, and text drawn with a small built-in bitmap font. Our own
// declarations, holding only what callers use.
#pragma once
#include <cstdint>

#include "ddraw.h"
#include "win32.h"

struct PlatBitmap;
typedef PlatBitmap* HBITMAP;
struct PlatFont;
typedef PlatFont* HFONT;
typedef void* HGDIOBJ;
typedef uint32_t COLORREF;  // 0x00BBGGRR

#define RGB(r, g, b) ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))

struct RGBQUAD {
    uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // bytes per row of bmBits (a multiple of 4)
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;  // the rows, top row first
};

// A bitmap's information header, as GetDIBits reports it (its colour table and bits are not).
struct BITMAPINFOHEADER {
    DWORD biSize;  // set by the caller: sizeof(BITMAPINFOHEADER)
    LONG biWidth;
    LONG biHeight;  // positive: the rows are kept bottom-up in the file
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

enum : UINT { IMAGE_BITMAP = 0 };
enum : UINT { DIB_RGB_COLORS = 0 };
enum : UINT { LR_LOADFROMFILE = 0x10, LR_CREATEDIBSECTION = 0x2000 };
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3 };
enum : DWORD { SRCCOPY = 0x00CC0020 };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { FW_NORMAL = 400 };
enum : DWORD { ANSI_CHARSET = 0, OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0, NONANTIALIASED_QUALITY = 3,
               DEFAULT_PITCH = 0, VARIABLE_PITCH = 2 };

// A bitmap file (name: a game path, resolved like every file name) as a DIB section. Only
// IMAGE_BITMAP with LR_LOADFROMFILE. Null when the file is missing or any header field disagrees
// with the file (sizes, offsets, planes, depth, compression, colour count).
PLATAPI HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
// A memory device context (the argument is ignored); it starts with a 1 x 1 stock bitmap.
PLATAPI HDC CreateCompatibleDC(HDC like);
PLATAPI BOOL DeleteDC(HDC dc);
// Selects a bitmap or a font; returns the one it replaces, null on failure. A bitmap is
// selected into one memory device context at a time.
PLATAPI HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Fills a BITMAP for a bitmap; the bytes written, 0 on failure.
PLATAPI int GetObjectA(HGDIOBJ object, int size, void* out);
// The colour table of the bitmap selected into a memory device context: entries copied.
PLATAPI UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours);
PLATAPI UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours);
// Returns the previous mode; every mode copies colour pictures as COLORONCOLOR does.
PLATAPI int SetStretchBltMode(HDC dc, int mode);
// Only the header query: with bits null fills the header (whose biSize the caller set) of a
// bitmap loaded from a file: its size, depth, resolution and colour count; the number of lines
// (the height) on success, 0 on failure. Rows are not copied (0 lines asked for).
PLATAPI int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFOHEADER* header,
                      UINT usage);
// StretchBlt without scaling: width x height of the source from (sx, sy) to (x, y).
PLATAPI BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// From a memory device context's bitmap into a surface's device context, nearest neighbour:
// destination pixel (x + i) takes source column sx + i * sw / w (likewise rows). Colours become
// 5-6-5 by truncation in a 16-bit surface; in an 8-bit surface palette indices are copied, and
// true colours take the nearest entry of the surface's palette. Only SRCCOPY; the source
// rectangle must lie inside the bitmap; what falls outside the destination is not drawn.
PLATAPI BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                        DWORD rop);
// A font of the built-in 5 x 7 glyphs in 6-pixel cells; the height (pixels, 8 at least) sets
// the cell height, the face and the other arguments are accepted and ignored.
PLATAPI HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                          DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                          DWORD quality, DWORD pitchAndFamily, LPCSTR face);
PLATAPI int SetBkMode(HDC dc, int mode);
PLATAPI COLORREF SetBkColor(HDC dc, COLORREF colour);
PLATAPI COLORREF SetTextColor(HDC dc, COLORREF colour);
// Draws length characters of text at (x, y) (the top left of the first cell) into a surface's
// device context with the selected font (the built-in one when none is selected), clipped to
// the surface. Bytes without a glyph leave an empty cell.
PLATAPI BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
// DeleteObject (win32.h) deletes bitmaps and fonts; a bitmap still selected into a device
// context is not deleted (FALSE).
