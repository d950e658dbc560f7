// Models: the records of rigid (.qmd) and skinned (.qkm) model files as the caches hold them,
// model instances, and every MDL_ operation: loading into the caches, skins, instances, drawing
// and the bone, bounds and hit queries. The animation step (ANM_) is in engine/anm.h.
//
// Orientation convention of the quaternion walks: a Pose handed to the MDL_ operations holds the
// entity's true orientation. The walks work on conjugated quaternions internally (a bone's walk
// pose is key rotation x conjugated parent rotation), and give true orientations back.
#pragma once
#include <cstdint>

#include "common/mth.h"

struct Bod;
struct RenderTexture;

// Results of MDL_Load. A file that is damaged or inconsistent (short, counts beyond what the file
// holds, indices out of range) is refused with MDL_ERR_MAGIC, like a file of another kind.
enum : int {
    MDL_OK = 0,
    MDL_ERR_OPEN = -1,        // empty name, no extension, or the file cannot be opened
    MDL_ERR_EXTENSION = -2,   // neither ".qmd" nor ".qkm"
    MDL_ERR_MAGIC = -3,       // wrong magic, or a malformed file
    MDL_ERR_CACHE_FULL = -4,  // the cache of that kind holds MDL_CACHE_MAX models
    MDL_ERR_MEMORY = -5,      // a record cannot be allocated
    MDL_ERR_VERSION = -6,     // version too low
    MDL_ERR_FRAME = -8,       // ANM_SetFrameCallback: frame out of range
    MDL_ERR_SKIN_CACHE = -9,  // MDL_LoadSkin: the skin cache is full
};

constexpr int MDL_CACHE_MAX = 99;
constexpr int MDL_NAME_MAX = 64;
constexpr int MDL_MAX_CHILDREN = 10;
// More bones than any model has; a file claiming more is refused (the walks recurse per level).
constexpr int MDL_MAX_BONES = 1000;
// Entries of the vertex normal table; the last one is the zero vector.
constexpr int MDL_NORMAL_COUNT = 162;

// Instance kinds.
enum : int32_t { MDL_KIND_RIGID = 1, MDL_KIND_SKINNED = 2 };

// .qmd flags.
enum : uint32_t { MDL_RIGID_ATTACH_A = 1, MDL_RIGID_ATTACH_B = 2, MDL_RIGID_EXTRA_BLOCK = 4 };
// .qkm flags.
enum : uint32_t {
    MDL_SKIN_FLOAT_BOX = 8,       // bone boxes stored as 6 floats
    MDL_SKIN_QUAT_KEYS = 16,      // quaternion keys instead of matrix keys
    MDL_SKIN_FACE_NORMALS = 32,   // faces carry a stored normal
    MDL_SKIN_VERTEX_NORMALS = 64, // each vertex carries a second vector
};

// Bone state bits (ModelInstance::boneStates).
enum : uint32_t {
    MDL_BONE_PRESENT = 0x08000000,
    MDL_BONE_SPRAY_BLOOD = 0x02000000,  // burst of kind 1 after drawing
    MDL_BONE_SPRAY_DEBRIS = 0x01000000, // burst of kind 3
    MDL_BONE_FLATTEN = 0x00800000,      // drawn flat and grey
    MDL_BONE_FLOOR = 0x00400000,        // drawn grey, y held at or above floorY
    MDL_BONE_SPRAY_BACK_A = 0x00200000, // burst of kind 8 back towards the parent
    MDL_BONE_SPRAY_BACK_B = 0x00100000,
};

// The eighteen named bone slots of a skinned model.
enum : int {
    MDL_BONE_HEAD, MDL_BONE_NECK, MDL_BONE_LUARM, MDL_BONE_RUARM, MDL_BONE_LFARM, MDL_BONE_RFARM,
    MDL_BONE_LHAND, MDL_BONE_RHAND, MDL_BONE_CHEST, MDL_BONE_ABDOMEN, MDL_BONE_LTHI, MDL_BONE_RTHI,
    MDL_BONE_LSHIN, MDL_BONE_RSHIN, MDL_BONE_LFOOT, MDL_BONE_RFOOT, MDL_BONE_HOLD_POS, MDL_BONE_BACK_POS,
    MDL_NAMED_BONE_COUNT
};
extern const char* const kMdlNamedBones[MDL_NAMED_BONE_COUNT];

// The hit bone a trace reports for a rigid model.
constexpr int32_t MDL_RIGID_HIT_BONE = 16384;

struct ModelAnimation {
    float frameTime;     // seconds per frame
    int32_t firstFrame;  // absolute frame numbers, last inclusive
    int32_t lastFrame;
    char name[32];
    float groundOffset;  // skinned: lowest y of the root bone's box over the animation
};

// One face prepared for drawing.
struct ModelTriangle {
    uint32_t flag;
    uint32_t corner[3];
    RenderTexture* texture;
    Vec3 normal;
    float colour[3][4];
    float uv[3][2];
};

struct ModelTexCoord {
    uint32_t uvFlags;  // 0x20: u moves by half the skin on faces whose side is 0
    int32_t s, t;      // texels
};

struct ModelFace {
    uint32_t side;
    uint32_t corner[3];
    float uv[3][2];
};

struct ModelFloatVertex {
    float x, y, z;
    uint8_t normalIndex;
};

struct ModelPackedVertex {
    uint8_t x, y, z, normalIndex;  // decoded per axis as byte x scale + offset
};

struct ModelFrame {
    uint32_t packed;
    uint8_t boxMin[3];
    uint8_t boxMax[3];
    char frameName[17];  // the file's 16 bytes and a terminator
    Matrix34* attachA;
    Matrix34* attachB;
    Vec3* faceNormals;  // faceCount unit normals of this frame
    Vec3 rootMotion;
    ModelFloatVertex* floatVertices;    // packed == 0
    ModelPackedVertex* packedVertices;  // packed != 0
};

struct RigidModel {
    char name[MDL_NAME_MAX];
    // The file header.
    uint32_t magic;
    int32_t version;
    Vec3 scale;
    Vec3 offset;
    float radius;  // 50.0, raised by float-vertex frames
    float reserved[3];
    int32_t textureCount;
    int32_t textureWidth;
    int32_t textureHeight;
    int32_t vertexCount;
    int32_t faceCount;
    int32_t frameCount;
    uint32_t reserved2;
    uint32_t flags;
    uint32_t reserved3;
    int32_t animationCount;  // as stored (0 means one default animation)
    int32_t reservedCount;
    // The body.
    ModelAnimation* animations;  // max(animationCount, 1)
    ModelTexCoord* texCoords;
    ModelFace* faces;
    ModelFrame* frames;
};

// A bone key: the quantised box of the bone at this frame, and its placement in its parent.
struct BoneKeyQuat {
    uint8_t boxMin[3];
    uint8_t boxMax[3];
    Pose pose;  // translation: origin in the parent's space; rotation as the walks use it
};

struct BoneKeyMatrix {
    uint8_t boxMin[3];
    uint8_t boxMax[3];
    Matrix34 matrix;  // the bone's transform relative to its parent
};

struct ModelBoneFace {
    uint32_t corner[3];
    Vec3 normal;  // normalise((c1 - c0) x (c2 - c0)), computed at load
    float uv[3][2];
};

struct ModelBone {
    char name[17];  // the file's 16 bytes and a terminator
    Vec3* vertices;   // bone space
    Vec3* vertices2;  // second vector per vertex (flag 64), else null
    ModelBoneFace* faces;
    float radius;     // farthest vertex from the bone origin
    int32_t vertexCount;
    int32_t faceCount;
    int32_t extraA, extraB;
    BoneKeyQuat* quatKeys;      // frameCount keys with flag 16, else null
    BoneKeyMatrix* matrixKeys;  // frameCount keys without flag 16, else null
    int32_t childCount;
    uint8_t boxMin[3];  // the bone's own box, bone space, quantised
    uint8_t boxMax[3];
    Vec3 boxMinF;       // the same as floats (flag 8)
    Vec3 boxMaxF;
    int32_t children[MDL_MAX_CHILDREN];  // bone slots
};

struct SkinnedModel {
    char name[MDL_NAME_MAX];
    // The file header.
    uint32_t magic;
    int32_t version;
    Vec3 scale;
    Vec3 offset;
    float radius;
    uint32_t unused[3];
    int32_t vertexCount;
    uint32_t unused2;
    int32_t frameCount;
    uint32_t flags;
    int32_t animationCount;
    int32_t boneCount;
    // The body.
    ModelAnimation* animations;
    ModelBone* bones;
    Vec3* rootMotion;  // frameCount entries
    int32_t namedBones[MDL_NAMED_BONE_COUNT];  // slot or -1
};

struct SkinTexture {
    char name[MDL_NAME_MAX];
    RenderTexture* texture;
};

struct ModelInstance;

// Frame callbacks: data is the word given to ANM_SetFrameCallback (pointer-sized, so game code
// may hand over a record). A result of 0 removes the callback.
typedef int32_t (*ModelFrameCallback)(uintptr_t data);
// Bone effects, called when their bone is visited by a draw; 0 stops the bone and its subtree.
typedef int32_t (*ModelBoneEffect)(float* vertexBuffer, const Matrix34* parentMatrix, uint32_t flags, int32_t frame,
                                   ModelInstance* instance, int32_t bone, const Matrix34* boneMatrix);

// What the model code asks of the world, set by the world (world/hooks.cpp): the camera's matrix
// that turns view space back into world space (null: identity), the particle bursts of spraying
// bones, and the shock and bleed bone effects that the animation step turns one into the other.
struct ModelWorldHooks {
    const Matrix34* (*cameraMatrix)();
    void (*emitBurst)(const Vec3* position, const Vec3* direction, int count, int kind);
    ModelBoneEffect shockEffect;
    ModelBoneEffect bleedEffect;
};
extern ModelWorldHooks g_ModelWorldHooks;
// The landscape surface of the body being drawn, for model lighting; the world sets it before
// each draw.
extern uint32_t g_DrawSurface;

// One animated use of a cached model: one tracked block, the head followed by its tables.
struct ModelInstance {
    int32_t kind;  // MDL_KIND_RIGID or MDL_KIND_SKINNED
    union {
        RigidModel* rigid;
        SkinnedModel* skinned;
    } model;
    uint32_t* boneStates;  // skinned: one word per bone, MDL_BONE_PRESENT at creation
    int32_t rootBone;      // skinned: where walks start
    Matrix34 attachMatrix; // written by the capture effect
    int32_t frame;
    int32_t animation;
    int32_t startTime;     // ms; 0 not started
    int32_t frameMs;       // 0 stopped
    int32_t loopMode;      // 0 play once
    ModelFrameCallback* frameCallbacks;  // frameCount entries
    uintptr_t* frameCallbackData;        // frameCount entries
    ModelBoneEffect* boneEffects;        // skinned: one per bone
    intptr_t* boneEffectUntil;           // skinned: end time in ms, or the attached control record
    SkinTexture* skin;
    int32_t halfSpeed;
    int32_t blending;
    int32_t nextFrame;
    int32_t blendMs;
    float fraction;
    float prevFraction;
    float floorY;
    int32_t effectTimer;  // skinned: ms left of the shock effect
};

// The record the traces fill.
struct ModelTraceHit {
    uint32_t unused0;
    Bod* hitBod;
    int32_t hitBone;
    float t;       // fraction along the segment of the nearest hit
    Vec3 point;    // world hit point
    int32_t hit;   // 1 once something was hit
    uint32_t unused1, unused2;
    Vec3 normal;   // the hit face's world normal
};

// Caches (for tools and tests).
extern RigidModel* g_RigidModels[MDL_CACHE_MAX];
extern int32_t g_RigidModelCount;
extern SkinnedModel* g_SkinnedModels[MDL_CACHE_MAX];
extern int32_t g_SkinnedModelCount;
extern SkinTexture* g_SkinTextures[MDL_CACHE_MAX];
extern int32_t g_SkinTextureCount;
// The model triangle scratch: g_ModelTriangleCapacity triangles and as many 9-float light records
// (r of the three corners, g of the three, b of the three).
extern ModelTriangle* g_ModelTriangles;
extern float* g_ModelLightArray;
extern int32_t g_ModelTriangleCapacity;

// Global draw state read by the walks.
extern Matrix34 g_ModelPlacement;          // placement of the model being drawn (view space)
extern float g_ModelFlatY;                 // flat-plane height of the model being drawn
extern int32_t g_ModelShadows;             // game setting: draw a flat shadow copy first
extern RenderTexture* g_ModelShadowTexture;
extern int32_t g_ModelSmoothLighting;      // game setting: per-vertex lighting

// Loading and caches.
int MDL_Load(const char* path, ModelInstance** instanceOut);
int MDL_LoadSkin(ModelInstance* instance, const char* path);
// Empties the three caches and the scratch arrays. Instances must not be used afterwards.
void MDL_FreeAll();
// The shared vertex buffer: three floats for each vertex of the largest model loaded (null
// before any model is loaded). The draws use it when they are given none.
float* MDL_GetVertexBuffer();

// Instances.
ModelInstance* MDL_CreateInstance(int32_t kind, void* model);
int MDL_CloneInstance(const ModelInstance* source, ModelInstance** instanceOut);
void MDL_FreeInstance(ModelInstance* instance);
// Negates x, y, z of a w-first quaternion in place.
void MDL_QuatConjugate(Quat* q);

// Drawing.
void MDL_DrawInstance(float* vertexBuffer, ModelInstance* instance, const Matrix34* matrix, uint32_t flags);
void MDL_DrawInstanceQuat(float* vertexBuffer, ModelInstance* instance, const Pose* pose, uint32_t flags);
// The vertex normal table of rigid models.
extern const Vec3 kMdlVertexNormals[MDL_NORMAL_COUNT];

// Bone queries.
int MDL_FindBone(const ModelInstance* instance, const char* name);
void MDL_GetBoneTransformQ(const ModelInstance* instance, int32_t frame, int32_t bone, const Pose* orientation,
                           Matrix34* outMatrix, Pose* outPose);
void MDL_GetBoneMatrix(const ModelInstance* instance, int32_t frame, int32_t bone, const Matrix34* baseMatrix,
                       Matrix34* outMatrix);
void MDL_GetBoneBounds(const ModelInstance* instance, int32_t frame, int32_t bone, Vec3* outMin, Vec3* outMax);
float MDL_GetBoneRadius(const ModelInstance* instance, int32_t bone);
void MDL_GetCurrentBounds(const ModelInstance* instance, Vec3* outMin, Vec3* outMax);
void MDL_GetLowestCorner(const ModelInstance* instance, const Matrix34* matrix, Vec3* out);
float MDL_GetRadius(const ModelInstance* instance);
int MDL_TestSphereBounds(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point, float extraRadius);
int MDL_TestPointBounds(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point);

// Hits and traces.
int MDL_HitTestSphere(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point, Vec3* localPointOut,
                      float radius);
int MDL_HitTestSphereQ(const ModelInstance* instance, const Pose* pose, const Vec3* point, Vec3* localPointOut,
                       float radius);
int MDL_SegmentHitsSphere(const Vec3* from, const Vec3* to, const Vec3* centre, float radius);
// A model placed in the world: rigid and matrix-key models by their transform, quaternion-key
// models by their orientation at the transform's position.
struct ModelPlacement {
    ModelInstance* instance;
    Matrix34 placement;
    Vec3 position;
};
// The segment against the placed model: the hit bone (0 for a rigid model's face) with the hit
// nearer than hit->t recorded, or -1.
int MDL_TraceSegmentPlaced(const ModelPlacement* placed, const Vec3* from, const Vec3* to, ModelTraceHit* hit);
