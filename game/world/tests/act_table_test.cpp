// The characters' action table: 101 slots whose 14 empty ones hold the table's own no-op (and a
// character stays in one), every animation the handlers play present in the demo install's body
// as modeldump reads it back, the skins of the kind tables in the demo install, a character
// without a model left alone by every handler, and action numbers from the network (every byte
// value, on a host and on a client, for a local and a remote character) that change nothing
// unless they name an action of the table.
#include <gtest/gtest.h>

#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "datakit/character_animations.h"
#include "datakit/demo_steps.h"

#include "world/act.h"
#include "world/act_table.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

bool IsEmptySlot(int action) {
    return std::find(std::begin(kActEmptySlots), std::end(kActEmptySlots), action) != std::end(kActEmptySlots);
}

TEST(ActionTable, HasItsNoOpInExactlyTheFourteenEmptySlots) {
    ASSERT_EQ(g_ActionTable.size(), 101u);
    int empty = 0;
    for (int action = 0; action < ACT_ACTION_COUNT; ++action) {
        SCOPED_TRACE("action " + std::to_string(action));
        ASSERT_NE(g_ActionTable[size_t(action)], nullptr);
        const bool noOp = g_ActionTable[size_t(action)] == &ACT_NoAction;
        EXPECT_EQ(noOp, IsEmptySlot(action));
        empty += noOp;
    }
    EXPECT_EQ(empty, 14);
    // The four steering slots of the firing sequences share one handler, the three holding slots
    // another; every other action has a handler of its own.
    EXPECT_EQ(g_ActionTable[ACTION_UZI_STEER], g_ActionTable[ACTION_AUTO_STEER]);
    EXPECT_EQ(g_ActionTable[ACTION_ONE_HAND_HOLD], g_ActionTable[ACTION_AUTO_HOLD]);
    EXPECT_NE(g_ActionTable[ACTION_STAND], g_ActionTable[ACTION_PLAYER_IDLE]);
}

struct Caseless {
    bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

// The animation names modeldump prints for a model file; the exit code in *code.
std::set<std::string, Caseless> DumpedAnimations(const std::string& path, int* code) {
    std::set<std::string, Caseless> names;
    FILE* pipe = popen((std::string(MODELDUMP_PATH) + " '" + path + "'").c_str(), "r");
    if (!pipe) {
        *code = -1;
        return names;
    }
    // Lines "  animation N "NAME": ...".
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        const std::string line = buffer;
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, 10, "animation ") != 0)
            continue;
        const size_t open = line.find('"', at);
        const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close != std::string::npos)
            names.insert(line.substr(open + 1, close - open - 1));
    }
    const int status = pclose(pipe);
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return names;
}

// The demo install's models and skins, written by the data kit into a folder of their own.
class DemoBody : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("act-table-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        ASSERT_TRUE(dk::DemoModels(dir.string()));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path File(std::string gamePath) const {
        std::replace(gamePath.begin(), gamePath.end(), '\\', '/');
        return dir / gamePath;
    }
    std::filesystem::path dir;
};

TEST_F(DemoBody, HoldsEveryAnimationTheActionsPlay) {
    for (const char* model : kActModelFiles) {
        SCOPED_TRACE(model);
        int code = 0;
        const auto names = DumpedAnimations(File(model).string(), &code);
        ASSERT_EQ(code, 0);
        for (const char* animation : kActAnimationNames)
            EXPECT_TRUE(names.count(animation)) << "missing \"" << animation << "\"";
        // The kit's list is what the body holds, no more and no fewer.
        EXPECT_EQ(names.size(), size_t(dk::kHumanoidAnimationCount));
        for (const char* animation : dk::kHumanoidAnimations)
            EXPECT_TRUE(names.count(animation)) << animation;
    }
}

TEST_F(DemoBody, HoldsTheSkinOfEveryKindAndLook) {
    int named = 0;
    for (const char* skin : kActSkinFiles) {
        if (!skin)
            continue;
        ++named;
        EXPECT_TRUE(std::filesystem::is_regular_file(File(skin))) << skin;
    }
    EXPECT_EQ(named, 32);
    for (int kind = 0; kind < ACT_HUMAN_KINDS; ++kind) {
        ActKindFiles files = {};
        ASSERT_TRUE(ACT_GetKindFiles(kind, &files)) << kind;
        EXPECT_TRUE(std::filesystem::is_regular_file(File(files.model))) << kind;
        EXPECT_TRUE(files.skinA && files.skinB) << kind;
    }
    for (int look = 0; look < ACT_ZOMBIE_LOOKS; ++look) {
        ActKindFiles files = {};
        ASSERT_TRUE(ACT_GetLookFiles(look, &files)) << look;
        EXPECT_EQ(std::string(files.model), kActModelFiles[kActZombieLooks[look].modelSelector]) << look;
        EXPECT_TRUE(std::filesystem::is_regular_file(File(files.skinA))) << look;
    }
}

class ActionTableWorld : public WorldTest {
protected:
    // A character on the real action table; with a model unless told otherwise.
    Bod* Character(uint32_t classMask, bool withModel) {
        Bod* bod = WH_MakeCharacter(classMask, {0, 0, 0}, 0.0f, 64.0f);
        static_cast<BodControl*>(bod->control)->actionTable = g_ActionTable.data();
        if (withModel) {
            WH_WriteCharacterBody("graphics\\models\\female.qkm");
            WH_GiveModel(bod, "graphics\\models\\female.qkm");
        }
        return bod;
    }
};

TEST_F(ActionTableWorld, ACharacterInAnEmptySlotStaysThere) {
    Bod* bod = Character(BOD_CLASS_NPC, true);
    for (int32_t slot : kActEmptySlots) {
        WH_Character(bod)->head.action = slot;
        const size_t mark = WH_TraceMark();
        BOD_UpdateAll(&g_WorldBods);
        BOD_UpdateAll(&g_WorldBods);
        EXPECT_EQ(WH_Character(bod)->head.action, slot);
        EXPECT_TRUE(WH_TraceSince(mark).empty()) << slot;
    }
}

// A model that never loaded leaves the character to nobody: no handler plays on a missing
// instance, whatever its commands say.
TEST_F(ActionTableWorld, ACharacterWithoutAModelIsLeftAlone) {
    Bod* bod = Character(BOD_CLASS_PLAYER, false);
    WH_SetPlayer(0, bod, 0);
    g_FocusBod = bod;
    CharacterControl* c = WH_Character(bod);
    c->moveCommand = 3;
    c->useCommand = 1;
    for (int action : {ACTION_PLAYER_IDLE, ACTION_STAND, ACTION_START_WALK, ACTION_SHOCK, ACTION_EAT, ACTION_ATTACK}) {
        c->head.action = action;
        const size_t mark = WH_TraceMark();
        BOD_UpdateAll(&g_WorldBods);
        EXPECT_EQ(c->head.action, action);
        EXPECT_TRUE(WH_TraceSince(mark).empty()) << action;
    }
}

enum Owner { kLocal, kRemote };
struct RemoteByteCase {
    const char* name;
    bool host;
    Owner owner;
};

class RemoteActionBytes : public WorldTest, public ::testing::WithParamInterface<RemoteByteCase> {};

TEST_P(RemoteActionBytes, OnlyActionsOfTheTableChangeAnything) {
    const RemoteByteCase& c = GetParam();
    WH_SetNetworkGame(c.host, 0);
    Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    static_cast<BodControl*>(bod->control)->actionTable = g_ActionTable.data();
    WH_SetPlayer(2, bod, c.owner == kLocal ? 0 : 2);
    CharacterControl* control = WH_Character(bod);
    for (int value = 0; value < 256; ++value) {
        for (uint32_t echo : {0u, 1u}) {
            control->head.action = ACTION_PLAYER_IDLE;
            control->netEcho = echo;
            ACT_ApplyRemoteAction(bod, value);
            if (value < ACT_ACTION_COUNT)
                continue;  // the rules of the table's actions are tested with BOD_SetAction's
            EXPECT_EQ(control->head.action, ACTION_PLAYER_IDLE) << value;
            EXPECT_EQ(control->netEcho, echo) << value;
        }
    }
    // A value of the table does reach a remote character.
    if (c.owner == kRemote) {
        ACT_ApplyRemoteAction(bod, ACTION_START_WALK);
        EXPECT_EQ(control->head.action, ACTION_START_WALK);
    }
    EXPECT_TRUE(WH_Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryByte, RemoteActionBytes,
                         ::testing::Values(RemoteByteCase{"HostLocal", true, kLocal},
                                           RemoteByteCase{"HostRemote", true, kRemote},
                                           RemoteByteCase{"ClientLocal", false, kLocal},
                                           RemoteByteCase{"ClientRemote", false, kRemote}),
                         [](const ::testing::TestParamInfo<RemoteByteCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
