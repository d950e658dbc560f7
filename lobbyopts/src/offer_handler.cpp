// The offer handler's registration and the game's handler: the summary panel over the lobby's
// window, its repaint on changed settings, and the modal settings dialog with its error words.
#include "offer_handler.h"

#include <new>

#include "options_dialog.h"
#include "plugin_state.h"
#include "summary_wnd.h"

namespace {
COfferHandler* g_OfferHandler = nullptr;
constexpr const char kSummaryText[] = "Generic Config Window";
constexpr UINT kSummaryId = 1;
} // namespace

COfferHandler::COfferHandler() {
    g_OfferHandler = this;
}

COfferHandler::~COfferHandler() {
    if (g_OfferHandler == this)
        g_OfferHandler = nullptr;
}

COfferHandler* COfferHandler::Registered() {
    return g_OfferHandler;
}

CGameOfferHandler::CGameOfferHandler(CSettingsSummaryWnd& summary) : m_summary(summary) {}

int32_t CGameOfferHandler::Open(HWND parent) {
    // Without a window of the lobby there is nothing to lie over: no panel, and still 0 (the
    // creation's result is not reported).
    CWnd* lobby = CWnd::FromHandle(parent);
    if (!lobby)
        return 0;
    // A second open replaces the panel instead of leaving the first behind.
    if (m_summary.GetSafeHwnd())
        m_summary.DestroyWindow();
    RECT r;
    lobby->GetClientRect(&r);
    m_summary.Create(nullptr, kSummaryText, WS_CHILD | WS_VISIBLE, r, lobby, kSummaryId);
    m_summary.ShowWindow(SW_SHOW);
    return 0;
}

int32_t CGameOfferHandler::Close() {
    m_summary.DestroyWindow();
    return 0;
}

int32_t CGameOfferHandler::OnChanged(const OfferSettings* settings) {
    m_summary.InvalidateRect(nullptr, TRUE);
    if (settings)
        g_WorkingCopy = *settings;
    return 0;
}

int32_t CGameOfferHandler::Modify(OfferSettings* settings) {
    CGameOptionsDlg* dialog = new (std::nothrow) CGameOptionsDlg(nullptr, settings);
    if (!dialog) {
        g_LastError = kErrorDialogNotAllocated;
        return 1;
    }
    INT_PTR result = dialog->DoModal();
    delete dialog;
    if (result == IDOK)
        return 0;
    g_LastError = kErrorDialogNotAccepted;
    return 1;
}

int32_t CGameOfferHandler::Reserved(int32_t, int32_t, int32_t) {
    return 0;
}

int32_t CGameOfferHandler::NegotiationRequired() {
    return 0;
}

int32_t CGameOfferHandler::ShutdownNegotiation(int32_t) {
    return 0;
}
