// Window classes, windows and the message queue: what the game's main loop and window procedure
// rely on (order, peek without removal, quit after everything posted, dispatch to the class's
// procedure, the default close handling).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform_fixture.h"
#include "win32.h"

namespace {
using plattest::HeadlessTest;

// What the recording window procedure saw, as "window:message:wParam" words.
std::vector<std::string> g_Seen;
LRESULT g_CreateAnswer = 0;
void* g_CreateParam = nullptr;

std::string Word(HWND w, UINT m, WPARAM wp) {
    return std::to_string(reinterpret_cast<uintptr_t>(w) >> 4) + ":" + std::to_string(m) + ":" +
           std::to_string(wp);
}

LRESULT CALLBACK_Record(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_Seen.push_back(Word(w, m, wp));
    if (m == WM_CREATE) {
        g_CreateParam = reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams;
        return g_CreateAnswer;
    }
    if (m == WM_USER + 7)
        return 1234;
    return DefWindowProcA(w, m, wp, lp);
}

class WindowTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        g_Seen.clear();
        g_CreateAnswer = 0;
        g_CreateParam = nullptr;
        WNDCLASSEXA cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = CALLBACK_Record;
        cls.lpszClassName = "DirectXShell";
        ASSERT_NE(RegisterClassExA(&cls), 0);
    }
    HWND Create(const char* cls = "DirectXShell", void* param = nullptr) {
        return CreateWindowExA(WS_EX_APPWINDOW, cls, "Ghoulden", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), param);
    }
};

TEST_F(WindowTest, ClassNamesCompareWithoutCaseAndRegisterOnce) {
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = CALLBACK_Record;
    cls.lpszClassName = "DIRECTXSHELL";
    EXPECT_EQ(RegisterClassExA(&cls), 0) << "same name in other case is the same class";
    cls.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassExA(&cls), 0);
    cls.lpszClassName = "Other";
    cls.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExA(&cls), 0) << "a class needs a procedure";
    EXPECT_NE(Create("directxshell"), nullptr);
    EXPECT_EQ(Create("NoSuchClass"), nullptr);
    EXPECT_TRUE(UnregisterClassA("DirectXSHELL", nullptr));
    EXPECT_EQ(Create("DirectXShell"), nullptr);
}

TEST_F(WindowTest, CreationSendsCreateAndMinusOneRefusesTheWindow) {
    int param = 0;
    HWND w = Create("DirectXShell", &param);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(g_Seen, (std::vector<std::string>{Word(w, WM_CREATE, 0)}));
    EXPECT_EQ(g_CreateParam, &param);
    EXPECT_FALSE(IsIconic(w));

    g_Seen.clear();
    g_CreateAnswer = -1;
    EXPECT_EQ(Create(), nullptr);
    ASSERT_EQ(g_Seen.size(), 2u);
    EXPECT_EQ(g_Seen[1].substr(g_Seen[1].find(':')), ":2:0") << "the refused window is destroyed";
}

TEST_F(WindowTest, QueueKeepsOrderPeekLeavesMessagesAndQuitComesLast) {
    HWND w = Create();
    ASSERT_TRUE(PostMessageA(w, WM_USER + 1, 11, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageA(w, WM_USER + 2, 22, 0));

    MSG m{};
    for (int i = 0; i < 2; ++i) { // peeking without removal sees the same message again
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.message, WM_USER + 1u);
        EXPECT_EQ(m.hwnd, w);
    }
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 11u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 22u) << "WM_QUIT waits until everything posted before it is taken";
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the quit was taken";
}

TEST_F(WindowTest, FiltersPickByWindowAndMessageRange) {
    HWND a = Create();
    HWND b = Create();
    PostMessageA(a, WM_USER + 1, 1, 0);
    PostMessageA(b, WM_USER + 2, 2, 0);
    PostMessageA(nullptr, WM_USER + 3, 3, 0); // a message for the thread itself
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
}

TEST_F(WindowTest, DispatchCallsTheClassProcedureAndSendReturnsItsAnswer) {
    HWND w = Create();
    g_Seen.clear();
    PostMessageA(w, MM_MCINOTIFY, 1, 0);
    MSG m{};
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_FALSE(TranslateMessage(&m));
    DispatchMessageA(&m);
    EXPECT_EQ(g_Seen, (std::vector<std::string>{Word(w, MM_MCINOTIFY, 1)}));
    EXPECT_EQ(SendMessageA(w, WM_USER + 7, 0, 0), 1234);
    MSG stray{};
    EXPECT_EQ(DispatchMessageA(&stray), 0) << "a message without a window goes nowhere";
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
}

TEST_F(WindowTest, DefaultCloseDestroysTheWindowAndDropsItsMessages) {
    HWND w = Create();
    HWND other = Create();
    g_Seen.clear();
    PostMessageA(w, WM_CLOSE, 0, 0);
    PostMessageA(w, WM_USER + 5, 0, 0);
    PostMessageA(other, WM_USER + 6, 0, 0);
    MSG m{};
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    DispatchMessageA(&m);
    EXPECT_EQ(g_Seen, (std::vector<std::string>{Word(w, WM_CLOSE, 0), Word(w, WM_DESTROY, 0)}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(DestroyWindow(w)) << "a second destroy is refused";
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0)) << "posting to a destroyed window fails";
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, other) << "the destroyed window's waiting message was discarded";
    EXPECT_EQ(m.message, WM_USER + 6u);
}

TEST_F(WindowTest, EmptyHeadlessQueueEndsWithQuitInsteadOfWaitingForever) {
    Create();
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_NE(err.find("quitting"), std::string::npos);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST_F(WindowTest, MessagesPostedFromOtherThreadsArriveInOrder) {
    HWND w = Create();
    std::thread t([w] {
        for (WPARAM i = 0; i < 100; ++i)
            PostMessageA(w, WM_USER, i, 0);
    });
    t.join();
    MSG m{};
    for (WPARAM i = 0; i < 100; ++i) {
        ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
        EXPECT_EQ(m.wParam, i);
    }
}

}  // namespace
