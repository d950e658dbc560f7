// The controls' own operations: check boxes, drop-down lists and edit boxes, each working on the
// state that the model keeps in the control's window record.
#include <algorithm>
#include <utility>

#include "model.h"

int CButton::GetCheck() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec && rec->check ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    if (AfxWindowRec* rec = AfxModel::Find(m_hWnd))
        rec->check = check != 0;
}

int CComboBox::AddString(LPCSTR text) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec || !text)
        return CB_ERR;
    rec->items.emplace_back(text);
    return int(rec->items.size()) - 1;
}

int CComboBox::GetCount() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? int(rec->items.size()) : CB_ERR;
}

int CComboBox::GetCurSel() const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    return rec ? rec->curSel : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return CB_ERR;
    if (index < 0 || std::size_t(index) >= rec->items.size()) {
        rec->curSel = CB_ERR;
        return CB_ERR;
    }
    rec->curSel = index;
    return index;
}

int CComboBox::GetLBTextLen(int index) const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec || index < 0 || std::size_t(index) >= rec->items.size())
        return CB_ERR;
    return int(rec->items[std::size_t(index)].size());
}

int CComboBox::GetLBText(int index, LPSTR buffer, int size) const {
    int len = GetLBTextLen(index);
    if (len == CB_ERR || !buffer || size <= 0)
        return CB_ERR;
    const std::string& item = AfxModel::Find(m_hWnd)->items[std::size_t(index)];
    std::size_t n = item.size() < std::size_t(size - 1) ? item.size() : std::size_t(size - 1);
    item.copy(buffer, n);
    buffer[n] = 0;
    return int(n);
}

void CComboBox::ResetContent() {
    if (AfxWindowRec* rec = AfxModel::Find(m_hWnd)) {
        rec->items.clear();
        rec->curSel = CB_ERR;
    }
}

void CEdit::SetSel(int start, int end) {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec)
        return;
    int len = int(rec->text.size());
    auto clamp = [len](int v) { return v < 0 || v > len ? len : v; };
    start = start < 0 ? len : clamp(start);
    end = clamp(end);
    if (start > end)
        std::swap(start, end);
    rec->selStart = start;
    rec->selEnd = end;
}

void CEdit::GetSel(int& start, int& end) const {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    start = rec ? rec->selStart : 0;
    end = rec ? rec->selEnd : 0;
}

void CEdit::ReplaceSel(LPCSTR text) {
    if (AfxWindowRec* rec = AfxModel::Find(m_hWnd))
        AfxModel::ReplaceSelection(rec, text ? text : "");
}

void CEdit::Clear() {
    AfxWindowRec* rec = AfxModel::Find(m_hWnd);
    if (!rec || (rec->style & ES_READONLY))
        return;
    ReplaceSel("");
}
