// Shot map of the default table's left flipper: a ball dropping slowly onto
// the resting blade, struck by a full swing, at every 2 px from the pivot to
// the tip and every firing moment 1 ms apart. Prints per position the speed
// and direction the ball leaves in at a few firing moments and the largest
// turn between neighbouring firings, then the largest turns between
// neighbouring positions and firings over the whole map and over the
// blade's straight face. A player aims with position and timing, so the
// direction should change smoothly with both.
//   bench_flipper [latest firing, ms before landing]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/world/flipper_table.h"
#include "silence.h"
#include "world/physics.h"

namespace {

constexpr float positionStep = 2;  // px along the blade
constexpr float leadStep = 1;      // ms between firings
constexpr float defaultLatestLead = 40;
constexpr int shownLeads[] = {0, 10, 20, 30, 40};
// The blade's straight face, as the world tests sweep it: clear of the
// pivot, where a ball lying on the blade is struck a second time or not,
// and of the round tip (px from the pivot).
constexpr float faceFrom = 14, faceTo = 64;

struct Jump {
  float degrees = 0;
  const flipper::Shot *from = nullptr, *to = nullptr;
  void consider(const flipper::Shot& a, const flipper::Shot& b) {
    if (!a.away || !b.away) return;
    float turn = flipper::turnBetween(a.degrees, b.degrees);
    if (turn > degrees) *this = {turn, &a, &b};
  }
  void print(const char* what) const {
    if (!from) return void(std::printf("largest turn between %s: none\n", what));
    std::printf(
        "largest turn between %s: %.1f degrees, from %.0f px %.0f ms (%.0f) to %.0f px "
        "%.0f ms (%.0f)\n",
        what, degrees, from->along, from->leadMs, from->degrees, to->along, to->leadMs,
        to->degrees);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const float latestLead = argc > 1 ? float(std::atof(argv[1])) : defaultLatestLead;
  initPhysics();
  const int positions = int(flipper::kLength / positionStep) + 1;
  const int leads = int(latestLead / leadStep) + 1;
  std::vector<std::vector<flipper::Shot>> map(positions);
  {
    Silence quiet;
    flipper::FlipperCatalog catalog;
    for (int p = 0; p < positions; ++p)
      for (int l = 0; l < leads; ++l)
        map[p].push_back(flipper::fire(catalog, p * positionStep, l * leadStep));
  }
  std::printf("ball dropping at %.0f px/s; flipper fired the given ms before it would land\n",
              flipper::kDropSpeed);
  std::printf("along px |");
  for (int lead : shownLeads)
    if (lead <= latestLead) std::printf("   %2d ms: px/s  deg |", lead);
  std::printf(" largest turn 1 ms apart\n");
  Jump acrossPositions, acrossFirings, onFacePositions, onFaceFirings;
  auto onFace = [](int p) { return p * positionStep >= faceFrom && p * positionStep <= faceTo; };
  for (int p = 0; p < positions; ++p) {
    std::printf("%8.0f |", p * positionStep);
    for (int lead : shownLeads) {
      if (lead > latestLead) continue;
      const flipper::Shot& s = map[p][int(lead / leadStep)];
      if (s.away)
        std::printf("       %6.0f %5.0f |", s.speed, s.degrees);
      else
        std::printf("          stays     |");
    }
    Jump here;
    for (int l = 0; l + 1 < leads; ++l) here.consider(map[p][l], map[p][l + 1]);
    for (int l = 0; l + 1 < leads; ++l) {
      acrossFirings.consider(map[p][l], map[p][l + 1]);
      if (onFace(p)) onFaceFirings.consider(map[p][l], map[p][l + 1]);
    }
    if (p + 1 < positions)
      for (int l = 0; l < leads; ++l) {
        acrossPositions.consider(map[p][l], map[p + 1][l]);
        if (onFace(p) && onFace(p + 1)) onFacePositions.consider(map[p][l], map[p + 1][l]);
      }
    if (here.from)
      std::printf(" %.1f at %.0f ms\n", here.degrees, here.from->leadMs);
    else
      std::printf(" -\n");
  }
  acrossPositions.print("positions 2 px apart");
  acrossFirings.print("firings 1 ms apart");
  char face[64];
  std::snprintf(face, sizeof face, "%.0f to %.0f px", faceFrom, faceTo);
  onFacePositions.print((std::string("positions 2 px apart, ") + face).c_str());
  onFaceFirings.print((std::string("firings 1 ms apart, ") + face).c_str());
  closePhysics();
  return 0;
}
