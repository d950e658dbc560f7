// What the harnesses share: a scratch folder of this process as the current folder (readers that
// take a file name find there what the harness wrote) and a little-endian reader of the input's
// own control bytes. Each harness is one LLVMFuzzerTestOneInput over the library code that the
// game, the libraries and the tools call.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "plat.h"

namespace fz {

// The platform's temporary folder of this process (removed at exit), made the current folder on
// first use, with the registry file inside it.
inline const std::string& Scratch() {
    static const std::string dir = [] {
        const std::string d = plat::TempDir();
        if (chdir(d.c_str()) != 0) std::perror("chdir");
        return d;
    }();
    return dir;
}

// Writes bytes to name (relative to the scratch folder); false when it cannot.
inline bool Put(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = Scratch() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}

// Takes control values off the front of the input; zeros once it is used up.
struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t U8() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    uint16_t U16() { return uint16_t(U8() | (U8() << 8)); }
    uint32_t U32() { return uint32_t(U16()) | (uint32_t(U16()) << 16); }
};

}  // namespace fz
