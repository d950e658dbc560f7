// Stand-in for the particles: no particles; the per-frame pass and the reset are recorded.
#include "world/ptc.h"

#include "common/calltrace.h"

Matrix34 g_PtcMatrix = {};

void PTC_ResetPools() {
    TRC_Trace("PTC_ResetPools");
}

void PTC_UpdateAndDraw(const Matrix34*) {
    TRC_Trace("PTC_UpdateAndDraw");
}

void PTC_EmitBurst(const Vec3* p, const Vec3* d, int count, int kind) {
    TRC_Trace("PTC_EmitBurst", "%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%d,%d", p->x, p->y, p->z, d->x, d->y, d->z, count, kind);
}

void PTC_EmitShortBurst(const Vec3* p, const Vec3* d, int count, int kind) {
    TRC_Trace("PTC_EmitShortBurst", "%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%d,%d", p->x, p->y, p->z, d->x, d->y, d->z, count,
               kind);
}
