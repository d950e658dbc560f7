// The movie container writer: field by field, little-endian, chunks padded to even sizes.
#include "datakit/movie_writer.h"

#include <algorithm>

#include "datakit/bytes.h"

namespace dk {
namespace {

struct IndexEntry {
    uint32_t id;
    uint32_t flags;
    size_t header;  // file position of the chunk header
    uint32_t size;
};

// Opens a chunk; returns the position of its size field for Close.
size_t Open(Bytes& b, uint32_t id) {
    b.u32(id);
    size_t at = b.size();
    b.u32(0);
    return at;
}
void Close(Bytes& b, size_t sizeAt) {
    b.put32(sizeAt, static_cast<uint32_t>(b.size() - sizeAt - 4));
    if (b.size() % 2)
        b.u8(0);
}

uint32_t StreamId(uint32_t number, const char (&two)[3]) {
    return uint32_t('0' + number / 10) | uint32_t('0' + number % 10) << 8 | uint32_t(uint8_t(two[0])) << 16 |
           uint32_t(uint8_t(two[1])) << 24;
}

uint16_t AudioBlockAlign(const MovieAudioTrack& a) {
    if (a.blockAlign)
        return a.blockAlign;
    if (a.formatTag == 1)
        return static_cast<uint16_t>(a.channels * a.bitsPerSample / 8);
    if (a.bitsPerSample == 3)
        return 1;
    return static_cast<uint16_t>(a.channels == 1 ? a.samplesPerBlock / 2 + 4 : a.samplesPerBlock + 7);
}

void Junk(Bytes& b, size_t n) {
    size_t at = Open(b, FourCC("JUNK"));
    b.zeros(n);
    Close(b, at);
}

}  // namespace

std::vector<uint8_t> WriteMovie(const MovieVideoTrack* video, const MovieAudioTrack* audio,
                                const MovieOptions& options) {
    Bytes b;
    const uint32_t videoNumber = 0;
    const uint32_t audioNumber = video ? 1 : 0;
    const size_t frames = video ? video->frames.size() : 0;
    size_t maxFrame = 0;
    if (video)
        for (const auto& f : video->frames)
            maxFrame = std::max(maxFrame, f.size());

    size_t riff = Open(b, FourCC("RIFF"));
    b.u32(FourCC("AVI "));

    size_t hdrl = Open(b, FourCC("LIST"));
    b.u32(FourCC("hdrl"));
    size_t avih = Open(b, FourCC("avih"));
    const uint32_t usPerFrame = (video && video->rate) ? static_cast<uint32_t>(1000000ull * video->scale / video->rate) : 0;
    b.u32(usPerFrame);
    b.u32(0);                                  // max bytes per second
    b.u32(0);                                  // padding granularity
    b.u32(options.index == MovieIndex::None ? 0 : 0x10);  // has an index
    b.u32(static_cast<uint32_t>(frames));
    b.u32(0);                                  // initial frames
    b.u32((video ? 1 : 0) + (audio ? 1 : 0));
    b.u32(static_cast<uint32_t>(maxFrame));
    b.u32(video ? video->width : 0);
    b.u32(video ? video->height : 0);
    b.zeros(16);
    Close(b, avih);

    if (video) {
        size_t strl = Open(b, FourCC("LIST"));
        b.u32(FourCC("strl"));
        size_t strh = Open(b, FourCC("strh"));
        b.u32(FourCC("vids")).u32(video->compression).u32(0);
        b.u16(0).u16(0);  // priority, language
        b.u32(0);         // initial frames
        b.u32(video->scale).u32(video->rate).u32(0).u32(static_cast<uint32_t>(frames));
        b.u32(static_cast<uint32_t>(maxFrame)).u32(0xFFFFFFFFu).u32(0);
        b.u16(0).u16(0).u16(video->width).u16(video->height);
        Close(b, strh);
        size_t strf = Open(b, FourCC("strf"));
        b.u32(40).i32(static_cast<int32_t>(video->width)).i32(static_cast<int32_t>(video->height));
        b.u16(1).u16(video->bitCount).u32(video->compression);
        b.u32(video->width * video->height * video->bitCount / 8);
        b.u32(0).u32(0).u32(0).u32(0);
        Close(b, strf);
        Close(b, strl);
    }
    if (audio) {
        const uint16_t align = AudioBlockAlign(*audio);
        const uint32_t avg = audio->avgBytesPerSec ? audio->avgBytesPerSec : audio->sampleRate * align;
        size_t strl = Open(b, FourCC("LIST"));
        b.u32(FourCC("strl"));
        size_t strh = Open(b, FourCC("strh"));
        b.u32(FourCC("auds")).u32(0).u32(0);
        b.u16(0).u16(0).u32(0);
        b.u32(1).u32(audio->sampleRate).u32(0).u32(0);
        size_t maxChunk = 0;
        for (const auto& c : audio->chunks)
            maxChunk = std::max(maxChunk, c.size());
        b.u32(static_cast<uint32_t>(maxChunk)).u32(0xFFFFFFFFu).u32(audio->formatTag == 1 ? align : 0);
        b.u16(0).u16(0).u16(0).u16(0);
        Close(b, strh);
        size_t strf = Open(b, FourCC("strf"));
        b.u16(audio->formatTag).u16(audio->channels).u32(audio->sampleRate).u32(avg);
        b.u16(align).u16(audio->bitsPerSample);
        if (audio->formatBytes >= 20)
            b.u16(2).u16(audio->samplesPerBlock);
        else if (audio->formatBytes >= 18)
            b.u16(0);
        Close(b, strf);
        Close(b, strl);
    }
    Close(b, hdrl);
    if (options.junk)
        Junk(b, 30);

    size_t movi = Open(b, FourCC("LIST"));
    const size_t moviList = b.size();  // position of the "movi" form type
    b.u32(FourCC("movi"));
    std::vector<IndexEntry> index;
    auto item = [&](uint32_t id, const std::vector<uint8_t>& bytes, bool key) {
        index.push_back({id, key ? 0x10u : 0u, b.size(), static_cast<uint32_t>(bytes.size())});
        size_t at = Open(b, id);
        b.raw(bytes);
        Close(b, at);
    };
    const size_t chunks = audio ? audio->chunks.size() : 0;
    size_t nextChunk = 0;
    auto audioUpTo = [&](size_t frame) {
        while (nextChunk < chunks && (frames == 0 || nextChunk * frames / chunks <= frame))
            item(StreamId(audioNumber, "wb"), audio->chunks[nextChunk++], true);
    };
    if (options.junk)
        Junk(b, 10);
    for (size_t f = 0; f < frames; ++f) {
        size_t rec = 0;
        if (options.recLists) {
            rec = Open(b, FourCC("LIST"));
            b.u32(FourCC("rec "));
        }
        audioUpTo(f);
        const bool key = video->keyFrames.empty() || (f < video->keyFrames.size() && video->keyFrames[f]);
        item(StreamId(videoNumber, "dc"), video->frames[f], key);
        if (options.recLists)
            Close(b, rec);
    }
    audioUpTo(frames);
    Close(b, movi);

    if (options.index != MovieIndex::None) {
        size_t idx1 = Open(b, FourCC("idx1"));
        const size_t base = options.index == MovieIndex::FromMovi ? moviList : 0;
        for (const IndexEntry& e : index)
            b.u32(e.id).u32(e.flags).u32(static_cast<uint32_t>(e.header - base)).u32(e.size);
        Close(b, idx1);
    }
    Close(b, riff);
    return b.data;
}

bool WriteMovieFile(const std::string& path, const MovieVideoTrack* video, const MovieAudioTrack* audio,
                    const MovieOptions& options) {
    return WriteFile(path, WriteMovie(video, audio, options));
}

}  // namespace dk
