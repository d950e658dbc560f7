// The .aud writer and the PCM it is filled with.
#include <algorithm>
#include <cmath>

#include "datakit/aud.h"
#include "datakit/bytes.h"

namespace dk {

std::vector<uint8_t> AudBytes(const AudSound& sound) {
    const uint16_t align = static_cast<uint16_t>(sound.channels * sound.bits / 8);
    Bytes b;
    b.u32(kAudVersion).u32(static_cast<uint32_t>(sound.data.size()));
    b.u16(1).u16(sound.channels).u32(sound.rate).u32(sound.rate * align).u16(align).u16(sound.bits).u16(0);
    b.u16(0);  // padding
    b.raw(sound.data);
    return b.data;
}

AudSound AudFromSamples(const std::vector<float>& samples, uint32_t rate, uint16_t bits, uint16_t channels) {
    AudSound sound;
    sound.channels = channels;
    sound.rate = rate;
    sound.bits = bits;
    Bytes b;
    for (float s : samples) {
        const double v = std::clamp(static_cast<double>(s), -1.0, 1.0);
        for (uint16_t c = 0; c < channels; ++c) {
            if (bits == 8)
                b.u8(static_cast<uint32_t>(std::lround(128.0 + v * 127.0)));
            else
                b.i16(static_cast<int32_t>(std::lround(v * 32767.0)));
        }
    }
    sound.data = std::move(b.data);
    return sound;
}

std::vector<float> SineSamples(double hz, uint32_t rate, uint32_t frames, double amplitude) {
    std::vector<float> out(frames);
    const double step = 2.0 * 3.14159265358979323846 * hz / rate;
    for (uint32_t i = 0; i < frames; ++i)
        out[i] = static_cast<float>(amplitude * std::sin(step * i));
    return out;
}

}  // namespace dk
