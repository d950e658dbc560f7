// The fatal-error screen: headless without anyone to answer it prints and exits; with an input
// script it runs its own loop (box toggling every 50 idle passes, clipped to the display, three
// texts, no frame step) until the window is closed; entered again while it shuts down it ends the
// process at once.
#include <string>
#include <vector>

#include "app_fixture.h"
#include "engine/rnd_state.h"
#include "app/app.h"
#include "common/calltrace.h"
#include "ui/gui.h"

namespace {
using Calls = std::vector<std::string>;

Calls Concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Calls Texts(const std::string& message) {
    return {"RND_DrawDebugText(0.42,0.03,FATAL ERROR:)", "RND_DrawDebugText(0.20,0.07," + message + ")",
            "RND_DrawDebugText(0.41,0.11,hit ALT-F4 to exit...)", "RND_Flip"};
}

// What one idle pass of the screen records, plain or framed, for a display of width x height.
Calls Pass(bool framed, int width, int height, const std::string& message) {
    const std::string box = std::to_string(width) + "," + std::to_string(height);
    Calls calls = {"RND_SetClipRectRaw(0,0," + box + ")"};
    if (framed) {
        calls.push_back("RND_SetBackgroundColour(0x00004D)");
        calls.push_back("RND_ClearRect(0,0," + box + ",0x00004D)");
        calls.push_back("RND_SetBackgroundColour(0x000000)");
        const int innerRight = std::min(633, width), innerBottom = std::min(73, height);
        if (innerRight > 7 && innerBottom > 7)
            calls.push_back("RND_ClearRect(7,7," + std::to_string(innerRight - 7) + "," +
                            std::to_string(innerBottom - 7) + ",0x000000)");
    } else {
        calls.push_back("RND_SetBackgroundColour(0x000000)");
        calls.push_back("RND_ClearRect(0,0," + box + ",0x000000)");
    }
    return Concat(calls, Texts(message));
}
}  // namespace

TEST_F(ShellTest, FatalErrorHeadlessPrintsAndShutsDown) {
    CreateMainWindow();
    ::testing::internal::CaptureStderr();
    const int code = ExitCodeOf([] { APP_FatalError("Unable to open map file: town2-4.zlm"); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 0);
    EXPECT_NE(err.find("FATAL ERROR: Unable to open map file: town2-4.zlm"), std::string::npos) << err;
    EXPECT_EQ(TRC_TraceLog(), kShutdownCalls) << "no screen is drawn when nobody can close it";
}

struct ScreenCase {
    const char* name;
    int width, height;  // the display mode
};

void PrintTo(const ScreenCase& c, std::ostream* os) {
    *os << c.width << " x " << c.height;
}

class FatalScreenTest : public ShellTest, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(FatalScreenTest, TogglesEveryFiftyPassesUntilClosed) {
    const ScreenCase& c = GetParam();
    UseInputScript("120 close\n");  // Alt-F4 after 120 frames of the screen
    CreateMainWindow();
    const float shownWidth = g_Rnd.screenWidth, shownHeight = g_Rnd.screenHeight;
    g_Rnd.screenWidth = float(c.width);
    g_Rnd.screenHeight = float(c.height);
    g_Match.inLevel = 1;
    const int width = std::min(640, c.width), height = std::min(80, c.height);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ExitCodeOf([] { APP_FatalError("number of bod searches has exceeded limit!"); }), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("FATAL ERROR: number of bod searches has exceeded limit!"), std::string::npos);

    const std::string message = "number of bod searches has exceeded limit!";
    Calls expected;
    for (int pass = 0; pass < 120; ++pass)
        expected = Concat(expected, Pass((pass / 50) % 2 == 1, width, height, message));
    EXPECT_EQ(TRC_TraceLog(), Concat(expected, kShutdownCalls));
    g_Rnd.screenWidth = shownWidth;
    g_Rnd.screenHeight = shownHeight;
}

INSTANTIATE_TEST_SUITE_P(Modes, FatalScreenTest,
                         ::testing::Values(ScreenCase{"Full", 640, 480}, ScreenCase{"Small", 320, 240},
                                           ScreenCase{"Tiny", 6, 5}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ShellTest, FatalErrorDuringItsShutdownEndsAtOnce) {
    CreateMainWindow();
    g_LevelLoaded = 1;
    // The level unload of the shutdown raises a second fatal error.
    TRC_SetCallHook([](const std::string& call) {
        if (call == "LVL_UnloadLevel")
            APP_FatalError("Unable to open map file: again");
    });
    ::testing::internal::CaptureStderr();
    const int code = ExitCodeOf([] { APP_FatalError("first"); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_EQ(TRC_TraceLog(), Calls{"LVL_UnloadLevel"}) << "nothing runs after the second entry";
    EXPECT_NE(err.find("FATAL ERROR: first"), std::string::npos);
    EXPECT_NE(err.find("FATAL ERROR: Unable to open map file: again"), std::string::npos);
}
