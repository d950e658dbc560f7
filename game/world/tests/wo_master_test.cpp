// The master object table against an independent transcription of its fixed values
// (data/masterwo_expected.csv: an empty cell is a value left to us, '-' none), the uniqueness and
// order of its keys, the look-up, and the consistency of the values we chose with the fixed ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "world/wo_master.h"

namespace {

struct ExpectedRow {
    int line;
    std::map<std::string, std::string> cells;
};

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    if (!line.empty() && line.back() == ',')
        cells.push_back("");
    return cells;
}

std::vector<ExpectedRow> ReadExpected() {
    std::ifstream file(std::string(WORLD_TEST_DATA_DIR) + "/masterwo_expected.csv");
    EXPECT_TRUE(file.good());
    std::vector<std::string> header;
    std::vector<ExpectedRow> rows;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells = SplitCells(line);
        if (header.empty()) {
            header = cells;
            continue;
        }
        EXPECT_EQ(cells.size(), header.size()) << "line " << number;
        ExpectedRow row{number, {}};
        for (size_t i = 0; i < cells.size() && i < header.size(); ++i)
            row.cells[header[i]] = cells[i];
        rows.push_back(row);
    }
    return rows;
}

uint32_t CellValue(const std::string& cell) {
    if (cell == "-")
        return SND_NO_SOUND;
    return uint32_t(std::strtoul(cell.c_str(), nullptr, 0));
}

// Every word of a row by its column name in the expected-values file.
const std::map<std::string, std::function<uint32_t(const MasterWORecord&)>>& Words() {
    static const std::map<std::string, std::function<uint32_t(const MasterWORecord&)>> words = {
        {"type", [](const MasterWORecord& r) { return r.type; }},
        {"kind", [](const MasterWORecord& r) { return uint32_t(r.weaponKind); }},
        {"range", [](const MasterWORecord& r) { return uint32_t(r.range); }},
        {"fullDamageRange", [](const MasterWORecord& r) { return uint32_t(r.fullDamageRange); }},
        {"npcTakes", [](const MasterWORecord& r) { return r.npcTakes; }},
        {"word5", [](const MasterWORecord& r) { return r.word5; }},
        {"damage", [](const MasterWORecord& r) { return r.damage; }},
        {"rankExtra", [](const MasterWORecord& r) { return r.rankExtra; }},
        {"ammoMax", [](const MasterWORecord& r) { return uint32_t(r.ammoMax); }},
        {"ammoPerShot", [](const MasterWORecord& r) { return uint32_t(r.ammoPerShot); }},
        {"ammoFor", [](const MasterWORecord& r) { return r.ammoFor; }},
        {"linkedType", [](const MasterWORecord& r) { return r.linkedType; }},
        {"isAmmo", [](const MasterWORecord& r) { return r.isAmmo; }},
        {"ammoStart", [](const MasterWORecord& r) { return uint32_t(r.ammoStart); }},
        {"fireSound", [](const MasterWORecord& r) { return r.fireSound; }},
        {"emptySound", [](const MasterWORecord& r) { return r.emptySound; }},
        {"word16", [](const MasterWORecord& r) { return r.word16; }},
        {"word17", [](const MasterWORecord& r) { return r.word17; }},
        {"sound3", [](const MasterWORecord& r) { return r.sound3; }},
        {"useSound", [](const MasterWORecord& r) { return r.useSound; }},
        {"woFlags", [](const MasterWORecord& r) { return r.woFlags; }},
        {"word21", [](const MasterWORecord& r) { return r.word21; }},
        {"word22", [](const MasterWORecord& r) { return r.word22; }},
    };
    return words;
}

TEST(MasterTable, EveryFixedWordMatchesTheIndependentTranscription) {
    const std::vector<ExpectedRow> expected = ReadExpected();
    ASSERT_EQ(expected.size(), MASTERWO.size());
    int checked = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        for (const auto& [column, cell] : expected[i].cells) {
            if (cell.empty() || column == "model")
                continue;
            SCOPED_TRACE("row " + std::to_string(i) + " (csv line " + std::to_string(expected[i].line) + "), " + column);
            ASSERT_TRUE(Words().count(column)) << "unknown column";
            EXPECT_EQ(Words().at(column)(MASTERWO[i]), CellValue(cell));
            ++checked;
        }
    }
    // The 28 complete rows alone fix 13 words each: a file that lost its cells fails here.
    EXPECT_GT(checked, 28 * 13);
    // The arm (131) alone among the limbs is thrown away when given.
    const MasterWORecord* arm = WO_FindMaster(131);
    ASSERT_NE(arm, nullptr);
    EXPECT_NE(arm->woFlags & WO_FLAG_DISCARD_GIVEN, 0u);
}

TEST(MasterTable, HasOneRowPerTypeAndEndsWithTheEndRow) {
    std::set<uint32_t> types;
    for (size_t i = 0; i + 1 < MASTERWO.size(); ++i) {
        EXPECT_TRUE(types.insert(MASTERWO[i].type).second) << "type " << MASTERWO[i].type << " twice";
        EXPECT_NE(MASTERWO[i].type, WO_END_TYPE);
        EXPECT_NE(MASTERWO[i].type, 162u) << "the no-object type has no row";
    }
    EXPECT_EQ(types.size(), 119u);
    EXPECT_EQ(MASTERWO.back().type, WO_END_TYPE);
}

TEST(MasterTable, LookUpFindsEveryRowAndNothingElse) {
    for (size_t i = 0; i + 1 < MASTERWO.size(); ++i)
        EXPECT_EQ(WO_FindMaster(MASTERWO[i].type), &MASTERWO[i]) << "type " << MASTERWO[i].type;
    struct Case { uint32_t type; bool found; } const cases[] = {
        {0, true}, {28, true}, {151, true}, {148, true},  // first row, rows after the numeric run, last row
        {105, false}, {130, false}, {150, false},         // model files without rows
        {162, false}, {163, false}, {0xFFFFFFFFu, false}, // no object, the end row itself, garbage
    };
    for (const Case& c : cases)
        EXPECT_EQ(WO_FindMaster(c.type) != nullptr, c.found) << "type " << c.type;
}

// The values we chose must agree with how the rules use the fixed ones: ammunition refills a
// firearm that has a row, a projectile type has a row, only carried-by-anyone items are taken by
// non-player characters, and objects without ammunition never claim to be ammunition.
TEST(MasterTable, ChosenValuesAgreeWithTheRulesThatReadThem) {
    for (size_t i = 0; i + 1 < MASTERWO.size(); ++i) {
        const MasterWORecord& row = MASTERWO[i];
        SCOPED_TRACE("type " + std::to_string(row.type));
        EXPECT_EQ(row.isAmmo != 0, row.ammoFor != 162);
        if (row.isAmmo) {
            EXPECT_EQ(row.weaponKind, WO_KIND_NONE);
            const MasterWORecord* weapon = WO_FindMaster(row.ammoFor);
            ASSERT_NE(weapon, nullptr);
            EXPECT_EQ(weapon->weaponKind, WO_KIND_FIREARM);
            EXPECT_NE(row.woFlags & WO_FLAG_NEVER_CURRENT, 0u) << "ammunition is never the current weapon";
        }
        if (row.linkedType != 162 && !row.isAmmo) {
            EXPECT_NE(WO_FindMaster(row.linkedType), nullptr);
        }
        if (row.npcTakes) {
            EXPECT_EQ(row.weaponKind, WO_KIND_HAND);
        }
        if (row.weaponKind == WO_KIND_FIREARM) {
            EXPECT_GE(row.ammoMax, row.ammoStart);
        }
        EXPECT_EQ(row.word21, 0u);
        EXPECT_EQ(row.word22, 0u);
    }
}

}  // namespace
