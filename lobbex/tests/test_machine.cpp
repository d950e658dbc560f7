// The simulated machine of the library's tests (see test_machine.h).
#include "test_machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "lobbex_exports.h"
#include "plat.h"
#include "registry.h"

namespace kt {
namespace {

std::string g_root;
int g_fresh = 0;

HKEY OpenKey(const std::string& subkey) {
    std::string path = "Software\\Brellwick\\Torvane\\" + subkey;
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                    &key, &disposition);
    return key;
}

class MachineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/lobbex_tests.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_root = pattern;
        plat::SetRegistryPath(g_root + "/registry.ini");
        SetText("Main", "Root Directory", g_root);
        mkdir((g_root + "/System").c_str(), 0755);
        // The library has run on this machine before: its process count exists (a first run
        // would trace a warning about the missing key before any test's own line).
        SetBinary("TEMP", "KrTraceCount", {0x00, 0x00, 0x00, 0x00});
    }
    void TearDown() override {
        KrTraceClose();
        std::system(("rm -rf '" + g_root + "'").c_str());
    }
};

const bool g_registered = (::testing::AddGlobalTestEnvironment(new MachineEnvironment), true);

}  // namespace

const std::string& Root() {
    return g_root;
}

std::string FreshDir(const std::string& stem) {
    std::string dir = g_root + "/" + stem + "." + std::to_string(getpid()) + "." + std::to_string(++g_fresh);
    mkdir(dir.c_str(), 0755);
    return dir;
}

void SetText(const std::string& subkey, const std::string& name, const std::string& value) {
    HKEY key = OpenKey(subkey);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   (DWORD)value.size() + 1);
    RegCloseKey(key);
}

void SetBinary(const std::string& subkey, const std::string& name, const std::vector<uint8_t>& bytes) {
    HKEY key = OpenKey(subkey);
    RegSetValueExA(key, name.c_str(), 0, REG_BINARY, bytes.data(), (DWORD)bytes.size());
    RegCloseKey(key);
}

void SetNumber(const std::string& subkey, const std::string& name, uint32_t value) {
    HKEY key = OpenKey(subkey);
    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void DeleteValue(const std::string& subkey, const std::string& name) {
    HKEY key = OpenKey(subkey);
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

std::string FreshTraceDir() {
    KrTraceClose();
    std::string dir = FreshDir("trace");
    SetText("Main", "System Directory", dir);
    return dir;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

int InChild(int (*body)(void*), void* context) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(body(context));
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace kt
