// The renderer's version string, which network peers compare, and its texture load option.
#pragma once

// "Trelis DirectX Version 1.2b".
const char* RND_GetVersionString();
// The square-texture option of texture loading (0 at first): returns the previous value.
int RND_SetTextureShrink(int flag);
int RND_GetTextureShrink();
