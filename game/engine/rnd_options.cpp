// The renderer's version string and texture load option (see rnd_options.h).
#include "engine/rnd_options.h"

namespace {
int g_RndTextureShrink = 0;
}  // namespace

const char* RND_GetVersionString() {
    return "Trelis DirectX Version 1.2b";
}

int RND_SetTextureShrink(int flag) {
    const int previous = g_RndTextureShrink;
    g_RndTextureShrink = flag;
    return previous;
}

int RND_GetTextureShrink() {
    return g_RndTextureShrink;
}
