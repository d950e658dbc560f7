// The game clock's reading: one millisecond clock read directly by every timer of a level
// (animation, actions, AI, particles, sounds, timed events, HUD, network). The world's clock
// module (world/clk.h) resets it at level start and advances it once per level frame; every floor
// reads it here.
#pragma once
#include <cstdint>

struct GameClock {
    int32_t previousMs;    // tick count of the previous frame
    int32_t nowMs;         // tick count of this frame: the time base of every timer
    int32_t levelStartMs;  // tick count at level start; now - levelStart is the landscape clock
    int32_t deltaMs;       // nowMs - previousMs
    float deltaSeconds;    // deltaMs x 0.001
    float gravity;         // units per second squared, 1000.0 from level start
};
inline GameClock g_GameClock = {};
