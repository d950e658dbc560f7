// maprender's library part (see maprender.h): command line, camera choice and the one frame.
#include "maprender.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_material.h"
#include "engine/map_load.h"
#include "engine/rnd_projection.h"
#include "plat.h"
#include "engine/rnd_display.h"
#include "common/mem.h"
#include "common/muf.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "win32.h"

namespace maprender {
namespace {

// The overview looks down at this angle (radians below the horizon) and keeps this much room
// around the map's bounding sphere.
constexpr float kOverviewPitch = 0.9f;
constexpr float kOverviewMargin = 1.1f;
constexpr char kWindowClass[] = "MapRender";

bool ParseFloat(const char* text, float* out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (*end != 0 || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

// A corner that is not a finite number (a damaged map) is left out of the box.
void Include(Vec3* lo, Vec3* hi, const Vec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    lo->x = std::min(lo->x, p.x);
    lo->y = std::min(lo->y, p.y);
    lo->z = std::min(lo->z, p.z);
    hi->x = std::max(hi->x, p.x);
    hi->y = std::max(hi->y, p.y);
    hi->z = std::max(hi->z, p.z);
}

// The box around every landscape vertex and every object vertex placed at its origin; false for
// a map without vertices.
bool MapBounds(Vec3* lo, Vec3* hi) {
    const Landscape* l = g_Landscape;
    if (!l || !l->vertices || l->vertexCount < 1) return false;
    constexpr float kHuge = 3.0e38f;
    *lo = Vec3{kHuge, kHuge, kHuge};
    *hi = Vec3{-kHuge, -kHuge, -kHuge};
    for (int i = 1; i <= l->vertexCount; ++i) Include(lo, hi, l->vertices[i].position);
    for (int32_t o = 1; l->objects && o <= l->objectCount; ++o) {
        const LandscapeObject& object = l->objects[o];
        const Vec3& origin = l->vertices[object.positionRef].position;
        for (int32_t k = 0; k < object.vertexCount; ++k) {
            const Vec3& v = object.vertices[k];
            Include(lo, hi, Vec3{origin.x + v.x, origin.y + v.y, origin.z + v.z});
        }
    }
    return lo->x <= hi->x;
}

HWND g_Window = nullptr;

HWND CreateRenderWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, kWindowClass, "maprender", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                           nullptr);
}

}  // namespace

bool ParseArgs(int count, const char* const* words, Args* args, std::string* error) {
    if (count != 2 && count != 7) {
        *error = "expected MAP OUT.png, optionally followed by x y z yaw pitch";
        return false;
    }
    args->map = words[0];
    args->out = words[1];
    if (args->map.empty() || args->out.empty()) {
        *error = "the map and the picture need names";
        return false;
    }
    args->hasCamera = count == 7;
    if (!args->hasCamera) return true;
    float* targets[5] = {&args->position.x, &args->position.y, &args->position.z, &args->yaw, &args->pitch};
    for (int i = 0; i < 5; ++i) {
        if (!ParseFloat(words[2 + i], targets[i])) {
            *error = std::string("not a finite number: \"") + words[2 + i] + "\"";
            return false;
        }
    }
    return true;
}

Matrix34 CameraPose(const Vec3& position, float yaw, float pitch) {
    Matrix34 turn, tilt, pose;
    MTH_MatrixRotation(&turn, yaw, MTH_AXIS_Y);
    MTH_MatrixRotation(&tilt, pitch, MTH_AXIS_X);
    MTH_MatrixMultiply(&pose, &turn, &tilt);
    pose.m[9] = position.x;
    pose.m[10] = position.y;
    pose.m[11] = position.z;
    return pose;
}

Overview OverviewCamera() {
    Vec3 lo{0.0f, 0.0f, 0.0f}, hi{0.0f, 0.0f, 0.0f};
    if (!MapBounds(&lo, &hi)) lo = hi = Vec3{0.0f, 0.0f, 0.0f};
    const Vec3 centre{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    const Vec3 half{(hi.x - lo.x) * 0.5f, (hi.y - lo.y) * 0.5f, (hi.z - lo.z) * 0.5f};
    const float radius = float(MTH_VectorLength(&half));
    // The narrower of the two view angles decides how far back the bounding sphere fits.
    // The horizontal angle is the one the display start-up set (centre to edge, radians).
    const float fov = g_LndViewHorizontalAngle;
    const float narrow = std::min(fov, RND_ScaleByAspect(fov));
    float distance = radius * kOverviewMargin / std::sin(narrow);
    distance = std::max(distance, radius + g_LndViewNear + 1.0f);
    // Looking along +z, pitched down: the camera stands back along -z and up along +y.
    const Vec3 eye{centre.x, centre.y + distance * std::sin(kOverviewPitch),
                   centre.z - distance * std::cos(kOverviewPitch)};
    return Overview{CameraPose(eye, 0.0f, kOverviewPitch), distance + radius + 2.0f};
}

bool OpenDisplay() {
    g_Window = CreateRenderWindow();
    if (!g_Window) return false;
    MUF_Init();
    MEM_ResetTracker();
    return GAME_InitGraphics(g_Window) == 0;
}

bool LoadMap(const char* path) {
    Matrix34 startCamera;
    MTH_MatrixIdentity(&startCamera);
    if (!MAP_LoadMap(&startCamera, path)) return false;
    LND_LoadTextures(2);
    return true;
}

int32_t CameraSurface(const Vec3& position) {
    return LND_LocateSurface(0, &position);
}

void UseOverviewFar(const Overview& overview) {
    if (overview.farDistance > g_LndViewFar)
        LND_SetViewProjection(g_LndViewNear, overview.farDistance, overview.farDistance,
                              g_LndViewHorizontalAngle, RND_ScaleByAspect(g_LndViewHorizontalAngle));
}

// One frame as the game frame draws the landscape: the surfaces from the camera's surface, then
// the objects met on the way, each pass flushed.
void DrawFrame(const Matrix34& pose, int32_t cameraSurface) {
    Matrix34 view;
    MTH_MatrixInvertRigid(&view, &pose);
    const float black[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(black);
    LND_SetTime(0.0f);
    RND_BeginFrame();
    LND_Draw(&view, cameraSurface);
    RND_FlushBatch();
    LND_DrawObjects(&view);
    RND_FlushBatch();
    RND_EndScene();
    RND_Flip();
}

void CloseDisplay() {
    MAP_UnloadMap();
    if (g_Window) {
        DSP_Release(g_Window);
        DestroyWindow(g_Window);
        g_Window = nullptr;
    }
    MUF_CloseAll();
}

int Render(const Args& args) {
    int result = 1;
    if (!OpenDisplay()) {
        std::fprintf(stderr, "maprender: the display cannot be started\n");
    } else if (!LoadMap(args.map.c_str())) {
        std::fprintf(stderr, "maprender: %s: cannot load the map (missing or refused)\n", args.map.c_str());
    } else {
        if (args.hasCamera) {
            // As in the game: the flood starts from the surface the camera stands over.
            DrawFrame(CameraPose(args.position, args.yaw, args.pitch), CameraSurface(args.position));
        } else {
            // Seen from outside the map, every surface is drawn (no camera surface).
            const Overview overview = OverviewCamera();
            UseOverviewFar(overview);
            DrawFrame(overview.pose, 0);
        }
        const uint32_t* pixels = nullptr;
        int width = 0, height = 0;
        if (!plat::LastFrame(&pixels, &width, &height))
            std::fprintf(stderr, "maprender: no frame was drawn\n");
        else if (!plat::WritePng(args.out, pixels, width, height))
            std::fprintf(stderr, "maprender: %s: cannot write the picture\n", args.out.c_str());
        else
            result = 0;
    }
    CloseDisplay();
    return result;
}

}  // namespace maprender
