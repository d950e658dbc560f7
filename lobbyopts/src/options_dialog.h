// The game-settings dialog: game type, level, frag and time limits and traps of the record it is
// bound to. Every change of a control is written into the record at once; nothing is written at
// OK and nothing undone at Cancel.
#pragma once
#include "lobbyopts.h"
#include "mfc.h"

// Control ids of dialog 106.
enum : int {
    IDC_GAME_TYPE = 1011,
    IDC_LEVEL = 1012,
    IDC_FRAG_LIMIT = 1013,
    IDC_TIME_LIMIT = 1017,
    IDC_TRAPS = 1018,
    IDC_FRAG_UP = 1023,
    IDC_FRAG_DOWN = 1024,
    IDC_TIME_UP = 1025,
    IDC_TIME_DOWN = 1026,
};

class CGameOptionsDlg : public CDialog {
public:
    enum : UINT { IDD = 106 };
    CGameOptionsDlg(CWnd* parent, OfferSettings* record);

    // The generic creation: the dialog modeless from its template, under the parent.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id) override;
    using CDialog::Create;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void OnSelchangeGameType();
    void OnSelchangeLevel();
    void OnTraps();
    void OnFragDown();
    void OnFragUp();
    void OnTimeDown();
    void OnTimeUp();

    struct CommandRoute {
        UINT code;
        int id;
        void (CGameOptionsDlg::*handler)();
    };
    static const CommandRoute kRoutes[];

    OfferSettings* m_record;
    CComboBox* m_typeList = nullptr;
    CComboBox* m_levelList = nullptr;
    CButton* m_traps = nullptr;
    CEdit* m_fragBox = nullptr;
    CEdit* m_timeBox = nullptr;
};
