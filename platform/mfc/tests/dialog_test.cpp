// Dialogs of the window model: made from registered templates, run modally with the driver
// playing the user, the notifications that user actions send, the controls' own operations,
// and the ways a dialog ends (OK, Cancel, close box, left open, cannot be created).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mfc_sim.h"

namespace {

constexpr UINT kTestDialog = 300, kBrokenDialog = 301, kPictureId = 7;
constexpr int kList = 100, kNumberBox = 101, kReadOnlyBox = 102, kCheck = 103, kAutoCheck = 104, kButton = 105;

const uint8_t kPixels[2 * 2 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const AfxBitmapResource kBitmaps[] = {{kPictureId, 2, 2, 24, kPixels}};
const AfxDlgItem kItems[] = {
    {UINT(IDOK), AFX_WC_BUTTON, "&OK", BS_DEFPUSHBUTTON, 0, 10, 10, 40, 14, 0},
    {UINT(IDCANCEL), AFX_WC_BUTTON, "&Cancel", BS_PUSHBUTTON, 0, 60, 10, 40, 14, 0},
    {kList, AFX_WC_COMBOBOX, "ignored", CBS_DROPDOWNLIST | WS_VSCROLL, WS_EX_STATICEDGE, 5, 30, 80, 60, 0},
    {kNumberBox, AFX_WC_EDIT, "12", ES_NUMBER, 0, 5, 50, 30, 12, 0},
    {kReadOnlyBox, AFX_WC_EDIT, "fixed", ES_READONLY, 0, 40, 50, 30, 12, 0},
    {kCheck, AFX_WC_BUTTON, "Manual", BS_CHECKBOX, 0, 5, 70, 40, 10, 0},
    {kAutoCheck, AFX_WC_BUTTON, "Auto", BS_AUTOCHECKBOX, 0, 50, 70, 40, 10, 0},
    {kButton, AFX_WC_BUTTON, ">", BS_PUSHBUTTON, 0, 95, 70, 10, 10, 0},
    {0xFFFF, AFX_WC_STATIC, nullptr, SS_BITMAP | SS_SUNKEN, 0, 0, 90, 100, 50, kPictureId},
};
const AfxDlgItem kBrokenItems[] = {
    {UINT(IDOK), AFX_WC_BUTTON, "&OK", BS_DEFPUSHBUTTON, 0, 10, 10, 40, 14, 0},
    {5, "SLIDER", nullptr, 0, 0, 0, 0, 10, 10, 0},
};
const AfxDlgTemplate kDialogs[] = {
    {kTestDialog, "Test Options", "MS Sans Serif", 8, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, 200, 150, kItems,
     std::size(kItems)},
    {kBrokenDialog, "Broken", "MS Sans Serif", 8, 0, 50, 50, kBrokenItems, std::size(kBrokenItems)},
};
const AfxResourceTable kResources{kDialogs, std::size(kDialogs), kBitmaps, std::size(kBitmaps)};

// A dialog that fills its list at start and records every command it receives.
class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(UINT id = kTestDialog) : CDialog(id) {}
    std::vector<std::pair<int, int>> commands; // (id, notification)
    int inits = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ++inits;
        auto* list = dynamic_cast<CComboBox*>(GetDlgItem(kList));
        if (list) {
            list->AddString("zero");
            list->AddString("one");
            list->AddString("two");
        }
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.emplace_back(int(wParam & 0xFFFF), int((wParam >> 16) & 0xFFFF));
        return CDialog::OnCommand(wParam, lParam);
    }
};

class DialogModel : public ::testing::Test {
protected:
    void SetUp() override { AfxAddResourceTable(&kResources); }
    void TearDown() override {
        AfxSimReset();
        AfxRemoveResourceTable(&kResources);
        EXPECT_EQ(AfxSimWindowCount(), 0u);
    }
};

TEST_F(DialogModel, TemplateBecomesTheDialogAndItsControls) {
    RecordingDialog dlg;
    bool checked = false;
    AfxSimSetModalDriver([&](CDialog& d) {
        checked = true;
        EXPECT_EQ(&d, &dlg);
        EXPECT_TRUE(d.IsModalRunning());
        EXPECT_TRUE(d.IsWindowVisible());
        EXPECT_EQ(AfxSimText(d.GetSafeHwnd()), "Test Options");
        RECT client;
        d.GetClientRect(&client);
        EXPECT_EQ(client.right, 200);
        EXPECT_EQ(client.bottom, 150);
        std::vector<HWND> children = AfxSimChildren(d.GetSafeHwnd());
        ASSERT_EQ(children.size(), std::size(kItems));
        for (std::size_t i = 0; i < children.size(); ++i) {
            SCOPED_TRACE(i);
            const AfxDlgItem& item = kItems[i];
            CWnd* c = CWnd::FromHandle(children[i]);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->GetDlgCtrlID(), int(item.id));
            EXPECT_STREQ(AfxSimClassName(children[i]), item.className);
            EXPECT_EQ(c->GetStyle(), item.style | WS_CHILD | WS_VISIBLE);
            EXPECT_EQ(AfxSimExStyle(children[i]), item.exStyle);
            RECT r;
            ASSERT_TRUE(AfxSimWindowRect(children[i], &r));
            EXPECT_EQ(r.left, item.x);
            EXPECT_EQ(r.bottom, item.y + item.cy);
        }
        EXPECT_NE(dynamic_cast<CComboBox*>(d.GetDlgItem(kList)), nullptr);
        EXPECT_NE(dynamic_cast<CEdit*>(d.GetDlgItem(kNumberBox)), nullptr);
        EXPECT_NE(dynamic_cast<CButton*>(d.GetDlgItem(kCheck)), nullptr);
        EXPECT_EQ(AfxSimText(d.GetDlgItem(kList)->GetSafeHwnd()), "") << "a list has no text of its own";
        EXPECT_EQ(AfxSimText(d.GetDlgItem(kNumberBox)->GetSafeHwnd()), "12");
        const AfxBitmapResource* image = AfxSimImage(children.back());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 2);
        EXPECT_EQ(image->bits[11], 12);
        EXPECT_TRUE(AfxSimClick(&d, IDOK));
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(checked);
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr) << "DoModal destroys the dialog";
    EXPECT_FALSE(dlg.IsModalRunning());
}

TEST_F(DialogModel, HowADialogEnds) {
    struct Case {
        const char* name;
        UINT templateId;
        int failCreations;
        AfxModalDriver driver;
        INT_PTR result;
    };
    const Case cases[] = {
        {"OK button", kTestDialog, 0, [](CDialog& d) { AfxSimClick(&d, IDOK); }, IDOK},
        {"Cancel button", kTestDialog, 0, [](CDialog& d) { AfxSimClick(&d, IDCANCEL); }, IDCANCEL},
        {"close box", kTestDialog, 0, [](CDialog& d) { AfxSimClose(&d); }, IDCANCEL},
        {"left open", kTestDialog, 0, [](CDialog& d) { AfxSimSelect(&d, kList, 1); }, IDCANCEL},
        {"no driver", kTestDialog, 0, nullptr, IDCANCEL},
        {"no such template", 999, 0, [](CDialog& d) { AfxSimClick(&d, IDOK); }, -1},
        {"unknown control class", kBrokenDialog, 0, [](CDialog& d) { AfxSimClick(&d, IDOK); }, -1},
        {"creation refused", kTestDialog, 1, [](CDialog& d) { AfxSimClick(&d, IDOK); }, -1},
        {"program ends it", kTestDialog, 0, [](CDialog& d) { d.EndDialog(42); }, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfxSimFailDialogCreations(c.failCreations);
        AfxSimSetModalDriver(c.driver);
        RecordingDialog dlg(c.templateId);
        EXPECT_EQ(dlg.DoModal(), c.result);
        EXPECT_EQ(AfxSimWindowCount(), 0u);
    }
    // A refused creation is used up: the next dialog opens.
    AfxSimFailDialogCreations(1);
    AfxSimSetModalDriver([](CDialog& d) { AfxSimClick(&d, IDOK); });
    RecordingDialog first, second;
    EXPECT_EQ(first.DoModal(), -1);
    EXPECT_EQ(second.DoModal(), IDOK);
}

TEST_F(DialogModel, UserActionsNotifyTheDialog) {
    RecordingDialog dlg;
    AfxSimSetModalDriver([](CDialog& d) {
        auto* list = dynamic_cast<CComboBox*>(d.GetDlgItem(kList));
        auto* number = dynamic_cast<CEdit*>(d.GetDlgItem(kNumberBox));
        auto* check = dynamic_cast<CButton*>(d.GetDlgItem(kCheck));
        auto* autoCheck = dynamic_cast<CButton*>(d.GetDlgItem(kAutoCheck));
        ASSERT_TRUE(list && number && check && autoCheck);

        EXPECT_TRUE(AfxSimSelect(&d, kList, 2));
        EXPECT_EQ(list->GetCurSel(), 2);
        EXPECT_FALSE(AfxSimSelect(&d, kList, 3)) << "no such item";
        EXPECT_FALSE(AfxSimSelect(&d, kList, -1));
        EXPECT_FALSE(AfxSimSelect(&d, kNumberBox, 0)) << "not a list";
        EXPECT_FALSE(AfxSimSelect(&d, 555, 0)) << "no such control";
        EXPECT_EQ(list->GetCurSel(), 2);

        EXPECT_TRUE(AfxSimClick(&d, kCheck));
        EXPECT_EQ(check->GetCheck(), BST_UNCHECKED) << "a manual check box waits for the program";
        EXPECT_TRUE(AfxSimClick(&d, kAutoCheck));
        EXPECT_EQ(autoCheck->GetCheck(), BST_CHECKED);
        EXPECT_TRUE(AfxSimClick(&d, kButton));
        EXPECT_FALSE(AfxSimClick(&d, kList)) << "not a button";

        number->SetSel(0, -1);
        EXPECT_TRUE(AfxSimType(&d, kNumberBox, "4x5"));
        EXPECT_EQ(AfxSimText(number->GetSafeHwnd()), "45") << "a number box refuses other keys";
        EXPECT_TRUE(AfxSimType(&d, kNumberBox, "6"));
        EXPECT_EQ(AfxSimText(number->GetSafeHwnd()), "456");
        EXPECT_FALSE(AfxSimType(&d, kNumberBox, "abc"));
        EXPECT_FALSE(AfxSimType(&d, kReadOnlyBox, "9"));
        EXPECT_EQ(AfxSimText(d.GetDlgItem(kReadOnlyBox)->GetSafeHwnd()), "fixed");

        EXPECT_TRUE(AfxSimClick(&d, IDCANCEL));
        // The dialog has ended: the user can do nothing more.
        EXPECT_FALSE(AfxSimClick(&d, IDOK));
        EXPECT_FALSE(AfxSimSelect(&d, kList, 0));
        EXPECT_FALSE(AfxSimClose(&d));
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    const std::vector<std::pair<int, int>> expected = {
        {kList, CBN_SELCHANGE}, {kCheck, BN_CLICKED},      {kAutoCheck, BN_CLICKED},
        {kButton, BN_CLICKED},  {kNumberBox, EN_CHANGE}, {kNumberBox, EN_CHANGE},
        {IDCANCEL, BN_CLICKED},
    };
    EXPECT_EQ(dlg.commands, expected);
}

TEST_F(DialogModel, ListAndEditOperations) {
    RecordingDialog dlg;
    AfxSimSetModalDriver([](CDialog& d) {
        auto* list = dynamic_cast<CComboBox*>(d.GetDlgItem(kList));
        auto* number = dynamic_cast<CEdit*>(d.GetDlgItem(kNumberBox));
        auto* fixed = dynamic_cast<CEdit*>(d.GetDlgItem(kReadOnlyBox));
        ASSERT_TRUE(list && number && fixed);

        EXPECT_EQ(list->GetCount(), 3);
        EXPECT_EQ(list->GetCurSel(), CB_ERR);
        EXPECT_EQ(list->SetCurSel(1), 1);
        EXPECT_EQ(list->SetCurSel(3), CB_ERR);
        EXPECT_EQ(list->GetCurSel(), CB_ERR) << "an index outside the list clears the selection";
        list->SetCurSel(2);
        EXPECT_EQ(list->SetCurSel(-1), CB_ERR);
        EXPECT_EQ(list->GetCurSel(), CB_ERR);
        EXPECT_EQ(list->AddString(nullptr), CB_ERR);
        char text[4];
        EXPECT_EQ(list->GetLBTextLen(1), 3);
        EXPECT_EQ(list->GetLBText(2, text, sizeof text), 3);
        EXPECT_STREQ(text, "two");
        EXPECT_EQ(list->GetLBText(0, text, 3), 2);
        EXPECT_STREQ(text, "ze");
        EXPECT_EQ(list->GetLBText(3, text, sizeof text), CB_ERR);
        EXPECT_EQ(list->GetLBText(-1, text, sizeof text), CB_ERR);
        list->ResetContent();
        EXPECT_EQ(list->GetCount(), 0);

        number->SetSel(0, -1);
        int s = -1, e = -1;
        number->GetSel(s, e);
        EXPECT_EQ(s, 0);
        EXPECT_EQ(e, 2);
        number->Clear();
        EXPECT_EQ(number->GetWindowTextLength(), 0);
        number->ReplaceSel("77");
        number->SetSel(1, 1);
        number->ReplaceSel("0");
        EXPECT_EQ(AfxSimText(number->GetSafeHwnd()), "707");
        number->SetSel(50, 2); // out of range: to the end, then ordered
        number->GetSel(s, e);
        EXPECT_EQ(s, 2);
        EXPECT_EQ(e, 3);

        fixed->SetSel(0, -1);
        fixed->Clear();
        EXPECT_EQ(AfxSimText(fixed->GetSafeHwnd()), "fixed") << "a read-only box keeps its text";
        fixed->SetWindowText("set by the program");
        EXPECT_EQ(AfxSimText(fixed->GetSafeHwnd()), "set by the program");
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogModel, ModelessDialogStaysUntilDestroyed) {
    CWnd owner;
    ASSERT_TRUE(owner.Create(nullptr, "owner", WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, 0));
    RecordingDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDialog, &owner));
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_FALSE(dlg.IsModalRunning());
    EXPECT_FALSE(dlg.Create(kTestDialog, &owner)) << "already created";
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(AfxSimSelect(&dlg, kList, 0));
    EXPECT_TRUE(AfxSimClick(&dlg, IDOK)); // hides it
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_NE(dlg.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(AfxSimWindowCount(), 1u);
}

TEST_F(DialogModel, ResourcesAreFoundNewestFirstAndRemoved) {
    const AfxDlgTemplate other[] = {{kTestDialog, "Other", "MS Sans Serif", 8, 0, 10, 10, nullptr, 0}};
    const AfxResourceTable table{other, 1, nullptr, 0};
    AfxAddResourceTable(&table);
    ASSERT_NE(AfxFindDialogTemplate(kTestDialog), nullptr);
    EXPECT_STREQ(AfxFindDialogTemplate(kTestDialog)->caption, "Other");
    EXPECT_NE(AfxFindBitmap(kPictureId), nullptr) << "a table without bitmaps does not hide older ones";
    AfxRemoveResourceTable(&table);
    EXPECT_STREQ(AfxFindDialogTemplate(kTestDialog)->caption, "Test Options");
    EXPECT_EQ(AfxFindDialogTemplate(12345), nullptr);
    AfxAddResourceTable(nullptr);
    EXPECT_EQ(AfxFindBitmap(12345), nullptr);
}

} // namespace
