// The harness's own bookkeeping shared by its files: the synthetic models and landscape it made.
#pragma once

// Takes the harness's synthetic models out of the model caches (they are not tracked blocks).
void WH_DetachModels();
// Frees the synthetic landscape and clears the loaded-map globals.
void WH_ReleaseLandscape();
// A fresh private directory as the current directory (model files are read through the archive
// layer from there), and back.
void WH_EnterWorkDirectory();
void WH_LeaveWorkDirectory();
