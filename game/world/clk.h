// The game clock: one millisecond clock read directly by every timer of a level (animation,
// actions, AI, particles, sounds, timed events, HUD, network). It is reset at level start by
// CLK_InitLevel and advanced once per level frame by CLK_Tick from the system's tick count; there
// is no fixed step, every consumer scales by the frame delta.
#pragma once
#include <cstdint>

#include "common/game_clock.h"
#include "common/mth.h"

// The sum of every frame's delta since the level state was reset: drives the countdowns and the
// timed events, and excludes halts and stalls.
extern int32_t g_LevelMs;
// The clock has a time base (a level start or a first tick); until then the first tick counts as
// a 50 ms frame.
extern uint32_t g_ClockStarted;

// A frame may not advance the world by more than this; a longer gap counts as kClockStallMs.
constexpr uint32_t CLK_MAX_FRAME_MS = 1000;
constexpr uint32_t CLK_STALL_FRAME_MS = 50;

// Level start: gravity, the time base, the two model-drawing switches, the particle pools.
void CLK_InitLevel();
// Once per level frame (nothing while play is halted): advances the clock, then runs the particle
// pass with the view matrix.
void CLK_Tick(const Matrix34* viewMatrix);
