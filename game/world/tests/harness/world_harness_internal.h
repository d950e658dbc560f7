// The harness's own bookkeeping shared by its files: the synthetic models and landscape it made.
#pragma once

// Takes the harness's synthetic models out of the model caches (they are not tracked blocks).
void WH_DetachModels();
// Frees the synthetic landscape and clears the loaded-map globals.
void WH_ReleaseLandscape();
