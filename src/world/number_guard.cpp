// Console reporting for numbers the world refuses or repairs.
#include "world/number_guard.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float minimumMass = 0.001f;
constexpr float minimumInertiaRadius = 0.01f;

struct Tally {
  const char* what;
  long count;
};
Tally tallies[16];

// Counts the occurrences of key and says whether this one is worth a line:
// the 1st, 10th, 100th and so on. Keys beyond the table are never shown.
long tally(const char* key, bool* show) {
  *show = false;
  for (Tally& t : tallies) {
    if (!t.what) t.what = key;
    if (t.what == key || std::strcmp(t.what, key) == 0) {
      long n = ++t.count;
      long p = 1;
      while (p < n && p < 1000000000L) p *= 10;
      *show = p == n;
      return n;
    }
  }
  return 0;
}

}  // namespace

void reportNonFinite(const char* what) {
  bool show;
  long n = tally(what, &show);
  if (!show) return;
  if (n == 1) {
    std::printf("[WORLD] Ignoring a non-finite %s\n", what);
  } else {
    std::printf("[WORLD] Ignoring a non-finite %s (%ld times)\n", what, n);
  }
}

void reportRunaway(int objectNumber) {
  bool show;
  long n = tally("runaway body", &show);
  if (show) {
    std::printf("[WORLD] Resetting object #%d: its motion ran away (%ld so far)\n", objectNumber,
                n);
  }
}

float finiteOrZero(float v, const char* object, const char* field) {
  if (std::isfinite(v)) return v;
  std::printf("[WORLD] WARNING! Object '%s' has a non-finite %s; using 0\n", object, field);
  return 0;
}

float usableMass(float mass, const char* object) {
  if (std::isfinite(mass) && mass >= minimumMass) return mass;
  std::printf("[WORLD] WARNING! Object '%s' has an unusable mass; using %g\n", object,
              double(minimumMass));
  return minimumMass;
}

float usableInertiaRadius(float radius, const char* object) {
  if (std::isfinite(radius) && radius >= minimumInertiaRadius) return radius;
  std::printf("[WORLD] WARNING! Object '%s' has an unusable inertia radius; using %g\n", object,
              double(minimumInertiaRadius));
  return minimumInertiaRadius;
}
