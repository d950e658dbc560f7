// Run-time loading: Windows library names map to Linux ones, a missing library is not loaded,
// and PLATFORM_LIBRARY_PATH is searched.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../src/internal.h"
#include "platform_fixture.h"

namespace {
using plattest::HeadlessTest;

TEST(LibraryName, MapsWindowsNamesToLinuxNames) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"VOX.DLL", "libvox.so"},
        {"Vox.dll", "libvox.so"},
        {"C:\\WINDOWS\\SYSTEM\\VOX.DLL", "libvox.so"},
        {"plugins/LobbyOpts.DLL", "liblobbyopts.so"},
        {"LIBERTY.DLL", "libliberty.so"},
        {"speech", "libspeech.so"},
        {"libvox.so", "libvox.so"},
        {"", ""},
        {".dll", "lib.dll.so"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::detail::LinuxLibraryName(c.in), c.out) << c.in;
}

// Finds the file of a library already in this process (zlib comes with libpng).
std::string PathOfLoaded(const char* soname, const char* symbol) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return {};
    Dl_info info{};
    void* sym = dlsym(handle, symbol);
    std::string path = (sym && dladdr(sym, &info) && info.dli_fname) ? info.dli_fname : "";
    dlclose(handle);
    return path;
}

TEST_F(HeadlessTest, LoadsFromTheLibraryPathAndMissingGivesNull) {
    EXPECT_EQ(LoadLibraryA("NOSUCHLIB.DLL"), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

    const std::string zlib = PathOfLoaded("libz.so.1", "zlibVersion");
    ASSERT_FALSE(zlib.empty());
    const std::string dir = scratch + "/libs";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(zlib, dir + "/libvox.so");
    EXPECT_EQ(LoadLibraryA("VOX.DLL"), nullptr) << "not beside us and no search path yet";
    setenv("PLATFORM_LIBRARY_PATH", ("/nonexistent::" + dir).c_str(), 1);
    HMODULE vox = LoadLibraryA("VOX.DLL");
    ASSERT_NE(vox, nullptr);
    EXPECT_NE(GetProcAddress(vox, "zlibVersion"), nullptr);
    EXPECT_EQ(GetProcAddress(vox, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetProcAddress(vox, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(3))), nullptr) << "ordinal";
    EXPECT_TRUE(FreeLibrary(vox));
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(ModuleHandles, ProgramInstanceAndHarmlessResources) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    HBRUSH brush = CreateSolidBrush(0);
    EXPECT_NE(brush, nullptr);
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(SdlKeys, SdlScanCodesMapToDirectInputCodes) {
    struct Case {
        int sdl; // USB usage number, which is SDL's scan code
        uint8_t dik;
    };
    const Case cases[] = {
        {4, 0x1E},   // A
        {29, 0x2C},  // Z
        {30, 0x02},  // 1
        {39, 0x0B},  // 0
        {41, 0x01},  // Escape
        {40, 0x1C},  // Return
        {44, 0x39},  // Space
        {58, 0x3B},  // F1
        {67, 0x44},  // F10
        {68, 0x57},  // F11
        {69, 0x58},  // F12
        {82, 0xC8},  // Up
        {81, 0xD0},  // Down
        {80, 0xCB},  // Left
        {79, 0xCD},  // Right
        {88, 0x9C},  // keypad Enter
        {84, 0xB5},  // keypad /
        {98, 0x52},  // keypad 0
        {225, 0x2A}, // left Shift
        {229, 0x36}, // right Shift
        {228, 0x9D}, // right Control
        {230, 0xB8}, // right Alt
        {0, 0},      // unknown
        {227, 0},    // the Windows key is not used
        {9999, 0},
        {-1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::detail::DikFromSdlScancode(c.sdl), c.dik) << c.sdl;
}

}  // namespace
