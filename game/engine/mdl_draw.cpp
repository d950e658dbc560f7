// Drawing model instances: the rigid drawer (packed frames fold their decoding into the placement
// matrix), the matrix-key walk and the quaternion-key walk of skinned models, with the bone state
// bits (flattened and floor-held grey bones, spray bursts), the shadow copy and the smooth path.
// Every mesh goes to the landscape renderer's model triangle drawer, which lights and queues it.
// Nothing is allocated per draw: the triangle scratch, its light array, the shared vertex buffer
// and the normal scratch are sized at load to the largest model.
#include <cmath>

#include "engine/mdl_internal.h"
#include "engine/lnd_draw.h"

Matrix34 g_ModelPlacement = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
float g_ModelFlatY = 0.0f;
int32_t g_ModelShadows = 0;
RenderTexture* g_ModelShadowTexture = nullptr;
int32_t g_ModelSmoothLighting = 0;
const Pose* g_EffectBonePose = nullptr;
uint32_t g_DrawSurface = 0;

namespace {

constexpr Matrix34 kIdentity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
// Flattened bones lie this far above the flat plane.
constexpr float kFlatLift = 10.0f;
constexpr int kSprayCount = 4;

// Everything of one walk that the bones share.
struct Walk {
    ModelInstance* instance;
    const SkinnedModel* model;
    float* vertices;
    uint32_t flags;
    RenderTexture* texture;
    Matrix34 toModel;  // view space back to model space (inverse of the placement)
};

RenderTexture* SkinTextureOf(const ModelInstance* instance) {
    return instance->skin ? instance->skin->texture : nullptr;
}

Vec3 Translation(const Matrix34& m) { return {m.m[9], m.m[10], m.m[11]}; }

void PutVertex(float* out, const Vec3& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// Faces into the triangle scratch: corners, uv pairs and texture.
template <typename Face>
void CopyFaces(const Face* faces, int32_t count, RenderTexture* texture) {
    for (int32_t i = 0; i < count; ++i) {
        const Face& f = faces[i];
        ModelTriangle& t = g_ModelTriangles[i];
        for (int k = 0; k < 3; ++k) {
            t.corner[k] = f.corner[k];
            t.uv[k][0] = f.uv[k][0];
            t.uv[k][1] = f.uv[k][1];
        }
        t.texture = texture;
    }
}

// The bone's faces into the triangle scratch, with their normals as stored (in bone space).
void FillFaces(const ModelBone& bone, RenderTexture* texture) {
    CopyFaces(bone.faces, bone.faceCount, texture);
    for (int32_t i = 0; i < bone.faceCount; ++i) g_ModelTriangles[i].normal = bone.faces[i].normal;
}

void SetFaceNormals(const ModelBone& bone, const Matrix34* rotation) {
    for (int32_t i = 0; i < bone.faceCount; ++i) {
        if (rotation)
            MTH_RotateVector(&g_ModelTriangles[i].normal, &bone.faces[i].normal, rotation);
        else
            g_ModelTriangles[i].normal = bone.faces[i].normal;
    }
}

void Spray(const Matrix34& parent, const Matrix34& bone, uint32_t state) {
    const Vec3 from = MDL_ToWorld(Translation(parent));
    const Vec3 at = MDL_ToWorld(Translation(bone));
    const Vec3 out = MDL_Direction(from, at);
    const Vec3 back = MDL_Direction(at, from);
    const auto burst = g_ModelWorldHooks.emitBurst;
    if (!burst) return;
    if (state & MDL_BONE_SPRAY_BLOOD) burst(&at, &out, kSprayCount, 1);
    if (state & MDL_BONE_SPRAY_DEBRIS) burst(&at, &out, kSprayCount, 3);
    if (state & (MDL_BONE_SPRAY_BACK_A | MDL_BONE_SPRAY_BACK_B)) burst(&at, &back, kSprayCount, 8);
}

// Matrix-key walk: bone matrix = parent x key; the effect may stop the bone; a present bone
// draws its mesh with its matrix and then its children.
void MatrixWalk(Walk& w, int32_t bone, const Matrix34& parent) {
    ModelInstance* instance = w.instance;
    const ModelBone& b = w.model->bones[bone];
    Matrix34 local, m;
    MDL_BoneLocalMatrix(w.model, bone, instance->frame, &local);
    MTH_MatrixMultiply(&m, &parent, &local);
    if (ModelBoneEffect effect = instance->boneEffects[bone])
        if (!effect(w.vertices, &parent, w.flags, instance->frame, instance, bone, &m)) return;
    const uint32_t state = instance->boneStates[bone];
    if (!(state & MDL_BONE_PRESENT)) return;
    if (b.vertexCount > 0) {
        FillFaces(b, w.texture);
        // The vertices go as they are; only a flattened bone has its y replaced.
        for (int32_t v = 0; v < b.vertexCount; ++v) {
            Vec3 p = b.vertices[v];
            if (state & MDL_BONE_FLATTEN) p.y = g_ModelFlatY;
            PutVertex(w.vertices + 3 * v, p);
        }
        LND_DrawModelTriangles(nullptr, g_DrawSurface, &m, w.vertices, w.texture, g_ModelTriangles, b.vertexCount,
                               b.faceCount, 1, b.radius);
    }
    for (int32_t c = 0; c < b.childCount; ++c) MatrixWalk(w, b.children[c], m);
}

// A grey copy of the bone in model space, drawn with the placement matrix and the scratch light
// array as its light cache: y set to height, or (floor) raised to at least height.
void DrawGrey(Walk& w, const ModelBone& b, const Matrix34& toModel, float height, bool floor,
              RenderTexture* texture) {
    for (int32_t v = 0; v < b.vertexCount; ++v) {
        Vec3 p;
        MTH_TransformPoint(&p, &b.vertices[v], &toModel);
        if (!floor)
            p.y = height;
        else if (p.y < height)
            p.y = height;
        PutVertex(w.vertices + 3 * v, p);
    }
    SetFaceNormals(b, &toModel);
    LND_DrawModelTriangles(&g_ModelLightArray, g_DrawSurface, &g_ModelPlacement, w.vertices, texture,
                           g_ModelTriangles, b.vertexCount, b.faceCount, 1, 0.0f);
}

void DrawBoneMesh(Walk& w, const ModelBone& b, const Matrix34& m, uint32_t state) {
    Matrix34 toModel;
    MTH_MatrixMultiply(&toModel, &w.toModel, &m);
    FillFaces(b, w.texture);
    if (state & MDL_BONE_FLATTEN) {
        DrawGrey(w, b, toModel, g_ModelFlatY + kFlatLift, false, w.texture);
        return;
    }
    if (state & MDL_BONE_FLOOR) {
        DrawGrey(w, b, toModel, w.instance->floorY, true, w.texture);
        return;
    }
    if (g_ModelShadows) DrawGrey(w, b, toModel, g_ModelFlatY + kFlatLift, false, g_ModelShadowTexture);
    if (g_ModelSmoothLighting && (w.model->flags & MDL_SKIN_VERTEX_NORMALS)) {
        for (int32_t v = 0; v < b.vertexCount; ++v) {
            Vec3 p, n;
            MTH_TransformPoint(&p, &b.vertices[v], &toModel);
            MTH_RotateVector(&n, &b.vertices2[v], &toModel);
            PutVertex(w.vertices + 3 * v, p);
            PutVertex(g_ModelNormalScratch + 3 * v, n);
        }
        LND_DrawModelTrianglesSmooth(nullptr, g_DrawSurface, &g_ModelPlacement, w.vertices, g_ModelNormalScratch,
                                     w.texture, g_ModelTriangles, b.vertexCount, b.faceCount, 0.0f);
        return;
    }
    for (int32_t v = 0; v < b.vertexCount; ++v) PutVertex(w.vertices + 3 * v, b.vertices[v]);
    SetFaceNormals(b, nullptr);
    LND_DrawModelTriangles(nullptr, g_DrawSurface, &m, w.vertices, w.texture, g_ModelTriangles, b.vertexCount,
                           b.faceCount, 1, b.radius);
}

// Quaternion-key walk: the pose between frame and nextFrame (rotation by slerp, position by
// lerp), composed with the parent's (conjugated) pose; then effect, mesh, children and sprays.
void QuatWalk(Walk& w, int32_t bone, const Pose& parent, const Matrix34& parentMatrix) {
    ModelInstance* instance = w.instance;
    const ModelBone& b = w.model->bones[bone];
    const uint32_t state = instance->boneStates[bone];
    const ModelBoneEffect effect = instance->boneEffects[bone];
    const bool present = state & MDL_BONE_PRESENT;
    if (!present && !effect) return;

    const BoneKeyQuat& a = b.quatKeys[instance->frame];
    const BoneKeyQuat& z = b.quatKeys[instance->nextFrame];
    const float t = instance->fraction;
    Quat rotation;
    MTH_QuatSlerp(t, &a.pose.rotation, &z.pose.rotation, &rotation);
    const Vec3 position{z.pose.translation.x * t + a.pose.translation.x * (1.0f - t),
                        z.pose.translation.y * t + a.pose.translation.y * (1.0f - t),
                        z.pose.translation.z * t + a.pose.translation.z * (1.0f - t)};
    Pose pose;
    MTH_QuatMultiply(&rotation, &parent.rotation, &pose.rotation);
    MTH_TransformPoint(&pose.translation, &position, &parentMatrix);
    Matrix34 m;
    MTH_PoseToMatrixTransposed(&pose, &m);

    if (effect) {
        Pose truePose = pose;
        MDL_QuatConjugate(&truePose.rotation);
        const Pose* outer = g_EffectBonePose;
        g_EffectBonePose = &truePose;
        const int32_t go = effect(w.vertices, &parentMatrix, w.flags, instance->frame, instance, bone, &m);
        g_EffectBonePose = outer;
        if (!go) return;
    }
    if (!present) return;
    if (b.vertexCount > 0) DrawBoneMesh(w, b, m, state);
    for (int32_t c = 0; c < b.childCount; ++c) QuatWalk(w, b.children[c], pose, m);
    Spray(parentMatrix, m, state);
}

// The rigid drawer: the current frame's vertices placed by matrix (packed frames through one
// matrix that decodes and places at once), the faces into the scratch, then flat or smooth.
void DrawRigid(float* vertices, ModelInstance* instance, const Matrix34& matrix) {
    const RigidModel* model = instance->model.rigid;
    const ModelFrame& frame = model->frames[instance->frame];
    RenderTexture* texture = SkinTextureOf(instance);
    if (frame.packed) {
        const Matrix34 decode = {
            {model->scale.x, 0, 0, 0, model->scale.y, 0, 0, 0, model->scale.z, model->offset.x, model->offset.y,
             model->offset.z}};
        Matrix34 placed;
        MTH_MatrixMultiply(&placed, &matrix, &decode);
        for (int32_t v = 0; v < model->vertexCount; ++v) {
            const ModelPackedVertex& p = frame.packedVertices[v];
            const Vec3 bytes{float(p.x), float(p.y), float(p.z)};
            Vec3 out;
            MTH_TransformPoint(&out, &bytes, &placed);
            PutVertex(vertices + 3 * v, out);
        }
    } else {
        for (int32_t v = 0; v < model->vertexCount; ++v) {
            const ModelFloatVertex& f = frame.floatVertices[v];
            const Vec3 p{f.x, f.y, f.z};
            Vec3 out;
            MTH_TransformPoint(&out, &p, &matrix);
            PutVertex(vertices + 3 * v, out);
        }
    }
    CopyFaces(model->faces, model->faceCount, texture);
    if (!g_ModelSmoothLighting) {
        for (int32_t i = 0; i < model->faceCount; ++i)
            MTH_RotateVector(&g_ModelTriangles[i].normal, &frame.faceNormals[i], &matrix);
        LND_DrawModelTriangles(nullptr, g_DrawSurface, &kIdentity, vertices, texture, g_ModelTriangles,
                               model->vertexCount, model->faceCount, 1, 0.0f);
        return;
    }
    for (int32_t v = 0; v < model->vertexCount; ++v) {
        const uint8_t index =
            frame.packed ? frame.packedVertices[v].normalIndex : frame.floatVertices[v].normalIndex;
        Vec3 n;
        MTH_RotateVector(&n, &kMdlVertexNormals[index], &matrix);
        PutVertex(g_ModelNormalScratch + 3 * v, n);
    }
    LND_DrawModelTrianglesSmooth(nullptr, g_DrawSurface, &kIdentity, vertices, g_ModelNormalScratch, texture,
                                 g_ModelTriangles, model->vertexCount, model->faceCount, 0.0f);
}

Walk StartWalk(float* vertices, ModelInstance* instance, uint32_t flags) {
    Walk w{instance, instance->model.skinned, vertices, flags, SkinTextureOf(instance), kIdentity};
    MTH_MatrixInvertRigid(&w.toModel, &g_ModelPlacement);
    return w;
}

}  // namespace

Vec3 MDL_ToWorld(const Vec3& viewPoint) {
    const Matrix34* camera = g_ModelWorldHooks.cameraMatrix ? g_ModelWorldHooks.cameraMatrix() : nullptr;
    Vec3 out;
    MTH_TransformPoint(&out, &viewPoint, camera ? camera : &kIdentity);
    return out;
}

Vec3 MDL_Direction(const Vec3& a, const Vec3& b) {
    Vec3 d{b.x - a.x, b.y - a.y, b.z - a.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length > 0.0f) d = Vec3{d.x / length, d.y / length, d.z / length};
    return d;
}

void MDL_DrawInstance(float* vertexBuffer, ModelInstance* instance, const Matrix34* matrix, uint32_t flags) {
    if (!instance || !matrix) return;
    float* vertices = vertexBuffer ? vertexBuffer : MDL_GetVertexBuffer();
    if (!vertices || !g_ModelTriangles) return;
    if (instance->kind == MDL_KIND_RIGID) {
        DrawRigid(vertices, instance, *matrix);
        return;
    }
    Walk w = StartWalk(vertices, instance, flags);
    MatrixWalk(w, instance->rootBone, *matrix);
}

void MDL_DrawInstanceQuat(float* vertexBuffer, ModelInstance* instance, const Pose* pose, uint32_t flags) {
    if (!instance || !pose) return;
    float* vertices = vertexBuffer ? vertexBuffer : MDL_GetVertexBuffer();
    if (!vertices || !g_ModelTriangles) return;
    // The walks take the orientation conjugated; its transposed matrix is the true placement.
    Pose conjugated = *pose;
    MDL_QuatConjugate(&conjugated.rotation);
    Matrix34 placement;
    MTH_PoseToMatrixTransposed(&conjugated, &placement);
    if (instance->kind == MDL_KIND_RIGID) {
        DrawRigid(vertices, instance, placement);
        return;
    }
    // A held model drawn by a bone effect comes through here in the middle of another walk: the
    // draw state of the outer model is put back afterwards.
    const Matrix34 outerPlacement = g_ModelPlacement;
    const float outerFlatY = g_ModelFlatY;
    g_ModelPlacement = placement;
    const SkinnedModel* model = instance->model.skinned;
    Walk w = StartWalk(vertices, instance, flags);
    if (model->flags & MDL_SKIN_QUAT_KEYS) {
        const ModelAnimation& a = model->animations[instance->animation];
        const uint8_t* low = MDL_KeyBoxMin(model, instance->rootBone, a.firstFrame);
        g_ModelFlatY = MDL_Decode(low, model->scale, model->offset).y + kFlatLift;
        QuatWalk(w, instance->rootBone, conjugated, placement);
    } else {
        MatrixWalk(w, instance->rootBone, placement);
    }
    g_ModelPlacement = outerPlacement;
    g_ModelFlatY = outerFlatY;
}
