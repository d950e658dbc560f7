// The shared trace file: stamped lines, the line-length limit, a full file written over from the
// beginning, the wrap at the maximum size, the flush rule, processes writing at once, rotation
// to "krtrace2.txt" by the 30th process, and the request layer's event trace.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "krlog.h"
#include "krtime.h"
#include "krtrace.h"
#include "test_machine.h"
#include "winthread.h"

namespace {

// A stamped line "MM/DD hh:mm:ss.mmm Pr <hex> Th <hex>) text": its process, thread and text.
struct Stamped {
    std::string process, thread, text;
};

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool ParseStamped(const std::string& line, Stamped* out) {
    const std::string shape = "99/99 99:99:99.999 Pr ";
    if (line.size() < shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '9' ? !(line[i] >= '0' && line[i] <= '9') : line[i] != shape[i]) return false;
    }
    size_t at = shape.size();
    auto hex = [&](std::string* into) {
        size_t start = at;
        while (at < line.size() && IsHex(line[at])) ++at;
        *into = line.substr(start, at - start);
        return at > start;
    };
    if (!hex(&out->process) || line.compare(at, 4, " Th ") != 0) return false;
    at += 4;
    if (!hex(&out->thread) || line.compare(at, 2, ") ") != 0) return false;
    out->text = line.substr(at + 2);
    return true;
}

// `pattern` with '#' for any lower-case hex digit, every other character literal.
bool MatchesShape(const std::string& line, const std::string& pattern) {
    if (line.size() != pattern.size()) return false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (pattern[i] == '#' ? !IsHex(line[i]) : line[i] != pattern[i]) return false;
    }
    return true;
}

std::string Hex(unsigned long v) {
    char text[32];
    std::snprintf(text, sizeof text, "%lx", v);
    return text;
}

std::vector<uint8_t> Le32(uint32_t v) {
    return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}

uint32_t TraceCount() {
    uint8_t b[4] = {};
    uint32_t size = 4;
    if (KrLoadBinaryObject("KrTraceCount", b, &size) != 0) return 0;
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class TraceFile : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = KrGetTrace();
        kt::DeleteValue("MAIN", "TRACEOVERRIDE");
        KrSetTrace(0x00FF0000);
        dir_ = kt::FreshTraceDir();
    }
    void TearDown() override {
        KrTraceClose();
        KrTimeSetTickSource(nullptr);
        KrSetTrace(saved_);
    }
    std::string Path() const { return dir_ + "/krtrace.txt"; }
    std::string Trace() const { return kt::ReadFile(Path()); }
    uint32_t saved_ = 0;
    std::string dir_;
};

TEST_F(TraceFile, LinesCarryDateTimeProcessAndThread) {
    KrTraceMsg("hello there");
    std::string text = Trace();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    auto lines = kt::Lines(text);
    ASSERT_FALSE(lines.empty()); // the process's first line may follow a registry warning
    Stamped m;
    ASSERT_TRUE(ParseStamped(lines.back(), &m)) << lines.back();
    EXPECT_EQ(m.process, Hex(getpid()));
    EXPECT_EQ(m.thread, Hex(GetCurrentThreadId()));
    EXPECT_EQ(m.text, "hello there");
}

// The stamp's local time and the library's calendar dates share the runtime's time-zone state;
// a thread stamping lines while another converts dates must not race on it (run under the
// thread checker).
TEST_F(TraceFile, StampsAndCalendarDatesFromTwoThreadsAtOnce) {
    std::atomic<bool> go{false};
    std::thread dates([&] {
        while (!go) std::this_thread::yield();
        for (uint32_t i = 0; i < 200; ++i) {
            KRTIME t = {i * 86400u, 0, 0};
            KRDATE d{};
            KrTimeToLocalDate(&t, &d);
            EXPECT_GE(d.year, 1969);
        }
    });
    go = true;
    for (int i = 0; i < 200; ++i) KrTraceMsg(("line " + std::to_string(i)).c_str());
    dates.join();
    auto lines = kt::Lines(Trace());
    ASSERT_FALSE(lines.empty());
    Stamped m;
    ASSERT_TRUE(ParseStamped(lines.back(), &m)) << lines.back();
    EXPECT_EQ(m.text, "line 199");
}

TEST_F(TraceFile, ALineLongerThanHalfAViewIsDropped) {
    const std::string kept(60000, 'k');
    const std::string dropped(65536, 'd');
    KrTraceMsg(dropped.c_str());
    KrTraceMsg(kept.c_str());
    KrTraceMsg("after");
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(kept), std::string::npos);
    EXPECT_NE(lines[1].find(") after"), std::string::npos);
}

TEST_F(TraceFile, AFullFileCountsAsEmptyAndIsWrittenOverFromTheStart) {
    WriteFile(Path(), std::string(0x200000, 'X'));
    KrTraceMsg("first");
    KrTraceMsg("second");
    std::string text = Trace();
    EXPECT_EQ(text.size(), 0x200000u) << "the old tail stays until the file is flushed";
    Stamped m;
    ASSERT_TRUE(ParseStamped(kt::Lines(text)[0], &m)) << "written from offset 0";
    EXPECT_EQ(m.text, "first");
    KrTraceClose();
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 2u) << "closing cuts the file at the shared offset";
    EXPECT_TRUE(ParseStamped(lines[1], &m));
    EXPECT_EQ(m.text, "second");
}

TEST_F(TraceFile, AppendsToAFileOfEarlierRuns) {
    WriteFile(Path(), "earlier run\r\n");
    KrTraceMsg("this run");
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "earlier run");
}

TEST_F(TraceFile, WritingPastTheMaximumStartsAgainAtTheBeginning) {
    const std::string text(1000, 'w');
    ::testing::internal::CaptureStdout();
    size_t largest = 0;
    for (int i = 0; i < 2300; ++i) {
        KrTraceMsg(text.c_str());
        if (i % 100 == 0) largest = std::max(largest, Trace().size());
    }
    std::string out = ::testing::internal::GetCapturedStdout();
    largest = std::max(largest, Trace().size());
    EXPECT_LE(largest, 0x200000u);
    EXPECT_NE(out.find("Error: Hit trace file maximum size limit\n"), std::string::npos);
    KrTraceClose();
    std::string after = Trace();
    auto lines = kt::Lines(after);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(") Error: Hit trace file maximum size limit and restarted"), std::string::npos);
    EXPECT_LT(after.size(), 0x200000u / 2) << "cut at the restarted offset";
    for (const std::string& line : lines) {
        Stamped m;
        EXPECT_TRUE(ParseStamped(line, &m)) << line.substr(0, 60);
    }
}

std::atomic<uint32_t> g_fakeTick{1000};
uint32_t FakeTick() {
    return g_fakeTick.load();
}

DWORD TraceFromThread(void* text) {
    KrTraceMsg(static_cast<const char*>(text));
    return 0;
}

TEST_F(TraceFile, FlushCutsTheFileEveryThreeSecondsOnlyOnNormalPriorityThreads) {
    KrTimeSetTickSource(FakeTick);
    g_fakeTick = 1000;
    WriteFile(Path(), std::string(0x200000, 'X'));
    KrTraceMsg("a"); // the first line only starts the flush clock
    g_fakeTick = 1000 + 2999;
    KrTraceMsg("b");
    EXPECT_EQ(Trace().size(), 0x200000u);
    g_fakeTick = 1000 + 3000;
    HANDLE t = CreateThread(nullptr, 0, TraceFromThread, (void*)"c", CREATE_SUSPENDED, nullptr);
    SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL);
    ResumeThread(t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(Trace().size(), 0x200000u) << "a thread above normal priority does not flush";
    KrTraceMsg("d");
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 4u) << "flushed and cut at the shared offset";
    EXPECT_NE(lines[2].find(") c"), std::string::npos);
}

TEST_F(TraceFile, AMissingDirectoryLeavesTracingOffUntilTheTraceIsOpenedAgain) {
    KrTraceClose();
    kt::SetText("Main", "System Directory", kt::Root() + "/no/such/dir");
    KrTraceMsg("lost");
    KrTraceMsg("lost too");
    dir_ = kt::FreshTraceDir();
    KrTraceMsg("found");
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(") found"), std::string::npos);
}

// ---- several processes ----

struct Writer {
    int id;
    int lines;
};

int WriteLines(void* p) {
    auto* w = static_cast<Writer*>(p);
    for (int i = 0; i < w->lines; ++i) {
        std::string text = "writer " + std::to_string(w->id) + " line " + std::to_string(i);
        KrTraceMsg(text.c_str());
    }
    KrTraceClose();
    return 0;
}

TEST_F(TraceFile, ProcessesWritingAtOnceLoseAndTearNoLine) {
    kt::SetBinary("TEMP", "KrTraceCount", Le32(0));
    constexpr int kWriters = 4, kLines = 2000;
    std::vector<pid_t> children;
    std::vector<Writer> writers(kWriters);
    std::fflush(nullptr);
    for (int c = 0; c < kWriters; ++c) {
        writers[c] = {c, kLines};
        pid_t pid = fork();
        if (pid == 0) _exit(WriteLines(&writers[c]));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto lines = kt::Lines(Trace());
    EXPECT_EQ(lines.size(), (size_t)(kWriters * kLines));
    std::set<std::string> seen, processes;
    for (const std::string& line : lines) {
        Stamped m;
        ASSERT_TRUE(ParseStamped(line, &m)) << line;
        EXPECT_TRUE(seen.insert(m.text).second) << "twice: " << m.text;
        processes.insert(m.process);
    }
    for (int c = 0; c < kWriters; ++c) {
        for (int i = 0; i < kLines; i += 199)
            EXPECT_EQ(seen.count("writer " + std::to_string(c) + " line " + std::to_string(i)), 1u);
    }
    EXPECT_EQ(processes.size(), (size_t)kWriters);
    EXPECT_EQ(TraceCount(), (uint32_t)kWriters) << "each process counted once";
}

int WriteOneLine(void* text) {
    KrTraceMsg(static_cast<const char*>(text));
    KrTraceClose();
    return 0;
}

TEST_F(TraceFile, TheThirtiethProcessRotatesTheFile) {
    kt::SetBinary("TEMP", "KrTraceCount", {0x1d, 0x00, 0x00, 0x00}); // 29
    WriteFile(Path(), "old line\r\n");
    WriteFile(dir_ + "/krtrace2.txt", "older line\r\n");
    ASSERT_EQ(kt::InChild(WriteOneLine, (void*)"new line"), 0);
    EXPECT_EQ(kt::ReadFile(dir_ + "/krtrace2.txt"), "old line\r\n");
    auto lines = kt::Lines(Trace());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(") new line"), std::string::npos);
    EXPECT_EQ(TraceCount(), 1u);
    ASSERT_EQ(kt::InChild(WriteOneLine, (void*)"next"), 0);
    EXPECT_EQ(TraceCount(), 2u);
    EXPECT_EQ(kt::Lines(Trace()).size(), 2u);
}

TEST_F(TraceFile, AMissingCountCountsAsZero) {
    kt::DeleteValue("TEMP", "KrTraceCount");
    ASSERT_EQ(kt::InChild(WriteOneLine, (void*)"first ever"), 0);
    EXPECT_EQ(TraceCount(), 1u);
    const std::string text = Trace();
    const size_t warning = text.find(") KrLoadBinaryObject::Unable to read value from registry (err:2).\r\nKey:"
                                     "'Software\\Brellwick\\Torvane\\TEMP'  Name:'KrTraceCount' len:4\r\n");
    ASSERT_NE(warning, std::string::npos) << text;
    EXPECT_GT(text.find(") first ever\r\n"), warning) << "the registry's warning comes first";
}

TEST_F(TraceFile, RotationWaitsWhileAnotherProcessHoldsTheTrace) {
    KrTraceMsg("parent holds the trace"); // this process was counted by an earlier test or now
    kt::SetBinary("TEMP", "KrTraceCount", Le32(29));
    ASSERT_EQ(kt::InChild(WriteOneLine, (void*)"child one"), 0); // counted, finds the trace held
    EXPECT_FALSE(kt::Exists(dir_ + "/krtrace2.txt"));
    EXPECT_EQ(TraceCount(), 30u);
    KrTraceMsg("parent still writes here");
    KrTraceClose();
    ASSERT_EQ(kt::InChild(WriteOneLine, (void*)"child two"), 0); // alone: rotates
    EXPECT_EQ(TraceCount(), 1u);
    std::string old = kt::ReadFile(dir_ + "/krtrace2.txt");
    EXPECT_NE(old.find(") parent holds the trace"), std::string::npos);
    EXPECT_NE(old.find(") child one"), std::string::npos);
    EXPECT_NE(old.find(") parent still writes here"), std::string::npos);
    EXPECT_NE(Trace().find(") child two"), std::string::npos);
}

// ---- the request layer's event trace ----

TEST_F(TraceFile, EventTraceOpensOnceWritesBothFormatsAndCloses) {
    KrSetTrace(0x08000000);
    KrSetTrace(0x08000000);
    EXPECT_TRUE(KrTraceEnabled());
    KrTraceEvent("rq__sopn", (uintptr_t)0x7f001234abcdull, 1, 2, 0xdeadbeef, 4);
    KrTraceEvent("tmo_mini", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    KrTraceEvent("io", (uintptr_t)5, 0, 0, 0, 0);
    KrSetTrace(0);
    EXPECT_FALSE(KrTraceEnabled());
    KrTraceEvent("rq__late", (uintptr_t)1, 0, 0, 0, 0);
    const std::string path = dir_ + "/krrq_trc_" + Hex(getpid()) + ".txt";
    auto lines = kt::Lines(kt::ReadFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(MatchesShape(lines[0], "rq__sopn[####:abcd-########] 00000001 00000002 deadbeef 00000004")) << lines[0];
    EXPECT_TRUE(MatchesShape(lines[1], "tmo_mini[####-########]      00000000 00000000 00000000 00000000")) << lines[1];
    EXPECT_EQ(lines[2].substr(0, 9), "      io[");
}

TEST_F(TraceFile, EventsAreDroppedWhenTheEventFileCannotBeOpened) {
    KrTraceClose();
    kt::SetText("Main", "System Directory", kt::Root() + "/no/such/dir");
    KrSetTrace(0x08000000);
    KrTraceEvent("rq__sopn", (uintptr_t)1, 0, 0, 0, 0); // nowhere to go, and no crash
    KrSetTrace(0);
    EXPECT_FALSE(kt::Exists(kt::Root() + "/no"));
}

TEST(TraceMask, SetsAndClearsBitsBelowThirtyTwoOnly) {
    KrTraceMaskSet(3);
    KrTraceMaskSet(31);
    KrTraceMaskSet(32);
    EXPECT_EQ(KrTraceMaskGet(), 0x80000008u);
    KrTraceMaskClear(3);
    KrTraceMaskClear(40);
    EXPECT_EQ(KrTraceMaskGet(), 0x80000000u);
    KrTraceMaskClear(31);
}

}  // namespace
