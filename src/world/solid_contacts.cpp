// Closest-feature contacts between solid outlines. Each point of one outline
// is measured against the edges of the other near it: in front of an edge it
// faces, or beyond a convex corner, it gets a contact with the gap (when the
// gap is within reach); inside the other outline it gets one contact with the
// nearest edge, pushing it back out. Then the same from the other outline's
// points. Unlike the crossing collider this sees a body before it touches,
// measures overlap along the true normal, and never takes a point that went
// in for one that is coming out.
#include "world/solid_contacts.h"

#include <cmath>
#ifdef __SSE__
#include <xmmintrin.h>
#endif
#include <vector>

#include "world/contact_log.h"
#include "world/polygon_geom.h"

namespace {

struct Outline {
  const Float2* points;
  Rows pointRows, normalRows;  // the points and edge normals again, in rows
  PolygonGeomData* geom;       // for its corner normals, turned when first asked for
  const Float2* edgeNormals;   // of the edge from each point
  const unsigned char* bulging;
  int count;
  const float* bounds;
  Float2 origin;  // the geom's position, and the outline's farthest point from it
  float reach;
  Float2 middle;  // the mean of the points: inside a convex outline
  float inner;    // and no edge line nearer to it than this
  Float2 at(int i) const { return points[i < 0 ? i + count : (i >= count ? i - count : i)]; }
  const Float2* normals() const { return cornerNormals(geom); }
};

inline Float2 sub(Float2 a, Float2 b) {
  return {a.x - b.x, a.y - b.y};
}
inline float dot(Float2 a, Float2 b) {
  return a.x * b.x + a.y * b.y;
}
inline float cross(Float2 a, Float2 b) {
  return a.x * b.y - a.y * b.x;
}

Float2 normalise(Float2 v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y);
  if (length > 0.001f) return {v.x / length, v.y / length};
  return {0, 0};
}

// A smooth face's normal at fraction t along edge k: its corner normals
// blended, so that a ball rolling over a run of short edges feels a curve
// rather than a row of kinks.
Float2 blendedNormal(const Outline& o, int k, float t) {
  const Float2* normals = o.normals();
  const Float2 na = normals[k], nb = normals[k + 1 == o.count ? 0 : k + 1];
  return normalise({na.x + (nb.x - na.x) * t, na.y + (nb.y - na.y) * t});
}

// A corner bulging out of its outline: the only corners that have a region
// of their own outside.
bool convexCorner(const Outline& o, int k) {
  return o.bulging[k];
}

// x lies where corner k of o is the nearest part of the outline.
bool inCornerRegion(const Outline& o, int k, Float2 x) {
  Float2 w = sub(x, o.at(k));
  return dot(w, sub(o.at(k), o.at(k - 1))) > 0 && dot(w, sub(o.at(k + 1), o.at(k))) < 0 &&
         convexCorner(o, k);
}

struct Box {
  float minX, minY, maxX, maxY;
  bool holds(Float2 p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
};

Box grown(const float* b, float by) {
  return {b[0] - by, b[1] - by, b[2] + by, b[3] + by};
}

Box edgeBox(Float2 a, Float2 b, float by) {
  return {lesser(a.x, b.x) - by, lesser(a.y, b.y) - by, greater(a.x, b.x) + by,
          greater(a.y, b.y) + by};
}

// Squared distance from p to the segment from a along d.
float segmentDistance2(Float2 p, Float2 a, Float2 d) {
  const float length2 = dot(d, d);
  Float2 w = sub(p, a);
  float t = length2 > 0 ? dot(w, d) / length2 : 0;
  t = lesser(1, greater(0, t));
  Float2 off{w.x - d.x * t, w.y - d.y * t};
  return dot(off, off);
}

bool overlaps(const Box& a, const Box& b) {
  return !(a.maxX < b.minX || b.maxX < a.minX || a.maxY < b.minY || b.maxY < a.minY);
}

// The contacts of one pair, kept to the most pressing ones when there are
// more than the caller has room for.
class Sink {
 public:
  Sink(SolidContact* contacts, int max) : contacts_(contacts), max_(max) {}

  // A contact along normal, with a guard along the edge's own normal when
  // the two differ by more than a few tenths of a degree.
  void add(Float2 pos, Float2 normal, Float2 own, float depth, int owner) {
    put(pos, normal, depth, false, owner);
    if (dot(normal, own) < 0.99995f) put(pos, own, depth, true, owner);
  }
  int count() const { return count_; }
  const SolidContact& at(int i) const { return contacts_[i]; }

 private:
  // Written field by field where it is kept: a contact built aside and
  // copied in is read back in wider pieces than it was written in.
  void put(Float2 pos, Float2 normal, float depth, bool guard, int owner) {
    int slot = count_;
    if (count_ == max_) {
      // Full: the contact with the widest gap makes room, if it is wider.
      slot = 0;
      for (int i = 1; i < count_; ++i)
        if (contacts_[i].depth < contacts_[slot].depth) slot = i;
      if (contacts_[slot].depth >= depth) return;
    } else {
      ++count_;
    }
    SolidContact& c = contacts_[slot];
    c.position = pos;
    c.normal = normal;
    c.depth = depth;
    c.guard = guard;
    c.edgeOwner = owner;
  }

  SolidContact* contacts_;
  int max_, count_ = 0;
};

// A contact waiting for the verdict on whether its point is inside.
struct Candidate {
  Float2 pos, normal, own;
  float gap;
  bool corner;
};
constexpr int maxCandidates = 8;

// An edge of the other outline near the points of this one, measured once.
struct NearEdge {
  int index;
  Float2 a, d, n;  // start, direction and outward normal
  float length2;
  Box box;  // grown by the search range
};
// Kept between calls so that colliding allocates nothing once it has grown.
std::vector<NearEdge> nearEdges;

// The points of P against the edges of Q. Normals point out of Q; flip
// turns them round for a pass with the outlines swapped. With mutual set,
// corner-to-corner contacts that the other pass also finds are left to it.
void pointsAgainstEdges(const Outline& P, const Outline& Q, float reach, bool smooth, bool flip,
                        bool mutual, Sink& sink) {
  const float range = greater(reach, insideSearch);
  const Box pBox = grown(P.bounds, range), qBox = grown(Q.bounds, range);
  // Only edges and points within range of the other outline's circle matter.
  const float pRound = P.reach + range, qRound = Q.reach + range;
  nearEdges.clear();
  for (int k = 0; k < Q.count; ++k) {
    const Float2 a = Q.points[k], b = Q.at(k + 1);
    if (!overlaps(edgeBox(a, b, 0), pBox)) continue;
    const Float2 d = sub(b, a);
    if (segmentDistance2(P.origin, a, d) > pRound * pRound) continue;
    const float length2 = dot(d, d);
    if (!(length2 > 1e-8f)) continue;
    const float length = std::sqrt(length2);
    nearEdges.push_back({k, a, d, {-d.y / length, d.x / length}, length2, edgeBox(a, b, range)});
  }
  if (nearEdges.empty()) return;
  const float sign = flip ? -1.f : 1.f;
  const int owner = flip ? 1 : 2;

  for (int i = 0; i < P.count; ++i) {
    const Float2 p = P.points[i];
    if (!qBox.holds(p)) continue;
    const Float2 fromQ = sub(p, Q.origin);
    if (dot(fromQ, fromQ) > qRound * qRound) continue;
    // A point where the outline runs straight on or turns inwards is never
    // the first to meet anything: the edges on either side meet it first,
    // and the other outline's points against them hold it.
    if (!convexCorner(P, i)) continue;
    float nearest2 = range * range;
    int nearestEdge = -1;
    float nearestT = 0;
    Candidate candidates[maxCandidates];
    int candidateCount = 0;
    auto keep = [&](Float2 pos, Float2 normal, Float2 own, float gap, bool corner) {
      int slot = candidateCount;
      if (candidateCount == maxCandidates) {
        slot = 0;
        for (int j = 1; j < maxCandidates; ++j)
          if (candidates[j].gap > candidates[slot].gap) slot = j;
        if (candidates[slot].gap <= gap) return;
      } else {
        ++candidateCount;
      }
      candidates[slot] = {pos, normal, own, gap, corner};
    };

    for (const NearEdge& e : nearEdges) {
      if (!e.box.holds(p)) continue;
      const int k = e.index;
      const Float2 a = e.a, d = e.d, n = e.n;
      const Float2 w = sub(p, a);
      const float t = dot(w, d) / e.length2;
      const float tc = lesser(1, greater(0, t));
      const Float2 nearestPoint{a.x + d.x * tc, a.y + d.y * tc};
      const Float2 off = sub(p, nearestPoint);
      const float distance2 = dot(off, off);
      if (distance2 < nearest2) {
        nearest2 = distance2;
        nearestEdge = k;
        nearestT = tc;
      }
      if (t >= 0 && t < 1) {
        const float gap = dot(w, n);
        if (gap >= 0 && gap <= reach) {
          Float2 normal = n;
          if (smooth) normal = blendedNormal(Q, k, t);
          keep({p.x - n.x * gap * 0.5f, p.y - n.y * gap * 0.5f}, normal, n, gap, false);
        }
      } else if (t < 0 && distance2 <= reach * reach && inCornerRegion(Q, k, p)) {
        // Beyond the corner a: the corner itself is the nearest feature.
        const float gap = std::sqrt(distance2);
        if (mutual && inCornerRegion(P, i, a)) continue;
        const Float2 away{w.x / gap, w.y / gap};
        if (gap > 0) keep({p.x - w.x * 0.5f, p.y - w.y * 0.5f}, away, away, gap, true);
      }
    }
    if (nearestEdge < 0) continue;

    // Inside or out, by the side of the nearest feature: an edge's own side
    // along its length, the corner normal at its ends.
    const int k = nearestEdge;
    const Float2 a = Q.points[k], b = Q.at(k + 1);
    const int k2 = k + 1 == Q.count ? 0 : k + 1;
    bool inside;
    Float2 out, own;
    if (nearestT > 0 && nearestT < 1) {
      const Float2 d = sub(b, a);
      const float length = std::sqrt(dot(d, d));
      out = own = {-d.y / length, d.x / length};
      inside = dot(sub(p, a), out) < 0;
      if (smooth) out = blendedNormal(Q, k, nearestT);
    } else {
      const int corner = nearestT <= 0 ? k : k2;
      out = own = Q.normals()[corner];
      inside = dot(sub(p, Q.points[corner]), out) < 0;
    }
    if (inside) {
      const float depth = std::sqrt(nearest2);
      sink.add({p.x + own.x * depth * 0.5f, p.y + own.y * depth * 0.5f},
               {out.x * sign, out.y * sign}, {own.x * sign, own.y * sign}, depth, owner);
      continue;
    }
    for (int j = 0; j < candidateCount; ++j) {
      const Candidate& c = candidates[j];
      sink.add(c.pos, {c.normal.x * sign, c.normal.y * sign}, {c.own.x * sign, c.own.y * sign},
               -c.gap, c.corner ? 0 : owner);
    }
  }
}

// The face of P that Q lies farthest out from, the point of Q that says so,
// and how far (negative: that point is that far behind the face).
struct Separation {
  int face, point;
  float distance;
};

// Every face of P in turn, for outlines too big for the short way.
Separation widestSeparationSlowly(const Outline& P, const Outline& Q, float reach) {
  Separation best{-1, 0, -1e30f};
  for (int i = 0; i < P.count; ++i) {
    const Float2 normal = P.edgeNormals[i];
    if (normal.x == 0 && normal.y == 0) continue;
    float lowest = 1e30f;
    int at = 0;
    for (int k = 0; k < Q.count; ++k) {
      float d = dot(Q.points[k], normal);
      if (d < lowest) lowest = d, at = k;
    }
    const float distance = lowest - dot(P.points[i], normal);
    if (distance > best.distance) {
      best = {i, at, distance};
      if (distance > reach) break;
    }
  }
  return best;
}

// The lanes of x equal to value, one bit each from the first lane up.
inline unsigned equalLanes(Lanes x, float value) {
#ifdef __SSE__
  return unsigned(_mm_movemask_ps(_mm_cmpeq_ps(__m128(x), _mm_set1_ps(value))));
#else
  return (x[0] == value) | (x[1] == value) << 1 | (x[2] == value) << 2 | (x[3] == value) << 3;
#endif
}

// The first of v[0..n) equal to value, which one of them is: four compared
// at once, so that the search for it does not wait on each comparison.
inline int firstEqual(const float* v, int n, float value) {
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const Lanes x = loadLanes(v + i);
    if (const unsigned same = equalLanes(x, value)) return i + __builtin_ctz(same);
  }
  while (!(v[i] == value)) ++i;
  return i;
}

// How far out Q could lie from each face of P: its middle's height over the
// face, less its inner reach (P has faces). Returns the first face whose
// bound is above every bound before it, where a running highest from face 0
// ends: a NaN first bound is never beaten, a later NaN never wins. Four
// running highests are kept alongside rather than one, so that no comparison
// waits on the one before; then the first bound equal to theirs.
int faceBounds(const Outline& P, const Outline& Q, float* bound) {
  const Lanes mx = lanes(Q.middle.x), my = lanes(Q.middle.y), inner = lanes(Q.inner);
  const Rows p = P.pointRows, e = P.normalRows;
  const int n = P.count;
  Lanes h = lanes(-INFINITY);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const Lanes b = (mx - loadLanes(p.x + i)) * loadLanes(e.x + i) +
                    (my - loadLanes(p.y + i)) * loadLanes(e.y + i) - inner;
    storeLanes(bound + i, b);
    h = b > h ? b : h;
  }
  float top = greater(greater(h[0], h[1]), greater(h[2], h[3]));
  for (; i < n; ++i) {
    bound[i] = dot(sub(Q.middle, P.points[i]), P.edgeNormals[i]) - Q.inner;
    top = greater(bound[i], top);
  }
  if (!(bound[0] == bound[0])) return 0;
  return firstEqual(bound, n, top);
}

// The first of the points lowest along normal, as a running lowest from
// 1e30 finds it (0 if none is lower), in the same way. Each point's height
// along normal is kept for the search, up to mostPoints of them; a larger
// outline works them out again.
constexpr int mostPoints = 64;
// Whether the heights are kept is settled once, outside the loops.
template <bool kept>
int firstLowestAlongKept(const Outline& Q, Float2 normal) {
  const Float2* points = Q.points;
  const int count = Q.count;
  float along[kept ? mostPoints : 1];
  const Lanes nx = lanes(normal.x), ny = lanes(normal.y);
  Lanes l = lanes(1e30f);
  int k = 0;
  for (; k + 4 <= count; k += 4) {
    const Lanes d = loadLanes(Q.pointRows.x + k) * nx + loadLanes(Q.pointRows.y + k) * ny;
    if (kept) storeLanes(along + k, d);
    l = d < l ? d : l;
  }
  float low = lesser(lesser(l[0], l[1]), lesser(l[2], l[3]));
  for (; k < count; ++k) {
    const float d = dot(points[k], normal);
    if (kept) along[k] = d;
    low = lesser(d, low);
  }
  if (!(low < 1e30f)) return 0;
  if (kept) return firstEqual(along, count, low);
  k = 0;
  while (!(dot(points[k], normal) == low)) ++k;
  return k;
}
int firstLowestAlong(const Outline& Q, Float2 normal) {
  return Q.count <= mostPoints ? firstLowestAlongKept<true>(Q, normal)
                               : firstLowestAlongKept<false>(Q, normal);
}

// Q is convex, so along any direction its points rise and fall once round
// the outline: from the deepest point for one face, stepping downhill either
// way finds the deepest for the next. Q reaches back from its middle at
// least as far as its nearest edge line, which bounds how far out Q can lie
// from each face: only faces that might beat the best so far are looked at,
// starting with the one facing Q most squarely. Stops at the first face Q
// lies beyond reach of: they cannot meet. Written out to found rather than
// returned: packing a face and a point into one register went through memory
// and waited there.
void widestSeparation(const Outline& P, const Outline& Q, float reach, Separation& found) {
  constexpr int most = 64;
  float bound[most];
  const int n = P.count;
  if (n > most) {
    found = widestSeparationSlowly(P, Q, reach);
    return;
  }
  if (n <= 0) {
    found = {-1, 0, -1e30f};
    return;
  }
  const int first = faceBounds(P, Q, bound);
  Separation best{-1, 0, -1e30f};
  int j = firstLowestAlong(Q, P.edgeNormals[first]);
  const int last = Q.count - 1;
  // From first round to the face before it, in two runs so that no index wraps.
  for (int run = 0; run < 2; ++run) {
    const int from = run == 0 ? first : 0, to = run == 0 ? n : first;
    for (int i = from; i < to; ++i) {
      if (bound[i] <= best.distance) continue;
      const Float2 normal = P.edgeNormals[i];
      if (normal.x == 0 && normal.y == 0) continue;  // an edge of no length
      float here = dot(Q.points[j], normal);
      // Downhill forwards; only if that is not the way, backwards. Each
      // step goes strictly lower, so neither walk can come round again.
      const int start = j;
      for (;;) {
        const int next = j < last ? j + 1 : 0;
        const float there = dot(Q.points[next], normal);
        if (!(there < here)) break;
        j = next;
        here = there;
      }
      if (j == start) {
        for (;;) {
          const int next = j > 0 ? j - 1 : last;
          const float there = dot(Q.points[next], normal);
          if (!(there < here)) break;
          j = next;
          here = there;
        }
      }
      const float distance = here - dot(P.points[i], normal);
      if (distance > best.distance) {
        best = {i, j, distance};
        if (distance > reach) {
          found = best;
          return;
        }
      }
    }
  }
  found = best;
}

// The point of inc that says how far out it lies from ref's face lies over
// that face, not beyond either end.
bool overFace(const Outline& ref, const Separation& s, const Outline& inc) {
  const Float2 a = ref.points[s.face], d = sub(ref.at(s.face + 1), a);
  const float t = dot(sub(inc.points[s.point], a), d);
  return t >= 0 && t <= dot(d, d);
}

// Two convex outlines that barely move: the contact at their closest
// features is all the solver needs, with a second where faces lie flat
// against each other. Found in one walk round each outline, and few, they
// keep piles of balls and balls at rest cheap. Smooth faces blend their
// normals along their length here too.
constexpr float longFace = 6;
constexpr float settledDepth = 0.5f;

bool settledContacts(const Outline& A, const Outline& B, float reach, bool smooth, Sink& sink) {
  Separation sa, sb;
  widestSeparation(A, B, reach, sa);
  if (sa.face < 0 || sa.distance > reach) return true;
  widestSeparation(B, A, reach, sb);
  if (sb.face < 0 || sb.distance > reach) return true;
  // A little in favour of A's faces, so that nearly equal separations do not
  // swap the face from step to step.
  bool onB = sb.distance > sa.distance + 0.005f;
  // Against a static shape, where the two are near enough equal (faces lying
  // flat together), the face with the other's point over it.
  if (smooth && std::fabs(sb.distance - sa.distance) < 0.05f) {
    if (!onB && !overFace(A, sa, B) && overFace(B, sb, A)) onB = true;
    if (onB && !overFace(B, sb, A) && overFace(A, sa, B)) onB = false;
  }
  const Outline& ref = onB ? B : A;
  const Outline& inc = onB ? A : B;
  const Separation& s = onB ? sb : sa;
  // Normals out of ref point from it to inc; contacts want them from B to A.
  const float sign = onB ? 1.f : -1.f;
  const int refOwner = onB ? 2 : 1, incOwner = onB ? 1 : 2;
  const Float2 a = ref.points[s.face], d = sub(ref.at(s.face + 1), a);
  const Float2 n = ref.edgeNormals[s.face], out{n.x * sign, n.y * sign};
  const float length2 = dot(d, d);
  auto onFace = [&](Float2 v) {
    const float t = dot(sub(v, a), d) / length2;
    return t >= 0 && t <= 1;
  };
  // Inlined at both calls: a closure of the dozen values it reads cost more
  // to set up than the contact itself.
  auto faceContact = [&](Float2 v, float gap) __attribute__((always_inline)) {
    Float2 normal = out;
    if (smooth) {
      const float t = lesser(1, greater(0, dot(sub(v, a), d) / length2));
      normal = blendedNormal(ref, s.face, t);
      normal = {normal.x * sign, normal.y * sign};
    }
    sink.add({v.x - n.x * gap * 0.5f, v.y - n.y * gap * 0.5f}, normal, out, -gap, refOwner);
  };

  const Float2 v = inc.points[s.point];
  // Against a static shape only a point resting on a face is this simple:
  // a point sunk deeper may have come in through another face (a thin wall,
  // a straight run of points), and a corner needs its region.
  if (smooth && !(onFace(v) && s.distance >= -settledDepth)) return false;
  if (s.distance < 0 || onFace(v)) {
    faceContact(v, s.distance);
    // A neighbour as close along the same face: faces lying flat together.
    // Short faces (a many-sided ball's) rock too little to need it among
    // balls, but a ball on the floor would roll off its one point.
    for (int k : {s.point + inc.count - 1, s.point + 1}) {
      const Float2 w = inc.at(k), apart = sub(w, v);
      const float gap = dot(sub(w, a), n);
      if (gap <= s.distance + 0.5f && gap <= reach && onFace(w) &&
          (smooth || dot(apart, apart) > longFace * longFace)) {
        faceContact(w, gap);
        break;
      }
    }
    return true;
  }
  // v lies beyond an end of the face: that end is the nearest part of ref,
  // and the nearest part of inc is v itself or one of its edges.
  const Float2 e = dot(sub(v, a), d) < 0 ? a : ref.at(s.face + 1);
  const Float2 w = sub(v, e);
  const float corners = std::sqrt(dot(w, w));
  for (int k : {s.point + inc.count - 1, s.point}) {
    const Float2 f = inc.at(k), g = sub(inc.at(k + 1), f);
    const float t = dot(sub(e, f), g) / dot(g, g);
    const Float2 m = inc.edgeNormals[k % inc.count];
    const float gap = dot(sub(e, f), m);
    if (t > 0 && t < 1 && gap >= 0 && gap < corners) {
      if (gap > reach) return true;
      const Float2 away{-m.x * sign, -m.y * sign};
      sink.add({e.x + m.x * gap * 0.5f, e.y + m.y * gap * 0.5f}, away, away, -gap, incOwner);
      return true;
    }
  }
  if (corners > reach || corners == 0) return true;
  const Float2 away{w.x / corners * sign, w.y / corners * sign};
  sink.add({e.x + w.x * 0.5f, e.y + w.y * 0.5f}, away, away, -corners, 0);
  return true;
}

// A pair that barely moves slides little down a leaning normal: the guard
// of its deepest point is enough to hold it.
int keepDeepestGuard(SolidContact* contacts, int count) {
  int guard = -1;
  for (int i = 0; i < count; ++i)
    if (contacts[i].guard && (guard < 0 || contacts[i].depth > contacts[guard].depth)) guard = i;
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (contacts[i].guard && i != guard) continue;
    // Most stay where they are; copying one onto itself only waits on the
    // stores that just wrote it.
    if (kept != i) contacts[kept] = contacts[i];
    ++kept;
  }
  return kept;
}

// The geom's outline as its last refresh left it, which took the geom's
// position then: where the geom still is.
Outline outlineOf(PolygonGeomData* g) {
  return {g->worldPoints,
          g->pointRows,
          g->normalRows,
          g,
          g->edgeNormals,
          g->bulging,
          g->pointCount,
          g->bounds,
          {g->cachedPosition[0], g->cachedPosition[1]},
          g->reach,
          g->middle,
          g->inner};
}

}  // namespace

int collideSolids(dGeomID o1, dGeomID o2, float reach, bool smooth, SolidContact* contacts,
                  int max) {
  return collideSolids(o1, polygonGeomData(o1), o2, polygonGeomData(o2), reach, smooth, contacts,
                       max);
}

int collideSolids(dGeomID o1, PolygonGeomData* A, dGeomID o2, PolygonGeomData* B, float reach,
                  bool smooth, SolidContact* contacts, int max) {
  if (o1 == o2 || max <= 0) return 0;
  refreshPolygonGeom(o1, A);
  refreshPolygonGeom(o2, B);
  // Fewer than three points enclose nothing.
  if (A->pointCount < 3 || B->pointCount < 3) return 0;
  const Box boxA = grown(A->bounds, reach), boxB = grown(B->bounds, 0);
  if (!overlaps(boxA, boxB)) return 0;

  const Outline a = outlineOf(A), b = outlineOf(B);
  Sink sink(contacts, max);
  // The short way only for pairs that barely move: in a fast pair the contact
  // that matters is the one the motion closes, which need not be the closest.
  const bool settled =
      A->convex && B->convex && reach <= settledReach && settledContacts(a, b, reach, smooth, sink);
  if (!settled) {
    pointsAgainstEdges(a, b, reach, smooth, false, false, sink);
    pointsAgainstEdges(b, a, reach, smooth, true, true, sink);
  }
  int count = sink.count();
  if (smooth && reach <= settledReach) count = keepDeepestGuard(contacts, count);

  for (int i = 0; i < count; ++i) {
    const SolidContact& c = contacts[i];
    // The overlay shows contacts that touch, not gaps or guards.
    if (c.depth >= -1 && !c.guard) contactLog.add(c.position, c.normal);
  }
  return count;
}

float outlineReach(dGeomID geom) {
  return polygonGeomData(geom)->reach;
}
