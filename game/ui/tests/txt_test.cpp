// Text file tests: key matching, line handling, sections and markers, lists, and hostile files
// (closing marker first, over-long lines, too many list lines, no terminator after the buffer).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/mem.h"
#include "ui/txt.h"

namespace {

struct TextFile : ::testing::Test {
    void SetUp() override {
        MEM_ResetTracker();
        TXT_FreeTexts();
    }
    void TearDown() override {
        TXT_FreeTexts();
    }
    // The buffer is copied into a block of exactly its size, so a read past it is caught.
    static void Parse(const std::string& text) {
        std::vector<char> exact(text.begin(), text.end());
        TXT_ParseBuffer(exact.data(), static_cast<uint32_t>(exact.size()));
    }
    static std::string Lines(const std::vector<std::string>& lines, const char* end = "\n") {
        std::string s;
        for (const std::string& l : lines)
            s += l + end;
        return s;
    }
    static std::string Menu(TxtMenuKey k) {
        const char* t = TXT_Menu(k);
        return t ? t : "<null>";
    }
};

TEST_F(TextFile, MenuLinesMatchAtTheLineStartCaseSensitively) {
    struct Case { const char* line; const char* want; } cases[] = {
        {"mm_sp=Start", "Start"},
        {"mm_sp=Two~lines", "Two\nlines"},
        {"mm_sp=", ""},
        {" mm_sp=Blank", "<null>"},
        {"MM_SP=Caps", "<null>"},
        {"mm_sp=a=b c ", "a=b c "},
        {"mm_spx=no", "<null>"},
        {"mm_sp=Cut\rhere", "Cut"},
    };
    for (const Case& c : cases) {
        TXT_FreeTexts();
        Parse(Lines({"[>menus]", c.line, "[<menus]"}));
        EXPECT_EQ(Menu(TXT_mm_sp), c.want) << c.line;
    }
}

TEST_F(TextFile, CrLfLinesDuplicatesAndTheLastKey) {
    Parse(Lines({"junk before", "[>menus]", "mm_sp=First", "mm_mp=Multi", "mm_sp=Second", "ps_03=Last",
                 "[<menus]"},
                "\r\n"));
    EXPECT_EQ(Menu(TXT_mm_sp), "Second");
    EXPECT_EQ(Menu(TXT_mm_mp), "Multi");
    EXPECT_EQ(Menu(TXT_ps_03), "Last");
    EXPECT_EQ(Menu(TXT_mm_op), "<null>");
    // A later reading replaces the text again.
    Parse(Lines({"[>menus]", "mm_sp=Third", "[<menus]"}));
    EXPECT_EQ(Menu(TXT_mm_sp), "Third");
}

TEST_F(TextFile, LocationKeysFillTheSlotsOfTheirOwnSection) {
    Parse(Lines({"[>loadtextlocations]", "airport=Loading the airport", "keypress=Press a key",
                 "loading=Wait", "mm_sp=wrong section", "[<loadtextlocations]", "[>textlocations]",
                 "airport=Airport", "escape=Way out", "[<textlocations]", "[>locations]graveyard=Graves",
                 "[<locations]"}));
    EXPECT_STREQ(g_LoadingTexts[5], "Loading the airport");
    EXPECT_STREQ(g_LoadingKeypress, "Press a key");
    EXPECT_STREQ(g_LoadingLoading, "Wait");
    EXPECT_STREQ(g_LocationTitles[5], "Airport");
    EXPECT_STREQ(g_LocationTitles[16], "Way out");
    EXPECT_EQ(g_LocationNames[5], nullptr);
    EXPECT_EQ(g_LevelWonKeypress, nullptr);
    EXPECT_EQ(TXT_Menu(TXT_mm_sp), nullptr);
    // The marker line is the first line: a key right behind the marker is not at a line start.
    EXPECT_EQ(g_LocationNames[0], nullptr);
}

TEST_F(TextFile, ListsFillInOrderAndIgnoreSurplusLines) {
    std::vector<std::string> objects = {"[>objects]"};
    for (int i = 0; i < TXT_OBJECT_NAMES + 20; ++i)
        objects.push_back("o=Object " + std::to_string(i));
    objects.push_back("[<objects]");
    std::vector<std::string> characters = {"[>characters]"};
    for (int i = 0; i < TXT_CHARACTER_TEXTS + 5; ++i)
        characters.push_back("c=Character " + std::to_string(i));
    characters.push_back("[<characters]");
    Parse(Lines(objects) + Lines(characters));
    EXPECT_STREQ(g_ObjectNames[0], "Object 0");
    EXPECT_STREQ(g_ObjectNames[162], "Object 162");
    EXPECT_STREQ(g_CharacterTexts[53], "Character 53");
    // A second reading starts at slot 0 again and leaves the rest.
    Parse(Lines({"[>objects]", "o=A", "o=B", "o=C", "o=D", "o=E", "[<objects]"}));
    EXPECT_STREQ(g_ObjectNames[0], "A");
    EXPECT_STREQ(g_ObjectNames[4], "E");
    EXPECT_STREQ(g_ObjectNames[5], "Object 5");
}

TEST_F(TextFile, BrokenMarkersSkipOnlyTheirSection) {
    // No closing marker for the menus; a closing marker before the opening one for the objects.
    Parse(Lines({"[<objects]", "[>menus]", "mm_sp=Orphan", "[>objects]", "o=Stray", "[>locations]",
                 "town=Town", "[<locations]"}));
    EXPECT_EQ(TXT_Menu(TXT_mm_sp), nullptr);
    EXPECT_EQ(g_ObjectNames[0], nullptr);
    EXPECT_STREQ(g_LocationNames[1], "Town");
    // A marker cut off by the end of the buffer is not found.
    TXT_FreeTexts();
    Parse("[>menus]\nmm_sp=x\n[<menu");
    EXPECT_EQ(TXT_Menu(TXT_mm_sp), nullptr);
}

TEST_F(TextFile, OverLongLinesAreCutAndZeroBytesEndTheValue) {
    const std::string huge(25000, 'x');
    std::string text = Lines({"[>menus]", "mm_sp=" + huge, "mm_mp=after"});
    text += std::string("mm_op=ab\0cd\n", 12) + "[<menus]";
    Parse(text);
    ASSERT_NE(TXT_Menu(TXT_mm_sp), nullptr);
    EXPECT_EQ(std::strlen(TXT_Menu(TXT_mm_sp)), size_t(TXT_LINE_BUFFER - 1 - 6));
    EXPECT_EQ(Menu(TXT_mm_mp), "after");
    EXPECT_EQ(Menu(TXT_mm_op), "ab");
}

TEST_F(TextFile, EmptyOrNullBuffersSetNothing) {
    TXT_ParseBuffer(nullptr, 100);
    TXT_ParseBuffer("", 0);
    EXPECT_EQ(TXT_Menu(TXT_mm_sp), nullptr);
    EXPECT_EQ(TXT_Menu(static_cast<TxtMenuKey>(-1)), nullptr);
    EXPECT_EQ(TXT_Menu(TXT_MENU_KEY_COUNT), nullptr);
    EXPECT_STREQ(TXT_Str(nullptr), "");
}

TEST_F(TextFile, LoadsTheFileFromDiskAndStartsWithoutOne) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("txt_test_" + std::to_string(getpid()));
    fs::create_directories(dir / "data");
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(TXT_LoadTextFile(), 1);  // no file: no texts, no error
    EXPECT_EQ(TXT_Menu(TXT_mm_sp), nullptr);
    {
        std::ofstream f(dir / "data" / "if_t_eng.dat", std::ios::binary);
        f << "[>menus]\r\n" << "mm_sp=Single\r\n" << "mm_e0=Leave?\r\n" << "[<menus]\r\n";
    }
    EXPECT_EQ(TXT_LoadTextFile(), 1);
    EXPECT_EQ(Menu(TXT_mm_sp), "Single");
    EXPECT_EQ(Menu(TXT_mm_e0), "Leave?");
    fs::current_path(old);
    fs::remove_all(dir);
}

}  // namespace
