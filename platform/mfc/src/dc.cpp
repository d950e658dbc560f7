// Drawing contexts: what a window draws is recorded in its canvas. A paint context erases first
// when the window was marked for it, and leaves the window valid.
#include <algorithm>
#include <cstring>

#include "model.h"

namespace {
// Height of one line of the model's text, in units of the window.
constexpr int kLineHeight = 13;
} // namespace

CDC::CDC(CWnd* window) : m_window(window ? window->m_hWnd : nullptr) {}

CDC::~CDC() = default;

COLORREF CDC::SetTextColor(COLORREF colour) {
    COLORREF was = m_textColour;
    m_textColour = colour;
    return was;
}

int CDC::SetBkMode(int mode) {
    int was = m_bkMode;
    m_bkMode = mode;
    return was;
}

void CDC::FillSolidRect(const RECT* rect, COLORREF colour) {
    AfxWindowRec* rec = AfxModel::Find(m_window);
    if (!rec || !rect)
        return;
    AfxModel::AddDrawOp(rec, AfxDrawOp{AfxDrawOp::Fill, *rect, colour, 0, 0, {}});
}

int CDC::DrawText(LPCSTR text, int count, RECT* rect, UINT format) {
    AfxWindowRec* rec = AfxModel::Find(m_window);
    if (!rec || !text || !rect)
        return 0;
    std::string s = count < 0 ? std::string(text) : std::string(text, strnlen(text, std::size_t(count)));
    int lines = 1 + int(std::count(s.begin(), s.end(), '\n'));
    AfxModel::AddDrawOp(rec, AfxDrawOp{AfxDrawOp::Text, *rect, m_textColour, m_bkMode, format, s});
    return lines * kLineHeight;
}

CPaintDC::CPaintDC(CWnd* window) : CDC(window) {
    AfxWindowRec* rec = AfxModel::Find(m_window);
    if (!rec)
        return;
    bool erase = rec->erase;
    rec->invalid = false;
    rec->erase = false;
    if (erase && window)
        window->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<CDC*>(this)));
}

CPaintDC::~CPaintDC() = default;
