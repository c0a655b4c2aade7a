// One set of rules for the objects of every scene source: outlines where a
// source makes them, fields on the records just before they are encoded.
#include "scene_checks.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

namespace {

using P = OutlinePoint;

double cross(P o, P a, P b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// True when segments ab and cd cross or touch.
bool segmentsMeet(P a, P b, P c, P d) {
  double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
    return true;
  auto onSegment = [](P p, P q, P r) {  // r on pq, given collinear
    return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
           r.y <= std::max(p.y, q.y);
  };
  return (d1 == 0 && onSegment(c, d, a)) || (d2 == 0 && onSegment(c, d, b)) ||
         (d3 == 0 && onSegment(a, b, c)) || (d4 == 0 && onSegment(a, b, d));
}

// The first pair of non-neighbouring edges that meet, as 1-based edge
// numbers (edge i runs from point i to point i+1); {0, 0} when none do.
std::pair<size_t, size_t> selfCrossing(const std::vector<P>& p) {
  size_t n = p.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j) {
      if (j == i + 1 || (i == 0 && j == n - 1)) continue;  // neighbours share a corner
      if (segmentsMeet(p[i], p[(i + 1) % n], p[j], p[(j + 1) % n])) return {i + 1, j + 1};
    }
  return {0, 0};
}

// "property 'mass' -1 is out of range (1e-06 to 1e+09)", or "" when in range.
std::string rangeFault(const char* name, float v, float lo, float hi) {
  if (v >= lo && v <= hi) return "";
  char text[128];
  std::snprintf(text, sizeof text, "property '%s' %g is out of range (%g to %g)", name, double(v),
                double(lo), double(hi));
  return text;
}

}  // namespace

double shoelaceSum(const std::vector<OutlinePoint>& outline) {
  double sum = 0;
  size_t n = outline.size();
  for (size_t i = 0; i < n; ++i) {
    const P& a = outline[i];
    const P& b = outline[(i + 1) % n];
    sum += a.x * b.y - b.x * a.y;
  }
  return sum;
}

double shoelaceSum(const std::vector<Float2>& outline) {
  std::vector<P> points;
  for (Float2 p : outline) points.push_back({p.x, p.y});
  return shoelaceSum(points);
}

std::string settleOutline(std::vector<OutlinePoint>& points) {
  auto crossing = selfCrossing(points);
  if (crossing.first)
    return "polygon crosses itself (edges " + std::to_string(crossing.first) + " and " +
           std::to_string(crossing.second) + ", counted from 1 at the first point)";
  double sum = shoelaceSum(points);
  if (std::fabs(sum) < 1e-9) return "outline has no area";
  // The collider needs the corners counter-clockwise on screen.
  if (sum > 0) std::reverse(points.begin(), points.end());
  return "";
}

std::vector<OutlinePoint> subdivided(const std::vector<OutlinePoint>& p, double maxEdge) {
  std::vector<P> out;
  for (size_t i = 0; i < p.size(); ++i) {
    P a = p[i], b = p[(i + 1) % p.size()];
    out.push_back(a);
    int parts = int(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / maxEdge));
    for (int k = 1; k < parts; ++k) {
      double t = double(k) / parts;
      out.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    }
  }
  return out;
}

bool checkScene(const SceneDef& scene, const std::vector<std::string>& where, std::string& error) {
  assert(where.size() == scene.objects.size());
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    const ObjectDef& o = scene.objects[i];
    std::string fault = rangeFault("imageScale", o.imageScale, kMinScale, kMaxScale);
    // Only moving bodies have a mass; other kinds keep whatever they were given.
    bool moves = o.kind == KindDynamic;
    if (fault.empty() && moves) fault = rangeFault("mass", o.mass, kMinMass, kMaxMass);
    if (fault.empty() && moves)
      fault = rangeFault("inertiaRadius", o.inertiaRadius, kMinMass, kMaxMass);
    const MaterialValue* material = o.hasMaterial ? materialFaultValue(o.material) : nullptr;
    if (fault.empty() && material)
      fault = rangeFault(material->name, o.material.*material->field, 0, material->most);
    if (!fault.empty()) {
      error = where[i] + ": " + fault;
      return false;
    }
  }
  return true;
}

void warnAboutScene(const SceneDef& scene, const std::vector<std::string>& where,
                    const std::vector<bool>& isFree, std::vector<std::string>& warnings) {
  assert(where.size() == scene.objects.size() && isFree.size() == scene.objects.size());
  std::set<std::string> linked;
  bool walls = false;
  for (const ObjectDef& o : scene.objects) walls = walls || o.kind == KindStatic;
  for (const LinkDef& l : scene.links) {
    for (const std::string* end : {&l.obj1, &l.obj2}) {
      if (end->empty()) continue;
      linked.insert(*end);
      for (size_t i = 0; i < scene.objects.size(); ++i)
        if (scene.objects[i].name == *end && scene.objects[i].kind == KindStatic) {
          warnings.push_back(where[i] + ": link '" + l.name +
                             "' joins a static object, which never moves (is its kind missing?)");
          break;
        }
    }
  }
  for (size_t i = 0; walls && i < scene.objects.size(); ++i) {
    const ObjectDef& o = scene.objects[i];
    if (o.kind == KindDynamic && !isFree[i] && !linked.count(o.name))
      warnings.push_back(where[i] +
                         ": dynamic object with no link falls freely (a flipper needs its pivot; "
                         "set 'free' if it is meant to)");
  }
}
