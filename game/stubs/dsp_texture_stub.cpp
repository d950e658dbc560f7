// Stand-in for DSP_ReleaseTextureSurfaces: records the call. Weak, so that the display's own
// definition takes its place as soon as it exists.
#include "stubs/dsp_texture_stub.h"

#include "stubs/trace.h"

__attribute__((weak)) void DSP_ReleaseTextureSurfaces() {
    STUB_Trace("DSP_ReleaseTextureSurfaces");
}
