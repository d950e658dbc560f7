// Stand-in for CAM_Reset: records the call. Weak, so that the camera's own definition takes its
// place as soon as it exists.
#include "stubs/cam_reset_stub.h"

#include "stubs/trace.h"

__attribute__((weak)) void CAM_Reset() {
    STUB_Trace("CAM_Reset");
}
