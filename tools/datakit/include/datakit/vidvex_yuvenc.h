// Test encoder of the YUV nibble-delta codec (codec type 17): luma at full resolution and two
// chroma planes with one sample per 4x4 block, coded greedily as delta codes, with the picture
// the decoder will show worked out by the encoder's own model of the decoder. Like the decoder
// it keeps the working delta table and the last codes from frame to frame.
#pragma once
#include <cstdint>
#include <vector>

#include "datakit/vidvex_frame.h"
#include "datakit/vidvex_rowenc.h"

namespace dk {

// Planes of a picture: y has width*height samples, u and v (width/4)*(height/4).
struct VvlYuvPlanes {
    int width = 0, height = 0;
    std::vector<uint8_t> y, u, v;
};

// Planes of an RGB picture (width*height, row by row), chroma averaged over each 4x4 block.
VvlYuvPlanes VvlYuvFromRgb(int width, int height, const std::vector<VvlRgb>& rgb);

class VvlYuvEncoder {
public:
    explicit VvlYuvEncoder(bool is565) : is565_(is565) { Reset(); }
    // Back to the decoder's state after the library starts.
    void Reset();

    // A frame of the planes (width a multiple of 16, height of 4) with variant 4 (4-bit codes),
    // 3 (3-bit) or 2 (2-bit); any other variant carries no codes and repeats the last ones.
    // decoded holds the 16-bit pixels the decoder draws.
    VvlEncoded Encode(const VvlYuvPlanes& src, int variant, uint8_t seed = 0x5A);

    // The planes the decoder reconstructs from the last frame.
    const VvlYuvPlanes& Decoded() const { return decoded_; }
    const int* WorkingTable() const { return deltas_; }

private:
    bool is565_;
    int deltas_[16];
    std::vector<uint8_t> codes_;  // unpacked codes of the last frame
    VvlYuvPlanes decoded_;
};

// The 16-bit pixel of 6-bit luma and chroma look-up indices.
uint16_t VvlYuvPixel(int yIndex, int uIndex, int vIndex, bool is565);

}  // namespace dk
