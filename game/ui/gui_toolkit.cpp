// The window and item toolkit: the two fixed tables, the window order, hit tests, event dispatch
// and the draw pass. A destroyed window is closed and skipped by the hit and draw passes, and a
// re-created one starts closed, so stale callbacks of a freed slot never run.
#include "ui/gui_toolkit.h"

#include "ui/gui.h"

GuiWindow g_GuiWindows[GUI_MAX_WINDOWS];
GuiItem g_GuiItems[GUI_MAX_ITEMS];
int32_t g_GuiZOrder[GUI_MAX_WINDOWS];
int32_t g_GuiLastHitItem = -1;

namespace {

GuiWindow* LiveWindow(int window) {
    if (window < 1 || window >= GUI_MAX_WINDOWS || !g_GuiWindows[window].inUse)
        return nullptr;
    return &g_GuiWindows[window];
}

GuiItem* LiveItem(int item) {
    if (item < 1 || item >= GUI_MAX_ITEMS || !g_GuiItems[item].inUse)
        return nullptr;
    return &g_GuiItems[item];
}

// (dx/rx)^2 + (dy/ry)^2 in floating point, as the hit tests compare it with 1.0.
double EllipseValue(int px, int py, int cx, int cy, int rx, int ry) {
    const double dx = static_cast<double>(px) - cx;
    const double dy = static_cast<double>(py) - cy;
    const double rx2 = static_cast<double>(rx) * rx;
    const double ry2 = static_cast<double>(ry) * ry;
    return dx * dx / rx2 + dy * dy / ry2;
}

bool WindowContains(const GuiWindow& w, int px, int py) {
    if (w.shape == GUI_SHAPE_RECT)
        return px >= w.x - w.width && px <= w.x + w.width && py >= w.y - w.height && py <= w.y + w.height;
    if (w.shape == GUI_SHAPE_ELLIPSE)
        return EllipseValue(px, py, w.x, w.y, w.width, w.height) <= 1.0;
    return false;
}

bool ItemContains(const GuiItem& it, const GuiWindow& w, int px, int py) {
    const int cx = w.x + it.x;
    const int cy = w.y + it.y;
    if (it.kind == GUI_ITEM_RECT)
        return px >= cx - it.width && px <= cx + it.width && py >= cy - it.height && py <= cy + it.height;
    if (it.kind < GUI_ITEM_ELLIPSE || it.kind > GUI_ITEM_BELOW_CUT)
        return false;
    if (EllipseValue(px, py, cx, cy, it.width, it.height) > 1.0)
        return false;
    switch (it.kind) {
    case GUI_ITEM_LEFT_OF_CUT: return px <= cx + it.cutX;
    case GUI_ITEM_RIGHT_OF_CUT: return px >= cx + it.cutX;
    case GUI_ITEM_ABOVE_CUT: return py <= cy + it.cutY;
    case GUI_ITEM_BELOW_CUT: return py >= cy + it.cutY;
    default: return true;
    }
}

// The reference point along one axis: centre, or the middle of the half beyond the cut.
int ScreenPoint(int centre, int half, int cut, int kind, int lowKind, int highKind, int plainA, int plainB) {
    if (kind == GUI_ITEM_RECT || kind == GUI_ITEM_ELLIPSE || kind == plainA || kind == plainB)
        return centre;
    if (kind == lowKind)
        return (centre + cut) - (half + cut) / 2;
    if (kind == highKind)
        return (centre + cut) + (half - cut) / 2;
    return -1;
}

}  // namespace

int GUI_Reset() {
    for (int i = 0; i < GUI_MAX_ITEMS; ++i)
        g_GuiItems[i] = GuiItem{};
    for (int i = 0; i < GUI_MAX_WINDOWS; ++i) {
        g_GuiWindows[i] = GuiWindow{};
        g_GuiWindows[i].width = 9999;
        g_GuiWindows[i].height = 9999;
        g_GuiWindows[i].shape = GUI_SHAPE_RECT;
        g_GuiZOrder[i] = 0;
    }
    g_GuiLastHitItem = -1;
    return 1;
}

namespace {

void MoveToFront(int window) {
    int32_t packed[GUI_MAX_WINDOWS] = {};
    int n = 0;
    for (int i = 0; i < GUI_MAX_WINDOWS - 1; ++i)
        if (g_GuiZOrder[i] != 0 && g_GuiZOrder[i] != window)
            packed[n++] = g_GuiZOrder[i];
    g_GuiZOrder[0] = window;
    for (int i = 1; i < GUI_MAX_WINDOWS; ++i)
        g_GuiZOrder[i] = packed[i - 1];
}

}  // namespace

void GUI_BringToFront(int window) {
    if (LiveWindow(window))
        MoveToFront(window);
}

int GUI_CreateWindow(int shape) {
    for (int h = 1; h < GUI_MAX_WINDOWS; ++h) {
        GuiWindow& w = g_GuiWindows[h];
        if (w.inUse)
            continue;
        MoveToFront(h);
        w.shape = shape;
        w.inUse = 1;
        w.open = 0;  // a new window is closed, whatever the slot held before
        return h;
    }
    return -1;
}

int GUI_DestroyWindow(int window) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->inUse = 0;
    w->open = 0;
    return 1;
}

int GUI_SetWindowPos(int window, int x, int y) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->x = x;
    w->y = y;
    return 1;
}

int GUI_SetWindowSize(int window, int halfWidth, int halfHeight) {
    GuiWindow* w = LiveWindow(window);
    if (!w || halfWidth < 0 || halfHeight < 0)
        return 0;
    w->width = halfWidth;
    w->height = halfHeight;
    return 1;
}

int GUI_SetWindowDrawCallback(int window, GuiWindowDrawCallback callback) {
    GuiWindow* w = LiveWindow(window);
    if (!w || !callback)
        return 0;
    w->draw = callback;
    return 1;
}

int GUI_OpenWindow(int window) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->open = 1;
    GUI_BringToFront(window);
    return 1;
}

int GUI_CloseWindow(int window) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->open = 0;
    return 1;
}

int GUI_ShowWindow(int window) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->visible = 1;
    return 1;
}

int GUI_HideWindow(int window) {
    GuiWindow* w = LiveWindow(window);
    if (!w)
        return 0;
    w->visible = 0;
    return 1;
}

int GUI_IsWindowOpen(int window) {
    GuiWindow* w = LiveWindow(window);
    return w ? w->open : 0;
}

int GUI_GetWindowX(int window) {
    GuiWindow* w = LiveWindow(window);
    return w ? w->x : -1;
}

int GUI_GetWindowY(int window) {
    GuiWindow* w = LiveWindow(window);
    return w ? w->y : -1;
}

int GUI_GetWindowWidth(int window) {
    GuiWindow* w = LiveWindow(window);
    return w ? w->width : -1;
}

int GUI_GetWindowHeight(int window) {
    GuiWindow* w = LiveWindow(window);
    return w ? w->height : -1;
}

int GUI_CreateItem(int kind, int state, int parent) {
    for (int h = 1; h < GUI_MAX_ITEMS; ++h) {
        GuiItem& it = g_GuiItems[h];
        if (it.inUse)
            continue;
        if (!LiveWindow(parent))
            return -1;  // the slot stays free
        it.inUse = 1;
        it.kind = kind == 0 ? GUI_ITEM_RECT : kind;
        it.state = (state >= 1 && state <= 5) ? state : 3;
        it.parent = parent;
        return h;
    }
    return -1;
}

int GUI_DestroyItem(int item) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return 0;
    it->inUse = 0;
    return 1;
}

int GUI_SetItemPos(int item, int x, int y) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return 0;
    it->x = x;
    it->y = y;
    return 1;
}

int GUI_SetItemSize(int item, int halfWidth, int halfHeight) {
    GuiItem* it = LiveItem(item);
    if (!it || halfWidth < 0 || halfHeight < 0)
        return 0;
    it->width = halfWidth;
    it->height = halfHeight;
    return 1;
}

int GUI_SetItemCutX(int item, int offset) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return 0;
    it->cutX = offset;
    return 1;
}

int GUI_SetItemCutY(int item, int offset) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return 0;
    it->cutY = offset;
    return 1;
}

int GUI_SetItemState(int item, int state) {
    GuiItem* it = LiveItem(item);
    if (!it || state < 1 || state > 5)
        return 0;
    it->state = state;
    return 1;
}

int GUI_SetItemEventCallback(int item, int event, GuiItemEventCallback callback) {
    GuiItem* it = LiveItem(item);
    if (!it || !callback || event < 0 || event >= GUI_ITEM_EVENTS)
        return 0;
    it->events[event] = callback;
    return 1;
}

int GUI_SetItemDrawCallback(int item, GuiItemDrawCallback callback) {
    GuiItem* it = LiveItem(item);
    if (!it || !callback)
        return 0;
    it->draw = callback;
    return 1;
}

int GUI_GetItemWidth(int item) {
    GuiItem* it = LiveItem(item);
    return it ? it->width : -1;
}

int GUI_GetItemHeight(int item) {
    GuiItem* it = LiveItem(item);
    return it ? it->height : -1;
}

int GUI_GetItemState(int item) {
    GuiItem* it = LiveItem(item);
    return it ? it->state : -1;
}

int GUI_ItemScreenX(int item) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return -1;
    const int cx = g_GuiWindows[it->parent].x + it->x;
    return ScreenPoint(cx, it->width, it->cutX, it->kind, GUI_ITEM_LEFT_OF_CUT, GUI_ITEM_RIGHT_OF_CUT,
                       GUI_ITEM_ABOVE_CUT, GUI_ITEM_BELOW_CUT);
}

int GUI_ItemScreenY(int item) {
    GuiItem* it = LiveItem(item);
    if (!it)
        return -1;
    const int cy = g_GuiWindows[it->parent].y + it->y;
    return ScreenPoint(cy, it->height, it->cutY, it->kind, GUI_ITEM_ABOVE_CUT, GUI_ITEM_BELOW_CUT,
                       GUI_ITEM_LEFT_OF_CUT, GUI_ITEM_RIGHT_OF_CUT);
}

int GUI_WindowAtPoint(int x, int y) {
    for (int i = 0; i < GUI_MAX_WINDOWS - 1; ++i) {
        const int h = g_GuiZOrder[i];
        if (h == 0)
            return -1;
        const GuiWindow* w = LiveWindow(h);
        if (w && w->open && WindowContains(*w, x, y))
            return h;
    }
    return -1;
}

int GUI_ItemAtPoint(int x, int y) {
    const int window = GUI_WindowAtPoint(x, y);
    g_GuiLastHitItem = -1;
    if (window == -1)
        return -1;
    const GuiWindow& w = g_GuiWindows[window];
    for (int h = 1; h < GUI_MAX_ITEMS; ++h) {
        const GuiItem& it = g_GuiItems[h];
        if (it.inUse && it.parent == window && ItemContains(it, w, x, y)) {
            g_GuiLastHitItem = h;
            break;
        }
    }
    return g_GuiLastHitItem;
}

void GUI_SendEvent(int x, int y, int event) {
    const int item = GUI_ItemAtPoint(x, y);
    if (item == -1 || event < 0 || event >= GUI_ITEM_EVENTS)
        return;
    if (GuiItemEventCallback cb = g_GuiItems[item].events[event])
        cb();
}

int GUI_GetLastHitItem() {
    return g_GuiLastHitItem;
}

int GUI_DrawWindows() {
    for (int i = GUI_MAX_WINDOWS - 1; i >= 0; --i) {
        const int h = g_GuiZOrder[i];
        const GuiWindow* w = h ? LiveWindow(h) : nullptr;
        if (!w || !w->open)
            continue;
        if (w->draw)
            w->draw(h);
        for (int item = 1; item < GUI_MAX_ITEMS && w->open && w->inUse; ++item) {
            const GuiItem& it = g_GuiItems[item];
            if (it.inUse && it.parent == h && it.draw)
                it.draw(item, h);
        }
    }
    return 1;
}

int GUI_PointInEllipse(int x, int y, int centreX, int centreY, int radiusX, int radiusY) {
    return EllipseValue(x, y, centreX, centreY, radiusX, radiusY) <= 1.0 ? 1 : 0;
}
