// One left flipper of the default table, built in code and driven the way
// its game.lua drives it, with a ball and (for cradles) the inlane guide
// that forms the flipper's crook, and (for passes) the right slingshot and
// inlane guide whose meeting is the post a pass bounces off; and the shot
// map: a ball dropping slowly onto the flipper, struck by a full swing at
// every point of the blade and every firing moment, with the speed and
// direction it leaves in. The world tests check the flipper's behaviour
// with it; bench_flipper prints the map.
#pragma once

#include <ode/ode.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "flipper_drive.h"
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

// As game.lua: gravity, and the drive, its rising cap built over 12 ms.
// Left flippers rise anticlockwise on screen, to -50 degrees.
constexpr float kGravity = 1000;   // px/s²
constexpr float kUpDegrees = -50;  // the stroke
constexpr FlipperDrive kDrive{50, 15, 0.012f};

// The left inlane guide's last leg, a round-ended band 40 px thick from
// (92, 1120) down to (262, 1210): its end lies under the flipper's pivot, and
// the raised blade and the guide make the crook a ball is cradled in.
constexpr Float2 kGuideFrom{92, 1120}, kGuideTo{262, 1210};
constexpr float kGuideRadius = 20, kGuideEdge = 30;  // px; no edge longer than kGuideEdge
// The guide's wire is metal. The whole guide comes down the side from here
// to kGuideFrom: the scene for passes builds it; a cradle needs only the
// last leg.
constexpr Float2 kGuideTop{92, 990};
constexpr Material kMetal{0.3f, 0, 0.05f};

// The table's mirror line, x px: the right-hand parts are the left ones
// mirrored about it.
constexpr float kAxis = 366;

// A slingshot, as table.lua's sling(): a triangle with its rubber face from
// A down to C, the corner B and both ends of the face buried in the inlane
// guide, so that where the face meets the guide at the bottom it makes the
// post a pass bounces off. The face's own ends lie this far in from A and C,
// so that its corner normals are its own.
constexpr Float2 kSlingA{99, 1010}, kSlingB{99, 1126}, kSlingC{232, 1182};
constexpr float kSlingTopInset = 6, kSlingFootInset = 10;  // px
constexpr float kSlingEdge = 30;                           // px; no edge longer
constexpr Material kRubberBand{0.85f, 0.13f, 0.3f};

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

inline Float2 mirrored(Float2 p) {
  return {2 * kAxis - p.x, p.y};
}

// As shapes.lua's S.band: a band `thickness` px wide along an open path,
// mitred at its joins, with half-circle ends if `round`, no edge longer
// than `maxEdge`.
inline range::Outline band(const std::vector<Float2>& path, float thickness, float maxEdge,
                           bool round) {
  const float h = thickness / 2;
  const size_t n = path.size();
  auto normal = [&](size_t i, size_t j) {
    const float dx = path[j].x - path[i].x, dy = path[j].y - path[i].y;
    const float len = std::hypot(dx, dy);
    return Float2{-dy / len, dx / len};
  };
  std::vector<Float2> normals(n);
  for (size_t i = 0; i < n; ++i) {
    if (i == 0) {
      normals[i] = normal(0, 1);
    } else if (i == n - 1) {
      normals[i] = normal(n - 2, n - 1);
    } else {
      // The mitre: the mean of the legs' normals, lengthened to keep both
      // sides h away (up to twice as far at the sharpest joins).
      const Float2 a = normal(i - 1, i), b = normal(i, i + 1);
      const float ml = std::hypot(a.x + b.x, a.y + b.y);
      const Float2 m{(a.x + b.x) / ml, (a.y + b.y) / ml};
      const float scale = 1 / std::max(0.5f, m.x * a.x + m.y * a.y);
      normals[i] = {m.x * scale, m.y * scale};
    }
  }
  range::Outline o;
  auto cap = [&](size_t i, float from) {
    if (!round) return;
    const float base = std::atan2(normals[i].y, normals[i].x);
    for (int k = 1; k <= 7; ++k) {
      const float a = base + from - float(M_PI) * k / 8;
      o.push_back({path[i].x + h * std::cos(a), path[i].y + h * std::sin(a)});
    }
  };
  for (size_t i = 0; i < n; ++i)
    o.push_back({path[i].x + normals[i].x * h, path[i].y + normals[i].y * h});
  cap(n - 1, 0);
  for (size_t i = n; i-- > 0;)
    o.push_back({path[i].x - normals[i].x * h, path[i].y - normals[i].y * h});
  cap(0, float(M_PI));
  return range::subdivided(range::wound(o), maxEdge);
}

// The slingshot with its face from `a` to `c` and its buried corner `b`,
// placed at the triangle's centre as table.lua places it.
inline ObjectDef sling(const char* name, Float2 a, Float2 b, Float2 c) {
  auto towards = [](Float2 p, Float2 q, float d) {
    const float dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
    return Float2{p.x + dx / len * d, p.y + dy / len * d};
  };
  ObjectDef s;
  s.name = name;
  s.kind = KindStatic;
  s.hasMaterial = true;
  s.material = kRubberBand;
  s.position = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
  range::Outline corners;
  for (Float2 p : {a, towards(a, c, kSlingTopInset), towards(c, a, kSlingFootInset), c, b})
    corners.push_back({p.x - s.position.x, p.y - s.position.y});
  s.outline = range::subdivided(range::wound(corners), kSlingEdge);
  return s;
}

// The scenes, made once: a flipper alone, the flipper with the guide's
// last leg, a ball, and for passes both flippers, both guides and the right
// slingshot.
class FlipperCatalog {
 public:
  FlipperCatalog() : data_(backend_) {
    // As the default table's masks: the flipper (group 1) meets nothing of
    // its own scene; the ball is a scene of its own.
    for (uint32_t& m : data_.collisionMasks) m = 0;
    data_.collisionMasks[0] = 1;
    data_.scenes.resize(4);
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
    g.hasMaterial = true;
    g.material = kMetal;
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
    ObjectDef sr = sling("SlingRight", mirrored(kSlingA), mirrored(kSlingB), mirrored(kSlingC));
    ObjectDef gr;
    gr.name = "GuideRight";
    gr.kind = KindStatic;
    gr.hasMaterial = true;
    gr.material = kMetal;
    gr.outline = band({mirrored(kGuideTop), mirrored(kGuideFrom), mirrored(kGuideTo)},
                      2 * kGuideRadius, kGuideEdge, true);
    // The right flipper, mirrored: it rests under where a pass comes down.
    ObjectDef fr = f;
    fr.name = "RightFlipper";
    fr.position = mirrored(kPivot);
    fr.outline = turnedCapsule(kLength, kPivotRadius, kTipRadius, 180 - kRestDegrees, {0, 0});
    ObjectDef gl = gr;
    gl.name = "GuideLeft";
    gl.outline = band({kGuideTop, kGuideFrom, kGuideTo}, 2 * kGuideRadius, kGuideEdge, true);
    data_.scenes[3].name = "FlippersAndRightPost";
    data_.scenes[3].objects = {f, gl, sr, gr, fr};
    data_.scenes[3].links = {pivot, {"right-pivot", "RightFlipper", "", fr.position}};
  }
  FlipperCatalog(const FlipperCatalog&) = delete;
  FlipperCatalog& operator=(const FlipperCatalog&) = delete;

  const WorldData& data() const { return data_; }
  const SceneDef& table(bool withGuide) const { return data_.scenes[withGuide ? 1 : 0]; }
  const SceneDef& ball() const { return data_.scenes[2]; }
  const SceneDef& withRightPost() const { return data_.scenes[3]; }

 private:
  NullContentBackend backend_;
  WorldData data_;
};

class FlipperTable {
 public:
  FlipperTable(const FlipperCatalog& catalog, const SceneDef& scene)
      : catalog_(catalog), world_(new World(catalog.data())) {
    world_->setGravity(kGravity);
    scene_ = world_->spawnScene(&scene, 0, 0);
    flipper_ = world_->findObjectByName(scene_, "LeftFlipper");
    other_ = world_->findObjectByName(scene_, "RightFlipper");
  }
  FlipperTable(const FlipperCatalog& catalog, bool withGuide)
      : FlipperTable(catalog, catalog.table(withGuide)) {}
  FlipperTable(const FlipperTable&) = delete;
  FlipperTable& operator=(const FlipperTable&) = delete;

  // A ball with its centre on `at`, moving at `velocity` (px/s).
  void placeBall(Float2 at, Float2 velocity = {}) {
    ball_ = world_->findObjectByName(world_->spawnScene(&catalog_.ball(), at.x, at.y), "Ball");
    ball_->setVelocity(velocity.x, velocity.y);
  }

  // The flipper button, held or not, from the next step on.
  void press(bool held) { held_ = held; }
  // The right flipper's button, where there is one: it rises clockwise.
  void pressOther(bool held) { otherHeld_ = held; }

  // One step: the drive as game.lua sets it after every step, then the step.
  void step() {
    heldFor_ = held_ ? heldFor_ + 1 : 0;
    otherHeldFor_ = otherHeld_ ? otherHeldFor_ + 1 : 0;
    drive(*flipper_, kUpDegrees, heldFor_);
    if (other_) drive(*other_, -kUpDegrees, otherHeldFor_);
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
  // A part of the table by name; null if it has none.
  const WorldObject* part(const char* name) const { return world_->findObjectByName(scene_, name); }
  const WorldObject& ball() const { return *ball_; }
  float ballSpeed() const { return std::hypot(ball_->velocity.x, ball_->velocity.y); }
  int steps() const { return steps_; }

  // Distance from the ball's outline to the blade's, px (negative: the
  // ball's centre is inside the blade).
  float gap() const { return gapTo(*flipper_); }
  // The same to any object of the table.
  float gapTo(const WorldObject& o) const {
    range::Outline outline;
    if (o.body) {
      outline = range::placed(o.def->outline, dBodyGetPosition(o.body), dBodyGetRotation(o.body));
    } else {
      for (Float2 p : o.def->outline) outline.push_back({o.position.x + p.x, o.position.y + p.y});
    }
    Float2 c = ball_->position;
    float d = range::distanceToOutline(outline, c);
    return (insidePolygon(outline, c) ? -d : d) - range::kBallRadius;
  }
  // How far along the blade, from the pivot, the ball's centre lies, px.
  float along() const {
    const float a = radians(kRestDegrees) + flipper_->angle;
    return (ball_->position.x - kPivot.x) * std::cos(a) +
           (ball_->position.y - kPivot.y) * std::sin(a);
  }

 private:
  // up: the angle held up to; heldFor: the steps the button has been held.
  static void drive(WorldObject& f, float up, int heldFor) {
    f.setTorque(flipperSpin(kDrive, heldFor ? up : 0, f.angleDegrees, heldFor, stepLength));
  }

  const FlipperCatalog& catalog_;
  std::unique_ptr<World> world_;
  int scene_ = 0;
  WorldObject* flipper_ = nullptr;
  WorldObject* other_ = nullptr;
  WorldObject* ball_ = nullptr;
  bool held_ = false, otherHeld_ = false;
  int heldFor_ = 0, otherHeldFor_ = 0;
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
