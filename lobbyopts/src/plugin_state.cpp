// The plug-in's working copy of the settings and its last error.
#include "plugin_state.h"

OfferSettings g_WorkingCopy{};
int32_t g_LastError = 0;
