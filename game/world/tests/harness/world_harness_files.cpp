// The harness's working directory and the real model files the data kit writes into it.
#include <filesystem>
#include <system_error>

#include "datakit/bmp.h"
#include "datakit/bytes.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "plat.h"
#include "common/muf.h"
#include "world_harness.h"
#include "world_harness_internal.h"

namespace fs = std::filesystem;

namespace {
fs::path g_WorkDirectory;
fs::path g_PreviousDirectory;

// The file of a game path inside the working directory (backslashes become directories).
fs::path FileOf(const std::string& gamePath) {
    std::string relative = gamePath;
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    const fs::path file = g_WorkDirectory / relative;
    fs::create_directories(file.parent_path());
    return file;
}
}  // namespace

void WH_EnterWorkDirectory() {
    WH_LeaveWorkDirectory();
    g_WorkDirectory = fs::path(plat::TempDir()) / "world-harness";
    std::error_code ec;
    fs::remove_all(g_WorkDirectory, ec);
    fs::create_directories(g_WorkDirectory);
    g_PreviousDirectory = fs::current_path();
    fs::current_path(g_WorkDirectory);
    g_MufReady = 1;
}

void WH_LeaveWorkDirectory() {
    if (g_WorkDirectory.empty())
        return;
    MUF_CloseAll();
    fs::current_path(g_PreviousDirectory);
    std::error_code ec;
    fs::remove_all(g_WorkDirectory, ec);
    g_WorkDirectory.clear();
}

void WH_WriteHumanoid(const std::string& gamePath) {
    dk::WriteQkm(FileOf(gamePath).string(), dk::QkmHumanoid());
}

void WH_WriteCube(const std::string& gamePath, float half) {
    dk::WriteQmd(FileOf(gamePath).string(), dk::QmdCube(half, 1, true));
}

void WH_WriteCharacterBody(const std::string& gamePath) {
    dk::WriteQkm(FileOf(gamePath).string(), dk::QkmCharacterBody());
}

void WH_WriteSkin(const std::string& gamePath) {
    dk::Bmp8 skin(16, 16);
    skin.palette[1] = {200, 180, 160};
    for (uint8_t& p : skin.pixels)
        p = 1;
    dk::WriteBmp8(FileOf(gamePath).string(), skin);
}
