// The renderer's per-texture batch (see rnd_batch.h). Nothing is allocated while drawing: the
// pool and the vertex buffer are fixed.
#include "engine/rnd_batch.h"

#include "engine/rnd_blend.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_trace.h"

int32_t g_RndBatchUsed = 0;

namespace {
BatchPrimitive g_Pool[RND_BATCH_SIZE];
D3DTLVERTEX g_VertexBuffer[RND_BATCH_SIZE * 3];

// Copies the queue's vertices into the buffer in queue order; the number of vertices.
uint32_t GatherQueue(RenderTexture* t) {
    uint32_t count = 0;
    for (ListNode* n = t->queue.headEnd.successor; n && n->successor; n = n->successor) {
        const auto* primitive = reinterpret_cast<const BatchPrimitive*>(n);
        for (const D3DTLVERTEX& v : primitive->vertices)
            g_VertexBuffer[count++] = v;
    }
    return count;
}
}  // namespace

BatchPrimitive* RND_AllocPrimitive() {
    if (g_RndBatchUsed >= RND_BATCH_SIZE) {
        RND_DrawQueues();
        if (g_RndBatchUsed >= RND_BATCH_SIZE)
            return nullptr;
    }
    return &g_Pool[g_RndBatchUsed++];
}

int RND_FlushPass(int pass) {
    bool onUnloaded = false;
    RenderTexture* texture = RND_FirstLoadedTexture();
    if (!texture) {
        texture = RND_FirstUnloadedTexture();
        onUnloaded = true;
    }
    int heldBack = 0;
    while (texture) {
        // Taken before the texture moves to the head of the loaded list.
        RenderTexture* next = RND_NextTexture(texture);
        if (pass == 0 && (texture->flags & (RND_TEXTURE_BLEND_COLOUR | RND_TEXTURE_BLEND_ADD))) {
            heldBack = 1;
        } else if (const uint32_t count = GatherQueue(texture)) {
            if (!texture->loaded) {
                RND_MakeTextureResident(texture);
                // The texture left the unloaded list: carry on from that list's new head.
                if (onUnloaded)
                    next = RND_FirstUnloadedTexture();
            } else {
                RND_TouchTexture(texture);
            }
            LST_Init(&texture->queue);
            if (g_Rnd.device) {
                RND_SetTextureState(g_Rnd.device, texture);
                g_Rnd.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, g_VertexBuffer, count,
                                           D3DDP_WAIT | D3DDP_DONOTCLIP);
            }
        }
        if (!next && !onUnloaded) {
            next = RND_FirstUnloadedTexture();
            onUnloaded = true;
        }
        texture = next;
    }
    g_RndBatchUsed = 0;
    return heldBack;
}

void RND_DrawQueues() {
    if (RND_FlushPass(0))
        RND_FlushPass(1);
    g_RndBatchUsed = 0;
}

void RND_FlushBatch() {
    RND_Trace("RND_FlushBatch");
    RND_DrawQueues();
}

void RND_ResetTextureQueues() {
    for (RenderTexture* t = RND_FirstLoadedTexture(); t; t = RND_NextTexture(t))
        LST_Init(&t->queue);
    for (RenderTexture* t = RND_FirstUnloadedTexture(); t; t = RND_NextTexture(t))
        LST_Init(&t->queue);
    g_RndBatchUsed = 0;
}
