// The fatal-error screen: a blocking screen with its own message loop that shows the error until
// the window is closed, then the shutdown sequence (exit code 0, or the start-up's code for a
// broken install). No frame step runs meanwhile.
#include <algorithm>
#include <cstdio>

#include "plat.h"
#include "app/app.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_view.h"

uint32_t g_InFatalError = 0;

namespace {
constexpr int kBoxWidth = 640, kBoxHeight = 80, kFrameWidth = 7;
constexpr int kPassesPerToggle = 50;
constexpr float kFrameColour[3] = {0.0f, 0.0f, 0.3f};
constexpr float kBlack[3] = {0.0f, 0.0f, 0.0f};

// The box at the top of the screen, plain or framed, clipped to the display (a 320 x 240 mode is
// smaller than the box), then the three texts and the flip.
void APP_DrawFatalScreen(const char* text, bool framed) {
    const int width = std::min(kBoxWidth, int(RND_GetScreenWidth()));
    const int height = std::min(kBoxHeight, int(RND_GetScreenHeight()));
    RND_SetClipRectRaw(0, 0, width, height);
    if (framed) {
        RND_SetBackgroundColour(kFrameColour);
        RND_ClearRect(0, 0, width, height);
        const int innerRight = std::min(kBoxWidth - kFrameWidth, width);
        const int innerBottom = std::min(kBoxHeight - kFrameWidth, height);
        RND_SetBackgroundColour(kBlack);
        if (innerRight > kFrameWidth && innerBottom > kFrameWidth)
            RND_ClearRect(kFrameWidth, kFrameWidth, innerRight - kFrameWidth, innerBottom - kFrameWidth);
    } else {
        RND_SetBackgroundColour(kBlack);
        RND_ClearRect(0, 0, width, height);
    }
    RND_DrawDebugText(0.42f, 0.03f, "FATAL ERROR:");
    RND_DrawDebugText(0.20f, 0.07f, text);
    RND_DrawDebugText(0.41f, 0.11f, "hit ALT-F4 to exit...");
    RND_Flip();
}
}  // namespace

void APP_FatalError(const char* text) {
    APP_FatalErrorExit(text, 0);
}

void APP_FatalErrorExit(const char* text, int exitCode) {
    char line[512];
    std::snprintf(line, sizeof line, "FATAL ERROR: %s\n", text ? text : "");
    std::fputs(line, stderr);
    // An error raised while this screen shuts down (the unload, say) would run it inside itself.
    if (g_InFatalError)
        ExitProcess(1);
    g_InFatalError = 1;

    // With nobody to close the window the screen would wait forever.
    bool framed = false;
    int idlePasses = 0;
    MSG message;
    while (g_MainWindow && plat::InteractiveInput()) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0))
                break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        APP_DrawFatalScreen(text, framed);
        if (++idlePasses % kPassesPerToggle == 0)
            framed = !framed;
    }
    APP_ShutdownSequence(exitCode);
}
