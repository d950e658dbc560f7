// The archive file layer: archive format and validation, name lookup and archive order,
// entry-bounded streams, disk fallback, extraction to the temporary directory, whole-file load
// and save, and the install paths from the registry.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/demo_steps.h"
#include "datakit/muf_writer.h"
#include "plat.h"
#include "registry.h"
#include "common/mem.h"
#include "common/muf.h"

namespace {

namespace fs = std::filesystem;
using Blob = std::vector<uint8_t>;

// An archive written out byte by byte from the format's layout: four entries, the third empty,
// data in directory order right after the directory.
const Blob kHandArchive = {
    // header: entryCount 4, directoryBytes 0x43
    0x04, 0x00, 0x00, 0x00, 0x43, 0x00, 0x00, 0x00,
    // entry "A.TXT": offset 0x4B, size 5
    0x4B, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x41, 0x2E, 0x54, 0x58, 0x54, 0x00,
    // entry "DIR\NODOT": offset 0x50, size 3
    0x50, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x44, 0x49, 0x52, 0x5C, 0x4E, 0x4F, 0x44, 0x4F,
    0x54, 0x00,
    // entry "EMPTY.DAT": offset 0x53, size 0
    0x53, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x45, 0x4D, 0x50, 0x54, 0x59, 0x2E, 0x44, 0x41,
    0x54, 0x00,
    // entry "LAST.ZLM": offset 0x53, size 2
    0x53, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x4C, 0x41, 0x53, 0x54, 0x2E, 0x5A, 0x4C, 0x4D,
    0x00,
    // data: "hello", "xyz", "Z!"
    0x68, 0x65, 0x6C, 0x6C, 0x6F, 0x78, 0x79, 0x7A, 0x5A, 0x21,
};

Blob B(const std::string& s) { return Blob(s.begin(), s.end()); }

void Put(const fs::path& path, const Blob& bytes) {
    ASSERT_TRUE(dk::WriteFile(path.string(), bytes)) << path;
}

Blob Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Blob(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Everything left in the stream, read in small pieces.
std::string ReadRest(MufStream* s) {
    std::string out;
    char buf[3];
    for (size_t n; (n = MUF_Read(buf, 1, sizeof buf, s)) > 0;) out.append(buf, n);
    return out;
}

// The whole of one name as MUF_Open gives it; "<none>" when it cannot be opened.
std::string Contents(const char* name) {
    MufStream* s = MUF_Open(name, "rb");
    if (!s) return "<none>";
    std::string out = ReadRest(s);
    MUF_Close(s);
    return out;
}

std::string ArchiveWith(std::initializer_list<std::pair<std::string, std::string>> files) {
    std::vector<dk::MufFile> v;
    for (auto& [name, text] : files) v.push_back({name, B(text)});
    Blob bytes;
    EXPECT_TRUE(dk::MufArchiveBytes(v, &bytes));
    return std::string(bytes.begin(), bytes.end());
}

size_t ArchiveCount() {
    size_t n = 0;
    for (MufArchive* a = g_MufArchives; a; a = a->next) ++n;
    return n;
}

// Every test runs in a scratch directory of its own with its own registry file, the tracked
// heap armed and the layer initialised by hand (no install paths).
class Muf : public ::testing::Test {
protected:
    fs::path root;
    fs::path oldCwd;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::path(plat::TempDir()) / (std::string("muftest-") + info->name());
        fs::remove_all(root);
        fs::create_directories(root);
        oldCwd = fs::current_path();
        fs::current_path(root);
        plat::SetRegistryPath((root / "registry.ini").string());
        MEM_ResetTracker();
        g_MufReady = 1;
    }
    void TearDown() override {
        MUF_CloseAll();
        MEM_FreeAll();
        fs::current_path(oldCwd);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void Archive(const std::string& file, const std::string& bytes) { Put(root / file, B(bytes)); }
    void Archive(const std::string& file, const Blob& bytes) { Put(root / file, bytes); }
    int Open(const std::string& file) { return MUF_OpenArchive(file.c_str()); }
};

TEST_F(Muf, HandWrittenArchiveListsAndReads) {
    Archive("hand.muf", kHandArchive);
    ASSERT_EQ(Open("hand.muf"), MUF_OK);
    const MufArchive* a = g_MufArchives;
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->path, "hand.muf");
    ASSERT_EQ(a->entryCount, 4u);
    EXPECT_EQ(a->directoryBytes, 0x43u);
    struct Want {
        const char* name;
        uint32_t offset, size;
        const char* bytes;
    };
    const Want want[] = {
        {"A.TXT", 0x4B, 5, "hello"}, {"DIR\\NODOT", 0x50, 3, "xyz"}, {"EMPTY.DAT", 0x53, 0, ""}, {"LAST.ZLM", 0x53, 2, "Z!"}};
    for (uint32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_STREQ(a->entries[i].name, want[i].name);
        EXPECT_EQ(a->entries[i].dataOffset, want[i].offset);
        EXPECT_EQ(a->entries[i].dataSize, want[i].size);
        uint32_t size = 99;
        MufStream* s = MUF_Find(want[i].name, &size);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(size, want[i].size);
        EXPECT_EQ(ReadRest(s), want[i].bytes);
    }
}

TEST_F(Muf, WriterProducesTheHandWrittenBytes) {
    Blob bytes;
    ASSERT_TRUE(dk::MufArchiveBytes(
        {{"a.txt", B("hello")}, {"dir/nodot", B("xyz")}, {"Empty.dat", {}}, {"last.zlm", B("Z!")}}, &bytes));
    EXPECT_EQ(bytes, kHandArchive);
    Blob unchanged = {1, 2};
    EXPECT_FALSE(dk::MufArchiveBytes({{std::string("a\0b", 3), {}}}, &unchanged));
    EXPECT_EQ(unchanged, (Blob{1, 2}));
}

TEST_F(Muf, NamesMatchAsTheGameSpellsThem) {
    Archive("hand.muf", kHandArchive);
    ASSERT_EQ(Open("hand.muf"), MUF_OK);
    // Disk files that only the fallback can reach.
    Put(root / "dir" / "nodot", B("disk-nodot"));
    Put(root / "a.txt", B("disk-a"));
    Put(root / "Data" / "Sub" / "File.TXT", B("disk-mixed"));
    struct Case {
        const char* name;
        bool inArchive;
        const char* contents;
    };
    const Case cases[] = {
        {"A.TXT", true, "hello"},
        {"a.txt", true, "hello"},          // lower case finds the upper-case entry
        {"dir\\NoDot", true, "xyz"},
        {"dir/nodot", false, "disk-nodot"},  // forward slashes never match an entry
        {".\\a.txt", false, "disk-a"},       // nor does a current-directory prefix
        {"data\\sub\\file.txt", false, "disk-mixed"},  // disk lookup ignores case
        {"missing.txt", false, "<none>"},
        {"", false, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t size = 0;
        EXPECT_EQ(MUF_Find(c.name, &size) != nullptr, c.inArchive);
        EXPECT_EQ(Contents(c.name), c.contents);
    }
    // A name too long for the lookup is in no archive, whatever the archive holds.
    std::string longName(300, 'A');
    Archive("long.muf", ArchiveWith({{longName, "long"}}));
    ASSERT_EQ(Open("long.muf"), MUF_OK);
    EXPECT_EQ(MUF_Find(longName.c_str(), nullptr), nullptr);
    EXPECT_EQ(Contents(longName.c_str()), "<none>");
    EXPECT_EQ(MUF_Find(nullptr, nullptr), nullptr);
}

TEST_F(Muf, ReadsStopAtTheEndOfTheEntry) {
    Archive("hand.muf", kHandArchive);
    ASSERT_EQ(Open("hand.muf"), MUF_OK);
    struct Step {
        size_t size, count, items;
        const char* bytes;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // whole bytes: what is left, then nothing (never the next entry's "xyz")
        {"a.txt", {{1, 3, 3, "hel"}, {1, 10, 2, "lo"}, {1, 1, 0, ""}}},
        {"a.txt", {{1, 100, 5, "hello"}, {4, 1, 0, ""}}},
        // items: only whole items count; the partial item's byte is consumed as at end of file
        {"a.txt", {{2, 10, 2, "hello"}, {1, 1, 0, ""}}},
        {"a.txt", {{8, 1, 0, "hello"}}},
        {"empty.dat", {{1, 1, 0, ""}}},
        // the last entry ends with the file
        {"last.zlm", {{1, 4, 2, "Z!"}, {1, 4, 0, ""}}},
        // a count whose byte total overflows is cut at the entry's end
        {"dir\\nodot", {{1, SIZE_MAX, 3, "xyz"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MufStream* s = MUF_Open(c.name);
        ASSERT_NE(s, nullptr);
        for (const Step& st : c.steps) {
            char buf[16];
            std::memset(buf, 0, sizeof buf);
            EXPECT_EQ(MUF_Read(buf, st.size, st.count, s), st.items);  // entries are shorter than buf
            EXPECT_STREQ(buf, st.bytes);
        }
    }
}

TEST_F(Muf, SeekMovesOnlyRelativelyAndStaysInTheEntry) {
    Archive("hand.muf", kHandArchive);
    ASSERT_EQ(Open("hand.muf"), MUF_OK);
    struct Case {
        long offset;
        int whence;
        int result;
        const char* next;  // what the next read of 2 bytes gives
    };
    // Each case starts after the first byte of "hello" was read.
    const Case cases[] = {
        {3, SEEK_SET, 0, "el"},   // absolute: nothing happens
        {0, SEEK_END, 0, "el"},
        {2, SEEK_CUR, 0, "lo"},
        {-1, SEEK_CUR, 0, "he"},
        {-2, SEEK_CUR, -1, "el"},  // before the entry: refused, position kept
        {4, SEEK_CUR, 0, ""},      // to the end
        {10, SEEK_CUR, 0, ""},     // past the end: reads give nothing, not the next entry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " whence " << c.whence);
        MufStream* s = MUF_Open("a.txt");
        ASSERT_NE(s, nullptr);
        char first;
        ASSERT_EQ(MUF_Read(&first, 1, 1, s), 1u);
        EXPECT_EQ(MUF_Seek(s, c.offset, c.whence), c.result);
        char buf[3] = {};
        MUF_Read(buf, 1, 2, s);
        EXPECT_STREQ(buf, c.next);
    }
    EXPECT_EQ(MUF_Seek(nullptr, 1, SEEK_CUR), 0);

    // Disk streams seek relatively too.
    Put(root / "disk.bin", B("0123456789"));
    MufStream* d = MUF_Open("disk.bin");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(MUF_Seek(d, 10, SEEK_SET), 0);
    EXPECT_EQ(MUF_Seek(d, 4, SEEK_CUR), 0);
    EXPECT_EQ(ReadRest(d), "456789");
    MUF_Close(d);
}

TEST_F(Muf, ArchiveStreamIsSharedAndSurvivesClose) {
    Archive("hand.muf", kHandArchive);
    ASSERT_EQ(Open("hand.muf"), MUF_OK);
    MufStream* a = MUF_Open("a.txt");
    char c;
    ASSERT_EQ(MUF_Read(&c, 1, 1, a), 1u);
    // Another lookup in the same archive moves the same stream to its own entry.
    MufStream* b = MUF_Open("dir\\nodot");
    EXPECT_EQ(a, b);
    EXPECT_EQ(ReadRest(a), "xyz");
    MUF_Close(a);
    MUF_Close(a);
    EXPECT_EQ(Contents("last.zlm"), "Z!");
    EXPECT_EQ(Contents("a.txt"), "hello");
}

TEST_F(Muf, NewerArchiveWinsAndClosingUncoversTheOlder) {
    Archive("old.muf", ArchiveWith({{"same.txt", "old"}, {"only-old.txt", "o"}}));
    Archive("new.muf", ArchiveWith({{"same.txt", "new"}}));
    ASSERT_EQ(Open("old.muf"), MUF_OK);
    ASSERT_EQ(Open("new.muf"), MUF_OK);
    EXPECT_EQ(Contents("same.txt"), "new");
    EXPECT_EQ(Contents("only-old.txt"), "o");
    EXPECT_EQ(MUF_CloseArchive("NEW.MUF"), MUF_ERR_OPEN);  // the path compares exactly
    EXPECT_EQ(MUF_CloseArchive("new.muf"), MUF_OK);
    EXPECT_EQ(Contents("same.txt"), "old");
    EXPECT_EQ(MUF_CloseArchive("new.muf"), MUF_ERR_OPEN);
    EXPECT_EQ(MUF_CloseArchive("old.muf"), MUF_OK);
    EXPECT_EQ(MUF_CloseArchive("old.muf"), MUF_ERR_OPEN);
    EXPECT_EQ(Contents("same.txt"), "<none>");
}

TEST_F(Muf, OpenAndCloseReportTheirCodes) {
    fs::create_directories(root / "folder.muf");
    EXPECT_EQ(Open("missing.muf"), MUF_ERR_OPEN);
    EXPECT_EQ(Open("folder.muf"), MUF_ERR_OPEN);
    EXPECT_EQ(MUF_OpenArchive(nullptr), MUF_ERR_OPEN);
    EXPECT_EQ(Open(std::string(300, 'x')), MUF_ERR_OPEN);
    Archive("hand.muf", kHandArchive);
    EXPECT_EQ(Open("HAND.MUF"), MUF_OK);  // the file itself is found without regard to case

    MUF_CloseAll();
    EXPECT_EQ(g_MufReady, 0);
    EXPECT_EQ(g_MufArchives, nullptr);
    EXPECT_EQ(Open("hand.muf"), MUF_ERR_NOT_READY);
    EXPECT_EQ(MUF_CloseArchive("hand.muf"), MUF_ERR_NOT_READY);
    Put(root / "disk.txt", B("d"));
    EXPECT_EQ(MUF_Open("disk.txt"), nullptr);
    const char* name = "a.txt";
    EXPECT_EQ(MUF_ExtractToTemp(name), name);
}

TEST_F(Muf, DiskStreamsOutliveTheLayerAndCloseOnce) {
    Put(root / "disk.txt", B("abc"));
    MufStream* s = MUF_Open("disk.txt");
    ASSERT_NE(s, nullptr);
    MUF_CloseAll();
    char c;
    EXPECT_EQ(MUF_Read(&c, 1, 1, s), 0u);  // the layer is down: nothing is read
    MUF_Close(s);                          // yet the file is closed, not leaked
    MUF_Close(s);                          // and a second close is ignored
    MUF_Close(nullptr);
}

TEST_F(Muf, BadArchivesAreRefusedAndNotUsed) {
    auto le = [](uint32_t v) { return Blob{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; };
    auto cat = [](std::initializer_list<Blob> parts) {
        Blob out;
        for (const Blob& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const Blob nameA = {'A', 0};
    struct Case {
        const char* what;
        Blob bytes;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"short header", {1, 0, 0, 0, 9, 0, 0}},
        {"directory beyond the file", cat({le(1), le(0xFFFFFFF0u), le(18), le(0), nameA})},
        {"directory one byte past the file", cat({le(1), le(11), le(18), le(0), nameA})},
        {"huge entry count", cat({le(0xFFFFFFFFu), le(10), le(18), le(0), nameA})},
        {"more entries than the directory holds", cat({le(3), le(20), le(28), le(0), nameA, le(28), le(0), nameA})},
        {"second entry cut short", cat({le(2), le(18), le(26), le(0), Blob{'A', 'B', 0}, le(26), Blob{0, 0, 0}})},
        {"last name unterminated", cat({le(1), le(10), le(18), le(0), Blob{'A', 'B'}})},
        {"data past the end", cat({le(1), le(10), le(18), le(100), nameA, Blob(10, 'x')})},
        {"data offset past the end", cat({le(1), le(10), le(19), le(0), nameA})},
        {"offset plus size wraps", cat({le(1), le(10), le(0xFFFFFFFFu), le(2), nameA})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Archive("bad.muf", c.bytes);
        EXPECT_EQ(Open("bad.muf"), MUF_ERR_BAD_ARCHIVE);
        EXPECT_EQ(g_MufArchives, nullptr);
        EXPECT_EQ(MUF_Open("A"), nullptr);
    }
    // Every cut of a valid archive is refused: its last entry then runs past the end.
    for (size_t len = 0; len < kHandArchive.size(); ++len) {
        SCOPED_TRACE(len);
        Archive("cut.muf", Blob(kHandArchive.begin(), kHandArchive.begin() + long(len)));
        EXPECT_EQ(Open("cut.muf"), MUF_ERR_BAD_ARCHIVE);
        EXPECT_EQ(g_MufArchives, nullptr);
    }
}

TEST_F(Muf, UnusualButSoundArchivesAreAccepted) {
    auto le = [](uint32_t v) { return Blob{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; };
    auto cat = [](std::initializer_list<Blob> parts) {
        Blob out;
        for (const Blob& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    struct Case {
        const char* what;
        Blob bytes;
        const char* name;
        std::string contents;
    };
    const Case cases[] = {
        {"no entries", cat({le(0), le(0)}), "A", "<none>"},
        {"spare directory bytes", cat({le(1), le(14), le(22), le(2), Blob{'A', 0, 7, 7, 7, 7}, Blob{'h', 'i'}}), "a", "hi"},
        {"data inside the header", cat({le(1), le(10), le(0), le(4), Blob{'A', 0}}), "a", std::string("\x01\0\0\0", 4)},
        {"empty entry at the very end", cat({le(1), le(10), le(18), le(0), Blob{'A', 0}}), "a", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Archive("odd.muf", c.bytes);
        ASSERT_EQ(Open("odd.muf"), MUF_OK);
        MufStream* s = MUF_Open(c.name);
        std::string got = s ? ReadRest(s) : "<none>";
        MUF_Close(s);
        EXPECT_EQ(got, c.contents);
        EXPECT_EQ(MUF_CloseArchive("odd.muf"), MUF_OK);
    }
}

TEST_F(Muf, ExtractionWritesTheTemporaryFileAndCloseAllRemovesIt) {
    std::string big(20000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 251);
    Archive("x.muf", ArchiveWith({{"graphics\\maps\\town.zlm", "map"},
                                  {"data\\nodot", "plain"},
                                  {"sounds\\big.aud", big},
                                  {"empty.dat", ""},
                                  {"a.b.c", "dots"}}));
    ASSERT_EQ(Open("x.muf"), MUF_OK);
    struct Case {
        const char* name;
        const char* tempName;
        std::string contents;
    };
    const Case cases[] = {
        {"graphics\\maps\\town.zlm", "muftemp.zlm", "map"},
        {"data\\nodot", "muftemp.tmp", "plain"},
        {"Sounds\\Big.aud", "muftemp.aud", big},  // more than one copy chunk
        {"empty.dat", "muftemp.dat", ""},
        {"a.b.c", "muftemp.b.c", "dots"},  // the extension starts at the first dot
    };
    std::vector<std::string> made;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* path = MUF_ExtractToTemp(c.name);
        ASSERT_NE(path, c.name);
        fs::path p(path);
        EXPECT_EQ(p.filename().string(), c.tempName);
        EXPECT_EQ(std::string(path).rfind(plat::TempDir(), 0), 0u) << path;
        EXPECT_EQ(Slurp(p), B(c.contents));
        made.push_back(path);
    }
    // A name in no archive comes back as it was given.
    Put(root / "loose.bmp", B("loose"));
    const char* loose = "loose.bmp";
    EXPECT_EQ(MUF_ExtractToTemp(loose), loose);
    EXPECT_EQ(MUF_ExtractToTemp(nullptr), nullptr);

    MUF_CloseAll();
    for (const std::string& m : made) EXPECT_FALSE(fs::exists(m)) << m;
    EXPECT_TRUE(fs::exists(root / "loose.bmp"));
}

TEST_F(Muf, ExtractionNeverLeavesTheTemporaryDirectory) {
    // Entry names with separators in their extension: written by hand, the kit never makes them.
    dk::Bytes b;
    const std::string names[] = {"X./../../ESCAPE", "Y.\\..\\ESCAPE"};
    b.u32(2).u32(uint32_t(2 * 8 + names[0].size() + names[1].size() + 2));
    uint32_t data = uint32_t(8 + 2 * 8 + names[0].size() + names[1].size() + 2);
    for (const std::string& n : names) b.u32(data).u32(4).str(n).u8(0);
    b.str("evil");
    Archive("evil.muf", b.data);
    ASSERT_EQ(Open("evil.muf"), MUF_OK);
    for (const std::string& n : names) {
        SCOPED_TRACE(n);
        ASSERT_NE(MUF_Find(n.c_str(), nullptr), nullptr);
        EXPECT_EQ(MUF_ExtractToTemp(n.c_str()), n.c_str());
    }
    EXPECT_FALSE(fs::exists(fs::path(plat::TempDir()).parent_path() / "ESCAPE"));
    EXPECT_FALSE(fs::exists(fs::path(plat::TempDir()) / "ESCAPE"));
}

TEST_F(Muf, LoadAndSaveWholeDiskFiles) {
    const Blob save = {3, 0, 1, 2, 0xFF};
    ASSERT_TRUE(fs::create_directories(root / "data"));
    EXPECT_EQ(MUF_SaveFile("Data\\game.1", save.data(), uint32_t(save.size())), 1);
    EXPECT_EQ(Slurp(root / "data" / "game.1"), save);  // created as spelled, in the real folder

    uint32_t size = 77;
    void* block = MUF_LoadFile("DATA\\GAME.1", &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, save.size());
    EXPECT_EQ(Blob(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size), save);
    ASSERT_NE(g_MemHead, nullptr);
    EXPECT_EQ(g_MemHead->tag, MEM_TAG_FILE);
    EXPECT_EQ(g_MemHead->size, save.size());
    MEM_Free(block);

    // Loads that give nothing.
    Put(root / "data" / "empty.dat", {});
    Archive("a.muf", ArchiveWith({{"data\\archived.dat", "in the archive"}}));
    ASSERT_EQ(Open("a.muf"), MUF_OK);
    for (const char* path : {"data\\missing.dat", "data\\empty.dat", "data\\archived.dat", "data"}) {
        SCOPED_TRACE(path);
        size = 77;
        EXPECT_EQ(MUF_LoadFile(path, &size), nullptr);
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(MUF_LoadFile(nullptr), nullptr);

    // Saves that fail say so.
    EXPECT_EQ(MUF_SaveFile("data\\x.dat", nullptr, 3), 0);
    EXPECT_EQ(MUF_SaveFile("data\\x.dat", save.data(), 0), 0);
    EXPECT_EQ(MUF_SaveFile("nofolder\\x.dat", save.data(), 3), 0);
    EXPECT_EQ(MUF_SaveFile("data", save.data(), 3), 0);
    EXPECT_FALSE(fs::exists(root / "data" / "x.dat"));

    // Without an armed tracker there is no block to load into.
    MEM_FreeAll();
    g_MemEnabled = 0;
    EXPECT_EQ(MUF_LoadFile("data\\game.1", &size), nullptr);
    EXPECT_EQ(size, 0u);
    MEM_ResetTracker();
}

TEST_F(Muf, SourcePathJoinsAndRefusesWhatDoesNotFit) {
    std::strcpy(g_SourcePath, "/cd/");
    EXPECT_STREQ(MUF_MakeSourcePath("movies\\intro_01.avi"), "/cd/movies\\intro_01.avi");
    EXPECT_STREQ(MUF_MakeSourcePath(std::string(251, 'm').c_str()), (std::string("/cd/") + std::string(251, 'm')).c_str());
    EXPECT_STREQ(MUF_MakeSourcePath(std::string(252, 'm').c_str()), "");
    g_SourcePath[0] = 0;
    EXPECT_STREQ(MUF_MakeSourcePath("x.avi"), "x.avi");
}

// Writes the game's install key into this test's registry file.
void SetInstallPaths(const char* source, const char* target) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brellwick\\Ghoulden\\1.00", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (auto [name, value] : {std::pair{"SourcePath", source}, std::pair{"TargetPath", target}}) {
        if (!value) continue;
        EXPECT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

TEST_F(Muf, InstallPathsFromTheRegistry) {
    g_MufReady = 0;
    struct Case {
        const char* what;
        const char* source;
        const char* target;
        int result;
        const char* wantSource;
        const char* wantTarget;
    };
    const std::string tooLong(300, 'p');
    const std::string full(255, 's');
    const Case cases[] = {
        {"no key", nullptr, nullptr, 0, "", ""},
        {"both", "/cd", "/games/ghoulden/", 1, "/cd\\", "/games/ghoulden/"},
        {"backslashes kept", "D:\\", "C:\\Ghoulden", 1, "D:\\", "C:\\Ghoulden\\"},
        {"empty means the current folder", "", "", 1, "", ""},
        {"target missing", "/cd", nullptr, 0, "/cd\\", ""},
        {"source too long", tooLong.c_str(), "/t", 0, "", ""},
        {"no room for the separator", full.c_str(), "/t", 0, "", "/t\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(root / "registry.ini");
        plat::SetRegistryPath((root / "registry.ini").string());
        if (c.source || c.target) SetInstallPaths(c.source, c.target);
        std::strcpy(g_SourcePath, "stale");
        std::strcpy(g_TargetPath, "stale");
        EXPECT_EQ(MUF_ReadInstallPaths(), c.result);
        EXPECT_STREQ(g_SourcePath, c.wantSource);
        EXPECT_STREQ(g_TargetPath, c.wantTarget);
    }
}

TEST_F(Muf, InitOpensTheFourArchivesNewestLast) {
    g_MufReady = 0;
    fs::path target = root / "Install";
    fs::path source = root / "cd";
    Put(target / "sounds.muf", B(ArchiveWith({{"same.txt", "sounds"}, {"s.aud", "s-target"}})));
    Put(target / "data.muf", B(ArchiveWith({{"same.txt", "data-target"}, {"d.txt", "d-target"}})));
    Put(target / "patches.muf", B(ArchiveWith({{"same.txt", "patches"}})));
    Put(source / "audio" / "sounds.muf", B(ArchiveWith({{"s.aud", "s-source"}})));
    Put(source / "LEVELS" / "Maps.muf", B(ArchiveWith({{"same.txt", "maps"}, {"m.zlm", "m-source"}})));
    Put(source / "pdata" / "data.muf", B(ArchiveWith({{"d.txt", "d-source"}})));
    Put(source / "patches.muf", B(ArchiveWith({{"same.txt", "patches-source"}})));
    // A refused archive in the target folder gives way to the source copy.
    Put(target / "maps.muf", {1, 0, 0, 0});
    SetInstallPaths(source.c_str(), (target.string() + "/").c_str());

    MUF_Init();
    ASSERT_EQ(g_MufReady, 1);
    std::vector<std::string> order;
    for (MufArchive* a = g_MufArchives; a; a = a->next) order.push_back(a->path);
    const std::vector<std::string> want = {
        target.string() + "/patches.muf",
        target.string() + "/data.muf",
        source.string() + "\\levels\\maps.muf",
        target.string() + "/sounds.muf",
    };
    EXPECT_EQ(order, want);
    EXPECT_EQ(Contents("same.txt"), "patches");
    EXPECT_EQ(Contents("d.txt"), "d-target");
    EXPECT_EQ(Contents("m.zlm"), "m-source");
    EXPECT_EQ(Contents("s.aud"), "s-target");
    EXPECT_EQ(MUF_CloseArchive(want[0].c_str()), MUF_OK);
    EXPECT_EQ(Contents("same.txt"), "data-target");

    // Init again starts over instead of stacking a second set.
    MUF_Init();
    EXPECT_EQ(ArchiveCount(), 4u);
    EXPECT_EQ(Contents("same.txt"), "patches");
}

TEST_F(Muf, InitWithoutInstallPathsUsesTheCurrentFolder) {
    g_MufReady = 0;
    Archive("data.muf", ArchiveWith({{"title.bmp", "here"}}));
    MUF_Init();
    EXPECT_EQ(ArchiveCount(), 1u);
    EXPECT_EQ(Contents("TITLE.BMP"), "here");
    EXPECT_STREQ(g_SourcePath, "");
    EXPECT_STREQ(g_TargetPath, "");
}

// A missing archive is skipped; an archive of which no copy opens although one is there (a
// folder, a cut file) is named; a good copy on the install source makes up for a damaged one.
TEST_F(Muf, InitNamesAnArchiveThatIsThereButCannotBeOpened) {
    const fs::path target = root / "Install";
    const fs::path source = root / "cd";
    const Blob good = B(ArchiveWith({{"d.txt", "d"}}));
    const Blob cut(good.begin(), good.begin() + 5);
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string damaged;  // empty: none
        size_t archives;
    };
    const Case cases[] = {
        {"nothing installed", [] {}, "", 0},
        {"good data.muf", [&] { Put(target / "data.muf", good); }, "", 1},
        {"data.muf a folder", [&] { fs::create_directories(target / "data.muf"); }, target.string() + "/data.muf", 0},
        {"data.muf cut", [&] { Put(target / "data.muf", cut); }, target.string() + "/data.muf", 0},
        {"cut target, good source",
         [&] {
             Put(target / "data.muf", cut);
             Put(source / "pdata" / "data.muf", good);
         },
         "", 1},
        {"cut source only", [&] { Put(source / "pdata" / "data.muf", cut); }, source.string() + "\\pdata\\data.muf", 0},
        {"first of two damaged archives",
         [&] {
             fs::create_directories(target / "maps.muf");
             Put(target / "data.muf", cut);
             Put(target / "sounds.muf", good);
         },
         target.string() + "/maps.muf", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MUF_CloseAll();
        fs::remove_all(target);
        fs::remove_all(source);
        fs::create_directories(target);
        fs::create_directories(source);
        fs::remove(root / "registry.ini");
        plat::SetRegistryPath((root / "registry.ini").string());
        SetInstallPaths(source.c_str(), (target.string() + "/").c_str());
        c.make();
        const char* damaged = MUF_Init();
        EXPECT_EQ(damaged ? std::string(damaged) : std::string(), c.damaged);
        EXPECT_EQ(ArchiveCount(), c.archives);
    }
}

TEST_F(Muf, DemoInstallKeepsDiskFilesLooseAndPacksTheRest) {
    g_MufReady = 0;
    struct File {
        const char* path;      // as an earlier demo step wrote it
        const char* archive;   // where it must end up; null: stays a loose file
    };
    const File files[] = {
        {"sounds/Pump_Action SG.aud", "sounds.muf"},
        {"speech/Male Voice #1/Attack1.aud", "sounds.muf"},
        {"graphics/maps/town.zlm", "maps.muf"},
        {"graphics/interface/outgame/backgrounds/title.bmp", "data.muf"},
        {"data/if_t_eng.dat", "data.muf"},
        {"data/wp2/town.wp2", "data.muf"},
        {"graphics/maps/town.blm", "maps.muf"},  // text maps load from the archive too
        {"graphics/maps/grave.bin", nullptr}, // palettes too
        {"def_pal.bin", nullptr},
        {"data/if_op.dat", nullptr},
        {"data/ifkeymap.dat", nullptr},
        {"data/game.3", nullptr},
        {"movies/intro_01.avi", nullptr},
    };
    for (const File& f : files) Put(root / f.path, B(std::string("bytes of ") + f.path));
    ASSERT_TRUE(dk::DemoArchives(root.string()));
    SetInstallPaths(root.c_str(), root.c_str());
    MUF_Init();
    ASSERT_EQ(ArchiveCount(), 4u);  // patches.muf is there, empty
    for (const File& f : files) {
        SCOPED_TRACE(f.path);
        EXPECT_EQ(fs::exists(root / f.path), f.archive == nullptr);
        std::string gameName = f.path;
        for (char& c : gameName)
            if (c == '/') c = '\\';
        uint32_t size = 0;
        MufStream* s = MUF_Find(gameName.c_str(), &size);
        ASSERT_EQ(s != nullptr, f.archive != nullptr);
        if (s) {
            EXPECT_EQ(std::string(s->archive->path), root.string() + "\\" + f.archive);
        }
        EXPECT_EQ(Contents(gameName.c_str()), std::string("bytes of ") + f.path);
    }
    EXPECT_FALSE(fs::exists(root / "sounds"));  // emptied folders go with their files
    EXPECT_TRUE(fs::exists(root / "graphics" / "maps"));
}

}  // namespace
