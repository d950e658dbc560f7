// Archives: the input is a .muf file. It is opened as an archive; every entry of its directory is
// looked up by name and read whole through the shared stream, with a seek back and a read past
// the end, then the archive is closed.
#include <string>
#include <vector>

#include "common/muf.h"
#include "common/mem.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int ready = MEM_ResetTracker();
    (void)ready;
    fz::Scratch();
    g_MufReady = 1;
    if (!fz::Put("fuzz.muf", data, size)) return 0;
    if (MUF_OpenArchive("fuzz.muf") == MUF_OK && g_MufArchives) {
        // The names are copied first: a lookup moves the shared stream, never the directory.
        std::vector<std::string> names;
        for (uint32_t i = 0; i < g_MufArchives->entryCount && names.size() < 64; ++i)
            names.emplace_back(g_MufArchives->entries[i].name);
        std::vector<uint8_t> buffer(4096);
        for (const std::string& name : names) {
            uint32_t entrySize = 0;
            MufStream* s = MUF_Find(name.c_str(), &entrySize);
            if (!s) continue;
            while (MUF_Read(buffer.data(), 1, buffer.size(), s) == buffer.size()) {}
            MUF_Seek(s, 0, SEEK_SET);
            MUF_Read(buffer.data(), 1, 16, s);
            MUF_Seek(s, long(entrySize) + 8, SEEK_SET);
            MUF_Read(buffer.data(), 1, 16, s);
            MUF_Close(s);
        }
        MUF_CloseArchive("fuzz.muf");
    }
    MUF_CloseAll();
    return 0;
}
