// The kit's synthetic models: a cube (rigid), a three-bone chain and a small humanoid body with
// the bone and animation names the game uses (skinned), and the characters' body built on it. Faces are wound like the landscape's
// floors: (c1 - c0) x (c2 - c0) of every face points into the mesh.
#include <cmath>

#include "datakit/character_animations.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"

namespace dk {

namespace {

constexpr float kPi = 3.14159265358979f;

// Corner k of a box: bit 0 picks x, bit 1 y, bit 2 z (clear: low, set: high).
void BoxCorner(int k, const float lo[3], const float hi[3], float out[3]) {
    out[0] = (k & 1) ? hi[0] : lo[0];
    out[1] = (k & 2) ? hi[1] : lo[1];
    out[2] = (k & 4) ? hi[2] : lo[2];
}

// The twelve triangles of a box over the corner numbering above, each as (c0, c1, c2) with
// (c1 - c0) x (c2 - c0) pointing inwards.
struct BoxTriangle {
    uint32_t c[3];
};
std::vector<BoxTriangle> BoxTriangles() {
    // The six sides as corners going round, and the outward axis of each.
    static const int kQuads[6][4] = {{2, 3, 7, 6}, {0, 4, 5, 1}, {1, 5, 7, 3}, {0, 2, 6, 4}, {4, 6, 7, 5}, {0, 1, 3, 2}};
    static const float kOut[6][3] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    const float lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1};
    std::vector<BoxTriangle> out;
    for (int q = 0; q < 6; ++q) {
        for (int half = 0; half < 2; ++half) {
            BoxTriangle t{{uint32_t(kQuads[q][0]), uint32_t(kQuads[q][1 + half]), uint32_t(kQuads[q][2 + half])}};
            float p[3][3];
            for (int k = 0; k < 3; ++k) BoxCorner(int(t.c[k]), lo, hi, p[k]);
            const float a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
            const float b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
            const float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
            if (n[0] * kOut[q][0] + n[1] * kOut[q][1] + n[2] * kOut[q][2] > 0) std::swap(t.c[1], t.c[2]);
            out.push_back(t);
        }
    }
    return out;
}

void SetKeyPosition(QkmKey* key, float x, float y, float z) {
    key->position[0] = key->matrix[9] = x;
    key->position[1] = key->matrix[10] = y;
    key->position[2] = key->matrix[11] = z;
}

// A bone whose mesh is the box lo..hi in its own space; second vectors point out of the box.
QkmBone BoxBone(int32_t number, const std::string& name, const float lo[3], const float hi[3]) {
    QkmBone b;
    b.number = number;
    b.name = name;
    const float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    for (int k = 0; k < 8; ++k) {
        float p[3];
        BoxCorner(k, lo, hi, p);
        b.vertices.push_back({p[0], p[1], p[2]});
        float n[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        b.vertices2.push_back({n[0] / length, n[1] / length, n[2] / length});
    }
    for (const BoxTriangle& t : BoxTriangles()) {
        QkmFace f{};
        for (int k = 0; k < 3; ++k) {
            f.corner[k] = t.c[k];
            f.uv[2 * k] = (t.c[k] & 1) ? 1.0f : 0.0f;
            f.uv[2 * k + 1] = (t.c[k] & 2) ? 0.0f : 1.0f;
        }
        b.faces.push_back(f);
    }
    return b;
}

}  // namespace

QmdModel QmdCube(float half, int frames, bool packed) {
    QmdModel m;
    for (int i = 0; i < 3; ++i) {
        m.scale[i] = half / 127.5f;
        m.offset[i] = -half;
    }
    m.textureWidth = m.textureHeight = 64;
    m.animations.push_back({0.1f, 0, frames - 1, "spin"});
    const float lo[3] = {-half, -half, -half}, hi[3] = {half, half, half};
    for (int k = 0; k < 8; ++k) m.texCoords.push_back({0, (k & 1) ? 63 : 0, (k & 2) ? 0 : 63});
    for (const BoxTriangle& t : BoxTriangles()) m.faces.push_back({1, {t.c[0], t.c[1], t.c[2]}});
    for (int f = 0; f < frames; ++f) {
        QmdFrame frame;
        frame.packed = packed;
        frame.name = "cube" + std::to_string(f);
        for (int i = 0; i < 3; ++i) {
            frame.boxMin[i] = 0;
            frame.boxMax[i] = 255;
        }
        frame.rootMotion[2] = 1.0f;
        for (int k = 0; k < 8; ++k) {
            float p[3];
            BoxCorner(k, lo, hi, p);
            if (packed)
                frame.packedVertices.push_back({uint8_t((k & 1) ? 255 : 0), uint8_t((k & 2) ? 255 : 0),
                                                uint8_t((k & 4) ? 255 : 0), uint8_t(k)});
            else
                frame.vertices.push_back({p[0], p[1], p[2], uint8_t(k)});
        }
        m.frames.push_back(frame);
    }
    return m;
}

QkmModel QkmChain(int version, uint32_t flags) {
    QkmModel m;
    m.version = version;
    m.flags = flags;
    for (int i = 0; i < 3; ++i) {
        m.scale[i] = 0.25f;
        m.offset[i] = -32.0f;
    }
    m.radius = 24.0f;
    m.frameCount = 2;
    m.animations.push_back({0.1f, 0, 1, "stand"});
    const float lo[3] = {-2, -2, -2}, hi[3] = {2, 2, 2};
    const char* names[3] = {"chest", "luarm", "lhand"};
    for (int i = 0; i < 3; ++i) {
        QkmBone b = BoxBone(5 + i, names[i], lo, hi);
        b.extraA = 100 + i;
        b.extraB = 200 + i;
        if (i < 2) b.children.push_back(6 + i);
        for (int f = 0; f < 2; ++f) {
            QkmKey k;
            SetKeyPosition(&k, i == 0 ? 0.0f : 10.0f, 0.0f, 0.0f);
            QkmKeyRotation(&k, (i == 1 && f == 1) ? kPi / 2 : 0.0f, 0, 1, 0);
            b.keys.push_back(k);
        }
        for (QkmFace& face : b.faces)
            for (float& n : face.normal) n = 7.0f;  // a stored normal that the loader must replace
        m.bones.push_back(b);
    }
    QkmComputeBoxes(&m);
    return m;
}

namespace {

// Bone, parent (-1 root), position in the parent, box in bone space; the soles at y = 0.
// Depth-first order.
struct Part {
    const char* name;
    int parent;
    float at[3];
    float lo[3], hi[3];
};
constexpr Part kParts[18] = {
    {"abdomen", -1, {0, 105, 0}, {-12, -8, -8}, {12, 25, 8}},
    {"chest", 0, {0, 25, 0}, {-15, 0, -9}, {15, 25, 9}},
    {"neck", 1, {0, 25, 0}, {-4, 0, -4}, {4, 10, 4}},
    {"head", 2, {0, 10, 0}, {-9, 0, -10}, {9, 22, 10}},
    {"luarm", 1, {18, 20, 0}, {-4, -28, -4}, {4, 0, 4}},
    {"lfarm", 4, {0, -28, 0}, {-3, -25, -3}, {3, 0, 3}},
    {"lhand", 5, {0, -25, 0}, {-3, -10, -2}, {3, 0, 2}},
    {"ruarm", 1, {-18, 20, 0}, {-4, -28, -4}, {4, 0, 4}},
    {"rfarm", 7, {0, -28, 0}, {-3, -25, -3}, {3, 0, 3}},
    {"rhand", 8, {0, -25, 0}, {-3, -10, -2}, {3, 0, 2}},
    {"hold_pos", 9, {0, -8, 0}, {0, 0, 0}, {0, 0, 0}},
    {"back_pos", 1, {0, 10, -12}, {0, 0, 0}, {0, 0, 0}},
    {"lthi", 0, {9, -5, 0}, {-6, -45, -6}, {6, 0, 6}},
    {"lshin", 12, {0, -45, 0}, {-5, -45, -5}, {5, 0, 5}},
    {"lfoot", 13, {0, -45, 0}, {-5, -10, -5}, {5, 0, 14}},
    {"rthi", 0, {-9, -5, 0}, {-6, -45, -6}, {6, 0, 6}},
    {"rshin", 15, {0, -45, 0}, {-5, -45, -5}, {5, 0, 5}},
    {"rfoot", 16, {0, -45, 0}, {-5, -10, -5}, {5, 0, 14}},
};
constexpr int kFramesEach = 3;

// The key of bone i with its limbs swung by `swing` radians about x (legs and arms in opposition).
QkmKey HumanoidKey(int i, float swing) {
    const Part& p = kParts[i];
    QkmKey k;
    SetKeyPosition(&k, p.at[0], p.at[1], p.at[2]);
    const bool leftLeg = i == 12, rightLeg = i == 15, leftArm = i == 4, rightArm = i == 7;
    float angle = 0.0f;
    if (leftLeg || rightArm) angle = swing;
    if (rightLeg || leftArm) angle = -swing;
    QkmKeyRotation(&k, angle, 1, 0, 0);
    return k;
}

// Appends a cycle of `count` frames (a full swing of the limbs, root motion `step` along z on
// every frame after the first) and returns its first frame.
int AppendCycle(QkmModel* m, int count, float step) {
    const int first = m->frameCount;
    for (int f = 0; f < count; ++f) {
        const float swing = 0.3f * std::sin(2.0f * kPi * float(f) / float(count));
        for (int i = 0; i < 18; ++i) m->bones[size_t(i)].keys.push_back(HumanoidKey(i, swing));
        if (f > 0) m->rootMotion.push_back({first + f, {0.0f, 0.0f, step}});
    }
    m->frameCount += count;
    return first;
}

ModelAnimationSpec* FindAnimation(QkmModel* m, const char* name) {
    for (ModelAnimationSpec& a : m->animations)
        if (a.name == name) return &a;
    return nullptr;
}

}  // namespace

QkmModel QkmHumanoid() {
    QkmModel m;
    m.version = 3;
    m.flags = 8 | 16 | 64;
    for (int i = 0; i < 3; ++i) {
        m.scale[i] = 2.0f;
        m.offset[i] = -256.0f;
    }
    m.radius = 120.0f;
    m.frameCount = kHumanoidAnimationCount * kFramesEach;
    for (int a = 0; a < kHumanoidAnimationCount; ++a)
        m.animations.push_back({0.1f, a * kFramesEach, a * kFramesEach + kFramesEach - 1, kHumanoidAnimations[a]});

    for (int i = 0; i < 18; ++i) {
        const Part& p = kParts[i];
        const bool mesh = p.hi[1] > p.lo[1];
        QkmBone b = mesh ? BoxBone(i, p.name, p.lo, p.hi) : QkmBone{};
        b.number = i;
        b.name = p.name;
        for (int c = 0; c < 18; ++c)
            if (kParts[c].parent == i) b.children.push_back(c);
        // Limbs swing about x with the frame within its animation; the rest keep still.
        for (int f = 0; f < m.frameCount; ++f) b.keys.push_back(HumanoidKey(i, 0.3f * float(f % kFramesEach - 1)));
        m.bones.push_back(b);
    }
    // Forward motion along z on the frames after the first of "walk" and "run".
    for (int a : {2, 16}) {
        for (int step = 1; step < kFramesEach; ++step)
            m.rootMotion.push_back({a * kFramesEach + step, {0.0f, 0.0f, a == 2 ? 12.0f : 5.0f}});
    }
    QkmComputeBoxes(&m);
    return m;
}

QkmModel QkmCharacterBody() {
    QkmModel m = QkmHumanoid();
    // "stand" holds one frame, so a character standing still stays on that frame.
    ModelAnimationSpec* stand = FindAnimation(&m, "stand");
    stand->lastFrame = stand->firstFrame;
    struct Cycle {
        const char* name;
        int frames;
        float step;
    };
    // The game's movement negates a frame's root motion (the root moves backwards in model space
    // while the body walks forwards), so the cycles move the root along -z: the character goes
    // forward, along +z at heading 0.
    for (const Cycle& c : {Cycle{"walk", kCharacterWalkFrames, -5.0f}, Cycle{"run", kCharacterRunFrames, -12.0f},
                           Cycle{"run no weapon", kCharacterRunFrames, -12.0f}}) {
        ModelAnimationSpec* a = FindAnimation(&m, c.name);
        a->firstFrame = AppendCycle(&m, c.frames, c.step);
        a->lastFrame = a->firstFrame + c.frames - 1;
    }
    QkmComputeBoxes(&m);
    return m;
}

}  // namespace dk
