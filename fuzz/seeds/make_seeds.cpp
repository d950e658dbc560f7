// Writes the harnesses' seed inputs into DIR/<harness>/seed-<name>: small but whole files and
// messages made by the data kit's writers and the libraries' own encoders, each with the control
// bytes its harness reads first. The seeds are kept small (a few KB per harness): the fuzzer
// grows its corpus from them.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "datakit/aud.h"
#include "datakit/audio_encoders.h"
#include "datakit/bmp.h"
#include "datakit/map_demo.h"
#include "datakit/map_text.h"
#include "datakit/map_zlm.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "datakit/movie_writer.h"
#include "datakit/muf_writer.h"
#include "datakit/settings.h"
#include "datakit/ui_text.h"
#include "datakit/vidvex_rowenc.h"
#include "dplay.h"
#include "krhdr.h"
#include "krmux_ctl.h"
#include "krnetdb.h"
#include "krrq_sess.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string g_dir;
int g_failures = 0;

void Put(const std::string& harness, const std::string& name, const Bytes& bytes) {
    const std::string dir = g_dir + "/" + harness;
    mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/seed-" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
        ++g_failures;
    }
}
void PutText(const std::string& harness, const std::string& name, const std::string& text) {
    Put(harness, name, Bytes(text.begin(), text.end()));
}
Bytes Prefixed(std::initializer_list<uint8_t> head, const Bytes& body) {
    Bytes out(head);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
void Le16(Bytes* b, uint32_t v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}
void Le32(Bytes* b, uint32_t v) {
    Le16(b, v);
    Le16(b, v >> 16);
}

// A square of two triangles with one texture and material.
dk::MapData SmallMap() {
    dk::MapData m;
    m.textureDirectory = "tex\\";
    m.mapName = "seed";
    m.vertices = {{0, 0, 0}, {100, 0, 0}, {100, 10, 100}, {0, 10, 100}};
    dk::AddMapTriangle(&m, 1, 2, 4, 1);
    dk::AddMapTriangle(&m, 2, 3, 4, 1);
    dk::LinkMapTwins(&m);
    m.textures = {{"grass.bmp", "", 0}};
    dk::MapMaterial grass;
    grass.frames = {1};
    grass.currentTexture = 1;
    grass.u = {0, 1, 0};
    grass.v = {0, 0, 1};
    m.materials = {grass};
    dk::CompleteMapData(&m);
    return m;
}

std::vector<uint16_t> Picture(int w, int h, int shift) {
    std::vector<uint16_t> p(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[size_t(y * w + x)] = uint16_t(((x + shift) * 2) << 10 | (y * 3) << 5 | (x + y));
    return p;
}

std::vector<uint32_t> Tone(size_t n) {
    std::vector<uint32_t> words;
    for (size_t i = 0; i < n; ++i) {
        const uint16_t l = uint16_t(int16_t((i * 2000) % 16000 - 8000));
        const uint16_t r = uint16_t(int16_t(8000 - (i * 1500) % 16000));
        words.push_back(uint32_t(l) | uint32_t(r) << 16);
    }
    return words;
}

Bytes Header(uint32_t kind, uint32_t id, uint32_t length, uint32_t sequence, uint32_t code, uint32_t block) {
    KRHDR h{};
    h.kind = kind;
    h.id = id;
    h.length = length;
    h.sequence = sequence;
    h.code = code;
    uint8_t packed[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    const uint32_t n = KrHdrPack(&h, packed, block, &pad);
    Bytes p(packed, packed + n);
    for (uint32_t i = 0; i < length; ++i) p.push_back(uint8_t(0x40 + i));
    p.insert(p.end(), pad, 0);
    return p;
}

void Archives() {
    Bytes archive;
    dk::MufArchiveBytes({{"data/a.txt", {'h', 'i', '\n'}}, {"maps/b.bin", Bytes(40, 7)}, {"c", {}}}, &archive);
    Put("muf", "three-entries", archive);
}

void Maps() {
    const dk::MapData m = SmallMap();
    Put("map", "zlm", Prefixed({0}, dk::ZlmBytes(m)));
    const dk::TextDialect dialects[] = {dk::TextDialect::Alm, dk::TextDialect::Blm, dk::TextDialect::Clm};
    const char* names[] = {"alm", "blm", "clm"};
    for (int i = 0; i < 3; ++i) {
        const std::string text = dk::TextMapString(m, dialects[i]);
        Put("map", names[i], Prefixed({uint8_t(i + 1)}, Bytes(text.begin(), text.end())));
    }
}

void Models() {
    Put("model", "qmd-cube", Prefixed({0}, dk::QmdBytes(dk::QmdCube(8, 2))));
    Put("model", "qmd-packed", Prefixed({0}, dk::QmdBytes(dk::QmdCube(8, 1, true))));
    // Texture coordinates at the ends of their range, over a texture one texel wide.
    dk::QmdModel far = dk::QmdCube(8, 1);
    far.textureCount = 1;
    far.textureWidth = 1;
    far.textureHeight = 1;
    for (size_t i = 0; i < far.texCoords.size(); ++i) {
        far.texCoords[i].s = i % 2 ? INT32_MAX : INT32_MIN;
        far.texCoords[i].t = i % 3 ? 1 << 30 : -(1 << 30);
    }
    Put("model", "qmd-far-texcoords", Prefixed({0}, dk::QmdBytes(far)));
    Put("model", "qkm-matrix", Prefixed({1}, dk::QkmBytes(dk::QkmChain(3, 0))));
    Put("model", "qkm-quat", Prefixed({1}, dk::QkmBytes(dk::QkmChain(3, 16))));
}

void Pictures() {
    dk::Bmp8 p;
    p.width = 5;
    p.height = 3;
    p.pixels.assign(15, 0);
    for (int i = 0; i < 15; ++i) p.pixels[size_t(i)] = uint8_t(i % 2);
    p.palette[1] = {255, 128, 0};
    for (int bits : {1, 4, 8}) Put("bmp", std::to_string(bits) + "-bit", dk::EncodeBmp(p, bits));
    Put("bmp", "8-bit-top-down", dk::EncodeBmp(p, 8, true));
    dk::Bmp24 q(3, 2);
    q.pixels[1] = {1, 2, 3};
    Put("bmp", "24-bit", dk::EncodeBmp24(q));
}

void Sounds() {
    dk::AudSound s;
    s.data = {0, 0, 0x10, 0, 0x20, 0, 0x30, 0};
    Put("aud", "mono16", dk::AudBytes(s));
    s.channels = 2;
    s.bits = 8;
    s.data = {0x80, 0x80, 0x90, 0x70};
    Put("aud", "stereo8", dk::AudBytes(s));
}

void Movies() {
    // Frames: a key frame and an inter frame of a small picture.
    dk::VvlRowParams key;
    key.interStream = true;
    const dk::VvlEncoded k = dk::VvlEncodeRowFrame(key, 16, 8, Picture(16, 8, 0), nullptr);
    dk::VvlRowParams next = key;
    next.key = false;
    const dk::VvlEncoded i = dk::VvlEncodeRowFrame(next, 16, 8, Picture(16, 8, 1), &k.decoded);
    const auto framePair = [](uint8_t options, const Bytes& first, const Bytes& second) {
        Bytes b = {options};
        Le16(&b, uint32_t(first.size()));
        b.insert(b.end(), first.begin(), first.end());
        b.insert(b.end(), second.begin(), second.end());
        return b;
    };
    Put("movie_frame", "key-inter", framePair(3, k.frame, i.frame));
    Put("movie_frame", "key-key-8bit", framePair(0x40, k.frame, k.frame));
    dk::VvlRowParams stretch;
    stretch.codec = 6;
    stretch.stretch = true;
    const dk::VvlEncoded s = dk::VvlEncodeRowFrame(stretch, 12, 4, Picture(12, 4, 0), nullptr);
    Put("movie_frame", "stretched", framePair(5, s.frame, s.frame));

    // Sound blocks of each form, with the harness's form byte and samples-per-block word.
    const std::vector<uint32_t> words = Tone(64);
    std::vector<int16_t> mono;
    for (uint32_t w : words) mono.push_back(int16_t(w & 0xFFFF));
    const auto block = [](uint8_t form, uint16_t samplesPerBlock, const Bytes& bytes) {
        Bytes b = {form};
        Le16(&b, samplesPerBlock);
        b.insert(b.end(), bytes.begin(), bytes.end());
        return b;
    };
    Put("movie_audio", "pcm-mono8", block(0, 0, dk::EncodePcm(Tone(16), 1, 8).bytes));
    Put("movie_audio", "pcm-stereo16", block(3, 0, dk::EncodePcm(Tone(16), 2, 16).bytes));
    Put("movie_audio", "adpcm-mono", block(4, 41, dk::EncodeAdpcmMono(mono, 41).bytes));
    Put("movie_audio", "adpcm-stereo", block(5, 25, dk::EncodeAdpcmStereo(words, 25).bytes));
    Put("movie_audio", "adpcm-3bit", block(6, 0, dk::EncodeAdpcm3(words, 22050, 32).bytes));

    // A whole movie: two frames and two PCM chunks, with and without an index.
    dk::MovieVideoTrack video;
    video.width = 16;
    video.height = 8;
    video.frames = {k.frame, i.frame};
    dk::MovieAudioTrack audio;
    audio.chunks = {dk::EncodePcm(Tone(8), 2, 16).bytes, dk::EncodePcm(Tone(8), 2, 16).bytes};
    Put("movie_container", "indexed", dk::WriteMovie(&video, &audio));
    dk::MovieOptions noIndex;
    noIndex.index = dk::MovieIndex::None;
    noIndex.recLists = true;
    Put("movie_container", "rec-lists-no-index", dk::WriteMovie(&video, &audio, noIndex));
    dk::MovieAudioTrack adpcm;
    adpcm.formatTag = 2;
    adpcm.channels = 1;
    adpcm.bitsPerSample = 4;
    adpcm.samplesPerBlock = 41;
    adpcm.blockAlign = 24;
    adpcm.formatBytes = 20;
    adpcm.chunks = {dk::EncodeAdpcmMono(mono, 41).bytes};
    Put("movie_container", "adpcm-audio-only", dk::WriteMovie(nullptr, &adpcm));
}

void Texts() {
    const std::string text = dk::InterfaceText();
    // The start of the interface text: its first sections, cut at a line end.
    const size_t cut = text.rfind('\n', 2048);
    PutText("text", "interface-start", text.substr(0, cut == std::string::npos ? text.size() : cut + 1));
    PutText("text", "sections", "[>locations]\r\ntown=Town\r\n\r\n[>menu]\r\nquit=Quit\r\n");

    Bytes keys;
    for (int w = 0; w < 41; ++w) Le32(&keys, w == 0 ? 0xFFFFFFFFu : uint32_t(w + 1));
    keys.push_back(0);
    Put("keymap", "file", keys);

    dk::SaveFile save;
    save.level = 4;
    save.groups[2][1].character = 46;
    save.groups[2][1].items[0] = 149;
    save.groups[2][1].counts[0] = 3;
    Put("save", "slot", dk::SaveFileBytes(save));
    PutText("settings", "options", std::string(1, '\0') + dk::OptionsFileText({}));
    dk::NetOptionsFile net;
    net.connection = "conn";
    PutText("settings", "net-options", std::string(1, '\1') + dk::NetOptionsFileText(net));

    PutText("cmdline", "lobby", "C:\\Games\\Ghoulden.exe /torvane /type 5 /players 4 /level 3 /fraglimit 20 "
                                "/timelimit 15 /traps 1");
    PutText("cmdline", "plain", "ghoulden.exe /TYPE 6 /level -1 /players 99999999999");
}

void Network() {
    // Registry files.
    PutText("registry", "install",
            "[HKEY_LOCAL_MACHINE\\Software\\Brellwick\\Torvane\\Main]\n"
            "\"Root\"=sz:\"C:\\\\Torvane\"\n\"InstallDir\"=sz:\"C:\\\\Torvane\\\\Games\\\\\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Brellwick\\Torvane\\Manifest]\n\"Entry\"=hex:01,02,03,04\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Brellwick\\Torvane\\TEMP]\n\"GAMEDEF\"=hex:05,00,00,00\n"
            "\"Count\"=dword:0000002a\n@=hex(7):41,00\n");

    // Game definition records (after the buffer-size byte): HGAME 5, join word, a udp GICS.
    Bytes record = {0, 5, 0, 0, 0, 0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 1, 2,
                    3, 0, 0x1B, 0x58, 10, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 'G', 'h', 'o', 'u', 'l', 0};
    Put("net_gamedef", "udp-gics", record);
    record[0] = 1;
    record.resize(60);
    Put("net_gamedef", "short-buffer", record);

    PutText("net_address", "udp", "udp/127.0.0.1/7000");
    PutText("net_address", "tcp-name", "tcp/localhost/0x1b58");
    PutText("net_address", "qualified", "gamehost/*/12");

    // Packet headers of each form.
    struct H {
        uint32_t kind, id, length, sequence, code, block;
    };
    const H headers[] = {{1, 1, 20, 3, 0x21, 1}, {1, 9, 300, 70, 0x21, 1}, {1, 500, 4000, 9, 0x1234, 8},
                         {2, 5, 4, 4, 0, 1},     {1, 700, 20000, 2, 0x99, 8}, {2, 1000, 40000, 3, 0, 1},
                         {1, 2000, 0x100000, 7, 0x4242, 8}};
    int n = 0;
    Bytes stream = {0, 32};
    for (const H& h : headers) {
        Bytes packet = Header(h.kind, h.id, std::min<uint32_t>(h.length, 24), h.sequence, h.code, h.block);
        if (h.length > 24) packet = Header(h.kind, h.id, h.length, h.sequence, h.code, h.block), packet.resize(16);
        Put("net_header", "form-" + std::to_string(n++), packet);
    }
    // The mux's framing: a stream of three packets and the same as datagrams.
    Bytes datagrams = {1, 0};
    for (const Bytes& p : {Header(2, 5, 24, 1, 0, 1), Header(1, 3, 16, 2, 0x21, 1), Header(2, 7, 0, 4, 0, 1)}) {
        Bytes packet = p;
        packet.push_back(0xAB);
        packet.push_back(0xCD);
        stream.insert(stream.end(), packet.begin(), packet.end());
        Le16(&datagrams, uint32_t(packet.size()));
        datagrams.insert(datagrams.end(), packet.begin(), packet.end());
    }
    // One datagram each for a session: control messages of every code, a request, a response,
    // addressed to the harness's session of no transport (its id, and for the connect-ack and the
    // disconnect its words: version, session word, then the address words).
    const uint32_t sessionWords[] = {KR_SESS_VERSION, 0x5E550001, KR_ADDR_WORD_UNSET, KR_ADDR_WORD_UNSET};
    const struct {
        const char* name;
        uint32_t kind, length, sequence, code, flag;
    } messages[] = {{"connect", 2, 24, 1, 0, 0},     {"connect-ack", 2, 24, 2, 0, 0}, {"disconnect", 2, 16, 3, 0, 0},
                    {"heartbeat", 2, 0, 4, 0, 0},    {"option-set", 2, 16, 5, 0, 0},  {"option-ack", 2, 16, 6, 0, 0},
                    {"key-set", 2, 24, 7, 0, 0},     {"key-ack", 2, 8, 8, 0, 0},      {"request", 1, 8, 1, 0x21, 0},
                    {"response", 1, 8, 1, 0x22, 1}};
    for (const auto& m : messages) {
        KRHDR h{};
        h.kind = m.kind;
        h.id = KRSESS_UNATTACHED_ID;
        h.length = m.length;
        h.sequence = m.sequence;
        h.code = m.code;
        h.flag = m.flag;
        uint8_t packed[KRHDR_MAX_LEN];
        uint32_t pad = 0;
        const uint32_t n = KrHdrPack(&h, packed, 1, &pad);
        Bytes p(packed, packed + n);
        const bool words = m.kind == 2 && (m.sequence == 2 || m.sequence == 3);
        for (uint32_t i = 0; i < m.length; ++i)
            p.push_back(words && i < 16 ? uint8_t(sessionWords[i / 4] >> (24 - 8 * (i % 4)))
                                        : i % 4 == 3 ? uint8_t(i) : 0);
        p.insert(p.end(), pad, 0);
        p.push_back(0);
        p.push_back(0);
        Put("net_session", m.name, p);
    }
    // Multicast header packings: numbers and addresses of every length, kinds alternating.
    Bytes multicast = {0xAA, 8};
    uint8_t packedValue[4];
    const uint32_t numbers[] = {5, 300, 70000, 63};
    const uint32_t addresses[] = {7, 2000, 0x40000005u, 0x60000400u, 0x00123456u, 7};
    for (int k = 0; k < 8; ++k) {
        const uint32_t n = k % 2 ? KrAddrPack(addresses[k / 2], packedValue) : Kr31Pack(numbers[k / 2], packedValue);
        multicast.insert(multicast.end(), packedValue, packedValue + n);
    }
    Put("net_multicast", "numbers-and-addresses", multicast);
    Put("net_mux", "stream", stream);
    // Speech: a phrase per style, each an open, data of a whole coded frame (two raw frames for
    // style 0) and a close, every message behind its 16-bit length.
    Bytes speech;
    const uint32_t frameBytes[] = {960, 0, 32, 30, 40};
    for (uint32_t style : {0u, 2u, 3u, 4u}) {
        for (uint32_t type : {8192u, 8193u, 8194u}) {
            const uint32_t length = type == 8193 ? frameBytes[style] : 4;
            Bytes m;
            Le32(&m, 5);
            Le16(&m, style);
            Le16(&m, type);
            Le16(&m, 0);
            Le16(&m, type == 8194 ? 0 : style);
            Le16(&m, length);
            for (uint32_t i = 0; i < (type == 8193 ? length : 0); ++i) m.push_back(uint8_t(i * 37));
            m.insert(m.end(), 6, 0);
            Le16(&speech, uint32_t(m.size()));
            speech.insert(speech.end(), m.begin(), m.end());
        }
    }
    Put("net_speech", "phrases", speech);
    Put("net_mux", "datagrams", datagrams);

    // XDR: every family from an all-zero record (empty strings and lists) of 64 bytes.
    for (int family = 0; family < 68; ++family) {
        Bytes b(65, 0);
        b[0] = uint8_t(family);
        Put("net_xdr", "zero-" + std::to_string(family), b);
    }

    // The DirectPlay wire, each with the harness's reader byte.
    plat::DpSessionRecord session{};
    session.instance.Data1 = 0x11223344;
    session.maxPlayers = 8;
    session.currentPlayers = 2;
    session.port = 47624;
    session.name = "Ghoulden";
    plat::DpPlayerRecord player{};
    player.id = 103;
    player.data = std::string("\x03\x00\x00\x00", 4);
    player.name = "Zed";
    plat::DpLobbyLaunch launch;
    launch.maxPlayers = 4;
    launch.sessionName = "game";
    launch.playerName = "Zed";
    launch.address = "127.0.0.1";
    const uint8_t payload[] = {'S', 1, 2, 3};
    Put("dplay_wire", "enum-reply", Prefixed({0}, plat::DpWriteEnumReply(session)));
    Put("dplay_wire", "join-reply", Prefixed({1}, plat::DpWriteJoinReply(0, session)));
    Put("dplay_wire", "player-list", Prefixed({2}, plat::DpWritePlayerList(session.instance, {player, player})));
    Put("dplay_wire", "message", Prefixed({3}, plat::DpWriteMessage(100, 103, payload, sizeof payload)));
    Put("dplay_wire", "system", Prefixed({4}, plat::DpWriteSystem(3, player)));
    Put("dplay_wire", "lobby-launch", Prefixed({5}, plat::DpWriteLobbyLaunch(launch)));

    // The game transport: messages from slot 3 to slot 0 and back, one from an unknown id.
    Bytes net;
    for (uint8_t s : {1, 0, 2}) {
        net.push_back(s);
        net.push_back(uint8_t(1 - (s & 1)));
        Le16(&net, 6);
        for (int k = 0; k < 6; ++k) net.push_back(uint8_t(0x10 * s + k));
    }
    Put("game_net", "three-messages", net);

    // The online player list: own address 2, four words {3 listed: 1, 2, 101}, then names.
    Bytes players;
    Le32(&players, 2);
    players.push_back(4);
    for (uint32_t w : {3u, 1u, 2u, 101u}) Le32(&players, w);
    const std::string ann = "Ann", sixteen = "Sixteen-letters!!";  // the first name ends in a zero
    players.insert(players.end(), ann.begin(), ann.end());
    players.insert(players.end(), 14, 0);
    players.insert(players.end(), sixteen.begin(), sixteen.end());
    Put("net_players", "three-listed", players);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    g_dir = argv[1];
    mkdir(g_dir.c_str(), 0755);
    Archives();
    Maps();
    Models();
    Pictures();
    Sounds();
    Movies();
    Texts();
    Network();
    return g_failures ? 1 : 0;
}
