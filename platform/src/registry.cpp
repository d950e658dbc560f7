// The registry as one human-readable text file per machine (PLATFORM_REGISTRY, default
// ~/.config/brellwick/registry.ini; plat::SetRegistryPath overrides it). Layout:
//
//   ; comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Brellwick\Ghoulden\1.00]
//   "SourcePath"=sz:"C:\\Ghoulden"          REG_SZ; escapes \\ \" \n \r \t \xHH
//   "Players"=dword:0000002a                REG_DWORD, hexadecimal
//   "Key Map"=hex:01,02,ff                  REG_BINARY
//   "Other"=hex(7):61,00,00                 any other type, by number
//   @=sz:"default value"                    the key's unnamed value
//
// Key paths and value names compare without regard to case. A key exists when it has a section
// or a section lies below it. Lines that cannot be read are kept as they are on rewrite and
// otherwise ignored. Readers parse the current file on every call; writers take an
// inter-process lock (flock on "<file>.lock"), re-read the file, apply their change, write a
// temporary file beside it and rename it over the old one, so no change is ever lost and a
// reader never sees half a file. Handles may be used from several threads.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "internal.h"
#include "registry.h"

struct PlatRegKey {
    std::string path; // full path, root name first
};

namespace plat::detail {
namespace {
struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data; // REG_SZ: the text without terminator
};
struct RegEntry {
    bool raw = false;
    std::string line; // raw lines (comments, unreadable lines) are kept as they are
    RegValue value;
};
struct RegSection {
    std::string path;
    std::vector<RegEntry> entries;
};
struct RegFile {
    std::vector<std::string> preamble;
    std::vector<RegSection> sections;
};

struct RegState {
    std::mutex lock; // guards the handle set and the override; serialises this process's writers
    std::set<PlatRegKey*> handles;
    std::string overridePath;
    std::atomic<unsigned> tempCounter{0};
};
RegState& R() {
    static RegState* r = new RegState; // never destroyed
    return *r;
}

constexpr struct {
    uintptr_t value;
    const char* name;
} kRoots[] = {
    {0x80000000u, "HKEY_CLASSES_ROOT"},
    {0x80000001u, "HKEY_CURRENT_USER"},
    {0x80000002u, "HKEY_LOCAL_MACHINE"},
    {0x80000003u, "HKEY_USERS"},
};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// ---- Text form ----

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char ch : text) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (ch < 0x20 || ch == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", ch);
                out += buf;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    return out;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::string& text, size_t& pos, std::string* out) {
    if (pos >= text.size() || text[pos] != '"')
        return false;
    ++pos;
    out->clear();
    while (pos < text.size()) {
        char ch = text[pos++];
        if (ch == '"')
            return true;
        if (ch != '\\') {
            *out += ch;
            continue;
        }
        if (pos >= text.size())
            return false;
        char e = text[pos++];
        switch (e) {
        case '\\': *out += '\\'; break;
        case '"': *out += '"'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'x': {
            if (pos + 2 > text.size())
                return false;
            int hi = HexDigit(text[pos]), lo = HexDigit(text[pos + 1]);
            if (hi < 0 || lo < 0)
                return false;
            *out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default: return false;
        }
    }
    return false; // no closing quote
}

bool ReadHexBytes(const std::string& text, std::vector<uint8_t>* out) {
    out->clear();
    if (text.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        if (pos + 2 > text.size())
            return false;
        int hi = HexDigit(text[pos]), lo = HexDigit(text[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(static_cast<uint8_t>(hi * 16 + lo));
        pos += 2;
        if (pos == text.size())
            return true;
        if (text[pos] != ',')
            return false;
        ++pos;
    }
}

bool ParseValue(const std::string& line, RegValue* v) {
    size_t pos = 0;
    if (line[0] == '@') {
        v->name.clear();
        pos = 1;
    } else if (!ReadQuoted(line, pos, &v->name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return false;
    const std::string rest = line.substr(pos + 1);
    if (rest.compare(0, 3, "sz:") == 0) {
        size_t p = 3;
        std::string text;
        if (!ReadQuoted(rest, p, &text) || p != rest.size())
            return false;
        v->type = REG_SZ;
        v->data.assign(text.begin(), text.end());
        return true;
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        const std::string digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t n = 0;
        for (char ch : digits) {
            int d = HexDigit(ch);
            if (d < 0)
                return false;
            n = n * 16 + static_cast<uint32_t>(d);
        }
        v->type = REG_DWORD;
        v->data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                   static_cast<uint8_t>(n >> 24)};
        return true;
    }
    if (rest.compare(0, 4, "hex:") == 0) {
        v->type = REG_BINARY;
        return ReadHexBytes(rest.substr(4), &v->data);
    }
    if (rest.compare(0, 4, "hex(") == 0) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4 || close > 12)
            return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            int d = HexDigit(rest[i]);
            if (d < 0)
                return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        v->type = type;
        return ReadHexBytes(rest.substr(close + 2), &v->data);
    }
    return false;
}

std::string FormatValue(const RegValue& v) {
    std::string out = v.name.empty() ? "@" : "\"" + Escape(v.name) + "\"";
    out += '=';
    char buf[16];
    if (v.type == REG_SZ) {
        out += "sz:\"" + Escape(std::string(v.data.begin(), v.data.end())) + "\"";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "%08x", n);
        out += std::string("dword:") + buf;
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
            out += buf;
        }
        for (size_t i = 0; i < v.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.data[i]);
            out += buf;
        }
    }
    return out;
}

RegFile Parse(const std::string& text) {
    RegFile file;
    std::istringstream in(text);
    std::string line;
    RegSection* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        std::string body = start == std::string::npos ? std::string() : line.substr(start);
        RegEntry entry;
        if (!body.empty() && body[0] == '[') {
            size_t close = body.find_last_of(']');
            if (close != std::string::npos && close > 1) {
                std::string path = body.substr(1, close - 1);
                current = nullptr;
                for (RegSection& s : file.sections) // a repeated section continues the first
                    if (EqualNoCase(s.path, path))
                        current = &s;
                if (!current) {
                    file.sections.push_back(RegSection{path, {}});
                    current = &file.sections.back();
                }
                continue;
            }
        } else if (current && !body.empty() && (body[0] == '"' || body[0] == '@') && ParseValue(body, &entry.value)) {
            // A later line for the same name replaces the earlier one.
            bool replaced = false;
            for (RegEntry& e : current->entries)
                if (!e.raw && EqualNoCase(e.value.name, entry.value.name)) {
                    e.value = entry.value;
                    replaced = true;
                }
            if (!replaced)
                current->entries.push_back(entry);
            continue;
        }
        // Blank, comment or unreadable: kept as it is, never interpreted.
        entry.raw = true;
        entry.line = line;
        if (current)
            current->entries.push_back(entry);
        else
            file.preamble.push_back(line);
    }
    return file;
}

std::string Format(const RegFile& file) {
    std::string out;
    for (const std::string& line : file.preamble)
        out += line + "\n";
    for (const RegSection& s : file.sections) {
        out += "[" + s.path + "]\n";
        for (const RegEntry& e : s.entries)
            out += (e.raw ? e.line : FormatValue(e.value)) + "\n";
    }
    return out;
}

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return true;
}

RegFile Load(const std::string& path) {
    std::string text;
    if (!ReadText(path, &text))
        return RegFile{};
    return Parse(text);
}

RegSection* FindSection(RegFile& file, const std::string& path) {
    for (RegSection& s : file.sections)
        if (EqualNoCase(s.path, path))
            return &s;
    return nullptr;
}

bool IsRootPath(const std::string& path) {
    for (const auto& r : kRoots)
        if (EqualNoCase(path, r.name))
            return true;
    return false;
}

bool KeyExists(const RegFile& file, const std::string& path) {
    if (IsRootPath(path))
        return true;
    for (const RegSection& s : file.sections)
        if (EqualNoCase(s.path, path) || StartsWithNoCase(s.path, path + "\\"))
            return true;
    return false;
}

bool HasSubkeys(const RegFile& file, const std::string& path) {
    for (const RegSection& s : file.sections)
        if (StartsWithNoCase(s.path, path + "\\"))
            return true;
    return false;
}

RegValue* FindValue(RegSection& s, const std::string& name) {
    for (RegEntry& e : s.entries)
        if (!e.raw && EqualNoCase(e.value.name, name))
            return &e.value;
    return nullptr;
}

// The key path a handle stands for; false for an unknown handle.
bool PathOf(HKEY key, std::string* path) {
    for (const auto& r : kRoots)
        if (reinterpret_cast<uintptr_t>(key) == r.value) {
            *path = r.name;
            return true;
        }
    RegState& st = R();
    std::lock_guard<std::mutex> guard(st.lock);
    if (!key || !st.handles.count(key))
        return false;
    *path = key->path;
    return true;
}

// parent path + "A\\B" with empty components dropped; false for names that cannot be stored.
bool JoinKey(const std::string& parent, const char* sub, std::string* out) {
    *out = parent;
    if (!sub)
        return true;
    std::string part;
    for (const char* p = sub;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty())
                *out += "\\" + part;
            part.clear();
            if (!*p)
                break;
            continue;
        }
        if (static_cast<unsigned char>(*p) < 0x20 || *p == ']')
            return false;
        part += *p;
    }
    return true;
}

HKEY NewHandle(const std::string& path) {
    PlatRegKey* key = new PlatRegKey{path};
    RegState& st = R();
    std::lock_guard<std::mutex> guard(st.lock);
    st.handles.insert(key);
    return key;
}

// Runs `change` on the file under both locks and writes the result back if it says so.
// Returns ERROR_SUCCESS, the change's own error, or ERROR_ACCESS_DENIED when the file could not
// be written.
template <class Change>
LONG Modify(Change change) {
    const std::string path = RegistryPath();
    RegState& st = R();
    std::lock_guard<std::mutex> guard(st.lock);
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (!dir.empty())
        std::filesystem::create_directories(dir, ec);
    const std::string lockPath = path + ".lock";
    int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) {
        std::fprintf(stderr, "platform: cannot lock the registry %s\n", path.c_str());
        return ERROR_ACCESS_DENIED;
    }
    while (flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    const bool existed = std::filesystem::exists(path, ec);
    RegFile file = Load(path);
    bool write = false;
    LONG result = change(file, &write);
    if (result == ERROR_SUCCESS && write) {
        if (!existed)
            file.preamble = {"; Registry of one machine: [key] sections, then \"name\"=type:value lines."};
        const std::string text = Format(file);
        const std::string temp = path + ".tmp." + std::to_string(getpid()) + "." +
                                 std::to_string(st.tempCounter.fetch_add(1));
        FILE* out = std::fopen(temp.c_str(), "wb");
        bool ok = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
        ok = out && std::fflush(out) == 0 && ok;
        ok = out && fsync(fileno(out)) == 0 && ok;
        ok = out && std::fclose(out) == 0 && ok;
        ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
        if (!ok) {
            std::remove(temp.c_str());
            std::fprintf(stderr, "platform: cannot write the registry %s\n", path.c_str());
            result = ERROR_ACCESS_DENIED;
        }
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
    return result;
}
}  // namespace
}  // namespace plat::detail

namespace plat {
void SetRegistryPath(const std::string& path) {
    detail::RegState& st = detail::R();
    std::lock_guard<std::mutex> guard(st.lock);
    st.overridePath = path;
}

std::string RegistryPath() {
    {
        detail::RegState& st = detail::R();
        std::lock_guard<std::mutex> guard(st.lock);
        if (!st.overridePath.empty())
            return st.overridePath;
    }
    if (const char* p = std::getenv("PLATFORM_REGISTRY"); p && *p)
        return p;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/brellwick/registry.ini";
}
}  // namespace plat

using namespace plat::detail;

PLATAPI LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string base, path;
    if (!PathOf(parent, &base))
        return ERROR_INVALID_HANDLE;
    if (!JoinKey(base, subKey, &path))
        return ERROR_FILE_NOT_FOUND;
    if (!KeyExists(Load(plat::RegistryPath()), path))
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

PLATAPI LONG RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD, LPSTR, DWORD, DWORD, void*, HKEY* result,
                             DWORD* disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string base, path;
    if (!PathOf(parent, &base))
        return ERROR_INVALID_HANDLE;
    if (!JoinKey(base, subKey, &path))
        return ERROR_INVALID_PARAMETER;
    bool created = false;
    LONG rc = ERROR_SUCCESS;
    if (!KeyExists(Load(plat::RegistryPath()), path)) {
        rc = Modify([&](RegFile& file, bool* write) {
            if (!KeyExists(file, path)) { // another process may have made it meanwhile
                file.sections.push_back(RegSection{path, {}});
                created = *write = true;
            }
            return static_cast<LONG>(ERROR_SUCCESS);
        });
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

PLATAPI LONG RegCloseKey(HKEY key) {
    for (const auto& r : kRoots)
        if (reinterpret_cast<uintptr_t>(key) == r.value)
            return ERROR_SUCCESS;
    RegState& st = R();
    std::lock_guard<std::mutex> guard(st.lock);
    if (!key || !st.handles.erase(key))
        return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

PLATAPI LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
    std::string path;
    if (!PathOf(key, &path))
        return ERROR_INVALID_HANDLE;
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    RegFile file = Load(plat::RegistryPath());
    RegSection* s = FindSection(file, path);
    RegValue* v = s ? FindValue(*s, valueName ? valueName : "") : nullptr;
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    std::vector<uint8_t> bytes = v->data;
    if (v->type == REG_SZ)
        bytes.push_back(0); // sizes of strings count the terminator
    const DWORD need = static_cast<DWORD>(bytes.size());
    if (type)
        *type = v->type;
    if (!data) {
        if (dataSize)
            *dataSize = need;
        return ERROR_SUCCESS;
    }
    if (*dataSize < need) {
        *dataSize = need;
        return ERROR_MORE_DATA;
    }
    if (need)
        std::memcpy(data, bytes.data(), need);
    *dataSize = need;
    return ERROR_SUCCESS;
}

// Values in the order the file holds them. The name buffer's size counts the terminator on entry
// and not on return; data null asks only for the type and size.
PLATAPI LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD*, DWORD* type, BYTE* data,
                           DWORD* dataSize) {
    std::string path;
    if (!PathOf(key, &path))
        return ERROR_INVALID_HANDLE;
    if (!name || !nameSize || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    RegFile file = Load(plat::RegistryPath());
    RegSection* s = FindSection(file, path);
    const RegValue* v = nullptr;
    DWORD seen = 0;
    if (!s)
        return ERROR_NO_MORE_ITEMS;
    for (const RegEntry& e : s->entries) {
        if (e.raw)
            continue;
        if (seen++ == index) {
            v = &e.value;
            break;
        }
    }
    if (!v)
        return ERROR_NO_MORE_ITEMS;
    std::vector<uint8_t> bytes = v->data;
    if (v->type == REG_SZ)
        bytes.push_back(0);
    const DWORD need = static_cast<DWORD>(bytes.size());
    if (*nameSize <= v->name.size() || (data && *dataSize < need)) {
        if (dataSize)
            *dataSize = need;
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, v->name.c_str(), v->name.size() + 1);
    *nameSize = static_cast<DWORD>(v->name.size());
    if (type)
        *type = v->type;
    if (data && need)
        std::memcpy(data, bytes.data(), need);
    if (dataSize)
        *dataSize = need;
    return ERROR_SUCCESS;
}

PLATAPI LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    std::string path;
    if (!PathOf(key, &path))
        return ERROR_INVALID_HANDLE;
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    RegValue v;
    v.name = valueName ? valueName : "";
    v.type = type;
    if (type == REG_SZ) {
        // The text up to its terminator (or the whole buffer when it has none).
        size_t n = 0;
        while (n < dataSize && data[n])
            ++n;
        v.data.assign(data, data + n);
    } else if (type == REG_DWORD) {
        if (dataSize != 4)
            return ERROR_INVALID_PARAMETER;
        v.data.assign(data, data + 4);
    } else {
        if (dataSize)
            v.data.assign(data, data + dataSize);
    }
    return Modify([&](RegFile& file, bool* write) {
        RegSection* s = FindSection(file, path);
        if (!s && !IsRootPath(path)) {
            file.sections.push_back(RegSection{path, {}});
            s = &file.sections.back();
        }
        if (!s)
            return static_cast<LONG>(ERROR_ACCESS_DENIED); // no values on the roots themselves
        if (RegValue* old = FindValue(*s, v.name))
            *old = v;
        else
            s->entries.push_back(RegEntry{false, {}, v});
        *write = true;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

PLATAPI LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    std::string path;
    if (!PathOf(key, &path))
        return ERROR_INVALID_HANDLE;
    const std::string name = valueName ? valueName : "";
    return Modify([&](RegFile& file, bool* write) {
        RegSection* s = FindSection(file, path);
        if (!s)
            return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        for (auto it = s->entries.begin(); it != s->entries.end(); ++it)
            if (!it->raw && EqualNoCase(it->value.name, name)) {
                s->entries.erase(it);
                *write = true;
                return static_cast<LONG>(ERROR_SUCCESS);
            }
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    });
}

// Deletes a key without subkeys (a key with subkeys is refused, so no tree goes by accident).
PLATAPI LONG RegDeleteKeyA(HKEY parent, LPCSTR subKey) {
    std::string base, path;
    if (!PathOf(parent, &base))
        return ERROR_INVALID_HANDLE;
    if (!subKey || !JoinKey(base, subKey, &path) || path == base)
        return ERROR_INVALID_PARAMETER;
    return Modify([&](RegFile& file, bool* write) {
        if (!KeyExists(file, path))
            return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        if (HasSubkeys(file, path))
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        for (auto it = file.sections.begin(); it != file.sections.end();)
            it = EqualNoCase(it->path, path) ? file.sections.erase(it) : it + 1;
        // The parent stays a key of its own even if it only existed through this one.
        size_t slash = path.find_last_of('\\');
        const std::string parentPath = path.substr(0, slash);
        if (!IsRootPath(parentPath) && !KeyExists(file, parentPath))
            file.sections.push_back(RegSection{parentPath, {}});
        *write = true;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}
