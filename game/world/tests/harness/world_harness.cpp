// The headless world harness (see world_harness.h): world reset, fake clock, network recorder,
// trace sinks and the logging handler tables.
#include "engine/rnd_display.h"
#include "world/game_state.h"
#include "world_harness.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "engine/mdl.h"
#include "engine/rnd_trace.h"
#include "net/msg.h"
#include "net/net.h"
#include "plat.h"
#include "common/app_services.h"
#include "common/match.h"
#include "common/mem.h"
#include "shell/snd.h"
#include "world/act.h"
#include "world/ai.h"
#include "world/cam.h"
#include "testsupport/net_test_seam.h"
#include "testsupport/rnd_texture_device.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "world/world_label.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"
#include "world_harness_internal.h"

namespace {
struct Network {
    bool isHost = false;
    int localSlot = -1;
    std::vector<WhMessage> messages;
} g_Network;

std::vector<WhCall> g_HandlerLog;
std::function<void(Bod*, int)> g_Reaction;

void Log(Bod* bod, int action) {
    g_HandlerLog.push_back({bod, action});
    if (action < 0)
        TRC_Trace("BOD_Hook", "%s", BOD_TraceLabel(bod));
    else
        TRC_Trace("BOD_Handler", "%s,%d", BOD_TraceLabel(bod), action);
    if (g_Reaction) {
        auto reaction = g_Reaction;  // the reaction may replace itself
        reaction(bod, action);
    }
}

int NetSend(int from, int to, const uint8_t* bytes, int length) {
    g_Network.messages.push_back({from, to, std::vector<uint8_t>(bytes, bytes + (length > 0 ? length : 0))});
    return 1;
}
int NetBroadcast(int from, const uint8_t* bytes, int length) {
    return NetSend(from, -1, bytes, length);
}
int NetSetHandler(int, NetMessageHandler) {
    return 1;
}
int NetLocalSlot() {
    return g_Network.localSlot;
}
int NetHostSlot() {
    return 0;
}
int NetIsHost() {
    return g_Network.isHost ? 1 : 0;
}
// Each slot's owner has the transport id 100 + slot.
int NetPlayerId(int slot) {
    return slot >= 0 && slot < GUI_MAX_SLOTS ? 100 + slot : -1;
}
const char* NetPlayerName(int) {
    return "Player";
}
const NetTestTransport kTransport = {NetSend, NetBroadcast, NetSetHandler, NetLocalSlot, NetHostSlot,
                                     NetIsHost, NetPlayerId, NetPlayerName};

template <int N>
void LoggingHandler(Bod* bod, void*) {
    Log(bod, N);
}

template <int... N>
constexpr std::array<BodHandler, sizeof...(N)> MakeTable(std::integer_sequence<int, N...>) {
    return {LoggingHandler<N>...};
}
constexpr std::array<BodHandler, BOD_CHARACTER_ACTIONS> kTable =
    MakeTable(std::make_integer_sequence<int, BOD_CHARACTER_ACTIONS>{});

void ResetShellState() {
    g_Match.inLevel = 0;
    g_LevelLoaded = 0;
    g_Match.halted = 0;
    g_Match.haltedLastFrame = 0;
    g_Match.mpGameRunning = 0;
    g_Match.levelWon = 0;
    g_Match.levelFailed = 0;
    g_Match.levelEndTime = 0;
    g_Match.matchEnded = 0;
    g_Match.gameOver = 0;
    g_Match.settings = {};
    g_InFatalError = 0;
    g_LevelFrameCount = 50;  // a level that has settled
    g_Options.worldLighting = g_Options.modelLighting = 1;  // as a 16-bit display starts
}

void ResetWorldState() {
    g_WorldBods = {};
    for (Bod*& bod : g_PlayerBods)
        bod = nullptr;
    for (Bod*& bod : g_NpcBods)
        bod = nullptr;
    g_BodSearchSteps = 0;
    g_BodSearchLimit = 1024;
    g_GameClock = {};
    g_LevelMs = 0;
    g_ClockStarted = 0;
    g_FocusBod = nullptr;
    g_ActiveSlot = 0;
    g_LastActiveSlot = 0;
    g_FocusAiMode = 0;
    g_FocusHeading = 0.0f;
    g_FocusHeadingDegrees = 0.0f;
    g_LevelNumber = 0;
    for (float& p : g_LevelMapParams)
        p = 0.0f;
    g_DrawSurface = 0;
    g_GraphicsReady = 0;
    g_FriendlyFire = 0;
    g_HudMessages = {};
    for (int32_t& life : g_HudMessages.life)
        life = -1;
}
}  // namespace

const void* const kWhLoggingTable = kTable.data();

void WH_Reset() {
    // The model caches first, while the blocks they point at are still live.
    WH_DetachModels();
    MDL_FreeAll();
    WH_ReleaseLandscape();
    WH_EnterWorkDirectory();
    MEM_ResetTracker();
    setenv("PLATFORM_BACKEND", "headless", 1);
    plat::ResetForTests();
    // Skins and map textures are real textures: a software device to load them.
    TST_OpenTextureDevice(false);
    TRC_ResetAll();
    TRC_TraceEnable(true);
    WH_SetSinglePlayer();
    ResetShellState();
    ResetWorldState();
    CAM_ResetForTests();
    g_HandlerLog.clear();
    g_Reaction = nullptr;
    GAME_SetCallTrace(nullptr);
    // The sound sink: the sound module reports its device, group and play calls into the trace.
    SND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    // The renderer reports its frame, flush and clear calls into the trace as well.
    RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
}

void WH_Release() {
    g_Reaction = nullptr;
    WH_DetachModels();
    MDL_FreeAll();
    WH_ReleaseLandscape();
    TST_CloseTextureDevice();
    ResetWorldState();
    MEM_FreeAll();
    WH_LeaveWorkDirectory();
    NET_SetTestTransport(nullptr);
    TRC_ResetAll();
    GAME_SetCallTrace(nullptr);
    SND_SetCallTrace(nullptr);
    RND_SetCallTrace(nullptr);
}

void WH_SetTicks(uint32_t ms) {
    plat::SetVirtualTime(ms);
}

void WH_AdvanceTicks(uint32_t ms) {
    plat::AdvanceVirtualTime(ms);
}

void WH_Seed(unsigned seed) {
    plat::srand(seed);
}

void WH_EnterLevel(int level) {
    g_Match.inLevel = 1;
    g_LevelLoaded = 1;
    g_Match.halted = 0;
    g_LevelNumber = level;
    g_GraphicsReady = 1;
}

void WH_SetHalted(bool halted) {
    g_Match.halted = halted ? 1 : 0;
}

void WH_SetNetworkGame(bool isHost, int localSlot, int players) {
    g_Network.isHost = isHost;
    g_Network.localSlot = localSlot;
    g_Network.messages.clear();
    NET_SetTestTransport(&kTransport);
    g_Match.mpGameRunning = 1;
    g_Match.localSlot = localSlot;
    for (int s = 0; s < GUI_MAX_SLOTS; ++s) {
        const bool used = s < players;
        g_Match.slotNetIds[s] = used ? NetPlayerId(s) : -1;
        for (int m = 0; m < GUI_MEMBERS_PER_SLOT; ++m)
            g_Match.slotPlayerIds[s][m] = used && m == 0 ? s : -1;
    }
}

void WH_SetSinglePlayer() {
    g_Network = {};
    NET_SetTestTransport(&kTransport);
    g_Match.mpGameRunning = 0;
    g_Match.localSlot = -1;
    for (int s = 0; s < GUI_MAX_SLOTS; ++s) {
        g_Match.slotNetIds[s] = -1;
        for (int m = 0; m < GUI_MEMBERS_PER_SLOT; ++m)
            g_Match.slotPlayerIds[s][m] = -1;
    }
}

const std::vector<WhMessage>& WH_Messages() {
    return g_Network.messages;
}

void WH_ClearMessages() {
    g_Network.messages.clear();
}

std::string WH_FormatMessage(const WhMessage& message) {
    std::string text;
    char part[8];
    for (size_t i = 0; i < message.bytes.size(); ++i) {
        const uint8_t b = message.bytes[i];
        if (i == 0 && b >= 0x21 && b < 0x7F)
            std::snprintf(part, sizeof part, "%c", b);
        else
            std::snprintf(part, sizeof part, "%s%02X", i ? " " : "", b);
        text += part;
    }
    return text;
}

size_t WH_TraceMark() {
    return TRC_TraceLog().size();
}

std::vector<std::string> WH_TraceSince(size_t mark) {
    const auto& log = TRC_TraceLog();
    return mark < log.size() ? std::vector<std::string>(log.begin() + long(mark), log.end()) : std::vector<std::string>{};
}

std::vector<std::string> WH_Calls(const std::vector<std::string>& trace, const std::string& prefix) {
    std::vector<std::string> calls;
    for (const std::string& entry : trace)
        if (entry.compare(0, prefix.size(), prefix) == 0)
            calls.push_back(entry);
    return calls;
}

std::vector<std::string> WH_HudLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < HUD_MESSAGE_LINES; ++i)
        if (g_HudMessages.life[i] >= 0 && g_HudMessages.text[i][0])
            lines.emplace_back(g_HudMessages.text[i]);
    return lines;
}

const std::vector<WhCall>& WH_HandlerLog() {
    return g_HandlerLog;
}

void WH_ClearHandlerLog() {
    g_HandlerLog.clear();
}

void WH_LoggingHook(Bod* bod, void*) {
    Log(bod, -1);
}

void WH_SetReaction(std::function<void(Bod* bod, int action)> reaction) {
    g_Reaction = std::move(reaction);
}

Bod* WH_MakeCharacter(uint32_t classMask, Vec3 position, float heading, float aiHealth, int aiState) {
    Bod* bod = BOD_Create(&g_WorldBods, classMask, nullptr);
    if (!bod)
        return nullptr;
    CharacterControl* control = MEM_AllocCharacterControl(nullptr);
    BOD_AttachControl(bod, control, static_cast<const BodHandler*>(kWhLoggingTable));
    bod->active = 1;
    MTH_MatrixIdentity(&control->transform);
    MTH_PoseIdentity(&control->pose);
    control->transform.m[9] = position.x;
    control->transform.m[10] = position.y;
    control->transform.m[11] = position.z;
    control->heading = heading;
    control->playerId = -1;
    control->holdBone = -1;
    if (aiHealth >= 0.0f) {
        // The AI record is an owned block of the bod, freed with it.
        auto* ai = static_cast<AICharacter*>(MEM_Alloc(sizeof(AICharacter), MEM_TAG_CHARACTER));
        ai->health = aiHealth;
        ai->state = aiState;
        control->ai = ai;
        bod->ownedBlock = ai;
    }
    return bod;
}

Bod* WH_MakeObject(uint32_t classMask, uint32_t type, Vec3 position) {
    Bod* bod = BOD_Create(&g_WorldBods, classMask, nullptr);
    if (!bod)
        return nullptr;
    auto* control = static_cast<WorldObjectControl*>(MEM_Alloc(sizeof(WorldObjectControl), MEM_TAG_WORLD_OBJECT));
    BOD_AttachControl(bod, control, static_cast<const BodHandler*>(kWhLoggingTable));
    control->head.firstWord = type;
    bod->active = 1;
    MTH_MatrixIdentity(&control->transform);
    MTH_PoseIdentity(&control->pose);
    control->transform.m[9] = position.x;
    control->transform.m[10] = position.y;
    control->transform.m[11] = position.z;
    control->ammoFor = WO_NO_TYPE;
    control->linkedType = WO_NO_TYPE;
    return bod;
}

CharacterControl* WH_Character(Bod* bod) {
    return BOD_CharacterOf(bod);
}

WorldObjectControl* WH_Object(Bod* bod) {
    return BOD_ObjectOf(bod);
}

AICharacter* WH_Ai(Bod* bod) {
    CharacterControl* control = BOD_CharacterOf(bod);
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

void WH_GiveModel(Bod* bod, const std::string& path) {
    if (CharacterControl* character = BOD_CharacterOf(bod))
        MDL_Load(path.c_str(), &character->instance);
    else if (WorldObjectControl* object = BOD_ObjectOf(bod))
        MDL_Load(path.c_str(), &object->instance);
}

void WH_SetPlayer(int slot, Bod* bod, int playerId) {
    g_PlayerBods[slot] = bod;
    if (CharacterControl* control = BOD_CharacterOf(bod))
        control->playerId = playerId;
}

void WH_SetNpc(int index, Bod* bod) {
    g_NpcBods[index] = bod;
}
