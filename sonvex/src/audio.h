// The library's abstract interfaces: formats, sample sources, the source stream that builds one
// source at a time in its own storage, and the sinks and speakers that sources are written into.
//
// The sample word: 32 bits, the left (first) channel as signed 16 bits in the high half, the
// right in the low half; a mono value is repeated in both halves.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>

#include "rational.h"

class audioObject {
public:
    virtual ~audioObject() = default;
};

// Format bits: layout in bits 0-1, 16-bit width 4, unsigned 8.
enum : uint32_t {
    audioMono = 0,
    audioAltStereo = 1,
    audioSepStereo = 2,
    audioLayoutMask = 3,
    audio16Bit = 4,
    audioUnsigned = 8,
};

class audioFormat : public audioObject {
public:
    virtual uint32_t rate() const = 0;
    virtual uint32_t layout() const = 0;      // audioMono, audioAltStereo or audioSepStereo
    virtual uint32_t width() const = 0;       // audio16Bit or 0
    virtual uint32_t isUnsigned() const = 0;  // audioUnsigned or 0
    // "sample rate R, altStereo, sample width 16, signed" and an end of line.
    void describe(std::ostream& out) const;
    // altStereo, 16-bit, signed: the layout of the sample words themselves.
    bool standard() const { return layout() == audioAltStereo && width() == audio16Bit && !isUnsigned(); }
};

class audioFormatSpec : public audioFormat {
public:
    audioFormatSpec() = default;
    audioFormatSpec(uint32_t rate, uint32_t layout, uint32_t width, uint32_t isUnsigned)
        : m_rate(rate), m_bits(layout | width | isUnsigned) {}
    audioFormatSpec(const audioFormatSpec&) = default;
    audioFormatSpec& operator=(const audioFormatSpec&) = default;
    explicit audioFormatSpec(const audioFormat& f) : m_rate(f.rate()), m_bits(f.layout() | f.width() | f.isUnsigned()) {}
    uint32_t rate() const override { return m_rate; }
    uint32_t layout() const override { return m_bits & audioLayoutMask; }
    uint32_t width() const override { return m_bits & audio16Bit; }
    uint32_t isUnsigned() const override { return m_bits & audioUnsigned; }
    uint32_t bits() const { return m_bits; }
    void set(uint32_t rate, uint32_t layout, uint32_t width, uint32_t isUnsigned) {
        m_rate = rate;
        m_bits = layout | width | isUnsigned;
    }

private:
    uint32_t m_rate = 0;
    uint32_t m_bits = 0;
};

// Something that yields a known number of sample words at one rate. Counts are unsigned 32-bit:
// a request of 0xFFFFFFFF means "as many as there are".
class audioSource : public audioObject {
public:
    virtual void describe(std::ostream& out) const;
    virtual uint32_t rate() const = 0;
    virtual uint32_t next();
    virtual uint32_t remaining() const = 0;
    virtual uint32_t position() const = 0;
    // Copies min(n, remaining) words, advances by as many and returns the count.
    virtual uint32_t extract(uint32_t* words, uint32_t n) = 0;
    // Skips min(n, remaining) words; the default extracts them into a scratch array.
    virtual uint32_t skip(uint32_t n);
};

class audioSeekableSource : public audioSource {
public:
    // Same place: nothing; backwards: rewind and skip; forwards past the end: fatal.
    virtual uint32_t seek(uint32_t p);
    virtual void rewind() = 0;
};

// Silence of a given length.
class audioNullSource final : public audioSeekableSource {
public:
    audioNullSource(uint32_t rate, uint32_t length) : m_rate(rate), m_length(length) {}
    void describe(std::ostream& out) const override;
    uint32_t rate() const override { return m_rate; }
    uint32_t next() override;
    uint32_t remaining() const override { return m_length - m_position; }
    uint32_t position() const override { return m_position; }
    uint32_t extract(uint32_t* words, uint32_t n) override;
    uint32_t skip(uint32_t n) override;
    uint32_t seek(uint32_t p) override;
    void rewind() override { m_position = 0; }

private:
    uint32_t m_rate;
    uint32_t m_length;
    uint32_t m_position = 0;
};

// Hands out a series of sources one at a time, each built in the stream's own storage.
class audioSourceStream : public audioObject {
public:
    explicit audioSourceStream(size_t storageBytes);
    ~audioSourceStream() override;
    audioSourceStream(const audioSourceStream&) = delete;
    audioSourceStream& operator=(const audioSourceStream&) = delete;

    // Destroys the live source (in place when it sits in the storage).
    virtual void release();
    // The storage for the next source; fatal while a source is live.
    virtual void* sourceSpace();
    // Builds the next source, or null when there is none.
    virtual audioSource* makeSource();
    virtual void describe(std::ostream& out) const;
    virtual audioSource* current() const { return m_live; }
    virtual audioSource* live() const { return current(); }
    // A finished current source is released and the next one made; with no current source,
    // null (nothing is made).
    virtual audioSource* advance();

protected:
    // Builds a T in the storage and makes it live. A constructor that fails leaves nothing live.
    template <class T, class... Args>
    T* build(Args&&... args) {
        static_assert(alignof(T) <= alignof(std::max_align_t), "source over-aligned for the storage");
        if (sizeof(T) > m_size)
            storageTooSmall();
        void* space = sourceSpace();
        T* s = new (space) T(static_cast<Args&&>(args)...);
        m_live = s;
        return s;
    }
    // Makes a separately allocated source live (deleted, not destroyed in place, on release).
    void adopt(audioSource* s) { m_live = s; }

private:
    [[noreturn]] void storageTooSmall();
    unsigned char* m_storage = nullptr;
    size_t m_size = 0;
    audioSource* m_live = nullptr;
};

// Where sources are written: a sink has a format and free room counted in output frames.
class audioSink : public audioObject {
public:
    virtual const audioFormat& format() const = 0;
    virtual uint32_t space() = 0;
    virtual uint32_t room(uint32_t n);
    // Writes up to n frames of the source; returns the frames written.
    virtual uint32_t write(audioSource& source, uint32_t n) = 0;
    virtual Rational timeOffset() const { return Rational(); }
    virtual Rational conversionOffset() const { return Rational(); }
};

// The library's output: a sink that plays.
class audioSpeaker : public audioSink {
public:
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual uint32_t time() = 0;  // milliseconds played
    virtual uint32_t framesPlayed() = 0;
    virtual uint32_t framesWritten() = 0;
};
