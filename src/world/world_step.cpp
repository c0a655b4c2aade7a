// One fixed step of the world: contacts, integration, and the per-object pass
// that keeps triggers, followers, poses and rotation reports up to date.
#include <cmath>

#include "world/number_guard.h"
#include "world/trigger_record.h"
#include "world/world.h"

namespace {

// Beyond this a body's numbers are runaway values on their way to infinity.
constexpr double runaway = 1e15;

bool usable(const dReal* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (!(std::fabs(v[i]) <= runaway)) return false;
  }
  return true;
}

float wrapDegrees(float degrees) {
  while (degrees < -180) degrees += 360;
  while (degrees > 180) degrees -= 360;
  return degrees;
}

void updatePose(WorldObject& o, const dReal* p, const dReal* R) {
  o.position = {float(p[0]), float(p[1])};
  // Rounding can push the cosine a hair past 1, where acos has no answer.
  double c = std::fmax(-1.0, std::fmin(1.0, double(R[0])));
  o.angle = float(R[4] > 0 ? std::acos(c) : -std::acos(c));
  o.angleDegrees = o.angle * 180 * 0.31830987f;
}

}  // namespace

void World::collidePair(void* world, dGeomID o1, dGeomID o2) {
  static_cast<World*>(world)->collide(o1, o2);
}

void World::collide(dGeomID o1, dGeomID o2) {
  dBodyID b1 = dGeomGetBody(o1), b2 = dGeomGetBody(o2);
  if (!b1 && !b2) return;  // static shapes and triggers never meet
  WorldObject* w1 = static_cast<WorldObject*>(dGeomGetData(o1));
  WorldObject* w2 = static_cast<WorldObject*>(dGeomGetData(o2));
  if (!w1 || !w2) return;

  const bool sameScene = w1->sceneNumber == w2->sceneNumber;
  if (sameScene) {
    // Groups wrap at 32 for the row as for the bit; only w1's row counts.
    uint32_t row = data_.collisionMasks[w1->def->collisionGroup & 31];
    if (!(row & (1u << (w2->def->collisionGroup & 31)))) return;
    if (w1->linkTarget == w2 || w2->linkTarget == w1) return;
  }

  int n = dCollide(o1, o2, 32, &contactBuffer_[0].geom, int(sizeof(dContact)));
  if (n <= 0) return;

  if (w1->trigger) w1->trigger->touch(w2->sceneNumber, w2->number);
  if (w2->trigger) w2->trigger->touch(w1->sceneNumber, w1->number);
  if (w1->trigger || w2->trigger) return;

  bool soft = false;
  if (!sameScene) {
    if (w1->def->immovableByOtherScenes) {
      b1 = nullptr;
      soft = true;
    }
    if (w2->def->immovableByOtherScenes) {
      b2 = nullptr;
      soft = true;
    }
  }
  if (!b1 && !b2) return;

  for (int i = 0; i < n; ++i) {
    dSurfaceParameters& s = contactBuffer_[i].surface;
    s = dSurfaceParameters();
    s.mode = dContactSoftCFM;
    s.mu = 0;
    s.mu2 = 0;
    s.bounce = 0.07;
    s.bounce_vel = 0.07;
    s.soft_cfm = 0.01;
    if (soft) {
      s.mode |= dContactSoftERP;
      s.soft_erp = 0.95;
    }
    dJointID joint = dJointCreateContact(odeWorld_, contactGroup_, &contactBuffer_[i]);
    dJointAttach(joint, b1, b2);
  }
}

void World::guardBodies() {
  for (int slot = 0; slot < objects.capacity(); ++slot) {
    WorldObject* o = objects.at(slot);
    if (!o || !o->body) continue;
    dBodyID b = o->body;
    if (usable(dBodyGetForce(b), 3) && usable(dBodyGetTorque(b), 3) &&
        usable(dBodyGetPosition(b), 3) && usable(dBodyGetQuaternion(b), 4) &&
        usable(dBodyGetLinearVel(b), 3) && usable(dBodyGetAngularVel(b), 3))
      continue;
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
  dSpaceCollide(space_, this, &World::collidePair);
  dWorldStep(odeWorld_, dt);
  dJointGroupEmpty(contactGroup_);

  // Handlers may remove or spawn scenes: read each slot when it is reached,
  // and only up to the capacity the pass began with.
  const int bound = objects.capacity();
  for (int slot = 0; slot < bound; ++slot) {
    WorldObject* o = objects.at(slot);
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
