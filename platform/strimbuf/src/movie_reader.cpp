// The movie file reader. Layout (little-endian):
//   RIFF size "AVI "
//     LIST size "hdrl"
//       "avih" (microseconds per frame, ..., total frames, ..., width, height, ...)
//       LIST size "strl" { "strh" (type, handler, flags, ..., scale, rate, start, length,
//                          suggested buffer, quality, sample size, frame rectangle),
//                          "strf" (BITMAPINFOHEADER or WAVEFORMATEX) }   one per stream
//     LIST size "movi" { "NNdc"/"NNdb" video, "NNwb" audio, LIST "rec " groups, "JUNK" }
//     "idx1" { id, flags (0x10 key frame), offset (from "movi" or from the file start), size }
// Chunks are padded to even sizes.
#include "movie_reader.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

#include "vidvex_format.h"

namespace sb {
namespace {

constexpr int kMaxDepth = 8;         // LIST nesting we follow
constexpr size_t kMaxStreams = 16;
constexpr size_t kMaxItems = 1u << 22;

constexpr uint32_t Tag(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class File {
public:
    File(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t size() const { return m_size; }
    bool read(uint64_t at, void* out, size_t n) const {
        if (at > m_size || n > m_size - at)
            return false;
        auto* p = static_cast<uint8_t*>(out);
        while (n > 0) {
            ssize_t got = ::pread(m_fd, p, n, static_cast<off_t>(at));
            if (got <= 0)
                return false;
            p += got;
            at += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }
    std::vector<uint8_t> bytes(uint64_t at, uint32_t n) const {
        std::vector<uint8_t> v(n);
        if (!read(at, v.data(), n))
            v.clear();
        return v;
    }

private:
    int m_fd;
    uint64_t m_size;
};

struct Chunk {
    uint32_t id = 0;
    uint32_t size = 0;
    uint64_t data = 0;  // first byte after the 8-byte header
    uint64_t next = 0;  // the following chunk (padded)
};

// The chunk at pos inside [pos, end); false when its header or its data do not fit.
bool ChunkAt(const File& f, uint64_t pos, uint64_t end, Chunk* c) {
    uint8_t h[8];
    if (pos + 8 > end || !f.read(pos, h, 8))
        return false;
    c->id = U32(h);
    c->size = U32(h + 4);
    c->data = pos + 8;
    if (c->size > end - c->data)
        return false;
    c->next = c->data + c->size + (c->size & 1);
    return true;
}

// "NNdc" -> stream NN and kind; false for other ids.
bool ItemId(uint32_t id, uint32_t* number, int32_t* kind) {
    auto hex = [](uint32_t ch, uint32_t* v) {
        if (ch >= '0' && ch <= '9')
            *v = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
            *v = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
            *v = ch - 'A' + 10;
        else
            return false;
        return true;
    };
    uint32_t hi, lo;
    if (!hex(id & 0xFF, &hi) || !hex((id >> 8) & 0xFF, &lo))
        return false;
    *number = hi * 16 + lo;
    const uint32_t two = id >> 16;
    if (two == ('d' | ('c' << 8)) || two == ('d' | ('b' << 8)))
        *kind = SB_VIDEO;
    else if (two == ('w' | ('b' << 8)))
        *kind = SB_AUDIO;
    else
        return false;
    return true;
}

struct Parser {
    const File& file;
    MovieIndex& movie;
    uint64_t moviList = 0;  // position of the "movi" form type
    uint64_t moviEnd = 0;
    bool haveMovi = false;
    uint64_t idxData = 0;
    uint32_t idxSize = 0;
    bool haveIdx = false;
    size_t itemCount = 0;

    StreamIndex* streamFor(uint32_t number, int32_t kind) {
        for (StreamIndex& s : movie.streams)
            if (s.number == number && s.kind == kind)
                return &s;
        return nullptr;
    }

    void readAvih(const Chunk& c) {
        uint8_t h[56] = {};
        if (!file.read(c.data, h, std::min<uint32_t>(c.size, 56)))
            return;
        movie.microSecPerFrame = U32(h);
        movie.totalFrames = U32(h + 16);
        movie.width = U32(h + 32);
        movie.height = U32(h + 36);
    }

    // One "strl": a stream joins the movie only when its header and format make sense.
    void readStrl(const Chunk& list, uint32_t number) {
        uint8_t strh[56] = {};
        bool haveStrh = false;
        std::vector<uint8_t> strf;
        Chunk c;
        for (uint64_t pos = list.data + 4; ChunkAt(file, pos, list.data + list.size, &c); pos = c.next) {
            if (c.id == Tag("strh") && c.size >= 48) {
                haveStrh = file.read(c.data, strh, std::min<uint32_t>(c.size, 56));
            } else if (c.id == Tag("strf") && c.size <= 4096) {
                strf = file.bytes(c.data, c.size);
            }
        }
        if (!haveStrh || movie.streams.size() >= kMaxStreams)
            return;
        StreamIndex s;
        s.number = number;
        SBSTREAMINFO& info = s.info;
        info.fccType = U32(strh);
        info.fccHandler = U32(strh + 4);
        info.flags = U32(strh + 8);
        info.scale = U32(strh + 20);
        info.rate = U32(strh + 24);
        info.start = U32(strh + 28);
        info.length = U32(strh + 32);
        info.suggestedBufferSize = U32(strh + 36);
        info.sampleSize = U32(strh + 44);
        if (info.fccType == Tag("vids")) {
            s.kind = SB_VIDEO;
            int32_t w = 0, h = 0;
            if (strf.size() >= 40) {
                w = static_cast<int32_t>(U32(&strf[4]));
                h = static_cast<int32_t>(U32(&strf[8]));
                info.bitCount = U16(&strf[14]);
                info.compression = U32(&strf[16]);
            } else {
                // The frame rectangle of the stream header, else the main header's size.
                w = static_cast<int16_t>(U16(strh + 52)) - static_cast<int16_t>(U16(strh + 48));
                h = static_cast<int16_t>(U16(strh + 54)) - static_cast<int16_t>(U16(strh + 50));
                if (w <= 0 || h <= 0) {
                    w = static_cast<int32_t>(std::min<uint32_t>(movie.width, 65535));
                    h = static_cast<int32_t>(std::min<uint32_t>(movie.height, 65535));
                }
            }
            auto dim = [](int32_t v) {
                int64_t a = v < 0 ? -int64_t{v} : v;
                return static_cast<uint16_t>(std::min<int64_t>(a, 65535));
            };
            info.width = dim(w);
            info.height = dim(h);
        } else if (info.fccType == Tag("auds")) {
            s.kind = SB_AUDIO;
            if (strf.size() < 16)
                return;
            WAVEFORMATEX& f = s.audio.format;
            f.wFormatTag = U16(&strf[0]);
            f.nChannels = U16(&strf[2]);
            f.nSamplesPerSec = U32(&strf[4]);
            f.nAvgBytesPerSec = U32(&strf[8]);
            f.nBlockAlign = U16(&strf[12]);
            f.wBitsPerSample = U16(&strf[14]);
            f.cbSize = strf.size() >= 18 ? U16(&strf[16]) : 0;
            // The samples-per-block word follows cbSize when the extra bytes hold it.
            s.audio.samplesPerBlock = (strf.size() >= 20 && f.cbSize >= 2) ? U16(&strf[18]) : 0;
            // Zero rates, channels or (for PCM) frame sizes cannot be played: no such stream.
            if (f.nSamplesPerSec == 0 || f.nChannels == 0)
                return;
            if (f.wFormatTag == WAVE_FORMAT_PCM && f.nBlockAlign == 0)
                return;
            info.compression = f.wFormatTag;
            info.bitCount = f.wBitsPerSample;
        } else {
            return;
        }
        movie.streams.push_back(s);
    }

    void readHdrl(const Chunk& list) {
        Chunk c;
        uint32_t number = 0;
        for (uint64_t pos = list.data + 4; ChunkAt(file, pos, list.data + list.size, &c); pos = c.next) {
            if (c.id == Tag("avih")) {
                readAvih(c);
            } else if (c.id == Tag("LIST") && c.size >= 4) {
                uint8_t form[4];
                if (file.read(c.data, form, 4) && U32(form) == Tag("strl"))
                    readStrl(c, number++);
            }
        }
    }

    void addItem(uint32_t id, uint64_t data, uint32_t size, bool key, bool keyKnown) {
        uint32_t number;
        int32_t kind;
        if (!ItemId(id, &number, &kind) || itemCount >= kMaxItems)
            return;
        StreamIndex* s = streamFor(number, kind);
        if (!s)
            return;
        Item item;
        item.offset = data;
        item.size = size;
        item.key = key;
        if (kind == SB_VIDEO && !keyKnown) {
            uint8_t head[23] = {};
            uint32_t n = std::min<uint32_t>(size, 23);
            item.key = file.read(data, head, n) && FrameHeaderIsKey(head, n);
        }
        s->items.push_back(item);
        ++itemCount;
    }

    // Walks the movie data for its items (no usable idx1).
    void scanList(uint64_t from, uint64_t end, int depth) {
        Chunk c;
        for (uint64_t pos = from; ChunkAt(file, pos, end, &c); pos = c.next) {
            if (c.id == Tag("LIST")) {
                if (depth < kMaxDepth && c.size >= 4)
                    scanList(c.data + 4, c.data + c.size, depth + 1);
            } else if (c.id != Tag("JUNK")) {
                addItem(c.id, c.data, c.size, false, false);
            }
        }
    }

    // Items from idx1; false (and nothing added) when the index does not match the file.
    bool readIndex() {
        const uint32_t entries = idxSize / 16;
        if (entries == 0)
            return false;
        std::vector<uint8_t> idx = file.bytes(idxData, entries * 16);
        if (idx.empty())
            return false;
        // Offsets count from the "movi" form type, or from the start of the file.
        uint64_t base = 0;
        bool found = false;
        for (uint32_t e = 0; e < entries && !found; ++e) {
            const uint8_t* p = &idx[size_t{e} * 16];
            uint32_t number;
            int32_t kind;
            if (!ItemId(U32(p), &number, &kind))
                continue;
            for (uint64_t candidate : {moviList, uint64_t{0}}) {
                uint8_t h[4];
                const uint64_t at = candidate + U32(p + 8);
                if (file.read(at, h, 4) && U32(h) == U32(p)) {
                    base = candidate;
                    found = true;
                    break;
                }
            }
            if (!found)
                return false;
        }
        if (!found)
            return false;
        std::vector<StreamIndex> saved = movie.streams;
        for (uint32_t e = 0; e < entries; ++e) {
            const uint8_t* p = &idx[size_t{e} * 16];
            uint32_t number;
            int32_t kind;
            if (!ItemId(U32(p), &number, &kind))
                continue;
            Chunk c;
            const uint64_t at = base + U32(p + 8);
            if (at < moviList + 4 || !ChunkAt(file, at, moviEnd, &c) || c.id != U32(p) || c.size != U32(p + 12)) {
                movie.streams = saved;
                itemCount = 0;
                return false;
            }
            addItem(c.id, c.data, c.size, (U32(p + 4) & 0x10) != 0, true);
        }
        return true;
    }

    bool run(std::string* why) {
        uint8_t h[12];
        if (!file.read(0, h, 12) || U32(h) != Tag("RIFF") || U32(h + 8) != Tag("AVI ")) {
            *why = "not a RIFF AVI file";
            return false;
        }
        // A form longer than the file is read as far as the file goes.
        const uint64_t riffEnd = std::min<uint64_t>(8 + uint64_t{U32(h + 4)}, file.size());
        bool haveHdrl = false;
        Chunk c;
        uint64_t pos = 12;
        for (;;) {
            if (!ChunkAt(file, pos, riffEnd, &c)) {
                // A movie list cut short by the end of the file still gives its whole chunks.
                uint8_t t[12];
                if (!haveMovi && pos + 12 <= riffEnd && file.read(pos, t, 12) && U32(t) == Tag("LIST") &&
                    U32(t + 8) == Tag("movi")) {
                    haveMovi = true;
                    moviList = pos + 8;
                    moviEnd = riffEnd;
                }
                break;
            }
            if (c.id == Tag("LIST") && c.size >= 4) {
                uint8_t form[4];
                if (file.read(c.data, form, 4)) {
                    if (U32(form) == Tag("hdrl") && !haveHdrl) {
                        haveHdrl = true;
                        readHdrl(c);
                    } else if (U32(form) == Tag("movi") && !haveMovi) {
                        haveMovi = true;
                        moviList = c.data;
                        moviEnd = c.data + c.size;
                    }
                }
            } else if (c.id == Tag("idx1") && !haveIdx) {
                haveIdx = true;
                idxData = c.data;
                idxSize = c.size;
            }
            pos = c.next;
        }
        if (!haveHdrl) {
            *why = "no header list";
            return false;
        }
        if (!haveMovi) {
            *why = "no movie data";
            return false;
        }
        for (const StreamIndex& s : movie.streams) {
            if (s.kind != SB_VIDEO)
                continue;
            if (s.info.scale == 0 || s.info.rate == 0 || s.info.rate / s.info.scale == 0) {
                *why = "video stream without a frame rate";
                return false;
            }
            // The player sizes its pictures by the stream's frame size: a size above the largest
            // picture the video library decodes is refused here, before anyone allocates for it.
            if (!vvlfmt::PictureFits(s.info.width, s.info.height)) {
                *why = "video frames larger than the largest picture";
                return false;
            }
        }
        movie.fromIndexChunk = haveIdx && readIndex();
        if (!movie.fromIndexChunk)
            scanList(moviList + 4, moviEnd, 0);
        for (StreamIndex& s : movie.streams) {
            s.info.itemCount = static_cast<uint32_t>(s.items.size());
            if (s.kind != SB_AUDIO)
                continue;
            s.sampleStart.assign(1, 0);
            // Only self-sized blocks need their bytes to be counted.
            const bool walk = s.audio.format.wFormatTag != WAVE_FORMAT_PCM && s.audio.format.wBitsPerSample == 3;
            std::vector<uint8_t> bytes;
            for (Item& item : s.items) {
                if (walk) {
                    bytes = file.bytes(item.offset, item.size);
                    item.samples = bytes.size() == item.size ? AudioItemSamples(s.audio, bytes.data(), item.size) : 0;
                } else {
                    item.samples = AudioItemSamples(s.audio, nullptr, item.size);
                }
                s.sampleStart.push_back(s.sampleStart.back() + item.samples);
            }
            s.info.length = static_cast<uint32_t>(std::min<uint64_t>(s.sampleStart.back(), 0xFFFFFFFFu));
        }
        return true;
    }
};

}  // namespace

uint32_t AudioItemSamples(const SBAUDIOFORMAT& a, const uint8_t* bytes, uint32_t size) {
    const WAVEFORMATEX& f = a.format;
    if (f.wFormatTag == WAVE_FORMAT_PCM)
        return f.nBlockAlign ? size / f.nBlockAlign : 0;
    if (f.wBitsPerSample == 3) {
        // Self-sized blocks: a 16-byte header whose count gives the data length.
        if (!bytes)
            return 0;
        uint64_t total = 0;
        uint64_t at = 0;
        while (at + 16 <= size) {
            const uint32_t count = U32(bytes + at + 6);
            uint64_t data = 3 * uint64_t{count / 4} + count % 4;
            data = (data + 3) / 4 * 4;
            if (at + 16 + data > size)
                break;
            total += count;
            at += 16 + data;
        }
        return static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
    }
    // 4-bit blocks of a size fixed by the samples per block.
    uint64_t block, words;
    if (f.nChannels == 1) {
        block = a.samplesPerBlock / 2 + 4;
        words = 2 * block - 7;
    } else if (f.nChannels == 2) {
        block = uint64_t{a.samplesPerBlock} + 7;
        words = block - 7;
    } else {
        return 0;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(size / block * words, 0xFFFFFFFFu));
}

bool FrameHeaderIsKey(const uint8_t* f, uint32_t size) {
    uint8_t frame[23] = {};
    std::memcpy(frame, f, std::min<uint32_t>(size, 23));
    if (size == 0 || frame[0] < 16)
        return false;
    const uint32_t length = ((frame[0] * 8u) | (frame[0] >> 5)) & 0x7F;
    uint8_t h[22] = {};
    for (int i = 1; i <= 21; ++i)
        h[i] = frame[i + 1] ^ frame[i];
    if (h[1] == 17)
        return true;
    if (length <= 10 || h[10] < 2)
        return true;  // an old header: intra frames only
    const uint8_t variant = h[11];
    if (variant > 3)
        return false;
    if (variant < 2)
        return true;
    const uint8_t flags = h[12];
    return (flags & 0x08) ? (flags & 0x10) != 0 : true;
}

bool ReadMovie(int fd, uint64_t fileSize, MovieIndex* movie, std::string* why) {
    File file(fd, fileSize);
    *movie = MovieIndex{};
    Parser parser{file, *movie};
    return parser.run(why);
}

}  // namespace sb
