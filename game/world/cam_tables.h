// The chase camera's fixed data: the presets by camera mode, the mode each level starts in, and
// the two orders in which the automatic switch tries other presets when the view is blocked.
#pragma once

struct CamPreset {
    float pitch;     // radians from straight above the target
    float distance;  // world units from the target
};

constexpr int CAM_PRESET_MODES = 8;
// Modes 1..7; every other mode (0 in use) gets the entry of index 0.
constexpr CamPreset kCamPresets[CAM_PRESET_MODES] = {
    {0.5235f, 490.0f},   // 0 and any mode outside 1..7
    {0.5235f, 1000.0f},  // 1
    {0.0f, 490.0f},      // 2
    {0.0f, 1000.0f},     // 3
    {0.923f, 490.0f},    // 4
    {0.923f, 1000.0f},   // 5
    {1.0f, 245.0f},      // 6
    {1.0f, 0.0f},        // 7
};

constexpr CamPreset CAM_PresetOf(int mode) {
    return mode >= 1 && mode < CAM_PRESET_MODES ? kCamPresets[mode] : kCamPresets[0];
}

constexpr int CAM_LEVELS = 17;
constexpr int kCamLevelModes[CAM_LEVELS] = {1, 1, 1, 1, 3, 3, 3, 1, 1, 3, 1, 1, 3, 3, 1, 3, 1};

// The automatic switch's candidates: the mode whose preset each one is. A camera at the near
// distance (490) tries the near presets first, any other the far ones first. Each candidate is the
// mode with exactly its pitch and distance, so the taken preset is the one that was found clear.
constexpr int CAM_CANDIDATES = 6;
constexpr int kCamCandidatesNear[CAM_CANDIDATES] = {0, 2, 4, 1, 3, 5};
constexpr int kCamCandidatesFar[CAM_CANDIDATES] = {1, 3, 5, 0, 2, 4};
constexpr float CAM_NEAR_DISTANCE = 490.0f;
// Presets above this mode never count as blocked.
constexpr int CAM_LAST_CHECKED_MODE = 5;
