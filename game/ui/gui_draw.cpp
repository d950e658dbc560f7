// The interface's drawing: GUI_Draw after the 3D passes (windows, the pause text, the pointer,
// and inside a network level the stop of the world objects' looping sounds while play stands
// still, the chat input line, the match overlays and the HUD lines), and
// HUD_EraseOverlays before them, which clears where last frame's overlays stood. The pause text
// comes from the text file's menu keys through the table below.
#include "engine/rnd_bitmap.h"
#include "ui/fe_screens.h"
#include "world/snd_pos.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "common/calltrace.h"
#include "net/net.h"
#include "ui/fe_main_menu.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "ui/img.h"
#include "ui/txt.h"
#include "world/bod.h"
#include "world/clk.h"

int32_t g_OverlayFullClear;
int32_t g_HudMessageBand;
int32_t g_ScoreAreaCounter;
uint32_t g_ChatEnabled;

namespace {

// The overlay texts by the text file's keys.
enum Overlay : int { OVERLAY_PAUSE };
constexpr TxtMenuKey kOverlayTexts[] = {
    TXT_mm_pa,  // the pause text over a halted single-player level
};

constexpr int kFontSmall = 3;
constexpr int kBlinkMs = 500;

// The pointer picture by kind: 0 HAND, 1 HANDNOF, 2 HOURGLAS, 3 HANDAR, 5 HANDRED, 6 HANDBLAC,
// 7 HANDYELL, 8 HANDBLUE (holders of g_ImgPointers); kind 4 draws none.
constexpr int kPictureOfKind[9] = {1, 2, 3, 4, -1, 5, 7, 6, 8};

void DrawPointer() {
    if (g_PointerKind >= 0 && g_PointerKind <= 8 && kPictureOfKind[g_PointerKind] >= 0) {
        ImageHolder& h = g_ImgPointers[kPictureOfKind[g_PointerKind]];
        if (h.bitmap) {
            const DesignPoint at{static_cast<float>(g_MouseState.x[0]), static_cast<float>(g_MouseState.y[0])};
            const DesignRect whole{0, 0, 640, 480};
            DSP_BlitBitmapPartKeyed(h.bitmap, &at, 32, 32, &whole);
        }
    }
    if (--g_PointerLife <= 0) {
        g_PointerLife = 0;
        g_PointerKind = 0;
    }
}

// The chat input line with its cursor, which flips every 500 ms of the game clock in a level and
// of the front end's tick count outside.
void DrawChatInput() {
    const int cursorX = FNT_TextWidth(g_ChatInput, kFontSmall) + 5;
    const int32_t elapsed = g_Match.inLevel == 1 ? g_GameClock.deltaMs
                                           : static_cast<int32_t>(g_FrontEndTick[1] - g_FrontEndTick[0]);
    g_ChatBlinkTimer += elapsed;
    if (g_ChatBlinkTimer > kBlinkMs) {
        g_ChatBlinkTimer = 0;
        g_ChatCursorOn ^= 1u;
    }
    if (g_ChatCursorOn) {
        FNT_DrawText("_", cursorX, 400, 0, kFontSmall);
        FNT_DrawText("=", cursorX, 400, 0, kFontSmall);
    }
    FNT_DrawText(g_ChatInput, 5, 400, 0, kFontSmall);
}

// A network level stands still: halted, failed for more than 200 ms, won, or the match over.
bool PlayHalted() {
    return g_Match.halted || (g_Match.levelFailed && g_Match.levelEndTime > 200) || g_Match.levelWon || g_Match.matchEnded || g_Match.gameOver;
}

// The looping sounds of the world objects stop with the play.
void StopObjectSounds() {
    for (Bod* b = BOD_FindFirst(&g_WorldBods, BOD_MASK_OBJECTS); b; b = BOD_FindNext(&g_WorldBods, BOD_MASK_OBJECTS, b))
        SND_StopEmitter(b);
}

}  // namespace

int GUI_Draw() {
    TRC_Trace("GUI_Draw");
    GUI_DrawWindows();
    if (g_Match.halted && !g_Match.mpGameRunning)
        FNT_DrawText(TXT_Menu(kOverlayTexts[OVERLAY_PAUSE]), 320, 50, 1, kFontSmall);
    // A lobby game's character selection draws itself alone until its start.
    if (GUI_LaunchedByLobby() && GUI_IsWindowOpen(g_CharSelectWindow) && !g_CharSelectStarted)
        return 0;
    DrawPointer();
    if (g_Match.inLevel != 1)
        return 1;
    if (!g_Match.mpGameRunning) {
        HUD_DrawMessages();
        return 1;
    }
    if (PlayHalted())
        StopObjectSounds();
    if (g_ChatTyping)
        DrawChatInput();
    HUD_DrawScoreboard();
    HUD_DrawGameOver();
    HUD_DrawMatchOver();
    HUD_DrawMessages();
    return 1;
}

void HUD_EraseOverlays() {
    TRC_Trace("HUD_EraseOverlays");
    if (g_Match.inLevel != 1)
        return;
    const int width = static_cast<int>(RND_GetScreenWidth());
    const bool small = width == 320 && static_cast<int>(RND_GetScreenHeight()) == 240;
    const int half = small ? 2 : 1;
    bool fullClear = false;
    if (g_OverlayFullClear > 0) {
        RND_ClearScreen();
        --g_OverlayFullClear;
        fullClear = true;
    }
    if (g_Match.mpGameRunning && g_ChatEnabled && g_ChatTyping)
        RND_ClearRect(0, 392 / half, 550 / half, 16 / half);
    if (g_HudMessageBand && !fullClear)
        RND_ClearRect(0, 0, width, 128 / half);
    if (g_Match.mpGameRunning && g_ScoreAreaCounter >= 1) {
        --g_ScoreAreaCounter;
        const int left = (640 - FNT_TextWidth("WWWWWWWWWWWWWWWW = 888", kFontSmall)) / half;
        RND_ClearRect(left, 162 / half, width - left, 136 / half);
    }
    // The blank pointer picture over last frame's pointer.
    if (ImageHolder& blank = g_ImgPointers[0]; blank.bitmap) {
        const DesignPoint at{static_cast<float>(g_MouseState.x[1]), static_cast<float>(g_MouseState.y[1])};
        const DesignRect whole{0, 0, 640, 480};
        DSP_BlitBitmapPart(blank.bitmap, &at, 32, 32, &whole);
    }
}
