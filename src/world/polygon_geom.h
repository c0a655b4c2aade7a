// The polygon collision geometry: an ODE user geom class whose shape is an
// object's 2D outline, and the crossing test that triggers count by.
#pragma once

#include <ode/ode.h>

#include <cstdint>
#include <cstring>
#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include "content/world_data.h"

// a where it is below b, else b: a running lowest b that a NaN never joins
// and that keeps the first of equal values; greater likewise.
inline float lesser(float a, float b) {
  return a < b ? a : b;
}
inline float greater(float a, float b) {
  return a > b ? a : b;
}
inline double lesser(double a, double b) {
  return a < b ? a : b;
}
inline double greater(double a, double b) {
  return a > b ? a : b;
}

// Four floats worked on at once, each lane exactly as it would be alone.
typedef float Lanes __attribute__((vector_size(16)));
inline Lanes lanes(float v) {
  return Lanes{v, v, v, v};
}
// Four floats in a row, read or written as lanes.
inline Lanes loadLanes(const float* v) {
  Lanes x;
  std::memcpy(&x, v, sizeof x);
  return x;
}
inline void storeLanes(float* v, Lanes x) {
  std::memcpy(v, &x, sizeof x);
}
// The x and y lanes of four points.
inline void takeLanes(const Float2* p, Lanes& x, Lanes& y) {
#ifdef __SSE__
  const __m128 a = _mm_loadu_ps(&p[0].x), b = _mm_loadu_ps(&p[2].x);
  x = Lanes(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  y = Lanes(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
#else
  x = Lanes{p[0].x, p[1].x, p[2].x, p[3].x};
  y = Lanes{p[0].y, p[1].y, p[2].y, p[3].y};
#endif
}
// Four points from their x and y lanes.
inline void putLanes(Float2* p, Lanes x, Lanes y) {
#ifdef __SSE__
  _mm_storeu_ps(&p[0].x, _mm_unpacklo_ps(__m128(x), __m128(y)));
  _mm_storeu_ps(&p[2].x, _mm_unpackhi_ps(__m128(x), __m128(y)));
#else
  for (int i = 0; i < 4; ++i) p[i] = {x[i], y[i]};
#endif
}

// Points or normals with their xs in one row and their ys in another, so that
// four are read at once without picking them out of pairs.
struct Rows {
  float* x;
  float* y;
};

// Class data that ODE allocates (zero-filled) inside every PolygonGeom.
struct PolygonGeomData {
  const ObjectDef* def;   // source of the local outline; not owned
  Float2* worldPoints;    // outline in world coordinates, pointCount+1 entries
  Float2* vertexNormals;  // unit normal at each outline point, same size, once turned
  Float2* edgeNormals;    // outward unit normal of the edge from point i, same size
  Float2* localNormals;   // the corner and edge normals of the outline itself, unturned:
                          // 2*pointCount entries, corners first
  // worldPoints and edgeNormals again, and the outline's edge normals
  // unturned, in rows of pointCount: all three in one block.
  Rows pointRows, normalRows, localNormalRows;
  unsigned char* bulging;  // 1 for each corner bulging out of the outline
  int pointCount;
  float bounds[4];              // minX, minY, maxX, maxY of worldPoints
  Float2 middle;                // the mean of worldPoints
  float cachedPosition[2];      // pose at the last refresh
  float cachedRotation[4];      // r00, r01, r10, r11 at the last refresh
  unsigned char dirty;          // 1 forces the next refresh
  unsigned char cornersTurned;  // 0: vertexNormals wait for cornerNormals
  uint64_t pass;                // the outline pass it was last brought up to date in
  float reach;                  // farthest outline point from the geom's origin
  unsigned char convex;         // 1 when no corner of the outline turns inwards
  float inner;                  // nearest edge line to the middle of a convex outline
  float sweep;                  // how far the box reaches out for the broad phase
  unsigned char round;          // 1: the outline stands for a circle about its origin
};

// Creates a geom for def's outline (registering the class on first use) and
// adds it to space when space is not null. The caller sets data, body, pose.
dGeomID createPolygonGeom(dSpaceID space, const ObjectDef* def);
// dCloseODE drops every registered class: the next geom registers it anew.
void forgetPolygonGeomClass();
PolygonGeomData* polygonGeomData(dGeomID geom);

// Brings the world outline, normals and bounds up to date when the pose
// changed since the last refresh (or the geom is marked dirty).
void refreshPolygonGeom(dGeomID geom);
// The outline pass open now (0: none; passes count up from 1), for the check
// below. Only openOutlinePass and closeOutlinePass set it.
extern uint64_t outlinePassOpen;
// The refresh itself, past that check.
void refreshPolygonGeomPose(dGeomID geom, PolygonGeomData* g);
// The same with the geom's data already looked up. Within a pass most asks
// find the outline up to date already, and are told so without a call.
inline void refreshPolygonGeom(dGeomID geom, PolygonGeomData* g) {
  if (outlinePassOpen && g->pass == outlinePassOpen) return;
  refreshPolygonGeomPose(geom, g);
}
// While the broad phase pairs geoms nothing moves them, and it has brought
// every moved outline up to date for its box first: within such a pass an
// outline once up to date is not looked at again. The world opens one round
// each collision of its space.
void openOutlinePass();
void closeOutlinePass();
// The corner normals as of the last refresh, turned only when first asked
// for: most pairs never look at them.
// They are mostly turned already when asked for, which is told without a
// call; turnCornerNormals does the turning.
const Float2* turnCornerNormals(PolygonGeomData* g);
inline const Float2* cornerNormals(PolygonGeomData* g) {
  return g->cornersTurned ? g->vertexNormals : turnCornerNormals(g);
}

// ODE class callbacks. The box handed to ODE is the outline's, grown by the
// geom's sweep on every side, so that the broad phase also pairs geoms that
// are not touching yet but may meet within the coming step.
dColliderFn* polygonColliderFor(int classNumber);
void polygonGeomBounds(dGeomID geom, dReal aabb[6]);
void releasePolygonGeomData(dGeomID geom);
// Whether an edge of one outline crosses an edge of the other: what a
// trigger counts. An outline wholly inside the other crosses nothing.
bool outlinesCross(dGeomID o1, dGeomID o2);
