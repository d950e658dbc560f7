// The decoding step the ADPCM encoders share (private to the data kit's sources).
#pragma once
#include <cstdint>

#include "sonvex_format.h"

namespace dk::adpcm {

using Chan = svxfmt::Channel;

// Decodes one 4-bit code into the channel as the library's unclamped path does and returns the
// new predictor.
int32_t Step(Chan& c, uint32_t code);
bool InRange(int32_t v);
// The code whose result is closest to target and stays inside 16 bits.
uint32_t BestCode(const Chan& c, int32_t target);

}  // namespace dk::adpcm
