// The landscape of the loaded level: the header record, its eight 1-based record arrays and the
// globals that belong to the one loaded map. Index 0 of every array is allocated but never a
// record, and an index 0 stored anywhere means "none". The readers fill the records, the load
// driver completes them, and the queries, lighting, drawing and game code read them.
//
// Every block of a landscape (header, arrays, extension data, object vertex and surface lists,
// the per-map work arrays) comes from the general heap through MAP_AllocZeroed and goes back
// through MAP_Free; none of it lives on the tracked heap.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/mth.h"

struct RenderTexture;

// Limits of the fixed lists inside the records.
constexpr int LND_SURFACE_OBJECTS_MAX = 16;  // objectList of a surface
constexpr int LND_LIGHTS_MAX = 32;           // lights of a map; lightList of a surface or object
constexpr int LND_FRAMES_MAX = 32;           // frames of a material or object surface
// Buffer sizes, terminator included.
constexpr int LND_TEXTURE_NAME_SIZE = 516;
constexpr int LND_TEXTURE_SUFFIX_SIZE = 18;  // up to 17 stored bytes and a terminator
constexpr int LND_OBJECT_NAME_SIZE = 18;     // 16 characters from text maps, 17 bytes in .zlm
constexpr int MAP_TEXTURE_DIRECTORY_SIZE = 520;
constexpr int MAP_NAME_SIZE = 256;

// Capacities recorded in a new header. Nothing enforces them except the light limit above.
constexpr uint16_t LND_VERTEX_CAPACITY = 50000;
constexpr uint16_t LND_EDGE_CAPACITY = 50000;
constexpr uint16_t LND_SURFACE_CAPACITY = 50000;
constexpr uint16_t LND_EXTENSION_CAPACITY = 10000;
constexpr uint16_t LND_TEXTURE_CAPACITY = 1000;
constexpr uint16_t LND_MATERIAL_CAPACITY = 50000;
constexpr uint8_t LND_LIGHT_CAPACITY = 32;
constexpr int32_t LND_OBJECT_CAPACITY = 5000;

struct LandscapeVertex {
    Vec3 position;
    uint32_t drawStamp;  // g_LandscapeDrawStamp once transformed in the current frame
    uint32_t flags;
    uint8_t outcode;     // view clip code of the transformed vertex
};

struct LandscapeEdge {
    uint16_t vertex1, vertex2;  // a surface's corner i is vertex1 of its edge i
    uint16_t otherEdge;         // twin edge on the neighbouring surface, 0 on a border
    uint16_t surface;           // the surface that owns this edge
    uint32_t drawStamp;
    uint32_t queryStamp;        // with sideValue: the side test cached for the current query
    float sideValue;
    uint32_t flags;
};

// One triangle of the landscape.
struct LandscapeSurface {
    float lastTime;     // landscape clock at the previous texture-coordinate update
    uint16_t edges[3];
    uint16_t material;  // 0: no texture and no static lighting
    uint32_t extension;
    Vec3 normal;
    uint32_t flags32;
    uint32_t drawStamp;
    uint32_t queryStamp;
    float cornerRed[3], cornerGreen[3], cornerBlue[3];  // static light per colour slot, 0..1
    Vec3 flow;                                          // moves what stands on the surface
    Vec3 gravity;
    float resistance;
    uint16_t objectCount;
    uint16_t objectList[LND_SURFACE_OBJECTS_MAX];
    uint32_t flags;  // bit 1: lastTime is valid
    uint8_t lightCount;
    uint8_t lightList[LND_LIGHTS_MAX];
};

// Bytes attached to surfaces; stored, never interpreted by the engine.
struct SurfaceExtension {
    int32_t byteCount;
    uint8_t* data;  // byteCount bytes owned by the landscape
    uint32_t flags;
};

struct LandscapeTexture {
    char fileName[LND_TEXTURE_NAME_SIZE];
    char suffix[LND_TEXTURE_SUFFIX_SIZE];  // kept from .zlm files, used nowhere
    int32_t mode;                          // bit 0: load with colour key
    RenderTexture* texture;
    uint32_t flags;                        // bit 1: loaded
};

struct LandscapeMaterial {
    uint16_t currentTexture;  // texture of the current animation frame
    int32_t mode;             // texture animation: 0 none, 1 play once, 2 loop
    int32_t lmode;            // 0 full bright, nonzero lit
    int16_t frameCount;
    uint16_t currentFrame;
    float frameTime;          // seconds per frame
    uint16_t frames[LND_FRAMES_MAX];
    float u[3], v[3];         // texture coordinates of corners 0, 1, 2
    uint32_t flags;
    int16_t uvAnimKind;       // 0 none, 1 rotate, 2 scroll; bit 2 holds the angle
    // The texture-coordinate animation block, in this order.
    float uvAnimAngle;
    float uvAnimR;
    float uvAnimCu, uvAnimCv;
    float uvAnimSpare[2];     // stored by .zlm files, otherwise unused
    float uvAnimDu, uvAnimDv;
    float uvAnimReserved;     // not in map files
    float uvAnimScale;        // not in map files: set by level code
};

struct LandscapeLight {
    int32_t type;  // 1 directional, 2 spot, 3 point
    Vec3 position;
    Vec3 unitDirection;
    Vec3 direction;
    float range;   // length of direction
    float colour[3];
    float coneAngle;  // spot: half-angle in radians; point: radius of reach
    uint32_t flags;
};

// One triangle of a landscape object.
struct ObjectSurface {
    int32_t vrefs[3];  // 0-based indices into the object's vertices
    uint16_t currentTexture;
    float cornerRed[3], cornerGreen[3], cornerBlue[3];
    float u[3], v[3];
    uint8_t hasNormal;
    Vec3 normal;  // object space
    int32_t mode;
    uint8_t lmode;
    int16_t frameCount;
    uint16_t currentFrame;
    float frameTime;
    uint16_t frames[LND_FRAMES_MAX];
    uint32_t flags;
};

// A small mesh of its own anchored on a landscape vertex (doors, pillars, furniture).
struct LandscapeObject {
    char name[LND_OBJECT_NAME_SIZE];
    int32_t type;
    int32_t active;         // 0 takes the object out of traces
    int32_t collisionMode;  // 0 not solid
    int32_t positionRef;    // landscape vertex that is the object's origin
    int32_t spinMode;
    Vec3 angle;             // about X, Y, Z
    Vec3 spin;              // rates about X, Y, Z
    int32_t surface;        // landscape surface under the origin
    float depth, height;
    Vec3 extent;
    float radius, planRadius;
    int32_t vertexCount;
    Vec3* vertices;         // offsets from the origin
    int32_t surfaceCount;
    ObjectSurface* objectSurfaces;
    uint32_t queryStamp;
    uint32_t flags;         // bit 2: spinClock is running
    uint8_t lightCount;
    uint8_t lightList[LND_LIGHTS_MAX];
    uint32_t drawStamp;     // g_LandscapeDrawStamp once listed for drawing in the current frame
    float spinClock;        // landscape clock at the last turn of a spinning object
};

struct Landscape {
    Vec3 cameraPosition;
    float cameraYaw, cameraPitch;
    float cameraRadius;
    int32_t fadeMode;
    float fadeThreshold, fadeRate;
    float ambientColour[3];
    float backgroundColour[3];
    uint16_t vertexCount, vertexCapacity;
    uint16_t edgeCount, edgeCapacity;
    uint16_t surfaceCount, surfaceCapacity;
    uint16_t extensionCount, extensionCapacity;
    uint16_t textureCount, textureCapacity;
    uint16_t materialCount, materialCapacity;
    uint8_t lightCount, lightCapacity;
    int32_t objectCount, objectCapacity;
    LandscapeVertex* vertices;
    LandscapeEdge* edges;
    LandscapeSurface* surfaces;
    SurfaceExtension* extensions;
    LandscapeTexture* textures;
    LandscapeMaterial* materials;
    LandscapeLight* lights;
    LandscapeObject* objects;
};

// The loaded landscape, null when none.
extern Landscape* g_Landscape;
// 1 after a successful MAP_LoadMap, 0 after MAP_UnloadMap; drawing does nothing while 0.
extern int32_t g_MapLoaded;
// Incremented by every query that marks records; reset to 1 at load.
extern uint32_t g_LandscapeQueryStamp;
// Incremented by every landscape draw; reset to 1 at load.
extern uint32_t g_LandscapeDrawStamp;
// The landscape clock in seconds, and the previous clock minus the current one.
extern float g_LandscapeTime;
extern float g_LandscapeTimeStep;
extern char g_MapTextureDirectory[MAP_TEXTURE_DIRECTORY_SIZE];
extern char g_MapName[MAP_NAME_SIZE];

// Per-map work arrays made by the load driver and freed by the unload.
extern int32_t* g_RenderObjects;  // objectCount + 1: objects drawn whatever is visible
extern int32_t g_RenderObjectCount;
extern Vec3* g_RelativeVertices;  // vertexCount + 1 view-space vertex positions
extern int32_t* g_LocateList;     // surfaceCount + 1: results of multi-surface queries
extern uint8_t* g_AllLights;      // lightCount + 1 bytes: 1, 2, ..., lightCount

// size bytes from the general heap, zero-filled; null when size is 0 or the heap is exhausted.
// name labels the allocation only.
void* MAP_AllocZeroed(const char* name, size_t size);
// Returns a block of MAP_AllocZeroed; null does nothing.
void MAP_Free(void* block);

// A zeroed header with the capacities set; null when out of memory.
Landscape* LND_CreateLandscape();
// Allocates the eight arrays from the counts (count + 1 zeroed records each). 1 on success; 0
// when the header already has arrays, a count is negative or memory runs out (the arrays made so
// far stay for LND_FreeLandscape).
int LND_AllocateArrays(Landscape* landscape);
// Frees every block the landscape owns and then the header itself; null does nothing.
void LND_FreeLandscape(Landscape* landscape);
// Frees the blocks an object owns and clears its pointers and counts.
void LND_FreeObjectLists(LandscapeObject* object);

// The texture directory of the loaded map (from its 'D' line or its .zlm header).
char* MAP_GetTextureDirectory();
// The middle part of texture paths: always empty.
const char* MAP_GetTextureSuffix();
