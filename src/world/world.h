// The physics world: spawned scenes, their objects and the ball joints
// between them, stepped at a fixed rate. This is what the shell, the script
// bindings and drawing see of it; the solver is private (world_solver.h).
#pragma once

#include <memory>
#include <vector>

#include "content/world_data.h"
#include "gfx/hud.h"
#include "world/slot_list.h"
#include "world/world_events.h"

// ODE's handles, opaque outside src/world.
struct dxBody;
struct dxGeom;
struct dxJoint;

struct PolygonGeomData;
struct TriggerRecord;
class WorldSolver;

struct Camera {
  float x = 0, y = 0;  // world point shown at the top-left corner
};

struct Scene {
  int number = 0;
  const SceneDef* def = nullptr;
};

struct WorldObject {
  WorldObject();
  ~WorldObject();

  int number = 0;
  int sceneNumber = 0;
  const ObjectDef* def = nullptr;  // its images, outline and kind
  // The pose and motion as of the last step.
  Float2 position;
  float angle = 0;  // radians, clockwise on screen
  float angleDegrees = 0;
  Float2 velocity;
  float angularVelocity = 0;
  unsigned char lit = 0;
  // Its contact material: the definition's until a script sets one.
  bool hasMaterial = false;
  Material material;

  // Each does nothing without a body.
  void setVelocity(float x, float y);
  void setTorque(float spin);
  void addImpulse(float x, float y);
  void addTorque(float torque);

  // Kept by the world for its step.
  dxGeom* geom = nullptr;
  PolygonGeomData* outline = nullptr;  // geom's own data, kept rather than asked of ODE
  dxBody* body = nullptr;              // only dynamic objects have one; geom's body
  WorldObject* linkTarget = nullptr;
  Float2 linkOffset;
  std::unique_ptr<TriggerRecord> trigger;
  int motion = -1;  // its place among the moving bodies during a step
  float reportedAngle = 0;
  // Set when its scene is removed or the world cleared; the object is out of
  // the lists at once but destroyed only after the running step.
  bool removed = false;
};

struct Link {
  Link() = default;
  ~Link();  // destroys the joint
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  int sceneNumber = 0;
  const LinkDef* def = nullptr;
  dxJoint* joint = nullptr;
};

class World {
 public:
  explicit World(const WorldData& data);
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  Camera camera;

  // Receives trigger, rotation and update events; nullptr for none.
  void setEvents(WorldEvents* events);
  void setGravity(float g);
  // Returns the new scene number, or -1 when def is nullptr.
  int spawnScene(const SceneDef* def, float x, float y);
  void removeScene(int number);
  void clear();
  Scene* findSceneByNumber(int number) const;
  WorldObject* findObjectByNumber(int number) const;
  WorldObject* findObjectByName(int sceneNumber, const char* name) const;

  // Every scene or object in slot order: the order of creation, a removed
  // one's slot taken by the next one created. The step and the checksum go
  // by it too. visit must not spawn or remove anything.
  template <class Visit>
  void forEachScene(Visit&& visit) const {
    scenes_.forEach(visit);
  }
  template <class Visit>
  void forEachObject(Visit&& visit) const {
    objects_.forEach(visit);
  }
  // The objects of one scene, in slot order or backwards.
  template <class Visit>
  void forEachObjectOf(int sceneNumber, Visit&& visit) const {
    objects_.forEach([&](WorldObject& o) {
      if (o.sceneNumber == sceneNumber) visit(o);
    });
  }
  template <class Visit>
  void forEachObjectOfBackwards(int sceneNumber, Visit&& visit) const {
    objects_.forEachBackwards([&](WorldObject& o) {
      if (o.sceneNumber == sceneNumber) visit(o);
    });
  }
  int sceneCount() const { return scenes_.liveCount(); }
  int objectCount() const { return objects_.liveCount(); }
  int linkCount() const { return links_.liveCount(); }

  // One fixed step: collide, integrate, update objects, run the script's
  // update and advance the HUD.
  void step(float dt);

  Hud& hud() { return *hud_; }
  const Hud& hud() const { return *hud_; }
  const WorldData& data() const { return data_; }

 private:
  friend class WorldSolver;

  WorldObject* createObject(const ObjectDef& def, float x, float y, int sceneNumber);
  void createLink(const LinkDef& def, Float2 origin, int sceneNumber, WorldObject* o1,
                  WorldObject* o2);
  // Takes the object or link out of its list and destroys it, or keeps it
  // until the end of the running step.
  void dispose(std::unique_ptr<WorldObject> object);
  void dispose(std::unique_ptr<Link> link);
  void disposeDeferred();
  void guardBodies();
  void postStep(WorldObject& object);
  void reportRotation(WorldObject& object);

  const WorldData& data_;
  std::unique_ptr<Hud> hud_;
  std::unique_ptr<WorldSolver> solver_;
  WorldEvents* events_ = nullptr;
  int lastSceneNumber_ = 0;
  int lastObjectNumber_ = 0;
  bool stepping_ = false;
  SlotList<Scene> scenes_;
  SlotList<WorldObject> objects_;
  SlotList<Link> links_;
  std::vector<std::unique_ptr<WorldObject>> doomedObjects_;
  std::vector<std::unique_ptr<Link>> doomedLinks_;
};
