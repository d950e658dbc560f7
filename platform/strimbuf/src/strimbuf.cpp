// The stream-buffer library's exports: buffers (a byte budget for the items handed out and not
// yet released), open movies with a cursor per stream, and item reads into the buffer's slots.
// Every handle is checked against the live ones, so a null, closed or unknown handle does
// nothing harmful.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "movie_reader.h"
#include "plat.h"
#include "strimbuf.h"

namespace {
constexpr uint32_t kPadding = 64;  // zero bytes after every item, for decoders that read words
}  // namespace

struct SBBUFFER {
    struct Slot {
        bool used = false;
        SBSTREAM* stream = nullptr;
        uint32_t size = 0;
        std::unique_ptr<uint8_t[]> bytes;
    };
    uint64_t budget = 0;
    uint64_t held = 0;
    std::vector<Slot> slots;
};

struct SBSTREAM {
    SBMOVIE* movie = nullptr;
    size_t stream = 0;  // index into the movie's streams
    bool open = false;
    size_t cursor = 0;  // next item
};

struct SBMOVIE {
    int fd = -1;
    SBBUFFER* buffer = nullptr;
    sb::MovieIndex index;
    std::vector<std::unique_ptr<SBSTREAM>> streams;
};

namespace {

struct Library {
    std::recursive_mutex lock;
    std::set<SBBUFFER*> buffers;
    std::set<SBMOVIE*> movies;
    std::set<SBSTREAM*> streams;
};

Library& L() {
    static Library* l = new Library;
    return *l;
}

using Guard = std::lock_guard<std::recursive_mutex>;

bool LiveBuffer(SBBUFFER* b) {
    return b && L().buffers.count(b);
}
bool LiveMovie(SBMOVIE* m) {
    return m && L().movies.count(m);
}
// An open stream of a live movie, or null.
const sb::StreamIndex* Open(SBSTREAM* s) {
    if (!s || !L().streams.count(s) || !s->open)
        return nullptr;
    return &s->movie->index.streams[s->stream];
}

void ReleaseSlot(SBBUFFER* b, size_t i) {
    SBBUFFER::Slot& slot = b->slots[i];
    if (!slot.used)
        return;
    b->held -= slot.size;
    slot = SBBUFFER::Slot{};
}

void CloseMovie(SBMOVIE* m) {
    // Items still held from this movie go back to the buffer.
    if (LiveBuffer(m->buffer)) {
        for (size_t i = 0; i < m->buffer->slots.size(); ++i)
            if (m->buffer->slots[i].used && m->buffer->slots[i].stream->movie == m)
                ReleaseSlot(m->buffer, i);
    }
    for (auto& s : m->streams)
        L().streams.erase(s.get());
    if (m->fd >= 0)
        ::close(m->fd);
    L().movies.erase(m);
    delete m;
}

void FreeBuffer(SBBUFFER* b) {
    for (SBMOVIE* m : L().movies)
        if (m->buffer == b)
            m->buffer = nullptr;
    L().buffers.erase(b);
    delete b;
}

// Frames per second of a video stream (rate / scale, truncated), 0 for none.
uint32_t FramesPerSecond(const sb::StreamIndex* v) {
    return (v && v->info.scale) ? v->info.rate / v->info.scale : 0;
}

bool ReadItem(int fd, const sb::Item& item, uint8_t* out) {
    size_t done = 0;
    while (done < item.size) {
        ssize_t got = ::pread(fd, out + done, item.size - done, static_cast<off_t>(item.offset + done));
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

SBAPI int32_t sbInit(int32_t, int32_t, int32_t) {
    return 0;
}

SBAPI void sbExit(void) {
    Guard guard(L().lock);
    while (!L().movies.empty())
        CloseMovie(*L().movies.begin());
    while (!L().buffers.empty())
        FreeBuffer(*L().buffers.begin());
}

SBAPI SBBUFFER* sbAllocBuffer(int32_t bytes, int32_t) {
    if (bytes <= 0)
        return nullptr;
    Guard guard(L().lock);
    auto* b = new SBBUFFER;
    b->budget = static_cast<uint64_t>(bytes);
    L().buffers.insert(b);
    return b;
}

SBAPI void sbFreeBuffer(SBBUFFER* buffer) {
    Guard guard(L().lock);
    if (LiveBuffer(buffer))
        FreeBuffer(buffer);
}

SBAPI SBMOVIE* sbOpenMovie(const char* path, SBBUFFER* buffer) {
    if (!path)
        return nullptr;
    Guard guard(L().lock);
    if (!LiveBuffer(buffer))
        return nullptr;
    const std::string resolved = plat::ResolvePath(path);
    int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* m = new SBMOVIE;
    m->fd = fd;
    m->buffer = buffer;
    std::string why;
    bool ok = sb::ReadMovie(fd, static_cast<uint64_t>(st.st_size), &m->index, &why);
    // An item larger than the whole buffer could never be handed out.
    for (const sb::StreamIndex& s : m->index.streams)
        for (const sb::Item& item : s.items)
            if (item.size > buffer->budget)
                ok = false;
    if (!ok) {
        ::close(fd);
        delete m;
        return nullptr;
    }
    for (size_t i = 0; i < m->index.streams.size(); ++i) {
        auto s = std::make_unique<SBSTREAM>();
        s->movie = m;
        s->stream = i;
        L().streams.insert(s.get());
        m->streams.push_back(std::move(s));
    }
    L().movies.insert(m);
    return m;
}

SBAPI void sbCloseMovie(SBMOVIE* movie) {
    Guard guard(L().lock);
    if (LiveMovie(movie))
        CloseMovie(movie);
}

SBAPI SBSTREAM* sbOpenStream(SBMOVIE* movie, int32_t index, int32_t, int32_t kind) {
    Guard guard(L().lock);
    if (!LiveMovie(movie) || index < 0)
        return nullptr;
    int32_t seen = 0;
    for (size_t i = 0; i < movie->index.streams.size(); ++i) {
        if (movie->index.streams[i].kind != kind)
            continue;
        if (seen++ == index) {
            SBSTREAM* s = movie->streams[i].get();
            s->open = true;
            return s;
        }
    }
    return nullptr;
}

SBAPI void sbCloseStream(SBSTREAM* stream) {
    Guard guard(L().lock);
    if (Open(stream))
        stream->open = false;
}

SBAPI const SBSTREAMINFO* sbStreamInfo(SBSTREAM* stream) {
    Guard guard(L().lock);
    const sb::StreamIndex* s = Open(stream);
    return s ? &s->info : nullptr;
}

SBAPI const WAVEFORMATEX* sbAudioFormat(SBSTREAM* stream, int32_t* channels, int32_t* samplesPerSec,
                                        int32_t* bytesPerSec, int32_t* formatTag) {
    Guard guard(L().lock);
    const sb::StreamIndex* s = Open(stream);
    const bool audio = s && s->kind == SB_AUDIO;
    const WAVEFORMATEX* f = audio ? &s->audio.format : nullptr;
    if (channels)
        *channels = f ? f->nChannels : 0;
    if (samplesPerSec)
        *samplesPerSec = f ? static_cast<int32_t>(f->nSamplesPerSec) : 0;
    if (bytesPerSec)
        *bytesPerSec = f ? static_cast<int32_t>(f->nAvgBytesPerSec) : 0;
    if (formatTag)
        *formatTag = f ? f->wFormatTag : 0;
    return f;
}

SBAPI int32_t sbRates(SBSTREAM* video, SBSTREAM* audio, int32_t* framesPerSec, int32_t* samplesPerSec) {
    Guard guard(L().lock);
    const sb::StreamIndex* v = Open(video);
    const sb::StreamIndex* a = Open(audio);
    if (v && v->kind != SB_VIDEO)
        v = nullptr;
    if (a && a->kind != SB_AUDIO)
        a = nullptr;
    if (framesPerSec)
        *framesPerSec = static_cast<int32_t>(std::min<uint32_t>(FramesPerSecond(v), 0x7FFFFFFF));
    if (samplesPerSec)
        *samplesPerSec = a ? static_cast<int32_t>(std::min<uint32_t>(a->audio.format.nSamplesPerSec, 0x7FFFFFFF)) : 0;
    return 0;
}

SBAPI int32_t sbSeek(SBBUFFER*, SBMOVIE* movie, int32_t frame, int32_t) {
    Guard guard(L().lock);
    if (!LiveMovie(movie))
        return -1;
    const uint64_t n = frame > 0 ? static_cast<uint64_t>(frame) : 0;
    const sb::StreamIndex* video = nullptr;
    for (const sb::StreamIndex& s : movie->index.streams)
        if (s.kind == SB_VIDEO) {
            video = &s;
            break;
        }
    const uint32_t fps = FramesPerSecond(video);
    for (auto& handle : movie->streams) {
        const sb::StreamIndex& s = movie->index.streams[handle->stream];
        if (s.kind == SB_VIDEO) {
            handle->cursor = static_cast<size_t>(std::min<uint64_t>(n, s.items.size()));
        } else {
            // The first chunk that ends after the frame's time.
            const uint64_t target = fps ? n * s.audio.format.nSamplesPerSec / fps : 0;
            size_t i = 0;
            while (i < s.items.size() && s.sampleStart[i + 1] <= target)
                ++i;
            handle->cursor = i;
        }
    }
    return 0;
}

SBAPI int32_t sbReadAhead(SBBUFFER*, int32_t, int32_t) {
    return 0;
}

SBAPI int32_t sbNextChunk(SBSTREAM* stream, const uint8_t** data, int32_t* length, int32_t mode, int32_t) {
    Guard guard(L().lock);
    const sb::StreamIndex* s = Open(stream);
    if (!s)
        return -1;
    if (mode == 2 || !data || !length)
        return 0;  // priming: nothing is taken
    if (stream->cursor >= s->items.size())
        return -1;
    SBBUFFER* b = stream->movie->buffer;
    if (!LiveBuffer(b))
        return -1;
    const sb::Item& item = s->items[stream->cursor];
    if (b->held + item.size > b->budget)
        return -2;  // the unreleased items fill the buffer
    size_t slot = 0;
    while (slot < b->slots.size() && b->slots[slot].used)
        ++slot;
    if (slot == b->slots.size())
        b->slots.emplace_back();
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t{item.size} + kPadding]());
    if (!ReadItem(stream->movie->fd, item, bytes.get()))
        return -1;  // the file changed under us: the stream ends here
    SBBUFFER::Slot& sl = b->slots[slot];
    sl.used = true;
    sl.stream = stream;
    sl.size = item.size;
    sl.bytes = std::move(bytes);
    b->held += item.size;
    ++stream->cursor;
    *data = sl.bytes.get();
    *length = static_cast<int32_t>(item.size);
    return static_cast<int32_t>(slot);
}

SBAPI int32_t sbRelease(SBBUFFER* buffer, int32_t index) {
    Guard guard(L().lock);
    if (!LiveBuffer(buffer) || index < 0 || static_cast<size_t>(index) >= buffer->slots.size())
        return 0;
    ReleaseSlot(buffer, static_cast<size_t>(index));
    return 0;
}

SBAPI int32_t sbPosition(SBSTREAM* stream, int32_t) {
    Guard guard(L().lock);
    const sb::StreamIndex* s = Open(stream);
    if (!s)
        return 0;
    uint64_t p = s->kind == SB_VIDEO ? stream->cursor : s->sampleStart[stream->cursor];
    return static_cast<int32_t>(std::min<uint64_t>(p, 0x7FFFFFFF));
}

SBAPI int32_t sbFrameFlags(SBSTREAM* video, int32_t frame, int32_t) {
    Guard guard(L().lock);
    const sb::StreamIndex* s = Open(video);
    if (!s || s->kind != SB_VIDEO || frame < 0 || static_cast<size_t>(frame) >= s->items.size())
        return 0;
    return s->items[static_cast<size_t>(frame)].key ? SB_KEYFRAME : 0;
}
