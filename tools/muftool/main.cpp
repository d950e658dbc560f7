// muftool: pack a directory into a .muf archive, list an archive, or read one entry of it. The
// reading commands go through the game's archive layer, so an archive reads here exactly as the
// game reads it (names matched the same way, bad archives refused the same way).
#include <cstdio>
#include <cstring>
#include <string>

#include "datakit/muf_writer.h"
#include "common/muf.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: muftool pack ARCHIVE DIR\n"
                 "       muftool list ARCHIVE\n"
                 "       muftool cat ARCHIVE NAME\n"
                 "       muftool extract ARCHIVE NAME OUTFILE\n");
    return 2;
}

const char* OpenError(int code) {
    switch (code) {
    case MUF_ERR_MEMORY: return "out of memory";
    case MUF_ERR_OPEN: return "cannot open";
    case MUF_ERR_BAD_ARCHIVE: return "not a valid archive (refused)";
    default: return "cannot use";
    }
}

// Opens the one archive the command works on; false with a message when it is refused.
bool OpenOne(const char* path) {
    g_MufReady = 1;
    int code = MUF_OpenArchive(path);
    if (code == MUF_OK) return true;
    std::fprintf(stderr, "muftool: %s: %s\n", path, OpenError(code));
    return false;
}

// Copies the entry NAME to out; false with a message when it is missing or a read fails.
bool CopyEntry(const char* archive, const char* name, FILE* out) {
    uint32_t size = 0;
    MufStream* s = MUF_Find(name, &size);
    if (!s) {
        std::fprintf(stderr, "muftool: %s: no entry %s\n", archive, name);
        return false;
    }
    char buffer[8192];
    for (uint32_t left = size; left > 0;) {
        size_t chunk = left < sizeof(buffer) ? left : sizeof(buffer);
        if (MUF_Read(buffer, 1, chunk, s) != chunk) {
            std::fprintf(stderr, "muftool: %s: read error in %s\n", archive, name);
            return false;
        }
        if (std::fwrite(buffer, 1, chunk, out) != chunk) {
            std::fprintf(stderr, "muftool: write error\n");
            return false;
        }
        left -= uint32_t(chunk);
    }
    return true;
}

int Run(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string cmd = argv[1];
    const char* archive = argv[2];
    if (cmd == "pack" && argc == 4) {
        if (dk::PackMuf(archive, argv[3])) return 0;
        std::fprintf(stderr, "muftool: cannot pack %s into %s\n", argv[3], archive);
        return 1;
    }
    if (cmd == "list" && argc == 3) {
        if (!OpenOne(archive)) return 1;
        const MufArchive* a = g_MufArchives;
        for (uint32_t i = 0; i < a->entryCount; ++i)
            std::printf("%s\t%u\t%u\n", a->entries[i].name, a->entries[i].dataOffset, a->entries[i].dataSize);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (cmd == "cat" && argc == 4) {
        if (!OpenOne(archive)) return 1;
        return CopyEntry(archive, argv[3], stdout) && std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (cmd == "extract" && argc == 5) {
        if (!OpenOne(archive)) return 1;
        FILE* out = std::fopen(argv[4], "wb");
        if (!out) {
            std::fprintf(stderr, "muftool: cannot create %s\n", argv[4]);
            return 1;
        }
        bool ok = CopyEntry(archive, argv[3], out);
        if (std::fclose(out) != 0) ok = false;
        if (!ok) std::remove(argv[4]);
        return ok ? 0 : 1;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    int code = Run(argc, argv);
    MUF_CloseAll();
    return code;
}
