// One fixed step of the world: contacts, integration, and the per-object pass
// that keeps triggers, followers, poses and rotation reports up to date.
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "world/number_guard.h"
#include "world/polygon_geom.h"
#include "world/trigger_record.h"
#include "world/world_solver.h"

namespace {

// Beyond this a body's numbers are runaway values on their way to infinity.
constexpr double runaway = 1e15;

#ifdef __SSE2__
static_assert(sizeof(dReal) == sizeof(double), "ODE in double precision");

// The lanes of v[0..n) (n of 3 or 4) beyond runaway or a NaN, set, added to
// seen: two values at a time, and no branch until all of a body's vectors
// are in.
inline __m128d beyond(const dReal* v, int n, __m128d seen) {
  const __m128d sign = _mm_set1_pd(-0.0), limit = _mm_set1_pd(runaway);
  const __m128d low = _mm_andnot_pd(sign, _mm_loadu_pd(v));
  const __m128d high = _mm_andnot_pd(sign, n == 4 ? _mm_loadu_pd(v + 2) : _mm_load_sd(v + 2));
  seen = _mm_or_pd(seen, _mm_cmpnle_pd(low, limit));
  return _mm_or_pd(seen, _mm_cmpnle_pd(high, limit));
}

// Whether every number of the body is within runaway.
bool usableBody(dBodyID b) {
  __m128d seen = _mm_setzero_pd();
  seen = beyond(dBodyGetForce(b), 3, seen);
  seen = beyond(dBodyGetTorque(b), 3, seen);
  seen = beyond(dBodyGetPosition(b), 3, seen);
  seen = beyond(dBodyGetQuaternion(b), 4, seen);
  seen = beyond(dBodyGetLinearVel(b), 3, seen);
  seen = beyond(dBodyGetAngularVel(b), 3, seen);
  return _mm_movemask_pd(seen) == 0;
}
#else
bool usable(const dReal* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (!(std::fabs(v[i]) <= runaway)) return false;
  }
  return true;
}

bool usableBody(dBodyID b) {
  return usable(dBodyGetForce(b), 3) && usable(dBodyGetTorque(b), 3) &&
         usable(dBodyGetPosition(b), 3) && usable(dBodyGetQuaternion(b), 4) &&
         usable(dBodyGetLinearVel(b), 3) && usable(dBodyGetAngularVel(b), 3);
}
#endif

float wrapDegrees(float degrees) {
  while (degrees < -180) degrees += 360;
  while (degrees > 180) degrees -= 360;
  return degrees;
}

void updatePose(WorldObject& o, const dReal* p, const dReal* R) {
  o.position = {float(p[0]), float(p[1])};
  // Rounding can push the cosine a hair past 1, where acos has no answer.
  // As std::fmin and std::fmax to the bit (a NaN becomes 1), without their calls.
  const double c = greater(lesser(double(R[0]), 1.0), -1.0);
  o.angle = float(R[4] > 0 ? std::acos(c) : -std::acos(c));
  o.angleDegrees = o.angle * 180 * 0.31830987f;
}

}  // namespace

void World::guardBodies() {
  for (int slot = 0; slot < objects_.capacity(); ++slot) {
    WorldObject* o = objects_.at(slot);
    if (!o || !o->body) continue;
    dBodyID b = o->body;
    if (usableBody(b)) continue;
    // ODE aborts the process on a body like this; put it back where it was
    // last seen, at rest.
    reportRunaway(o->number);
    dBodySetForce(b, 0, 0, 0);
    dBodySetTorque(b, 0, 0, 0);
    Float2 p = o->position;
    if (!(std::fabs(p.x) <= runaway) || !(std::fabs(p.y) <= runaway)) p = Float2();
    dBodySetPosition(b, p.x, p.y, 0);
    dMatrix3 R;
    dRFromAxisAndAngle(R, 0, 0, 1, std::isfinite(o->angle) ? o->angle : 0);
    dBodySetRotation(b, R);
    dBodySetLinearVel(b, 0, 0, 0);
    dBodySetAngularVel(b, 0, 0, 0);
  }
}

void World::step(float dt) {
  stepping_ = true;
  guardBodies();
  solver_->integrate(dt);

  // Handlers may remove or spawn scenes: read each slot when it is reached,
  // and only up to the capacity the pass began with.
  const int bound = objects_.capacity();
  for (int slot = 0; slot < bound; ++slot) {
    WorldObject* o = objects_.at(slot);
    if (o) postStep(*o);
  }

  if (events_) events_->callScriptUpdate(dt);
  hud_->update(dt);
  stepping_ = false;
  disposeDeferred();
}

void World::postStep(WorldObject& o) {
  if (o.trigger) {
    o.trigger->updateTriggers(events_);
    if (o.removed) return;
  }
  if (o.linkTarget && o.linkTarget->body) {
    dVector3 p;
    dBodyGetRelPointPos(o.linkTarget->body, o.linkOffset.x, o.linkOffset.y, 0, p);
    const dReal* R = dBodyGetRotation(o.linkTarget->body);
    if (o.body) {
      dBodySetPosition(o.body, p[0], p[1], p[2]);
      dBodySetRotation(o.body, R);
    }
    if (o.geom) {
      dGeomSetPosition(o.geom, p[0], p[1], 0);
      dGeomSetRotation(o.geom, R);
    }
    updatePose(o, p, R);
  }
  if (o.body) {
    updatePose(o, dBodyGetPosition(o.body), dBodyGetRotation(o.body));
    const dReal* v = dBodyGetLinearVel(o.body);
    o.velocity = {float(v[0]), float(v[1])};
    o.angularVelocity = float(dBodyGetAngularVel(o.body)[2]);
    reportRotation(o);
  }
}

void World::reportRotation(WorldObject& o) {
  float delta = wrapDegrees(o.angleDegrees - o.reportedAngle);
  if (std::fabs(delta) < 45) return;
  o.reportedAngle = o.angleDegrees;
  while (delta >= 45) {
    if (events_) events_->callObjectRotated(o.sceneNumber, o.number, 45);
    if (o.removed) return;
    delta -= 45;
  }
  while (delta <= -45) {
    if (events_) events_->callObjectRotated(o.sceneNumber, o.number, -45);
    if (o.removed) return;
    delta += 45;
  }
}
