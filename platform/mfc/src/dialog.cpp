// CDialog: creation from a template of the registered resources (the dialog window, then one
// control object per template item, made and owned by the model), the modal run with the
// model's driver playing the user, and the default OK, Cancel and close handling.
#include "model.h"

namespace {
// The window class of dialogs.
constexpr const char kDialogClass[] = "#32770";

CWnd* NewControl(const char* className) {
    if (AfxModel::EqualNoCase(AFX_WC_BUTTON, className))
        return new CButton;
    if (AfxModel::EqualNoCase(AFX_WC_COMBOBOX, className))
        return new CComboBox;
    if (AfxModel::EqualNoCase(AFX_WC_EDIT, className))
        return new CEdit;
    if (AfxModel::EqualNoCase(AFX_WC_STATIC, className))
        return new CStatic;
    return nullptr;
}
} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

bool CDialog::CreateFromTemplate(CWnd* parent) {
    if (m_hWnd)
        return false;
    AfxState& s = AfxModel::State();
    if (s.failDialogs > 0) {
        --s.failDialogs;
        return false;
    }
    const AfxDlgTemplate* tpl = AfxFindDialogTemplate(m_nIDHelp);
    if (!tpl)
        return false;
    RECT frame{0, 0, tpl->cx, tpl->cy};
    if (!CreateEx(0, kDialogClass, tpl->caption, tpl->style & ~DWORD(WS_CHILD), frame, parent, 0))
        return false;
    for (std::size_t i = 0; i < tpl->itemCount; ++i) {
        const AfxDlgItem& item = tpl->items[i];
        CWnd* control = NewControl(item.className);
        if (!control) {
            DestroyWindow();
            return false;
        }
        AfxModel::MarkAutoDelete(control);
        RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
        const char* text = AfxModel::EqualNoCase(AFX_WC_COMBOBOX, item.className) ? nullptr : item.text;
        control->CreateEx(item.exStyle, item.className, text, item.style | WS_CHILD | WS_VISIBLE, r, this, item.id);
        if (AfxWindowRec* rec = AfxModel::Find(control->m_hWnd)) {
            rec->className = item.className; // as the template spells it
            if ((item.style & SS_TYPEMASK) == SS_BITMAP && AfxModel::EqualNoCase(AFX_WC_STATIC, item.className))
                rec->image = AfxFindBitmap(item.imageId);
        }
    }
    return true;
}

INT_PTR CDialog::DoModal() {
    if (!CreateFromTemplate(m_pParentWnd))
        return -1;
    m_inModal = true;
    m_ended = false;
    m_nModalResult = -1;
    ShowWindow(SW_SHOW);
    SendMessage(WM_INITDIALOG);
    if (!m_ended) {
        // A copy: the driver may replace itself while it runs.
        AfxModalDriver driver = AfxModel::State().driver;
        if (driver)
            driver(*this);
    }
    if (!m_ended && m_hWnd)
        SendMessage(WM_CLOSE);
    if (!m_ended) {
        m_ended = true;
        m_nModalResult = IDCANCEL;
    }
    m_inModal = false;
    DestroyWindow();
    return m_nModalResult;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDHelp = templateId;
    m_pParentWnd = parent;
    m_ended = false;
    if (!CreateFromTemplate(parent))
        return FALSE;
    SendMessage(WM_INITDIALOG);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_ended = true;
    ShowWindow(SW_HIDE);
}

bool CDialog::IsModalRunning() const {
    return m_inModal && !m_ended;
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
    UINT id = UINT(wParam & 0xFFFFu);
    UINT code = UINT((wParam >> 16) & 0xFFFFu);
    if (code != BN_CLICKED)
        return FALSE;
    if (id == UINT(IDOK)) {
        OnOK();
        return TRUE;
    }
    if (id == UINT(IDCANCEL)) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::OnClose() {
    OnCancel();
}
