// Stand-in for the chase camera's reset until the camera is built.
#pragma once

// Back to the camera's start state (at level load and when the display restarts).
void CAM_Reset();
