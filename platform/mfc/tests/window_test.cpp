// The window model's windows: creation rules, destruction of children and of bound objects,
// handles, text, painting through erase and paint, and the drawing record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mfc_sim.h"

namespace {

class WindowModel : public ::testing::Test {
protected:
    void TearDown() override {
        AfxSimReset();
        EXPECT_EQ(AfxSimWindowCount(), 0u);
    }
};

// Records the order of erase and paint, and draws like a summary panel.
class PaintRecorder : public CWnd {
public:
    std::vector<std::string> log;
    BOOL eraseResult = TRUE;

protected:
    BOOL OnEraseBkgnd(CDC* dc) override {
        log.push_back("erase");
        RECT r;
        GetClientRect(&r);
        dc->FillSolidRect(&r, 0x000000);
        return eraseResult;
    }
    void OnPaint() override {
        CPaintDC dc(this);
        log.push_back("paint");
        RECT r;
        GetClientRect(&r);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(0x808080);
        dc.DrawText("one\ntwo", -1, &r, DT_WORDBREAK);
    }
};

TEST_F(WindowModel, CreationRules) {
    CWnd top, child, orphan, unboundParent;
    RECT r{0, 0, 300, 200};
    ASSERT_TRUE(top.Create(nullptr, "Lobby", WS_VISIBLE, r, nullptr, 0));
    EXPECT_FALSE(top.Create(nullptr, "again", WS_VISIBLE, r, nullptr, 0)) << "an object has one window";
    EXPECT_FALSE(orphan.Create(nullptr, "child", WS_CHILD, r, nullptr, 1)) << "a child needs a parent";
    EXPECT_FALSE(orphan.Create(nullptr, "child", WS_CHILD, r, &unboundParent, 1))
        << "a parent object without a window is no parent";
    RECT cr{10, 20, 110, 70};
    ASSERT_TRUE(child.Create(nullptr, "Panel", WS_CHILD | WS_VISIBLE, cr, &top, 7));

    EXPECT_EQ(top.GetDlgItem(7), &child);
    EXPECT_EQ(top.GetDlgItem(8), nullptr);
    EXPECT_EQ(child.GetParent(), &top);
    EXPECT_EQ(child.GetDlgCtrlID(), 7);
    EXPECT_EQ(CWnd::FromHandle(child.GetSafeHwnd()), &child);
    RECT client;
    child.GetClientRect(&client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 50);
    RECT placed;
    ASSERT_TRUE(AfxSimWindowRect(child.GetSafeHwnd(), &placed));
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(AfxSimText(child.GetSafeHwnd()), "Panel");
    EXPECT_EQ(AfxSimWindowCount(), 2u);
}

TEST_F(WindowModel, UnknownHandlesAreRefusedNotFollowed) {
    CWnd top;
    ASSERT_TRUE(top.Create(nullptr, "x", 0, RECT{0, 0, 10, 10}, nullptr, 0));
    HWND stale = top.GetSafeHwnd();
    ASSERT_TRUE(top.DestroyWindow());
    EXPECT_EQ(top.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(top.DestroyWindow());
    const HWND handles[] = {nullptr, stale, reinterpret_cast<HWND>(uintptr_t(0x18)) /* a platform window */,
                            reinterpret_cast<HWND>(uintptr_t(0xDEADBEEC))};
    for (HWND h : handles) {
        EXPECT_EQ(CWnd::FromHandle(h), nullptr);
        EXPECT_TRUE(AfxSimCanvas(h).empty());
        EXPECT_EQ(AfxSimClassName(h), nullptr);
        AfxSimRepaint(h); // nothing to do, nothing to crash
    }
    char buf[4] = "abc";
    EXPECT_EQ(top.GetWindowText(buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(WindowModel, DestroyingAParentTakesItsChildrenAndUnbindsThem) {
    auto* top = new CWnd;
    CWnd child, grandChild;
    ASSERT_TRUE(top->Create(nullptr, "top", WS_VISIBLE, RECT{0, 0, 50, 50}, nullptr, 0));
    ASSERT_TRUE(child.Create(nullptr, "c", WS_CHILD, RECT{0, 0, 5, 5}, top, 1));
    ASSERT_TRUE(grandChild.Create(nullptr, "g", WS_CHILD, RECT{0, 0, 5, 5}, &child, 2));
    HWND childHandle = child.GetSafeHwnd();
    delete top; // the object goes, so its window and the windows under it go
    EXPECT_EQ(AfxSimWindowCount(), 0u);
    EXPECT_EQ(child.GetSafeHwnd(), nullptr);
    EXPECT_EQ(grandChild.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandle(childHandle), nullptr);
    // The unbound object may be used again.
    CWnd again;
    ASSERT_TRUE(again.Create(nullptr, "t", 0, RECT{0, 0, 1, 1}, nullptr, 0));
    EXPECT_TRUE(child.Create(nullptr, "c2", WS_CHILD, RECT{0, 0, 1, 1}, &again, 3));
}

TEST_F(WindowModel, VisibilityFollowsParents) {
    CWnd top, child;
    ASSERT_TRUE(top.Create(nullptr, "top", 0, RECT{0, 0, 5, 5}, nullptr, 0));
    ASSERT_TRUE(child.Create(nullptr, "c", WS_CHILD | WS_VISIBLE, RECT{0, 0, 5, 5}, &top, 1));
    EXPECT_FALSE(child.IsWindowVisible());
    EXPECT_FALSE(top.ShowWindow(SW_SHOW));
    EXPECT_TRUE(child.IsWindowVisible());
    EXPECT_TRUE(top.ShowWindow(SW_HIDE));
    EXPECT_FALSE(child.IsWindowVisible());
}

TEST_F(WindowModel, TextCopiesAreBounded) {
    CWnd w;
    ASSERT_TRUE(w.Create(nullptr, "Generic", 0, RECT{0, 0, 5, 5}, nullptr, 0));
    char small[4];
    EXPECT_EQ(w.GetWindowText(small, sizeof small), 3);
    EXPECT_STREQ(small, "Gen");
    EXPECT_EQ(w.GetWindowText(small, 0), 0);
    EXPECT_EQ(w.GetWindowText(nullptr, 10), 0);
    w.SetWindowText(nullptr);
    EXPECT_EQ(w.GetWindowTextLength(), 0);
}

TEST_F(WindowModel, InvalidatedWindowErasesThenPaintsOnce) {
    CWnd lobby;
    PaintRecorder panel;
    ASSERT_TRUE(lobby.Create(nullptr, "lobby", WS_VISIBLE, RECT{0, 0, 640, 480}, nullptr, 0));
    ASSERT_TRUE(panel.Create(nullptr, "panel", WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 100}, &lobby, 1));
    HWND h = panel.GetSafeHwnd();

    panel.UpdateWindow();
    EXPECT_EQ(panel.log, (std::vector<std::string>{"erase", "paint"})) << "a new window paints once";
    panel.UpdateWindow();
    EXPECT_EQ(panel.log.size(), 2u) << "a valid window does not paint";
    panel.log.clear();
    AfxSimClearCanvas(h);

    panel.InvalidateRect(nullptr, TRUE);
    bool erase = false;
    EXPECT_TRUE(AfxSimNeedsPaint(h, &erase));
    EXPECT_TRUE(erase);
    panel.UpdateWindow();
    EXPECT_EQ(panel.log, (std::vector<std::string>{"erase", "paint"}));
    EXPECT_FALSE(AfxSimNeedsPaint(h, &erase));
    panel.UpdateWindow();
    EXPECT_EQ(panel.log.size(), 2u);

    panel.Invalidate(FALSE); // without erasing
    panel.UpdateWindow();
    EXPECT_EQ(panel.log, (std::vector<std::string>{"erase", "paint", "paint"}));

    std::vector<AfxDrawOp> ops = AfxSimCanvas(h);
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, AfxDrawOp::Fill);
    EXPECT_EQ(ops[0].colour, 0x000000u);
    EXPECT_EQ(ops[0].rect.right, 200);
    EXPECT_EQ(ops[1].kind, AfxDrawOp::Text);
    EXPECT_EQ(ops[1].text, "one\ntwo");
    EXPECT_EQ(ops[1].colour, 0x808080u);
    EXPECT_EQ(ops[1].bkMode, TRANSPARENT);
    EXPECT_EQ(ops[1].format, UINT(DT_WORDBREAK));

    AfxSimClearCanvas(h);
    AfxSimRepaint(h); // the window system asks for a full repaint
    EXPECT_EQ(AfxSimCanvas(h).size(), 2u);
}

TEST_F(WindowModel, DefaultPaintValidatesWithoutDrawing) {
    CWnd w;
    ASSERT_TRUE(w.Create(nullptr, "w", WS_VISIBLE, RECT{0, 0, 5, 5}, nullptr, 0));
    w.Invalidate();
    w.UpdateWindow();
    EXPECT_FALSE(AfxSimNeedsPaint(w.GetSafeHwnd(), nullptr));
    EXPECT_TRUE(AfxSimCanvas(w.GetSafeHwnd()).empty());
}

TEST_F(WindowModel, DrawingRecordKeepsTheNewestOperations) {
    CWnd w;
    ASSERT_TRUE(w.Create(nullptr, "w", WS_VISIBLE, RECT{0, 0, 5, 5}, nullptr, 0));
    CDC dc(&w);
    RECT r{0, 0, 5, 5};
    for (int i = 0; i < 1100; ++i)
        dc.DrawText(std::to_string(i).c_str(), -1, &r, 0);
    std::vector<AfxDrawOp> ops = AfxSimCanvas(w.GetSafeHwnd());
    ASSERT_EQ(ops.size(), 1024u);
    EXPECT_EQ(ops.back().text, "1099");
    EXPECT_EQ(dc.DrawText("abcdef", 3, &r, 0), 13);
    EXPECT_EQ(AfxSimCanvas(w.GetSafeHwnd()).back().text, "abc");
    EXPECT_EQ(dc.DrawText(nullptr, -1, &r, 0), 0);
    EXPECT_EQ(dc.DrawText("x", -1, nullptr, 0), 0);
    CDC unbound(nullptr);
    EXPECT_EQ(unbound.DrawText("x", -1, &r, 0), 0);
}

TEST_F(WindowModel, NothrowAllocationsFailOnRequest) {
    AfxSimFailNewAllocations(2);
    EXPECT_EQ(new (std::nothrow) CWnd, nullptr);
    EXPECT_EQ(new (std::nothrow) CWnd, nullptr);
    CWnd* third = new (std::nothrow) CWnd;
    ASSERT_NE(third, nullptr);
    delete third;
    AfxSimFailNewAllocations(1);
    CWnd* plain = new CWnd; // only the nothrow form is failed
    delete plain;
    EXPECT_EQ(new (std::nothrow) CWnd, nullptr);
}

} // namespace
