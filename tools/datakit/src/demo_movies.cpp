// The demo install's movies, loose under "movies/" of the install source: each picture our own
// placeholder art (the movie's name as a title, shapes moving across a tinted ground, a frame
// counter), each sound our own tones. The intro uses the row codec with stereo ADPCM sound, the
// attract movie and the short story and level movies the YUV codec with mono PCM, one of them
// silent.
#include "datakit/demo_movies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "datakit/audio_encoders.h"
#include "datakit/demo_steps.h"
#include "datakit/vidvex_frame.h"
#include "datakit/vidvex_rowenc.h"
#include "datakit/vidvex_yuvenc.h"

namespace dk {

const DemoMovieSpec kDemoMovies[] = {
    {"intro_01.avi", 2, DemoMovieSound::AdpcmStereo, 320, 240, 45, 15},
    {"attract.avi", 17, DemoMovieSound::PcmMono, 320, 240, 30, 15},
    {"grave_w.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"final_a.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"final_b.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"hospital.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"escape_w.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"outro_s.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"ipops16.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"eat1s.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"eat2snd.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"labexps.avi", 17, DemoMovieSound::None, 160, 120, 15, 15},
    {"movie2.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"mov4.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
    {"meeting.avi", 17, DemoMovieSound::PcmMono, 160, 120, 15, 15},
};
const int kDemoMovieCount = int(sizeof kDemoMovies / sizeof kDemoMovies[0]);

namespace {
constexpr uint32_t kAdpcmSamplesPerBlock = 1017;  // stereo blocks of 1024 bytes

// 3 x 5 letters and digits of the titles and the counter.
struct Glyph {
    char c;
    uint16_t rows;  // 15 bits, row by row from the top, left bit first
};
constexpr Glyph kFont[] = {
    {'0', 0x7B6F}, {'1', 0x2C97}, {'2', 0x73E7}, {'3', 0x72CF}, {'4', 0x5BC9}, {'5', 0x79CF}, {'6', 0x79EF},
    {'7', 0x7249}, {'8', 0x7BEF}, {'9', 0x7BCF}, {'A', 0x2BED}, {'B', 0x6BAE}, {'C', 0x7927}, {'E', 0x79E7},
    {'F', 0x79E4}, {'G', 0x796F}, {'H', 0x5BED}, {'I', 0x7497}, {'L', 0x4927}, {'M', 0x5FED}, {'N', 0x7B6D},
    {'O', 0x7B6F}, {'P', 0x7BE4}, {'R', 0x7BAD}, {'S', 0x79CF}, {'T', 0x7492}, {'U', 0x5B6F}, {'V', 0x5B6A},
    {'W', 0x5BFD}, {'X', 0x5AAD}, {'_', 0x0007}, {'.', 0x0002},
};

uint16_t GlyphRows(char c) {
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    for (const Glyph& g : kFont)
        if (g.c == c)
            return g.rows;
    return 0;
}

struct Canvas {
    int w, h;
    std::vector<VvlRgb> px;
    void Fill(int x0, int y0, int x1, int y1, VvlRgb c) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x)
                px[size_t(y) * size_t(w) + size_t(x)] = c;
    }
    void Text(int x, int y, int scale, const std::string& s, VvlRgb c) {
        for (char ch : s) {
            const uint16_t rows = GlyphRows(ch);
            for (int r = 0; r < 5; ++r)
                for (int k = 0; k < 3; ++k)
                    if (rows & (1u << (14 - (r * 3 + k))))
                        Fill(x + k * scale, y + r * scale, x + (k + 1) * scale, y + (r + 1) * scale, c);
            x += 4 * scale;
        }
    }
};

uint32_t NameHash(const char* name) {
    uint32_t h = 2166136261u;
    for (const char* p = name; *p; ++p)
        h = (h ^ uint8_t(*p)) * 16777619u;
    return h;
}

std::vector<VvlRgb> Picture(const DemoMovieSpec& spec, int frame) {
    Canvas c{spec.width, spec.height, std::vector<VvlRgb>(size_t(spec.width) * size_t(spec.height))};
    const uint32_t hash = NameHash(spec.name);
    const int tintR = int(hash & 0x3F), tintG = int((hash >> 8) & 0x3F), tintB = int((hash >> 16) & 0x3F);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            c.px[size_t(y) * size_t(c.w) + size_t(x)] = VvlRgb{tintR + (y * 4 / c.h) * 24, tintG + (x * 4 / c.w) * 16, tintB + 40};
    const int unit = c.w / 32;
    // A box sweeping across and a square bouncing up and down.
    const int boxX = (frame * 2 * unit) % (c.w + 4 * unit) - 4 * unit;
    c.Fill(boxX, c.h / 2, boxX + 4 * unit, c.h / 2 + 3 * unit, VvlRgb{230, 200, 40});
    const int period = 20, phase = frame % period;
    const int bounce = (phase < period / 2 ? phase : period - phase) * (c.h / 3) / (period / 2);
    c.Fill(c.w * 3 / 4, c.h / 4 + bounce, c.w * 3 / 4 + 3 * unit, c.h / 4 + bounce + 3 * unit, VvlRgb{200, 40, 60});
    // The title bar and the frame counter.
    c.Fill(0, 0, c.w, 8 * unit / 2, VvlRgb{10, 10, 20});
    std::string title = spec.name;
    title = title.substr(0, title.find('.'));
    c.Text(unit / 2, unit / 2, std::max(1, unit / 2), title, VvlRgb{240, 240, 240});
    char counter[16];
    std::snprintf(counter, sizeof counter, "%03d", frame);
    c.Text(c.w - 13 * std::max(1, unit / 2) - unit / 2, c.h - 6 * std::max(1, unit / 2) - unit / 2, std::max(1, unit / 2),
           counter, VvlRgb{255, 255, 255});
    return c.px;
}

// The movie's tones: a chord that changes pitch each second, the right channel a fifth above.
std::vector<uint32_t> Tones(const DemoMovieSpec& spec, bool stereo) {
    const uint32_t kSoundRate = spec.soundRate;
    const size_t count = size_t(kSoundRate) * size_t(spec.frames) / size_t(spec.fps);
    const double base = 180.0 + double(NameHash(spec.name) % 200);
    const double pi = 3.14159265358979323846;
    std::vector<uint32_t> words(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / kSoundRate;
        const double hz = base * (1.0 + 0.25 * double(i / kSoundRate));
        const double envelope = std::min(1.0, double(i % kSoundRate) / 400.0);
        const int left = int(std::lround(9000.0 * envelope * std::sin(2 * pi * hz * t)));
        const int right = int(std::lround(7000.0 * envelope * std::sin(2 * pi * hz * 1.5 * t)));
        words[i] = stereo ? SampleWord(left, right) : MonoWord(left);
    }
    return words;
}
}  // namespace

const DemoMovieSpec* FindDemoMovie(const std::string& name) {
    for (int i = 0; i < kDemoMovieCount; ++i)
        if (name == kDemoMovies[i].name)
            return &kDemoMovies[i];
    return nullptr;
}

DemoMovie BuildDemoMovie(const DemoMovieSpec& spec, bool is565) {
    DemoMovie m;
    m.video.width = uint32_t(spec.width);
    m.video.height = uint32_t(spec.height);
    m.video.rate = uint32_t(spec.fps);
    VvlYuvEncoder yuv(is565);
    for (int f = 0; f < spec.frames; ++f) {
        const std::vector<VvlRgb> rgb = Picture(spec, f);
        VvlEncoded e;
        if (spec.codec == 17) {
            e = yuv.Encode(VvlYuvFromRgb(spec.width, spec.height, rgb), 4);
        } else {
            std::vector<uint16_t> source(rgb.size());
            for (size_t i = 0; i < rgb.size(); ++i)
                source[i] = VvlPack(rgb[i], is565);
            // An inter stream: after the key frame only the blocks that moved are coded.
            VvlRowParams p;
            p.codec = spec.codec;
            p.is565 = is565;
            p.interStream = true;
            p.key = f == 0;
            e = VvlEncodeRowFrame(p, spec.width, spec.height, source, f == 0 ? nullptr : &m.pictures.back());
        }
        m.video.frames.push_back(e.frame);
        m.pictures.push_back(e.decoded);
    }
    const uint32_t kSoundRate = spec.soundRate;
    m.soundRate = kSoundRate;
    switch (spec.sound) {
    case DemoMovieSound::None:
        break;
    case DemoMovieSound::PcmMono: {
        const EncodedAudio e = EncodePcm(Tones(spec, false), 1, 16);
        m.hasSound = true;
        m.audio.channels = 1;
        m.audio.sampleRate = kSoundRate;
        m.audio.chunks = SplitChunks(e.bytes, 2 * kSoundRate / 10);
        m.sound = e.decoded;
        break;
    }
    case DemoMovieSound::AdpcmStereo: {
        const EncodedAudio e = EncodeAdpcmStereo(Tones(spec, true), kAdpcmSamplesPerBlock);
        m.hasSound = true;
        m.audio.formatTag = 2;
        m.audio.channels = 2;
        m.audio.bitsPerSample = 4;
        m.audio.samplesPerBlock = uint16_t(kAdpcmSamplesPerBlock);
        m.audio.formatBytes = 20;
        m.audio.sampleRate = kSoundRate;
        m.audio.chunks = SplitChunks(e.bytes, 2 * (kAdpcmSamplesPerBlock + 7));
        m.sound = e.decoded;
        break;
    }
    }
    return m;
}

std::vector<uint8_t> DemoMovieFile(const DemoMovie& movie) {
    return WriteMovie(&movie.video, movie.hasSound ? &movie.audio : nullptr);
}

bool DemoMovies(const std::string& dir) {
    const std::filesystem::path movies = std::filesystem::path(dir) / "movies";
    std::error_code ec;
    std::filesystem::create_directories(movies, ec);
    if (ec)
        return false;
    for (int i = 0; i < kDemoMovieCount; ++i) {
        const std::vector<uint8_t> bytes = DemoMovieFile(BuildDemoMovie(kDemoMovies[i]));
        std::ofstream out(movies / kDemoMovies[i].name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out)
            return false;
    }
    return true;
}

}  // namespace dk
