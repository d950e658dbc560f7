// The renderer's per-texture batch: a fixed pool of queued triangles, each texture's queue drawn
// with one DrawPrimitive per texture and pass, blended textures held back to a second pass after
// everything else.
#pragma once
#include <cstdint>

#include "d3d.h"
#include "common/lst.h"

struct RenderTexture;

// One queued triangle: its link in the texture's queue, the texture, three TL vertices.
struct BatchPrimitive {
    ListNode link;
    RenderTexture* texture;
    D3DTLVERTEX vertices[3];
};
constexpr int RND_BATCH_SIZE = 1000;  // triangles in the pool (and in the flush's vertex buffer)

// Entries of the pool in use.
extern int32_t g_RndBatchUsed;

// The next free entry; when the pool is full it is drawn first and the entry taken from the
// emptied pool. Null when even then none is free.
BatchPrimitive* RND_AllocPrimitive();
// Draws and empties every texture's queue (recorded in the call trace).
void RND_FlushBatch();
// The same without the call-trace entry, for the renderer's own flushes (end of scene, a full
// pool).
void RND_DrawQueues();
// One walk over the loaded list, then the unloaded list: pass 0 draws every texture without a
// blend flag (2 or 4) and returns 1 when one with a flag was held back; pass 1 draws every
// texture. The pool is empty afterwards.
int RND_FlushPass(int pass);
// Empties every texture's queue and the pool without drawing (frame start, view change).
void RND_ResetTextureQueues();
