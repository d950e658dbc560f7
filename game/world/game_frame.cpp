// The game frame: the logic step and the presented frame with its pass order (see game_frame.h).
// There is no fixed time step: the world advances by the game clock's measured delta.
#include "world/game_frame.h"

#include <cstdio>

#include "engine/rnd_display.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_light.h"
#include "engine/lnd_material.h"
#include "net/msg.h"
#include "plat.h"
#include "common/match.h"
#include "shell/inp.h"
#include "world/ai.h"
#include "world/cam.h"
#include "world/cfg.h"
#include "world/exp.h"
#include "world/lvl.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "win32.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/clk.h"

Bod* g_FocusBod = nullptr;
int32_t g_ActiveSlot = 0;
int32_t g_LastActiveSlot = 0;
int32_t g_FocusAiMode = 0;
float g_FocusHeading = 0.0f;
float g_FocusHeadingDegrees = 0.0f;
int32_t g_LevelNumber = 0;
float g_LevelMapParams[GAME_MAP_PARAMS] = {};
Pose g_ViewPose = {{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
Matrix34 g_ViewMatrix = {};

namespace {
void (*g_CallTrace)(const char* entry) = nullptr;
constexpr float kBlack[3] = {0.0f, 0.0f, 0.0f};
constexpr float kTwoPi = 6.28318530718f;
constexpr int kLevelLightning = 0;
constexpr int kLevelEscape = 16;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// Reports a step of the frame to the call trace, when one is set: "NAME" or "NAME(args)".
void Report(const char* name, const char* pass = nullptr, int lighting = 0) {
    if (!g_CallTrace)
        return;
    char entry[64];
    if (pass)
        std::snprintf(entry, sizeof entry, "%s(%s,%d)", name, pass, lighting);
    else
        std::snprintf(entry, sizeof entry, "%s", name);
    g_CallTrace(entry);
}

// One draw pass: the lighting mode first, the batch flushed after, so that no triangle queued
// under one mode is drawn under another.
template <class Pass>
void RunPass(const char* name, int lighting, Pass pass) {
    Report("GAME_Pass", name, lighting);
    LND_SetDynamicLighting(lighting);
    pass();
    RND_FlushBatch();
}

void FrontEndFrame() {
    RND_SetBackgroundColour(nullptr);
    RND_BeginFrame();
    RND_EndScene();
    GUI_Draw();
    RND_Flip();
    plat::srand(GAME_CalendarSeconds());
}

// The world's step of a level frame: after the scene, before the flip.
void UpdateLevel() {
    GAME_UpdateWorld();
    if (g_LevelNumber == kLevelLightning)
        LVL_Level0Frame();
    if (g_LevelNumber == kLevelEscape)
        LVL_EscapeFrame();
    CharacterControl* focus = BOD_CharacterOf(g_FocusBod);
    if (g_FocusAiMode == 0 && focus) {
        g_FocusHeading = focus->heading;
        g_FocusHeadingDegrees = focus->heading / kTwoPi * 360.0f;
    }
    AI_Tick();
    if (g_ActiveSlot != g_LastActiveSlot) {
        g_LastActiveSlot = g_ActiveSlot;
        if (g_FocusAiMode && focus) {
            const Vec3 position = BOD_PositionOf(focus);
            CAM_SetTarget(&position);
        }
    }
}
}  // namespace

void GAME_SetCallTrace(void (*trace)(const char* entry)) {
    g_CallTrace = trace;
}

uint32_t GAME_CalendarSeconds() {
    SYSTEMTIME time = {};
    GetSystemTime(&time);
    const int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay);
    return uint32_t(days * 86400 + time.wHour * 3600 + time.wMinute * 60 + time.wSecond);
}

int GAME_Update() {
    Report("GAME_Update");
    INP_Poll();
    return APP_IsMultiplayerGame() ? MSG_FrameUpdate() : GUI_Tick();
}

void GAME_UpdateWorld() {
    Report("GAME_UpdateWorld");
    BOD_UpdateAll(&g_WorldBods);
}

void GAME_Frame() {
    Report("GAME_Frame");
    if (!APP_IsLevelActive()) {
        FrontEndFrame();
        return;
    }
    if (!g_GraphicsReady)
        return;

    CharacterControl* focus = BOD_CharacterOf(g_FocusBod);
    CAM_Follow(focus);
    const Pose* cameraPose = CAM_GetPose();
    MTH_PoseInverse(&g_ViewPose, cameraPose);
    MTH_PoseToMatrix(&g_ViewPose, &g_ViewMatrix);

    RND_SetBackgroundColour(kBlack);
    const uint32_t levelTicks = uint32_t(g_GameClock.nowMs) - uint32_t(g_GameClock.levelStartMs);
    LND_SetTime(float(levelTicks) * 0.001f);
    RND_BeginFrame();
    HUD_EraseOverlays();

    const int worldLighting = CFG_GetWorldLightingOption();
    RunPass("landscape", worldLighting, [] { LND_Draw(&g_ViewMatrix, CAM_GetCameraSurface()); });
    RunPass("clock", worldLighting, [] { CLK_Tick(&g_ViewMatrix); });
    RunPass("bods", CFG_GetModelLightingOption(), [] { GAME_DrawBods(&g_ViewMatrix, &g_ViewPose); });
    RunPass("camera", worldLighting, [focus] { CAM_AutoSwitch(focus); });
    RunPass("objects", worldLighting, [] { LND_DrawObjects(&g_ViewMatrix); });
    RunPass("explosions", worldLighting, [] { EXP_Update(); });

    RND_EndScene();
    GUI_Draw();
    if (APP_IsLevelActive() && !APP_IsPlayHalted())
        UpdateLevel();
    RND_Flip();
}

void ACT_TurnPlayer(int playerIndex, float rate) {
    if (playerIndex < 0 || playerIndex >= BOD_PLAYER_SLOTS)
        return;
    CharacterControl* control = BOD_CharacterOf(g_PlayerBods[playerIndex]);
    if (!control)
        return;
    const int32_t frameMs = int32_t(uint32_t(g_GameClock.nowMs) - uint32_t(g_GameClock.previousMs));
    float heading = control->heading + float(frameMs) * rate * 0.001f;
    if (heading >= kTwoPi)
        heading -= kTwoPi;
    else if (heading < 0.0f)
        heading += kTwoPi;
    control->heading = heading;
}
