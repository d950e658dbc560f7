// Movie frames for the video library: the frame header writer shared by the kit's video
// encoders, and 16-bit pixel helpers (555 and 565 layouts).
#pragma once
#include <cstdint>
#include <vector>

namespace dk {

// The fields of a frame header as an encoder sets them.
struct VvlHeader {
    int length = 24;     // header length L, 16..127 (the payload starts there)
    uint8_t seed = 0x5A; // frame byte 1: the free start of the header chain
    int codec = 2;       // 0 none, 1..16 row codecs, 17 YUV nibble-delta
    int deltaSet = 0;
    int escape = 1;
    int width = 0, height = 0;
    int revision = 2;
    int variant = 2;
    int flags = 0;       // 0x04 stretch, 0x08 inter stream, 0x10 key frame, 0x20 partial frame
    int partX = 0, partY = 0, partW = 0, partH = 0;
};

// The length byte that gives header length L (bit 4 set when bits 5-7 are zero, so that the byte
// is never below 16).
uint8_t VvlLengthByte(int length);

// The header bytes: max(L, 23) bytes (the chained body always fills bytes 1..22).
std::vector<uint8_t> VvlWriteHeader(const VvlHeader& h);

// 16-bit pixels.
struct VvlRgb {
    int r, g, b;  // 0..255
};
uint16_t VvlPack(VvlRgb c, bool is565);
VvlRgb VvlUnpack(uint16_t p, bool is565);  // channels scaled back to 0..255
// Largest per-channel difference of two pixels, in units of the 5-bit channel.
int VvlChannelDiff(uint16_t a, uint16_t b, bool is565);

}  // namespace dk
