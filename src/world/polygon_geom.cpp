// The polygon geom class and its collider. Geometry runs in single precision
// on a cached world outline; only the contacts handed to ODE are dReal.
#include "world/polygon_geom.h"

#include <cmath>

#include "world/contact_log.h"
#include "world/contact_tuning.h"

namespace {

int geomClass = -1;

// The last outline pass opened.
uint64_t lastPass = 0;

// Boxes beyond this reach (or not finite) come from a body that ran away;
// such a box would choke the broad phase.
constexpr float farAway = 1e9f;

Float2 normalise(Float2 v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y);
  if (length > 0.001f) return {v.x / length, v.y / length};
  return {0, 0};
}

Float2 perp(Float2 v) {
  return {-v.y, v.x};
}
Float2 sub(Float2 a, Float2 b) {
  return {a.x - b.x, a.y - b.y};
}
float dot(Float2 a, Float2 b) {
  return a.x * b.x + a.y * b.y;
}

// Normals of two crossing edges a->b (first outline) and c->d (second) and
// how deep each edge's far end lies behind the other edge.
struct Crossing {
  Float2 n1, n2;
  float depth1 = 0, depth2 = 0;
};

Crossing crossingOf(Float2 a, Float2 b, Float2 c, Float2 d) {
  Crossing r;
  Float2 u1 = normalise(sub(b, a));
  Float2 u2 = normalise(sub(d, c));
  r.n1 = {-u1.y, u1.x};
  r.n2 = {-u2.y, u2.x};
  Float2 q2 = dot(u2, r.n1) >= 0 ? c : d;
  r.depth1 = std::fabs((a.y - q2.y) * u1.x - (a.x - q2.x) * u1.y);
  Float2 q1 = dot(u1, r.n2) >= 0 ? a : b;
  r.depth2 = std::fabs((c.y - q1.y) * u2.x - (c.x - q1.x) * u2.y);
  return r;
}

// An edge's box, widened by a pixel. Edges whose widened boxes stay apart
// could pass the crossing tests only through rounding, which takes edges so
// nearly parallel that min(depth1, depth2) stays far below the 0.5 threshold
// (for outlines of less than some thousand pixels); skipping them changes no
// contact.
struct Box {
  float minX, minY, maxX, maxY;
};

inline Box edgeBox(Float2 a, Float2 b) {
  constexpr float slack = 1;
  Box r;
  r.minX = (a.x < b.x ? a.x : b.x) - slack;
  r.maxX = (a.x < b.x ? b.x : a.x) + slack;
  r.minY = (a.y < b.y ? a.y : b.y) - slack;
  r.maxY = (a.y < b.y ? b.y : a.y) + slack;
  return r;
}

// An edge with a NaN end may or may not be set apart; the full tests would
// reject it anyway.
inline bool apart(const Box& e, const float* bounds) {
  return e.maxX < bounds[0] || e.maxY < bounds[1] || e.minX > bounds[2] || e.minY > bounds[3];
}
inline bool apart(const Box& e, const Box& f) {
  return e.maxX < f.minX || e.maxY < f.minY || e.minX > f.maxX || e.minY > f.maxY;
}

// The corner and edge normals of an outline: each edge normal serves the
// corners at both of its ends.
void computeNormals(const Float2* points, int n, Float2* corners, Float2* edges) {
  Float2 prevNormal = n > 0 ? normalise(perp(sub(points[0], points[n - 1]))) : Float2();
  for (int i = 0; i < n; ++i) {
    int next = (i + 1) % n;
    Float2 nextNormal = normalise(perp(sub(points[next], points[i])));
    edges[i] = nextNormal;
    corners[i] = normalise({prevNormal.x + nextNormal.x, prevNormal.y + nextNormal.y});
    prevNormal = nextNormal;
  }
}

// How far the nearest edge line lies from the mean of the points: inside a
// convex outline, no part of it is nearer the middle than that.
float innerRadius(const Float2* points, int n, const Float2* edgeNormals) {
  if (n <= 0) return 0;
  Float2 middle;
  for (int i = 0; i < n; ++i) middle.x += points[i].x / n, middle.y += points[i].y / n;
  float inner = 1e30f;
  for (int i = 0; i < n; ++i) {
    if (edgeNormals[i].x == 0 && edgeNormals[i].y == 0) continue;
    inner = std::fmin(inner, -dot(sub(middle, points[i]), edgeNormals[i]));
  }
  return inner < 1e30f && inner > 0 ? inner : 0;
}

// Bound k of bounds (minX, minY, maxX, maxY) running through the points in
// order from start.
float boundInOrder(float start, int k, const Rows& points, int n) {
  const float* v = k % 2 == 0 ? points.x : points.y;
  float b = start;
  for (int i = 0; i < n; ++i) b = k < 2 ? lesser(v[i], b) : greater(v[i], b);
  return b;
}

// The bounds (minX, minY, maxX, maxY) of the lanes of running lowest and
// highest xs and ys, none of them a NaN, as running bounds from +-100000
// through lanes 0 to 3 find them: the four lanes of each set side by side,
// then the least or greatest of each set at once. Only a bound of zero may
// differ, in its sign, and the caller takes those again in order.
void lanesBounds(Lanes lowX, Lanes lowY, Lanes highX, Lanes highY, float bound[4]) {
#ifdef __SSE__
  __m128 a = __m128(lowX), b = __m128(lowY), c = __m128(highX), d = __m128(highY);
  _MM_TRANSPOSE4_PS(a, b, c, d);
  const __m128 low = _mm_min_ps(_mm_min_ps(a, b), _mm_min_ps(c, d));
  const __m128 high = _mm_max_ps(_mm_max_ps(a, b), _mm_max_ps(c, d));
  _mm_storeu_ps(bound, _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 2, 1, 0)));
#else
  bound[0] = bound[1] = 100000;
  bound[2] = bound[3] = -100000;
  for (int lane = 0; lane < 4; ++lane) {
    bound[0] = lesser(lowX[lane], bound[0]);
    bound[1] = lesser(lowY[lane], bound[1]);
    bound[2] = greater(highX[lane], bound[2]);
    bound[3] = greater(highY[lane], bound[3]);
  }
#endif
}

// The sums of the points' xs and ys, each added up in order from +0: both
// run side by side in the low lanes of one register, two points read at once.
Float2 sumInOrder(const Float2* points, int n) {
#ifdef __SSE__
  __m128 sum = _mm_setzero_ps();
  int i = 0;
  for (; i + 2 <= n; i += 2) {
    // The second point lands in the high lanes too, which are never read.
    const __m128 two = _mm_loadu_ps(&points[i].x);
    sum = _mm_add_ps(sum, two);
    sum = _mm_add_ps(sum, _mm_movehl_ps(two, two));
  }
  if (i < n) sum = _mm_add_ps(sum, _mm_setr_ps(points[i].x, points[i].y, 0, 0));
  float low[4];
  _mm_storeu_ps(low, sum);
  return {low[0], low[1]};
#else
  Float2 sum;
  for (int i = 0; i < n; ++i) sum.x += points[i].x, sum.y += points[i].y;
  return sum;
#endif
}

}  // namespace

uint64_t outlinePassOpen = 0;

void forgetPolygonGeomClass() {
  geomClass = -1;
}

PolygonGeomData* polygonGeomData(dGeomID geom) {
  return static_cast<PolygonGeomData*>(dGeomGetClassData(geom));
}

dGeomID createPolygonGeom(dSpaceID space, const ObjectDef* def) {
  if (geomClass < 0) {
    dGeomClass c;
    c.bytes = int(sizeof(PolygonGeomData));
    c.collider = &polygonColliderFor;
    c.aabb = &polygonGeomBounds;
    c.aabb_test = nullptr;
    c.dtor = &releasePolygonGeomData;
    geomClass = dCreateGeomClass(&c);
  }
  dGeomID geom = dCreateGeom(geomClass);
  PolygonGeomData* data = polygonGeomData(geom);
  data->def = def;
  data->pointCount = def->outlineCount();
  data->worldPoints = new Float2[data->pointCount + 1]();
  data->vertexNormals = new Float2[data->pointCount + 1]();
  data->edgeNormals = new Float2[data->pointCount + 1]();
  data->localNormals = new Float2[2 * data->pointCount + 1]();
  data->bulging = new unsigned char[data->pointCount + 1]();
  computeNormals(def->outline.data(), data->pointCount, data->localNormals,
                 data->localNormals + data->pointCount);
  {
    const int n = data->pointCount;
    float* block = new float[6 * size_t(n) + 1]();
    Rows* rows[3] = {&data->pointRows, &data->normalRows, &data->localNormalRows};
    for (int r = 0; r < 3; ++r) *rows[r] = {block + 2 * r * n, block + (2 * r + 1) * n};
    const Float2* edges = data->localNormals + n;
    for (int i = 0; i < n; ++i) {
      data->localNormalRows.x[i] = edges[i].x;
      data->localNormalRows.y[i] = edges[i].y;
    }
  }
  data->inner =
      innerRadius(def->outline.data(), data->pointCount, data->localNormals + data->pointCount);
  data->dirty = 1;
  const int n = data->pointCount;
  data->convex = n >= 3;
  for (int i = 0; i < n; ++i) {
    Float2 q = def->outline[i];
    float r = std::sqrt(q.x * q.x + q.y * q.y);
    if (r > data->reach) data->reach = r;  // NaN stays out
    Float2 in = sub(q, def->outline[(i + n - 1) % n]), out = sub(def->outline[(i + 1) % n], q);
    // Outward normals turn clockwise on screen round a convex outline.
    float turn = in.x * out.y - in.y * out.x;
    const float scale = std::sqrt(dot(in, in) * dot(out, out));
    if (!(turn <= 1e-4f * scale)) data->convex = 0;
    data->bulging[i] = turn < -0.001f * scale;
  }
  // Many corners, the middle at the origin and every edge as near it as a
  // regular polygon's: a circle, drawn with corners.
  if (data->convex && n >= contactTuning.roundCorners) {
    Float2 middle;
    for (int i = 0; i < n; ++i)
      middle.x += def->outline[i].x / n, middle.y += def->outline[i].y / n;
    const double edge = data->reach * std::cos(M_PI / n), roundness = contactTuning.roundness;
    data->round = std::hypot(middle.x, middle.y) <= roundness * data->reach &&
                  data->inner >= (1 - roundness) * edge;
  }
  if (space) dSpaceAdd(space, geom);
  return geom;
}

void openOutlinePass() {
  outlinePassOpen = ++lastPass;
}

void closeOutlinePass() {
  outlinePassOpen = 0;
}

void refreshPolygonGeom(dGeomID geom) {
  refreshPolygonGeom(geom, polygonGeomData(geom));
}

void refreshPolygonGeomPose(dGeomID geom, PolygonGeomData* g) {
  g->pass = outlinePassOpen;
  const dReal* p = dGeomGetPosition(geom);
  const dReal* R = dGeomGetRotation(geom);
  float px = float(p[0]), py = float(p[1]);
  float r00 = float(R[0]), r01 = float(R[1]), r10 = float(R[4]), r11 = float(R[5]);
  // Exact comparison on purpose: any change, NaN included, recomputes.
  if (!g->dirty && px == g->cachedPosition[0] && py == g->cachedPosition[1] &&
      r00 == g->cachedRotation[0] && r01 == g->cachedRotation[1] && r10 == g->cachedRotation[2] &&
      r11 == g->cachedRotation[3])
    return;

  // The outline is read afresh: its definition is the one source of it.
  const Float2* local = g->def->outline.data();
  const Rows edges = g->localNormalRows, points = g->pointRows, normals = g->normalRows;
  int n = g->pointCount;
  // The points and edge normals turned four at a time, their bounds taken
  // four lanes at a time; the sum then runs through the points in order.
  const Lanes lx = lanes(px), ly = lanes(py), l00 = lanes(r00), l01 = lanes(r01), l10 = lanes(r10),
              l11 = lanes(r11);
  Lanes lowX = lanes(100000), lowY = lowX, highX = lanes(-100000), highY = highX;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    Lanes x, y;
    takeLanes(local + i, x, y);
    const Lanes ex = loadLanes(edges.x + i), ey = loadLanes(edges.y + i);
    const Lanes wx = lx + l00 * x + l01 * y, wy = ly + l10 * x + l11 * y;
    const Lanes nx = l00 * ex + l01 * ey, ny = l10 * ex + l11 * ey;
    storeLanes(points.x + i, wx);
    storeLanes(points.y + i, wy);
    storeLanes(normals.x + i, nx);
    storeLanes(normals.y + i, ny);
    putLanes(g->worldPoints + i, wx, wy);
    putLanes(g->edgeNormals + i, nx, ny);
    // As the running bounds below: a NaN never wins.
    lowX = wx < lowX ? wx : lowX;
    lowY = wy < lowY ? wy : lowY;
    highX = wx > highX ? wx : highX;
    highY = wy > highY ? wy : highY;
  }
  float bound[4];
  lanesBounds(lowX, lowY, highX, highY, bound);
  for (; i < n; ++i) {
    const float x = local[i].x, y = local[i].y, ex = edges.x[i], ey = edges.y[i];
    const Float2 w{px + r00 * x + r01 * y, py + r10 * x + r11 * y};
    const Float2 e{r00 * ex + r01 * ey, r10 * ex + r11 * ey};
    points.x[i] = w.x, points.y[i] = w.y, normals.x[i] = e.x, normals.y[i] = e.y;
    g->worldPoints[i] = w;
    g->edgeNormals[i] = e;
    bound[0] = lesser(w.x, bound[0]);
    bound[1] = lesser(w.y, bound[1]);
    bound[2] = greater(w.x, bound[2]);
    bound[3] = greater(w.y, bound[3]);
  }
  const Float2 sum = sumInOrder(g->worldPoints, n);
  // Lanes take the points out of order, which tells only between +0 and -0:
  // a bound of zero is taken again in order, keeping the first zero's sign.
  for (int k = 0; k < 4; ++k)
    if (bound[k] == 0) bound[k] = boundInOrder(k < 2 ? 100000 : -100000, k, points, n);
  g->cornersTurned = 0;
  if (n > 0) g->middle = {sum.x / n, sum.y / n};
  for (int k = 0; k < 4; ++k) g->bounds[k] = bound[k];
  g->cachedPosition[0] = px;
  g->cachedPosition[1] = py;
  g->cachedRotation[0] = r00;
  g->cachedRotation[1] = r01;
  g->cachedRotation[2] = r10;
  g->cachedRotation[3] = r11;
  g->dirty = 0;
}

const Float2* turnCornerNormals(PolygonGeomData* g) {
  const float r00 = g->cachedRotation[0], r01 = g->cachedRotation[1], r10 = g->cachedRotation[2],
              r11 = g->cachedRotation[3];
  const Float2* corners = g->localNormals;
  for (int i = 0; i < g->pointCount; ++i) {
    Float2 c = corners[i];
    g->vertexNormals[i] = {r00 * c.x + r01 * c.y, r10 * c.x + r11 * c.y};
  }
  g->cornersTurned = 1;
  return g->vertexNormals;
}

// The world asks the collider itself: dCollide makes no contacts for
// outlines.
dColliderFn* polygonColliderFor(int) {
  return nullptr;
}

void polygonGeomBounds(dGeomID geom, dReal aabb[6]) {
  PolygonGeomData* g = polygonGeomData(geom);
  refreshPolygonGeom(geom, g);
  const float* b = g->bounds;
  bool sane = std::fabs(g->sweep) <= farAway;
  for (int i = 0; i < 4; ++i) sane = sane && std::fabs(b[i]) <= farAway;
  if (sane) {
    aabb[0] = b[0] - g->sweep;
    aabb[1] = b[2] + g->sweep;
    aabb[2] = b[1] - g->sweep;
    aabb[3] = b[3] + g->sweep;
  } else {
    // An inverted box overlaps nothing and costs the broad phase nothing.
    aabb[0] = aabb[2] = 100000;
    aabb[1] = aabb[3] = -100000;
  }
  aabb[4] = -0.5;
  aabb[5] = 0.5;
}

void releasePolygonGeomData(dGeomID geom) {
  PolygonGeomData* g = polygonGeomData(geom);
  delete[] g->worldPoints;
  delete[] g->vertexNormals;
  delete[] g->edgeNormals;
  delete[] g->localNormals;
  delete[] g->bulging;
  delete[] g->pointRows.x;  // the block of all four
  g->bulging = nullptr;
  g->pointRows = g->normalRows = g->localNormalRows = Rows();
  g->worldPoints = nullptr;
  g->vertexNormals = nullptr;
  g->edgeNormals = nullptr;
  g->localNormals = nullptr;
}

bool outlinesCross(dGeomID o1, dGeomID o2) {
  if (o1 == o2) return false;
  PolygonGeomData* A = polygonGeomData(o1);
  PolygonGeomData* B = polygonGeomData(o2);
  refreshPolygonGeom(o1, A);
  refreshPolygonGeom(o2, B);
  if (A->bounds[2] < B->bounds[0] || B->bounds[2] < A->bounds[0] || A->bounds[3] < B->bounds[1] ||
      B->bounds[3] < A->bounds[1])
    return false;
  const int nA = A->pointCount, nB = B->pointCount;
  // Fewer than three points enclose nothing: such an outline never crosses.
  if (nA < 3 || nB < 3) return false;
  for (int i = 0; i < nA; ++i) {
    const Float2 a = A->worldPoints[i], b = A->worldPoints[i + 1 == nA ? 0 : i + 1];
    // Edges whose boxes stay apart cannot cross: most pairs end here.
    const Box edgeA = edgeBox(a, b);
    if (apart(edgeA, B->bounds)) continue;
    const Float2 d1 = sub(b, a);
    for (int k = 0; k < nB; ++k) {
      const Float2 c = B->worldPoints[k], d = B->worldPoints[k + 1 == nB ? 0 : k + 1];
      if (apart(edgeA, edgeBox(c, d))) continue;
      const Float2 e = sub(d, c);
      const float denom = d1.x * e.y - d1.y * e.x;
      // Written so that a NaN denominator or parameter also rejects the pair.
      if (!(denom <= -0.001f || denom >= 0.001f)) continue;
      const float t = (e.x * (a.y - c.y) - e.y * (a.x - c.x)) / denom;
      if (!(t >= 0 && t <= 1)) continue;
      const float u = (d1.x * (a.y - c.y) - d1.y * (a.x - c.x)) / denom;
      if (!(u >= 0 && u <= 1)) continue;
      // Only edges facing each other, each far end over a third of a pixel
      // behind the other edge: grazing outlines do not count.
      const Crossing x = crossingOf(a, b, c, d);
      if (dot(x.n1, x.n2) > 0) continue;
      if (std::fmin(x.depth1, x.depth2) * 1.5f > 0.5f) return true;
    }
  }
  return false;
}
