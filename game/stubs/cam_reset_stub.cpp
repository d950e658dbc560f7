// Stand-in for CAM_Reset: records the call. Weak, so that the camera's own definition takes its
// place as soon as it exists.
#include "world/cam.h"

#include "common/calltrace.h"

__attribute__((weak)) void CAM_Reset() {
    TRC_Trace("CAM_Reset");
}
