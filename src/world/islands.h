// Bodies tied together by contacts or links form an island, solved as one.
// The islands of a step are kept as a union of the bodies' indices; each
// root holds what the choice of solver goes by.
#pragma once

#include <vector>

#include "world/contact_tuning.h"

struct IslandSummary {
  int bodies = 1;
  int rows = 0;                            // contacts
  bool inScale = true;                     // every body's inertia in scale with its outline
  bool plain = true;                       // held by contacts alone, every body in the plane
  double mostGiving = 0, leastGiving = 0;  // the bodies' inverse masses
  bool bouncing = false;                   // a pair with a material bounces in it
};

enum class IslandSolver {
  Exact,         // solved here, exactly (ODE's exact solver if that fails)
  Relaxed,       // solved here, a row at a time
  OdeExact,      // ODE's dWorldStep
  OdeIterative,  // ODE's dWorldQuickStep
};

// The one rule. Islands are solved exactly unless they have more contacts
// than exactRows: exact cost grows with the cube of the contacts. Above it, a
// pile held by contacts alone is relaxed here and anything else (a body with
// many contacts, or links) goes to ODE's iterative solver; but an impact of
// a few bodies of very unlike mass (a heavy ball struck by a light flipper)
// stays exact, as a few sweeps would leave one pressed deep into the other,
// unless a body is out of scale, which the exact solver may not survive.
// So does a bounce of a few bodies off a material (a fast ball meeting a
// post at many corners at once, or a flipper struck by two balls): a few
// sweeps over rows that share one change of speed give back more than the
// bounce, and leave a heavy ball sunk in a light flipper.
// Exact islands are solved here when they are plain and small enough, by
// ODE otherwise.
IslandSolver chooseSolver(const IslandSummary& island, const ContactTuning& tuning);

class Islands {
 public:
  // Each of count bodies alone; then describe each with setBody.
  void reset(int count);
  void setBody(int i, double inverseMass, bool inScale, bool planar);
  // b may be -1 (the fixed world). The lower root stays the root, so the
  // islands are the same whatever order the joins come in.
  void join(int a, int b, int rows);
  void markLinked(int i);
  void markBouncing(int i);
  int rootOf(int i);
  bool isRoot(int i) const { return parent_[i] == i; }
  const IslandSummary& summary(int root) const { return summaries_[root]; }
  // Whether any island is bouncing.
  bool anyBouncing() const { return anyBouncing_; }

  // Lists each island's bodies, and its rows by the body each row belongs
  // to (rowBody(row); -1: none), both in index order.
  template <class RowBody>
  void gather(int rows, RowBody rowBody) {
    gatherBodies();
    firstRow_.assign(parent_.size(), -1);
    nextRow_.resize(rows);
    for (int c = rows - 1; c >= 0; --c) {
      nextRow_[c] = -1;
      const int body = rowBody(c);
      if (body < 0) continue;  // between bodies that sit this step out
      const int root = rootOf(body);
      nextRow_[c] = firstRow_[root];
      firstRow_[root] = c;
    }
  }
  int firstBody(int root) const { return firstBody_[root]; }
  int nextBody(int i) const { return nextBody_[i]; }
  int firstRow(int root) const { return firstRow_[root]; }
  int nextRow(int row) const { return nextRow_[row]; }

 private:
  void gatherBodies();

  std::vector<int> parent_;
  std::vector<IslandSummary> summaries_;
  std::vector<int> firstBody_, nextBody_, firstRow_, nextRow_;
  bool anyBouncing_ = false;
};
