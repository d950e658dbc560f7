// The two pools (screens and images), their handles and the exports that create, alter, query
// and destroy their slots. A handle is the address of a slot; every export checks that it is a
// slot of the live pool before touching it.
#include <climits>
#include <cstdint>

#include "vvl_internal.h"

namespace {
VScreen* g_screens = nullptr;
int g_screenCount = 0;
XImage* g_images = nullptr;
int g_imageCount = 0;
int g_565 = 0;

// The row buffer that every narrow intra-only stream shares.
alignas(16) uint8_t g_sharedRow[kSharedRowBytes];

template <class T>
bool IsSlot(const T* handle, const T* pool, int count) {
    if (!pool || !handle) return false;
    uintptr_t a = reinterpret_cast<uintptr_t>(handle), b = reinterpret_cast<uintptr_t>(pool);
    if (a < b) return false;
    uintptr_t off = a - b;
    return off % sizeof(T) == 0 && off / sizeof(T) < uintptr_t(count);
}

bool ImageLive(const XImage* im) { return IsSlot(im, g_images, g_imageCount) && (im->flags & kSlotInUse); }
bool ScreenLive(const VScreen* s) { return IsSlot(s, g_screens, g_screenCount) && (s->flags & kSlotInUse); }

int16_t Even(int v) { return int16_t(v & ~1); }

void FreeImageBuffers(XImage* im) {
    if (im->planeBlock) {
        VVL_Free(im->planeBlock);
    } else if (im->buffer && im->buffer != g_sharedRow) {
        VVL_Free(im->buffer);
    }
    im->planeBlock = nullptr;
    im->buffer = nullptr;
    im->bufferSize = 0;
    im->chromaEntries = 0;
}

bool IsPlaneCodec(int codec) { return codec >= 9 && codec <= 16; }

// Allocates a zero-filled buffer through the allocation hook; sizes that do not fit the
// record's 32-bit size field are refused.
uint8_t* AllocBuffer(uint64_t bytes) {
    if (bytes == 0 || bytes > uint64_t(INT32_MAX)) return nullptr;
    auto p = static_cast<uint8_t*>(VVL_Alloc(size_t(bytes)));
    if (p) std::memset(p, 0, size_t(bytes));
    return p;
}

// The buffers of the buffer table, chosen from the parsed header.
bool SetUpBuffers(XImage* im) {
    const FrameHeader& h = im->hdr;
    uint64_t w = h.width, ht = h.height;
    im->keptRows = 0;
    // Sizes given by the caller (Vvl_AlterXImage) are held to the same limit as a header's.
    if (!vvlfmt::PictureFits(w, ht)) return false;
    if (IsPlaneCodec(h.Codec())) {
        uint64_t luma = (ht + 1) * w;
        uint64_t chroma = (w / 2) * (ht / 2 + 1);
        uint8_t* block = AllocBuffer(luma + 4 * chroma);
        if (!block) return false;
        im->planeBlock = block;
        im->chromaEntries = int32_t(chroma);
        im->buffer = block + 4 * chroma;
        im->bufferSize = int32_t(luma);
        im->type = h.inter ? 1 : 0;
        im->keptRows = int32_t(ht);
        return true;
    }
    if (h.inter) {
        uint64_t bytes = (ht + 1) * w * 2;
        im->buffer = AllocBuffer(bytes);
        if (!im->buffer) return false;
        im->bufferSize = int32_t(bytes);
        im->type = 1;
        im->keptRows = int32_t(ht);
        return true;
    }
    if (w <= 320) {
        im->buffer = g_sharedRow;
        im->bufferSize = kSharedRowBytes;
    } else {
        im->buffer = AllocBuffer(w * 4);
        if (!im->buffer) return false;
        im->bufferSize = int32_t(w * 4);
    }
    im->type = h.partial ? 2 : 0;
    return true;
}

// Fields that follow the header: decode and displayed size.
void TakeSize(XImage* im) {
    const FrameHeader& h = im->hdr;
    im->width = int32_t(h.width);
    im->height = int32_t(h.height);
    im->frameW = im->width;
    im->dispW = h.stretch ? int32_t(int64_t(h.width) * 3 / 2) : im->width;
    im->dispH = im->height;
}

// Image set-up after a header has been read: false when a buffer cannot be had.
bool SetUpImage(XImage* im) {
    im->flags |= kSlotInUse;
    im->spriteA = 0;
    im->spriteB = int16_t(0x8000);
    im->x = 0;
    im->y = 0;
    TakeSize(im);
    return SetUpBuffers(im);
}

// Bytes of decode buffer that a frame with this header needs (0: none).
uint64_t NeededBuffer(const FrameHeader& h) {
    int codec = h.Codec();
    if (codec == vvlfmt::kCodecNone || codec == vvlfmt::kCodecYuv) return 0;
    uint64_t w = h.width, ht = h.height;
    if (h.inter) return (ht + 1) * w * 2;
    return w * 4;
}

XImage* FirstFreeImage() {
    for (int i = 0; i < g_imageCount; ++i)
        if (!(g_images[i].flags & kSlotInUse)) return &g_images[i];
    return nullptr;
}

XImage* CreateImage(const void* frame, size_t length) {
    XImage* im = FirstFreeImage();
    if (!im) return nullptr;
    im->flags |= kSlotInUse;
    if (!frame) return im;
    im->data = static_cast<const uint8_t*>(frame);
    im->dataLength = length;
    // The header is read, its picture size held to the limit and (when the caller gave the
    // length) checked against the bytes there are, all before the buffers are allocated.
    const int parsed = VVL_ParseHeader(im->data, length, &im->hdr);
    const bool fits = parsed > 0 && (length == SIZE_MAX || length - size_t(parsed) >= VVL_LeastPayload(im->hdr));
    if (!fits || !SetUpImage(im)) {
        Vvl_DestroyXImage(im);
        return nullptr;
    }
    return im;
}

int AlterData(XImage* image, const void* frame, size_t length) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    im->data = static_cast<const uint8_t*>(frame);
    im->dataLength = length;
    if (!frame) return kVvlOk;
    FrameHeader h;
    int parsed = VVL_ParseHeader(im->data, length, &h);
    uint64_t need = parsed < 0 ? 0 : NeededBuffer(h);
    if (parsed < 0 || (need > 0 && (!im->buffer || need > uint64_t(uint32_t(im->bufferSize))))) {
        // A frame that cannot be decoded into this image is not kept: the image draws nothing
        // until good data arrives.
        im->data = nullptr;
        im->dataLength = 0;
        return kVvlBadData;
    }
    im->hdr = h;
    TakeSize(im);
    im->type = h.inter ? 1 : (h.partial ? 2 : 0);
    return kVvlOk;
}
}  // namespace

XImage* VVL_CheckImage(XImage* image, int* result) {
    if (!image) {
        *result = kVvlNull;
        return nullptr;
    }
    if (!ImageLive(image)) {
        *result = kVvlNotInUse;
        return nullptr;
    }
    *result = kVvlOk;
    return image;
}

VScreen* VVL_CheckScreen(VScreen* screen, int* result) {
    if (!screen) {
        *result = kVvlNull;
        return nullptr;
    }
    if (!ScreenLive(screen)) {
        *result = kVvlNotInUse;
        return nullptr;
    }
    *result = kVvlOk;
    return screen;
}

int VVL_PixelBytes(int format) {
    if (format == 1 || format == 6) return 1;
    if (format == 2 || format == 5) return 2;
    return 3;
}

int VVL_Is565() { return g_565; }

extern "C" {

VvlResult Vvl_InitVideo(int screens, int images) {
    // Pools that still exist are released first, so a second start leaks nothing.
    if (g_screens || g_images) Vvl_ExitVideo();
    VVL_BuildBlitterRegistry();
    if (screens < 0) screens = 0;
    if (images < 0) images = 0;
    if (screens > 0) {
        g_screens = static_cast<VScreen*>(VVL_AllocZeroed(size_t(screens), sizeof(VScreen)));
        if (!g_screens) return kVvlNoMemory;
    }
    if (images > 0) {
        g_images = static_cast<XImage*>(VVL_AllocZeroed(size_t(images), sizeof(XImage)));
        if (!g_images) {
            VVL_Free(g_screens);
            g_screens = nullptr;
            return kVvlNoMemory;
        }
        for (int i = 0; i < images; ++i) g_images[i].hdr = FrameHeader{};
    }
    g_screenCount = screens;
    g_imageCount = images;
    VVL_ResetEscapeCache();
    VVL_YuvReset();
    return kVvlOk;
}

void Vvl_ExitVideo(void) {
    for (int i = 0; i < g_screenCount; ++i) {
        VScreen* s = &g_screens[i];
        Vvl_DestroyVScreen(s);
        // Copied colour tables stay with a slot for its next use; they go with the pool.
        if (s->flags & kScreenOwnTables) VVL_Free(const_cast<uint8_t*>(s->table1));
        s->flags = 0;
        s->table1 = s->table2 = nullptr;
    }
    for (int i = 0; i < g_imageCount; ++i) Vvl_DestroyXImage(&g_images[i]);
    VVL_Free(g_screens);
    VVL_Free(g_images);
    g_screens = nullptr;
    g_images = nullptr;
    g_screenCount = 0;
    g_imageCount = 0;
}

VScreen* Vvl_CreateVScreen(void* surface, int format, int pitch, int height) {
    for (int i = 0; i < g_screenCount; ++i) {
        VScreen* s = &g_screens[i];
        if (s->flags & kSlotInUse) continue;
        s->flags |= kSlotInUse;
        s->blitterOverride = -1;
        Vvl_AlterVScreen(s, surface, format, pitch, height);
        s->background = nullptr;
        s->backA = 0;
        s->backB = 0;
        s->quality = 0;
        return s;
    }
    return nullptr;
}

void Vvl_DestroyVScreen(VScreen* screen) {
    if (!IsSlot(screen, g_screens, g_screenCount)) return;
    screen->flags &= ~kSlotInUse;
    screen->surface = nullptr;
}

VvlResult Vvl_AlterVScreen(VScreen* screen, void* surface, int format, int pitch, int height) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    if (surface) s->surface = static_cast<uint8_t*>(surface);
    if (format) s->format = format;
    if (pitch != -1) s->pitch = int16_t(pitch);
    if (height != -1) s->height = int16_t(height);
    return kVvlOk;
}

VvlResult Vvl_AlterVScreenClip(VScreen* screen, int x, int y, int w, int h) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    if (x >= 0) s->clipX = Even(x);
    if (y >= 0) s->clipY = int16_t(y);
    if (w >= 0) s->clipW = Even(w);
    if (h >= 0) s->clipH = int16_t(h);
    return kVvlOk;
}

VvlResult Vvl_AlterVScreenView(VScreen* screen, int x, int y, int w, int h) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    if (x >= 0) s->viewX = Even(x);
    if (y >= 0) s->viewY = int16_t(y);
    if (w >= 0) s->viewW = Even(w);
    if (h >= 0) s->viewH = int16_t(h);
    return kVvlOk;
}

VvlResult Vvl_AlterVScreenBackground(VScreen* screen, void* address, int, int a, int b, int c) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    if (address) s->background = address;
    if (a != -1) s->backA = int16_t(a);
    if (b != -1) s->backB = int16_t(b);
    if (c != -1) s->backC = int16_t(c);
    return kVvlOk;
}

VvlResult Vvl_GetVScreenView(VScreen* screen, int* x, int* y, int* w, int* h) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    if (x) *x = s->viewX;
    if (y) *y = s->viewY;
    if (w) *w = s->viewW;
    if (h) *h = s->viewH;
    return kVvlOk;
}

int Vvl_SetVScreenBlitQuality(VScreen* screen, int quality) {
    int r;
    VScreen* s = VVL_CheckScreen(screen, &r);
    if (!s) return r;
    int old = s->quality;
    s->quality = quality;
    return old;
}

int Vvl_GetVScreenBlitQuality(VScreen* screen) {
    return IsSlot(screen, g_screens, g_screenCount) ? screen->quality : 0;
}

void* Vvl_GetVScreenAddr(VScreen* screen) {
    return IsSlot(screen, g_screens, g_screenCount) ? screen->surface : nullptr;
}

XImage* Vvl_CreateXImage(const void* frame) { return CreateImage(frame, SIZE_MAX); }

XImage* Vvl_CreateXImageLen(const void* frame, size_t length) {
    return CreateImage(frame, frame ? length : 0);
}

void Vvl_DestroyXImage(XImage* image) {
    if (!ImageLive(image)) return;
    FreeImageBuffers(image);
    image->flags &= ~kSlotInUse;
    image->data = nullptr;
    image->dataLength = 0;
}

VvlResult Vvl_AlterXImageData(XImage* image, const void* frame) { return AlterData(image, frame, SIZE_MAX); }

VvlResult Vvl_AlterXImageDataLen(XImage* image, const void* frame, size_t length) {
    return AlterData(image, frame, length);
}

VvlResult Vvl_MoveXImage(XImage* image, int mode, int x, int y) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    if (mode == 1) {
        im->x += x;
        im->y += y;
    } else {
        im->x = x;
        im->y = y;
    }
    return kVvlOk;
}

VvlResult Vvl_AlterXImageSpriteModes(XImage* image, int a, int b) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    im->spriteA = a;
    im->spriteB = int16_t(b);
    return kVvlOk;
}

int Vvl_GetXImageColorDepth(XImage* image) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    return im->hdr.depthCode == 3 ? 3 : 2;
}

VvlResult Vvl_GetXImageDirtyXYWH(XImage* image, int* x, int* y, int* w, int* h) {
    // This export alone reports a null handle as -1 and a free slot as -2.
    if (!image) return -1;
    if (!ImageLive(image)) return -2;
    if (x) *x = image->x + image->hdr.S16(vvlfmt::kHdrPartX);
    if (y) *y = image->y + image->hdr.S16(vvlfmt::kHdrPartY);
    if (w) *w = image->width;
    if (h) *h = image->height;
    return kVvlOk;
}

VvlResult Vvl_GetXImageXYWH(XImage* image, int* x, int* y, int* w, int* h) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    if (x) *x = im->x;
    if (y) *y = im->y;
    int ww = im->dispW, hh = im->dispH;
    if (im->hdr.partial) {
        ww = im->hdr.U16(vvlfmt::kHdrWidth);
        hh = im->hdr.U16(vvlfmt::kHdrHeight);
    }
    if (w) *w = ww;
    if (h) *h = hh;
    return kVvlOk;
}

int Vvl_GetXImageType(XImage* image) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    return im->type;
}

int Vvl_IsXImageKeyFrame(XImage* image) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    if (im->hdr.Variant() > 1 && im->hdr.inter) return im->hdr.key;
    return 1;
}

void* Vvl_GetXImageFrameBuffer(XImage* image) {
    if (!ImageLive(image) || image->hdr.depthCode == 3 || !image->buffer) return nullptr;
    return image->buffer + int64_t(image->width) * 2;
}

VScreen* Vvl_DeriveVScreenFromXImage(XImage* image) {
    if (!ImageLive(image) || image->type != 1) return nullptr;
    int depth = Vvl_GetXImageColorDepth(image);
    if (depth <= 0) return nullptr;
    // The screen covers exactly the frame buffer: its rows are the decode width apart and it
    // has the decode height (the displayed size may be larger and would run past the buffer).
    return Vvl_CreateVScreen(Vvl_GetXImageFrameBuffer(image), depth, image->width * 2, image->height);
}

XImage* Vvl_AlterXImage(XImage* image, const void* frame, int mode, int depth, int width, int height) {
    if (image) Vvl_DestroyXImage(image);
    XImage* im = Vvl_CreateXImage(frame);
    if (!im || frame) return im;
    FrameHeader h;
    h.width = uint32_t(width < 0 ? 0 : width);
    h.height = uint32_t(height < 0 ? 0 : height);
    h.h[vvlfmt::kHdrCodec] = uint8_t(depth == 3 ? 9 : 2);
    h.inter = mode == 1 ? vvlfmt::kFlagInter : 0;
    h.key = h.inter ? 0 : 1;
    h.partial = mode == 2 ? vvlfmt::kFlagPartial : 0;
    h.depthCode = depth == 3 ? 3 : 2;
    h.is565 = int16_t(g_565);
    im->hdr = h;
    if (!SetUpImage(im)) {
        Vvl_DestroyXImage(im);
        return nullptr;
    }
    return im;
}

XImage* Vvl_CreateGenericXImage(const void* frame, int height, int width, int mode) {
    XImage* im = Vvl_CreateXImage(nullptr);
    if (!im) return nullptr;
    return Vvl_AlterXImage(im, frame, mode, 2, width, height);
}

VvlResult Vvl_SetXImageBlitAll(XImage* image) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    im->flags |= kImageRedrawAll;
    return kVvlOk;
}

VvlResult Vvl_plixImageToVScreen(XImage* image, VScreen* screen) { return VVL_Draw(image, screen, false); }

VvlResult Vvl_BlitXImageToVScreen(XImage* image, VScreen* screen) { return VVL_Draw(image, screen, true); }

int Vvl_Decompress16BitAs565(int on) {
    int old = g_565;
    g_565 = on ? 1 : 0;
    return old;
}

}  // extern "C"
