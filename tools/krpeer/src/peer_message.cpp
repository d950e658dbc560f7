// krpeer's test messages and their checker (see peer_message.h).
#include "peer_message.h"

#include "plat.h"

namespace kp {

namespace {

uint8_t PayloadByte(uint32_t sequence, uint32_t index, uint32_t seed) {
    return (uint8_t)(sequence * 31u + index * 7u + seed + (index >> 8));
}

uint32_t Word(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

}  // namespace

std::vector<uint8_t> MakeMessage(uint32_t sequence, uint32_t length, uint32_t seed) {
    if (length < kHeaderSize) length = kHeaderSize;
    std::vector<uint8_t> m(length);
    for (int i = 0; i < 4; ++i) {
        m[i] = (uint8_t)(length >> (24 - 8 * i));
        m[4 + i] = (uint8_t)(sequence >> (24 - 8 * i));
    }
    for (uint32_t i = kHeaderSize; i < length; ++i) m[i] = PayloadByte(sequence, i, seed);
    return m;
}

std::vector<uint32_t> MessageSizes(uint32_t count, uint32_t maxLength, uint32_t seed) {
    plat::srand(seed);
    std::vector<uint32_t> sizes;
    const uint32_t span = maxLength > kHeaderSize ? maxLength - kHeaderSize + 1 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t r = (uint32_t)plat::rand() << 15 | (uint32_t)plat::rand();
        sizes.push_back(kHeaderSize + r % span);
    }
    return sizes;
}

bool StreamChecker::Feed(const uint8_t* bytes, size_t length) {
    if (!problem_.empty()) return false;
    pending_.insert(pending_.end(), bytes, bytes + length);
    size_t at = 0;
    while (pending_.size() - at >= kHeaderSize) {
        const uint8_t* m = pending_.data() + at;
        const uint32_t total = Word(m), sequence = Word(m + 4);
        if (sequence != intact_) {
            problem_ = "message " + std::to_string(intact_) + " expected, " + std::to_string(sequence) + " found";
            return false;
        }
        if (total < kHeaderSize || total > (1u << 24)) {
            problem_ = "message " + std::to_string(sequence) + " has a bad length " + std::to_string(total);
            return false;
        }
        if (pending_.size() - at < total) break;
        for (uint32_t i = kHeaderSize; i < total; ++i) {
            if (m[i] != PayloadByte(sequence, i, seed_)) {
                problem_ = "message " + std::to_string(sequence) + " damaged at byte " + std::to_string(i);
                return false;
            }
        }
        at += total;
        intact_++;
    }
    pending_.erase(pending_.begin(), pending_.begin() + (long)at);
    return true;
}

}  // namespace kp
