// The command-line scan: switches in any case, repeats, values that are not numbers, a switch as
// the last word, runs of blanks, out-of-range level, type, player count and limits refused with a
// message, the saturating decimal parse, and the lobby's launch line read back.
#include <climits>
#include <cstdio>
#include <string>

#include "app_fixture.h"
#include "app/app.h"
#include "common/launch_line.h"

namespace {
struct Args {
    int32_t v[LAUNCH_ARG_COUNT];
};

struct CommandLineCase {
    const char* line;
    uint32_t lobby;
    Args args;                // type, players, level, frag limit, time limit, traps
    bool settingsApplied;     // APP_SetupMultiplayerGame ran
    MpGameSettings settings;  // then g_Match.settings
};

const CommandLineCase kCases[] = {
    {"", 0, {{0, 0, 0, 0, 0, 0}}, false, {}},
    {"/torvane /type 5 /players 3 /level 4 /fraglimit 10 /timelimit 20 /traps 1", 1, {{5, 3, 4, 10, 20, 1}},
     true, {5, 7, 0, 0, 4, 0, 1, 10, 20, 1}},
    {"/TORVANE /Type 6 /PLAYERS 4 /LeVeL 2", 1, {{6, 4, 2, 0, 0, 0}}, true, {6, 1, 3, 0, 2, 0, 1, 0, 0, 0}},
    {"/Torvane /type 6 /traps 0", 1, {{6, 0, 0, 0, 0, 0}}, true, {6, 1, 3, 0, 0, 0, 1, 0, 0, 0}},
    // Not from the lobby: the values are kept but no game is set up.
    {"/type 5 /players 3", 0, {{5, 3, 0, 0, 0, 0}}, false, {}},
    // The later of two values wins.
    {"/level 3 /level 7 /fraglimit 1 /FRAGLIMIT 9", 0, {{0, 0, 7, 9, 0, 0}}, false, {}},
    // Values without digits give 0; leading digits and a sign are read.
    {"/players abc /fraglimit 12abc /timelimit +5x /traps +7", 0, {{0, 0, 0, 12, 5, 7}}, false, {}},
    // A switch that is the last word takes 0.
    {"/traps 1 /players 2 /traps", 0, {{0, 2, 0, 0, 0, 0}}, false, {}},
    // Runs of blanks make no empty words; the launch line begins with a blank.
    {"   /torvane    /type   5     /level  1   ", 1, {{5, 0, 1, 0, 0, 0}}, true, {5, 7, 0, 0, 1, 0, 1, 0, 0, 0}},
    // A value word is compared too: "/level /level 5" reads "/level" as 0, then 5.
    {"/level /level 5", 0, {{0, 0, 5, 0, 0, 0}}, false, {}},
    {"/type /players 3", 0, {{0, 3, 0, 0, 0, 0}}, false, {}},
    // Level 0..16 and type 5 or 6 only: other values are refused and the earlier value stays.
    {"/level 16 /level 17 /level -1", 0, {{0, 0, 16, 0, 0, 0}}, false, {}},
    {"/type 6 /type 7 /type 0", 0, {{6, 0, 0, 0, 0, 0}}, false, {}},
    // A lobby launch without a valid type sets nothing up.
    {"/torvane /type 99 /level 3", 1, {{0, 0, 3, 0, 0, 0}}, false, {}},
    {"/torvane", 1, {{0, 0, 0, 0, 0, 0}}, false, {}},
    // Players 1..8, frag limit 0..100 and time limit 0..60 only: the earlier value stays.
    {"/players 8 /players 9 /players 0 /players -7 /players 2147483647", 0, {{0, 8, 0, 0, 0, 0}}, false, {}},
    {"/players 1 /fraglimit 100 /fraglimit 101 /fraglimit -1 /timelimit 60 /timelimit 61 /timelimit -1", 0,
     {{0, 1, 0, 100, 60, 0}}, false, {}},
    {"/fraglimit 0 /timelimit 0", 0, {{0, 0, 0, 0, 0, 0}}, false, {}},
    // Numbers beyond 32 bits saturate, and are then refused.
    {"/fraglimit 99999999999 /timelimit -99999999999 /players 2147483648 /fraglimit -2147483648", 0,
     {{0, 0, 0, 0, 0, 0}}, false, {}},
    {"/timelimit 99999999999999999999", 0, {{0, 0, 0, 0, 0, 0}}, false, {}},
    // Only whole words match.
    {"/torvanex /typed 5 /level5 torvane", 0, {{0, 0, 0, 0, 0, 0}}, false, {}},
};

constexpr MpGameSettings kUntouched = {-99, -99, -99, -99, 9, -99, -99, -99, -99, -99};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}
}  // namespace

class CommandLineTest : public ShellTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, Scan) {
    const CommandLineCase& c = GetParam();
    g_Match.settings = kUntouched;
    g_LaunchedFromLobby = 1;  // cleared by every scan
    APP_ParseCommandLine(c.line);
    EXPECT_EQ(g_LaunchedFromLobby, c.lobby);
    for (int i = 0; i < LAUNCH_ARG_COUNT; ++i)
        EXPECT_EQ(g_LaunchArgs[i], c.args.v[i]) << "launch value " << i;
    const MpGameSettings& want = c.settingsApplied ? c.settings : kUntouched;
    const int32_t* got = &g_Match.settings.gameType;
    const int32_t* expected = &want.gameType;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(got[i], expected[i]) << "settings field " << i;
}

INSTANTIATE_TEST_SUITE_P(Lines, CommandLineTest, ::testing::ValuesIn(kCases));

// Every refused value is named on stderr with its switch; accepted values say nothing.
TEST_F(ShellTest, RefusedValuesAreReportedOnStderr) {
    const struct {
        const char* line;
        const char* message;  // null: nothing is written
    } cases[] = {
        {"/players 0", "/players 0 is out of range"},
        {"/players 9", "/players 9 is out of range"},
        {"/players -7", "/players -7 is out of range"},
        {"/players 2147483647", "/players 2147483647 is out of range"},
        {"/fraglimit -2147483648", "/fraglimit -2147483648 is out of range"},
        {"/fraglimit 101", "/fraglimit 101 is out of range"},
        {"/timelimit 99999999999999999999", "/timelimit 2147483647 is out of range"},
        {"/timelimit 61", "/timelimit 61 is out of range"},
        {"/level 17", "/level 17 is out of range"},
        {"/players 8 /fraglimit 100 /timelimit 60 /level 16", nullptr},
        {"/players 1 /fraglimit 0 /timelimit 0", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ::testing::internal::CaptureStderr();
        APP_ParseCommandLine(c.line);
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (c.message)
            EXPECT_NE(err.find(c.message), std::string::npos) << err;
        else
            EXPECT_EQ(err, "");
    }
}

TEST_F(ShellTest, NullCommandLineIsEmpty) {
    g_LaunchedFromLobby = 1;
    APP_ParseCommandLine(nullptr);
    EXPECT_EQ(g_LaunchedFromLobby, 0u);
}

TEST(DecimalParse, SignDigitsAndSaturation) {
    const struct {
        const char* word;
        int32_t value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"-42", -42},
        {"+7", 7},
        {"007", 7},
        {"", 0},
        {"-", 0},
        {"abc", 0},
        {"12abc", 12},
        {"1-2", 1},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999999999", INT32_MAX},
        {"-99999999999999999999999999", INT32_MIN},
        {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(APP_ParseDecimal(c.word), c.value) << (c.word ? c.word : "(null)");
}

TEST_F(ShellTest, LaunchLineOfTheLobbyReadsBack) {
    char line[256];
    std::snprintf(line, sizeof line, GameLaunchLine, 6, 2, 16, 35, 20, 1);
    ASSERT_EQ(line[0], ' ');
    APP_ParseCommandLine((std::string("C:\\Games\\Ghoulden.exe") + line).c_str());
    EXPECT_EQ(g_LaunchedFromLobby, 1u);
    const int32_t expected[LAUNCH_ARG_COUNT] = {6, 2, 16, 35, 20, 1};
    for (int i = 0; i < LAUNCH_ARG_COUNT; ++i)
        EXPECT_EQ(g_LaunchArgs[i], expected[i]) << "launch value " << i;
    EXPECT_EQ(g_Match.settings.gameType, 6);
    EXPECT_EQ(g_Match.settings.playerCount, 1);
    EXPECT_EQ(g_Match.settings.modeA, 3);
    EXPECT_EQ(g_Match.settings.level, 16);
    EXPECT_EQ(g_Match.settings.fragLimit, 35);
}
