// The HUD message list: eight lines at the top left of the screen during a level. Callers anywhere
// add lines; the draw pass orders, draws and ages them once per frame. Also the empty callback
// that every behaviour table uses for its unused entries.
#include <algorithm>
#include <cstring>

#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/hud.h"

HudMessageList g_HudMessages = {{}, {-1, -1, -1, -1, -1, -1, -1, -1}};

void GUI_NullCallback() {}

namespace {
constexpr int kLineX = 0, kFirstLineY = 8, kLineStep = 16, kAlignLeft = 0, kHudFont = 3;

// Lists text with the given life. With refresh, a line holding the same text only gets the life
// back. Otherwise the first free line, else the line with the lowest life not above limit (the
// last of equal ones) takes it; 0 when every life is above limit.
int HUD_ListLine(const char* text, int32_t life, int32_t limit, bool refresh) {
    HudMessageList& list = g_HudMessages;
    // The text as a line holds it: cut to the buffer, so a long text still matches its own copy.
    char line[HUD_MESSAGE_CHARS];
    const size_t length = strnlen(text, HUD_MESSAGE_CHARS - 1);
    std::memcpy(line, text, length);
    line[length] = '\0';
    if (refresh) {
        for (int i = 0; i < HUD_MESSAGE_LINES; ++i) {
            if (std::strcmp(list.text[i], line) == 0) {
                list.life[i] = life;
                return 1;
            }
        }
    }
    int taken = -1;
    for (int i = 0; i < HUD_MESSAGE_LINES && taken < 0; ++i)
        if (list.text[i][0] == '\0')
            taken = i;
    if (taken < 0) {
        for (int i = 0; i < HUD_MESSAGE_LINES; ++i)
            if (list.life[i] <= limit && (taken < 0 || list.life[i] <= list.life[taken]))
                taken = i;
    }
    if (taken < 0)
        return 0;
    std::memcpy(list.text[taken], line, length + 1);
    list.life[taken] = life;
    return 1;
}

void HUD_SwapLines(int a, int b) {
    HudMessageList& list = g_HudMessages;
    char text[HUD_MESSAGE_CHARS];
    std::memcpy(text, list.text[a], HUD_MESSAGE_CHARS);
    std::memcpy(list.text[a], list.text[b], HUD_MESSAGE_CHARS);
    std::memcpy(list.text[b], text, HUD_MESSAGE_CHARS);
    std::swap(list.life[a], list.life[b]);
}
}  // namespace

int HUD_AddMessage(const char* text) {
    if (!text || g_Match.levelWon || g_Match.levelFailed)
        return 0;
    return HUD_ListLine(text, HUD_MESSAGE_LIFE, HUD_MESSAGE_LIFE, true);
}

int HUD_AddFrameMessage(const char* text) {
    if (!text)
        return 0;
    return HUD_ListLine(text, 0, HUD_MESSAGE_LIFE, false);
}

void HUD_DrawMessages() {
    HudMessageList& list = g_HudMessages;
    // Oldest (lowest life) first...
    for (int pass = 0; pass < HUD_MESSAGE_LINES; ++pass)
        for (int i = 0; i + 1 < HUD_MESSAGE_LINES; ++i)
            if (list.life[i] > list.life[i + 1])
                HUD_SwapLines(i, i + 1);
    // ...and the free lines after the listed ones.
    for (int pass = 0; pass < HUD_MESSAGE_LINES; ++pass)
        for (int i = 0; i + 1 < HUD_MESSAGE_LINES; ++i)
            if (list.life[i] < 0)
                HUD_SwapLines(i, i + 1);
    for (int i = 0; i < HUD_MESSAGE_LINES; ++i) {
        if (list.text[i][0] != '\0')
            FNT_DrawText(list.text[i], kLineX, kFirstLineY + kLineStep * i, kAlignLeft, kHudFont);
        if (list.life[i] < 0)
            continue;  // a free line stays free
        // A life of L gives L draws (at least one): a 50-life line shows 50 frames, a chat line's
        // 100 is capped at its first draw, a frame message shows once.
        list.life[i] = std::min(list.life[i], HUD_MESSAGE_LIFE) - 1;
        if (list.life[i] <= 0) {
            list.text[i][0] = '\0';
            list.life[i] = -1;
        }
    }
}
