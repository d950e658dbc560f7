// Test encoder of the row codec (codec types 1, 2, 3, 4, 6 and 8): key, inter and partial
// frames, each with the picture the decoder will hold afterwards, worked out by the encoder's
// own model of the decoder. The code stream is chosen greedily, entry by entry, to keep the
// decoded picture close to the source.
#pragma once
#include <cstdint>
#include <vector>

namespace dk {

struct VvlRowParams {
    int codec = 2;             // 1, 2, 3, 4, 6 or 8
    int deltaSet = 0;          // 0..3
    int escape = 1;            // 1..3 (odd codec types always use source 1)
    int variant = 2;           // 1..3; flags need 2 or 3
    bool is565 = false;        // the 16-bit layout the decoder is set to
    bool stretch = false;      // header flag 0x04
    bool interStream = false;  // header flag 0x08: the image keeps a frame buffer
    bool key = true;           // header flag 0x10 (inter streams)
    int skipTolerance = 0;     // inter frames: blocks within this many 5-bit channel steps of the
                               // previous picture are left unchanged
    uint8_t seed = 0x5A;       // first byte of the header chain
};

struct VvlEncoded {
    std::vector<uint8_t> frame;      // empty when the parameters are not encodable
    std::vector<uint16_t> decoded;   // the decoded picture (partial frames: the region as shown)
    std::vector<uint8_t> unchanged;  // inter frames: 1 per 4x4 block left unchanged (group rows)
};

// A whole picture of w x h pixels (16-bit, in the decoder's layout). previous is the picture
// the decoder holds from the frame before (inter frames that are not key frames), else null.
// Inter frames need h to be a multiple of 4.
VvlEncoded VvlEncodeRowFrame(const VvlRowParams& p, int w, int h, const std::vector<uint16_t>& source,
                             const std::vector<uint16_t>* previous);

// A partial frame of an intra-only stream: the region (x, y, w, h) of a fullW x fullH picture.
// under is what the screen shows under the region (w*h pixels); codes holds the map code 0..3
// of every 4x4 block of the region (rows of blocks); empty codes take 0 where the source block
// equals `under` and 1 elsewhere. h must be a multiple of 4.
VvlEncoded VvlEncodeRowPartial(const VvlRowParams& p, int x, int y, int w, int h, int fullW, int fullH,
                               const std::vector<uint16_t>& source, const std::vector<uint16_t>& under,
                               const std::vector<uint8_t>& codes);

}  // namespace dk
