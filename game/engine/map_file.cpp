// What the map readers share: reading a whole map through the archive layer, and the refusal
// message on the debugger output.
#include <cstdio>

#include "engine/map_read.h"
#include "common/muf.h"
#include "win32.h"

bool MAP_ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    MufStream* stream = MUF_Open(path, "rb");
    if (!stream) return false;
    uint8_t chunk[16384];
    for (size_t n; (n = MUF_Read(chunk, 1, sizeof chunk, stream)) > 0;)
        bytes->insert(bytes->end(), chunk, chunk + n);
    MUF_Close(stream);
    return true;
}

int MAP_Refuse(const char* path, const char* what) {
    char line[512];
    std::snprintf(line, sizeof line, "Map refused: %s: %s\n", what ? what : "malformed", path ? path : "");
    OutputDebugStringA(line);
    return MAP_READ_REFUSED;
}
