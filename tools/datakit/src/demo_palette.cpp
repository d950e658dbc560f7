// The demo install's default palette "def_pal.bin" in the install root, read from disk by 8-bit
// display modes.
#include "datakit/demo_steps.h"
#include "datakit/palette.h"

namespace dk {

bool DemoPalette(const std::string& dir) {
    return WritePalette(dir + "/def_pal.bin", DemoGamePalette());
}

}  // namespace dk
