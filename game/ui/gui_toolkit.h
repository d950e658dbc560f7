// The window and item toolkit: fixed tables of windows (handles 1..49) and of the items inside
// them (handles 1..499), the front-to-back window order, hit tests in the 640x480 design space,
// dispatch of pointer events to item callbacks and the back-to-front draw pass. -1 means "no
// handle" everywhere; every operation refuses a handle outside its table or a slot not in use.
#pragma once
#include <cstdint>

constexpr int GUI_MAX_WINDOWS = 50;   // slot 0 is never handed out
constexpr int GUI_MAX_ITEMS = 500;
constexpr int GUI_ITEM_EVENTS = 16;

// Window shapes.
enum : int32_t { GUI_SHAPE_RECT = 1, GUI_SHAPE_ELLIPSE = 2 };
// Item kinds: rectangle, ellipse, and the halves of an ellipse left/right of the vertical cut and
// above/below the horizontal cut.
enum : int32_t {
    GUI_ITEM_RECT = 1,
    GUI_ITEM_ELLIPSE = 10,
    GUI_ITEM_LEFT_OF_CUT = 11,
    GUI_ITEM_RIGHT_OF_CUT = 12,
    GUI_ITEM_ABOVE_CUT = 13,
    GUI_ITEM_BELOW_CUT = 14,
};
// The event numbers that the frames dispatch.
enum : int { GUI_EVENT_LEFT = 1, GUI_EVENT_RIGHT = 2 };

using GuiWindowDrawCallback = void (*)(int window);
using GuiItemEventCallback = void (*)();
using GuiItemDrawCallback = void (*)(int item, int window);

struct GuiWindow {
    int32_t x, y;           // centre
    int32_t width, height;  // half extents
    int32_t shape;
    int32_t inUse;
    int32_t visible;        // stored only
    int32_t open;
    GuiWindowDrawCallback draw;
};

struct GuiItem {
    int32_t x, y;           // offset of the centre from the window centre
    int32_t width, height;  // half extents
    int32_t cutX, cutY;     // offsets of the cut lines from the item centre
    int32_t state;          // 1..5, 3 normal
    int32_t kind;
    int32_t inUse;
    int32_t parent;
    GuiItemEventCallback events[GUI_ITEM_EVENTS];
    GuiItemDrawCallback draw;
};

extern GuiWindow g_GuiWindows[GUI_MAX_WINDOWS];
extern GuiItem g_GuiItems[GUI_MAX_ITEMS];
extern int32_t g_GuiZOrder[GUI_MAX_WINDOWS];  // front first, 0 = empty, taken entries packed
extern int32_t g_GuiLastHitItem;

int GUI_Reset();
int GUI_CreateWindow(int shape);
int GUI_DestroyWindow(int window);
int GUI_SetWindowPos(int window, int x, int y);
int GUI_SetWindowSize(int window, int halfWidth, int halfHeight);
int GUI_SetWindowDrawCallback(int window, GuiWindowDrawCallback callback);
// GUI_OpenWindow and GUI_CloseWindow are declared in gui.h.
int GUI_ShowWindow(int window);
int GUI_HideWindow(int window);
int GUI_IsWindowOpen(int window);
int GUI_GetWindowX(int window);
int GUI_GetWindowY(int window);
int GUI_GetWindowWidth(int window);
int GUI_GetWindowHeight(int window);

int GUI_CreateItem(int kind, int state, int parent);
int GUI_DestroyItem(int item);
int GUI_SetItemPos(int item, int x, int y);
int GUI_SetItemSize(int item, int halfWidth, int halfHeight);
int GUI_SetItemCutX(int item, int offset);
int GUI_SetItemCutY(int item, int offset);
int GUI_SetItemState(int item, int state);
int GUI_SetItemEventCallback(int item, int event, GuiItemEventCallback callback);
int GUI_SetItemDrawCallback(int item, GuiItemDrawCallback callback);
int GUI_GetItemWidth(int item);
int GUI_GetItemHeight(int item);
int GUI_GetItemState(int item);
int GUI_ItemScreenX(int item);
int GUI_ItemScreenY(int item);

int GUI_WindowAtPoint(int x, int y);
int GUI_ItemAtPoint(int x, int y);
void GUI_SendEvent(int x, int y, int event);
int GUI_GetLastHitItem();
int GUI_DrawWindows();
void GUI_BringToFront(int window);
// Inclusive: a point with (dx/rx)^2 + (dy/ry)^2 exactly 1.0 is inside.
int GUI_PointInEllipse(int x, int y, int centreX, int centreY, int radiusX, int radiusY);
