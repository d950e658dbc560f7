// The archive file layer: every data file of the game is looked up in the open .muf archives
// (the most recently opened first) and, when no archive holds it, read from disk. Archives are
// uncompressed: an 8-byte header (entry count, directory size), a directory of
// {data offset, data size, upper-case name + NUL} entries, and the entry bytes.
//
// Streams. MUF_Open and MUF_Find hand out a MufStream. A disk file gets a stream of its own,
// closed by MUF_Close. An archive entry is read through the archive's one shared stream: every
// lookup in that archive moves it, so only one entry of an archive can be read at a time, and
// MUF_Close leaves it open. A read stops at the end of the entry: a read past it returns what is
// left, then nothing, exactly as a disk file does at its end.
//
// Names are game paths with backslashes ("graphics\maps\town.zlm"). The lookup upper-cases the
// name and compares it exactly with the entry names, so lower case finds an entry but forward
// slashes or a leading ".\" do not (such names fall back to disk). Disk access goes through the
// platform's case-insensitive path resolver. Names of MUF_PATH_MAX characters or more are in no
// archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Longest path or name (with its terminator) the layer keeps or looks up.
constexpr int MUF_PATH_MAX = 256;

// Results of MUF_OpenArchive and MUF_CloseArchive.
enum : int {
    MUF_OK = 0,
    MUF_ERR_MEMORY = 2,       // out of memory
    MUF_ERR_OPEN = 3,         // the file cannot be opened, or (closing) no such archive
    MUF_ERR_NOT_READY = 4,    // MUF_Init has not run
    MUF_ERR_BAD_ARCHIVE = 5,  // header or directory short or inconsistent with the file
};

struct MufArchive;

// An open stream: a disk file, or the shared stream of an archive positioned inside one entry.
struct MufStream {
    FILE* file;
    MufArchive* archive;  // owning archive for its shared stream, null for a disk file
    uint64_t begin;       // archive stream: the current entry's first byte in the file
    uint64_t end;         // archive stream: one past the current entry's last byte
    uint64_t pos;         // archive stream: the position in the file
};

// One directory entry as read from the archive; name points into the archive's directory bytes.
struct MufDirectoryEntry {
    uint32_t dataOffset;  // from the start of the archive file
    uint32_t dataSize;
    const char* name;     // upper case, NUL-terminated, inside the directory
};

// One open archive. The list head is the most recently opened archive.
struct MufArchive {
    MufArchive* prev;
    MufArchive* next;
    char path[MUF_PATH_MAX];     // the path it was opened with
    MufStream file;              // shared by every entry read from this archive
    uint32_t entryCount;
    uint32_t directoryBytes;
    uint8_t* directory;          // the directory bytes (general heap)
    MufDirectoryEntry* entries;  // entryCount entries, checked against the file at open
};

extern MufArchive* g_MufArchives;       // list head (newest)
extern int g_MufReady;                  // 1 after MUF_Init, 0 after MUF_CloseAll
extern char g_SourcePath[MUF_PATH_MAX];  // install source, with a trailing separator once read
extern char g_TargetPath[MUF_PATH_MAX];  // installed copy, with a trailing separator once read

// Reads the install paths and opens patches.muf, data.muf, maps.muf and sounds.muf, each from
// the target directory or else from the install source. A missing archive is skipped. The
// result is null, or the path of the first archive of which neither copy opened although one is
// there (a folder, a damaged or unreadable file): a broken install the caller cannot run from.
const char* MUF_Init();
// Reads "SourcePath" and "TargetPath" from the game's registry key: 1 when both were read.
int MUF_ReadInstallPaths();
// g_SourcePath + relativeName in a shared buffer (valid until the next call); an empty string
// when the result would not fit.
char* MUF_MakeSourcePath(const char* relativeName);

// Opens one archive and puts it at the head of the list: one of the MUF_ codes above. A bad
// archive is refused (MUF_ERR_BAD_ARCHIVE) and not used.
int MUF_OpenArchive(const char* path);
// Closes the open archive whose path equals path exactly (case-sensitive).
int MUF_CloseArchive(const char* path);
// Closes every archive, removes the temporary files of MUF_ExtractToTemp and clears g_MufReady.
void MUF_CloseAll();

// Looks name up in the archives: the archive's shared stream at the start of the entry with the
// entry's size in *sizeOut, or null.
MufStream* MUF_Find(const char* name, uint32_t* sizeOut);
// The archive entry of that name or else the disk file opened for binary reading; null when the
// layer is not initialised or neither exists. The mode is accepted and ignored.
MufStream* MUF_Open(const char* name, const char* mode = nullptr);
// Reads count items of size bytes: the number of whole items read (0 when not initialised or
// stream is null). Archive streams never read past their entry.
size_t MUF_Read(void* buffer, size_t size, size_t count, MufStream* stream);
// Relative seek (whence 1) only: 0 on success, -1 on failure; any other whence, a null stream
// or an uninitialised layer does nothing and returns 0. An archive stream cannot move before
// the start of its entry.
int MUF_Seek(MufStream* stream, long offset, int whence);
// Closes a disk stream; null and archive streams are left alone.
void MUF_Close(MufStream* stream);

// Copies an archive entry to "muftemp" plus the name's extension (from its first '.', ".tmp"
// without one) in the process's temporary directory and returns that file's path (valid until
// the next call); returns name itself when it is in no archive or anything fails.
const char* MUF_ExtractToTemp(const char* name);

// Reads a whole disk file (never an archive entry) into a tracked block (tag 1): null with
// *sizeOut 0 when it is missing, empty, or cannot be read.
void* MUF_LoadFile(const char* path, uint32_t* sizeOut = nullptr);
// Writes length bytes to a disk file in one write: 1 on success, 0 for a null buffer, a zero
// length or any failure.
int MUF_SaveFile(const char* path, const void* buffer, uint32_t length);
