// The headless backend: virtual clocks, PLATFORM_FRAMES, the PLATFORM_INPUT script, the last
// frame and PLATFORM_SCREENSHOT, message boxes and debug output.
#include <gtest/gtest.h>

#include <chrono>
#include <png.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "plat_input.h"
#include "platform_fixture.h"
#include "win32.h"

namespace {
using plattest::HeadlessTest;

std::vector<std::string> g_Calls;

LRESULT RecordProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_CREATE)
        g_Calls.push_back(std::to_string(m) + ":" + std::to_string(wp));
    return DefWindowProcA(w, m, wp, lp);
}

HWND MakeWindow() {
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = RecordProc;
    cls.lpszClassName = "DirectXShell";
    RegisterClassExA(&cls);
    return CreateWindowExA(0, "DirectXShell", "Ghoulden", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
}

void Present(int n) {
    static const std::vector<uint32_t> black(640 * 480, 0);
    for (int i = 0; i < n; ++i)
        plat::PresentFrame(black.data(), 640, 480);
}

// Everything waiting in the queue, as "message:wParam" words.
std::vector<std::string> Pending() {
    std::vector<std::string> out;
    MSG m{};
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        out.push_back(std::to_string(m.message) + ":" + std::to_string(m.wParam));
    return out;
}

std::string Describe(const plat::InputEvent& e) {
    char buf[64];
    switch (e.kind) {
    case plat::InputKind::KeyDown: std::snprintf(buf, sizeof buf, "key down %02x", e.scanCode); break;
    case plat::InputKind::KeyUp: std::snprintf(buf, sizeof buf, "key up %02x", e.scanCode); break;
    case plat::InputKind::MouseMove:
        std::snprintf(buf, sizeof buf, "move %d %d at %d,%d", e.dx, e.dy, e.x, e.y);
        break;
    case plat::InputKind::MouseDown: std::snprintf(buf, sizeof buf, "button down %d", e.button); break;
    case plat::InputKind::MouseUp: std::snprintf(buf, sizeof buf, "button up %d", e.button); break;
    }
    return buf;
}

TEST_F(HeadlessTest, VirtualClockStepsPerFrameAndWithMainThreadSleeps) {
    EXPECT_EQ(GetTickCount(), 0u);
    Present(3);
    EXPECT_EQ(GetTickCount(), 3 * plat::kHeadlessFrameMs);
    Sleep(1000);
    EXPECT_EQ(timeGetTime(), 3 * plat::kHeadlessFrameMs + 1000);
    std::thread([] { Sleep(5); }).join(); // other threads really sleep and leave the clock alone
    EXPECT_EQ(GetTickCount(), 3 * plat::kHeadlessFrameMs + 1000);
    plat::SetVirtualTime(0xFFFFFFF0u);
    plat::AdvanceVirtualTime(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u) << "the tick count wraps like a 32-bit counter";
}

TEST_F(HeadlessTest, SystemTimeIsAFixedDatePlusVirtualTime) {
    struct Case {
        uint32_t virtualMs;
        SYSTEMTIME want; // year, month, day of week, day, hour, minute, second, ms
    };
    const Case cases[] = {
        {0, {1998, 6, 1, 15, 12, 0, 0, 0}},
        {12 * 3600000u + 5, {1998, 6, 2, 16, 0, 0, 0, 5}},
        {3723004u, {1998, 6, 1, 15, 13, 2, 3, 4}},
        {0xFFFFFFFFu, {1998, 8, 2, 4, 5, 2, 47, 295}},
    };
    for (const Case& c : cases) {
        plat::SetVirtualTime(c.virtualMs);
        SYSTEMTIME t{};
        GetSystemTime(&t);
        EXPECT_EQ(std::vector<int>({t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                    t.wMilliseconds}),
                  std::vector<int>({c.want.wYear, c.want.wMonth, c.want.wDayOfWeek, c.want.wDay, c.want.wHour,
                                    c.want.wMinute, c.want.wSecond, c.want.wMilliseconds}))
            << "virtual ms " << c.virtualMs;
    }
    GetSystemTime(nullptr); // harmless
}

TEST_F(HeadlessTest, FrameLimitClosesTheMainWindowOnce) {
    setenv("PLATFORM_FRAMES", "3", 1);
    plat::ResetForTests();
    HWND first = MakeWindow();
    HWND second = MakeWindow();
    g_Calls.clear();
    DestroyWindow(first); // the main window is the first one that still exists
    Present(2);
    EXPECT_TRUE(Pending().empty());
    Present(1);
    EXPECT_EQ(plat::FrameCount(), 3u);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.hwnd, second);
    DispatchMessageA(&m);
    EXPECT_FALSE(IsWindow(second));
    MakeWindow();
    Present(5);
    EXPECT_TRUE(Pending().empty()) << "the close is posted only once";
}

TEST_F(HeadlessTest, FrameLimitReachedBeforeAnyWindowClosesTheFirstOne) {
    setenv("PLATFORM_FRAMES", "1", 1);
    plat::ResetForTests();
    Present(2);
    HWND w = MakeWindow();
    EXPECT_TRUE(Pending().empty());
    Present(1);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.hwnd, w);
}

TEST_F(HeadlessTest, FrameLimitThatIsNotANumberIsIgnored) {
    for (const char* bad : {"abc", "-2", "3x"}) {
        setenv("PLATFORM_FRAMES", bad, 1);
        testing::internal::CaptureStderr();
        plat::ResetForTests();
        MakeWindow();
        Present(5);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(Pending().empty()) << bad;
        EXPECT_NE(err.find("PLATFORM_FRAMES"), std::string::npos) << bad;
    }
}

struct ScriptCase {
    const char* name;
    const char* script;
    int frames;                       // frames presented before looking
    std::vector<std::string> input;   // raw input events, in order
    std::vector<std::string> posted;  // window messages, "message:wParam"
    std::vector<int> badLines;        // line numbers reported on stderr
};

TEST_F(HeadlessTest, InputScriptPlaysItsEventsAtTheirFrames) {
    const std::string close = std::to_string(WM_CLOSE) + ":0";
    const std::string minimised = std::to_string(WM_SIZE) + ":1";
    const std::string restored = std::to_string(WM_SIZE) + ":0";
    const ScriptCase cases[] = {
        {"keys in decimal and hex", "1 key down 0x1E\n1 key up 30\n", 1, {"key down 1e", "key up 1e"}, {}, {}},
        {"not yet due", "2 key down 57\n", 1, {}, {}, {}},
        {"frame zero fires at the first look", "0 key down 1\n", 0, {"key down 01"}, {}, {}},
        {"comments, blanks and CR LF", "# header\r\n\r\n  \n1 key down 2 # trailing\r\n", 1, {"key down 02"}, {}, {}},
        {"out of order lines are sorted by frame", "2 key up 3\n1 key down 3\n", 2, {"key down 03", "key up 03"}, {}, {}},
        {"mouse moves keep an absolute position inside the frame",
         "1 mouse move 5 -3\n1 mouse move -1000 0\n1 mouse down 0\n1 mouse up 2\n", 1,
         {"move 5 -3 at 325,237", "move -1000 0 at 0,237", "button down 0", "button up 2"}, {}, {}},
        {"window events", "1 minimise\n2 restore\n3 close\n", 3, {}, {minimised, restored, close}, {}},
        {"malformed lines are reported and skipped",
         "x key down 1\n1 key sideways 1\n1 key down 256\n1 key down\n1 mouse down 3\n1 mouse move 1\n"
         "1 jump\n1 close now\n1 key down 0x\n-1 close\n1\n1 key down 5\n",
         1, {"key down 05"}, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch + "/input.txt";
        plattest::WriteText(path, c.script);
        setenv("PLATFORM_INPUT", path.c_str(), 1);
        testing::internal::CaptureStderr();
        plat::ResetForTests();
        MakeWindow();
        std::vector<std::string> posted;
        for (int i = 0; i < c.frames; ++i) {
            Present(1);
            for (const std::string& p : Pending())
                posted.push_back(p);
        }
        for (const std::string& p : Pending())
            posted.push_back(p);
        std::string err = testing::internal::GetCapturedStderr();
        std::vector<std::string> input;
        for (const plat::InputEvent& e : plat::DrainInput())
            input.push_back(Describe(e));
        EXPECT_EQ(input, c.input);
        EXPECT_EQ(posted, c.posted);
        for (int line : c.badLines)
            EXPECT_NE(err.find("line " + std::to_string(line) + ":"), std::string::npos) << "line " << line << "\n" << err;
        size_t reports = 0;
        for (size_t at = err.find("input script"); at != std::string::npos; at = err.find("input script", at + 1))
            ++reports;
        EXPECT_EQ(reports, c.badLines.size()) << err;
    }
}

TEST_F(HeadlessTest, ScriptMinimiseDrivesIsIconic) {
    const std::string path = scratch + "/input.txt";
    plattest::WriteText(path, "1 minimise\n2 minimise\n3 restore\n");
    setenv("PLATFORM_INPUT", path.c_str(), 1);
    plat::ResetForTests();
    HWND w = MakeWindow();
    EXPECT_TRUE(plat::InteractiveInput()) << "a script with events left can still answer";
    Present(1);
    EXPECT_TRUE(IsIconic(w));
    Present(1);
    EXPECT_EQ(Pending().size(), 1u) << "minimising twice reports once";
    Present(1);
    EXPECT_FALSE(IsIconic(w));
    EXPECT_FALSE(plat::InteractiveInput()) << "the script is used up";
}

TEST_F(HeadlessTest, BlockingGetPlaysTheNextScriptEventInsteadOfWaiting) {
    const std::string path = scratch + "/input.txt";
    plattest::WriteText(path, "500 key down 1\n900 close\n");
    setenv("PLATFORM_INPUT", path.c_str(), 1);
    plat::ResetForTests();
    HWND w = MakeWindow();
    MSG m{};
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(plat::DrainInput().size(), 1u);
    EXPECT_EQ(plat::FrameCount(), 0u) << "no frame was invented";
}

TEST_F(HeadlessTest, MissingScriptIsReportedAndNotInteractive) {
    setenv("PLATFORM_INPUT", (scratch + "/none.txt").c_str(), 1);
    testing::internal::CaptureStderr();
    plat::ResetForTests();
    EXPECT_FALSE(plat::InteractiveInput());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.txt"), std::string::npos);
}

TEST_F(HeadlessTest, InputQueueDropsTheOldestWhenNobodyReads) {
    for (size_t i = 0; i < plat::kInputQueueLimit + 3; ++i) {
        plat::InputEvent e;
        e.scanCode = static_cast<uint8_t>(i);
        plat::PushInput(e);
    }
    std::vector<plat::InputEvent> got = plat::DrainInput();
    ASSERT_EQ(got.size(), plat::kInputQueueLimit);
    EXPECT_EQ(got.front().scanCode, 3);
    EXPECT_TRUE(plat::DrainInput().empty());
    plat::PushInput({});
    plat::ClearInput();
    EXPECT_TRUE(plat::DrainInput().empty());
}

// Reads a PNG back with libpng: width, height and RGB bytes.
bool ReadPng(const std::string& path, int* w, int* h, std::vector<uint8_t>* rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr))
        return false;
    *w = static_cast<int>(image.width);
    *h = static_cast<int>(image.height);
    return true;
}

TEST_F(HeadlessTest, LastFrameIsACopyAndWritePngKeepsColours) {
    const uint32_t* px = nullptr;
    int w = 0, h = 0;
    EXPECT_FALSE(plat::LastFrame(&px, &w, &h));
    std::vector<uint32_t> frame = {0x00FF0000, 0x0000FF00, 0xFF0000FF, 0x00123456, 0x00FFFFFF, 0x00000000};
    plat::PresentFrame(frame.data(), 3, 2);
    frame[0] = 0; // the platform keeps its own copy
    ASSERT_TRUE(plat::LastFrame(&px, &w, &h));
    ASSERT_EQ(w * h, 6);
    EXPECT_EQ(px[0], 0x00FF0000u);

    const std::string path = scratch + "/frame.png";
    ASSERT_TRUE(plat::WritePng(path, px, w, h));
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, &w, &h, &rgb));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 0x12, 0x34, 0x56, 255, 255, 255, 0, 0, 0}))
        << "the unused top byte is ignored";
    EXPECT_FALSE(plat::WritePng(scratch + "/no/such/dir/x.png", px, w, h));
    EXPECT_FALSE(plat::WritePng(path, px, 0, 2));
    EXPECT_FALSE(plat::WritePng(path, nullptr, 3, 2));
}

TEST_F(HeadlessTest, ScreenshotAtExitHoldsTheLastFrameOrBlack) {
    struct Case {
        bool present;
        int w, h;
        uint8_t r;
    };
    for (const Case& c : {Case{true, 2, 2, 0xAB}, Case{false, 640, 480, 0}}) {
        const std::string path = scratch + "/shot.png";
        std::remove(path.c_str());
        setenv("PLATFORM_SCREENSHOT", path.c_str(), 1);
        plat::ResetForTests();
        std::vector<uint32_t> frame(4, 0x00AB0000);
        if (c.present)
            plat::PresentFrame(frame.data(), 2, 2);
        EXPECT_EXIT(ExitProcess(4), testing::ExitedWithCode(4), "");
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPng(path, &w, &h, &rgb)) << "presented " << c.present;
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(rgb[0], c.r);
    }
}

TEST_F(HeadlessTest, ScreenshotIsAlsoWrittenWhenMainReturns) {
    const std::string path = scratch + "/atexit.png";
    setenv("PLATFORM_SCREENSHOT", path.c_str(), 1);
    plat::ResetForTests();
    EXPECT_EXIT(
        {
            uint32_t px = 0x00FFFFFF;
            plat::PresentFrame(&px, 1, 1);
            std::exit(0); // a plain end of the program runs the exit handler
        },
        testing::ExitedWithCode(0), "");
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, &w, &h, &rgb));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 255, 255}));
}

struct ExitCalled {
    int code;
};

TEST_F(HeadlessTest, ExitHookTakesOverOrObservesTheExit) {
    plat::SetExitHook([](int code) { throw ExitCalled{code}; });
    try {
        ExitProcess(3);
        FAIL() << "ExitProcess returned";
    } catch (const ExitCalled& e) {
        EXPECT_EQ(e.code, 3);
    }
    // A hook that only watches still ends the process with the code.
    plat::SetExitHook([](int code) { std::fprintf(stderr, "hook saw %d\n", code); });
    EXPECT_EXIT(plat::ExitProcessNow(5), testing::ExitedWithCode(5), "hook saw 5");
}

TEST_F(HeadlessTest, UnhookedExitFlushesAndRemovesTheTemporaryDirectory) {
    const std::string marker = scratch + "/tempdir.txt";
    EXPECT_EXIT(
        {
            const std::string dir = plat::TempDir(); // made by the child, so the child removes it
            plattest::WriteText(dir + "/muftemp.bmp", "x");
            plattest::WriteText(marker, dir);
            std::printf("unflushed output");
            plat::ExitProcessNow(9);
        },
        testing::ExitedWithCode(9), "");
    const std::string dir = plattest::ReadText(marker);
    ASSERT_FALSE(dir.empty());
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(HeadlessTest, MessageBoxesPrintAndAnswerWithTheDefault) {
    struct Case {
        UINT type;
        int answer;
    };
    for (const Case& c : {Case{MB_OK, IDOK}, Case{MB_OKCANCEL, IDOK}, Case{MB_YESNO, IDYES},
                          Case{MB_YESNO | MB_ICONERROR, IDYES}, Case{MB_OK | MB_ICONERROR, IDOK}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBoxA(nullptr, "Insert the CD", "Ghoulden", c.type), c.answer) << c.type;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("Ghoulden"), std::string::npos);
        EXPECT_NE(err.find("Insert the CD"), std::string::npos);
    }
    testing::internal::CaptureStderr();
    OutputDebugStringA("debug line\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "debug line\n");
}

TEST_F(HeadlessTest, HeadlessIsChosenAndNotInteractiveWithoutScript) {
    EXPECT_EQ(plat::CurrentBackend(), plat::Backend::Headless);
    EXPECT_FALSE(plat::InteractiveInput());
    setenv("PLATFORM_BACKEND", "nonsense", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    plat::ResetForTests();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nonsense"), std::string::npos);
    EXPECT_EQ(plat::CurrentBackend(), plat::Backend::Headless) << "no display: headless";
}

}  // namespace

// A minimised single-player game stands still and presents nothing; an idle loop of peeks must
// still reach the script's restore, or a headless run would spin for ever.
TEST_F(HeadlessTest, IdleMinimisedLoopStillReachesTheScriptsRestore) {
    const std::string path = scratch + "/input.txt";
    plattest::WriteText(path, "1 minimise\n50 restore\n");
    setenv("PLATFORM_INPUT", path.c_str(), 1);
    plat::ResetForTests();
    HWND w = MakeWindow();
    Present(1);
    ASSERT_TRUE(IsIconic(w));
    MSG m{};
    int peeks = 0;
    bool restored = false;
    while (!restored && peeks < 100000) {
        ++peeks;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            restored = m.message == WM_SIZE && m.wParam == SIZE_RESTORED;
    }
    EXPECT_TRUE(restored);
    EXPECT_FALSE(IsIconic(w));
    EXPECT_EQ(plat::FrameCount(), 1u) << "no frame was invented";
}

// "N pace MS": from frame N each frame takes at least MS of real time; a bad pace is reported.
TEST_F(HeadlessTest, ScriptPaceHoldsEachFrameToItsRealTimeShare) {
    const std::string path = scratch + "/input.txt";
    plattest::WriteText(path, "0 pace 20\n1 pace\n1 pace -5\n1 pace 5 6\n");
    setenv("PLATFORM_INPUT", path.c_str(), 1);
    testing::internal::CaptureStderr();
    plat::ResetForTests();
    MakeWindow();
    Pending();  // the first look at the queue fires frame 0's lines
    const auto start = std::chrono::steady_clock::now();
    Present(100);
    const auto spent = std::chrono::steady_clock::now() - start;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_GE(spent, std::chrono::milliseconds(2000));
    for (int line : {2, 3, 4})
        EXPECT_NE(err.find("line " + std::to_string(line) + ":"), std::string::npos) << err;

    plattest::WriteText(path, "0 pace 20\n3 pace 0\n");
    plat::ResetForTests();
    MakeWindow();
    Pending();
    Present(3);
    const auto unpaced = std::chrono::steady_clock::now();
    Present(100);
    EXPECT_LT(std::chrono::steady_clock::now() - unpaced, std::chrono::milliseconds(2000)) << "pace 0 ends it";
}
