// The test messages of krpeer: each is its total length and its sequence number (big-endian
// 32-bit words) followed by bytes that follow from the sequence number and the seed, so that a
// reader can tell a message that arrived intact and in order from one that was cut, joined,
// repeated, reordered or changed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kp {

constexpr uint32_t kHeaderSize = 8;

std::vector<uint8_t> MakeMessage(uint32_t sequence, uint32_t length, uint32_t seed);

// The sizes of `count` messages, from kHeaderSize to `maxLength`, from the platform's generator.
std::vector<uint32_t> MessageSizes(uint32_t count, uint32_t maxLength, uint32_t seed);

// Reads a byte stream of messages and checks that they are the expected ones, in order.
class StreamChecker {
public:
    explicit StreamChecker(uint32_t seed) : seed_(seed) {}
    // Takes more bytes; false as soon as something is wrong (see Problem()).
    bool Feed(const uint8_t* bytes, size_t length);
    uint32_t Intact() const { return intact_; }
    const std::string& Problem() const { return problem_; }

private:
    uint32_t seed_;
    uint32_t intact_ = 0;
    std::vector<uint8_t> pending_;
    std::string problem_;
};

}  // namespace kp
