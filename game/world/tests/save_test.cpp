// Save games: the exact bytes of a save (fixed UTC clock), load-then-save byte-identical, files
// that are short, long, damaged or out of range refused with the campaign unchanged, a seeded
// mutation loop, and a save that fails keeping the previous file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "world/save.h"
#include "world_fixture.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const char* text) {
    Bytes out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

// The campaign of the fixture: level 4 last started; a progress row; every member empty but
// group 2 member 1 (character 46, status 90, item 149 x 3, item 12 x -2).
void SetFixtureCampaign() {
    g_ChosenLevel = 4;
    const int progress[17] = {2, 2, 2, 2, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    for (int level = 0; level < 17; ++level)
        FE_SetLevelProgress(level, progress[level]);
    for (auto& group : g_CampaignTeams)
        for (CampaignMember& m : group) {
            m.character = -1;
            m.status = -1;
            for (int e = 0; e < 9; ++e) {
                m.items[e] = -1;
                m.counts[e] = 0;
            }
        }
    CampaignMember& m = g_CampaignTeams[2][1];
    m.character = 46;
    m.status = 90;
    m.items[0] = 149;
    m.counts[0] = 3;
    m.items[1] = 12;
    m.counts[1] = -2;
}

// The same campaign written out byte by byte from the file's layout.
Bytes FixtureFile() {
    Bytes file(3000, 0);
    // Level id, 17 progress bytes, then 13:05 on 9 December 2026: 13, 5, 12, 9, 20, 26.
    const Bytes head = Hex("04 0202020201010000 0000010000000000 00 0d050c09141a");
    std::copy(head.begin(), head.end(), file.begin());
    const Bytes empty = Hex("ffff ff00ff00ff00ff00ff00ff00ff00ff00ff00");
    for (int slot = 0; slot < 64; ++slot)
        std::copy(empty.begin(), empty.end(), file.begin() + 24 + 20 * slot);
    const Bytes member = Hex("2e5a 9503 0cfe ff00ff00ff00ff00ff00ff00ff00");
    std::copy(member.begin(), member.end(), file.begin() + 24 + 20 * (2 * 4 + 1));
    const Bytes signature = Hex("47686f756c64656e206279 2051756f726c616e65");
    std::copy(signature.begin(), signature.end(), file.begin() + 1304);
    return file;
}

void FixedClock(SYSTEMTIME* t) {
    *t = SYSTEMTIME{2026, 12, 3, 9, 13, 5, 42, 7};
}

// Everything a load may change.
struct Snapshot {
    int chosen;
    int progress[17];
    CampaignMember teams[FE_CAMPAIGN_LEVELS][FE_TEAM_MEMBERS];
    bool operator==(const Snapshot& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};
Snapshot Take() {
    Snapshot s;
    std::memset(&s, 0, sizeof s);
    s.chosen = g_ChosenLevel;
    for (int level = 0; level < 17; ++level)
        s.progress[level] = FE_GetLevelProgress(level);
    std::memcpy(s.teams, g_CampaignTeams, sizeof s.teams);
    return s;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class SaveTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        fs::create_directories("data");
        g_SaveClock = FixedClock;
        SetFixtureCampaign();
    }
    void TearDown() override {
        g_SaveClock = GetSystemTime;
        g_ChosenLevel = -1;
        FE_ResetCampaign();
        WorldTest::TearDown();
    }
};

TEST_F(SaveTest, ASaveHoldsTheExactBytesOfTheLayout) {
    ASSERT_EQ(SAVE_SaveGame(1), 1);
    EXPECT_EQ(ReadFile("data/game.1"), FixtureFile());
    EXPECT_FALSE(fs::exists("data/game.1.tmp")) << "the temporary file became the save";
}

TEST_F(SaveTest, LoadThenSaveIsByteIdenticalAndNoneRoundTrips) {
    WriteFile("data/game.2", FixtureFile());
    FE_ResetCampaign();
    g_ChosenLevel = -1;
    ASSERT_EQ(SAVE_LoadGame(2), 1);
    EXPECT_EQ(g_ChosenLevel, 4);
    EXPECT_EQ(g_CampaignTeams[2][1].counts[1], -2) << "counts are signed bytes";
    EXPECT_EQ(g_CampaignTeams[7][3].items[4], -1) << "255 reads back as none";
    ASSERT_EQ(SAVE_SaveGame(3), 1);
    EXPECT_EQ(ReadFile("data/game.3"), FixtureFile());

    Bytes none = FixtureFile();
    none[0] = 255;
    WriteFile("data/game.2", none);
    ASSERT_EQ(SAVE_LoadGame(2), 1);
    EXPECT_EQ(g_ChosenLevel, -1);
}

TEST_F(SaveTest, EveryTruncationAndALongerFileAreRefused) {
    const Bytes file = FixtureFile();
    FE_ResetCampaign();
    const Snapshot before = Take();
    for (size_t length = 0; length < file.size(); ++length)
        EXPECT_EQ(SAVE_ApplyImage(file.data(), length), 0) << length;
    Bytes longer = file;
    longer.push_back(0);
    EXPECT_EQ(SAVE_ApplyImage(longer.data(), longer.size()), 0);
    WriteFile("data/game.5", Bytes(file.begin(), file.begin() + 2999));
    EXPECT_EQ(SAVE_LoadGame(5), 0);
    EXPECT_EQ(SAVE_LoadGame(6), 0) << "a missing file";
    EXPECT_TRUE(Take() == before);
}

TEST_F(SaveTest, OutOfRangeValuesAreRefusedOrCleared) {
    struct Case {
        const char* name;
        size_t offset;
        uint8_t value;
        int taken;
    };
    const Case cases[] = {
        {"level id 17", 0, 17, 0},          {"level id 254", 0, 254, 0},
        {"level id 16", 0, 16, 1},          {"progress 3", 1 + 6, 3, 0},
        {"progress 255", 1 + 15, 255, 0},   {"escape flag 2", 1 + 16, 2, 0},
        {"escape flag 1", 1 + 16, 1, 1},    {"item type 200", 24 + 20 * 9 + 2, 200, 1},
        {"item type 161", 24 + 20 * 9 + 2, 161, 1},
    };
    for (const Case& c : cases) {
        FE_ResetCampaign();
        g_ChosenLevel = -1;
        const Snapshot before = Take();
        Bytes file = FixtureFile();
        file[c.offset] = c.value;
        file[24 + 20 * 9 + 3] = 5;  // the count beside that item type
        EXPECT_EQ(SAVE_ApplyImage(file.data(), file.size()), c.taken) << c.name;
        if (!c.taken) {
            EXPECT_TRUE(Take() == before) << c.name;
        }
    }
    Bytes file = FixtureFile();
    file[24 + 20 * 9 + 2] = 200;
    file[24 + 20 * 9 + 3] = 5;
    ASSERT_EQ(SAVE_ApplyImage(file.data(), file.size()), 1);
    EXPECT_EQ(g_CampaignTeams[2][1].items[0], -1) << "an unknown item type loads as none";
    EXPECT_EQ(g_CampaignTeams[2][1].counts[0], 0);
}

TEST_F(SaveTest, MutatedFilesLeaveACampaignInRange) {
    const Bytes file = FixtureFile();
    uint32_t seed = 0x5a5e;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 3000; ++round) {
        Bytes mutated = file;
        const int changes = 1 + next() % 4;
        for (int i = 0; i < changes; ++i)
            mutated[next() % mutated.size()] = static_cast<uint8_t>(next());
        FE_ResetCampaign();
        const Snapshot before = Take();
        if (!SAVE_ApplyImage(mutated.data(), mutated.size())) {
            ASSERT_TRUE(Take() == before) << round;
            continue;
        }
        ASSERT_GE(g_ChosenLevel, -1);
        ASSERT_LE(g_ChosenLevel, 16);
        for (int level = 0; level < 17; ++level) {
            ASSERT_GE(FE_GetLevelProgress(level), 0);
            ASSERT_LE(FE_GetLevelProgress(level), level == 16 ? 1 : 2);
        }
        for (const auto& group : g_CampaignTeams)
            for (const CampaignMember& m : group)
                for (int item : m.items)
                    ASSERT_TRUE(item >= -1 && item <= SAVE_MAX_ITEM_TYPE) << round;
    }
}

TEST_F(SaveTest, ASaveThatCannotBeWrittenKeepsThePreviousFile) {
    ASSERT_EQ(SAVE_SaveGame(4), 1);
    const Bytes previous = ReadFile("data/game.4");
    // A directory where the temporary file would go: the write fails.
    fs::create_directories("data/game.4.tmp/blocked");
    SetFixtureCampaign();
    g_ChosenLevel = 9;
    EXPECT_EQ(SAVE_SaveGame(4), 0);
    EXPECT_EQ(ReadFile("data/game.4"), previous);
    fs::remove_all("data/game.4.tmp");
    EXPECT_EQ(SAVE_SaveGame(4), 1);
    EXPECT_EQ(ReadFile("data/game.4")[0], 9);
}

}  // namespace
