// Fitting sources to an output: runs of output frames (audioBlock), the rate convertors (copy,
// double, half), the adaptor that feeds a source through them, and the circular sink that writes
// sources into a ring buffer, wrapping at its end.
//
// Interleaved output keeps the WAVE order in memory: the left channel (the high half of a sample
// word) comes first, as 16-bit little-endian values or as 8-bit bytes.
#pragma once
#include <cstdint>

#include "audio.h"
#include "circbuf.h"

// A run of frames in one format: one pointer (two for sepStereo, left in the first) and a count.
class audioBlock {
public:
    audioBlock(const audioFormat& format, uint8_t* first, uint8_t* second, uint32_t frames);
    // An input run of sample words (altStereo, 16-bit, signed, in native word order).
    audioBlock(const uint32_t* words, uint32_t count);

    uint32_t count() const { return m_count; }
    uint32_t layout() const { return m_layout; }
    bool wide() const { return m_wide; }
    bool isUnsigned() const { return m_unsigned; }
    uint8_t* first() const { return m_p0; }
    uint8_t* second() const { return m_p1; }
    // Bytes of one frame in each buffer.
    uint32_t frameBytes() const;
    const uint32_t* words() const { return reinterpret_cast<const uint32_t*>(m_p0); }
    // Moves past n frames; beyond the count is fatal.
    void advance(uint32_t n);
    // Writes one sample word as a frame (with the copy conversions) and moves past it.
    void put(uint32_t word);

private:
    uint8_t* m_p0;
    uint8_t* m_p1;
    uint32_t m_count;
    uint32_t m_layout;
    bool m_wide;
    bool m_unsigned;
};

class audioFconvertor : public audioObject {
public:
    enum Kind { copyKind = 1, doubleKind = 2, halfKind = 3 };
    // A copy, double or half convertor for the pair; any other ratio is fatal.
    static audioFconvertor* make(uint32_t inRate, uint32_t outRate);

    virtual uint32_t inputRate() const = 0;
    virtual uint32_t outputRate() const = 0;
    virtual Kind kind() const = 0;
    // Input words needed for n output frames, and output frames that n input words give.
    virtual uint32_t inputFor(uint32_t n) const = 0;
    virtual uint32_t outputFor(uint32_t n) const = 0;
    // Time offset of a held-over sample (0/1 when none is held).
    virtual Rational offset() const { return Rational(); }
    virtual uint32_t lastWord() const { return m_last; }
    virtual bool holding() const { return !offset().isZero(); }
    // Drops the held-over sample.
    virtual void reset() { m_held = false; }
    // Converts as much of the input into the output as both allow, advancing both.
    virtual void convert(audioBlock& in, audioBlock& out) = 0;

protected:
    explicit audioFconvertor(uint32_t rate) : m_rate(rate) {}
    uint32_t m_rate;
    uint32_t m_last = 0;
    bool m_held = false;
};

class audioCopyConvertor final : public audioFconvertor {
public:
    explicit audioCopyConvertor(uint32_t rate) : audioFconvertor(rate) {}
    uint32_t inputRate() const override { return m_rate; }
    uint32_t outputRate() const override { return m_rate; }
    Kind kind() const override { return copyKind; }
    uint32_t inputFor(uint32_t n) const override { return n; }
    uint32_t outputFor(uint32_t n) const override { return n; }
    void convert(audioBlock& in, audioBlock& out) override;
};

class audioDoubleConvertor final : public audioFconvertor {
public:
    explicit audioDoubleConvertor(uint32_t inRate) : audioFconvertor(inRate) {}
    uint32_t inputRate() const override { return m_rate; }
    uint32_t outputRate() const override { return 2 * m_rate; }
    Kind kind() const override { return doubleKind; }
    uint32_t inputFor(uint32_t n) const override;
    uint32_t outputFor(uint32_t n) const override;
    Rational offset() const override;
    void convert(audioBlock& in, audioBlock& out) override;
};

class audioHalfConvertor final : public audioFconvertor {
public:
    explicit audioHalfConvertor(uint32_t outRate) : audioFconvertor(outRate) {}
    uint32_t inputRate() const override { return 2 * m_rate; }
    uint32_t outputRate() const override { return m_rate; }
    Kind kind() const override { return halfKind; }
    uint32_t inputFor(uint32_t n) const override;
    uint32_t outputFor(uint32_t n) const override;
    Rational offset() const override;
    void convert(audioBlock& in, audioBlock& out) override;
};

// Feeds a source into an output block: straight when nothing needs converting, else through
// a convertor and a scratch buffer of sample words, in pieces of at most its size.
class audioAdaptor : public audioObject {
public:
    explicit audioAdaptor(uint32_t bufferWords = 4000) : m_bufferWords(bufferWords) {}
    ~audioAdaptor() override;
    audioAdaptor(const audioAdaptor&) = delete;
    audioAdaptor& operator=(const audioAdaptor&) = delete;

    // Keeps the convertor for these rates, else replaces it (fatal while it holds a sample).
    void setFrequencies(uint32_t inRate, uint32_t outRate);
    // Writes frames of the source into the block (of the given format); returns the count.
    uint32_t fill(audioSource& source, audioBlock& out, const audioFormat& outFormat);
    void reset();
    Rational offset() const { return m_offset; }
    audioFconvertor* convertor() const { return m_convertor; }

private:
    void cvt(audioSource& source, uint32_t n, audioBlock& out);
    audioFconvertor* m_convertor = nullptr;
    audioWordRing* m_buffer = nullptr;
    uint32_t m_bufferWords;
    Rational m_offset;
    bool m_logged = false;
    bool m_loggedStraight = false;
};

// Writes sources into a ring of frames that a device plays; space = capacity + played - written.
class audioCircularSink : public audioSink {
public:
    // Without an adaptor of the caller's, the sink makes (and owns) one of 4000 words.
    audioCircularSink(const audioFormat& format, uint8_t* buffer, uint32_t bytes, uint8_t* second = nullptr,
                      audioAdaptor* adaptor = nullptr);
    ~audioCircularSink() override;
    audioCircularSink(const audioCircularSink&) = delete;
    audioCircularSink& operator=(const audioCircularSink&) = delete;

    const audioFormat& format() const override { return m_format; }
    uint32_t space() override { return m_capacity + m_played - m_written; }
    uint32_t write(audioSource& source, uint32_t n) override;
    Rational conversionOffset() const override { return m_adaptor ? m_adaptor->offset() : Rational(); }

    // Counts back to 0 and the adaptor's held-over sample dropped.
    void reset();
    uint32_t capacity() const { return m_capacity; }
    uint32_t written() const { return m_written; }
    uint32_t played() const { return m_played; }
    // The device's progress; a device that overtakes what was written marks the ring stale.
    void setPlayed(uint32_t frames);
    bool stale() const { return m_stale; }
    audioAdaptor* adaptor() const { return m_adaptor; }

private:
    uint32_t writeSpan(audioSource& source, uint32_t r);
    audioFormatSpec m_format;
    audioAdaptor* m_adaptor = nullptr;
    bool m_ownsAdaptor = false;
    uint8_t* m_buffer;
    uint8_t* m_second;
    uint32_t m_capacity = 0;
    uint32_t m_frameBytes = 1;
    uint32_t m_written = 0;
    uint32_t m_played = 0;
    bool m_stale = false;
};
