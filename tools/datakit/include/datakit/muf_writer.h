// The .muf archive writer: an 8-byte header (entry count, directory size), the directory of
// {data offset, data size, upper-case name + NUL} entries, then every entry's bytes in directory
// order. All integers little-endian u32.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

struct MufFile {
    std::string name;           // game path; stored as MufName(name)
    std::vector<uint8_t> data;
};

// The name as archives store it: forward slashes become backslashes, letters upper case.
std::string MufName(const std::string& path);

// The archive image; false (out untouched) when a name holds a NUL or the archive would not fit
// the format's 32-bit fields.
bool MufArchiveBytes(const std::vector<MufFile>& files, std::vector<uint8_t>* out);
bool WriteMuf(const std::string& archivePath, const std::vector<MufFile>& files);

// Every regular file under dir (recursively), named by its path relative to dir, in the order of
// their stored names.
bool CollectFiles(const std::string& dir, std::vector<MufFile>* out);
// muftool pack: the whole tree under dir into one archive.
bool PackMuf(const std::string& archivePath, const std::string& dir);

}  // namespace dk
