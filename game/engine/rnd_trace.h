// The renderer's call trace: what the start-up and frame order tests observe of the renderer.
// Off by default; a program run records nothing.
#pragma once

// Each traced call hands "NAME" or "NAME(args)" to the function; null switches tracing off.
void RND_SetCallTrace(void (*trace)(const char* entry));
// Records one call when a trace function is set; args is printf-formatted.
void RND_Trace(const char* name, const char* format = nullptr, ...) __attribute__((format(printf, 2, 3)));
