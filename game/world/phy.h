// Character movement: the one locomotion step of every moving character, its collision with other
// characters, the landscape's walls and landscape objects, the push of conveyors and flows, ground
// following, the lists of landscape objects on each surface, and the ballistic step of a character
// in the air (phy_move.cpp); the surface triggers bound to textures (phy_triggers.cpp).
#pragma once
#include <cstdint>

#include "common/mth.h"

struct Bod;
struct CharacterControl;
struct AICharacter;

// Moves the character one frame along its heading by its animation's root motion, its forward
// speed and the push of its surface, and holds it on the ground: 1 moved, 0 blocked or not
// movable.
int PHY_MoveCharacter(Bod* bod);
// The same move without the doubled root motion of a zombie-playing player.
int PHY_MoveCharacterAlt(Bod* bod);
// Ground following and surface push only.
int PHY_FollowGroundAI(Bod* bod);
// One frame of a falling character: gravity on its velocity, the position moved by it, deadly
// surfaces. 1 once it has reached the ground (the velocity is left as it was on impact), else 0.
int PHY_FallStep(Bod* bod);

// What a wall or floor query touched.
struct PhyContact {
    Vec3 normal;       // the face's unit normal, facing the character for walls
    uint32_t texture;  // the face's texture number (0 none)
    Vec3 point;        // where the contact was found
    int32_t object;    // the landscape object whose face it is, 0 for the landscape
};

// The displacement of the surface under the character this frame (flows, conveyor belts); on
// level 2 a river sweeps the character downstream.
void PHY_SurfacePush(Bod* bod, CharacterControl* control, Vec3* outDisplacement);
// 1 when the step from the saved position to the character's position runs into a wall face.
int PHY_CollideWalls(Bod* bod, CharacterControl* control, AICharacter* ai, PhyContact* hit);
// Puts the character on the ground under it: 1 when it stands on a face (hit filled).
int PHY_FollowGround(CharacterControl* control, AICharacter* ai, PhyContact* hit);
// The slide along a wall: direction and normal are unit vectors; outLength = (1 - c) x length and
// outDirection the direction's part along the wall, c = -(direction . normal) in outCosine.
// 0 (outLength 0) when the step runs parallel to the wall or the slide has no direction.
int PHY_SlideAlongWall(const Vec3* direction, const Vec3* normal, float* outLength, float length,
                       Vec3* outDirection, float* outCosine);

// The face neighbourhood of one collision query: at most 32 surfaces.
constexpr int PHY_GATHER_MAX = 32;
extern int32_t g_PhyGathered[PHY_GATHER_MAX];
extern int32_t g_PhyGatheredCount;
// Gathers the surfaces around `surface` whose shared edges come within `reach` of the plan segment
// from-to (a new query stamp first).
void PHY_GatherFaces(int32_t surface, const Vec3* from, const Vec3* to, float reach);

// Lists landscape object `object` on every surface within its radius, flooding from `surface`
// (a full list of 16 takes no more).
void PHY_AddObjectToSurfaces(int32_t object, int32_t surface);
// Moves a landscape object's reference vertex and lists it again from its new surface.
void PHY_MoveLandscapeObject(int32_t object, const Vec3* newReference);
void PHY_MoveLandscapeObjectTo(int32_t object, float x, float y, float z);
// Rebuilds every surface's object list from the objects' reference vertices.
void PHY_RebuildObjectLists();

// The per-level wall threshold and step height (level ids 0..16), and the selected values.
constexpr int PHY_LEVELS = 17;
float PHY_LevelWallSlope(int level);
float PHY_LevelStepHeight(int level);
extern float g_PhyWallSlope;
extern float g_PhyStepHeight;
// Selects the level's threshold and step height.
void PHY_SelectLevel(int level);

// Geometry. Point in the plan-view triangle by the parity of edge crossings; the height of a
// face's plane at (x, z); the nearest plan distance between two segments; segment and sphere.
int PHY_PointInTriangle(const Vec3* point, const Vec3* a, const Vec3* b, const Vec3* c);
float PHY_PlaneHeight(const Vec3* a, const Vec3* normal, float x, float z);
float PHY_SegmentDistancePlan(const Vec3* a, const Vec3* b, const Vec3* c, const Vec3* d);
int PHY_SegmentTouchesSphere(const Vec3* a, const Vec3* b, const Vec3* centre, float radius);

// Surface triggers (phy_triggers.cpp).
using PhyTrigger = int (*)(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact);
constexpr int PHY_TRIGGER_TEXTURES = 512;
// Binds the level's floor and wall textures to their handlers, selects the level's threshold and
// step height and rebuilds the surfaces' object lists.
void PHY_BindSurfaceTriggers(int level);
// The handler bound to a texture number (null for none or a number outside the tables).
PhyTrigger PHY_FloorTrigger(uint32_t texture);
PhyTrigger PHY_WallTrigger(uint32_t texture);
int PHY_HasFloorTrigger(const Bod* bod);
int PHY_SurfaceHasFloorTrigger(int32_t surface);
// The wall handler's result for the surface's texture (0 when none or no AI record).
int PHY_CallWallTrigger(Bod* bod, int32_t surface);
// Runs the floor or wall handler of a contact's texture: its result, 0 when none.
int PHY_RunFloorTrigger(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact);
int PHY_RunWallTrigger(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact);
