// Formats, the base behaviour of sources and seekable sources, silence, and the source stream.
#include "audio.h"

#include <new>

#include "sonvex_log.h"

void audioFormat::describe(std::ostream& out) const {
    out << "sample rate " << rate() << ", ";
    switch (layout()) {
    case audioMono:
        out << "mono";
        break;
    case audioAltStereo:
        out << "altStereo";
        break;
    default:
        out << "sepStereo";
        break;
    }
    out << ", sample width " << (width() ? "16" : "8") << (isUnsigned() ? ", unsigned" : ", signed") << '\n';
}

void audioSource::describe(std::ostream& out) const {
    out << "an undescribed audioSource" << '\n';
}

uint32_t audioSource::next() {
    if (remaining() == 0)
        AUDIO_FATAL("audioSource::next() called with empty source");
    uint32_t w = 0;
    extract(&w, 1);
    return w;
}

uint32_t audioSource::skip(uint32_t n) {
    uint32_t left = remaining();
    uint32_t k = n < left ? n : left;
    uint32_t scratch[1000];
    uint32_t todo = k;
    while (todo >= 1000) {
        extract(scratch, 1000);
        todo -= 1000;
    }
    if (todo > 0)
        extract(scratch, todo);
    return k;
}

uint32_t audioSeekableSource::seek(uint32_t p) {
    uint32_t here = position();
    if (p == here)
        return here;
    if (p < here) {
        rewind();
        return skip(p);
    }
    if (remaining() < p - here)
        AUDIO_FATAL("audioSeekableSource::Trying to seek beyond end");
    return skip(p - here);
}

void audioNullSource::describe(std::ostream& out) const {
    out << "Null audio source of length " << m_length << ", pos " << m_position << '\n';
}

uint32_t audioNullSource::next() {
    if (m_position >= m_length)
        AUDIO_FATAL("audioNullSource::next() on empty source");
    ++m_position;
    return 0;
}

uint32_t audioNullSource::extract(uint32_t* words, uint32_t n) {
    uint32_t k = n < remaining() ? n : remaining();
    for (uint32_t i = 0; i < k; ++i)
        words[i] = 0;
    m_position += k;
    return k;
}

uint32_t audioNullSource::skip(uint32_t n) {
    uint32_t k = n < remaining() ? n : remaining();
    m_position += k;
    return k;
}

uint32_t audioNullSource::seek(uint32_t p) {
    if (p > m_length)
        AUDIO_FATAL("audioNullSource::Trying to seek beyond end");
    m_position = p;
    return p;
}

audioSourceStream::audioSourceStream(size_t storageBytes) : m_size(storageBytes) {
    // operator new[] storage is aligned for any object of fundamental alignment.
    m_storage = new (std::nothrow) unsigned char[storageBytes ? storageBytes : 1];
    if (!m_storage)
        AUDIO_FATAL("audioSourceStream::Cannot allocate space for source object");
}

audioSourceStream::~audioSourceStream() {
    audioSourceStream::release();
    delete[] m_storage;
}

void audioSourceStream::release() {
    if (!m_live)
        return;
    audioSource* s = m_live;
    m_live = nullptr;
    if (static_cast<void*>(s) == static_cast<void*>(m_storage))
        s->~audioSource();
    else
        delete s;
}

void* audioSourceStream::sourceSpace() {
    if (m_live)
        AUDIO_FATAL("audioSourceStream::Trying to construct atop a live object");
    return m_storage;
}

audioSource* audioSourceStream::makeSource() {
    return nullptr;
}

void audioSourceStream::describe(std::ostream& out) const {
    if (m_live)
        m_live->describe(out);
    else
        out << "empty audioSourceStream" << '\n';
}

audioSource* audioSourceStream::advance() {
    audioSource* s = current();
    if (s && s->remaining() == 0) {
        release();
        makeSource();  // makes its result live through build()
    }
    return current();
}

void audioSourceStream::storageTooSmall() {
    AUDIO_FATAL("audioSourceStream::Storage too small for source object");
}

uint32_t audioSink::room(uint32_t n) {
    uint32_t s = space();
    return s < n ? s : n;
}
