// Shared set-up of the renderer's drawing tests: the display of the display tests (640 x 480,
// 16 bits, HAL device) with the device recording its render states and draws, a known
// projection, the clip state put back afterwards, and texture records of the test's own on the
// renderer's loaded list (taken off again at the end).
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "d3d_record.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_blend.h"
#include "engine/rnd_draw.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_view.h"
#include "engine/tests/rnd_display_fixture.h"

namespace rndtest {

// One corner of a view-space triangle.
struct Corner {
    float x, y, z;
    float u = 0, v = 0;
    float r = 1, g = 1, b = 1;
};

inline RenderTriangle Triangle(const Corner& a, const Corner& b, const Corner& c, RenderTexture* texture = nullptr) {
    RenderTriangle t{};
    const Corner* corners[3] = {&a, &b, &c};
    for (int k = 0; k < 3; ++k) {
        t.position[k] = Vec3{corners[k]->x, corners[k]->y, corners[k]->z};
        t.uv[k][0] = corners[k]->u;
        t.uv[k][1] = corners[k]->v;
        t.colour[k][0] = corners[k]->r;
        t.colour[k][1] = corners[k]->g;
        t.colour[k][2] = corners[k]->b;
        t.colour[k][3] = 1;
    }
    t.texture = texture;
    return t;
}

// A front-facing triangle at depth z: top-left, top-right, bottom-right on the screen.
inline RenderTriangle Facing(float z, float half, RenderTexture* texture = nullptr) {
    return Triangle({-half, half, z}, {half, half, z}, {half, -half, z}, texture);
}

class RenderFixture : public DisplayFixture {
protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        OpenDisplay(640, 480, 16);
    }
    void TearDown() override {
        RND_FlushBatch();
        for (RenderTexture& t : textures_)
            LST_Remove(&t.link);
        textures_.clear();
        RND_SetFogEnabled(0);
        RND_SetFogStart(4000.0f);
        const float white[3] = {1, 1, 1};
        RND_SetFogColour(white);
        RND_SetProjection(100.0f, 3000.0f, 3000.0f, 0.62831855f, 0.62831855f);
        g_Rnd.clipRect = RECT{0, 0, 640, 480};
        if (g_Rnd.device)
            plat::D3DRecordDevice(g_Rnd.device, false);
        DisplayFixture::TearDown();
    }
    // Opens the display afresh in a mode (the device kind as allowed) and records the new device.
    void OpenDisplay(int width, int height, int bits) {
        DSP_Release(window);
        DisplayFixture::OpenDisplay(width, height, bits);
        RND_SetProjection(100.0f, 3000.0f, 3000.0f, 0.62831855f, 0.62831855f);
        RND_SetClipRectRaw(0, 0, width, height);
        RND_ResetTextureState();
        StartRecording();
    }
    void StartRecording() {
        plat::D3DRecordDevice(g_Rnd.device, true);
        plat::D3DTakeRecords(g_Rnd.device);
    }
    // A texture record of the test's own, loaded, on the loaded list's tail, with a made-up
    // handle (the draws are recorded, whatever the handle).
    RenderTexture* Texture(uint32_t handle, uint32_t flags = 0) {
        RenderTexture& t = textures_.emplace_back();
        t = RenderTexture{};
        t.handle = handle;
        t.flags = flags;
        t.loaded = 1;
        t.valid = 1;
        LST_Init(&t.queue);
        LST_AddTail(&g_RndLoadedTextures, &t.link);
        return &t;
    }
    // Draws recorded since the last call.
    std::vector<D3DRecord> Draws() {
        std::vector<D3DRecord> draws;
        for (D3DRecord& r : plat::D3DTakeRecords(g_Rnd.device))
            if (r.kind == D3DRecord::kDraw)
                draws.push_back(std::move(r));
        return draws;
    }
    std::deque<RenderTexture> textures_;
};

// A render fixture whose tests draw inside a begun scene; the records of the frame start are taken.
class SceneFixture : public RenderFixture {
protected:
    void SetUp() override {
        RenderFixture::SetUp();
        ASSERT_EQ(RND_BeginFrame(), 1);
        plat::D3DTakeRecords(g_Rnd.device);
    }
    void TearDown() override {
        RND_EndScene();
        RenderFixture::TearDown();
    }
};

}  // namespace rndtest
