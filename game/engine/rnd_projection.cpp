// The renderer's projection (see rnd_projection.h): the factors, point projection, the inverse
// used by picking, the heading arc test and the landscape's kept view projection.
#include "engine/rnd_projection.h"

#include <cmath>

#include "engine/lnd_draw.h"
#include "engine/rnd_trace.h"
#include "engine/rnd_display.h"
#include "engine/rnd_bitmap.h"
#include "engine/rnd_state.h"

float g_RndProjectionNear = 100.0f, g_RndProjectionFar = 4000.0f;
float g_RndHorizontalAngle = 0.31415927f, g_RndVerticalAngle = 0.31415927f;
float g_RndFactorX = 100.0f, g_RndFactorY = 100.0f;

float g_LndViewNear = 100.0f, g_LndViewFar = 4000.0f;
float g_LndViewHorizontalAngle = 0.31415927f, g_LndViewVerticalAngle = 0.31415927f;

namespace {
bool HasMode() {
    return g_Rnd.modeRow >= 1 && g_Rnd.modeRow <= DSP_MODE_COUNT;
}
}  // namespace

void RND_SetProjectionFactors(float halfWidth, float halfHeight) {
    const float far = g_RndProjectionFar;
    g_RndFactorX = halfWidth * far / (halfWidth + far * std::tan(g_RndHorizontalAngle));
    g_RndFactorY = halfHeight * far / (halfHeight + far * std::tan(g_RndVerticalAngle));
}

int RND_SetProjection(float nearPlane, float farPlane, float, float horizontalAngle, float verticalAngle) {
    g_RndProjectionNear = nearPlane;
    g_RndProjectionFar = farPlane;
    g_RndHorizontalAngle = horizontalAngle;
    g_RndVerticalAngle = verticalAngle;
    // Without a mode there is no screen to fit: the factors stay as they are rather than become 0,
    // which the inverse mapping would divide by.
    if (HasMode()) {
        const DisplayMode& mode = g_DspModes[g_Rnd.modeRow];
        RND_SetProjectionFactors(float(mode.width / 2), float(mode.height / 2));
    }
    RND_SetClipPlanes(nearPlane, farPlane);
    return 1;
}

void RND_SetNearFar(float nearPlane, float farPlane) {
    g_RndProjectionNear = nearPlane;
    g_RndProjectionFar = farPlane;
    RND_SetClipPlanes(nearPlane, farPlane);
}

int RND_ProjectPoint(Vec3* out, const Vec3* p) {
    if (!HasMode() || p->z == 0.0f)
        return 0;
    const float z = p->z;
    out->x = g_Rnd.screenWidth / 2.0f + p->x * g_RndFactorX / z;
    out->y = g_Rnd.screenHeight / 2.0f - p->y * g_RndFactorY / z;
    out->z = z;
    return 1;
}

void RND_ScreenToView(Vec3* out, float x, float y, float depth) {
    const float sx = DSP_DesignToScreenX(x), sy = DSP_DesignToScreenY(y);
    out->x = (sx - g_Rnd.screenWidth / 2.0f) * depth / g_RndFactorX;
    out->y = depth * (sy - g_Rnd.screenHeight / 2.0f) / g_RndFactorY;
    out->z = depth;
}

int RND_IsOutsideHeadingArc(const Vec3* point, const Vec3* eye, float heading, float width) {
    const float offX = point->x - eye->x, offZ = point->z - eye->z;
    const float d = std::sqrt(offX * offX + offZ * offZ);
    if (d == 0.0f)
        return 0;
    const float c = (std::sin(heading) * offX + std::cos(heading) * offZ) / d;
    return c < std::cos(width / d) ? 1 : 0;
}

void LND_SetViewProjection(float nearPlane, float farPlane, float spare, float horizontalAngle, float verticalAngle) {
    RND_Trace("LND_SetViewProjection", "%.1f,%.1f,%.1f,%.4f,%.4f", nearPlane, farPlane, spare, horizontalAngle,
              verticalAngle);
    g_LndViewNear = nearPlane;
    g_LndViewFar = farPlane;
    g_LndViewHorizontalAngle = horizontalAngle;
    g_LndViewVerticalAngle = verticalAngle;
    RND_SetProjection(nearPlane, farPlane, spare, horizontalAngle, verticalAngle);
}

void LND_ResetView() {
    RND_Trace("LND_ResetView");
    RND_SetNearFar(g_LndViewNear, g_LndViewFar);
    g_CanBlendAdditive = RND_CanBlendAdditive();
}
