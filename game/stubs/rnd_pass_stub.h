// Stand-in for the renderer's triangle batch until it is built.
#pragma once
#include "engine/rnd_projection.h"

// Draws and empties the batch (recorded).
void RND_FlushBatch();
