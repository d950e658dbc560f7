// The text map readers (.alm, .blm, .clm): one skeleton for the three dialects. The file is read
// one character at a time; a tag character starts a record whose fields follow it, and every
// other character is ignored. A record that stops matching its template keeps the fields it
// did not reach, and reading goes on with the next character. A record whose own index lies
// outside its array (or that comes before the totals record) is read and dropped. Counts,
// indices and names that would not fit where they are stored refuse the map.
#include <cstring>
#include <vector>

#include "engine/lnd.h"
#include "engine/map_read.h"
#include "engine/map_textmap.h"
#include "engine/lnd_light.h"

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// The record of array at a 1-based index; null when the index lies outside the array or the
// arrays are not made yet.
template <typename T>
T* RecordAt(const MapTextReader* r, T* array, int count, int index) {
    if (!r->haveTotals || !array || index < 1 || index > count) return nullptr;
    return &array[index];
}

// The record's own index; false when there is none (the record ends there).
bool ReadIndex(MapTextReader* r, int* index) {
    *index = 0;
    return MAP_TextScan(&r->text, "%d", index);
}

void ReadTotals(MapTextReader* r) {
    Landscape* l = r->landscape;
    int v = 0, e = 0, s = 0, x = 0, f = 0, m = 0, lights = 0, o = 0, unused = 0;
    if (r->dialect == MAP_DIALECT_ALM)
        MAP_TextScan(&r->text, ":\tV=%d, E=%d, S=%d, X=%d, F=%d, M=%d, L=%d, O=%d, D=%d\n", &v, &e, &s, &x, &f, &m,
                     &lights, &o, &unused);
    else
        MAP_TextScan(&r->text, ":\tV=%d, E=%d, S=%d, X=%d, F=%d, M=%d, L=%d, O=%d", &v, &e, &s, &x, &f, &m, &lights,
                     &o);
    if (r->haveTotals) return;  // a second totals record is read and ignored
    r->haveTotals = true;
    for (int count : {v, e, s, x, f, m, o})
        if (count < 0 || count > 0xFFFF) return MAP_TextRefuse(r, "count out of range in the totals record");
    if (lights < 0 || lights > LND_LIGHTS_MAX) return MAP_TextRefuse(r, "more than 32 lights");
    l->vertexCount = uint16_t(v);
    l->edgeCount = uint16_t(e);
    l->surfaceCount = uint16_t(s);
    l->extensionCount = uint16_t(x);
    l->textureCount = uint16_t(f);
    l->materialCount = uint16_t(m);
    l->lightCount = uint8_t(lights);
    l->objectCount = o;
    if (!LND_AllocateArrays(l)) MAP_TextRefuse(r, "out of memory");
}

void ReadAmbient(MapTextReader* r) {
    Landscape* l = r->landscape;
    MAP_TextScan(&r->text,
                 ":\tambient colour = [%f, %f, %f], background colour = [%f, %f, %f], fademode = %d, "
                 "fade threshold = %f, fade rate = %f\n",
                 &l->ambientColour[0], &l->ambientColour[1], &l->ambientColour[2], &l->backgroundColour[0],
                 &l->backgroundColour[1], &l->backgroundColour[2], &l->fadeMode, &l->fadeThreshold, &l->fadeRate);
    const float floor[4] = {l->ambientColour[0], l->ambientColour[1], l->ambientColour[2], 0.0f};
    LND_SetAmbientLight(floor);
}

void ReadCamera(MapTextReader* r, Matrix34* camera) {
    Landscape* l = r->landscape;
    float angle = 0.0f;
    Vec3 position{0.0f, 0.0f, 0.0f};
    if (r->dialect == MAP_DIALECT_ALM) {
        double heading = 0.0;
        MAP_TextScan(&r->text, ":\theading = %lf, position = [%f, %f, %f]\n", &heading, &position.x, &position.y,
                     &position.z);
        l->cameraPosition = Vec3{0.0f, 0.0f, 0.0f};
        l->cameraYaw = l->cameraPitch = l->cameraRadius = 0.0f;
        angle = float(heading);
    } else {
        MAP_TextScan(&r->text, ":\tposition = [%f, %f, %f], rotations = [%f, %f], camera radius = %f\n",
                     &l->cameraPosition.x, &l->cameraPosition.y, &l->cameraPosition.z, &l->cameraYaw,
                     &l->cameraPitch, &l->cameraRadius);
        angle = l->cameraYaw;
        position = l->cameraPosition;
    }
    MTH_MatrixRotation(camera, angle, MTH_AXIS_Y);
    camera->m[9] = position.x;
    camera->m[10] = position.y;
    camera->m[11] = position.z;
}

// The text after prefix up to the line end, white space dropped, into buffer. The prefix ends at
// its '=': a blank in a template would match the line end too, and an empty value would take
// the next line.
void ReadLineText(MapTextReader* r, const char* prefix, char* buffer, size_t size, const char* tooLong) {
    if (!MAP_TextScan(&r->text, prefix)) return;
    size_t n = 0;
    for (int c; (c = MAP_TextGetc(&r->text)) >= 0 && c != '\n';) {
        if (IsSpace(c)) continue;
        if (n + 1 >= size) return MAP_TextRefuse(r, tooLong);
        buffer[n++] = char(c);
    }
    buffer[n] = 0;
}

void ReadVertex(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeVertex scratch{};
    LandscapeVertex* v = RecordAt(r, l->vertices, l->vertexCount, index);
    if (!v) v = &scratch;
    MAP_TextScan(&r->text, ":\tx = %f, y = %f, z = %f\n", &v->position.x, &v->position.y, &v->position.z);
    v->flags &= ~1u;
}

void ReadEdge(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeEdge scratch{};
    LandscapeEdge* e = RecordAt(r, l->edges, l->edgeCount, index);
    if (!e) e = &scratch;
    int v1 = e->vertex1, v2 = e->vertex2, other = e->otherEdge, surface = e->surface;
    MAP_TextScan(&r->text, ":\tvertices = [%d, %d], other edge = %d, surface = %d\n", &v1, &v2, &other, &surface);
    MAP_TextStoreU16(r, v1, &e->vertex1, "edge vertex out of range");
    MAP_TextStoreU16(r, v2, &e->vertex2, "edge vertex out of range");
    MAP_TextStoreU16(r, other, &e->otherEdge, "twin edge out of range");
    MAP_TextStoreU16(r, surface, &e->surface, "edge surface out of range");
    e->flags &= ~1u;
}

void ReadSurface(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeSurface scratch{};
    LandscapeSurface* s = RecordAt(r, l->surfaces, l->surfaceCount, index);
    if (!s) s = &scratch;
    int e0 = s->edges[0], e1 = s->edges[1], e2 = s->edges[2], material = s->material;
    int extension = int(s->extension), object = 0;
    if (r->dialect == MAP_DIALECT_ALM)
        MAP_TextScan(&r->text, ":\tedges = [%d, %d, %d], material = %d, object = %d, extension = %d\n", &e0, &e1,
                     &e2, &material, &object, &extension);
    else
        MAP_TextScan(&r->text,
                     ":\tedges = [%d, %d, %d], material = %d, flowvector = [%f, %f, %f], resistance = %f, "
                     "gravity = [%f, %f, %f], extension = %d\n",
                     &e0, &e1, &e2, &material, &s->flow.x, &s->flow.y, &s->flow.z, &s->resistance, &s->gravity.x,
                     &s->gravity.y, &s->gravity.z, &extension);
    MAP_TextStoreU16(r, e0, &s->edges[0], "surface edge out of range");
    MAP_TextStoreU16(r, e1, &s->edges[1], "surface edge out of range");
    MAP_TextStoreU16(r, e2, &s->edges[2], "surface edge out of range");
    MAP_TextStoreU16(r, material, &s->material, "surface material out of range");
    if (extension < 0) return MAP_TextRefuse(r, "surface extension out of range");
    s->extension = uint32_t(extension);
    s->flags &= ~1u;
}

// One data byte: the next token (up to white space or a ':', which it consumes) read as a decimal
// integer, of which the low 8 bits are kept. False at the end of the text.
bool ReadDataByte(MapTextReader* r, uint8_t* out) {
    int c;
    while ((c = MAP_TextGetc(&r->text)) >= 0 && IsSpace(c)) {}
    if (c < 0) return false;
    bool negative = false, inNumber = true, first = true;
    uint32_t value = 0;
    for (; c >= 0 && !IsSpace(c) && c != ':'; c = MAP_TextGetc(&r->text), first = false) {
        if (first && (c == '-' || c == '+')) {
            negative = c == '-';
            continue;
        }
        if (inNumber && IsDigit(c))
            value = value * 10u + uint32_t(c - '0');  // wraps: only the low 8 bits count
        else
            inNumber = false;
    }
    if (c >= 0 && IsSpace(c)) MAP_TextUngetc(&r->text);
    *out = uint8_t(negative ? 0u - value : value);
    return true;
}

void ReadExtension(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    SurfaceExtension* x = RecordAt(r, l->extensions, l->extensionCount, index);
    int byteCount = x ? x->byteCount : 0;
    MAP_TextScan(&r->text, ":\tnbytes = %d, data : ", &byteCount);
    // Every byte takes at least one character of the file.
    if (byteCount < 0 || size_t(byteCount) > MAP_TextLeft(&r->text))
        return MAP_TextRefuse(r, "extension size beyond the end of the file");
    uint8_t* data = nullptr;
    if (x) {
        MAP_Free(x->data);
        x->data = nullptr;
        x->byteCount = byteCount;
        if (byteCount > 0) {
            data = x->data = static_cast<uint8_t*>(MAP_AllocZeroed("extension data", size_t(byteCount)));
            if (!data) return MAP_TextRefuse(r, "out of memory");
        }
        x->flags &= ~1u;
    }
    uint8_t scratch;
    for (int i = 0; i < byteCount; ++i)
        if (!ReadDataByte(r, data ? &data[i] : &scratch)) return;
}

// A texture file name: the next run of characters up to white space.
void ReadFileName(MapTextReader* r, char* fileName) {
    int c;
    while ((c = MAP_TextGetc(&r->text)) >= 0 && IsSpace(c)) {}
    if (c < 0) return;
    char name[LND_TEXTURE_NAME_SIZE];
    size_t n = 0;
    for (; c >= 0 && !IsSpace(c); c = MAP_TextGetc(&r->text)) {
        if (n + 1 >= sizeof name) return MAP_TextRefuse(r, "texture file name too long");
        name[n++] = char(c);
    }
    if (c >= 0) MAP_TextUngetc(&r->text);
    name[n] = 0;
    std::memcpy(fileName, name, n + 1);
}

void ReadTexture(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeTexture scratch{};
    LandscapeTexture* t = RecordAt(r, l->textures, l->textureCount, index);
    if (!t) t = &scratch;
    if (MAP_TextScan(&r->text, ":\tmode = %d, filename = ", &t->mode)) {
        ReadFileName(r, t->fileName);
        MAP_TextScan(&r->text, "\n");
    }
    t->flags &= ~3u;
}

void ReadMaterial(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeMaterial scratch{};
    LandscapeMaterial* m = RecordAt(r, l->materials, l->materialCount, index);
    if (!m) m = &scratch;
    if (r->dialect == MAP_DIALECT_ALM) {
        int texture = m->currentTexture;
        MAP_TextScan(&r->text, ":\ttexture = %d, uv's = [%f, %f] [%f, %f], [%f, %f]\n", &texture, &m->u[0], &m->v[0],
                     &m->u[1], &m->v[1], &m->u[2], &m->v[2]);
        MAP_TextStoreU16(r, texture, &m->currentTexture, "material texture out of range");
        m->flags &= ~1u;
        return;
    }
    int frameCount = m->frameCount;
    if (r->dialect == MAP_DIALECT_BLM) {
        MAP_TextScan(&r->text,
                     ":\tuv's = [%f, %f] [%f, %f], [%f, %f], lmode = %d, mode = %d, frametime = %f, nframes = %d, "
                     "frames = [",
                     &m->u[0], &m->v[0], &m->u[1], &m->v[1], &m->u[2], &m->v[2], &m->lmode, &m->mode, &m->frameTime,
                     &frameCount);
    } else {
        int kind = m->uvAnimKind;
        MAP_TextScan(&r->text,
                     ":\tuv's = [%f, %f] [%f, %f], [%f, %f], uv anim = [%d][cu = %f, cv = %f, r = %f, du = %f, "
                     "dv = %f], lmode = %d, mode = %d, frametime = %f, nframes = %d, frames = [",
                     &m->u[0], &m->v[0], &m->u[1], &m->v[1], &m->u[2], &m->v[2], &kind, &m->uvAnimCu, &m->uvAnimCv,
                     &m->uvAnimR, &m->uvAnimDu, &m->uvAnimDv, &m->lmode, &m->mode, &m->frameTime, &frameCount);
        if (kind < -0x8000 || kind > 0x7FFF) return MAP_TextRefuse(r, "material uv animation out of range");
        m->uvAnimKind = int16_t(kind);
        m->uvAnimAngle = 0.0f;
    }
    MAP_TextStoreFrameCount(r, frameCount, &m->frameCount);
    if (r->refusal) return;
    m->currentFrame = 0;
    m->flags &= ~1u;
    if (!MAP_TextReadFrameList(r, m->frames, m->frameCount)) return;
    MAP_TextFinishFrames(r, m->frames, m->frameCount, &m->currentTexture);
}

void ReadLight(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeLight scratch{};
    LandscapeLight* g = RecordAt(r, l->lights, l->lightCount, index);
    if (!g) g = &scratch;
    MAP_TextScan(&r->text,
                 ":\ttype = %d, position = [%f, %f, %f], direction = [%f, %f, %f], cone angle = %f, "
                 "rgb = [%f, %f, %f]\n",
                 &g->type, &g->position.x, &g->position.y, &g->position.z, &g->direction.x, &g->direction.y,
                 &g->direction.z, &g->coneAngle, &g->colour[0], &g->colour[1], &g->colour[2]);
    g->flags &= ~1u;
}

void ReadObject(MapTextReader* r) {
    Landscape* l = r->landscape;
    int index;
    if (!ReadIndex(r, &index)) return;
    LandscapeObject* o = RecordAt(r, l->objects, l->objectCount, index);
    if (o) {
        MAP_TextReadObject(r, o);
        return;
    }
    LandscapeObject scratch{};
    MAP_TextReadObject(r, &scratch);
    LND_FreeObjectLists(&scratch);
}

// A skipped block: its header lines, everything up to the next '}', and the rest of that line.
void SkipBlock(MapTextReader* r) {
    int index;
    MAP_TextScan(&r->text, "%d:\n", &index);
    MAP_TextScan(&r->text, "{\n");
    for (int c; (c = MAP_TextGetc(&r->text)) != '}';)
        if (c < 0) return;
    MAP_TextSkipLine(&r->text);
}

void Dispatch(MapTextReader* r, int tag, Matrix34* camera) {
    const bool alm = r->dialect == MAP_DIALECT_ALM;
    switch (tag) {
    case '#': {
        int major, minor;
        MAP_TextScan(&r->text, ":\tversion = %d.%02d\n", &major, &minor);
        break;
    }
    case '/': MAP_TextSkipLine(&r->text); break;
    case 'T': ReadTotals(r); break;
    case 'A':
        if (!alm) ReadAmbient(r);
        break;
    case 'C': ReadCamera(r, camera); break;
    case 'D':
        if (!alm)
            ReadLineText(r, ":\tTexture directory =", g_MapTextureDirectory, sizeof g_MapTextureDirectory,
                         "texture directory too long");
        break;
    case 'N':
        if (!alm) ReadLineText(r, ":\tMap name =", g_MapName, sizeof g_MapName, "map name too long");
        break;
    case 'V': ReadVertex(r); break;
    case 'E': ReadEdge(r); break;
    case 'S': ReadSurface(r); break;
    case 'X': ReadExtension(r); break;
    case 'F': ReadTexture(r); break;
    case 'M': ReadMaterial(r); break;
    case 'L':
        if (!alm) ReadLight(r);
        break;
    case 'O': ReadObject(r); break;
    case 'W': SkipBlock(r); break;
    default: break;  // not a tag: ignored
    }
}

int ReadTextMap(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes, MapDialect dialect) {
    g_MapTextureDirectory[0] = 0;
    g_MapName[0] = 0;
    Landscape* l = g_Landscape;
    if (!l || !camera) return MAP_READ_NO_FILE;
    if (l->vertices) return MAP_Refuse(path, "landscape already filled");
    l->vertexCount = l->edgeCount = l->surfaceCount = l->extensionCount = 0;
    l->textureCount = l->materialCount = 0;
    l->lightCount = 0;
    l->objectCount = 0;
    MapTextReader r{{bytes.data(), bytes.size(), 0}, dialect, l, false, nullptr};
    for (int c; !r.refusal && (c = MAP_TextGetc(&r.text)) >= 0;) Dispatch(&r, c, camera);
    if (r.refusal) return MAP_Refuse(path, r.refusal);
    // A map without a totals record still gets its (empty) arrays.
    if (!r.haveTotals && !LND_AllocateArrays(l)) return MAP_Refuse(path, "out of memory");
    if (dialect == MAP_DIALECT_ALM) {
        if (!MAP_ApplyAlmDefaults()) return MAP_Refuse(path, "out of memory");
        MAP_ClearAnimationFields();
    } else if (dialect == MAP_DIALECT_BLM) {
        MAP_ClearAnimationFields();
    }
    return MAP_READ_OK;
}

}  // namespace

void MAP_TextRefuse(MapTextReader* r, const char* what) {
    if (!r->refusal) r->refusal = what;
}

void MAP_TextStoreU16(MapTextReader* r, int value, uint16_t* field, const char* what) {
    if (value < 0 || value > 0xFFFF) return MAP_TextRefuse(r, what);
    *field = uint16_t(value);
}

void MAP_TextStoreFrameCount(MapTextReader* r, int value, int16_t* field) {
    if (value > LND_FRAMES_MAX) return MAP_TextRefuse(r, "more than 32 frames");
    *field = int16_t(value < 0 ? 0 : value);
}

bool MAP_TextReadFrameList(MapTextReader* r, uint16_t* frames, int count) {
    for (int i = 0; i < count && i < LND_FRAMES_MAX; ++i) {
        int c;
        while ((c = MAP_TextGetc(&r->text)) >= 0 && !IsDigit(c)) {}
        if (c < 0) return false;  // the end of the file ends the record
        uint32_t value = 0;
        for (; c >= 0 && IsDigit(c); c = MAP_TextGetc(&r->text))
            if (value <= 0xFFFF) value = value * 10u + uint32_t(c - '0');
        if (c >= 0) MAP_TextUngetc(&r->text);
        if (value > 0xFFFF) {
            MAP_TextRefuse(r, "frame texture out of range");
            return false;
        }
        frames[i] = uint16_t(value);
    }
    return true;
}

void MAP_TextFinishFrames(MapTextReader* r, uint16_t* frames, int frameCount, uint16_t* currentTexture) {
    // The rest of the line goes with its line end: an object's next surface line must start
    // where its "S%d" is read.
    MAP_TextSkipLine(&r->text);
    MAP_TextGetc(&r->text);
    for (int i = frameCount < 0 ? 0 : frameCount; i < LND_FRAMES_MAX; ++i) frames[i] = frames[0];
    *currentTexture = frames[0];
}

int MAP_ReadAlm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes) {
    return ReadTextMap(camera, path, bytes, MAP_DIALECT_ALM);
}

int MAP_ReadBlm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes) {
    return ReadTextMap(camera, path, bytes, MAP_DIALECT_BLM);
}

int MAP_ReadClm(Matrix34* camera, const char* path, const std::vector<uint8_t>& bytes) {
    return ReadTextMap(camera, path, bytes, MAP_DIALECT_CLM);
}
