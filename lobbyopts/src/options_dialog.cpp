// The game-settings dialog: fills its lists and boxes from the bound record at start, and writes
// each selection, the traps toggle and the limit steppers straight back into the record.
#include "options_dialog.h"

#include <cstdio>

#include "offer_tables.h"

namespace {

constexpr int32_t kLimitStep = 5;
constexpr int32_t kFragLimitCap = 100;
constexpr int32_t kTimeLimitCap = 60; // minutes
// What a limit box shows for no limit (the product's own spelling).
constexpr const char kUnlimited[] = "Unlimted";

void ShowDecimal(CEdit* box, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    box->SetWindowText(text);
}

void ShowLimit(CEdit* box, int32_t limit) {
    if (limit == 0)
        box->SetWindowText(kUnlimited);
    else
        ShowDecimal(box, limit);
}

// Select all, delete the selection. The boxes are read-only, so the text stays until the new
// value replaces it.
void ClearBox(CEdit* box) {
    box->SetSel(0, -1);
    box->Clear();
}

// The steppers work in 64 bits: a limit that the lobby set near either end of the 32-bit range
// must not wrap around.
void StepDown(CEdit* box, int32_t& limit) {
    if (!box)
        return;
    ClearBox(box);
    int64_t next = int64_t(limit) - kLimitStep;
    limit = next < 0 ? 0 : int32_t(next);
    ShowLimit(box, limit);
}

void StepUp(CEdit* box, int32_t& limit, int32_t cap) {
    if (!box)
        return;
    if (limit == 0) {
        limit = kLimitStep;
    } else {
        int64_t next = int64_t(limit) + kLimitStep;
        limit = next > cap ? cap : int32_t(next);
    }
    ClearBox(box);
    ShowDecimal(box, limit);
}

} // namespace

const CGameOptionsDlg::CommandRoute CGameOptionsDlg::kRoutes[] = {
    {CBN_SELCHANGE, IDC_GAME_TYPE, &CGameOptionsDlg::OnSelchangeGameType},
    {CBN_SELCHANGE, IDC_LEVEL, &CGameOptionsDlg::OnSelchangeLevel},
    {BN_CLICKED, IDC_TRAPS, &CGameOptionsDlg::OnTraps},
    {BN_CLICKED, IDC_FRAG_DOWN, &CGameOptionsDlg::OnFragDown},
    {BN_CLICKED, IDC_FRAG_UP, &CGameOptionsDlg::OnFragUp},
    {BN_CLICKED, IDC_TIME_DOWN, &CGameOptionsDlg::OnTimeDown},
    {BN_CLICKED, IDC_TIME_UP, &CGameOptionsDlg::OnTimeUp},
};

CGameOptionsDlg::CGameOptionsDlg(CWnd* parent, OfferSettings* record) : CDialog(IDD, parent), m_record(record) {}

BOOL CGameOptionsDlg::Create(LPCSTR, LPCSTR, DWORD, const RECT&, CWnd* parent, UINT) {
    return CDialog::Create(IDD, parent);
}

BOOL CGameOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_typeList = dynamic_cast<CComboBox*>(GetDlgItem(IDC_GAME_TYPE));
    m_levelList = dynamic_cast<CComboBox*>(GetDlgItem(IDC_LEVEL));
    m_traps = dynamic_cast<CButton*>(GetDlgItem(IDC_TRAPS));
    m_fragBox = dynamic_cast<CEdit*>(GetDlgItem(IDC_FRAG_LIMIT));
    m_timeBox = dynamic_cast<CEdit*>(GetDlgItem(IDC_TIME_LIMIT));
    if (!m_typeList || !m_levelList || !m_traps || !m_fragBox || !m_timeBox) {
        EndDialog(-1); // not this dialog's template
        return TRUE;
    }

    // The first row always, then each further row up to the end row.
    const GameTypeRow* type = kGameTypes;
    do
        m_typeList->AddString(type->name);
    while ((++type)->type != kGameTypeEnd);
    const LevelRow* level = kLevels;
    do
        m_levelList->AddString(level->name);
    while ((++level)->listIndex != kLevelEnd);

    // Values outside the tables leave a list without a selection.
    m_levelList->SetCurSel(LevelAt(m_record->levelIndex) ? int(m_record->levelIndex) : -1);
    m_typeList->SetCurSel(GameTypePosition(m_record->gameType));
    m_traps->SetCheck(m_record->traps);
    ShowLimit(m_fragBox, m_record->fragLimit);
    ShowLimit(m_timeBox, m_record->timeLimit);
    return TRUE;
}

BOOL CGameOptionsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    int id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    bool started = m_typeList != nullptr; // the controls were found at start
    for (const CommandRoute& route : kRoutes)
        if (started && route.id == id && route.code == code) {
            (this->*route.handler)();
            return TRUE;
        }
    return CDialog::OnCommand(wParam, lParam);
}

void CGameOptionsDlg::OnSelchangeGameType() {
    if (const GameTypeRow* row = GameTypeAt(m_typeList->GetCurSel()))
        m_record->gameType = row->type;
}

void CGameOptionsDlg::OnSelchangeLevel() {
    // List index and level number always come from the same row.
    if (const LevelRow* row = LevelAt(m_levelList->GetCurSel())) {
        m_record->levelIndex = row->listIndex;
        m_record->levelNumber = row->levelNumber;
    }
}

void CGameOptionsDlg::OnTraps() {
    // The box does not toggle itself: its mark is read, then set to the other state.
    if (m_traps->GetCheck() == BST_UNCHECKED) {
        m_traps->SetCheck(BST_CHECKED);
        m_record->traps = 1;
    } else {
        m_traps->SetCheck(BST_UNCHECKED);
        m_record->traps = 0;
    }
}

void CGameOptionsDlg::OnFragDown() {
    StepDown(m_fragBox, m_record->fragLimit);
}

void CGameOptionsDlg::OnFragUp() {
    StepUp(m_fragBox, m_record->fragLimit, kFragLimitCap);
}

void CGameOptionsDlg::OnTimeDown() {
    StepDown(m_timeBox, m_record->timeLimit);
}

void CGameOptionsDlg::OnTimeUp() {
    StepUp(m_timeBox, m_record->timeLimit, kTimeLimitCap);
}
