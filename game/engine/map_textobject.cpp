// The object block of the text maps: a braced block of lines giving the object's name, type,
// collision and turning settings (by dialect), its vertices and its surfaces. Vertex and surface
// lines carry their own 0-based index; a line whose index lies outside the list is dropped.
#include <cstring>

#include "engine/lnd.h"
#include "engine/map_textmap.h"

namespace {

// The rest of the line after "name =" and one blank, taken verbatim (the line end and a carriage
// return before it are not part of the name).
void ReadName(MapTextReader* r, char* name) {
    if (!MAP_TextScan(&r->text, "name =")) return;
    int c = MAP_TextGetc(&r->text);
    if (c >= 0 && c != ' ') MAP_TextUngetc(&r->text);
    char text[LND_OBJECT_NAME_SIZE + 1];  // room for 16 characters, a carriage return and more
    size_t n = 0;
    bool tooLong = false;
    for (; (c = MAP_TextGetc(&r->text)) >= 0 && c != '\n';) {
        if (n + 1 < sizeof text)
            text[n++] = char(c);
        else
            tooLong = true;
    }
    if (!tooLong && n > 0 && text[n - 1] == '\r') --n;
    if (tooLong || n > 16) return MAP_TextRefuse(r, "object name longer than 16 characters");
    std::memcpy(name, text, n);
    name[n] = 0;
}

// A list count read from "label = %d" lines: at least one character of the file per entry.
bool CheckListCount(MapTextReader* r, int count) {
    if (count >= 0 && size_t(count) <= MAP_TextLeft(&r->text)) return true;
    MAP_TextRefuse(r, "object list longer than the file");
    return false;
}

void ReadVertices(MapTextReader* r, LandscapeObject* o) {
    int count = o->vertexCount;
    MAP_TextScan(&r->text, "vertices = %d\n", &count);
    if (!CheckListCount(r, count)) return;
    MAP_Free(o->vertices);
    o->vertices = nullptr;
    o->vertexCount = count;
    if (count > 0) {
        o->vertices = static_cast<Vec3*>(MAP_AllocZeroed("object vertices", size_t(count) * sizeof(Vec3)));
        if (!o->vertices) {
            o->vertexCount = 0;
            return MAP_TextRefuse(r, "out of memory");
        }
    }
    for (int i = 0; i < count && MAP_TextLeft(&r->text) > 0; ++i) {
        int index = -1;
        if (!MAP_TextScan(&r->text, "V%d", &index)) continue;
        Vec3 scratch{};
        Vec3* p = index >= 0 && index < count ? &o->vertices[index] : &scratch;
        MAP_TextScan(&r->text, ":\tx = %f, y = %f, z = %f\n", &p->x, &p->y, &p->z);
    }
}

void ReadSurfaceLine(MapTextReader* r, ObjectSurface* s) {
    if (r->dialect == MAP_DIALECT_ALM) {
        int texture = s->currentTexture;
        MAP_TextScan(&r->text,
                     ":\tvrefs = [%d, %d, %d], texture = %d, uv's = [%f, %f], [%f, %f], [%f, %f]\n", &s->vrefs[0],
                     &s->vrefs[1], &s->vrefs[2], &texture, &s->u[0], &s->v[0], &s->u[1], &s->v[1], &s->u[2],
                     &s->v[2]);
        MAP_TextStoreU16(r, texture, &s->currentTexture, "object surface texture out of range");
        s->frames[0] = s->currentTexture;
    } else {
        int lmode = s->lmode, frameCount = s->frameCount;
        MAP_TextScan(&r->text,
                     ":\tvrefs = [%d, %d, %d], uv's = [%f, %f], [%f, %f], [%f, %f], lmode = %d, mode = %d, "
                     "frametime = %f, nframes = %d, frames = [",
                     &s->vrefs[0], &s->vrefs[1], &s->vrefs[2], &s->u[0], &s->v[0], &s->u[1], &s->v[1], &s->u[2],
                     &s->v[2], &lmode, &s->mode, &s->frameTime, &frameCount);
        if (lmode < 0 || lmode > 0xFF) return MAP_TextRefuse(r, "object surface lighting mode out of range");
        s->lmode = uint8_t(lmode);
        MAP_TextStoreFrameCount(r, frameCount, &s->frameCount);
        if (r->refusal) return;
        if (MAP_TextReadFrameList(r, s->frames, s->frameCount))
            MAP_TextFinishFrames(r, s->frames, s->frameCount, &s->currentTexture);
        s->currentFrame = 0;
    }
    s->hasNormal = 0;
    s->flags &= ~1u;
}

void ReadSurfaces(MapTextReader* r, LandscapeObject* o) {
    int count = o->surfaceCount;
    MAP_TextScan(&r->text, "surfaces = %d\n", &count);
    if (!CheckListCount(r, count)) return;
    MAP_Free(o->objectSurfaces);
    o->objectSurfaces = nullptr;
    o->surfaceCount = count;
    if (count > 0) {
        o->objectSurfaces =
            static_cast<ObjectSurface*>(MAP_AllocZeroed("object surfaces", size_t(count) * sizeof(ObjectSurface)));
        if (!o->objectSurfaces) {
            o->surfaceCount = 0;
            return MAP_TextRefuse(r, "out of memory");
        }
    }
    for (int i = 0; i < count && MAP_TextLeft(&r->text) > 0 && !r->refusal; ++i) {
        int index = -1;
        if (!MAP_TextScan(&r->text, "S%d", &index)) continue;
        ObjectSurface scratch{};
        ReadSurfaceLine(r, index >= 0 && index < count ? &o->objectSurfaces[index] : &scratch);
    }
}

}  // namespace

void MAP_TextReadObject(MapTextReader* r, LandscapeObject* o) {
    MAP_TextScan(&r->text, ":\n");
    MAP_TextScan(&r->text, "{\n");
    ReadName(r, o->name);
    MAP_TextScan(&r->text, "type = %d\n", &o->type);
    if (r->dialect != MAP_DIALECT_ALM) MAP_TextScan(&r->text, "collision mode = %d\n", &o->collisionMode);
    MAP_TextScan(&r->text, "position ref = %d\n", &o->positionRef);
    if (r->dialect == MAP_DIALECT_CLM)
        MAP_TextScan(&r->text, "rotations = [%d][%f, %f, %f]\n", &o->spinMode, &o->spin.x, &o->spin.y, &o->spin.z);
    if (r->refusal) return;
    ReadVertices(r, o);
    if (r->refusal) return;
    // The surface under the origin is found when the object is set up, after the whole map has
    // been checked: a lookup now would walk edges and vertices whose indices nobody has checked.
    o->surface = 0;
    ReadSurfaces(r, o);
    if (r->refusal) return;
    MAP_TextScan(&r->text, "}\n");
}
