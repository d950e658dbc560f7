// Error codes and their texts, the last error of the public functions, the routing of log lines
// by the trace word (trace file and message boxes), API tracing, the trace override from the
// registry, checks, and the small exported utilities.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "krlog.h"
#include "test_machine.h"

namespace {

constexpr char kKrModule[] = "kroute";

// Restores the trace word after a test.
class TraceWord : public ::testing::Test {
protected:
    void SetUp() override {
        kt::DeleteValue("MAIN", "TRACEOVERRIDE");
        saved_ = KrGetTrace();
        dir_ = kt::FreshTraceDir();
    }
    void TearDown() override {
        KrSetTrace(saved_);
        KrTraceClose();
    }
    std::string Trace() { return kt::ReadFile(dir_ + "/krtrace.txt"); }
    uint32_t saved_ = 0;
    std::string dir_;
};

// ---- error texts ----

TEST(ErrorTexts, EveryCodeOfTheTableHasItsTextAndNoOtherCodeHasOne) {
    const int codes[] = {-1,   -2,   -3,   -10,  -11,  -20,  -30,  -41,  -44,  -45,  -46,  -47,
                         -50,  -51,  -61,  -62,  -70,  -72,  -73,  -80,  -81,  -82,  -83,  -84,
                         -91,  -92,  -93,  -94,  -100, -111, -120, -130, -131, -140, -141, -142,
                         -150, -151, -152, -160, -161, -162, -163, -170, -180, -181, -182};
    static_assert(sizeof codes / sizeof codes[0] == 47);
    char text[256];
    for (int code : codes) {
        EXPECT_EQ(KrGetErrorText(code, text, sizeof text), 0) << code;
        EXPECT_GT(std::strlen(text), 10u) << code;
    }
    int withText = 0;
    for (int code = 200; code >= -400; --code) {
        if (KrGetErrorText(code, text, sizeof text) == 0) ++withText;
    }
    EXPECT_EQ(withText, 47) << "codes between the rows (-4, -101, -110, ...) have no text";
}

TEST(ErrorTexts, KnownTextsAndSharedText) {
    char text[256];
    KrGetErrorText(-1, text, sizeof text);
    EXPECT_STREQ(text, "Error in network communications.");
    KrGetErrorText(-141, text, sizeof text);
    EXPECT_STREQ(text, "When querying for comm channel info, failed network request. ");
    KrGetErrorText(-182, text, sizeof text);
    EXPECT_STREQ(text, "Failed to find notification to disable.");
    char other[256];
    KrGetErrorText(-20, text, sizeof text);
    KrGetErrorText(-30, other, sizeof other);
    EXPECT_STREQ(text, other);
}

TEST(ErrorTexts, BufferIsClearedFirstAndTheTextCutToItsSize) {
    struct Case {
        int code;
        int size;
        int result;
        const char* text;
    } cases[] = {
        {-41, 256, 0, "Unable to contact game server."},
        {-41, 7, 0, "Unable"},
        {-41, 2, 0, "U"},
        {-41, 1, -1, ""}, // nothing could be loaded
        {-4, 256, -1, ""},
        {-101, 256, -1, ""},
        {0, 256, -1, ""},
    };
    for (const Case& c : cases) {
        char buffer[300];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(KrGetErrorText(c.code, buffer, c.size), c.result) << c.code << " size " << c.size;
        EXPECT_STREQ(buffer, c.text) << c.code << " size " << c.size;
        EXPECT_EQ(buffer[c.size], 'Z') << "nothing written beyond the size";
    }
    char untouched = 'Q';
    EXPECT_EQ(KrGetErrorText(-1, &untouched, 0), -1);
    EXPECT_EQ(untouched, 'Q');
    EXPECT_EQ(KrGetErrorText(-1, nullptr, 10), -1);
}

// ---- the last error ----

TEST(LastError, OnlyErrorCodesAreRecordedAndNothingResetsIt) {
    struct Step {
        intptr_t result;
        int lastAfter;
    } steps[] = {
        {-5, -5},
        {0, -5},              // a success leaves the old code
        {-101, -5},           // nothing queued: never recorded
        {-110, -5},
        {12, -5},
        {-44, -44},
        {(intptr_t)0x7FFF12345678, -44},   // a handle result, not a code
        {(intptr_t)INT64_MIN + 5, -44},    // outside the codes' range
        {-182, -182},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(KrLogReturnVal("KrSomething", s.result), s.result) << "the result passes through unchanged";
        EXPECT_EQ(KrGetLastError(), s.lastAfter) << "after " << s.result;
    }
}

TEST(LastError, IsSharedByAllThreads) {
    std::thread([] { KrLogReturnVal("KrOther", -83); }).join();
    EXPECT_EQ(KrGetLastError(), -83);
}

TEST(ErrorBoxes, AutomaticBoxShowsTheTextAndDisplayFallsBack) {
    KrEnableAutoErrorMessageBoxes(1);
    ::testing::internal::CaptureStderr();
    KrLogReturnVal("KrJoinGame", -41);
    KrLogReturnVal("KrJoinGame", -101);
    std::string shown = ::testing::internal::GetCapturedStderr();
    KrEnableAutoErrorMessageBoxes(0);
    EXPECT_NE(shown.find("[Torvane Network Error] Unable to contact game server."), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Torvane Network Error", shown.find("server.")), std::string::npos)
        << "-101 shows nothing";

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(KrDisplayError(-4), 1) << "the box's answer";
    shown = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("[Torvane Network Error] Error occurred on Torvane, but unable to locate descriptive text."),
              std::string::npos)
        << shown;
}

// ---- routing by the trace word ----

TEST_F(TraceWord, LevelsGoToTheFileAndBoxesTheirBitsSelect) {
    struct Case {
        uint32_t word;
        int level;
        bool toFile;
        bool toBox;
    } cases[] = {
        {0x00FF0000, 7, true, false}, // the initial word: everything to the file, no boxes
        {0x00040000, 4, true, false},  {0x00040000, 0, true, false}, {0x00040000, 5, false, false},
        {0x00080008, 5, true, true},   {0x00080008, 6, true, true},  {0x00080008, 7, false, false},
        {0x00100000, 7, true, false},  {0x00000004, 3, false, true}, {0x00000000, 2, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        KrSetTrace(c.word);
        std::string marker = "routing case " + std::to_string(n++);
        ::testing::internal::CaptureStderr();
        kr_log("krtest", 42, c.level, "%s", marker.c_str());
        std::string boxes = ::testing::internal::GetCapturedStderr();
        const std::string names[] = {"KrEmerg", "KrAlert", "KrCrit", "KrErr", "KrWarn", "KrNotice", "KrInfo", "KrDebug"};
        std::string line = "File:krtest:42 level=" + names[c.level] + " " + marker;
        EXPECT_EQ(Trace().find(line) != std::string::npos, c.toFile) << marker;
        EXPECT_EQ(boxes.find("[" + names[c.level] + "] " + line) != std::string::npos, c.toBox) << marker << boxes;
    }
}

TEST_F(TraceWord, DirectFunctionsUseTheirOwnBitsAndCaptions) {
    struct Case {
        void (*fn)(const char*, ...);
        const char* caption;
        uint32_t bit;
    } cases[] = {{KrError, "KrError", 0x02}, {KrWarn, "KrWarn", 0x04}, {KrInfo, "KrInfo", 0x08},
                 {KrDebug, "KrDebug", 0x10}};
    for (const Case& c : cases) {
        for (uint32_t other : {0x01u, 0x02u, 0x04u, 0x08u, 0x10u}) {
            KrSetTrace(other << 16 | other);
            std::string marker = std::string(c.caption) + " under " + std::to_string(other);
            ::testing::internal::CaptureStderr();
            c.fn("%s", marker.c_str());
            std::string boxes = ::testing::internal::GetCapturedStderr();
            const bool expected = other == c.bit;
            EXPECT_EQ(Trace().find(") " + marker + "\r\n") != std::string::npos, expected) << marker;
            EXPECT_EQ(boxes.find(std::string("[") + c.caption + "] " + marker) != std::string::npos, expected)
                << marker;
        }
    }
}

TEST_F(TraceWord, ApiCallsAndResultsAreTracedWhenByteThreeSaysSo) {
    KrSetTrace(0x01000000);
    ::testing::internal::CaptureStderr();
    KrLogAPICall("KrEnumPlayers");
    KrLogReturnVal("KrEnumPlayers", -151);
    std::string boxes = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(Trace().find(") KrEnumPlayers called\r\n"), std::string::npos);
    EXPECT_NE(Trace().find(") KrEnumPlayers returned -151\r\n"), std::string::npos);
    EXPECT_EQ(boxes, "");

    KrSetTrace(0x02000000);
    ::testing::internal::CaptureStderr();
    KrLogAPICall("KrReadGULP");
    KrLogReturnVal("KrReadGULP", 3);
    boxes = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(boxes.find("[Torvane API called] KrReadGULP called"), std::string::npos);
    EXPECT_NE(boxes.find("[Torvane API returned] KrReadGULP returned 3"), std::string::npos);
    EXPECT_EQ(Trace().find("KrReadGULP"), std::string::npos);
}

TEST_F(TraceWord, ARecordedErrorIsWarnedWithItsText) {
    KrSetTrace(0x00040000);
    KrLogReturnVal("KrOpenGULP", -83);
    EXPECT_NE(Trace().find(") Error reported from API (and possibly to user): error number -83 description: "
                           "Unable to join the requested communications channel.\r\n"),
              std::string::npos);
}

TEST_F(TraceWord, OverrideFromTheRegistryReplacesTheWordWhenItIsABinaryNonZeroWord) {
    struct Case {
        const char* what;
        void (*put)();
        uint32_t expected;
    } cases[] = {
        {"binary", [] { kt::SetBinary("MAIN", "TRACEOVERRIDE", {0x10, 0x00, 0x04, 0x00}); }, 0x00040010},
        {"zero", [] { kt::SetBinary("MAIN", "TRACEOVERRIDE", {0, 0, 0, 0}); }, 0x00120000},
        {"number, not binary", [] { kt::SetNumber("MAIN", "TRACEOVERRIDE", 0x00040010); }, 0x00120000},
        {"too short", [] { kt::SetBinary("MAIN", "TRACEOVERRIDE", {0x10, 0x00}); }, 0x00120000},
        {"missing", [] { kt::DeleteValue("MAIN", "TRACEOVERRIDE"); }, 0x00120000},
    };
    for (const Case& c : cases) {
        c.put();
        KrSetTrace(0x00120000);
        EXPECT_EQ(KrGetTrace(), c.expected) << c.what;
    }
    kt::DeleteValue("MAIN", "TRACEOVERRIDE");
}

TEST_F(TraceWord, AbortAndFailedChecksReachTheExceptionPoint) {
    KrSetTrace(0x00010000);
    uint32_t before = KrProgramExceptionCount();
    KrAbort("stopping: %d", 7);
    EXPECT_EQ(KrProgramExceptionCount(), before + 1);
    EXPECT_NE(Trace().find(") stopping: 7\r\n"), std::string::npos);

    ::testing::internal::CaptureStdout();
    KR_PRECONDITION(1 == 2);
    KR_INVARIANT(true);
    const unsigned line = __LINE__ + 1;
    KR_POSTCONDITION(false);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("kroute:" + std::to_string(line - 3) + ":Precondition:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("kroute:" + std::to_string(line) + ":Postcondition:\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("ModuleInvariant"), std::string::npos);
    EXPECT_EQ(KrProgramExceptionCount(), before + 3);
}

TEST_F(TraceWord, FatalLogEndsTheProcessWithCodeOne) {
    KrSetTrace(0x00FF0000);
    KrTraceMsg("before"); // the trace is this process's, which the dying child shares
    EXPECT_EXIT(kr_exit("krtest", 9, KrAlert, "cannot go on"), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(Trace().find(" level=KrAlert cannot go on\r\n"), std::string::npos);
    EXPECT_NE(Trace().find(" level=KrCrit Exiting...\r\n"), std::string::npos);
}

TEST_F(TraceWord, LogInitLinesGoToTheTrace) {
    EXPECT_EQ(KrLogInitNotice(), 1);
    KrLogInit();
    std::string trace = Trace();
    EXPECT_NE(trace.find(") File:krerr:"), std::string::npos);
    EXPECT_NE(trace.find(" level=KrDebug LobbexInit called, and logging initialized\r\n"), std::string::npos);
    EXPECT_NE(trace.find(") KrLogInit called.  Code Segment: "), std::string::npos);
}

// ---- monitor and utilities ----

uintptr_t g_seen[8];
void Monitor(uintptr_t e, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5, uintptr_t a6,
             uintptr_t a7) {
    const uintptr_t words[8] = {e, a1, a2, a3, a4, a5, a6, a7};
    std::memcpy(g_seen, words, sizeof words);
}

TEST(Monitor, PassesAllEightWordsWholeAndCanBeRemoved) {
    EXPECT_EQ(KrRegisterMonitorCallback(Monitor), 0);
    const uintptr_t pointer = (uintptr_t)&g_seen; // wider than 32 bits on this machine
    KrMonitorNotify(8, 1, 2, 3, pointer, 5, 6, 7);
    const uintptr_t expected[8] = {8, 1, 2, 3, pointer, 5, 6, 7};
    EXPECT_EQ(std::memcmp(g_seen, expected, sizeof expected), 0);
    KrRegisterMonitorCallback(nullptr);
    KrMonitorNotify(1, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(g_seen[0], 8u) << "no callback: nothing called";
}

TEST(Utilities, StrmcpyCopiesAtMostNAndAlwaysTerminates) {
    struct Case {
        const char* source;
        int n;
        const char* result;
        int untouchedFrom; // first byte that must keep its fill
    } cases[] = {
        {"abcdef", 3, "abc", 4}, {"ab", 10, "ab", 3}, {"abc", 0, "", 1}, {"", 5, "", 1}, {"abc", -1, nullptr, 0},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(strmcpy(buffer, c.source, c.n), buffer);
        if (c.result) {
            EXPECT_STREQ(buffer, c.result) << c.source << " " << c.n;
        }
        for (int i = c.untouchedFrom; i < 16; ++i) {
            ASSERT_EQ(buffer[i], '#') << c.source << " " << c.n << " at " << i;
        }
    }
}

TEST(Utilities, VersionIsCopiedWithinTheBuffer) {
    struct Case {
        int size;
        const char* text;
    } cases[] = {{64, "Lobbex v1.02.20"}, {16, "Lobbex v1.02.20"}, {7, "Lobbex"}, {1, ""}};
    for (const Case& c : cases) {
        char buffer[80];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(LobbexVersion(buffer, c.size), 0x01020020u);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(buffer[c.size], '#');
    }
    char one = '#';
    EXPECT_EQ(LobbexVersion(&one, 0), 0x01020020u);
    EXPECT_EQ(one, '#') << "a zero-sized buffer is left alone";
}

TEST(Utilities, TrimmersAndIpxLeftovers) {
    struct Case {
        char* (*fn)(char*);
        const char* in;
        const char* out;
    } cases[] = {
        {KrStrTrimLeft, "  a b  ", "a b  "}, {KrStrTrimRight, "  a b \t", "  a b"}, {KrStrTrim, "\t a b \n", "a b"},
        {KrStrTrim, "   ", ""},             {KrStrTrim, "", ""},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.in);
        EXPECT_STREQ(c.fn(buffer), c.out) << "[" << c.in << "]";
    }
    KrIPX_DoPeriodicUpdate();
    EXPECT_EQ(KrIPX_GetMachineInfo(), -1);
    EXPECT_EQ(KrIPX_GetNumberRemoteMachine(), -1);
    EXPECT_EQ(KrIPX_GetLocalAdr(), -1);
}

}  // namespace
