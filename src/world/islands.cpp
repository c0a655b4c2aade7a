#include "world/islands.h"

#include <cmath>
#include <utility>

IslandSolver chooseSolver(const IslandSummary& s, const ContactTuning& t) {
  const bool few = s.bodies <= t.impactBodies && s.inScale;
  const bool impact = few && s.bodies > 1 && s.mostGiving > t.uneven * s.leastGiving;
  const bool bounce = few && s.bouncing;
  if (s.rows > t.exactRows && !impact && !bounce) {
    if (s.plain && s.bodies > 1 && s.rows <= t.mostRowsRelaxed) return IslandSolver::Relaxed;
    return IslandSolver::OdeIterative;
  }
  if (s.plain && s.rows <= t.mostRowsHere) return IslandSolver::Exact;
  return IslandSolver::OdeExact;
}

void Islands::reset(int count) {
  parent_.resize(count);
  summaries_.assign(count, IslandSummary());
  anyBouncing_ = false;
  for (int i = 0; i < count; ++i) parent_[i] = i;
}

void Islands::setBody(int i, double inverseMass, bool inScale, bool planar) {
  IslandSummary& s = summaries_[i];
  s.inScale = inScale;
  s.plain = planar;
  s.mostGiving = s.leastGiving = inverseMass;
}

int Islands::rootOf(int i) {
  while (parent_[i] != i) {
    const int up = parent_[i];
    parent_[i] = parent_[up];
    i = up;
  }
  return i;
}

void Islands::join(int a, int b, int rows) {
  if (a < 0 && b < 0) return;
  if (a < 0) std::swap(a, b);
  int ra = rootOf(a);
  if (b >= 0) {
    int rb = rootOf(b);
    if (rb != ra) {
      if (rb < ra) std::swap(ra, rb);
      parent_[rb] = ra;
      IslandSummary &to = summaries_[ra], &from = summaries_[rb];
      to.rows += from.rows;
      to.bodies += from.bodies;
      to.inScale = to.inScale && from.inScale;
      to.plain = to.plain && from.plain;
      to.bouncing = to.bouncing || from.bouncing;
      to.mostGiving = std::fmax(to.mostGiving, from.mostGiving);
      to.leastGiving = std::fmin(to.leastGiving, from.leastGiving);
    }
  }
  summaries_[ra].rows += rows;
}

void Islands::markLinked(int i) {
  summaries_[rootOf(i)].plain = false;
}

void Islands::markBouncing(int i) {
  summaries_[rootOf(i)].bouncing = true;
  anyBouncing_ = true;
}

void Islands::gatherBodies() {
  const int count = int(parent_.size());
  firstBody_.assign(count, -1);
  nextBody_.resize(count);
  for (int i = count - 1; i >= 0; --i) {
    const int root = rootOf(i);
    nextBody_[i] = firstBody_[root];
    firstBody_[root] = i;
  }
}
