// The .zlm writer (see map_zlm.h).
#include "datakit/map_zlm.h"

#include "datakit/bytes.h"

namespace dk {

namespace {

void Vec(Bytes& b, const MapVec& v) {
    b.f32(v[0]).f32(v[1]).f32(v[2]);
}

// Text up to and including its zero byte.
void Text(Bytes& b, const std::string& s) {
    b.str(s).u8(0);
}

void Frames(Bytes& b, const std::vector<uint16_t>& frames) {
    for (uint16_t f : frames) b.u16(f);
}

void Surface(Bytes& b, const MapSurface& s) {
    for (int i = 0; i < 3; ++i) b.u16(s.edges[i]).f32(s.red[i]).f32(s.green[i]).f32(s.blue[i]);
    b.u16(s.material).u32(s.extension);
    Vec(b, s.normal);
    Vec(b, s.flow);
    Vec(b, s.gravity);
    b.f32(s.resistance);
    b.u16(uint32_t(s.objects.size()));
    for (uint16_t o : s.objects) b.u16(o);
    b.u8(uint32_t(s.lights.size()));
    for (uint8_t l : s.lights) b.u8(l);
}

void Texture(Bytes& b, const MapTexture& t) {
    Text(b, t.fileName);
    // The suffix ends after 17 bytes even without a zero byte.
    if (t.suffix.size() >= 17)
        b.str(t.suffix.substr(0, 17));
    else
        Text(b, t.suffix);
    b.i32(t.mode);
}

void Material(Bytes& b, const MapMaterial& m) {
    b.u16(m.currentTexture).i32(m.mode).i32(m.lmode).i16(int32_t(m.frames.size())).u16(m.currentFrame).f32(m.frameTime);
    Frames(b, m.frames);
    for (int i = 0; i < 3; ++i) b.f32(m.u[i]).f32(m.v[i]);
    b.i16(m.uv.kind).f32(m.uv.angle).f32(m.uv.r).f32(m.uv.cu).f32(m.uv.cv).f32(m.uv.spare[0]).f32(m.uv.spare[1]);
    b.f32(m.uv.du).f32(m.uv.dv);
}

void Light(Bytes& b, const MapLight& l) {
    b.i32(l.type);
    Vec(b, l.position);
    Vec(b, l.unitDirection);
    Vec(b, l.direction);
    b.f32(l.range);
    Vec(b, l.colour);
    b.f32(l.coneAngle);
}

void ObjectSurface(Bytes& b, const MapObjectSurface& s) {
    b.i32(s.vrefs[0]).i32(s.vrefs[1]).i32(s.vrefs[2]).u16(s.currentTexture);
    for (int i = 0; i < 3; ++i) b.f32(s.red[i]).f32(s.green[i]).f32(s.blue[i]).f32(s.u[i]).f32(s.v[i]);
    b.u8(s.hasNormal);
    Vec(b, s.normal);
    b.i32(s.mode).u8(s.lmode).i16(int32_t(s.frames.size())).u16(s.currentFrame).f32(s.frameTime);
    Frames(b, s.frames);
}

void Object(Bytes& b, const MapObject& o) {
    const std::string name = o.name.substr(0, 17);  // 17 bytes, zero padded
    b.str(name).zeros(17 - name.size());
    b.i32(o.type).i32(o.active).i32(o.collisionMode).i32(o.positionRef).i32(o.spinMode);
    Vec(b, o.angle);
    Vec(b, o.spin);
    b.i32(o.surface).f32(o.depth).f32(o.height);
    Vec(b, o.extent);
    b.f32(o.radius).f32(o.planRadius).i32(int32_t(o.vertices.size()));
    for (const MapVec& v : o.vertices) Vec(b, v);
    b.i32(int32_t(o.surfaces.size()));
    for (const MapObjectSurface& s : o.surfaces) ObjectSurface(b, s);
    b.u8(uint32_t(o.lights.size()));
    for (uint8_t l : o.lights) b.u8(l);
}

}  // namespace

std::vector<uint8_t> ZlmBytes(const MapData& map) {
    Bytes b;
    b.u32(map.word);
    b.u16(uint32_t(map.vertices.size())).u16(uint32_t(map.edges.size())).u16(uint32_t(map.surfaces.size()));
    b.u16(uint32_t(map.extensions.size())).u16(uint32_t(map.textures.size())).u16(uint32_t(map.materials.size()));
    b.u8(uint32_t(map.lights.size())).u16(uint32_t(map.objects.size()));
    Text(b, map.textureDirectory);
    for (const MapVec& v : map.vertices) Vec(b, v);
    for (const MapEdge& e : map.edges) b.u16(e.vertex1).u16(e.vertex2).u16(e.otherEdge).u16(e.surface);
    for (const MapSurface& s : map.surfaces) Surface(b, s);
    for (const std::vector<uint8_t>& x : map.extensions) b.i32(int32_t(x.size())).raw(x);
    for (const MapTexture& t : map.textures) Texture(b, t);
    for (const MapMaterial& m : map.materials) Material(b, m);
    Vec(b, map.ambient);
    for (const MapLight& l : map.lights) Light(b, l);
    for (const MapObject& o : map.objects) Object(b, o);
    return b.data;
}

bool WriteZlm(const std::string& path, const MapData& map) {
    return WriteFile(path, ZlmBytes(map));
}

}  // namespace dk
