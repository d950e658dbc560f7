// Helpers for the XDR tests: byte strings written out in hex, encoding a record into a growable
// stream, and decoding from a buffer of exactly the given bytes (so a read past them is caught).
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "krxdr.h"

namespace kx {

using Bytes = std::vector<uint8_t>;

// "00 01 ff" (any white space, or none) to bytes.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back((uint8_t)(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

inline std::string ToHex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// Encodes with `routine` into a growable stream; `ok` gets the routine's result.
template <class Routine, class T>
Bytes Encode(Routine routine, T* object, bool* ok = nullptr) {
    XDR xdrs;
    xdrdmem_create(&xdrs, nullptr, 0, XDR_ENCODE);
    const bool done = routine(&xdrs, object) != 0;
    if (ok) *ok = done;
    const u_int size = XDR_GETPOS(&xdrs);
    Bytes out(xdrs.x_base, xdrs.x_base + size);
    XDR_DESTROY(&xdrs);
    return out;
}

// Decodes `bytes` with `routine` from a buffer holding exactly them, at `offset` bytes into an
// allocation (1 makes the buffer unaligned).
template <class Routine, class T>
bool Decode(const Bytes& bytes, Routine routine, T* object, size_t offset = 0, u_int* left = nullptr) {
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[bytes.size() + offset + 1]);
    if (!bytes.empty()) memcpy(buffer.get() + offset, bytes.data(), bytes.size());
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(buffer.get() + offset), (u_int)bytes.size(), XDR_DECODE);
    const bool done = routine(&xdrs, object) != 0;
    if (left) *left = xdrs.x_handy;
    return done;
}

// Releases what a decode allocated: through krxdr_free for a plain routine, else by running the
// routine on a stream in free mode.
template <class Routine, class T>
void Free(Routine routine, T* object) {
    using Plain = int (*)(XDR*, T*);
    if constexpr (std::is_convertible_v<Routine, Plain>) {
        krxdr_free(reinterpret_cast<xdrproc_t>(static_cast<Plain>(routine)), object);
    } else {
        XDR xdrs;
        memset(&xdrs, 0, sizeof xdrs);
        xdrs.x_op = XDR_FREE;
        routine(&xdrs, object);
    }
}

}  // namespace kx
