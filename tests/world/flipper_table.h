// One left flipper of the default table, built in code and driven the way
// its game.lua drives it, with a ball and (for cradles) the inlane guide
// that forms the flipper's crook; and the shot map: a ball dropping slowly
// onto the flipper, struck by a full swing at every point of the blade and
// every firing moment, with the speed and direction it leaves in. The world
// tests check the flipper's behaviour with it; bench_flipper prints the map.
#pragma once

#include <ode/ode.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "impact_range.h"

namespace flipper {

// As games/default/scenes/table.lua builds its left flipper: a capsule 74 px
// from the pivot to the tip centre, radii 14 and 9, drawn resting 30 degrees
// below the horizontal, on a ball joint at the pivot.
constexpr Float2 kPivot{268, 1222};
constexpr float kLength = 74;
constexpr float kPivotRadius = 14, kTipRadius = 9;  // px
constexpr float kRestDegrees = 30;                  // blade below the horizontal at rest
constexpr float kMass = 60, kInertiaRadius = 600;
// Its rubber: a lively rebound that dies away in hard impacts, and a grip
// that turns a ball sliding over it into a rolling one.
constexpr Material kRubber{0.88f, 0.15f, 0.9f};

// As scenes/ball.lua. The ball sets no material of its own: a pair takes the
// larger rebound and the geometric mean of the frictions of the objects
// that set one, so the rubber alone decides how ball and flipper meet.
constexpr float kBallMass = 1, kBallInertiaRadius = 240;

// As game.lua: gravity, and the drive that every step sets the flipper's
// spin to 3 rad/s per degree short of its target, capped while rising and
// falling. Left flippers rise anticlockwise on screen, to -50 degrees.
constexpr float kGravity = 1000;               // px/s²
constexpr float kUpDegrees = -50;              // the stroke
constexpr float kSpinPerDegree = 3;            // rad/s
constexpr float kSpinUp = 50, kSpinDown = 15;  // rad/s

// The left inlane guide's last leg, a round-ended band 40 px thick from
// (92, 1120) down to (262, 1210): its end lies under the flipper's pivot, and
// the raised blade and the guide make the crook a ball is cradled in.
constexpr Float2 kGuideFrom{92, 1120}, kGuideTo{262, 1210};
constexpr float kGuideRadius = 20, kGuideEdge = 30;  // px; no edge longer than kGuideEdge

inline float radians(float degrees) {
  return degrees * float(M_PI) / 180;
}

// A capsule along +x from the origin, turned by `degrees` and moved to `at`.
inline range::Outline turnedCapsule(float length, float r0, float r1, float degrees, Float2 at,
                                    float maxEdge = 0) {
  const float c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  range::Outline o;
  for (Float2 p : range::subdivided(range::capsule(length, r0, r1), maxEdge)) {
    Float2 r = range::rotated(p, c, s);
    o.push_back({at.x + r.x, at.y + r.y});
  }
  return o;
}

// The scenes, made once: a flipper alone, the flipper with the guide, and
// a ball.
class FlipperCatalog {
 public:
  FlipperCatalog() : data_(nullptr, backend_) {
    // As the default table's masks: the flipper (group 1) meets nothing of
    // its own scene; the ball is a scene of its own.
    for (uint32_t& m : data_.collisionMasks) m = 0;
    data_.collisionMasks[0] = 1;
    data_.scenes.resize(3);
    ObjectDef f;
    f.name = "LeftFlipper";
    f.kind = KindDynamic;
    f.collisionGroup = 1;
    f.mass = kMass;
    f.inertiaRadius = kInertiaRadius;
    f.position = kPivot;
    f.hasMaterial = true;
    f.material = kRubber;
    f.outline = turnedCapsule(kLength, kPivotRadius, kTipRadius, kRestDegrees, {0, 0});
    ObjectDef g;
    g.name = "GuideLeft";
    g.kind = KindStatic;
    const float dx = kGuideTo.x - kGuideFrom.x, dy = kGuideTo.y - kGuideFrom.y;
    g.outline = turnedCapsule(std::hypot(dx, dy), kGuideRadius, kGuideRadius,
                              std::atan2(dy, dx) * 180 / float(M_PI), kGuideFrom, kGuideEdge);
    const LinkDef pivot{"left-pivot", "LeftFlipper", "", kPivot};
    data_.scenes[0].name = "Flipper";
    data_.scenes[0].objects = {f};
    data_.scenes[0].links = {pivot};
    data_.scenes[1].name = "FlipperAndGuide";
    data_.scenes[1].objects = {f, g};
    data_.scenes[1].links = {pivot};
    ObjectDef b;
    b.name = "Ball";
    b.kind = KindDynamic;
    b.mass = kBallMass;
    b.inertiaRadius = kBallInertiaRadius;
    b.outline = range::regularPolygon(range::kBallRadius, range::kBallSides);
    data_.scenes[2].name = "Ball";
    data_.scenes[2].objects = {b};
  }
  FlipperCatalog(const FlipperCatalog&) = delete;
  FlipperCatalog& operator=(const FlipperCatalog&) = delete;

  const WorldData& data() const { return data_; }
  const SceneDef& table(bool withGuide) const { return data_.scenes[withGuide ? 1 : 0]; }
  const SceneDef& ball() const { return data_.scenes[2]; }

 private:
  NullContentBackend backend_;
  WorldData data_;
};

class FlipperTable {
 public:
  FlipperTable(const FlipperCatalog& catalog, bool withGuide)
      : catalog_(catalog), world_(new World(catalog.data())) {
    world_->setGravity(kGravity);
    const int scene = world_->spawnScene(&catalog.table(withGuide), 0, 0);
    flipper_ = world_->findObjectByName(scene, "LeftFlipper");
  }
  FlipperTable(const FlipperTable&) = delete;
  FlipperTable& operator=(const FlipperTable&) = delete;

  // A ball with its centre on `at`, moving at `velocity` (px/s).
  void placeBall(Float2 at, Float2 velocity = {}) {
    ball_ = world_->findObjectByName(world_->spawnScene(&catalog_.ball(), at.x, at.y), "Ball");
    ball_->setVelocity(velocity.x, velocity.y);
  }

  // The flipper button, held or not, from the next step on.
  void press(bool held) { held_ = held; }

  // One step: the drive as game.lua sets it after every step, then the step.
  void step() {
    const float target = held_ ? kUpDegrees : 0;
    const float limit = held_ ? kSpinUp : kSpinDown;
    flipper_->setTorque(
        std::clamp((target - flipper_->angleDegrees) * kSpinPerDegree, -limit, limit));
    world_->step(stepLength);
    ++steps_;
  }
  void run(float seconds) {
    for (int n = int(std::lround(seconds / stepLength)); n > 0; --n) step();
  }

  // The flipper raised and held, as a player holding the button does.
  void raise() {
    press(true);
    run(0.1f);
  }

  const WorldObject& flipper() const { return *flipper_; }
  const WorldObject& ball() const { return *ball_; }
  float ballSpeed() const { return std::hypot(ball_->velocity.x, ball_->velocity.y); }
  int steps() const { return steps_; }

  // Distance from the ball's outline to the blade's, px (negative: the
  // ball's centre is inside the blade).
  float gap() const {
    range::Outline blade = range::placed(flipper_->def->outline, dBodyGetPosition(flipper_->body),
                                         dBodyGetRotation(flipper_->body));
    Float2 c = ball_->position;
    float d = range::distanceToOutline(blade, c);
    return (insidePolygon(blade, c) ? -d : d) - range::kBallRadius;
  }
  // How far along the blade, from the pivot, the ball's centre lies, px.
  float along() const {
    const float a = radians(kRestDegrees) + flipper_->angle;
    return (ball_->position.x - kPivot.x) * std::cos(a) +
           (ball_->position.y - kPivot.y) * std::sin(a);
  }

 private:
  const FlipperCatalog& catalog_;
  std::unique_ptr<World> world_;
  WorldObject* flipper_ = nullptr;
  WorldObject* ball_ = nullptr;
  bool held_ = false;
  int steps_ = 0;
};

// ---- the shot map ---------------------------------------------------------

// The ball drops this fast towards the resting blade when the flipper
// fires, px/s: slowly next to a full swing, whose tip moves at 3,700 px/s.
constexpr float kDropSpeed = 200;
// A ball is away once its outline is this far from the blade's, px.
constexpr float kClear = 10;
// A shot still touching the blade this long after firing never left it, s.
constexpr float kLongestShot = 0.3f;

struct Shot {
  float along = 0;   // where the ball would land on the resting blade, px from the pivot
  float leadMs = 0;  // the flipper fired this long before that landing
  bool away = false;
  float speed = 0;    // px/s as it got clear
  float degrees = 0;  // its direction, clockwise on screen from +x: straight up is -90
};

// Where a ball's centre is when the ball touches the blade's upper face
// `along` px from the pivot, the flipper turned by `turn` degrees from rest.
inline Float2 landing(float along, float turn = 0) {
  const float a = radians(kRestDegrees + turn);
  const float halfWidth = kPivotRadius + (kTipRadius - kPivotRadius) * along / kLength;
  const float out = halfWidth + range::kBallRadius;
  return {kPivot.x + along * std::cos(a) + out * std::sin(a),
          kPivot.y + along * std::sin(a) - out * std::cos(a)};
}

// The flipper, at rest, fired `leadMs` before a ball dropping straight down
// from kDropSpeed would land `along` px from the pivot; held up until the
// ball is away.
inline Shot fire(const FlipperCatalog& catalog, float along, float leadMs) {
  Shot shot;
  shot.along = along;
  shot.leadMs = leadMs;
  FlipperTable table(catalog, false);
  const float t = leadMs / 1000;
  const float drop = kDropSpeed * t + kGravity * t * t / 2;
  Float2 land = landing(along);
  table.placeBall({land.x, land.y - drop}, {0, kDropSpeed});
  table.press(true);
  // Struck once it moves up the table: until then it only drops.
  bool struck = false;
  while (table.steps() * stepLength < kLongestShot) {
    table.step();
    struck = struck || table.ball().velocity.y < 0;
    if (struck && table.gap() > kClear) {
      shot.away = true;
      break;
    }
  }
  const Float2 v = table.ball().velocity;
  shot.speed = std::hypot(v.x, v.y);
  shot.degrees = std::atan2(v.y, v.x) * 180 / float(M_PI);
  return shot;
}

// Difference of two directions in degrees, wrapped to [0, 180].
inline float turnBetween(float a, float b) {
  return std::fabs(std::remainder(a - b, 360.f));
}

}  // namespace flipper
