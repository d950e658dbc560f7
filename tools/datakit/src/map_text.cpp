// The text map writer (see map_text.h).
#include "datakit/map_text.h"

#include <charconv>
#include <cstdio>

#include "datakit/bytes.h"

namespace dk {

namespace {

std::string N(float v) {
    return MapNumber(v);
}

std::string I(long long v) {
    return std::to_string(v);
}

// "[a, b, c]"
std::string Triple(const MapVec& v) {
    return "[" + N(v[0]) + ", " + N(v[1]) + ", " + N(v[2]) + "]";
}

std::string FrameList(const std::vector<uint16_t>& frames) {
    std::string s = "nframes = " + I(long(frames.size())) + ", frames = [";
    for (size_t i = 0; i < frames.size(); ++i) s += (i ? ", " : "") + I(frames[i]);
    return s + "]";
}

void Object(std::string& out, size_t index, const MapObject& o, TextDialect d) {
    out += "O" + I(long(index)) + ":\n{\n";
    out += "name = " + o.name + "\n";
    out += "type = " + I(o.type) + "\n";
    if (d != TextDialect::Alm) out += "collision mode = " + I(o.collisionMode) + "\n";
    out += "position ref = " + I(o.positionRef) + "\n";
    if (d == TextDialect::Clm)
        out += "rotations = [" + I(o.spinMode) + "][" + N(o.spin[0]) + ", " + N(o.spin[1]) + ", " + N(o.spin[2]) + "]\n";
    out += "vertices = " + I(long(o.vertices.size())) + "\n";
    for (size_t i = 0; i < o.vertices.size(); ++i) {
        const MapVec& v = o.vertices[i];
        out += "V" + I(long(i)) + ":\tx = " + N(v[0]) + ", y = " + N(v[1]) + ", z = " + N(v[2]) + "\n";
    }
    out += "surfaces = " + I(long(o.surfaces.size())) + "\n";
    for (size_t i = 0; i < o.surfaces.size(); ++i) {
        const MapObjectSurface& s = o.surfaces[i];
        std::string uv = "uv's = [" + N(s.u[0]) + ", " + N(s.v[0]) + "], [" + N(s.u[1]) + ", " + N(s.v[1]) + "], [" +
                         N(s.u[2]) + ", " + N(s.v[2]) + "]";
        out += "S" + I(long(i)) + ":\tvrefs = [" + I(s.vrefs[0]) + ", " + I(s.vrefs[1]) + ", " + I(s.vrefs[2]) + "], ";
        if (d == TextDialect::Alm)
            out += "texture = " + I(s.currentTexture) + ", " + uv + "\n";
        else
            out += uv + ", lmode = " + I(s.lmode) + ", mode = " + I(s.mode) + ", frametime = " + N(s.frameTime) + ", " +
                   FrameList(s.frames) + "\n";
    }
    out += "}\n";
}

}  // namespace

std::string MapNumber(float value) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string TextMapString(const MapData& m, TextDialect d) {
    const bool alm = d == TextDialect::Alm;
    std::string out;
    char version[64];
    std::snprintf(version, sizeof version, "#:\tversion = %d.%02d\n", m.versionMajor, m.versionMinor);
    out += version;
    out += "// " + (m.mapName.empty() ? std::string("landscape map") : m.mapName) + "\n";
    out += "T:\tV=" + I(long(m.vertices.size())) + ", E=" + I(long(m.edges.size())) + ", S=" + I(long(m.surfaces.size())) +
           ", X=" + I(long(m.extensions.size())) + ", F=" + I(long(m.textures.size())) +
           ", M=" + I(long(m.materials.size())) + ", L=" + I(alm ? 0 : long(m.lights.size())) +
           ", O=" + I(long(m.objects.size())) + (alm ? ", D=0" : "") + "\n";
    if (alm) {
        char heading[64];
        auto r = std::to_chars(heading, heading + sizeof heading, m.cameraHeading);
        out += "C:\theading = " + std::string(heading, r.ptr) + ", position = " + Triple(m.cameraPosition) + "\n";
    } else {
        out += "A:\tambient colour = " + Triple(m.ambient) + ", background colour = " + Triple(m.background) +
               ", fademode = " + I(m.fadeMode) + ", fade threshold = " + N(m.fadeThreshold) +
               ", fade rate = " + N(m.fadeRate) + "\n";
        out += "C:\tposition = " + Triple(m.cameraPosition) + ", rotations = [" + N(m.cameraYaw) + ", " +
               N(m.cameraPitch) + "], camera radius = " + N(m.cameraRadius) + "\n";
        // An empty value would let the reader run on into the next line.
        if (!m.textureDirectory.empty()) out += "D:\tTexture directory = " + m.textureDirectory + "\n";
        if (!m.mapName.empty()) out += "N:\tMap name = " + m.mapName + "\n";
    }
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        const MapVec& v = m.vertices[i];
        out += "V" + I(long(i + 1)) + ":\tx = " + N(v[0]) + ", y = " + N(v[1]) + ", z = " + N(v[2]) + "\n";
    }
    for (size_t i = 0; i < m.edges.size(); ++i) {
        const MapEdge& e = m.edges[i];
        out += "E" + I(long(i + 1)) + ":\tvertices = [" + I(e.vertex1) + ", " + I(e.vertex2) +
               "], other edge = " + I(e.otherEdge) + ", surface = " + I(e.surface) + "\n";
    }
    for (size_t i = 0; i < m.surfaces.size(); ++i) {
        const MapSurface& s = m.surfaces[i];
        out += "S" + I(long(i + 1)) + ":\tedges = [" + I(s.edges[0]) + ", " + I(s.edges[1]) + ", " + I(s.edges[2]) +
               "], material = " + I(s.material);
        if (alm)
            out += ", object = " + I(s.object);
        else
            out += ", flowvector = " + Triple(s.flow) + ", resistance = " + N(s.resistance) +
                   ", gravity = " + Triple(s.gravity);
        out += ", extension = " + I(s.extension) + "\n";
    }
    for (size_t i = 0; i < m.extensions.size(); ++i) {
        out += "X" + I(long(i + 1)) + ":\tnbytes = " + I(long(m.extensions[i].size())) + ", data :";
        for (uint8_t b : m.extensions[i]) out += " " + I(b);
        out += "\n";
    }
    for (size_t i = 0; i < m.textures.size(); ++i)
        out += "F" + I(long(i + 1)) + ":\tmode = " + I(m.textures[i].mode) + ", filename = " + m.textures[i].fileName + "\n";
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const MapMaterial& t = m.materials[i];
        std::string uv = "uv's = [" + N(t.u[0]) + ", " + N(t.v[0]) + "] [" + N(t.u[1]) + ", " + N(t.v[1]) + "], [" +
                         N(t.u[2]) + ", " + N(t.v[2]) + "]";
        out += "M" + I(long(i + 1)) + ":\t";
        if (alm) {
            out += "texture = " + I(t.currentTexture) + ", " + uv + "\n";
            continue;
        }
        out += uv;
        if (d == TextDialect::Clm)
            out += ", uv anim = [" + I(t.uv.kind) + "][cu = " + N(t.uv.cu) + ", cv = " + N(t.uv.cv) + ", r = " +
                   N(t.uv.r) + ", du = " + N(t.uv.du) + ", dv = " + N(t.uv.dv) + "]";
        out += ", lmode = " + I(t.lmode) + ", mode = " + I(t.mode) + ", frametime = " + N(t.frameTime) + ", " +
               FrameList(t.frames) + "\n";
    }
    if (!alm) {
        for (size_t i = 0; i < m.lights.size(); ++i) {
            const MapLight& l = m.lights[i];
            out += "L" + I(long(i + 1)) + ":\ttype = " + I(l.type) + ", position = " + Triple(l.position) +
                   ", direction = " + Triple(l.direction) + ", cone angle = " + N(l.coneAngle) +
                   ", rgb = " + Triple(l.colour) + "\n";
        }
    }
    for (size_t i = 0; i < m.objects.size(); ++i) Object(out, i + 1, m.objects[i], d);
    return out;
}

bool WriteTextMap(const std::string& path, const MapData& map, TextDialect dialect) {
    return WriteText(path, TextMapString(map, dialect));
}

}  // namespace dk
