// The command-line scan of WinMain: the lobby's switches (see launch_line.h), matched without
// regard to case, each value the next word read as a decimal number.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "win32.h"

namespace {
// A switch, the launch value it sets and the values it accepts. The level and the player count
// index fixed tables, the game type selects the match rules, and the limits are those the game
// set-up offers (frags 0..100, minutes 0..60, 0 for none), so out-of-range values are refused.
struct LaunchSwitch {
    const char* word;
    int arg;
    int32_t low, high;
};
constexpr LaunchSwitch kLaunchSwitches[] = {
    {"/type", LAUNCH_TYPE, 5, 6},
    {"/players", LAUNCH_PLAYERS, 1, GUI_MAX_SLOTS},
    {"/level", LAUNCH_LEVEL, 0, APP_LEVEL_COUNT - 1},
    {"/fraglimit", LAUNCH_FRAGLIMIT, 0, 100},
    {"/timelimit", LAUNCH_TIMELIMIT, 0, 60},
    {"/traps", LAUNCH_TRAPS, INT32_MIN, INT32_MAX},
};
constexpr char kLobbySwitch[] = "/torvane";

bool APP_SameWordNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

void APP_Report(const char* text) {
    OutputDebugStringA(text);
}
}  // namespace

int32_t APP_ParseDecimal(const char* word) {
    if (!word)
        return 0;
    bool negative = false;
    if (*word == '+' || *word == '-')
        negative = *word++ == '-';
    // Counted past the largest magnitude, then clamped: a long number saturates.
    constexpr int64_t kLimit = int64_t(INT32_MAX) + 1;
    int64_t value = 0;
    for (; *word >= '0' && *word <= '9'; ++word) {
        value = value * 10 + (*word - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return int32_t(-value);
    return int32_t(value > INT32_MAX ? INT32_MAX : value);
}

void APP_ParseCommandLine(const char* commandLine) {
    // The words point into a copy on the general heap whose blanks became terminators.
    const char* line = commandLine ? commandLine : "";
    std::vector<char> copy(line, line + std::strlen(line) + 1);
    std::vector<const char*> words;
    for (size_t i = 0; i + 1 < copy.size(); ++i) {
        if (copy[i] == ' ') {
            copy[i] = '\0';
            continue;
        }
        if (i == 0 || copy[i - 1] == '\0')
            words.push_back(&copy[i]);
    }

    g_LaunchedFromLobby = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        if (APP_SameWordNoCase(words[i], kLobbySwitch)) {
            g_LaunchedFromLobby = 1;
            continue;
        }
        for (const LaunchSwitch& option : kLaunchSwitches) {
            if (!APP_SameWordNoCase(words[i], option.word))
                continue;
            // A switch that is the last word has no value: 0.
            const int32_t value = i + 1 < words.size() ? APP_ParseDecimal(words[i + 1]) : 0;
            if (value < option.low || value > option.high) {
                char note[128];
                std::snprintf(note, sizeof note, "Ghoulden: %s %d is out of range; ignored\n", option.word,
                              value);
                APP_Report(note);
                break;
            }
            g_LaunchArgs[option.arg] = value;
            break;
        }
    }

    if (!g_LaunchedFromLobby)
        return;
    const int32_t type = g_LaunchArgs[LAUNCH_TYPE];
    if (type != 5 && type != 6) {
        APP_Report("Ghoulden: the lobby gave no valid game type; its game settings are not applied\n");
        return;
    }
    APP_SetupMultiplayerGame(type, g_LaunchArgs[LAUNCH_PLAYERS], 0, 0, g_LaunchArgs[LAUNCH_LEVEL], 0, 1,
                             g_LaunchArgs[LAUNCH_FRAGLIMIT], g_LaunchArgs[LAUNCH_TIMELIMIT],
                             g_LaunchArgs[LAUNCH_TRAPS]);
}
