// The demo install's registry file and title picture: the game's key with both install paths
// naming the install as an absolute path, read back through the platform's registry; the title
// is a 640 x 480 8-bit bitmap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datakit/demo_steps.h"
#include "plat.h"
#include "registry.h"

namespace {
std::string ReadValue(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\brellwick\\ghoulden\\1.00", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(no key)";
    char value[512] = {};
    DWORD size = sizeof value, type = 0;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return "(no value)";
    return value;
}
}  // namespace

TEST(DemoRegistry, InstallPathsNameTheInstall) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(plat::TempDir()) / "demo-registry";
    fs::create_directories(dir);
    const std::string before = plat::RegistryPath();

    // A relative directory with a trailing separator still gives the plain absolute path.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.parent_path());
    ASSERT_TRUE(dk::DemoRegistry("demo-registry/"));
    fs::current_path(cwd);
    EXPECT_EQ(plat::RegistryPath(), before) << "the process's registry is left as it was";
    ASSERT_TRUE(fs::exists(dir / "registry.ini"));

    plat::SetRegistryPath((dir / "registry.ini").string());
    EXPECT_EQ(ReadValue("SourcePath"), dir.string());
    EXPECT_EQ(ReadValue("TargetPath"), dir.string());
    plat::SetRegistryPath(before);
    fs::remove_all(dir);
}

TEST(DemoTitle, WritesTheTitleBitmap) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(plat::TempDir()) / "demo-title";
    ASSERT_TRUE(dk::DemoTitle(dir.string()));
    std::ifstream in(dir / "graphics/interface/outgame/backgrounds/title.bmp", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(bytes.size(), 1078u + 640u * 480u);
    auto u32 = [&](size_t at) { return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                                       uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24; };
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(u32(18), 640u);
    EXPECT_EQ(u32(22), 480u);
    EXPECT_EQ(bytes[28], 8);
    fs::remove_all(dir);
}
