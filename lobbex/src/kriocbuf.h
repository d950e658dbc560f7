// The ring buffer of a TCP channel (kriocbuf): the bytes that transmits have queued and the
// socket has not taken yet. Every operation takes the ring's own lock.
#pragma once
#include <cstdint>

#include "krevent.h"

struct KRIOCBUF {
    KRLOCK lock;
    uint32_t freeBytes;
    uint32_t capacity;
    uint8_t* start; // storage
    uint8_t* end;
    uint8_t* readPos;
    uint8_t* writePos;
};

// 0, or 1 when the storage cannot be had.
int KrIOCBufCreate(KRIOCBUF* ring, uint32_t capacity);
void KrIOCBufDestroy(KRIOCBUF* ring);
uint32_t KrIOCBufUsed(KRIOCBUF* ring);
uint32_t KrIOCBufCapacity(KRIOCBUF* ring);
// Appends what fits of `length` bytes; the number appended.
uint32_t KrIOCBufAppend(KRIOCBUF* ring, const void* data, uint32_t length);
// Takes back the last `length` bytes appended (at most what the ring holds).
void KrIOCBufTakeBack(KRIOCBUF* ring, uint32_t length);
// The contiguous readable part: up to the write position, or up to the storage end when the
// data wraps. Its length; `data` gets its start.
uint32_t KrIOCBufContig(KRIOCBUF* ring, const uint8_t** data);
// Consumes bytes from the front; an emptied ring starts again at the storage start.
void KrIOCBufConsume(KRIOCBUF* ring, uint32_t length);
// Copies up to `length` bytes from the front into `out` and consumes them; the number copied.
uint32_t KrIOCBufRead(KRIOCBUF* ring, void* out, uint32_t length);
// Drops everything.
void KrIOCBufClear(KRIOCBUF* ring);
// New storage of `capacity` bytes holding the oldest bytes that fit; the others are lost and
// counted in `lost`. 0, or 1 when the storage cannot be had (the ring is unchanged).
int KrIOCBufResize(KRIOCBUF* ring, uint32_t capacity, uint32_t* lost);
