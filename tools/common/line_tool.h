// What the line-driven network tools (dptool, nettool) share: their answer lines and the hex text
// of message bytes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// One answer line on stdout, flushed at once: the tests read the tools line by line.
inline void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Bytes as lower-case hex, two digits each.
inline std::string Hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

// Hex text back into bytes: false for an odd length or a character that is not a hex digit.
inline bool FromHex(const std::string& text, std::vector<uint8_t>* out) {
    if (text.size() % 2) return false;
    out->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
        if (*end) return false;
        out->push_back(uint8_t(v));
    }
    return true;
}
