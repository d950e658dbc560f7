// The window records of the model: handles, creation, destruction (children first, then the
// window; objects made by the model for dialog controls delete themselves) and the canvas.
#include <algorithm>
#include <cctype>

#include "model.h"

namespace {
// Handles are tagged numbers, never pointers: a stale or foreign handle is simply unknown. The
// tag (low four bits 0xC) differs from the platform's own windows.
HWND ToHandle(uintptr_t id) {
    return reinterpret_cast<HWND>((id << 4) | 0xCu);
}
uintptr_t ToId(HWND window) {
    uintptr_t v = reinterpret_cast<uintptr_t>(window);
    return (v & 0xFu) == 0xCu ? (v >> 4) : 0;
}
} // namespace

namespace {
// Built when the library is loaded, so it is destroyed after every module loaded later (the
// plug-in, the lobby) has destroyed its windows, and freed when the library is unloaded.
AfxState g_State;
} // namespace

AfxState& AfxModel::State() {
    return g_State;
}

AfxWindowRec* AfxModel::Find(HWND window) {
    uintptr_t id = ToId(window);
    if (id == 0)
        return nullptr;
    auto& windows = State().windows;
    auto it = windows.find(id);
    return it == windows.end() ? nullptr : it->second.get();
}

HWND AfxModel::Create(CWnd* wnd, DWORD exStyle, const char* className, const char* text, DWORD style,
                      const RECT& rect, HWND parent, UINT id) {
    AfxState& s = State();
    auto rec = std::make_unique<AfxWindowRec>();
    rec->id = s.nextId++;
    rec->handle = ToHandle(rec->id);
    rec->wnd = wnd;
    rec->parent = parent;
    rec->className = className ? className : "";
    rec->text = text ? text : "";
    rec->style = style;
    rec->exStyle = exStyle;
    rec->ctrlId = id;
    rec->rect = rect;
    rec->visible = (style & WS_VISIBLE) != 0;
    // A new window has all of its client area to paint, erasing first.
    rec->invalid = true;
    rec->erase = true;
    HWND handle = rec->handle;
    if (AfxWindowRec* p = Find(parent))
        p->children.push_back(handle);
    s.windows.emplace(rec->id, std::move(rec));
    return handle;
}

bool AfxModel::Destroy(HWND window) {
    AfxWindowRec* rec = Find(window);
    if (!rec || rec->destroying)
        return false;
    rec->destroying = true;
    if (rec->wnd)
        rec->wnd->SendMessage(WM_DESTROY);
    // Children go before their parent; each may destroy others while it goes, so look again.
    std::vector<HWND> children = rec->children;
    for (HWND child : children)
        Destroy(child);
    rec = Find(window);
    if (!rec)
        return true;
    if (AfxWindowRec* p = Find(rec->parent)) {
        auto& kids = p->children;
        kids.erase(std::remove(kids.begin(), kids.end(), window), kids.end());
    }
    CWnd* wnd = rec->wnd;
    State().windows.erase(ToId(window));
    if (wnd) {
        wnd->m_hWnd = nullptr;
        wnd->PostNcDestroy();
    }
    return true;
}

bool AfxModel::IsVisible(const AfxWindowRec* rec) {
    while (rec) {
        if (!rec->visible)
            return false;
        rec = Find(rec->parent);
    }
    return true;
}

void AfxModel::ReplaceSelection(AfxWindowRec* rec, const std::string& text) {
    int len = int(rec->text.size());
    int start = std::min(rec->selStart, len), end = std::min(rec->selEnd, len);
    rec->text.replace(std::size_t(start), std::size_t(end - start), text);
    rec->selStart = rec->selEnd = start + int(text.size());
}

void AfxModel::AddDrawOp(AfxWindowRec* rec, AfxDrawOp op) {
    if (rec->canvas.size() >= kAfxCanvasLimit)
        rec->canvas.erase(rec->canvas.begin());
    rec->canvas.push_back(std::move(op));
}

bool AfxModel::EqualNoCase(const std::string& a, const char* b) {
    if (!b)
        return false;
    std::size_t n = std::char_traits<char>::length(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
