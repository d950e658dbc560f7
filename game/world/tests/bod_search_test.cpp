// Bod searches: walks by class mask, the guard that stops a search running in circles (only past
// max(1024, 4 x the list's count) steps, reset by every fresh search), and the static lookups by
// landscape object name and index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "world/wo.h"
#include "world/bod.h"
#include "world_fixture.h"

namespace {

class BodSearchTest : public WorldTest {};

struct MaskCase {
    uint32_t mask;
    std::vector<uint32_t> classes;  // of the bods found, in list order
};

TEST_F(BodSearchTest, FindFirstAndNextWalkTheBodsOfAMaskInListOrder) {
    for (uint32_t classMask : {4u, 8u, 64u, 320u, 128u, 16u, 576u})
        BOD_Create(&g_WorldBods, classMask, nullptr);
    const MaskCase cases[] = {
        {BOD_MASK_CHARACTERS, {4, 8, 16}},
        {BOD_MASK_OBJECTS, {64, 320, 576}},
        {BOD_MASK_EVERY_BODY, {4, 8, 64, 320, 16, 576}},
        {BOD_MASK_TRACE, {4, 8, 320, 16}},
        {BOD_MASK_STATICS, {128}},
        {BOD_MASK_MAP, {4, 8, 64, 320, 16, 576}},
        {32, {}},
    };
    for (const MaskCase& c : cases) {
        std::vector<uint32_t> found;
        // The list argument of BOD_FindNext is not needed.
        for (Bod* bod = BOD_FindFirst(&g_WorldBods, c.mask); bod; bod = BOD_FindNext(nullptr, c.mask, bod))
            found.push_back(bod->classMask);
        EXPECT_EQ(found, c.classes) << "mask " << c.mask;
    }
    EXPECT_EQ(BOD_FindNext(&g_WorldBods, BOD_MASK_CHARACTERS, nullptr), nullptr);
}

struct GuardCase {
    int bods;
    uint32_t limit;  // steps that may be taken after one BOD_FindFirst
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.bods << " bods";
}

class BodSearchGuardTest : public BodSearchTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(BodSearchGuardTest, StopsTheGameOnlyPastTheBoundAndAFreshSearchResetsIt) {
    const GuardCase& c = GetParam();
    for (int i = 0; i < c.bods; ++i)
        BOD_Create(&g_WorldBods, BOD_CLASS_NPC, nullptr);
    Bod* first = BOD_FindFirst(&g_WorldBods, BOD_MASK_CHARACTERS);
    // Searching from the same bod over and over: a search that never ends.
    for (uint32_t i = 0; i < c.limit; ++i)
        ASSERT_NE(BOD_FindNext(&g_WorldBods, BOD_MASK_CHARACTERS, first), nullptr) << "step " << i + 1;
    // A fresh search starts counting again.
    first = BOD_FindFirst(&g_WorldBods, BOD_MASK_CHARACTERS);
    for (uint32_t i = 0; i < c.limit; ++i)
        BOD_FindNext(&g_WorldBods, BOD_MASK_CHARACTERS, first);
    EXPECT_EQ(g_BodSearchSteps, c.limit);

    std::string err;
    EXPECT_TRUE(EndsTheProcess([&] { BOD_FindNext(&g_WorldBods, BOD_MASK_CHARACTERS, first); }, &err));
    EXPECT_NE(err.find("FATAL ERROR: number of bod searches has exceeded limit!"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Bounds, BodSearchGuardTest,
                         ::testing::Values(GuardCase{2, 1024}, GuardCase{256, 1024}, GuardCase{257, 1028},
                                           GuardCase{700, 2800}));

TEST_F(BodSearchTest, OneWalkOverMoreThan1024BodsIsLegitimate) {
    // A busy level: the characters, the placed objects and a few explosions' worth of pieces.
    for (int i = 0; i < 1100; ++i)
        BOD_Create(&g_WorldBods, i < 68 ? BOD_CLASS_NPC : 576u, nullptr);
    int found = 0;
    for (Bod* bod = BOD_FindFirst(&g_WorldBods, BOD_MASK_EVERY_BODY); bod;
         bod = BOD_FindNext(&g_WorldBods, BOD_MASK_EVERY_BODY, bod))
        ++found;
    EXPECT_EQ(found, 1100);
}

TEST_F(BodSearchTest, StaticsAreFoundByLandscapeObjectNameWithoutCaseAndByIndex) {
    Bod* doorA = WH_MakeObject(BOD_CLASS_STATIC, 151, {0, 0, 0});
    WH_Object(doorA)->name = "Door A";
    WH_Object(doorA)->landscapeObject = 3;
    Bod* placed = WH_MakeObject(BOD_CLASS_PLACED, 20, {0, 0, 0});  // same name, not a static
    WH_Object(placed)->name = "gate";
    WH_Object(placed)->landscapeObject = 7;
    Bod* gate = WH_MakeObject(BOD_CLASS_STATIC, 152, {0, 0, 0});
    WH_Object(gate)->name = "GATE";
    WH_Object(gate)->landscapeObject = 7;
    Bod* nameless = WH_MakeObject(BOD_CLASS_STATIC, 153, {0, 0, 0});
    WH_Object(nameless)->landscapeObject = 9;
    BOD_Create(&g_WorldBods, BOD_CLASS_STATIC, nullptr);  // no control record

    EXPECT_EQ(BOD_FindStaticByName("door a"), doorA);
    EXPECT_EQ(BOD_FindStaticByName("DOOR A"), doorA);
    EXPECT_EQ(BOD_FindStaticByName("gate"), gate);
    EXPECT_EQ(BOD_FindStaticByName("door"), nullptr);
    EXPECT_EQ(BOD_FindStaticByName(""), nullptr);
    EXPECT_EQ(BOD_FindStaticByName(nullptr), nullptr);
    EXPECT_EQ(BOD_FindStaticByObjectIndex(7), gate);
    EXPECT_EQ(BOD_FindStaticByObjectIndex(9), nameless);
    EXPECT_EQ(BOD_FindStaticByObjectIndex(4), nullptr);
}

}  // namespace
