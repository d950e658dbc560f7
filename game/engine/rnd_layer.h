// The renderer entry points kept at the landscape's layer: plain forwarders the shell calls through,
// with no logic of their own.
#pragma once
#include "win32.h"

// Creates the display (DSP_CreateDevice): 1 on success, 0 on failure.
int RND_InitDisplay(HWND window);
// The renderer takes no window messages: always 0.
int RND_WindowMessageHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The renderer ignores window size changes.
void RND_ResizeHook(int width, int height);
