// The landscape's questions: which surface lies under a point (plan view), how high the ground is
// there, what a segment or ray hits first, and which surfaces a plan-view shape overlaps. Every
// query that marks records takes a new g_LandscapeQueryStamp first.
#pragma once
#include <cstdint>

#include "common/mth.h"

// The result of a trace; the caller provides it.
struct TraceHit {
    int32_t kind;      // 1 a surface was hit, 2 a landscape object
    int32_t object;    // index of the object hit, 0 none
    int32_t surface;   // the surface hit; for an object, the 0-based index of its surface hit
    float distance;    // from the start to the hit point (squared while some traces run)
    Vec3 point;
    int32_t hit;       // 1 when something was hit
    uint32_t unused1, unused2;
    Vec3 normal;       // unit normal of the surface hit (for an object, its object-space normal)
};

// Set by the object drawing pass, cleared at the end of LND_Draw: objects are traced by
// LND_TraceAllObjects only while it is 1.
extern int32_t g_ObjectsDrawn;
// Entries of g_LocateList filled by the last multi-surface query.
extern int32_t g_LocateCount;

// Plan-view side value of the point against an edge (at most 0 on the surface's inner side),
// cached on the edge and its twin for the current query stamp.
float LND_EdgeSide(int32_t edge, const Vec3* point);
// The first surface in index order holding (x, z); 0 when none. New query stamp.
int32_t LND_FindSurfaceByScan(const Vec3* point);
// The surface holding (x, z), searched outwards from start (0: a full scan); 0 when none.
int32_t LND_LocateSurface(int32_t start, const Vec3* point);
// Height of the landscape plane under (x, z), truncated toward zero. surface 0 (or not a surface
// number) scans for the surface; none gives 0.0.
double LND_GetGroundHeight(const Vec3* point, int32_t surface);
// A point of the surface: the middle of corner 2 and the middle of corners 0 and 1.
void LND_GetSurfaceCentre(Vec3* out, int32_t surface);
// The largest length among count vectors; 0 for none.
float LND_GetPointsRadius(const Vec3* points, int32_t count);
// out = normalise((p1 - p0) x (p2 - p0)) of nine floats p0 p1 p2; a degenerate triangle gives 0.
void LND_TriangleNormal(Vec3* out, const float* corners);
// out = normalise((a - b) x (c - b)).
void LND_TriangleNormalOf(Vec3* out, const Vec3* a, const Vec3* b, const Vec3* c);
// 1 when ((p0 - p1) x (p2 - p1)) . direction < 0.
int LND_IsTriangleFacing(const Vec3* direction, const Vec3* p0, const Vec3* p1, const Vec3* p2);
// The nearest surface facing against direction anywhere ahead on the ray; distance is squared.
int LND_CastRay(TraceHit* hit, const Vec3* from, const Vec3* direction);
// LND_CastRay, then every object while g_ObjectsDrawn; distance is a true distance.
int LND_TraceAllObjects(TraceHit* hit, const Vec3* from, const Vec3* direction);
// Records the object's nearest hit on the ray within |direction| when nearer than hit->distance.
int LND_TraceObject(int32_t object, TraceHit* hit, const Vec3* from, const Vec3* direction);
// The first surface hit between the two points, by a flood over the surfaces the segment may
// touch; objects are ignored.
int LND_TraceSegmentLandscape(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from,
                              const Vec3* to);
// The surfaces crossed in plan view from startSurface towards to, in order, into list (room for
// surfaceCount + 1 entries); with hit, stops at the first whose triangle the ray hits.
int LND_WalkSegment(TraceHit* hit, int32_t* list, int32_t startSurface, int32_t endSurface, const Vec3* from,
                    const Vec3* to);
// The landscape along the walk, then the solid, active objects on the surfaces walked.
int LND_TraceSegment(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from, const Vec3* to);
// The same, also hitting objects that are not solid.
int LND_TraceSegmentAnyObject(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from,
                              const Vec3* to);
// The distinct surfaces overlapping the plan-view polygon of n points, into list.
int32_t LND_SurfacesInPolygon(int32_t* list, int32_t n, const Vec3* points);
// 1 when segments a-b and c-d cross in the x-z plane.
int LND_SegmentsCrossInPlan(const Vec3* a, const Vec3* b, const Vec3* c, const Vec3* d);
