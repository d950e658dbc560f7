// The ring buffer of a TCP channel (see kriocbuf.h). The free count tells a full ring from an
// empty one when the read and write positions meet.
#include "kriocbuf.h"

#include <cstdlib>
#include <cstring>

#include "krlog.h"

namespace {

constexpr char kKrModule[] = "kriocbuf";

uint32_t UsedLocked(const KRIOCBUF* ring) {
    return ring->capacity - ring->freeBytes;
}

void ResetLocked(KRIOCBUF* ring) {
    ring->readPos = ring->writePos = ring->start;
    ring->freeBytes = ring->capacity;
}

uint32_t ContigLocked(const KRIOCBUF* ring) {
    if (UsedLocked(ring) == 0) return 0;
    return ring->readPos < ring->writePos ? (uint32_t)(ring->writePos - ring->readPos)
                                          : (uint32_t)(ring->end - ring->readPos);
}

void ConsumeLocked(KRIOCBUF* ring, uint32_t length) {
    const uint32_t used = UsedLocked(ring);
    if (length > used) length = used;
    uint32_t at = (uint32_t)(ring->readPos - ring->start);
    at = ring->capacity ? (at + length) % ring->capacity : 0;
    ring->readPos = ring->start + at;
    ring->freeBytes += length;
    if (UsedLocked(ring) == 0) ResetLocked(ring);
}

uint32_t ReadLocked(KRIOCBUF* ring, uint8_t* out, uint32_t length) {
    uint32_t copied = 0;
    while (copied < length) {
        uint32_t part = ContigLocked(ring);
        if (part == 0) break;
        if (part > length - copied) part = length - copied;
        if (out) std::memcpy(out + copied, ring->readPos, part);
        ConsumeLocked(ring, part);
        copied += part;
    }
    return copied;
}

}  // namespace

int KrIOCBufCreate(KRIOCBUF* ring, uint32_t capacity) {
    std::memset(ring, 0, sizeof *ring);
    ring->start = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!ring->start) return 1;
    KrLockInit(&ring->lock, 0);
    ring->capacity = capacity;
    ring->end = ring->start + capacity;
    ResetLocked(ring);
    return 0;
}

void KrIOCBufDestroy(KRIOCBUF* ring) {
    if (!ring->start) return;
    KrLockDestroy(&ring->lock);
    std::free(ring->start);
    std::memset(ring, 0, sizeof *ring);
}

uint32_t KrIOCBufUsed(KRIOCBUF* ring) {
    KrLockEnter(&ring->lock);
    uint32_t used = UsedLocked(ring);
    KrLockLeave(&ring->lock);
    return used;
}

uint32_t KrIOCBufCapacity(KRIOCBUF* ring) {
    KrLockEnter(&ring->lock);
    uint32_t capacity = ring->capacity;
    KrLockLeave(&ring->lock);
    return capacity;
}

uint32_t KrIOCBufAppend(KRIOCBUF* ring, const void* data, uint32_t length) {
    KrLockEnter(&ring->lock);
    const auto* from = static_cast<const uint8_t*>(data);
    uint32_t appended = 0;
    while (appended < length && ring->freeBytes > 0) {
        // From the write position up to the storage end or to the read position.
        uint32_t room = ring->writePos >= ring->readPos ? (uint32_t)(ring->end - ring->writePos)
                                                        : (uint32_t)(ring->readPos - ring->writePos);
        if (room > ring->freeBytes) room = ring->freeBytes;
        if (room > length - appended) room = length - appended;
        std::memcpy(ring->writePos, from + appended, room);
        ring->writePos += room;
        if (ring->writePos == ring->end) ring->writePos = ring->start;
        ring->freeBytes -= room;
        appended += room;
    }
    KrLockLeave(&ring->lock);
    return appended;
}

void KrIOCBufTakeBack(KRIOCBUF* ring, uint32_t length) {
    KrLockEnter(&ring->lock);
    const uint32_t used = UsedLocked(ring);
    if (length > used) length = used;
    if (length > 0) {
        // length <= used <= capacity, so the capacity is not 0 here.
        uint32_t at = (uint32_t)(ring->writePos - ring->start);
        at = (at + ring->capacity - length) % ring->capacity;
        ring->writePos = ring->start + at;
        ring->freeBytes += length;
    }
    if (UsedLocked(ring) == 0) ResetLocked(ring);
    KrLockLeave(&ring->lock);
}

uint32_t KrIOCBufContig(KRIOCBUF* ring, const uint8_t** data) {
    KrLockEnter(&ring->lock);
    uint32_t length = ContigLocked(ring);
    if (data) *data = ring->readPos;
    KrLockLeave(&ring->lock);
    return length;
}

void KrIOCBufConsume(KRIOCBUF* ring, uint32_t length) {
    KrLockEnter(&ring->lock);
    ConsumeLocked(ring, length);
    KrLockLeave(&ring->lock);
}

uint32_t KrIOCBufRead(KRIOCBUF* ring, void* out, uint32_t length) {
    KrLockEnter(&ring->lock);
    uint32_t copied = ReadLocked(ring, static_cast<uint8_t*>(out), length);
    KrLockLeave(&ring->lock);
    return copied;
}

void KrIOCBufClear(KRIOCBUF* ring) {
    KrLockEnter(&ring->lock);
    ResetLocked(ring);
    KrLockLeave(&ring->lock);
}

int KrIOCBufResize(KRIOCBUF* ring, uint32_t capacity, uint32_t* lost) {
    auto* storage = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!storage) return 1;
    KrLockEnter(&ring->lock);
    const uint32_t oldCapacity = ring->capacity;
    const uint32_t kept = ReadLocked(ring, storage, capacity);
    const uint32_t dropped = UsedLocked(ring);
    std::free(ring->start);
    ring->start = storage;
    ring->capacity = capacity;
    ring->end = storage + capacity;
    ring->readPos = storage;
    ring->writePos = kept == capacity ? storage : storage + kept;
    ring->freeBytes = capacity - kept;
    KrLockLeave(&ring->lock);
    if (dropped)
        KR_LOG(KrWarning, "Resized iocbuf 0x%08x from %d to %d, lost %d bytes", (unsigned)(uintptr_t)ring,
               (int)oldCapacity, (int)capacity, (int)dropped);
    else
        KR_LOG(KrLevelDebug, "Resized iocbuf 0x%08x from %d to %d bytes", (unsigned)(uintptr_t)ring, (int)oldCapacity,
               (int)capacity);
    if (lost) *lost = dropped;
    return 0;
}
