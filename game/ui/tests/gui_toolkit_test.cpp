// Toolkit tests: hit tests at edges and through overlapping windows, the table limits, refused
// handles, slot reuse, screen points of cut ellipses and the draw pass order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/gui.h"
#include "ui/gui_toolkit.h"

namespace {

std::vector<std::string> g_log;
int g_closeDuringDraw = -1;

void DrawWindow(int w) {
    g_log.push_back("W" + std::to_string(w));
    if (w == g_closeDuringDraw)
        GUI_CloseWindow(w);
}
void DrawItem(int item, int w) {
    g_log.push_back("I" + std::to_string(item) + "/" + std::to_string(w));
}
void DrawItemClosing(int item, int w) {
    DrawItem(item, w);
    GUI_CloseWindow(w);
}
void OnLeft() {
    g_log.push_back("L" + std::to_string(GUI_GetLastHitItem()));
}

struct Toolkit : ::testing::Test {
    void SetUp() override {
        GUI_Reset();
        g_log.clear();
        g_closeDuringDraw = -1;
    }
    static int Window(int shape, int x, int y, int hw, int hh) {
        const int w = GUI_CreateWindow(shape);
        EXPECT_EQ(GUI_SetWindowPos(w, x, y), 1);
        EXPECT_EQ(GUI_SetWindowSize(w, hw, hh), 1);
        EXPECT_EQ(GUI_OpenWindow(w), 1);
        return w;
    }
    static int Item(int w, int kind, int x, int y, int hw, int hh) {
        const int it = GUI_CreateItem(kind, 3, w);
        EXPECT_EQ(GUI_SetItemPos(it, x, y), 1);
        EXPECT_EQ(GUI_SetItemSize(it, hw, hh), 1);
        return it;
    }
};

TEST_F(Toolkit, RectangleAndEllipseHitTestsIncludeTheirEdges) {
    const int rect = Window(GUI_SHAPE_RECT, 100, 100, 20, 10);
    const int ell = Window(GUI_SHAPE_ELLIPSE, 400, 300, 30, 40);
    struct Case { int x, y, want; } cases[] = {
        {80, 90, rect}, {120, 110, rect}, {79, 100, -1}, {100, 111, -1},
        {430, 300, ell}, {400, 340, ell}, {400, 260, ell}, {431, 300, -1},
        {422, 330, -1},  // (22/30)^2 + (30/40)^2 > 1
        {418, 324, ell}, // (18/30)^2 + (24/40)^2 = 0.72
    };
    for (const Case& c : cases)
        EXPECT_EQ(GUI_WindowAtPoint(c.x, c.y), c.want) << c.x << "," << c.y;
    EXPECT_EQ(GUI_PointInEllipse(3, 4, 0, 0, 3, 4) , 0);
    EXPECT_EQ(GUI_PointInEllipse(3, 0, 0, 0, 3, 4), 1);
    EXPECT_EQ(GUI_PointInEllipse(0, -4, 0, 0, 3, 4), 1);
}

TEST_F(Toolkit, ShapesOtherThanRectAndEllipseAreNeverHit) {
    const int w = GUI_CreateWindow(3);
    GUI_SetWindowSize(w, 100, 100);
    GUI_OpenWindow(w);
    EXPECT_EQ(GUI_WindowAtPoint(0, 0), -1);
}

TEST_F(Toolkit, FrontWindowTakesTheClickAndHidesItemsBehindIt) {
    const int back = Window(GUI_SHAPE_RECT, 100, 100, 50, 50);
    const int backItem = Item(back, GUI_ITEM_RECT, 0, 0, 40, 40);
    const int front = Window(GUI_SHAPE_RECT, 130, 100, 20, 20);
    EXPECT_EQ(GUI_WindowAtPoint(130, 100), front);
    EXPECT_EQ(GUI_ItemAtPoint(130, 100), -1);  // the back window's item is not found through it
    EXPECT_EQ(GUI_GetLastHitItem(), -1);
    EXPECT_EQ(GUI_ItemAtPoint(70, 100), backItem);
    // Reopening the back window brings it in front; closing it again keeps its place.
    GUI_OpenWindow(back);
    EXPECT_EQ(g_GuiZOrder[0], back);
    EXPECT_EQ(GUI_ItemAtPoint(130, 100), backItem);
    GUI_CloseWindow(back);
    EXPECT_EQ(g_GuiZOrder[0], back);
    EXPECT_EQ(g_GuiZOrder[1], front);
    EXPECT_EQ(GUI_WindowAtPoint(130, 100), front);
}

TEST_F(Toolkit, OverlappingItemsGoToTheLowerHandleAndEventsReachTheirCallback) {
    const int w = Window(GUI_SHAPE_RECT, 320, 240, 320, 240);
    const int a = Item(w, GUI_ITEM_RECT, 0, 0, 10, 10);
    const int b = Item(w, GUI_ITEM_RECT, 5, 0, 10, 10);
    GUI_SetItemEventCallback(a, GUI_EVENT_LEFT, OnLeft);
    GUI_SetItemEventCallback(b, GUI_EVENT_LEFT, OnLeft);
    EXPECT_EQ(GUI_ItemAtPoint(330, 250), a);  // corner of a, inside b too
    EXPECT_EQ(GUI_ItemAtPoint(335, 250), b);
    GUI_SendEvent(325, 240, GUI_EVENT_LEFT);
    GUI_SendEvent(325, 240, GUI_EVENT_RIGHT);  // no callback for event 2
    GUI_SendEvent(0, 0, GUI_EVENT_LEFT);       // nothing there
    EXPECT_EQ(g_log, (std::vector<std::string>{"L" + std::to_string(a)}));
}

TEST_F(Toolkit, CutEllipseItemsHitOnlyTheirHalfAndPlaceTheirPointInIt) {
    struct Case { int kind, cut, wantX, wantY, inX, inY, outX, outY; } cases[] = {
        {GUI_ITEM_LEFT_OF_CUT, 0, 90, 200, 85, 200, 110, 200},
        {GUI_ITEM_RIGHT_OF_CUT, 0, 110, 200, 110, 200, 85, 200},
        {GUI_ITEM_ABOVE_CUT, 0, 100, 190, 100, 190, 100, 210},
        {GUI_ITEM_BELOW_CUT, 0, 100, 210, 100, 210, 100, 190},
        {GUI_ITEM_LEFT_OF_CUT, 5, 93, 200, 105, 200, 106, 200},  // (100+5) - (20+5)/2
        {GUI_ITEM_ELLIPSE, 0, 100, 200, 119, 200, 100, 221},
    };
    for (const Case& c : cases) {
        GUI_Reset();
        const int ww = Window(GUI_SHAPE_RECT, 100, 200, 100, 100);
        const int it = Item(ww, c.kind, 0, 0, 20, 20);
        GUI_SetItemCutX(it, c.cut);
        GUI_SetItemCutY(it, c.cut);
        EXPECT_EQ(GUI_ItemScreenX(it), c.wantX) << c.kind;
        EXPECT_EQ(GUI_ItemScreenY(it), c.wantY) << c.kind;
        EXPECT_EQ(GUI_ItemAtPoint(c.inX, c.inY), it) << c.kind;
        EXPECT_EQ(GUI_ItemAtPoint(c.outX, c.outY), -1) << c.kind;
    }
    // Negative spans truncate towards zero: right of a cut at +25 with half width 20.
    GUI_Reset();
    const int ww = Window(GUI_SHAPE_RECT, 0, 0, 100, 100);
    const int it = Item(ww, GUI_ITEM_RIGHT_OF_CUT, 0, 0, 20, 20);
    GUI_SetItemCutX(it, 25);
    EXPECT_EQ(GUI_ItemScreenX(it), 25 + (-5) / 2);  // 23, not 22
    const int odd = Item(ww, 7, 0, 0, 20, 20);
    EXPECT_EQ(GUI_ItemScreenX(odd), -1);
    EXPECT_EQ(GUI_ItemScreenY(odd), -1);
}

TEST_F(Toolkit, TablesRunOutAtTheirLimits) {
    for (int i = 1; i < GUI_MAX_WINDOWS; ++i)
        ASSERT_EQ(GUI_CreateWindow(GUI_SHAPE_RECT), i);
    EXPECT_EQ(GUI_CreateWindow(GUI_SHAPE_RECT), -1);
    for (int i = 1; i < GUI_MAX_ITEMS; ++i)
        ASSERT_EQ(GUI_CreateItem(GUI_ITEM_RECT, 3, 1), i);
    EXPECT_EQ(GUI_CreateItem(GUI_ITEM_RECT, 3, 1), -1);
    // A freed slot is handed out again, lowest first.
    EXPECT_EQ(GUI_DestroyWindow(17), 1);
    EXPECT_EQ(GUI_CreateWindow(GUI_SHAPE_ELLIPSE), 17);
    EXPECT_EQ(GUI_DestroyItem(300), 1);
    EXPECT_EQ(GUI_CreateItem(GUI_ITEM_RECT, 3, 2), 300);
}

TEST_F(Toolkit, BadHandlesAreRefusedAndChangeNothing) {
    const int w = Window(GUI_SHAPE_RECT, 10, 10, 5, 5);
    const int it = Item(w, GUI_ITEM_RECT, 0, 0, 2, 2);
    const int badWindows[] = {-1, 0, 2, 49, 50, 1000, -77};
    for (int bad : badWindows) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(GUI_OpenWindow(bad), 0);
        EXPECT_EQ(GUI_CloseWindow(bad), 0);
        EXPECT_EQ(GUI_ShowWindow(bad), 0);
        EXPECT_EQ(GUI_HideWindow(bad), 0);
        EXPECT_EQ(GUI_DestroyWindow(bad), 0);
        EXPECT_EQ(GUI_SetWindowPos(bad, 1, 1), 0);
        EXPECT_EQ(GUI_SetWindowSize(bad, 1, 1), 0);
        EXPECT_EQ(GUI_SetWindowDrawCallback(bad, DrawWindow), 0);
        EXPECT_EQ(GUI_IsWindowOpen(bad), 0);
        EXPECT_EQ(GUI_GetWindowX(bad), -1);
        EXPECT_EQ(GUI_GetWindowHeight(bad), -1);
        EXPECT_EQ(GUI_CreateItem(GUI_ITEM_RECT, 3, bad), -1);
        GUI_BringToFront(bad);
    }
    EXPECT_EQ(g_GuiZOrder[0], w);
    EXPECT_EQ(g_GuiZOrder[1], 0);
    const int badItems[] = {-1, 0, 2, 499, 500, 123456};
    for (int bad : badItems) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(GUI_SetItemState(bad, 1), 0);
        EXPECT_EQ(GUI_SetItemPos(bad, 1, 1), 0);
        EXPECT_EQ(GUI_SetItemSize(bad, 1, 1), 0);
        EXPECT_EQ(GUI_SetItemCutX(bad, 1), 0);
        EXPECT_EQ(GUI_SetItemEventCallback(bad, 1, OnLeft), 0);
        EXPECT_EQ(GUI_SetItemDrawCallback(bad, DrawItem), 0);
        EXPECT_EQ(GUI_DestroyItem(bad), 0);
        EXPECT_EQ(GUI_GetItemState(bad), -1);
        EXPECT_EQ(GUI_ItemScreenX(bad), -1);
    }
    // Bad values on a good handle.
    EXPECT_EQ(GUI_SetWindowSize(w, -1, 5), 0);
    EXPECT_EQ(GUI_SetItemSize(it, 2, -1), 0);
    EXPECT_EQ(GUI_SetWindowDrawCallback(w, nullptr), 0);
    EXPECT_EQ(GUI_SetItemEventCallback(it, 16, OnLeft), 0);
    EXPECT_EQ(GUI_SetItemEventCallback(it, -1, OnLeft), 0);
    EXPECT_EQ(GUI_SetItemEventCallback(it, 1, nullptr), 0);
    EXPECT_EQ(GUI_SetItemState(it, 0), 0);
    EXPECT_EQ(GUI_SetItemState(it, 6), 0);
    EXPECT_EQ(GUI_GetItemState(it), 3);
    EXPECT_EQ(GUI_GetWindowWidth(w), 5);
    EXPECT_EQ(GUI_GetItemHeight(it), 2);
}

TEST_F(Toolkit, CreationNormalisesStateAndKindButKeepsWhatTheSlotHeld) {
    const int w = Window(GUI_SHAPE_RECT, 10, 20, 30, 40);
    struct Case { int kind, state, wantKind, wantState; } cases[] = {
        {0, 0, 1, 3}, {10, 6, 10, 3}, {12, 1, 12, 1}, {1, 5, 1, 5}, {1, -3, 1, 3},
    };
    for (const Case& c : cases) {
        const int it = GUI_CreateItem(c.kind, c.state, w);
        EXPECT_EQ(g_GuiItems[it].kind, c.wantKind);
        EXPECT_EQ(GUI_GetItemState(it), c.wantState);
        GUI_DestroyItem(it);
    }
    // A re-created window keeps position, size and callback, but starts closed.
    GUI_SetWindowDrawCallback(w, DrawWindow);
    EXPECT_EQ(GUI_DestroyWindow(w), 1);
    EXPECT_EQ(GUI_IsWindowOpen(w), 0);
    EXPECT_EQ(GUI_CreateWindow(GUI_SHAPE_ELLIPSE), w);
    EXPECT_EQ(GUI_IsWindowOpen(w), 0);
    EXPECT_EQ(GUI_GetWindowX(w), 10);
    EXPECT_EQ(GUI_GetWindowHeight(w), 40);
    EXPECT_EQ(g_GuiWindows[w].draw, &DrawWindow);
    // Never-used slots carry the reset values.
    const int fresh = GUI_CreateWindow(GUI_SHAPE_RECT);
    EXPECT_EQ(GUI_GetWindowWidth(fresh), 9999);
    EXPECT_EQ(g_GuiZOrder[0], fresh);  // creation brings a closed window to the front
    EXPECT_EQ(GUI_IsWindowOpen(fresh), 0);
}

TEST_F(Toolkit, DestroyedWindowsAndItemsAreNeitherHitNorDrawn) {
    const int w = Window(GUI_SHAPE_RECT, 100, 100, 50, 50);
    GUI_SetWindowDrawCallback(w, DrawWindow);
    const int a = Item(w, GUI_ITEM_RECT, 0, 0, 10, 10);
    const int b = Item(w, GUI_ITEM_RECT, 0, 0, 10, 10);
    GUI_SetItemDrawCallback(a, DrawItem);
    GUI_SetItemDrawCallback(b, DrawItem);
    GUI_DestroyItem(a);
    EXPECT_EQ(GUI_ItemAtPoint(100, 100), b);
    GUI_DrawWindows();
    EXPECT_EQ(g_log, (std::vector<std::string>{"W1", "I2/1"}));
    GUI_DestroyWindow(w);
    g_log.clear();
    GUI_DrawWindows();
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(GUI_WindowAtPoint(100, 100), -1);
}

TEST_F(Toolkit, DrawPassRunsBackToFrontAndStopsAWindowClosedDuringIt) {
    const int back = Window(GUI_SHAPE_RECT, 0, 0, 10, 10);
    const int closed = Window(GUI_SHAPE_RECT, 0, 0, 10, 10);
    const int front = Window(GUI_SHAPE_RECT, 0, 0, 10, 10);
    GUI_CloseWindow(closed);
    for (int w : {back, closed, front})
        GUI_SetWindowDrawCallback(w, DrawWindow);
    const int f2 = Item(front, 1, 0, 0, 1, 1);
    const int b1 = Item(back, 1, 0, 0, 1, 1);
    const int f3 = Item(front, 1, 0, 0, 1, 1);
    const int c1 = Item(closed, 1, 0, 0, 1, 1);
    for (int it : {f2, b1, f3, c1})
        GUI_SetItemDrawCallback(it, DrawItem);
    GUI_DrawWindows();
    EXPECT_EQ(g_log, (std::vector<std::string>{"W1", "I2/1", "W3", "I1/3", "I3/3"}));

    // An item callback that closes its window stops the window's remaining items.
    g_log.clear();
    GUI_SetItemDrawCallback(f2, DrawItemClosing);
    GUI_DrawWindows();
    EXPECT_EQ(g_log, (std::vector<std::string>{"W1", "I2/1", "W3", "I1/3"}));

    // A window callback that closes its window draws none of its items.
    g_log.clear();
    GUI_OpenWindow(back);
    g_closeDuringDraw = back;
    GUI_DrawWindows();
    EXPECT_EQ(g_log, (std::vector<std::string>{"W1"}));
}

}  // namespace
