// The .muf archive writer and the packer that turns a directory tree into one archive.
#include "datakit/muf_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "datakit/bytes.h"

namespace dk {

namespace fs = std::filesystem;

std::string MufName(const std::string& path) {
    std::string n = path;
    for (char& c : n) {
        if (c == '/') c = '\\';
        else if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return n;
}

bool MufArchiveBytes(const std::vector<MufFile>& files, std::vector<uint8_t>* out) {
    uint64_t directoryBytes = 0;
    uint64_t dataBytes = 0;
    for (const MufFile& f : files) {
        if (f.name.find('\0') != std::string::npos) return false;
        directoryBytes += 8 + f.name.size() + 1;
        dataBytes += f.data.size();
    }
    if (files.size() > UINT32_MAX || 8 + directoryBytes + dataBytes > UINT32_MAX) return false;

    Bytes b;
    b.u32(uint32_t(files.size())).u32(uint32_t(directoryBytes));
    uint64_t offset = 8 + directoryBytes;
    for (const MufFile& f : files) {
        b.u32(uint32_t(offset)).u32(uint32_t(f.data.size())).str(MufName(f.name)).u8(0);
        offset += f.data.size();
    }
    for (const MufFile& f : files) b.raw(f.data);
    *out = std::move(b.data);
    return true;
}

bool WriteMuf(const std::string& archivePath, const std::vector<MufFile>& files) {
    std::vector<uint8_t> bytes;
    return MufArchiveBytes(files, &bytes) && WriteFile(archivePath, bytes);
}

bool CollectFiles(const std::string& dir, std::vector<MufFile>* out) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return false;
    std::vector<MufFile> files;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        if (!in) return false;
        MufFile f;
        f.name = it->path().lexically_relative(dir).generic_string();
        f.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) return false;
        files.push_back(std::move(f));
    }
    if (ec) return false;
    std::sort(files.begin(), files.end(),
              [](const MufFile& a, const MufFile& b) { return MufName(a.name) < MufName(b.name); });
    *out = std::move(files);
    return true;
}

bool PackMuf(const std::string& archivePath, const std::string& dir) {
    std::vector<MufFile> files;
    if (!CollectFiles(dir, &files)) return false;
    // An earlier copy of the archive inside the tree is not packed into itself.
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const MufFile& f) {
                                   std::error_code e;
                                   return fs::equivalent(fs::path(dir) / f.name, archivePath, e);
                               }),
                files.end());
    return WriteMuf(archivePath, files);
}

}  // namespace dk
