// Driving the window model as a user and a window system would, for tests and simulators: the
// modal driver plays the user of a running dialog (select, type, click, close), paint requests
// stand for the window system, and the queries show what a window holds and what was drawn.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "mfc.h"
#include "mfc_resources.h"

// Called by DoModal once the dialog is up (after OnInitDialog). It plays the user through the
// AfxSim calls below; a dialog still open when it returns is closed as by its close box. The
// driver stays in place for later dialogs until replaced; null leaves every dialog to be closed.
using AfxModalDriver = std::function<void(CDialog& dialog)>;
MFCAPI void AfxSimSetModalDriver(AfxModalDriver driver);

// User actions on a control of a dialog (or any window) that is shown and not ended. Each
// answers false and does nothing when the control is missing, of another kind, or the action is
// impossible (an item outside the list, typing into a read-only box).
// Select: picks an item of a drop-down list and notifies CBN_SELCHANGE.
MFCAPI bool AfxSimSelect(CWnd* dialog, int id, int index);
// Click: a button or check box (an automatic check box flips its mark first); notifies
// BN_CLICKED. Clicking IDOK or IDCANCEL ends a dialog by its default handling.
MFCAPI bool AfxSimClick(CWnd* dialog, int id);
// Type: the text replaces the selection of an edit box, as keystrokes would (a box for numbers
// refuses anything but digits); notifies EN_CHANGE.
MFCAPI bool AfxSimType(CWnd* dialog, int id, const char* text);
// Close: the window's close box.
MFCAPI bool AfxSimClose(CWnd* window);

// The window system asks a window to repaint all of its client area, erasing first.
MFCAPI void AfxSimRepaint(HWND window);

// Failure injection: the next count allocations of window objects made with new(std::nothrow)
// answer null; the next count dialog creations fail.
MFCAPI void AfxSimFailNewAllocations(int count);
MFCAPI void AfxSimFailDialogCreations(int count);

// What drawing left on a window, in order.
struct AfxDrawOp {
    enum Kind { Fill, Text } kind;
    RECT rect;
    COLORREF colour; // fill colour or text colour
    int bkMode;      // of text
    UINT format;     // of text
    std::string text;
};
MFCAPI std::vector<AfxDrawOp> AfxSimCanvas(HWND window); // empty for an unknown window
MFCAPI void AfxSimClearCanvas(HWND window);

// Queries of a window: false / empty / null for an unknown handle.
MFCAPI std::string AfxSimText(HWND window);
MFCAPI bool AfxSimWindowRect(HWND window, RECT* rect); // relative to the parent's client area
MFCAPI bool AfxSimNeedsPaint(HWND window, bool* erase);
MFCAPI const char* AfxSimClassName(HWND window);
MFCAPI DWORD AfxSimExStyle(HWND window);
MFCAPI const AfxBitmapResource* AfxSimImage(HWND window);
MFCAPI std::vector<HWND> AfxSimChildren(HWND window); // in creation order
MFCAPI std::size_t AfxSimWindowCount();               // windows that exist

// Destroys every window and clears the driver and the failure injection.
MFCAPI void AfxSimReset();
