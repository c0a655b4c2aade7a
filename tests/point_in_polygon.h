// Whether a point lies inside a closed outline (crossing count), for tests
// that check where bodies ended up without asking the collider itself.
#pragma once

#include <cstddef>
#include <vector>

template <class Point>
bool insidePolygon(const std::vector<Point>& poly, Point p) {
  bool in = false;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
        p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
      in = !in;
  }
  return in;
}
