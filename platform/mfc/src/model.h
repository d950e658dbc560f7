// Inside the window model: the window records behind the handles, the process-wide state
// (windows, resources, the modal driver, failure injection) and the operations that the window
// classes share. One thread (the lobby's) uses the model; it takes no locks.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mfc_sim.h"

struct AfxWindowRec {
    uintptr_t id = 0;
    HWND handle = nullptr;
    CWnd* wnd = nullptr; // the object bound to the window
    HWND parent = nullptr;
    std::vector<HWND> children; // in creation order
    std::string className, text;
    DWORD style = 0, exStyle = 0;
    UINT ctrlId = 0;
    RECT rect{};
    bool visible = false;
    bool invalid = false, erase = false;
    bool destroying = false;
    // Control state: list items and selection, check mark, edit selection, picture.
    std::vector<std::string> items;
    int curSel = -1;
    int check = 0;
    int selStart = 0, selEnd = 0;
    const AfxBitmapResource* image = nullptr;
    std::vector<AfxDrawOp> canvas;
};

struct AfxState {
    std::map<uintptr_t, std::unique_ptr<AfxWindowRec>> windows; // ordered by creation
    uintptr_t nextId = 1;
    std::vector<const AfxResourceTable*> resources;
    AfxModalDriver driver;
    int failNew = 0;
    int failDialogs = 0;
};

// The canvas of a window keeps this many operations, dropping the oldest.
constexpr std::size_t kAfxCanvasLimit = 1024;

struct AfxModel {
    static AfxState& State();
    static AfxWindowRec* Find(HWND window);
    static HWND Create(CWnd* wnd, DWORD exStyle, const char* className, const char* text, DWORD style,
                       const RECT& rect, HWND parent, UINT id);
    static bool Destroy(HWND window);
    static bool IsVisible(const AfxWindowRec* rec); // the window and all its parents
    static void MarkAutoDelete(CWnd* wnd) { wnd->m_autoDelete = true; }
    // Replaces an edit box's selection with the text; the caret follows it.
    static void ReplaceSelection(AfxWindowRec* rec, const std::string& text);
    static void AddDrawOp(AfxWindowRec* rec, AfxDrawOp op);
    static bool EqualNoCase(const std::string& a, const char* b);
};

// wParam of WM_COMMAND: control id in the low word, notification in the high word.
inline WPARAM AfxCommandParam(UINT id, UINT code) {
    return WPARAM(id & 0xFFFFu) | (WPARAM(code & 0xFFFFu) << 16);
}
