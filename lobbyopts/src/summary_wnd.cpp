// The summary panel: erases to black and draws the summary of the working copy and the last
// error in grey, word-wrapped over its client area.
#include "summary_wnd.h"

#include "plugin_state.h"
#include "summary_text.h"

namespace {
constexpr COLORREF kBackground = 0x000000;
constexpr COLORREF kTextColour = 0x808080;
} // namespace

BOOL CSettingsSummaryWnd::OnEraseBkgnd(CDC* dc) {
    if (!dc)
        return FALSE;
    RECT r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, kBackground);
    return TRUE;
}

void CSettingsSummaryWnd::OnPaint() {
    CPaintDC dc(this);
    std::string text = BuildSummaryText(g_WorkingCopy, g_LastError);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kTextColour);
    RECT r;
    GetClientRect(&r);
    dc.DrawText(text.c_str(), -1, &r, DT_WORDBREAK);
}
