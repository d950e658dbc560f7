// Sequence windows: widening a received 16-bit sequence number against a reference, and
// distances and comparisons between 32-bit sequence numbers (see krrq_seq.h).
#include "krrq_seq.h"

#include "krlog.h"

namespace {

constexpr char kKrModule[] = "krrq_seq";
constexpr uint32_t kEpochMask = 0x3FFFF; // 18 bits
constexpr uint32_t kOffsetMask = KR_SEQ_EPOCH_SIZE - 1;

uint32_t Epoch(uint32_t x) { return x >> 14; }
uint32_t Offset(uint32_t x) { return x & kOffsetMask; }

// The distance of x from the reference; false when they are incomparable.
bool Distance(uint32_t reference, uint32_t x, int32_t* distance) {
    const uint32_t e = Epoch(reference), o = Offset(reference);
    const uint32_t ex = Epoch(x), ox = Offset(x);
    if (ex == e) {
        *distance = (int32_t)ox - (int32_t)o;
    } else if (ex == ((e + 1) & kEpochMask)) {
        *distance = (int32_t)KR_SEQ_EPOCH_SIZE - (int32_t)o + (int32_t)ox;
    } else if (ex == ((e - 1) & kEpochMask)) {
        *distance = (int32_t)ox - (int32_t)KR_SEQ_EPOCH_SIZE - (int32_t)o;
    } else {
        return false;
    }
    return true;
}

// Both distances, or a failed invariant.
bool Distances(uint32_t reference, uint32_t a, uint32_t b, int32_t* da, int32_t* db) {
    const bool comparable = Distance(reference, a, da) && Distance(reference, b, db);
    KR_INVARIANT(comparable);
    return comparable;
}

}  // namespace

uint32_t KrSeqNormalize(uint32_t reference, uint16_t received) {
    const uint32_t e = Epoch(reference);
    const uint32_t bits = received >> 14;
    uint32_t epoch;
    if (bits == (e & 3)) epoch = e;
    else if (bits == ((e + 1) & 3)) epoch = e + 1;
    else if (bits == ((e + 3) & 3)) epoch = e - 1;
    else epoch = e + 2;
    return (epoch & kEpochMask) << 14 | Offset(received);
}

int KrSeqInWindow(uint32_t reference, uint32_t x) {
    int32_t d;
    return Distance(reference, x, &d) && d > -(int32_t)KR_SEQ_EPOCH_SIZE && d <= (int32_t)KR_SEQ_EPOCH_SIZE;
}

uint32_t KrSeqDistance(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    if (!Distance(reference, a, &da) || !Distance(reference, b, &db)) return KR_SEQ_INCOMPARABLE;
    return (uint32_t)(da > db ? da - db : db - da);
}

int KrSeqNewer(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    return Distances(reference, a, b, &da, &db) && da > db;
}

int KrSeqNewerOrEqual(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    return Distances(reference, a, b, &da, &db) && da >= db;
}

int KrSeqOlder(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    return Distances(reference, a, b, &da, &db) && da < db;
}

int KrSeqOlderOrEqual(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    return Distances(reference, a, b, &da, &db) && da <= db;
}

int KrSeqEqual(uint32_t reference, uint32_t a, uint32_t b) {
    int32_t da, db;
    return Distances(reference, a, b, &da, &db) && da == db;
}
