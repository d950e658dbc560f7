// Inside the video library: the two pool records, the parsed frame header, the bounded frame
// reader, the escape tables and the functions the library's files share with each other.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vidvex.h"
#include "vidvex_format.h"

// Result codes.
constexpr int kVvlOk = 0;
constexpr int kVvlNotInUse = -1;
constexpr int kVvlNull = -2;
constexpr int kVvlNoMemory = -4;
constexpr int kVvlBadData = -5;
constexpr int kVvlCannotDraw = -6;
constexpr int kVvlBadHeader = -7;

// Record flags.
constexpr uint32_t kSlotInUse = 1;
constexpr uint32_t kScreenOwnTables = 4;   // VScreen: the colour tables are the screen's own copy
constexpr uint32_t kImageRedrawAll = 8;    // XImage: redraw everything at the next draw

// The parsed header of a frame (one per image).
struct FrameHeader {
    uint32_t width = 0, height = 0;  // decode size
    int32_t blockRowBits = 0;
    int32_t blockRowMask = 0;
    int32_t columnShift = 0;
    const uint8_t* escapeSource = nullptr;
    int32_t escapeSourceIndex = 0;   // 1..3: the source the escape tables are built from
    int16_t stretch = 0;             // 0 none, 1 header flag, 2 narrow-picture rule
    int16_t inter = 0;               // flags & 0x08
    int16_t key = 1;                 // flags & 0x10 with inter frames, else 1
    int16_t partial = 0;             // flags & 0x20
    uint16_t length = 0;             // header length L: offset of the payload
    int16_t is565 = 0;               // the library's 16-bit layout when this header was read
    uint8_t h[22] = {};              // unchained header bytes h[1..21]
    uint32_t depthCode = 0;

    int Codec() const { return h[vvlfmt::kHdrCodec]; }
    int Variant() const { return h[vvlfmt::kHdrVariant]; }
    int DeltaSet() const { return h[vvlfmt::kHdrDeltaSet]; }
    int U16(int at) const { return h[at] | (h[at + 1] << 8); }
    int S16(int at) const { return int16_t(uint16_t(U16(at))); }
};

struct VScreen {
    uint8_t* surface;
    uint8_t* lastTarget;
    void* background;
    int32_t format;      // 1 = 8 bits per pixel, 2 = 16 bits per pixel
    int32_t quality;     // blit quality 0..9
    int16_t pitch;
    int16_t height;
    int16_t backA, backB, backC;
    int16_t viewX, viewY, viewW, viewH;
    int16_t clipX, clipY, clipW, clipH;
    uint32_t flags;
    XImage* lastImage;
    const uint8_t* table1;
    const uint8_t* table2;
    int32_t blitterOverride;
};

struct XImage {
    const uint8_t* data;   // the caller's frame
    size_t dataLength;     // its length; SIZE_MAX when the caller gave none
    uint8_t* buffer;       // decode buffer (row buffer, frame buffer or luma plane)
    int32_t bufferSize;
    uint8_t* planeBlock;   // codec types 9..16: chroma plane and luma plane in one block
    int32_t chromaEntries;
    int32_t spriteA;
    int32_t type;          // 0 row buffer, 1 frame buffer, 2 row buffer of partial frames
    int32_t width, height; // decode size
    int32_t x, y;          // position on the screen's view
    int32_t dispW, dispH;  // displayed size
    int32_t frameW;
    int32_t keptRows;
    int16_t spriteB;
    FrameHeader hdr;
    uint32_t flags;
};

// Reads a frame's bytes without ever passing its end: a read past it yields 0 and marks the
// frame as overrun, which the draw then reports as a bad frame.
struct FrameBytes {
    const uint8_t* p = nullptr;
    size_t len = 0;
    bool overrun = false;
    uint8_t At(size_t i) {
        if (i < len) return p[i];
        overrun = true;
        return 0;
    }
};

// Escape tables of the row codec: 256 entries x 4 pair words each, luma, chroma and selector
// words side by side; bit 0 marks an entry's last pair.
struct EscapeTables {
    uint32_t luma[256 * 4];
    uint32_t chroma[256 * 4];
    uint32_t sel[256 * 4];
};

// Shared row buffer of the narrow intra-only streams (never freed).
constexpr int32_t kSharedRowBytes = 1280;

// alloc.cpp
void* VVL_Alloc(size_t size);
void* VVL_AllocZeroed(size_t count, size_t size);
void VVL_Free(void* block);

// pools.cpp
XImage* VVL_CheckImage(XImage* image, int* result);   // null with result -2 / -1
VScreen* VVL_CheckScreen(VScreen* screen, int* result);
int VVL_PixelBytes(int format);
int VVL_Is565();

// header.cpp
// Parses the header (refusing a picture larger than vvlfmt::kMaxPictureWidth x Height): the
// header length L (the payload's offset), 0 for a frame of codec type 0 or an old type-17
// header of length 0, or kVvlBadHeader.
int VVL_ParseHeader(const uint8_t* frame, size_t length, FrameHeader* header);
// The fewest payload bytes a whole frame with this header has: a frame given with fewer bytes
// than L plus this cannot be decoded and is refused before an image allocates for it.
uint64_t VVL_LeastPayload(const FrameHeader& header);
void VVL_ResetEscapeCache();
const EscapeTables& VVL_EnsureEscapeTables(const FrameHeader& header);
int VVL_EscapeRebuildCount();   // tests

// driver.cpp
void VVL_BuildBlitterRegistry();
int VVL_Draw(XImage* image, VScreen* screen, bool redraw);

// yuv17.cpp
void VVL_YuvReset();
void VVL_YuvSelectTable(int variant);
void VVL_YuvEnsureLookup(int is565);
int VVL_YuvLookupBuildCount();  // tests
const int* VVL_YuvWorkingTable(); // tests

inline uint32_t VVL_Ld32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void VVL_St32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline uint16_t VVL_Ld16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void VVL_St16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
