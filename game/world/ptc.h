// Stand-in for the particles and debris until they are built.
#pragma once
#include "common/mth.h"

// The particle layer's shared matrix.
extern Matrix34 g_PtcMatrix;
void PTC_ResetPools();
// The per-frame update and draw pass (recorded).
void PTC_UpdateAndDraw(const Matrix34* cameraMatrix);
// count particles of a colour kind at position, thrown along direction (recorded).
void PTC_EmitBurst(const Vec3* position, const Vec3* direction, int count, int kind);
void PTC_EmitShortBurst(const Vec3* position, const Vec3* direction, int count, int kind);
