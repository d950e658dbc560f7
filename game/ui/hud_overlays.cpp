// The texts over a network match: the scoreboard of a type-5 match, the result texts of a type-6
// match and the match-over text. Every text comes from the text file's menu keys through the
// table below; a missing key draws nothing, and no text slot reaches a format as null.
#include <cstdio>

#include "net/net.h"
#include "common/match.h"
#include "world/game_state.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "ui/txt.h"

namespace {

constexpr int kFont = 3;

// Which key each overlay text shows.
enum OverlayText : int {
    OVERLAY_FRAG_LIMIT,   // the scoreboard's heading when the frag limit ended the match
    OVERLAY_TIME_LIMIT,   // ... when the time limit ended it
    OVERLAY_GO_ON,        // the host's prompt under the final texts
    OVERLAY_WON_1,        // type 6: the pair of a won match
    OVERLAY_WON_2,
    OVERLAY_LOST_1,       // type 6: the pair of a lost match
    OVERLAY_LOST_2,
    OVERLAY_OVER_TYPE6,   // the match-over text of a type-6 match
    OVERLAY_OVER_OTHER,   // ... of another match
    OVERLAY_COUNT
};
constexpr TxtMenuKey kOverlayKeys[OVERLAY_COUNT] = {
    TXT_mm_w4, TXT_mm_w5, TXT_mm_w6, TXT_mm_w0, TXT_mm_w1, TXT_mm_w2, TXT_mm_w3, TXT_mt_df, TXT_mt_d0,
};

const char* Text(OverlayText t) {
    return TXT_Menu(kOverlayKeys[t]);
}

void Centred(const char* text, int y) {
    FNT_DrawText(text, 320, y, 1, kFont);
}

bool LevelDecided() {
    return g_Match.levelFailed || g_Match.levelWon;
}

bool HostPromptDue() {
    return NET_IsHost() && APP_GetLevelFrameCount() >= 31;
}

}  // namespace

void HUD_DrawScoreboard() {
    if (g_Match.settings.gameType != 5 || LevelDecided())
        return;
    struct Entry {
        int slot;
        int32_t frags;  // -1 for a slot without a player
    } entries[GUI_MAX_SLOTS];
    for (int i = 0; i < GUI_MAX_SLOTS; ++i)
        entries[i] = {i, g_Match.slotNetIds[i] == -1 ? -1 : g_Match.slotFrags[i]};
    // Eight bubble passes, higher counts first; equal counts swap as well, which lists two tied
    // players in reverse slot order.
    for (int pass = 0; pass < GUI_MAX_SLOTS; ++pass)
        for (int j = 0; j + 1 < GUI_MAX_SLOTS - pass; ++j)
            if (entries[j].frags <= entries[j + 1].frags) {
                const Entry t = entries[j];
                entries[j] = entries[j + 1];
                entries[j + 1] = t;
            }
    char line[64];
    if (!g_Match.matchEnded) {
        if (g_Match.gameOver)
            return;
        int y = 170;
        for (const Entry& e : entries) {
            if (e.frags < 0)
                continue;
            std::snprintf(line, sizeof line, "%.16s = %d", g_Match.slotNames[e.slot], e.frags);
            FNT_DrawText(line, 640 - FNT_TextWidth(line, kFont), y, 0, kFont);
            y += 16;
        }
        return;
    }
    int players = 0;
    for (const Entry& e : entries)
        players += e.frags >= 0 ? 1 : 0;
    int y = 240 - 10 * players;
    if (g_Match.fragLimitReached)
        Centred(Text(OVERLAY_FRAG_LIMIT), y - 40);
    else if (g_Match.timeLimitReached)
        Centred(Text(OVERLAY_TIME_LIMIT), y - 40);
    int last = y - 20;
    for (const Entry& e : entries) {
        if (e.frags < 0)
            continue;
        FNT_DrawText(g_Match.slotNames[e.slot], 100, y, 0, kFont);
        std::snprintf(line, sizeof line, "%d", e.frags);
        FNT_DrawText(line, 540 - FNT_TextWidth(line, kFont), y, 0, kFont);
        last = y;
        y += 20;
    }
    if (HostPromptDue())
        Centred(Text(OVERLAY_GO_ON), last + 20);
}

void HUD_DrawGameOver() {
    if (g_Match.settings.gameType != 6 || !g_Match.matchEnded || LevelDecided() || g_Match.gameOver)
        return;
    const bool won = g_Match.gameResult == 1;
    Centred(Text(won ? OVERLAY_WON_1 : OVERLAY_LOST_1), 200);
    Centred(Text(won ? OVERLAY_WON_2 : OVERLAY_LOST_2), 230);
    if (HostPromptDue())
        Centred(Text(OVERLAY_GO_ON), 280);
}

void HUD_DrawMatchOver() {
    if (!g_Match.gameOver || LevelDecided())
        return;
    Centred(Text(g_Match.settings.gameType == 6 ? OVERLAY_OVER_TYPE6 : OVERLAY_OVER_OTHER), 180);
    if (APP_GetLevelFrameCount() > 30)
        Centred(Text(OVERLAY_GO_ON), 280);
}
