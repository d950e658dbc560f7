// Stand-in for the input layer of the shell until it is built.
#pragma once
#include "win32.h"

int INP_Init(HINSTANCE instance, HWND window, int width, int height);
int INP_AcquireMouse();
int INP_AcquireKeyboard();
void INP_Shutdown();
int INP_Poll();
