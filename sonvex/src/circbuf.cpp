// circBuf: storage and position bookkeeping.
#include "circbuf.h"

#include <new>

#include "sonvex_log.h"

circBuf::circBuf(uint32_t capacity) {
    m_start = new (std::nothrow) int32_t[capacity ? capacity : 1];
    m_capacity = m_start ? capacity : 0;
}

circBuf::~circBuf() {
    delete[] m_start;
}

uint32_t circBuf::readableSpan() const {
    uint32_t toEnd = m_capacity - m_read;
    return m_count < toEnd ? m_count : toEnd;
}

uint32_t circBuf::writableSpan() const {
    uint32_t toEnd = m_capacity - m_write;
    uint32_t free = writable();
    return free < toEnd ? free : toEnd;
}

void circBuf::advanceRead(uint32_t n) {
    if (n > readable())
        AUDIO_FATAL("circBuf::Excessive advance of a pointer");
    m_read = (m_read + n) % (m_capacity ? m_capacity : 1);
    m_count -= n;
}

void circBuf::advanceWrite(uint32_t n) {
    if (n > writable())
        AUDIO_FATAL("circBuf::Excessive advance of a pointer");
    m_write = (m_write + n) % (m_capacity ? m_capacity : 1);
    m_count += n;
}
