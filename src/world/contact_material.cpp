#include "world/contact_material.h"

#include <cmath>

// Harder hits give back less: the falloff is per 1000 px/s of impact speed.
double elasticityAt(const Material& m, double speed) {
  return m.elasticity / (1 + m.elasticityFalloff * speed / 1000);
}

PairMaterial pairMaterial(bool has1, const Material& m1, bool has2, const Material& m2) {
  PairMaterial pair;
  if (has1) pair.side[pair.sides++] = m1;
  if (has2) pair.side[pair.sides++] = m2;
  return pair;
}

double PairMaterial::restitution(double approach) const {
  if (sides == 0) return plainContactMaterial.elasticity;
  double e = elasticityAt(side[0], approach);
  if (sides == 2) e = std::fmax(e, elasticityAt(side[1], approach));
  return e;
}

double PairMaterial::friction() const {
  if (sides == 0) return 0;
  if (sides == 1) return side[0].friction;
  return std::sqrt(double(side[0].friction) * side[1].friction);
}
