// A shooting range for the collider: rounds of balls fired in zero gravity
// at thin walls, rows of spikes, round posts, or flippers swung into them,
// each ball followed step by step to see whether its centre ever got into
// the obstacle and how deep its outline went. The world tests fire a few
// hundred shots per obstacle; bench_torture fires a hundred thousand.
#pragma once

#include <ode/ode.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../point_in_polygon.h"
#include "content/world_data.h"
#include "world/step_length.h"
#include "world/trigger_record.h"
#include "world/world.h"
#include "world/world_events.h"

namespace range {

constexpr float kBallRadius = 12;
constexpr int kBallSides = 16;
// A flipper swung at full speed turns this fast, rad/s: its tip moves at
// 8,200 px/s, well beyond any flipper of a table.
constexpr float kFlipperSpin = 100;

enum class Target { Wall4, Wall8, Wall16, Spikes, Posts, Flipper };
constexpr Target kAllTargets[] = {Target::Wall4,  Target::Wall8, Target::Wall16,
                                  Target::Spikes, Target::Posts, Target::Flipper};

inline const char* targetName(Target t) {
  switch (t) {
    case Target::Wall4:
      return "wall 4 px";
    case Target::Wall8:
      return "wall 8 px";
    case Target::Wall16:
      return "wall 16 px";
    case Target::Spikes:
      return "spikes";
    case Target::Posts:
      return "posts";
    case Target::Flipper:
      return "flipper";
  }
  return "?";
}

struct Band {
  float low, high;  // approach speed in px/s
};

// What became of one ball.
struct Shot {
  float speed = 0;  // approach speed
  float mass = 0;
  bool through = false;  // its centre got into the obstacle
  float deepest = 0;     // deepest overlap of the two outlines, px
  bool hit = false;      // the outlines met, or the ball turned back
  float speedOut = 0;    // speed at the end of the round
  float normalIn = 0;    // speed towards a wall's face, before and after (walls only)
  float normalOut = 0;
  float spin = 0;  // a flipper's swing (rad/s), and how far out it meets the ball
  float radius = 0;
};

// A ball flown across a thin trigger strip.
struct LaneShot {
  float speed = 0;
  bool seen = false;     // the strip counted it as touching on some step
  bool entered = false;  // and raised the enter event
};

struct Round {
  std::vector<Shot> shots;
  int steps = 0;
  double stepSeconds = 0;  // CPU time spent in World::step
};

using Outline = std::vector<Float2>;

// ---- plain geometry -------------------------------------------------------

inline Float2 rotated(Float2 p, float c, float s) {
  return {c * p.x - s * p.y, s * p.x + c * p.y};
}

inline double shoelace(const Outline& o) {
  double sum = 0;
  for (size_t i = 0; i < o.size(); ++i) {
    Float2 a = o[i], b = o[(i + 1) % o.size()];
    sum += double(a.x) * b.y - double(b.x) * a.y;
  }
  return sum;
}

// Wound the way the collider wants: outward normals, negative shoelace sum.
inline Outline wound(Outline o) {
  if (shoelace(o) > 0) std::reverse(o.begin(), o.end());
  return o;
}

// Extra points so that no edge is longer than step (0: none).
inline Outline subdivided(const Outline& corners, float step) {
  if (step <= 0) return corners;
  Outline out;
  for (size_t i = 0; i < corners.size(); ++i) {
    Float2 a = corners[i], b = corners[(i + 1) % corners.size()];
    int parts = std::max(1, int(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / step)));
    for (int k = 0; k < parts; ++k)
      out.push_back({a.x + (b.x - a.x) * k / parts, a.y + (b.y - a.y) * k / parts});
  }
  return out;
}

inline Outline regularPolygon(float radius, int sides, float cx = 0, float cy = 0) {
  Outline o;
  for (int i = 0; i < sides; ++i) {
    double a = (i + 0.5) * 2 * M_PI / sides;
    o.push_back({float(cx + radius * std::cos(a)), float(cy + radius * std::sin(a))});
  }
  return wound(o);
}

// A bar with round ends from the pivot (radius r0) to a tip `length` along
// +x (radius r1): the shape of a flipper.
inline Outline capsule(float length, float r0, float r1, int segments = 8) {
  Outline o;
  for (int i = 0; i <= segments; ++i) {
    double a = M_PI / 2 + M_PI * i / segments;
    o.push_back({float(r0 * std::cos(a)), float(r0 * std::sin(a))});
  }
  for (int i = 0; i <= segments; ++i) {
    double a = -M_PI / 2 + M_PI * i / segments;
    o.push_back({float(length + r1 * std::cos(a)), float(r1 * std::sin(a))});
  }
  return wound(o);
}

inline float distanceToOutline(const Outline& poly, Float2 p) {
  float best = 1e30f;
  for (size_t i = 0; i < poly.size(); ++i) {
    Float2 a = poly[i], b = poly[(i + 1) % poly.size()];
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.f, 1.f) : 0;
    best = std::min(best, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
  }
  return best;
}

// Deepest point of either outline inside the other.
inline float overlapDepth(const Outline& a, const Outline& b) {
  float deepest = 0;
  for (Float2 p : a)
    if (insidePolygon(b, p)) deepest = std::max(deepest, distanceToOutline(b, p));
  for (Float2 p : b)
    if (insidePolygon(a, p)) deepest = std::max(deepest, distanceToOutline(a, p));
  return deepest;
}

inline bool segmentsCross(Float2 a, Float2 b, Float2 c, Float2 d) {
  auto side = [](Float2 o, Float2 u, Float2 v) {
    return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x);
  };
  float d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0));
}

// The centre's move from p to q enters the outline.
inline bool pathEnters(const Outline& poly, Float2 p, Float2 q) {
  if (insidePolygon(poly, q)) return true;
  for (size_t i = 0; i < poly.size(); ++i)
    if (segmentsCross(p, q, poly[i], poly[(i + 1) % poly.size()])) return true;
  return false;
}

// ---- the range ------------------------------------------------------------

// Outline placed in the world: local points turned by the body's rotation
// and moved to its position.
inline Outline placed(const Outline& local, const dReal* p, const dReal* R) {
  Outline o;
  o.reserve(local.size());
  for (Float2 q : local)
    o.push_back({float(p[0] + R[0] * q.x + R[1] * q.y), float(p[1] + R[4] * q.x + R[5] * q.y)});
  return o;
}

// Back into an object's own frame.
inline Float2 toLocal(Float2 w, const dReal* p, const dReal* R) {
  double x = w.x - p[0], y = w.y - p[1];
  return {float(R[0] * x + R[4] * y), float(R[1] * x + R[5] * y)};
}

class Range {
 public:
  // ball scene: group 1, which collides with nothing of its own scene, so
  // each ball meets only the obstacle.
  Range() : data_(backend_) {
    for (uint32_t& m : data_.collisionMasks) m = 0xFFFFFFFFu;
    data_.collisionMasks[1] = ~(1u << 1);
    data_.collisionMasks[2] = ~(1u << 2);
    data_.scenes.reserve(2);
  }

  // Every obstacle, walls and flippers alike, made of this material from the
  // next round on; none set: the plain contact.
  void setObstacleMaterial(const Material& m) {
    obstacleMaterial_ = m;
    hasObstacleMaterial_ = true;
  }

  // Fires `balls` shots at the target, approach speeds drawn from the band,
  // masses log-uniform from 0.01 to 100 (or all `mass`), the obstacle turned
  // at random.
  Round fire(Target target, Band band, std::mt19937& rng, int balls = 42, float mass = 0) {
    std::uniform_real_distribution<float> unit(0, 1);
    data_.scenes.clear();
    data_.scenes.emplace_back();
    data_.scenes.emplace_back();
    SceneDef& obstacle = data_.scenes[0];
    SceneDef& ballScene = data_.scenes[1];
    obstacle.name = "obstacle";
    ballScene.name = "balls";

    const float turn = unit(rng) * 2 * float(M_PI);
    const float c = std::cos(turn), s = std::sin(turn);
    const Float2 centre{2000, 2000};
    auto toWorld = [&](Float2 p) {
      Float2 r = rotated(p, c, s);
      return Float2{centre.x + r.x, centre.y + r.y};
    };
    auto dirToWorld = [&](Float2 d) { return rotated(d, c, s); };

    // Obstacle outlines in their local frame: the face the balls meet is at
    // y = 0, facing -y; balls come from y < 0.
    std::vector<Outline> parts;
    const bool flipper = target == Target::Flipper;
    const bool fineEdges = unit(rng) < 0.5f;
    float thickness = 0;
    switch (target) {
      case Target::Wall4:
        thickness = 4;
        break;
      case Target::Wall8:
        thickness = 8;
        break;
      case Target::Wall16:
        thickness = 16;
        break;
      default:
        break;
    }
    const float width = 1200;
    if (thickness > 0) {
      Outline corners{
          {-width / 2, 0}, {width / 2, 0}, {width / 2, thickness}, {-width / 2, thickness}};
      parts.push_back(wound(subdivided(corners, fineEdges ? 10 : 0)));
    } else if (target == Target::Spikes) {
      // Teeth 12 px tall and 12 px apart on an 8 px bar.
      Outline o;
      const int teeth = int(width / 12);
      o.push_back({-width / 2, 20});
      for (int i = 0; i < teeth; ++i) {
        float x = -width / 2 + 12 * i;
        o.push_back({x, 12});
        o.push_back({x + 6, 0});
      }
      o.push_back({width / 2, 12});
      o.push_back({width / 2, 20});
      parts.push_back(wound(o));
    } else if (target == Target::Posts) {
      for (float x = -width / 2 + 30; x < width / 2; x += 60)
        parts.push_back(regularPolygon(6, fineEdges ? 12 : 8, x, 6));
    }

    std::vector<Float2> pivots;
    if (flipper) {
      // One flipper per ball, far enough apart never to meet: a blade 74 px
      // long from its pivot, resting 30 degrees below the horizontal, swung
      // up (anticlockwise on screen) into a ball waiting over it.
      ObjectDef f = flipperDef();
      for (int i = 0; i < balls; ++i) {
        f.name = "flipper" + std::to_string(i);
        f.position = {float(400 * (i % 7)), float(400 * (i / 7))};
        obstacle.objects.push_back(f);
        obstacle.links.push_back({f.name + "-pivot", f.name, "", f.position});
        pivots.push_back(f.position);
      }
    } else {
      for (size_t i = 0; i < parts.size(); ++i) {
        ObjectDef d;
        d.name = "part" + std::to_string(i);
        d.kind = KindStatic;
        d.hasMaterial = hasObstacleMaterial_;
        d.material = obstacleMaterial_;
        for (Float2 p : parts[i]) d.outline.push_back(toWorld(p));
        obstacle.objects.push_back(d);
      }
    }

    // The balls and how each is shot.
    struct Plan {
      Float2 position, velocity;
      float speed, mass, rotation;
      float spin = 0;  // the flipper's swing, rad/s (negative: up)
      float radius = 0;
      Float2 normal;  // direction towards a wall's face
    };
    std::vector<Plan> plans;
    for (int i = 0; i < balls; ++i) {
      Plan p;
      p.speed = band.low + (band.high - band.low) * unit(rng);
      p.mass = float(std::pow(10.0, -2 + 4 * unit(rng)));
      if (mass > 0) p.mass = mass;
      p.rotation = unit(rng) * 2 * float(M_PI);
      // It meets the obstacle within the first one or two steps, at a random
      // point of the step.
      float lead = 1 + unit(rng) * 2 * std::max(1.f, p.speed * stepLength);
      if (!flipper) {
        float angle = (unit(rng) * 2 - 1) * 35 * float(M_PI) / 180;
        Float2 dir{std::sin(angle), std::cos(angle)};
        float along = -width / 2 + 100 + (width - 200) * (i + unit(rng)) / balls;
        if (target == Target::Posts)
          along = 30 + 60 * std::round((along - 30) / 60) + (unit(rng) * 2 - 1) * 14;
        float travel = kBallRadius + lead;
        Float2 start{along - dir.x * travel, -dir.y * travel};
        p.position = toWorld(start);
        Float2 v = dirToWorld(dir);
        p.velocity = {v.x * p.speed, v.y * p.speed};
        p.normal = dirToWorld({0, 1});
      } else {
        // Relative speed = blade speed at the ball + the ball's own speed.
        float r = 20 + 58 * unit(rng);
        float own = p.speed * 0.6f * unit(rng);
        float spin = std::min(kFlipperSpin, (p.speed - own) / r);
        own = p.speed - spin * r;
        p.spin = -spin;
        p.radius = r;
        // Over the blade's upper face, ahead of it by the lead.
        float rest = 30 * float(M_PI) / 180;
        float halfWidth = 14 + (9 - 14) * r / 74;
        float clear = halfWidth + kBallRadius;
        float ahead = std::atan2(clear, r) + lead / std::hypot(r, clear);
        float a = rest - ahead;
        float rho = std::hypot(r, clear);
        Float2 pivot = pivots[i];
        p.position = {pivot.x + rho * std::cos(a), pivot.y + rho * std::sin(a)};
        // Moving round the pivot towards the blade.
        p.velocity = {-std::sin(a) * own, std::cos(a) * own};
      }
      ballScene.objects.push_back(ballDef("ball" + std::to_string(i), p.mass, p.position));
      plans.push_back(p);
    }

    std::unique_ptr<World> world(new World(data_));
    int obstacleScene = world->spawnScene(&obstacle, 0, 0);
    int ballSceneNumber = world->spawnScene(&ballScene, 0, 0);
    std::vector<WorldObject*> ballObjects, flippers;
    for (int i = 0; i < balls; ++i) {
      WorldObject* b =
          world->findObjectByName(ballSceneNumber, ("ball" + std::to_string(i)).c_str());
      dMatrix3 R;
      dRFromAxisAndAngle(R, 0, 0, 1, plans[i].rotation);
      dBodySetRotation(b->body, R);
      b->setVelocity(plans[i].velocity.x, plans[i].velocity.y);
      ballObjects.push_back(b);
      if (flipper) {
        WorldObject* f =
            world->findObjectByName(obstacleScene, ("flipper" + std::to_string(i)).c_str());
        dRFromAxisAndAngle(R, 0, 0, 1, 30 * M_PI / 180);
        dBodySetRotation(f->body, R);
        flippers.push_back(f);
      }
    }
    std::vector<Outline> worldParts;
    for (const SceneDef* sd : {&obstacle})
      for (const ObjectDef& d : sd->objects)
        if (d.kind == KindStatic) worldParts.push_back(d.outline);

    Round round;
    round.shots.resize(balls);
    for (int i = 0; i < balls; ++i) {
      round.shots[i].speed = plans[i].speed;
      round.shots[i].mass = plans[i].mass;
      round.shots[i].spin = plans[i].spin;
      round.shots[i].radius = plans[i].radius;
    }
    const Outline ballLocal = regularPolygon(kBallRadius, kBallSides);
    std::vector<Float2> last(balls);
    for (int i = 0; i < balls; ++i) last[i] = plans[i].position;
    std::vector<Float2> lastLocal(balls);
    if (flipper)
      for (int i = 0; i < balls; ++i) {
        const dReal* fp = dBodyGetPosition(flippers[i]->body);
        lastLocal[i] = toLocal(last[i], fp, dBodyGetRotation(flippers[i]->body));
      }

    // Long enough for the slowest ball to arrive, turn back and get clear.
    const float slowest = std::max(band.low, 100.f);
    const int steps =
        60 + int(std::ceil(3 * std::max(1.f, slowest * stepLength) / (slowest * stepLength)));
    for (int step = 0; step < steps; ++step) {
      if (flipper) {
        for (int i = 0; i < balls; ++i) {
          // Swung up to 40 degrees above the horizontal, then held there.
          float angle = flippers[i]->angle;
          flippers[i]->setTorque(angle > -40 * float(M_PI) / 180 ? plans[i].spin : 0);
        }
      }
      double start = cpuSeconds();
      world->step(stepLength);
      round.stepSeconds += cpuSeconds() - start;
      ++round.steps;
      for (int i = 0; i < balls; ++i) {
        Shot& shot = round.shots[i];
        WorldObject* b = ballObjects[i];
        Float2 now = b->position;
        if (!std::isfinite(now.x) || !std::isfinite(now.y)) {
          shot.through = true;
          continue;
        }
        if (flipper) {
          follow(*b, ballLocal, *flippers[i], lastLocal[i], shot);
        } else {
          Outline ballWorld =
              placed(ballLocal, dBodyGetPosition(b->body), dBodyGetRotation(b->body));
          for (const Outline& part : worldParts) {
            if (pathEnters(part, last[i], now)) shot.through = true;
            if (distanceToOutline(part, now) > kBallRadius + 1) continue;
            float depth = overlapDepth(ballWorld, part);
            shot.deepest = std::max(shot.deepest, depth);
            if (depth > 0) shot.hit = true;
          }
        }
        last[i] = now;
      }
    }
    for (int i = 0; i < balls; ++i) {
      Shot& shot = round.shots[i];
      Float2 v = ballObjects[i]->velocity;
      shot.speedOut = std::hypot(v.x, v.y);
      Float2 in = plans[i].velocity;
      if (std::hypot(v.x - in.x, v.y - in.y) > 0.05f * shot.speed) shot.hit = true;
      if (!flipper) {
        Float2 n = plans[i].normal;
        shot.normalIn = plans[i].velocity.x * n.x + plans[i].velocity.y * n.y;
        shot.normalOut = -(v.x * n.x + v.y * n.y);
      }
    }
    world.reset();
    return round;
  }

  // A flipper at rest between two balls: a heavy one strikes its upper face
  // `at` px from the pivot while a light one lies 2 px under it, so the
  // blade is driven round into the light ball within the step. What became
  // of the light ball.
  Shot squeeze(float heavyMass, float lightMass, float speed, float at) {
    data_.scenes.assign(1, SceneDef());
    SceneDef& scene = data_.scenes[0];
    scene.objects.push_back(flipperDef());
    scene.objects.back().name = "flipper";
    scene.links.push_back({"pivot", "flipper", "", {0, 0}});
    const float clear = 14 + (9 - 14) * at / 74 + kBallRadius;
    // The heavy one a step's travel and a pixel above.
    scene.objects.push_back(ballDef("heavy", heavyMass, {at, -clear - speed * stepLength - 1}));
    scene.objects.push_back(ballDef("light", lightMass, {at, clear + 2}));
    World world(data_);
    const int number = world.spawnScene(&scene, 0, 0);
    const WorldObject& blade = *world.findObjectByName(number, "flipper");
    world.findObjectByName(number, "heavy")->setVelocity(0, speed);
    const WorldObject& light = *world.findObjectByName(number, "light");
    Shot shot;
    const Outline ball = regularPolygon(kBallRadius, kBallSides);
    Float2 last =
        toLocal(light.position, dBodyGetPosition(blade.body), dBodyGetRotation(blade.body));
    for (int step = 0; step < 30; ++step) {
      world.step(stepLength);
      follow(light, ball, blade, last, shot);
    }
    return shot;
  }

  // Balls flown straight across lane triggers 4 px wide and 60 px long (one
  // per ball) at up to 35 degrees off square.
  std::vector<LaneShot> fireThroughLanes(Band band, std::mt19937& rng, int balls = 30) {
    std::uniform_real_distribution<float> unit(0, 1);
    data_.scenes.clear();
    data_.scenes.emplace_back();
    data_.scenes.emplace_back();
    SceneDef& lanes = data_.scenes[0];
    SceneDef& ballScene = data_.scenes[1];
    lanes.name = "lanes";
    ballScene.name = "balls";
    std::vector<LaneShot> shots(balls);
    std::vector<float> angles(balls);
    for (int i = 0; i < balls; ++i) {
      Float2 at{float(300 * (i % 6)), float(300 * (i / 6))};
      ObjectDef lane;
      lane.name = "lane" + std::to_string(i);
      lane.kind = KindTrigger;
      lane.outline = wound({{at.x - 2, at.y - 30},
                            {at.x + 2, at.y - 30},
                            {at.x + 2, at.y + 30},
                            {at.x - 2, at.y + 30}});
      lanes.objects.push_back(lane);
      LaneShot& shot = shots[i];
      shot.speed = band.low + (band.high - band.low) * unit(rng);
      float angle = angles[i] = (unit(rng) * 2 - 1) * 35 * float(M_PI) / 180;
      float travel = kBallRadius + 2 + unit(rng) * 2 * std::max(1.f, shot.speed * stepLength);
      ObjectDef b;
      b.name = "ball" + std::to_string(i);
      b.kind = KindDynamic;
      b.mass = 1;
      b.inertiaRadius = 240;
      b.collisionGroup = 1;
      b.position = {at.x - travel * std::cos(angle), at.y - travel * std::sin(angle)};
      b.outline = regularPolygon(kBallRadius, kBallSides);
      ballScene.objects.push_back(b);
    }
    struct Enters : WorldEvents {
      std::vector<int> objects;
      void callObjectEnter(int, int, int, int other) override { objects.push_back(other); }
      void callObjectExit(int, int, int, int) override {}
      void callSceneEnter(int, int, int) override {}
      void callSceneExit(int, int, int) override {}
      void callObjectRotated(int, int, float) override {}
      void callScriptUpdate(float) override {}
    } enters;
    std::unique_ptr<World> world(new World(data_));
    world->setEvents(&enters);
    int laneScene = world->spawnScene(&lanes, 0, 0);
    int ballSceneNumber = world->spawnScene(&ballScene, 0, 0);
    std::vector<WorldObject*> laneObjects, ballObjects;
    for (int i = 0; i < balls; ++i) {
      laneObjects.push_back(
          world->findObjectByName(laneScene, ("lane" + std::to_string(i)).c_str()));
      WorldObject* b =
          world->findObjectByName(ballSceneNumber, ("ball" + std::to_string(i)).c_str());
      float angle = angles[i];
      b->setVelocity(shots[i].speed * std::cos(angle), shots[i].speed * std::sin(angle));
      ballObjects.push_back(b);
    }
    const float slowest = std::max(band.low, 100.f);
    const int steps = 10 + int(std::ceil(60 / (slowest * stepLength)));
    for (int step = 0; step < steps; ++step) {
      world->step(stepLength);
      for (int i = 0; i < balls; ++i) {
        const TriggerRecord& r = *laneObjects[i]->trigger;
        for (int k = 0; k < r.count; ++k)
          if (r.entries[k].objectNumber == ballObjects[i]->number) shots[i].seen = true;
      }
    }
    for (int i = 0; i < balls; ++i)
      shots[i].entered =
          std::count(enters.objects.begin(), enters.objects.end(), ballObjects[i]->number) > 0;
    world->setEvents(nullptr);
    return shots;
  }

 private:
  // A blade 74 px long from its pivot, of the obstacles' material.
  ObjectDef flipperDef() const {
    ObjectDef f;
    f.kind = KindDynamic;
    f.mass = 3;
    f.inertiaRadius = 600;
    f.collisionGroup = 2;
    f.outline = capsule(74, 14, 9);
    f.hasMaterial = hasObstacleMaterial_;
    f.material = obstacleMaterial_;
    return f;
  }

  static ObjectDef ballDef(const std::string& name, float mass, Float2 position) {
    ObjectDef b;
    b.name = name;
    b.kind = KindDynamic;
    b.mass = mass;
    b.inertiaRadius = 240;
    b.collisionGroup = 1;
    b.position = position;
    b.outline = regularPolygon(kBallRadius, kBallSides);
    return b;
  }

  // Whether the ball's centre got into the blade since it was at last (in
  // the blade's frame), and how deep its outline is in it now.
  static void follow(const WorldObject& ball, const Outline& ballLocal, const WorldObject& flipper,
                     Float2& last, Shot& shot) {
    const dReal *fp = dBodyGetPosition(flipper.body), *fR = dBodyGetRotation(flipper.body);
    const Float2 local = toLocal(ball.position, fp, fR);
    const Outline& blade = flipper.def->outline;
    if (pathEnters(blade, last, local)) shot.through = true;
    last = local;
    const Outline ballWorld =
        placed(ballLocal, dBodyGetPosition(ball.body), dBodyGetRotation(ball.body));
    const float depth = overlapDepth(ballWorld, placed(blade, fp, fR));
    shot.deepest = std::max(shot.deepest, depth);
    if (depth > 0) shot.hit = true;
  }

  static double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  }

  NullContentBackend backend_;
  WorldData data_;
  bool hasObstacleMaterial_ = false;
  Material obstacleMaterial_;
};

}  // namespace range
