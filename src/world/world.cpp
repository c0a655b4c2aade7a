// The world's lifetime and contents: creation and destruction, spawning and
// removing scenes, lookups, and the operations scripts apply to bodies.
#include "world/world.h"

#include <cmath>
#include <cstdio>

#include "world/contact_tuning.h"
#include "world/number_guard.h"
#include "world/polygon_geom.h"
#include "world/trigger_record.h"
#include "world/world_solver.h"

WorldObject::WorldObject() {}

WorldObject::~WorldObject() {
  if (geom) {
    dGeomSetBody(geom, nullptr);
    dGeomDestroy(geom);
  }
  if (body) dBodyDestroy(body);
}

void WorldObject::setVelocity(float x, float y) {
  if (!body) return;
  if (!std::isfinite(x) || !std::isfinite(y)) return reportNonFinite("velocity");
  dBodySetLinearVel(body, x, y, 0);
}

void WorldObject::setTorque(float spin) {
  if (!body) return;
  if (!std::isfinite(spin)) return reportNonFinite("spin");
  dBodySetAngularVel(body, 0, 0, spin);
}

void WorldObject::addImpulse(float x, float y) {
  if (!body) return;
  if (!std::isfinite(x) || !std::isfinite(y)) return reportNonFinite("force");
  dBodyAddForce(body, x, y, 0);
}

void WorldObject::addTorque(float torque) {
  if (!body) return;
  if (!std::isfinite(torque)) return reportNonFinite("torque");
  dBodyAddTorque(body, 0, 0, torque);
}

Link::~Link() {
  if (joint) dJointDestroy(joint);
}

WorldSolver::WorldSolver(World& world) : world_(world), data_(world.data_) {
  odeWorld_ = dWorldCreate();
  dWorldSetERP(odeWorld_, 0.1);
  dWorldSetCFM(odeWorld_, 0.00001);
  dWorldSetQuickStepNumIterations(odeWorld_, contactTuning.relaxSweeps);
  // Sweep and prune along y, the long side of a table: the hash space spends
  // more finding the pairs of a table than the collider does with them.
  space_ = dSweepAndPruneSpaceCreate(nullptr, dSAP_AXES_YXZ);
  contactGroup_ = dJointGroupCreate(0);
}

WorldSolver::~WorldSolver() {
  dJointGroupDestroy(contactGroup_);
  dSpaceDestroy(space_);
  dWorldDestroy(odeWorld_);
}

World::World(const WorldData& data)
    : data_(data), hud_(new Hud(data)), solver_(new WorldSolver(*this)) {}

World::~World() {
  clear();
  disposeDeferred();
  solver_.reset();
  hud_.reset();
}

void World::setEvents(WorldEvents* events) {
  events_ = events;
}

void World::setGravity(float g) {
  if (!std::isfinite(g)) return reportNonFinite("gravity");
  std::printf("[WORLD] Gravity set to %f\n", g);
  dWorldSetGravity(solver_->odeWorld(), 0, g, 0);
}

int World::spawnScene(const SceneDef* def, float x, float y) {
  if (!def) return -1;
  std::printf("[WORLD] Spawning scene '%s' at (%2.2f, %2.2f)\n", def->name.c_str(), x, y);
  if (!std::isfinite(x) || !std::isfinite(y)) {
    reportNonFinite("spawn position");
    if (!std::isfinite(x)) x = 0;
    if (!std::isfinite(y)) y = 0;
  }
  const int n = ++lastSceneNumber_;
  std::unique_ptr<Scene> scene(new Scene);
  scene->number = n;
  scene->def = def;
  scenes_.insert(std::move(scene));

  Float2 origin{x, y};
  if (const ObjectDef* marker = def->findObjectById("SpawnPoint")) {
    origin.x = x - finiteOrZero(marker->position.x, marker->name.c_str(), "position");
    origin.y = y - finiteOrZero(marker->position.y, marker->name.c_str(), "position");
  }

  bool anyLinked = false;
  for (const ObjectDef& od : def->objects) {
    if (od.kind == KindMarker) continue;
    if (!od.linkedTo.empty()) anyLinked = true;
    float px = finiteOrZero(od.position.x, od.name.c_str(), "position");
    float py = finiteOrZero(od.position.y, od.name.c_str(), "position");
    createObject(od, origin.x + px, origin.y + py, n);
  }

  if (anyLinked) {
    for (int slot = 0; slot < objects_.capacity(); ++slot) {
      WorldObject* o = objects_.at(slot);
      if (!o || o->sceneNumber != n || o->def->linkedTo.empty()) continue;
      const ObjectDef& od = *o->def;
      if (od.kind == KindProp || od.kind == KindTrigger) {
        WorldObject* target = findObjectByName(n, od.linkedTo.c_str());
        if (target) {
          o->linkTarget = target;
          o->linkOffset = {od.position.x - target->def->position.x,
                           od.position.y - target->def->position.y};
          if (!std::isfinite(o->linkOffset.x) || !std::isfinite(o->linkOffset.y))
            o->linkOffset = Float2();
        } else {
          std::printf("[WORLD] WARNING! Object '%s' is linked to nonexisting object '%s'!\n",
                      od.name.c_str(), od.linkedTo.c_str());
        }
      } else {
        std::printf(
            "[WORLD] WARNING! Object '%s' is not a prop or a triggers and is linked to another "
            "object!\n",
            od.name.c_str());
      }
    }
  }

  for (const LinkDef& ld : def->links) {
    WorldObject* o1 = findObjectByName(n, ld.obj1.c_str());
    WorldObject* o2 = findObjectByName(n, ld.obj2.c_str());
    if (o1 && o1 == o2) {
      std::printf("[WORLD] WARNING! Link '%s' connects twice to the same object!\n",
                  ld.name.c_str());
    } else if (!o1 && !o2) {
      std::printf("[WORLD] WARNING! Link '%s' does not connect to any existing objects!\n",
                  ld.name.c_str());
    } else {
      createLink(ld, origin, n, o1, o2);
    }
  }
  return n;
}

WorldObject* World::createObject(const ObjectDef& def, float x, float y, int sceneNumber) {
  std::unique_ptr<WorldObject> o(new WorldObject);
  o->number = ++lastObjectNumber_;
  o->sceneNumber = sceneNumber;
  o->def = &def;
  o->position = {x, y};
  o->hasMaterial = def.hasMaterial;
  o->material = def.material;
  if (def.kind == KindTrigger) o->trigger.reset(new TriggerRecord(o.get()));
  if (def.kind == KindStatic || def.kind == KindDynamic || def.kind == KindTrigger) {
    o->geom = createPolygonGeom(solver_->space(), &def);
    o->outline = polygonGeomData(o->geom);
    dGeomSetData(o->geom, o.get());
  }
  if (def.kind == KindDynamic) {
    o->body = dBodyCreate(solver_->odeWorld());
    dBodySetData(o->body, o.get());  // a link's body leads back to its object
    dGeomSetBody(o->geom, o->body);
    dBodySetPosition(o->body, x, y, 0);
    dMass mass;
    dMassSetZero(&mass);
    float radius = usableInertiaRadius(def.inertiaRadius, def.name.c_str()) * 0.05f;
    dMassSetSphereTotal(&mass, usableMass(def.mass, def.name.c_str()), radius);
    dBodySetMass(o->body, &mass);
  } else if (o->geom) {
    dGeomSetPosition(o->geom, x, y, 0);
  }
  WorldObject* raw = o.get();
  objects_.insert(std::move(o));
  return raw;
}

void World::createLink(const LinkDef& def, Float2 origin, int sceneNumber, WorldObject* o1,
                       WorldObject* o2) {
  std::unique_ptr<Link> link(new Link);
  link->sceneNumber = sceneNumber;
  link->def = &def;
  link->joint = dJointCreateBall(solver_->odeWorld(), nullptr);
  // A missing body (static or missing object) stands for the fixed world.
  if (o1) {
    dJointAttach(link->joint, o1->body, o2 ? o2->body : nullptr);
  } else {
    dJointAttach(link->joint, o2->body, nullptr);
  }
  float ax = finiteOrZero(def.anchor.x, def.name.c_str(), "anchor");
  float ay = finiteOrZero(def.anchor.y, def.name.c_str(), "anchor");
  dJointSetBallAnchor(link->joint, origin.x + ax, origin.y + ay, 0);
  links_.insert(std::move(link));
}

void World::removeScene(int number) {
  std::printf("[WORLD] Removing scene #%d\n", number);
  int sceneSlot = -1;
  for (int slot = 0; slot < scenes_.capacity() && sceneSlot < 0; ++slot) {
    const Scene* s = scenes_.at(slot);
    if (s && s->number == number) sceneSlot = slot;
  }
  if (sceneSlot < 0) {
    std::printf("[WORLD]   (not found; cannot remove)\n");
    return;
  }
  scenes_.remove(sceneSlot);
  for (int slot = 0; slot < links_.capacity(); ++slot) {
    const Link* l = links_.at(slot);
    if (l && l->sceneNumber == number) dispose(links_.take(slot));
  }
  for (int slot = 0; slot < objects_.capacity(); ++slot) {
    const WorldObject* o = objects_.at(slot);
    if (o && o->sceneNumber == number) dispose(objects_.take(slot));
  }
}

void World::clear() {
  std::printf("[WORLD] Clearing world\n");
  for (int slot = 0; slot < scenes_.capacity(); ++slot) scenes_.remove(slot);
  for (int slot = 0; slot < objects_.capacity(); ++slot) {
    if (objects_.at(slot)) dispose(objects_.take(slot));
  }
  for (int slot = 0; slot < links_.capacity(); ++slot) {
    if (links_.at(slot)) dispose(links_.take(slot));
  }
}

void World::dispose(std::unique_ptr<WorldObject> object) {
  object->removed = true;
  if (!stepping_) return;  // destroyed here, as the pointer goes
  // Still in the step: the object may be the one whose update raised the
  // event. Keep it out of the next collision pass until it is destroyed.
  if (object->geom) dGeomDisable(object->geom);
  if (object->body) dBodyDisable(object->body);
  doomedObjects_.push_back(std::move(object));
}

void World::dispose(std::unique_ptr<Link> link) {
  if (!stepping_) return;
  if (link->joint) dJointDisable(link->joint);
  doomedLinks_.push_back(std::move(link));
}

void World::disposeDeferred() {
  // Objects before links, as clear destroys them.
  doomedObjects_.clear();
  doomedLinks_.clear();
}

Scene* World::findSceneByNumber(int number) const {
  for (int slot = 0; slot < scenes_.capacity(); ++slot) {
    Scene* s = scenes_.at(slot);
    if (s && s->number == number) return s;
  }
  return nullptr;
}

WorldObject* World::findObjectByNumber(int number) const {
  for (int slot = 0; slot < objects_.capacity(); ++slot) {
    WorldObject* o = objects_.at(slot);
    if (o && o->number == number) return o;
  }
  return nullptr;
}

WorldObject* World::findObjectByName(int sceneNumber, const char* name) const {
  if (!name) return nullptr;
  for (int slot = 0; slot < objects_.capacity(); ++slot) {
    WorldObject* o = objects_.at(slot);
    if (o && o->sceneNumber == sceneNumber && o->def->name == name) return o;
  }
  return nullptr;
}
