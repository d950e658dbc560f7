// A circular buffer of 32-bit words with read and write positions. The rate adaptor uses one
// (audioWordRing) only for its start and capacity, as a linear scratch area.
#pragma once
#include <cstdint>

#include "audio.h"

class circBuf : public audioObject {
public:
    // Allocation failure leaves the buffer without storage (start() is null).
    explicit circBuf(uint32_t capacity);
    ~circBuf() override;
    circBuf(const circBuf&) = delete;
    circBuf& operator=(const circBuf&) = delete;

    uint32_t capacity() const { return m_capacity; }
    int32_t* start() const { return m_start; }
    int32_t* end() const { return m_start + m_capacity; }
    int32_t* readPtr() const { return m_start + m_read; }
    int32_t* writePtr() const { return m_start + m_write; }
    uint32_t readable() const { return m_count; }
    uint32_t writable() const { return m_capacity - m_count; }
    // Words readable (writable) before the end of the storage, without wrapping.
    uint32_t readableSpan() const;
    uint32_t writableSpan() const;
    // Moving a position by more than its room is fatal.
    void advanceRead(uint32_t n);
    void advanceWrite(uint32_t n);
    void clear() { m_read = m_write = m_count = 0; }

private:
    int32_t* m_start = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_read = 0;
    uint32_t m_write = 0;
    uint32_t m_count = 0;
};

using audioWordRing = circBuf;
