// Stand-in for the CD music of the shell until it is built: records its calls.
#pragma once
#include "win32.h"

int CDA_Open();
int CDA_Close();
// 1 when a play was stopped (the stand-in: the result set for "CDA_Stop", else 0).
int CDA_Stop();
int CDA_Resume();
void CDA_OnNotify(WPARAM wParam);
