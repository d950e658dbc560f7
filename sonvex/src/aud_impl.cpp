// Rate convertors, the adaptor and the circular sink.
//
// Kernels work on channel values at 16-bit precision (L the high half of a word, R the low half;
// ">>" arithmetic); an 8-bit output stores a value >> 8, and an unsigned output XORs 0x80 (8-bit)
// or 0x8000 (16-bit) after the computation.
#include "aud_impl.h"

#include <cstring>
#include <new>

#include "integer.h"
#include "sonvex_log.h"

namespace {

void put16(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
}

// Writes one frame of the output format and moves the pointer(s) past it. Mono takes its value
// in l; the stereo layouts take both channels.
template <uint32_t Layout, bool Wide>
struct emitter {
    uint8_t* p0;
    uint8_t* p1;
    uint32_t flip16;  // 0x8000 for unsigned output, else 0
    uint32_t flip8;   // 0x80 for unsigned output, else 0

    void frame(int32_t l, int32_t r) {
        if constexpr (Layout == audioMono) {
            (void)r;
            if constexpr (Wide) {
                put16(p0, l ^ static_cast<int32_t>(flip16));
                p0 += 2;
            } else {
                *p0++ = static_cast<uint8_t>((l >> 8) ^ static_cast<int32_t>(flip8));
            }
        } else if constexpr (Layout == audioAltStereo) {
            if constexpr (Wide) {
                put16(p0, l ^ static_cast<int32_t>(flip16));
                put16(p0 + 2, r ^ static_cast<int32_t>(flip16));
                p0 += 4;
            } else {
                p0[0] = static_cast<uint8_t>((l >> 8) ^ static_cast<int32_t>(flip8));
                p0[1] = static_cast<uint8_t>((r >> 8) ^ static_cast<int32_t>(flip8));
                p0 += 2;
            }
        } else {
            if constexpr (Wide) {
                put16(p0, l ^ static_cast<int32_t>(flip16));
                put16(p1, r ^ static_cast<int32_t>(flip16));
                p0 += 2;
                p1 += 2;
            } else {
                *p0++ = static_cast<uint8_t>((l >> 8) ^ static_cast<int32_t>(flip8));
                *p1++ = static_cast<uint8_t>((r >> 8) ^ static_cast<int32_t>(flip8));
            }
        }
    }
    // One sample word as a frame: mono is (L + R) >> 1.
    void word(uint32_t w) {
        int32_t l = WordLeft(w), r = WordRight(w);
        if constexpr (Layout == audioMono)
            frame((l + r) >> 1, 0);
        else
            frame(l, r);
    }
};

constexpr bool isMono(uint32_t layout) {
    return layout == audioMono;
}

// The three kinds of kernel, each over any output format through its emitter.
template <class E>
uint32_t copyKernel(E& e, const uint32_t* in, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        e.word(in[i]);
    return n;
}

// Midpoint of two words, as the layout needs it: per channel, or of the two mono values.
template <uint32_t Layout, class E>
void emitMidpoint(E& e, uint32_t p, uint32_t x) {
    if constexpr (Layout == audioMono) {
        int32_t mp = (WordLeft(p) + WordRight(p)) >> 1;
        int32_t mx = (WordLeft(x) + WordRight(x)) >> 1;
        e.frame((mp + mx) >> 1, 0);
    } else {
        e.frame((WordLeft(p) + WordLeft(x)) >> 1, (WordRight(p) + WordRight(x)) >> 1);
    }
}

// Average of two words for the half kernel: per channel, or of all four values for mono.
template <uint32_t Layout, class E>
void emitAverage(E& e, uint32_t a, uint32_t b) {
    if constexpr (Layout == audioMono)
        e.frame((WordLeft(a) + WordRight(a) + WordLeft(b) + WordRight(b)) >> 2, 0);
    else
        e.frame((WordLeft(a) + WordLeft(b)) >> 1, (WordRight(a) + WordRight(b)) >> 1);
}

template <uint32_t Layout, bool Wide>
emitter<Layout, Wide> makeEmitter(const audioBlock& out) {
    return emitter<Layout, Wide>{out.first(), out.second(), out.isUnsigned() ? 0x8000u : 0u,
                                 out.isUnsigned() ? 0x80u : 0u};
}

// Calls f.template operator()<Layout, Wide>() for the output block's format.
template <class F>
void dispatch(const audioBlock& out, F&& f) {
    switch (out.layout()) {
    case audioMono:
        if (out.wide())
            f.template operator()<audioMono, true>();
        else
            f.template operator()<audioMono, false>();
        break;
    case audioAltStereo:
        if (out.wide())
            f.template operator()<audioAltStereo, true>();
        else
            f.template operator()<audioAltStereo, false>();
        break;
    default:
        if (out.wide())
            f.template operator()<audioSepStereo, true>();
        else
            f.template operator()<audioSepStereo, false>();
        break;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// audioBlock

audioBlock::audioBlock(const audioFormat& format, uint8_t* first, uint8_t* second, uint32_t frames)
    : m_p0(first),
      m_p1(second),
      m_count(frames),
      m_layout(format.layout() > audioSepStereo ? audioSepStereo : format.layout()),
      m_wide(format.width() != 0),
      m_unsigned(format.isUnsigned() != 0) {}

audioBlock::audioBlock(const uint32_t* words, uint32_t count)
    : m_p0(reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(words))),
      m_p1(nullptr),
      m_count(count),
      m_layout(audioAltStereo),
      m_wide(true),
      m_unsigned(false) {}

uint32_t audioBlock::frameBytes() const {
    uint32_t b = m_wide ? 2 : 1;
    return m_layout == audioAltStereo ? 2 * b : b;
}

void audioBlock::advance(uint32_t n) {
    if (n > m_count)
        AUDIO_FATAL("audioBlock::Trying to advance beyond length");
    m_p0 += static_cast<size_t>(n) * frameBytes();
    if (m_p1)
        m_p1 += static_cast<size_t>(n) * frameBytes();
    m_count -= n;
}

void audioBlock::put(uint32_t word) {
    if (m_count == 0)
        AUDIO_FATAL("audioBlock::Trying to advance beyond length");
    audioBlock& out = *this;
    dispatch(out, [&]<uint32_t L, bool W>() {
        auto e = makeEmitter<L, W>(out);
        e.word(word);
    });
    advance(1);
}

// ---------------------------------------------------------------------------------------------
// Convertors

audioFconvertor* audioFconvertor::make(uint32_t inRate, uint32_t outRate) {
    audioFconvertor* c = nullptr;
    if (inRate == outRate) {
        c = new (std::nothrow) audioCopyConvertor(inRate);
    } else if (outRate == 2 * static_cast<uint64_t>(inRate)) {
        if (inRate > 100000)
            AUDIO_FATAL("audioDoubleConvertor input frequency too large");
        c = new (std::nothrow) audioDoubleConvertor(inRate);
    } else if (inRate == 2 * static_cast<uint64_t>(outRate)) {
        if (outRate > 100000)
            AUDIO_FATAL("audioHalfConvertor output frequency too large");
        c = new (std::nothrow) audioHalfConvertor(outRate);
    } else {
        AUDIO_FATAL("audioFconvertor::General conversion");
    }
    return c;
}

void audioCopyConvertor::convert(audioBlock& in, audioBlock& out) {
    uint32_t n = in.count() < out.count() ? in.count() : out.count();
    if (n == 0)
        return;
    const uint32_t* words = in.words();
    dispatch(out, [&]<uint32_t L, bool W>() {
        auto e = makeEmitter<L, W>(out);
        copyKernel(e, words, n);
    });
    m_last = words[n - 1];
    in.advance(n);
    out.advance(n);
}

uint32_t audioDoubleConvertor::inputFor(uint32_t n) const {
    uint32_t h = m_held ? 1 : 0;
    if (n == 0 || n == h)
        return 0;
    return (n - h + 1) / 2;
}

uint32_t audioDoubleConvertor::outputFor(uint32_t n) const {
    uint64_t out = (m_held ? 1u : 0u) + 2 * uint64_t{n};
    return out > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(out);
}

Rational audioDoubleConvertor::offset() const {
    return m_held ? Rational(1, 2 * m_rate) : Rational();
}

void audioDoubleConvertor::convert(audioBlock& in, audioBlock& out) {
    const uint32_t* words = in.words();
    const uint32_t inCount = in.count();
    const uint32_t room = out.count();
    uint32_t used = 0, written = 0;
    dispatch(out, [&]<uint32_t L, bool W>() {
        auto e = makeEmitter<L, W>(out);
        if (m_held && written < room) {
            e.word(m_last);  // the held-over sample is the last input word itself
            ++written;
            m_held = false;
        }
        while (room - written >= 2 && used < inCount) {
            uint32_t x = words[used++];
            emitMidpoint<L>(e, m_last, x);
            e.word(x);
            written += 2;
            m_last = x;
        }
        if (room - written == 1 && used < inCount) {
            uint32_t x = words[used++];
            emitMidpoint<L>(e, m_last, x);
            ++written;
            m_last = x;
            m_held = true;
        }
    });
    in.advance(used);
    out.advance(written);
}

uint32_t audioHalfConvertor::inputFor(uint32_t n) const {
    uint64_t need = 2 * uint64_t{n} - (m_held ? 1 : 0) + 1;
    return need > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(need);
}

uint32_t audioHalfConvertor::outputFor(uint32_t n) const {
    return static_cast<uint32_t>((uint64_t{n} + (m_held ? 1 : 0)) / 2);
}

Rational audioHalfConvertor::offset() const {
    return m_held ? Rational(1, 2 * m_rate) : Rational();
}

void audioHalfConvertor::convert(audioBlock& in, audioBlock& out) {
    const uint32_t* words = in.words();
    const uint32_t inCount = in.count();
    const uint32_t room = out.count();
    uint32_t used = 0, written = 0;
    dispatch(out, [&]<uint32_t L, bool W>() {
        auto e = makeEmitter<L, W>(out);
        if (m_held && used < inCount && written < room) {
            uint32_t b = words[used++];
            emitAverage<L>(e, m_last, b);
            ++written;
            m_last = b;
            m_held = false;
        }
        while (written < room && inCount - used >= 2) {
            uint32_t a = words[used], b = words[used + 1];
            used += 2;
            emitAverage<L>(e, a, b);
            ++written;
            m_last = b;
        }
        if (!m_held && inCount - used == 1) {
            m_last = words[used++];  // an odd word waits for the next call
            m_held = true;
        }
    });
    in.advance(used);
    out.advance(written);
}

// ---------------------------------------------------------------------------------------------
// Adaptor

audioAdaptor::~audioAdaptor() {
    delete m_convertor;
    delete m_buffer;
}

void audioAdaptor::setFrequencies(uint32_t inRate, uint32_t outRate) {
    if (m_convertor && m_convertor->inputRate() == inRate && m_convertor->outputRate() == outRate)
        return;
    if (m_convertor) {
        if (m_convertor->holding())
            AUDIO_FATAL("audioAdaptor::Changing frequencies, nonempty convertor");
        delete m_convertor;
        m_convertor = nullptr;
    }
    m_convertor = audioFconvertor::make(inRate, outRate);
    if (!m_convertor)
        AUDIO_FATAL("audioAdaptor::Cannot make convertor");
}

void audioAdaptor::reset() {
    m_offset = Rational();
    if (m_convertor)
        m_convertor->reset();
}

uint32_t audioAdaptor::fill(audioSource& source, audioBlock& out, const audioFormat& outFormat) {
    setFrequencies(source.rate(), outFormat.rate());
    uint32_t in = source.remaining();
    uint32_t oc = out.count();
    const uint32_t outL = oc;
    uint32_t want = m_convertor->inputFor(oc);
    if (in > want)
        in = want;
    uint32_t give = m_convertor->outputFor(in);
    if (oc > give)
        oc = give;
    if (in == 0 && oc == 0)
        return 0;
    if (!m_logged) {
        m_logged = true;
        std::ostream& log = audioLog();
        log << "audioAdaptor::Input freq " << source.rate() << "\n output type ";
        outFormat.describe(log);
        log << "\n" << (outFormat.standard() ? "Standard" : "Nonstandard");
    }
    const bool aligned = reinterpret_cast<uintptr_t>(out.first()) % alignof(uint32_t) == 0;
    if (m_convertor->kind() == audioFconvertor::copyKind && outFormat.standard() && aligned) {
        if (!m_loggedStraight) {
            m_loggedStraight = true;
            audioLog() << "audioAdaptor::Writing source directly into output buffer";
        }
        uint8_t* dst = out.first();
        uint32_t got = source.extract(reinterpret_cast<uint32_t*>(dst), oc);
        if (got < oc)
            AUDIO_FATAL("audioAdaptor::Convert straight fill failed");
        // Left channel first in memory.
        for (uint32_t i = 0; i < oc; ++i) {
            uint8_t* p = dst + 4 * static_cast<size_t>(i);
            uint32_t w;
            std::memcpy(&w, p, sizeof w);
            put16(p, WordLeft(w));
            put16(p + 2, WordRight(w));
        }
        out.advance(oc);
        m_offset = m_convertor->offset();
        return oc;
    }
    if (!m_buffer) {
        audioLog() << "audioAdaptor::Doing genuine conversion from source";
        m_buffer = new (std::nothrow) audioWordRing(m_bufferWords);
        if (!m_buffer || !m_buffer->start() || m_bufferWords == 0) {
            delete m_buffer;
            m_buffer = nullptr;
            AUDIO_FATAL("wdzSpeaker::Cannot allocate conversion buffer");
        }
    }
    const uint32_t L = m_buffer->capacity();
    while (in > L) {
        cvt(source, L, out);
        in -= L;
    }
    cvt(source, in, out);
    if (out.count() != outL - oc)
        AUDIO_FATAL("audioAdaptor::Output underflow, outL = " << outL << ", oc = " << oc << ", L = " << out.count());
    m_offset = m_convertor->offset();
    return oc;
}

void audioAdaptor::cvt(audioSource& source, uint32_t n, audioBlock& out) {
    uint32_t* words = reinterpret_cast<uint32_t*>(m_buffer->start());
    uint32_t got = source.extract(words, n);
    if (got < n)
        AUDIO_FATAL("audioAdaptor::cvt input underflow, ic = " << n << ", fc = " << got);
    audioBlock in(words, n);
    m_convertor->convert(in, out);
    if (in.count() != 0)
        AUDIO_FATAL("audioAdaptor::cvt has residual input count " << in.count());
}

// ---------------------------------------------------------------------------------------------
// Circular sink

audioCircularSink::audioCircularSink(const audioFormat& format, uint8_t* buffer, uint32_t bytes, uint8_t* second,
                                     audioAdaptor* adaptor)
    : m_format(format), m_adaptor(adaptor), m_buffer(buffer), m_second(second) {
    if (m_format.layout() == audioSepStereo && !second)
        AUDIO_FATAL("audioCircularSink::sepStereo requires two buffers");
    if (m_format.layout() != audioSepStereo && second)
        AUDIO_FATAL("audioCircularSink::useless second buffer");
    uint32_t s = (m_format.width() ? 1 : 0) + (m_format.layout() == audioAltStereo ? 1 : 0);
    m_frameBytes = 1u << s;
    m_capacity = bytes >> s;
    if ((bytes & (m_frameBytes - 1)) != 0 || m_capacity == 0 || !buffer)
        AUDIO_FATAL("audioCircularSink::invalid buffer length");
    if (!m_adaptor) {
        m_adaptor = new (std::nothrow) audioAdaptor(4000);
        if (!m_adaptor)
            AUDIO_FATAL("audioCircularSink::unable to allocate adaptor");
        m_ownsAdaptor = true;
    }
}

audioCircularSink::~audioCircularSink() {
    if (m_ownsAdaptor)
        delete m_adaptor;
}

void audioCircularSink::reset() {
    m_written = 0;
    m_played = 0;
    m_stale = false;
    m_adaptor->reset();
}

void audioCircularSink::setPlayed(uint32_t frames) {
    m_played = frames;
    if (static_cast<int32_t>(m_written - frames) < 0)
        m_stale = true;
}

uint32_t audioCircularSink::writeSpan(audioSource& source, uint32_t r) {
    uint32_t pos = m_written % m_capacity;
    uint32_t toEnd = m_capacity - pos;
    uint32_t span = r < toEnd ? r : toEnd;
    size_t at = static_cast<size_t>(pos) * m_frameBytes;
    audioBlock block(m_format, m_buffer + at, m_second ? m_second + at : nullptr, span);
    uint32_t w = m_adaptor->fill(source, block, m_format);
    m_written += w;
    return w;
}

uint32_t audioCircularSink::write(audioSource& source, uint32_t n) {
    uint32_t r = room(n);
    m_adaptor->setFrequencies(source.rate(), m_format.rate());
    uint32_t w = writeSpan(source, r);
    if (w == r || source.remaining() == 0)
        return w;
    uint32_t offset = m_written % m_capacity;
    if (offset != 0)
        AUDIO_FATAL("audioCircularSink::Circular output error" << '\n'
                                                                << "  writePtr() - bufStart() = " << offset * m_frameBytes
                                                                << '\n'
                                                                << "  cap = " << (r - w) << ", wrote = " << w << '\n');
    return w + writeSpan(source, r - w);
}
