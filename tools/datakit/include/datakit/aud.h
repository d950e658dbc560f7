// The game's .aud sound files: a 28-byte little-endian header (u32 version 256, u32 data size, the
// 18-byte PCM wave format, 2 padding bytes) and the sample data; and the PCM that fills them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

constexpr uint32_t kAudVersion = 256;
constexpr size_t kAudHeaderBytes = 28;

// PCM sample data: 8-bit unsigned or 16-bit signed little-endian, channels interleaved.
struct AudSound {
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    std::vector<uint8_t> data;
};

// The whole file.
std::vector<uint8_t> AudBytes(const AudSound& sound);

// Samples (-1..1 floats, one per frame, the same in every channel) as PCM of the given shape;
// values outside -1..1 are clipped.
AudSound AudFromSamples(const std::vector<float>& samples, uint32_t rate, uint16_t bits, uint16_t channels);

// A sine of hz at amplitude (0..1), frames long.
std::vector<float> SineSamples(double hz, uint32_t rate, uint32_t frames, double amplitude);

// The sound groups of the game, by group 0..18: each entry's file name ("sounds\<stem>.aud"),
// index 1 first. The demo writes every file they name.
const std::vector<std::vector<std::string>>& SoundGroupFiles();

}  // namespace dk
