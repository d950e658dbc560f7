// The binary map reader (.zlm): little-endian fields without padding, read one by one in file
// order. A .zlm map carries everything the load driver would compute for a text map, so its
// values are used as stored. A file that ends early stops the reader: the field it ends in and
// everything after stay zero. Counts beyond the fixed lists, names beyond their buffers, and
// lists that the rest of the file cannot hold refuse the map.
#include <cstring>
#include <vector>

#include "engine/lnd.h"
#include "engine/map_read.h"

namespace {

// Bytes of an object-surface record without frames, and of an object vertex.
constexpr size_t kObjectSurfaceBytes = 12 + 2 + 60 + 1 + 12 + 4 + 1 + 2 + 2 + 4;
constexpr size_t kObjectVertexBytes = 12;

struct ZlmReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
    const char* refusal;
    bool cut;  // the file ended inside a field

    size_t Left() const { return pos < size ? size - pos : 0; }
    bool Ended() const { return pos >= size; }
    // n bytes, or null once the file has ended (a field cut short is dropped with the rest).
    const uint8_t* Take(size_t n) {
        if (Left() < n) {
            pos = size;
            cut = true;
            return nullptr;
        }
        const uint8_t* p = data + pos;
        pos += n;
        return p;
    }
    static uint32_t Le(const uint8_t* p, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
        return v;
    }
    void U8(uint8_t* out) {
        if (const uint8_t* p = Take(1)) *out = p[0];
    }
    void U16(uint16_t* out) {
        if (const uint8_t* p = Take(2)) *out = uint16_t(Le(p, 2));
    }
    void I16(int16_t* out) {
        if (const uint8_t* p = Take(2)) *out = int16_t(uint16_t(Le(p, 2)));
    }
    void U32(uint32_t* out) {
        if (const uint8_t* p = Take(4)) *out = Le(p, 4);
    }
    void I32(int32_t* out) {
        if (const uint8_t* p = Take(4)) *out = int32_t(Le(p, 4));
    }
    void F32(float* out) {
        if (const uint8_t* p = Take(4)) {
            const uint32_t v = Le(p, 4);
            std::memcpy(out, &v, 4);
        }
    }
    void Vec(Vec3* out) {
        F32(&out->x);
        F32(&out->y);
        F32(&out->z);
    }
    // Bytes up to and including a zero byte into out (maxLength + 1 bytes); false when no zero
    // byte comes within maxLength + 1 bytes. A text cut short by the end of the file is dropped.
    bool Text(char* out, size_t maxLength) {
        const size_t start = pos;
        for (size_t p = start; p < size && p - start <= maxLength; ++p) {
            if (data[p] != 0) continue;
            std::memcpy(out, data + start, p - start);
            out[p - start] = 0;
            pos = p + 1;
            return true;
        }
        if (size - start > maxLength) return false;
        pos = size;
        cut = true;
        return true;
    }
    // Like Text, but the text also ends after length bytes without a zero byte.
    void FixedText(char* out, size_t length) {
        const size_t start = pos;
        for (size_t p = start; p < size && p - start < length; ++p) {
            if (data[p] != 0) continue;
            std::memcpy(out, data + start, p - start);
            out[p - start] = 0;
            pos = p + 1;
            return;
        }
        if (size - start < length) {
            pos = size;
            cut = true;
            return;
        }
        std::memcpy(out, data + start, length);
        out[length] = 0;
        pos = start + length;
    }
    void Refuse(const char* what) {
        if (!refusal) refusal = what;
        pos = size;
    }
};

void ReadSurface(ZlmReader* z, LandscapeSurface* s) {
    for (int i = 0; i < 3; ++i) {
        z->U16(&s->edges[i]);
        z->F32(&s->cornerRed[i]);
        z->F32(&s->cornerGreen[i]);
        z->F32(&s->cornerBlue[i]);
    }
    z->U16(&s->material);
    z->U32(&s->extension);
    z->Vec(&s->normal);
    z->Vec(&s->flow);
    z->Vec(&s->gravity);
    z->F32(&s->resistance);
    z->U16(&s->objectCount);
    if (s->objectCount > LND_SURFACE_OBJECTS_MAX) return z->Refuse("more than 16 objects on a surface");
    for (int i = 0; i < s->objectCount; ++i) z->U16(&s->objectList[i]);
    z->U8(&s->lightCount);
    if (s->lightCount > LND_LIGHTS_MAX) return z->Refuse("more than 32 lights on a surface");
    for (int i = 0; i < s->lightCount; ++i) z->U8(&s->lightList[i]);
    if (z->cut) return;
    s->flags = (s->flags & ~1u) | 2u;
    s->flags32 |= 1u;
}

void ReadExtension(ZlmReader* z, SurfaceExtension* x) {
    z->I32(&x->byteCount);
    if (x->byteCount < 0 || size_t(x->byteCount) > z->Left())
        return z->Refuse("extension size beyond the end of the file");
    if (x->byteCount > 0) {
        x->data = static_cast<uint8_t*>(MAP_AllocZeroed("extension data", size_t(x->byteCount)));
        if (!x->data) return z->Refuse("out of memory");
        std::memcpy(x->data, z->Take(size_t(x->byteCount)), size_t(x->byteCount));
    }
    x->flags &= ~1u;
}

void ReadTexture(ZlmReader* z, LandscapeTexture* t) {
    if (!z->Text(t->fileName, LND_TEXTURE_NAME_SIZE - 1)) return z->Refuse("texture file name too long");
    z->FixedText(t->suffix, LND_TEXTURE_SUFFIX_SIZE - 1);
    z->I32(&t->mode);
    t->flags &= ~3u;
}

// *frameCount frames (none when it is 0 or less); more than the list holds refuses the map. A
// count below 0 is stored as 0: no frames, an animation stopped on its first frame.
void ReadFrames(ZlmReader* z, int16_t* frameCount, uint16_t* frames) {
    if (*frameCount < 0) *frameCount = 0;
    if (*frameCount > LND_FRAMES_MAX) return z->Refuse("more than 32 frames");
    for (int i = 0; i < *frameCount; ++i) z->U16(&frames[i]);
}

void ReadMaterial(ZlmReader* z, LandscapeMaterial* m) {
    z->U16(&m->currentTexture);
    z->I32(&m->mode);
    z->I32(&m->lmode);
    z->I16(&m->frameCount);
    z->U16(&m->currentFrame);
    z->F32(&m->frameTime);
    ReadFrames(z, &m->frameCount, m->frames);
    for (int i = 0; i < 3; ++i) {
        z->F32(&m->u[i]);
        z->F32(&m->v[i]);
    }
    z->I16(&m->uvAnimKind);
    z->F32(&m->uvAnimAngle);
    z->F32(&m->uvAnimR);
    z->F32(&m->uvAnimCu);
    z->F32(&m->uvAnimCv);
    z->F32(&m->uvAnimSpare[0]);
    z->F32(&m->uvAnimSpare[1]);
    z->F32(&m->uvAnimDu);
    z->F32(&m->uvAnimDv);
    m->flags &= ~1u;
}

void ReadLight(ZlmReader* z, LandscapeLight* g) {
    z->I32(&g->type);
    z->Vec(&g->position);
    z->Vec(&g->unitDirection);
    z->Vec(&g->direction);
    z->F32(&g->range);
    z->F32(&g->colour[0]);
    z->F32(&g->colour[1]);
    z->F32(&g->colour[2]);
    z->F32(&g->coneAngle);
    g->flags &= ~1u;
}

void ReadObjectSurface(ZlmReader* z, ObjectSurface* s) {
    z->I32(&s->vrefs[0]);
    z->I32(&s->vrefs[1]);
    z->I32(&s->vrefs[2]);
    z->U16(&s->currentTexture);
    for (int i = 0; i < 3; ++i) {
        z->F32(&s->cornerRed[i]);
        z->F32(&s->cornerGreen[i]);
        z->F32(&s->cornerBlue[i]);
        z->F32(&s->u[i]);
        z->F32(&s->v[i]);
    }
    z->U8(&s->hasNormal);
    z->Vec(&s->normal);
    z->I32(&s->mode);
    z->U8(&s->lmode);
    z->I16(&s->frameCount);
    z->U16(&s->currentFrame);
    z->F32(&s->frameTime);
    ReadFrames(z, &s->frameCount, s->frames);
    s->flags &= ~1u;
}

void ReadObject(ZlmReader* z, LandscapeObject* o) {
    char name[LND_OBJECT_NAME_SIZE] = {};
    if (const uint8_t* p = z->Take(17)) std::memcpy(name, p, 17);
    std::memcpy(o->name, name, sizeof name);
    z->I32(&o->type);
    z->I32(&o->active);
    z->I32(&o->collisionMode);
    z->I32(&o->positionRef);
    z->I32(&o->spinMode);
    z->Vec(&o->angle);
    z->Vec(&o->spin);
    z->I32(&o->surface);
    z->F32(&o->depth);
    z->F32(&o->height);
    z->Vec(&o->extent);
    z->F32(&o->radius);
    z->F32(&o->planRadius);
    int32_t vertexCount = 0;
    z->I32(&vertexCount);
    if (vertexCount < 0 || size_t(vertexCount) > z->Left() / kObjectVertexBytes)
        return z->Refuse("object vertex list beyond the end of the file");
    if (vertexCount > 0) {
        o->vertices = static_cast<Vec3*>(MAP_AllocZeroed("object vertices", size_t(vertexCount) * sizeof(Vec3)));
        if (!o->vertices) return z->Refuse("out of memory");
        o->vertexCount = vertexCount;
        for (int32_t i = 0; i < vertexCount; ++i) z->Vec(&o->vertices[i]);
    }
    int32_t surfaceCount = 0;
    z->I32(&surfaceCount);
    if (surfaceCount < 0 || size_t(surfaceCount) > z->Left() / kObjectSurfaceBytes)
        return z->Refuse("object surface list beyond the end of the file");
    if (surfaceCount > 0) {
        o->objectSurfaces =
            static_cast<ObjectSurface*>(MAP_AllocZeroed("object surfaces", size_t(surfaceCount) * sizeof(ObjectSurface)));
        if (!o->objectSurfaces) return z->Refuse("out of memory");
        o->surfaceCount = surfaceCount;
        for (int32_t i = 0; i < surfaceCount && !z->refusal; ++i) {
            ReadObjectSurface(z, &o->objectSurfaces[i]);
            o->flags &= ~2u;
        }
    }
    z->U8(&o->lightCount);
    if (o->lightCount > LND_LIGHTS_MAX) return z->Refuse("more than 32 lights on an object");
    for (int i = 0; i < o->lightCount; ++i) z->U8(&o->lightList[i]);
}

}  // namespace

int MAP_ReadZlm(const char* path, const std::vector<uint8_t>& bytes) {
    Landscape* l = g_Landscape;
    if (!l) return MAP_READ_NO_FILE;
    if (l->vertices) return MAP_Refuse(path, "landscape already filled");
    ZlmReader z{bytes.data(), bytes.size(), 0, nullptr, false};
    g_MapTextureDirectory[0] = 0;
    g_MapName[0] = 0;

    uint32_t word = 0;
    z.U32(&word);
    z.U16(&l->vertexCount);
    z.U16(&l->edgeCount);
    z.U16(&l->surfaceCount);
    z.U16(&l->extensionCount);
    z.U16(&l->textureCount);
    z.U16(&l->materialCount);
    z.U8(&l->lightCount);
    uint16_t objectCount = 0;
    z.U16(&objectCount);
    l->objectCount = objectCount;
    if (l->lightCount > LND_LIGHTS_MAX) return MAP_Refuse(path, "more than 32 lights");
    if (!LND_AllocateArrays(l)) return MAP_Refuse(path, "out of memory");
    if (!z.Text(g_MapTextureDirectory, MAP_TEXTURE_DIRECTORY_SIZE - 1))
        return MAP_Refuse(path, "texture directory too long");

    for (int i = 1; i <= l->vertexCount && !z.Ended(); ++i) {
        LandscapeVertex& v = l->vertices[i];
        z.Vec(&v.position);
        v.flags &= ~1u;
    }
    for (int i = 1; i <= l->edgeCount && !z.Ended(); ++i) {
        LandscapeEdge& e = l->edges[i];
        z.U16(&e.vertex1);
        z.U16(&e.vertex2);
        z.U16(&e.otherEdge);
        z.U16(&e.surface);
        e.flags &= ~1u;
    }
    for (int i = 1; i <= l->surfaceCount && !z.Ended(); ++i) ReadSurface(&z, &l->surfaces[i]);
    for (int i = 1; i <= l->extensionCount && !z.Ended(); ++i) ReadExtension(&z, &l->extensions[i]);
    for (int i = 1; i <= l->textureCount && !z.Ended(); ++i) ReadTexture(&z, &l->textures[i]);
    for (int i = 1; i <= l->materialCount && !z.Ended(); ++i) ReadMaterial(&z, &l->materials[i]);
    for (float& c : l->ambientColour) z.F32(&c);
    for (int i = 1; i <= l->lightCount && !z.Ended(); ++i) ReadLight(&z, &l->lights[i]);
    for (int32_t i = 1; i <= l->objectCount && !z.Ended(); ++i) ReadObject(&z, &l->objects[i]);
    if (z.refusal) return MAP_Refuse(path, z.refusal);
    return MAP_READ_OK;
}
