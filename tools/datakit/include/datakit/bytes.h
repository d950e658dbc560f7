// Little-endian byte buffers for the writers of the data kit: every format is written field by
// field in its stated byte order, never by copying a struct.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace dk {

class Bytes {
public:
    std::vector<uint8_t> data;

    Bytes& u8(uint32_t v) { data.push_back(uint8_t(v)); return *this; }
    Bytes& u16(uint32_t v) { u8(v); u8(v >> 8); return *this; }
    Bytes& u32(uint32_t v) { u16(v); u16(v >> 16); return *this; }
    Bytes& i16(int32_t v) { return u16(uint32_t(v)); }
    Bytes& i32(int32_t v) { return u32(uint32_t(v)); }
    Bytes& u16be(uint32_t v) { u8(v >> 8); u8(v); return *this; }
    Bytes& u32be(uint32_t v) { u16be(v >> 16); u16be(v); return *this; }
    Bytes& f32(float f) { uint32_t v; std::memcpy(&v, &f, 4); return u32(v); }
    Bytes& raw(const void* p, size_t n) {
        auto b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& v) { return raw(v.data(), v.size()); }
    Bytes& str(const std::string& s) { return raw(s.data(), s.size()); }
    // A text in a fixed-size field, zero padded (cut to fit, always leaving the terminator).
    Bytes& fixed(const std::string& s, size_t width) {
        size_t n = s.size() < width ? s.size() : (width ? width - 1 : 0);
        raw(s.data(), n);
        data.insert(data.end(), width - n, 0);
        return *this;
    }
    Bytes& zeros(size_t n) { data.insert(data.end(), n, 0); return *this; }
    // Overwrites a 32-bit little-endian value at an earlier position (sizes, offsets).
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + i] = uint8_t(v >> (8 * i));
    }
    size_t size() const { return data.size(); }
};

// Writes bytes to a file, creating parent directories; false on failure.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::string& path, const std::string& text);

}  // namespace dk
