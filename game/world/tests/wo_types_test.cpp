// The per-type model and skin tables against the model names of the independent transcription
// (data/masterwo_expected.csv) and the models of types without a master row, the twelve card
// skins in colour order, the limbs' shared skin, and the spawn and respawn lists.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "world/wo.h"
#include "world/wo_types.h"

namespace {

const std::string kWeapons = "graphics\\models\\weapons\\";

// Type -> model name from the transcription's "model" column ('-' no model).
std::map<uint32_t, std::string> TranscribedModels() {
    std::ifstream file(std::string(WORLD_TEST_DATA_DIR) + "/masterwo_expected.csv");
    EXPECT_TRUE(file.good());
    std::map<uint32_t, std::string> models;
    std::string line;
    bool header = true;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (header) {
            EXPECT_EQ(line.rfind("type,model,", 0), 0u);
            header = false;
            continue;
        }
        std::stringstream in(line);
        std::string type, model;
        std::getline(in, type, ',');
        std::getline(in, model, ',');
        if (!model.empty())
            models[uint32_t(std::stoul(type))] = model;
    }
    return models;
}

std::string Text(const char* s) { return s ? s : "(none)"; }

TEST(ObjectTypeFiles, EveryTypeBelowTheTableEndHasTheTranscribedModelOrNone) {
    std::map<uint32_t, std::string> expectedModel;   // full path; absent = no model
    for (const auto& [type, name] : TranscribedModels())
        if (name != "-" && type < WO_TYPE_FILES)
            expectedModel[type] = kWeapons + name + ".qmd";
    const std::map<uint32_t, std::string> extra = {
        {105, kWeapons + "crank.qmd"},        {107, kWeapons + "spanner.qmd"},
        {108, kWeapons + "iron_post.qmd"},    {113, kWeapons + "plastic.qmd"},
        {114, kWeapons + "nasat.qmd"},        {121, kWeapons + "padlock.qmd"},
        {122, kWeapons + "surgical_saw.qmd"}, {130, kWeapons + "m72ammo.qmd"},
        {141, "graphics\\models\\town\\roadrolr.qmd"},
        {142, "graphics\\models\\farm\\combine3.qkm"},
        {143, "graphics\\models\\cablboat.qmd"},
    };
    for (const auto& [type, path] : extra)
        ASSERT_TRUE(expectedModel.emplace(type, path).second) << "type " << type << " has a master row";
    EXPECT_EQ(expectedModel.size(), 92u);   // 81 master rows with a model below 150, 11 more
    for (uint32_t type = 0; type < WO_TYPE_FILES; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        auto it = expectedModel.find(type);
        EXPECT_EQ(Text(WO_TypeModelFile(type)), it == expectedModel.end() ? "(none)" : it->second);
        // A model always comes with a skin, and a skin never without a model.
        EXPECT_EQ(WO_TypeSkinFile(type) != nullptr, WO_TypeModelFile(type) != nullptr);
    }
    for (uint32_t type : {150u, 151u, 162u, 163u, 0xFFFFFFFFu}) {
        EXPECT_EQ(WO_TypeModelFile(type), nullptr) << type;
        EXPECT_EQ(WO_TypeSkinFile(type), nullptr) << type;
    }
}

TEST(ObjectTypeFiles, SharedModelsWearTheirOwnSkins) {
    const char* const colours[] = {"cardyell", "cardwhit", "cardviol", "cardred", "cardpink", "cardblue",
                                   "cardlblu", "cardgree", "cardgray", "carddred", "carddgre", "cardbrow"};
    for (uint32_t i = 0; i < WO_CARD_COUNT; ++i) {
        SCOPED_TRACE("card " + std::to_string(WO_FIRST_CARD + i));
        EXPECT_STREQ(WO_CARD_SKINS[i], colours[i]);
        EXPECT_EQ(Text(WO_TypeSkinFile(WO_FIRST_CARD + i)), kWeapons + colours[i] + ".bmp");
    }
    struct Case { uint32_t type; std::string skin; } const cases[] = {
        {131, kWeapons + "limb.bmp"}, {132, kWeapons + "limb.bmp"},
        {136, kWeapons + "metal1.bmp"}, {139, kWeapons + "metal2.bmp"},
        {2, kWeapons + "axe.bmp"}, {79, kWeapons + "key.bmp"}, {90, kWeapons + "key.bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(WO_TypeSkinFile(c.type)), c.skin) << "type " << c.type;
}

std::set<uint32_t> Range(uint32_t first, uint32_t last) {
    std::set<uint32_t> types;
    for (uint32_t t = first; t <= last; ++t)
        types.insert(t);
    return types;
}

TEST(ObjectTypeLists, NeverSpawnedAndReturningTypesAreExactlyTheListedOnes) {
    std::set<uint32_t> never = {18, 19, 20, 46, 69, 107, 111, 147, 149};
    never.merge(Range(78, 90));
    never.merge(Range(93, 104));
    std::set<uint32_t> returns = {17, 18, 19, 20, 23, 43, 69, 113};
    returns.merge(Range(78, 90));
    returns.merge(Range(93, 105));
    // Every byte-sized type and the out-of-range ones: the list end (162) is never a member.
    for (uint32_t type = 0; type < 300; ++type) {
        EXPECT_EQ(WO_NeverSpawnedInNetworkGame(type), never.count(type) == 1) << "type " << type;
        EXPECT_EQ(WO_ReturnsToPlace(type), returns.count(type) == 1) << "type " << type;
    }
    EXPECT_FALSE(WO_NeverSpawnedInNetworkGame(0xFFFFFFFFu));
    EXPECT_FALSE(WO_ReturnsToPlace(0xFFFFFFFFu));
}

}  // namespace

#include <filesystem>

#include "datakit/demo_steps.h"
#include "engine/mdl.h"
#include "world_fixture.h"

namespace {

// The demo install has a model and a skin for every file the per-type table names (the cards'
// skins among them), and every one of them loads.
class DemoObjectModels : public WorldTest {};

TEST_F(DemoObjectModels, EveryTypeWithAModelLoadsFromTheDemoData) {
    ASSERT_TRUE(dk::DemoModels(std::filesystem::current_path().string()));
    int types = 0;
    for (uint32_t type = 0; type < WO_TYPE_FILES; ++type) {
        const char* model = WO_TypeModelFile(type);
        if (!model)
            continue;
        SCOPED_TRACE(std::to_string(type) + " " + model);
        ++types;
        ModelInstance* instance = nullptr;
        ASSERT_EQ(MDL_Load(model, &instance), MDL_OK);
        ASSERT_NE(instance, nullptr);
        ASSERT_NE(WO_TypeSkinFile(type), nullptr);
        EXPECT_EQ(MDL_LoadSkin(instance, WO_TypeSkinFile(type)), MDL_OK) << WO_TypeSkinFile(type);
        MDL_FreeInstance(instance);
    }
    EXPECT_GE(types, 90);
}

}  // namespace
