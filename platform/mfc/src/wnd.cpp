// CObject's allocation (with its failure injection), the application object and CWnd: creation,
// destruction, queries, text, invalidation and message dispatch over the model's records.
#include <cstring>

#include "model.h"

CObject::~CObject() = default;

void* CObject::operator new(std::size_t size) {
    return ::operator new(size);
}

void* CObject::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    AfxState& s = AfxModel::State();
    if (s.failNew > 0) {
        --s.failNew;
        return nullptr;
    }
    return ::operator new(size, std::nothrow);
}

void CObject::operator delete(void* p) noexcept {
    ::operator delete(p);
}

void CObject::operator delete(void* p, const std::nothrow_t&) noexcept {
    ::operator delete(p);
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

CWnd::CWnd() : m_hWnd(nullptr) {}

CWnd::~CWnd() {
    // The object goes, so its window goes with it; it must not delete itself a second time.
    m_autoDelete = false;
    if (m_hWnd)
        AfxModel::Destroy(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND window) {
    AfxWindowRec* rec = AfxModel::Find(window);
    return rec ? rec->wnd : nullptr;
}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id) {
    if (m_hWnd)
        return FALSE;
    HWND parentHandle = nullptr;
    if (parent) {
        if (!AfxModel::Find(parent->m_hWnd))
            return FALSE;
        parentHandle = parent->m_hWnd;
    }
    if ((style & WS_CHILD) && !parentHandle)
        return FALSE;
    m_hWnd = AfxModel::Create(this, exStyle, className, windowName, style, rect, parentHandle, id);
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    return AfxModel::Destroy(m_hWnd) ? TRUE : FALSE;
}

BOOL CWnd::ShowWindow(int show) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return FALSE;
    BOOL was = rec->visible ? TRUE : FALSE;
    rec->visible = show != SW_HIDE;
    if (rec->visible)
        rec->style |= WS_VISIBLE;
    else
        rec->style &= ~DWORD(WS_VISIBLE);
    return was;
}

BOOL CWnd::IsWindowVisible() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec && AfxModel::IsVisible(rec) ? TRUE : FALSE;
}

DWORD CWnd::GetStyle() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? rec->style : 0;
}

int CWnd::GetDlgCtrlID() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? int(rec->ctrlId) : 0;
}

CWnd* CWnd::GetParent() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? FromHandle(rec->parent) : nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return nullptr;
    for (HWND child : rec->children) {
        AfxWindowRec* c = AfxModel::Find(child);
        if (c && int(c->ctrlId) == id)
            return c->wnd;
    }
    return nullptr;
}

void CWnd::GetClientRect(RECT* rect) const {
    if (!rect)
        return;
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    // The model draws no frames: the client area is the whole window.
    if (!rec) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    *rect = RECT{0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
}

void CWnd::SetWindowText(LPCSTR text) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return;
    rec->text = text ? text : "";
    rec->selStart = rec->selEnd = 0;
}

int CWnd::GetWindowText(LPSTR buffer, int size) const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    if (!rec)
        return 0;
    std::size_t n = rec->text.size() < std::size_t(size - 1) ? rec->text.size() : std::size_t(size - 1);
    std::memcpy(buffer, rec->text.data(), n);
    buffer[n] = 0;
    return int(n);
}

int CWnd::GetWindowTextLength() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? int(rec->text.size()) : 0;
}

void CWnd::InvalidateRect(const RECT*, BOOL erase) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return;
    rec->invalid = true;
    if (erase)
        rec->erase = true;
}

void CWnd::UpdateWindow() {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (rec && rec->invalid)
        SendMessage(WM_PAINT);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!AfxModel::Find(m_hWnd))
        return 0;
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return 0;
    }
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

BOOL CWnd::OnEraseBkgnd(CDC*) {
    return FALSE;
}

void CWnd::OnPaint() {
    CPaintDC dc(this);
}

void CWnd::OnClose() {
    DestroyWindow();
}

void CWnd::OnDestroy() {}

void CWnd::PostNcDestroy() {
    if (m_autoDelete)
        delete this;
}
