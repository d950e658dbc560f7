// The shared log, the fatal path (message buffer, jump target, process exit), the hook table,
// Rational and gcd, and the shared library's export table.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <string>

#include "natural.h"
#include "rational.h"
#include "sonvex.h"
#include "sonvex_testing.h"
#include "vidvex.h"

namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

TEST(Log, KeepsOnlyTheLatestMessage) {
    audioLog() << "audioTest::first " << 1;
    audioLog() << "audioTest::second " << 2 << '\n';
    EXPECT_STREQ(audioLogText(), "audioTest::second 2\n");
}

TEST(Log, ALongMessageIsCutToTheBufferWithRoomForItsEnd) {
    audioLog() << std::string(5000, 'x') << "tail";
    EXPECT_EQ(std::strlen(audioLogText()), 2047u);
    audioLog() << "short";
    EXPECT_STREQ(audioLogText(), "short");
}

// Every test that registers a target or buffer removes it again.
class FatalPath : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(m_buffer, 0, sizeof m_buffer);
        ErrorBuffer(m_buffer);
    }
    void TearDown() override {
        longjmpOnAudioErrors(nullptr);
        ErrorBuffer(nullptr);
    }
    char m_buffer[2048];
};

TEST_F(FatalPath, TheTextReachesTheBufferAndTheJumpTargetGetsControlWithOne) {
    std::jmp_buf target;
    EXPECT_EQ(longjmpOnAudioErrors(&target), &target);
    volatile int jumped = 0;
    volatile audioBlockFactory* made = nullptr;
    int value = setjmp(target);
    if (value == 0) {
        made = makeAVIaudioFactory(5, 22050, 1, 16, 0);
    } else {
        jumped = value;
    }
    EXPECT_EQ(jumped, 1);
    EXPECT_EQ(made, nullptr);
    EXPECT_THAT(m_buffer, StartsWith("FATAL ERROR in file "));
    EXPECT_THAT(m_buffer, MatchesRegex("FATAL ERROR in file .*audioavi\\.cpp, line [0-9]+:\n "
                                       "makeAVIaudioFactory::Bad pcm header, channels = 5\n"));
}

TEST_F(FatalPath, TheAnnouncedTextIsCutTo1023Bytes) {
    audioLog() << std::string(3000, 'y');
    EXPECT_THROW(audioFatal("long.cpp", 7), audioFatalError);
    EXPECT_EQ(std::strlen(m_buffer), 1023u);
    EXPECT_THAT(m_buffer, StartsWith("FATAL ERROR in file long.cpp, line 7:\n yyy"));
    EXPECT_EQ(std::strlen(audioFatalText()), 2047u);
}

TEST_F(FatalPath, AReportAnnouncesAndCarriesOn) {
    audioLog() << "audioTest::worth knowing";
    audioReport("here.cpp", 12);
    EXPECT_STREQ(m_buffer, "File here.cpp, line 12:\n audioTest::worth knowing\n");
}

TEST(FatalDeathTest, WithoutAJumpTargetTheProcessEndsWithCodeOneAndTheTextOnStderr) {
    EXPECT_EXIT(
        {
            longjmpOnAudioErrors(nullptr);
            makeAVIaudioFactory(2, 22050, 1, 12, 0);
        },
        ::testing::ExitedWithCode(1), "FATAL ERROR in file .*makeAVIaudioFactory::Bad pcm header, invalid bits/sample 12");
}

TEST(Rational, IsNormalised) {
    struct Case {
        uint32_t num, den;
        bool negative;
        uint32_t expectNum, expectDen;
        int32_t expectSign;
    };
    const Case cases[] = {
        {6, 4, false, 3, 2, 1},
        {0, 7, false, 0, 1, 0},
        {0, 7, true, 0, 1, 0},
        {5, 10, true, 1, 2, -1},
        {1, 88200, false, 1, 88200, 1},
        {4294967295u, 4294967295u, false, 1, 1, 1},
    };
    for (const Case& c : cases) {
        Rational r(c.num, c.den, c.negative);
        EXPECT_EQ(r.numerator(), c.expectNum) << c.num << "/" << c.den;
        EXPECT_EQ(r.denominator(), c.expectDen) << c.num << "/" << c.den;
        EXPECT_EQ(r.sign(), c.expectSign) << c.num << "/" << c.den;
    }
    EXPECT_EQ(svt::FatalOf([] { Rational(3, 0); }), "Rational::Zero denominator");
}

TEST(Gcd, EuclidWithZeros) {
    const uint32_t cases[][3] = {{0, 5, 5}, {5, 0, 5}, {0, 0, 0}, {12, 18, 6}, {17, 5, 1}, {1000, 44100, 100},
                                 {1000, 22050, 50}, {4294967295u, 65535, 65535}};
    for (const auto& c : cases)
        EXPECT_EQ(gcd(c[0], c[1]), c[2]) << c[0] << ", " << c[1];
}

void* testMalloc(size_t) {
    return nullptr;
}
void testFree(void*) {}
long testSeek(int, long, int) {
    return 0;
}

TEST(Hooks, EachSetterReturnsTheFunctionItWasGiven) {
    EXPECT_EQ(Setwrenfield_malloc(testMalloc), testMalloc);
    EXPECT_EQ(Setwrenfield_free(testFree), testFree);
    EXPECT_EQ(Setwrenfield_seek(testSeek), testSeek);
    EXPECT_EQ(Setwrenfield_seek_slow(testSeek), testSeek);
    EXPECT_EQ(Setwrenfield_calloc(nullptr), nullptr);
    EXPECT_EQ(Setwrenfield_close(nullptr), nullptr);
    EXPECT_EQ(Setwrenfield_read(nullptr), nullptr);
    EXPECT_EQ(Setwrenfield_open(nullptr), nullptr);
}

TEST(ExportTable, TheSharedLibraryExportsItsTableByNameAndNothingElse) {
    void* lib = dlopen(SONVEX_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const char* names[] = {"GetAudioProfile", "makeAVIaudioFactory", "StartPlaying", "DLLVersion",
                           "longjmpOnAudioErrors", "StopPlaying", "EndAudio", "TakeBack", "PauseSpeaker",
                           "ResumeSpeaker", "TimeSpeaker", "FillAudio", "SetupAudio", "IsPlaying", "ResyncAudio",
                           "Setwrenfield_malloc", "Setwrenfield_calloc", "Setwrenfield_free", "Setwrenfield_close",
                           "Setwrenfield_read", "Setwrenfield_seek", "Setwrenfield_seek_slow", "Setwrenfield_open",
                           "wdzTimeGetTime"};
    for (const char* name : names)
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    // The library's classes stay inside it.
    EXPECT_EQ(dlsym(lib, "_Z8audioLogv"), nullptr);
    EXPECT_EQ(dlsym(lib, "_Z16makeAudioFactoryiiiii"), nullptr);
    auto version = reinterpret_cast<int32_t (*)()>(dlsym(lib, "DLLVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 40065);
    dlclose(lib);
}

}  // namespace
