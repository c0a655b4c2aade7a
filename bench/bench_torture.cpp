// Collider torture: balls of mass 0.01 to 100 shot in zero gravity at thin
// walls, rows of spikes, round posts and swinging flippers, in speed bands
// up to 12,000 px/s (40 px per step). Prints per obstacle and band the shots,
// the balls that got through, the deepest overlap, the rebound and the step
// cost; then how often thin lane triggers see a ball crossing them.
//   bench_torture [shots per obstacle and band] [seed] [obstacle, e.g. flipper] [lively]
// "lively" makes every obstacle of elasticity 1 and friction 1.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "../tests/world/impact_range.h"
#include "silence.h"
#include "world/physics.h"

namespace {

constexpr range::Band bands[] = {{300, 1000},  {1000, 2000}, {2000, 3000},  {3000, 4500},
                                 {4500, 6000}, {6000, 8000}, {8000, 10000}, {10000, 12000}};

struct Tally {
  long shots = 0, through = 0, hits = 0;
  float deepest = 0;
  double deepestSum = 0;
  double reboundSum = 0, normalSum = 0;
  long rebounds = 0, normals = 0;
  double stepSeconds = 0;
  long steps = 0;

  void add(const range::Round& r) {
    for (const range::Shot& s : r.shots) {
      ++shots;
      through += s.through;
      if (!s.hit) continue;
      ++hits;
      deepest = std::max(deepest, s.deepest);
      deepestSum += s.deepest;
      if (s.through) continue;
      reboundSum += s.speedOut / s.speed;
      ++rebounds;
      if (s.normalIn > 0) {
        normalSum += s.normalOut / s.normalIn;
        ++normals;
      }
    }
    stepSeconds += r.stepSeconds;
    steps += r.steps;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int perCell = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2100;
  const unsigned seed = argc > 2 ? unsigned(std::atoi(argv[2])) : 12;
  const char* only = argc > 3 ? argv[3] : "";
  const bool lively = argc > 4 && std::strcmp(argv[4], "lively") == 0;
  initPhysics();
  range::Range shootingRange;
  if (lively) shootingRange.setObstacleMaterial({1, 0, 1});
  std::mt19937 rng(seed);

  std::printf("%d shots per obstacle and band, 42 balls per round, seed %u%s\n", perCell, seed,
              lively ? ", obstacles of elasticity 1 and friction 1" : "");
  std::printf("%-11s %-13s %7s %7s %9s %9s %8s %8s %10s\n", "obstacle", "band px/s", "shots",
              "through", "deepest", "mean dp", "rebound", "normal", "us/step");
  long allShots = 0, allThrough = 0;
  float allDeepest = 0;
  for (range::Target target : range::kAllTargets) {
    if (!std::strstr(range::targetName(target), only)) continue;
    for (const range::Band& band : bands) {
      Tally t;
      while (t.shots < perCell) {
        Silence quiet;
        t.add(shootingRange.fire(target, band, rng, int(std::min<long>(42, perCell - t.shots))));
      }
      allShots += t.shots;
      allThrough += t.through;
      allDeepest = std::max(allDeepest, t.deepest);
      char bandText[32];
      std::snprintf(bandText, sizeof bandText, "%g-%g", band.low, band.high);
      std::printf("%-11s %-13s %7ld %7ld %9.2f %9.2f %8.2f %8.2f %10.1f\n",
                  range::targetName(target), bandText, t.shots, t.through, t.deepest,
                  t.hits ? t.deepestSum / t.hits : 0, t.rebounds ? t.reboundSum / t.rebounds : 0,
                  t.normals ? t.normalSum / t.normals : 0,
                  t.steps ? t.stepSeconds * 1e6 / t.steps : 0);
      std::fflush(stdout);
    }
  }
  std::printf("all obstacles: %ld shots, %ld through, deepest %.2f px\n", allShots, allThrough,
              allDeepest);

  std::printf("\nthin lane triggers (4 px), 30 balls per round\n");
  std::printf("%-13s %7s %7s %8s\n", "band px/s", "balls", "seen", "entered");
  for (const range::Band& band : bands) {
    long balls = 0, seen = 0, entered = 0;
    for (int round = 0; round < std::max(1, perCell / 300); ++round) {
      Silence quiet;
      for (const range::LaneShot& s : shootingRange.fireThroughLanes(band, rng)) {
        ++balls;
        seen += s.seen;
        entered += s.entered;
      }
    }
    char bandText[32];
    std::snprintf(bandText, sizeof bandText, "%g-%g", band.low, band.high);
    std::printf("%-13s %7ld %6.1f%% %7.1f%%\n", bandText, balls, 100.0 * seen / balls,
                100.0 * entered / balls);
  }
  closePhysics();
  return 0;
}
