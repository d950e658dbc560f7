// Stand-in for the display creation forwarder of the landscape's renderer layer until it is built.
// The renderer's state words it used to hold are in engine/rnd_state.h.
#pragma once
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_states.h"
#include "win32.h"

// The display creation (DSP_CreateDevice): 1 success, 0 failure. A result of 0 set for the name
// fails it without creating anything.
int RND_InitDisplay(HWND window);
