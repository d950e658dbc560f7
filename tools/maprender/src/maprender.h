// maprender's library part: the command line, the camera it draws from and one headless frame of
// a loaded map through the game's display start-up, landscape drawing and renderer, written out
// as a PNG picture. The program (main.cpp) is a thin shell over it, and the tests call it too.
#pragma once
#include <cstdint>
#include <string>

#include "common/mth.h"

namespace maprender {

// The command line: MAP OUT.png, optionally followed by the camera x y z yaw pitch (world units
// and radians, as the text maps store their start camera).
struct Args {
    std::string map;
    std::string out;
    bool hasCamera = false;
    Vec3 position{0.0f, 0.0f, 0.0f};
    float yaw = 0.0f;    // about y; 0 looks along +z, positive turns towards +x
    float pitch = 0.0f;  // about x; positive looks down
};

// False, with the reason in *error, when the words do not form a command line (argv[0] left out).
bool ParseArgs(int count, const char* const* words, Args* args, std::string* error);

// The camera's view-to-world matrix at position, turned by yaw and then pitched.
Matrix34 CameraPose(const Vec3& position, float yaw, float pitch);

// A camera that sees the whole loaded map from above at an angle: pose (view to world) and the far
// distance that keeps the farthest corner in front of the far plane.
struct Overview {
    Matrix34 pose;
    float farDistance;
};
Overview OverviewCamera();

// The steps of Render, for tests that draw several frames of one map.
// The window and the display as the game starts them; false when the display cannot start.
bool OpenDisplay();
// Loads a map (replacing the loaded one) and its textures; false when it cannot be loaded.
bool LoadMap(const char* path);
// Draws one frame of the loaded map from the camera pose (view to world), flooding from
// cameraSurface (0: every surface), and presents it (plat::LastFrame holds it afterwards).
void DrawFrame(const Matrix34& pose, int32_t cameraSurface);
// The surface under a camera standing at position, as the game's camera finds it (0: none).
int32_t CameraSurface(const Vec3& position);
// Widens the far plane, when needed, to the overview's far distance.
void UseOverviewFar(const Overview& overview);
// Unloads the map and releases the display and the window.
void CloseDisplay();

// Loads the map, draws one frame and writes the picture; 0 on success, 1 with a message on
// standard error when the display cannot start, the map cannot be loaded or the picture cannot
// be written.
int Render(const Args& args);

}  // namespace maprender
