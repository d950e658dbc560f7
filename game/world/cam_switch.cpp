// The camera's automatic preset switch: while the line from the followed character to the camera
// stays blocked by the landscape for more than 750 ms, the first clear preset of a fixed order is
// taken; once the preferred mode's preset is clear again the camera goes back to it (see cam.h).
//
// The first candidate of the near order is mode 0, and an automatic mode of 0 also means "none":
// after that candidate the camera stays on it until the preferred mode is set again.
#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/landscape_query.h"
#include "world/bod_record.h"
#include "world/cam.h"
#include "world/cam_internal.h"
#include "world/cam_tables.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr int32_t kBlockedDelayMs = 750;

bool LineClear(const CharacterControl* control, const Vec3& camera) {
    const Vec3 from = BOD_PositionOf(control);
    TraceHit hit{};
    return !LND_TraceSegment(&hit, int32_t(control->surface), g_Camera.cameraSurface, &from, &camera);
}

bool PresetClear(const CharacterControl* control, int mode) {
    if (mode > CAM_LAST_CHECKED_MODE)
        return true;
    const CamPreset preset = CAM_PresetOf(mode);
    return LineClear(control, CAM_PresetPose(preset.pitch, preset.distance).translation);
}
}  // namespace

void CAM_AutoSwitch(CharacterControl* control) {
    TRC_Trace("CAM_AutoSwitch");
    if (g_FocusAiMode == 1 || !control)
        return;
    if (g_Camera.autoMode != 0 && g_Camera.autoMode != g_Camera.mode && PresetClear(control, g_Camera.mode)) {
        CAM_ApplyPreset(g_Camera.mode);
        g_Camera.autoMode = 0;
        return;
    }
    if (LineClear(control, g_Camera.cameraPose.translation)) {
        g_Camera.blockedSince = 0;
        return;
    }
    const int32_t now = g_GameClock.nowMs;
    if (g_Camera.blockedSince == 0) {
        g_Camera.blockedSince = now;
        return;
    }
    if (now - g_Camera.blockedSince <= kBlockedDelayMs)
        return;
    const int* order = g_Camera.distance == CAM_NEAR_DISTANCE ? kCamCandidatesNear : kCamCandidatesFar;
    for (int i = 0; i < CAM_CANDIDATES; ++i)
        if (PresetClear(control, order[i])) {
            CAM_ApplyPreset(order[i]);
            g_Camera.autoMode = order[i];
            break;
        }
    g_Camera.blockedSince = 0;
}
