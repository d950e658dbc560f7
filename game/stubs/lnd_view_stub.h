// Stand-in for the landscape's view projection until it is built: the values go on to the
// renderer's projection; each call is recorded.
#pragma once

// Display start-up reset of the landscape's view.
void LND_ResetView();
// Keeps near, far and both angles for the landscape, then RND_SetProjection with the same values.
void LND_SetViewProjection(float nearPlane, float farPlane, float spare, float horizontalAngle, float verticalAngle);
