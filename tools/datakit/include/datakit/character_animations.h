// The animation names of the kit's humanoid body, in the order the body holds them: the game's
// character actions play every one of them by name. Names 0..35 keep their numbers (the engine
// plays "walk" as animation 16 and "limp" as 34).
#pragma once

namespace dk {

constexpr const char* kHumanoidAnimations[] = {
    "stand", "idle look", "run", "run no weapon", "swipe", "two hand swipe", "stab", "thrust",
    "start shotgun shoot", "shotgun shoot", "die", "die2", "fall back die", "Die on spot", "collapse",
    "recoil back", "walk", "recoil forward", "chew hit front", "chew hit back", "crawl chew", "shock",
    "land ok", "land crouch", "land die", "use", "kick", "push", "throw", "step left", "step right",
    "step back", "rotate left", "rotate right", "limp", "get up",
    // 36 onwards.
    "zomwalk", "zomwalk2", "zomwalk3", "zomwalk4", "start eat", "eat", "stop eat", "swipe card", "grab",
    "stand chew", "wryth", "repeat shotgun shoot", "end shotgun shoot", "start uzi shoot", "repeat uzi shoot",
    "end uzi shoot", "start one hand shoot", "repeat one hand shoot", "end one hand shoot",
    "start default shoot", "repeat default shoot", "end default shoot"};
constexpr int kHumanoidAnimationCount = int(sizeof kHumanoidAnimations / sizeof kHumanoidAnimations[0]);

// The character body's long cycles: frames of "walk" and of "run" (and "run no weapon").
constexpr int kCharacterWalkFrames = 30;
constexpr int kCharacterRunFrames = 16;

}  // namespace dk
