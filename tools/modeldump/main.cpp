// modeldump PATH: loads a rigid (.qmd) or skinned (.qkm) model through the game's loader and
// prints the cached model: header, animations, and frames or bones. Exit 0 when it loaded; 1
// with the loader's reason when it was refused; 2 for a wrong command line.
#include <cstdio>

#include "engine/mdl.h"
#include "common/mem.h"
#include "common/muf.h"

namespace {

const char* Reason(int code) {
    switch (code) {
    case MDL_ERR_OPEN: return "cannot open the file (or the name has no extension)";
    case MDL_ERR_EXTENSION: return "not a .qmd or .qkm file";
    case MDL_ERR_MAGIC: return "wrong magic or a damaged file";
    case MDL_ERR_CACHE_FULL: return "model cache full";
    case MDL_ERR_MEMORY: return "out of memory";
    case MDL_ERR_VERSION: return "version too old";
    default: return "refused";
    }
}

void PrintAnimations(const ModelAnimation* a, int32_t count, bool groundOffset) {
    for (int32_t i = 0; i < count; ++i) {
        std::printf("  animation %d \"%s\": frames %d..%d, %.3f s/frame", i, a[i].name, a[i].firstFrame,
                    a[i].lastFrame, double(a[i].frameTime));
        if (groundOffset) std::printf(", ground offset %.2f", double(a[i].groundOffset));
        std::printf("\n");
    }
}

void PrintVec(const char* what, const Vec3& v) { std::printf(" %s (%g, %g, %g)", what, double(v.x), double(v.y), double(v.z)); }

void PrintRigid(const RigidModel* m) {
    std::printf("rigid model \"%s\": version %d, %d vertices, %d faces, %d frames, flags 0x%x\n", m->name, m->version,
                m->vertexCount, m->faceCount, m->frameCount, m->flags);
    std::printf(" ");
    PrintVec("scale", m->scale);
    PrintVec("offset", m->offset);
    std::printf(" radius %g, texture %d x %d (%d stored)\n", double(m->radius), m->textureWidth, m->textureHeight,
                m->textureCount);
    PrintAnimations(m->animations, m->animationCount ? m->animationCount : 1, false);
    for (int32_t i = 0; i < m->frameCount; ++i) {
        const ModelFrame& f = m->frames[i];
        std::printf("  frame %d \"%s\": %s, box %u,%u,%u..%u,%u,%u", i, f.frameName, f.packed ? "packed" : "float",
                    f.boxMin[0], f.boxMin[1], f.boxMin[2], f.boxMax[0], f.boxMax[1], f.boxMax[2]);
        PrintVec("root motion", f.rootMotion);
        if (f.attachA) std::printf(" +A");
        if (f.attachB) std::printf(" +B");
        std::printf("\n");
    }
    for (int32_t i = 0; i < m->faceCount; ++i) {
        const ModelFace& f = m->faces[i];
        std::printf("  face %d: side %u, corners %u %u %u, uv (%g,%g) (%g,%g) (%g,%g)\n", i, f.side, f.corner[0],
                    f.corner[1], f.corner[2], double(f.uv[0][0]), double(f.uv[0][1]), double(f.uv[1][0]),
                    double(f.uv[1][1]), double(f.uv[2][0]), double(f.uv[2][1]));
    }
}

void PrintBone(const SkinnedModel* m, int32_t slot, int depth) {
    const ModelBone& b = m->bones[slot];
    std::printf("  %*sbone %d \"%s\": %d vertices, %d faces, radius %.2f\n", depth * 2, "", slot, b.name,
                b.vertexCount, b.faceCount, double(b.radius));
    for (int32_t c = 0; c < b.childCount; ++c) PrintBone(m, b.children[c], depth + 1);
}

void PrintSkinned(const SkinnedModel* m) {
    std::printf("skinned model \"%s\": version %d, %d bones, %d vertices, %d frames, flags 0x%x (%s keys)\n", m->name,
                m->version, m->boneCount, m->vertexCount, m->frameCount, m->flags,
                (m->flags & MDL_SKIN_QUAT_KEYS) ? "quaternion" : "matrix");
    std::printf(" ");
    PrintVec("scale", m->scale);
    PrintVec("offset", m->offset);
    std::printf(" radius %g\n", double(m->radius));
    PrintAnimations(m->animations, m->animationCount ? m->animationCount : 1, true);
    PrintBone(m, 0, 0);
    std::printf("  named bones:");
    for (int k = 0; k < MDL_NAMED_BONE_COUNT; ++k) std::printf(" %s=%d", kMdlNamedBones[k], m->namedBones[k]);
    std::printf("\n");
    for (int32_t f = 0; f < m->frameCount; ++f) {
        const Vec3& r = m->rootMotion[f];
        if (r.x != 0.0f || r.y != 0.0f || r.z != 0.0f) {
            std::printf("  frame %d", f);
            PrintVec("root motion", r);
            std::printf("\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: modeldump PATH\n");
        return 2;
    }
    MEM_ResetTracker();
    g_MufReady = 1;  // no archives: the path is read from disk
    ModelInstance* instance = nullptr;
    const int result = MDL_Load(argv[1], &instance);
    if (result != MDL_OK) {
        std::fprintf(stderr, "modeldump: %s: %s (%d)\n", argv[1], Reason(result), result);
        return 1;
    }
    if (instance->kind == MDL_KIND_RIGID)
        PrintRigid(instance->model.rigid);
    else
        PrintSkinned(instance->model.skinned);
    return 0;
}
