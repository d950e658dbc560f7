// The radar block of the HUD state, filled once per frame: the view heading, the blips of the bods
// around the reference point (the camera target while the team is given orders, else the focus
// character) and the view wedge turned by the reference heading.
#include "world/bod_radar.h"

#include <cmath>

#include "common/calltrace.h"
#include "ui/hud_records.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/cam.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr float kHalfPi = 1.57079632679f;
constexpr float kUnusedEntry[3] = {-2000.0f, 0.0f, -2000.0f};

void (*g_RadarFillForTests)(HudState*) = nullptr;

// width / view size, or 0 while the interface has not set its scale.
float Scale(float size, float view) {
    return view != 0.0f ? size / view : 0.0f;
}
}  // namespace

void BOD_FillRadar(HudState* state) {
    TRC_Trace("BOD_FillRadar");
    if (g_RadarFillForTests) {
        g_RadarFillForTests(state);
        return;
    }
    if (!state)
        return;
    Vec3 target{};
    CAM_GetTarget(&target);
    state->viewHeading = g_FocusHeadingDegrees;
    const float width = g_RadarScale[2], height = g_RadarScale[3];
    const float scaleX = Scale(width, g_RadarScale[0]), scaleZ = Scale(height, g_RadarScale[1]);
    // The reference point on the same map as the blips (the scan divides by the level's map
    // parameters 4 and 5 too), so that the followed character sits at the radar's centre.
    const float mapX = Scale(scaleX, g_LevelMapParams[4]), mapZ = Scale(scaleZ, g_LevelMapParams[5]);

    float refX = 0.0f, refZ = 0.0f, heading = -kHalfPi;
    if (g_FocusAiMode != 0) {
        refX = target.x * mapX;
        refZ = target.z * mapZ;
        heading = CAM_GetYaw();
    } else if (const CharacterControl* focus = BOD_CharacterOf(g_FocusBod)) {
        const Vec3 position = BOD_PositionOf(focus);
        refX = position.x * mapX;
        refZ = position.z * mapZ;
        heading = focus->heading;
    }

    for (int i = 0; i < HUD_RADAR_ENTRIES; ++i)
        for (int k = 0; k < 3; ++k)
            state->radar[i][k] = state->map[i][k] = kUnusedEntry[k];
    Matrix34 view;
    MTH_MatrixRotation(&view, heading, MTH_AXIS_Y);
    view.m[9] = refX;
    view.m[10] = 0.0f;
    view.m[11] = refZ;
    // The scan stops at the block's end, however many bods the world holds.
    state->radarCount = BOD_CollectMapBlips(&view, state->radar, state->map, scaleX, scaleZ, &view, HUD_RADAR_ENTRIES);

    const float corners[3][2] = {{-width / 2, -height / 2}, {width / 2, -height / 2}, {-width / 2, height / 2}};
    const float c = std::cos(heading), s = std::sin(heading);
    const float targetDz = target.z * mapZ - refZ;
    for (int i = 0; i < 3; ++i) {
        const float x = corners[i][0], z = corners[i][1];
        state->mapping[2 * i] = c * x + s * z + refX;
        state->mapping[2 * i + 1] = -s * x + c * z + refZ + targetDz;
    }
}

void BOD_SetRadarFillForTests(void (*fill)(HudState* state)) {
    g_RadarFillForTests = fill;
}
