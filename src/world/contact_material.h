// What a pair of objects does where they touch: how much of the impact
// speed comes back and how hard sliding is resisted.
#pragma once

#include "content/world_data.h"

struct PairMaterial {
  int sides = 0;  // how many of the two set a material, kept first
  Material side[2];

  // The share of the approach speed (px/s) given back: the larger of the two
  // sides' (an object that sets none takes no part), or the plain contact's
  // where neither sets one.
  double restitution(double approach) const;
  // Coulomb's coefficient: the geometric mean of the two, the one side's
  // own, or none.
  double friction() const;
};

PairMaterial pairMaterial(bool has1, const Material& m1, bool has2, const Material& m2);

// The coefficient of restitution of a material at an impact speed (px/s).
double elasticityAt(const Material& m, double speed);
