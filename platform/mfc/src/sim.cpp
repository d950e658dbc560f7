// Driving the model from outside: the modal driver, user actions on controls (each notifying
// the control's parent as a real control would), repaint requests, failure injection and the
// queries that tests and simulators read.
#include <cctype>

#include "model.h"

namespace {

// A window that a user can act on: it exists, is shown, and is not a dialog that has ended.
bool Usable(CWnd* window) {
    // An ended dialog is hidden (EndDialog), so the visibility test covers it.
    AfxWindowRec* rec = window ? AfxModel::Find(window->m_hWnd) : nullptr;
    return rec && AfxModel::IsVisible(rec);
}

// The control with the id on the window, when it is of the class.
AfxWindowRec* Control(CWnd* window, int id, const char* className) {
    if (!Usable(window))
        return nullptr;
    CWnd* control = window->GetDlgItem(id);
    AfxWindowRec* rec = control ? AfxModel::Find(control->m_hWnd) : nullptr;
    return rec && AfxModel::EqualNoCase(rec->className, className) ? rec : nullptr;
}

void Notify(AfxWindowRec* control, UINT code) {
    HWND self = control->handle;
    UINT id = control->ctrlId;
    if (CWnd* parent = CWnd::FromHandle(control->parent))
        parent->SendMessage(WM_COMMAND, AfxCommandParam(id, code), reinterpret_cast<LPARAM>(self));
}

} // namespace

void AfxSimSetModalDriver(AfxModalDriver driver) {
    AfxModel::State().driver = std::move(driver);
}

bool AfxSimSelect(CWnd* dialog, int id, int index) {
    AfxWindowRec* rec = Control(dialog, id, AFX_WC_COMBOBOX);
    if (!rec || index < 0 || std::size_t(index) >= rec->items.size())
        return false;
    rec->curSel = index;
    Notify(rec, CBN_SELCHANGE);
    return true;
}

bool AfxSimClick(CWnd* dialog, int id) {
    AfxWindowRec* rec = Control(dialog, id, AFX_WC_BUTTON);
    if (!rec)
        return false;
    if ((rec->style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        rec->check = !rec->check;
    Notify(rec, BN_CLICKED);
    return true;
}

bool AfxSimType(CWnd* dialog, int id, const char* text) {
    AfxWindowRec* rec = Control(dialog, id, AFX_WC_EDIT);
    if (!rec || !text || (rec->style & ES_READONLY))
        return false;
    std::string keys;
    for (const char* p = text; *p; ++p)
        if (!(rec->style & ES_NUMBER) || std::isdigit(static_cast<unsigned char>(*p)))
            keys += *p;
    if (keys.empty())
        return false;
    AfxModel::ReplaceSelection(rec, keys);
    Notify(rec, EN_CHANGE);
    return true;
}

bool AfxSimClose(CWnd* window) {
    if (!Usable(window))
        return false;
    window->SendMessage(WM_CLOSE);
    return true;
}

void AfxSimRepaint(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    if (!rec || !rec->wnd)
        return;
    rec->invalid = true;
    rec->erase = true;
    rec->wnd->UpdateWindow();
}

void AfxSimFailNewAllocations(int count) {
    AfxModel::State().failNew = count > 0 ? count : 0;
}

void AfxSimFailDialogCreations(int count) {
    AfxModel::State().failDialogs = count > 0 ? count : 0;
}

std::vector<AfxDrawOp> AfxSimCanvas(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->canvas : std::vector<AfxDrawOp>{};
}

void AfxSimClearCanvas(HWND window) {
    if (AfxWindowRec* rec = AfxModel::Find(window))
        rec->canvas.clear();
}

std::string AfxSimText(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->text : std::string();
}

bool AfxSimWindowRect(HWND window, RECT* rect) {
    AfxWindowRec* rec = AfxModel::Find(window);
    if (!rec || !rect)
        return false;
    *rect = rec->rect;
    return true;
}

bool AfxSimNeedsPaint(HWND window, bool* erase) {
    AfxWindowRec* rec = AfxModel::Find(window);
    if (erase)
        *erase = rec && rec->erase;
    return rec && rec->invalid;
}

const char* AfxSimClassName(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->className.c_str() : nullptr;
}

DWORD AfxSimExStyle(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->exStyle : 0;
}

const AfxBitmapResource* AfxSimImage(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->image : nullptr;
}

std::vector<HWND> AfxSimChildren(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->children : std::vector<HWND>{};
}

std::size_t AfxSimWindowCount() {
    return AfxModel::State().windows.size();
}

void AfxSimReset() {
    AfxState& s = AfxModel::State();
    // Top-level windows first; each takes its children with it.
    while (!s.windows.empty()) {
        HWND top = s.windows.begin()->second->handle;
        for (auto& [id, rec] : s.windows)
            if (!AfxModel::Find(rec->parent)) {
                top = rec->handle;
                break;
            }
        if (!AfxModel::Destroy(top))
            break;
    }
    s.driver = nullptr;
    s.failNew = 0;
    s.failDialogs = 0;
}
