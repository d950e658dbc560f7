// The settings loaders: the options and network options files read into the game's settings,
// and the key map and lighting accessors.
#include "world/cfg.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/mem.h"
#include "common/muf.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"
#include "net/net.h"
#include "ui/gui.h"
#include "ui/keymap.h"

int32_t g_DisplayModeUsable[8] = {1, 1, 1, 1, 1, 1, 1, 1};

namespace {

constexpr size_t kOptionLineChars = 254;
constexpr int kMaxVolumeStep = 15;
constexpr const char* kBaudRates[] = {"110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",  "14400",
                                      "19200", "38400", "56000", "57600", "115200", "128000", "256000"};

// Splits the text into lines without their CR and LF.
std::vector<std::string> Lines(const uint8_t* bytes, size_t length) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// A decimal number at the start of the line (sign allowed), saturated; false when none.
bool Decimal(const std::string& line, long* out) {
    size_t i = 0;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+'))
        negative = line[i++] == '-';
    if (i >= line.size() || line[i] < '0' || line[i] > '9')
        return false;
    long value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        value = value > 100000000L ? 1000000000L : value * 10 + (line[i] - '0');
    *out = negative ? -value : value;
    return true;
}

int Clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// Reads a whole settings file; false when it is missing.
bool LoadFile(const char* path, std::vector<uint8_t>* out) {
    uint32_t size = 0;
    void* file = MUF_LoadFile(path, &size);
    if (!file)
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(file);
    out->assign(bytes, bytes + size);
    MEM_Free(file);
    return true;
}

}  // namespace

void CFG_ReadOptions(const uint8_t* bytes, size_t length) {
    std::string line;
    for (size_t i = 0; i < length && line.size() < kOptionLineChars; ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r')
            break;
        line += static_cast<char>(bytes[i]);
    }
    // The value at a position, or -1 when the line does not reach it.
    auto at = [&](size_t pos) { return pos < line.size() ? static_cast<uint8_t>(line[pos]) - 32 : -1; };
    auto onOff = [&](size_t pos, int32_t* setting) {
        if (pos < line.size())
            *setting = Clamp(at(pos), 0, 1);
    };
    if (!line.empty()) {
        int mode = at(0);
        if (mode < 0 || mode > 7 || !g_DisplayModeUsable[mode])
            mode = RND_IsHardwareDevice() && g_DisplayModeUsable[7] ? 7 : 6;
        g_Options.displayMode = mode;
    }
    onOff(1, &g_Options.levelMovies);
    onOff(2, &g_Options.edgeScroll);
    onOff(4, &g_Options.cdMusic);
    if (line.size() > 5)
        g_Options.volumeStep = Clamp(at(5), 0, kMaxVolumeStep);
    onOff(6, &g_Options.fog);
    onOff(7, &g_Options.worldLighting);
    onOff(8, &g_Options.modelLighting);
    if (g_DspBitsPerPixel == 8)
        g_Options.fog = g_Options.worldLighting = g_Options.modelLighting = 0;
}

int CFG_LoadOptions() {
    TRC_Trace("CFG_LoadOptions");
    std::vector<uint8_t> file;
    if (!LoadFile("data\\if_op.dat", &file))
        return 0;
    CFG_ReadOptions(file.data(), file.size());
    return 1;
}

void CFG_ReadNetOptions(const uint8_t* bytes, size_t length) {
    const std::vector<std::string> lines = Lines(bytes, length);
    size_t next = 0;
    auto take = [&](std::string* line) {
        if (next >= lines.size())
            return false;
        *line = lines[next++];
        return true;
    };
    // The three strings each skip the blank lines before them.
    auto takeText = [&](std::string* line) {
        while (next < lines.size() && lines[next].empty())
            ++next;
        return take(line);
    };
    std::string line;
    if (!take(&line))
        return;
    std::memset(g_PlayerName, 0, sizeof g_PlayerName);
    std::strncpy(g_PlayerName, line.c_str(), sizeof g_PlayerName - 1);
    if (takeText(&line))
        NET_SetIPAddress(line.c_str());
    if (takeText(&line))
        NET_SetConnString(line.c_str());
    if (takeText(&line))
        NET_SetPhoneNumber(line.c_str());
    long value = 0;
    if (take(&line) && Decimal(line, &value))
        NET_SetComPort(static_cast<int>(value));
    if (take(&line))
        for (const char* rate : kBaudRates)
            if (line == rate)
                NET_SetBaudRate(std::stoi(rate));
    if (take(&line) && Decimal(line, &value))
        NET_SetStopBits(static_cast<int>(value));
    if (take(&line) && Decimal(line, &value))
        NET_SetParity(static_cast<int>(value));
    if (take(&line) && Decimal(line, &value))
        NET_SetFlowControl(static_cast<int>(value));
}

int CFG_LoadNetOptions() {
    TRC_Trace("CFG_LoadNetOptions");
    std::vector<uint8_t> file;
    if (!LoadFile("data\\if_mpop.dat", &file))
        return 0;
    CFG_ReadNetOptions(file.data(), file.size());
    return 1;
}

int CFG_GetKeyTurnLeft() {
    return g_KeyMap.words[34];
}

int CFG_GetKeyTurnRight() {
    return g_KeyMap.words[35];
}

int CFG_GetKeyBackward() {
    return g_KeyMap.words[33];
}

int CFG_GetWorldLightingOption() {
    return g_Options.worldLighting;
}

int CFG_GetModelLightingOption() {
    return g_Options.modelLighting;
}
