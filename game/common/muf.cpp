// The archive file layer: opening and checking .muf archives, name lookup newest first, entry-
// bounded streams with the disk as fallback, extraction to a temporary file, whole-file load and
// save, and the install paths from the registry.
#include "common/muf.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_set>

#include "plat.h"
#include "registry.h"
#include "common/mem.h"

MufArchive* g_MufArchives = nullptr;
int g_MufReady = 0;
char g_SourcePath[MUF_PATH_MAX] = "";
char g_TargetPath[MUF_PATH_MAX] = "";

namespace {

constexpr const char* kInstallKey = "SOFTWARE\\Brellwick\\Ghoulden\\1.00";
constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kMinEntryBytes = 9;  // offset, size and an empty name's terminator
constexpr size_t kCopyChunk = 8192;

// The four archives in opening order: the installed copy under the target path, else the one
// on the install source. Each opened archive goes to the list head, so the last one here is
// searched first.
struct MufInstallArchive {
    const char* targetName;
    const char* sourceName;
};
constexpr MufInstallArchive kInstallArchives[] = {
    {"sounds.muf", "audio\\sounds.muf"},
    {"maps.muf", "levels\\maps.muf"},
    {"data.muf", "pdata\\data.muf"},
    {"patches.muf", "patches.muf"},
};

char g_MufSourceName[MUF_PATH_MAX];     // result of MUF_MakeSourcePath
std::string g_MufTempDir;               // our folder inside the process's temporary directory
std::string g_MufTempName = "muftemp";  // result of MUF_ExtractToTemp
uint8_t g_MufCopyBuffer[kCopyChunk];
// Disk streams handed out by MUF_Open and not yet closed. Only these are ever closed, so a
// stale or foreign pointer given to MUF_Close or MUF_Read is ignored.
std::unordered_set<MufStream*> g_MufDiskStreams;

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string DiskPath(const char* gamePath) { return plat::ResolvePath(gamePath); }

// Opens a regular file for binary reading and gives its size; null for anything else.
FILE* OpenRegularFile(const char* gamePath, uint64_t* size) {
    FILE* f = std::fopen(DiskPath(gamePath).c_str(), "rb");
    if (!f) return nullptr;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    *size = uint64_t(st.st_size);
    return f;
}

void FreeArchive(MufArchive* a) {
    if (a->file.file) std::fclose(a->file.file);
    std::free(a->entries);
    std::free(a->directory);
    std::free(a);
}

void UnlinkArchive(MufArchive* a) {
    if (a->prev) a->prev->next = a->next;
    else g_MufArchives = a->next;
    if (a->next) a->next->prev = a->prev;
}

void CloseEveryArchive() {
    while (g_MufArchives) {
        MufArchive* a = g_MufArchives;
        UnlinkArchive(a);
        FreeArchive(a);
    }
}

// Walks the directory of a freshly read archive and fills its entry table. Every entry's fixed
// part and terminator must lie inside the directory and every data range inside the file.
bool ParseDirectory(MufArchive* a, uint64_t fileSize) {
    uint32_t at = 0;
    for (uint32_t i = 0; i < a->entryCount; ++i) {
        if (a->directoryBytes - at < kMinEntryBytes) return false;
        const uint8_t* p = a->directory + at;
        uint32_t nameAt = at + 8;
        const void* nul = std::memchr(a->directory + nameAt, 0, a->directoryBytes - nameAt);
        if (!nul) return false;
        MufDirectoryEntry& e = a->entries[i];
        e.dataOffset = ReadLe32(p);
        e.dataSize = ReadLe32(p + 4);
        e.name = reinterpret_cast<const char*>(a->directory + nameAt);
        if (uint64_t(e.dataOffset) + e.dataSize > fileSize) return false;
        at = uint32_t(static_cast<const uint8_t*>(nul) - a->directory) + 1;
    }
    return true;
}

// Is stream the shared stream of an open archive?
bool IsArchiveStream(const MufStream* stream) {
    for (MufArchive* a = g_MufArchives; a; a = a->next)
        if (&a->file == stream) return true;
    return false;
}

// The upper-case form of a lookup name; false when it does not fit.
bool UpperName(const char* name, char (&out)[MUF_PATH_MAX]) {
    size_t n = std::strlen(name);
    if (n >= size_t(MUF_PATH_MAX)) return false;
    for (size_t i = 0; i <= n; ++i) {
        char c = name[i];
        out[i] = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }
    return true;
}

// Reads one registry string value of at most MUF_PATH_MAX bytes into out.
bool ReadPathValue(HKEY key, const char* valueName, char (&out)[MUF_PATH_MAX]) {
    BYTE data[MUF_PATH_MAX];
    DWORD type = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, valueName, nullptr, &type, data, &size) != ERROR_SUCCESS) return false;
    if (size > sizeof(data)) return false;
    const void* nul = std::memchr(data, 0, size);
    size_t len = nul ? size_t(static_cast<const BYTE*>(nul) - data) : size_t(size);
    if (len >= sizeof(out)) return false;
    std::memcpy(out, data, len);
    out[len] = 0;
    return true;
}

// Gives a non-empty install path its trailing separator. A path with no room left for it is
// cleared rather than joined to names without one.
bool EndWithSeparator(char (&path)[MUF_PATH_MAX]) {
    size_t len = std::strlen(path);
    if (len == 0 || path[len - 1] == '\\' || path[len - 1] == '/') return true;
    if (len + 1 >= sizeof(path)) {
        path[0] = 0;
        return false;
    }
    path[len] = '\\';
    path[len + 1] = 0;
    return true;
}

// Our folder for extracted entries, made on first use; empty when it cannot be made.
const std::string& TempFolder() {
    if (g_MufTempDir.empty()) {
        std::string dir = plat::TempDir();
        if (dir.empty()) return g_MufTempDir;
        if (dir.back() != '/') dir += '/';
        dir += "muf";
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (!ec) g_MufTempDir = dir;
    }
    return g_MufTempDir;
}

}  // namespace

int MUF_ReadInstallPaths() {
    g_SourcePath[0] = 0;
    g_TargetPath[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    bool ok = ReadPathValue(key, "SourcePath", g_SourcePath) && ReadPathValue(key, "TargetPath", g_TargetPath);
    RegCloseKey(key);
    // A path read before a failure is kept, and it too gets its separator: joined names must
    // not run into the directory name.
    ok = EndWithSeparator(g_SourcePath) && ok;
    ok = EndWithSeparator(g_TargetPath) && ok;
    return ok ? 1 : 0;
}

char* MUF_MakeSourcePath(const char* relativeName) {
    int n = std::snprintf(g_MufSourceName, sizeof(g_MufSourceName), "%s%s", g_SourcePath,
                          relativeName ? relativeName : "");
    if (n < 0 || n >= int(sizeof(g_MufSourceName))) g_MufSourceName[0] = 0;
    return g_MufSourceName;
}

const char* MUF_Init() {
    static char damaged[MUF_PATH_MAX * 2];
    damaged[0] = '\0';
    MUF_ReadInstallPaths();
    if (g_MufReady) CloseEveryArchive();
    g_MufReady = 1;
    for (const MufInstallArchive& arch : kInstallArchives) {
        const std::string target = std::string(g_TargetPath) + arch.targetName;
        if (MUF_OpenArchive(target.c_str()) == MUF_OK) continue;
        const std::string source = std::string(g_SourcePath) + arch.sourceName;
        if (MUF_OpenArchive(source.c_str()) == MUF_OK) continue;
        // Neither copy opened. A missing archive is simply not used; one that is there but cannot
        // be read as an archive (a folder, a cut or unreadable file) is reported.
        if (damaged[0]) continue;
        struct stat st;
        for (const std::string* path : {&target, &source}) {
            if (stat(DiskPath(path->c_str()).c_str(), &st) != 0) continue;
            std::snprintf(damaged, sizeof damaged, "%s", path->c_str());
            break;
        }
    }
    return damaged[0] ? damaged : nullptr;
}

int MUF_OpenArchive(const char* path) {
    if (!g_MufReady) return MUF_ERR_NOT_READY;
    if (!path || std::strlen(path) >= size_t(MUF_PATH_MAX)) return MUF_ERR_OPEN;
    uint64_t fileSize = 0;
    FILE* f = OpenRegularFile(path, &fileSize);
    if (!f) return MUF_ERR_OPEN;

    auto* a = static_cast<MufArchive*>(std::calloc(1, sizeof(MufArchive)));
    if (!a) {
        std::fclose(f);
        return MUF_ERR_MEMORY;
    }
    a->file.file = f;
    a->file.archive = a;

    uint8_t header[kHeaderBytes];
    if (std::fread(header, 1, kHeaderBytes, f) != kHeaderBytes) {
        FreeArchive(a);
        return MUF_ERR_BAD_ARCHIVE;
    }
    a->entryCount = ReadLe32(header);
    a->directoryBytes = ReadLe32(header + 4);
    // Nothing is allocated for counts the file cannot hold.
    if (a->directoryBytes > fileSize - kHeaderBytes || a->entryCount > a->directoryBytes / kMinEntryBytes) {
        FreeArchive(a);
        return MUF_ERR_BAD_ARCHIVE;
    }
    a->directory = static_cast<uint8_t*>(std::malloc(a->directoryBytes ? a->directoryBytes : 1));
    a->entries = static_cast<MufDirectoryEntry*>(
        std::calloc(a->entryCount ? a->entryCount : 1, sizeof(MufDirectoryEntry)));
    if (!a->directory || !a->entries) {
        FreeArchive(a);
        return MUF_ERR_MEMORY;
    }
    if (std::fread(a->directory, 1, a->directoryBytes, f) != a->directoryBytes || !ParseDirectory(a, fileSize)) {
        FreeArchive(a);
        return MUF_ERR_BAD_ARCHIVE;
    }

    std::memcpy(a->path, path, std::strlen(path) + 1);
    a->next = g_MufArchives;
    if (g_MufArchives) g_MufArchives->prev = a;
    g_MufArchives = a;
    return MUF_OK;
}

int MUF_CloseArchive(const char* path) {
    if (!g_MufReady) return MUF_ERR_NOT_READY;
    if (!path) return MUF_ERR_OPEN;
    for (MufArchive* a = g_MufArchives; a; a = a->next) {
        if (std::strcmp(a->path, path) == 0) {
            UnlinkArchive(a);
            FreeArchive(a);
            return MUF_OK;
        }
    }
    return MUF_ERR_OPEN;
}

void MUF_CloseAll() {
    CloseEveryArchive();
    if (!g_MufTempDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(g_MufTempDir, ec);
        g_MufTempDir.clear();
    }
    g_MufReady = 0;
}

MufStream* MUF_Find(const char* name, uint32_t* sizeOut) {
    if (!name) return nullptr;
    char upper[MUF_PATH_MAX];
    if (!UpperName(name, upper)) return nullptr;
    for (MufArchive* a = g_MufArchives; a; a = a->next) {
        for (uint32_t i = 0; i < a->entryCount; ++i) {
            const MufDirectoryEntry& e = a->entries[i];
            if (std::strcmp(e.name, upper) != 0) continue;
            if (fseeko(a->file.file, off_t(e.dataOffset), SEEK_SET) != 0) return nullptr;
            a->file.begin = e.dataOffset;
            a->file.pos = e.dataOffset;
            a->file.end = uint64_t(e.dataOffset) + e.dataSize;
            if (sizeOut) *sizeOut = e.dataSize;
            return &a->file;
        }
    }
    return nullptr;
}

MufStream* MUF_Open(const char* name, const char* /*mode*/) {
    if (!g_MufReady || !name) return nullptr;
    uint32_t size = 0;
    if (MufStream* s = MUF_Find(name, &size)) return s;
    FILE* f = std::fopen(DiskPath(name).c_str(), "rb");
    if (!f) return nullptr;
    auto* s = new MufStream{f, nullptr, 0, 0, 0};
    g_MufDiskStreams.insert(s);
    return s;
}

size_t MUF_Read(void* buffer, size_t size, size_t count, MufStream* stream) {
    if (!g_MufReady || !stream || !buffer || size == 0 || count == 0) return 0;
    if (IsArchiveStream(stream)) {
        if (stream->pos >= stream->end) return 0;
        uint64_t left = stream->end - stream->pos;
        size_t want = 0;
        if (__builtin_mul_overflow(size, count, &want) || want > left) want = size_t(left);
        size_t got = std::fread(buffer, 1, want, stream->file);
        stream->pos += got;
        return got / size;
    }
    if (g_MufDiskStreams.count(stream)) return std::fread(buffer, size, count, stream->file);
    return 0;
}

int MUF_Seek(MufStream* stream, long offset, int whence) {
    if (!g_MufReady || !stream || whence != SEEK_CUR) return 0;
    if (IsArchiveStream(stream)) {
        int64_t target = int64_t(stream->pos) + offset;
        if (target < int64_t(stream->begin)) return -1;
        if (fseeko(stream->file, off_t(target), SEEK_SET) != 0) return -1;
        stream->pos = uint64_t(target);
        return 0;
    }
    if (g_MufDiskStreams.count(stream)) return std::fseek(stream->file, offset, SEEK_CUR) == 0 ? 0 : -1;
    return 0;
}

void MUF_Close(MufStream* stream) {
    // Archive streams stay open for the next lookup. A disk stream is closed even after
    // MUF_CloseAll, so no file is left open behind the caller's back.
    auto it = g_MufDiskStreams.find(stream);
    if (it == g_MufDiskStreams.end()) return;
    g_MufDiskStreams.erase(it);
    std::fclose(stream->file);
    delete stream;
}

const char* MUF_ExtractToTemp(const char* name) {
    if (!g_MufReady || !name) return name;
    uint32_t size = 0;
    MufStream* s = MUF_Find(name, &size);
    if (!s) return name;
    const char* dot = std::strchr(name, '.');
    const char* ext = dot ? dot : ".tmp";
    // The extension comes from an archive's name: it must not lead out of our folder.
    if (std::strpbrk(ext, "/\\")) return name;
    const std::string& dir = TempFolder();
    if (dir.empty()) return name;
    std::string tempName = dir + "/muftemp" + ext;

    FILE* out = std::fopen(tempName.c_str(), "wb");
    if (!out) return name;
    bool ok = true;
    for (uint32_t left = size; left > 0 && ok;) {
        size_t chunk = left < kCopyChunk ? left : kCopyChunk;
        ok = MUF_Read(g_MufCopyBuffer, 1, chunk, s) == chunk && std::fwrite(g_MufCopyBuffer, 1, chunk, out) == chunk;
        left -= uint32_t(chunk);
    }
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::remove(tempName.c_str());
        return name;
    }
    g_MufTempName = tempName;
    return g_MufTempName.c_str();
}

void* MUF_LoadFile(const char* path, uint32_t* sizeOut) {
    if (sizeOut) *sizeOut = 0;
    if (!path) return nullptr;
    uint64_t size = 0;
    FILE* f = OpenRegularFile(path, &size);
    if (!f) return nullptr;
    void* block = nullptr;
    if (size > 0 && size <= UINT32_MAX - sizeof(MemBlockHeader)) block = MEM_Alloc(uint32_t(size), MEM_TAG_FILE);
    if (block && std::fread(block, 1, size, f) != size) {
        MEM_Free(block);
        block = nullptr;
    }
    std::fclose(f);
    if (block && sizeOut) *sizeOut = uint32_t(size);
    return block;
}

int MUF_SaveFile(const char* path, const void* buffer, uint32_t length) {
    if (!path || !buffer || length == 0) return 0;
    FILE* f = std::fopen(DiskPath(path).c_str(), "wb");
    if (!f) return 0;
    bool ok = std::fwrite(buffer, 1, length, f) == length;
    if (std::fclose(f) != 0) ok = false;
    return ok ? 1 : 0;
}
