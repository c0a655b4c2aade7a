// The physics world: spawned scenes, their objects and the ball joints
// between them, stepped at a fixed rate on top of ODE.
#pragma once

#include <ode/ode.h>

#include <memory>
#include <vector>

#include "content/world_data.h"
#include "gfx/hud.h"
#include "world/island_solver.h"
#include "world/slot_list.h"
#include "world/world_events.h"

struct Camera {
  float x = 0, y = 0;  // world point shown at the top-left corner
};

struct Scene {
  int number = 0;
  const SceneDef* def = nullptr;
};

struct TriggerRecord;

struct WorldObject {
  WorldObject();
  ~WorldObject();

  int number = 0;
  int sceneNumber = 0;
  const ObjectDef* def = nullptr;
  dGeomID geom = nullptr;
  dBodyID body = nullptr;
  Float2 position;
  float angle = 0;  // radians, clockwise on screen
  float angleDegrees = 0;
  Float2 velocity;
  float angularVelocity = 0;
  unsigned char lit = 0;
  WorldObject* linkTarget = nullptr;
  Float2 linkOffset;
  std::unique_ptr<TriggerRecord> trigger;
  float reportedAngle = 0;
  // Set when its scene is removed or the world cleared; the object is out of
  // the lists at once but destroyed only after the running step.
  bool removed = false;

  // Each does nothing without a body.
  void setVelocity(float x, float y);
  void setTorque(float spin);
  void addImpulse(float x, float y);
  void addTorque(float torque);
};

struct Link {
  Link() = default;
  ~Link();  // destroys the joint
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  int sceneNumber = 0;
  const LinkDef* def = nullptr;
  dJointID joint = nullptr;
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

  // One fixed step: collide, integrate, update objects, run the script's
  // update and advance the HUD.
  void step(float dt);

  Hud& hud() { return *hud_; }
  const Hud& hud() const { return *hud_; }
  const WorldData& data() const { return data_; }

  // The near callback of the collision pass; data is the World.
  static void collidePair(void* world, dGeomID o1, dGeomID o2);

  SlotList<Scene> scenes;
  SlotList<WorldObject> objects;
  SlotList<Link> links;

 private:
  WorldObject* createObject(const ObjectDef& def, float x, float y, int sceneNumber);
  void createLink(const LinkDef& def, Float2 origin, int sceneNumber, WorldObject* o1,
                  WorldObject* o2);
  // Takes the object or link out of its list and destroys it, or keeps it
  // until the end of the running step.
  void dispose(std::unique_ptr<WorldObject> object);
  void dispose(std::unique_ptr<Link> link);
  void disposeDeferred();
  void collide(dGeomID o1, dGeomID o2);
  void guardBodies();
  // Contacts and the ODE step, run again with a longer reach when a body
  // moved farther than the contacts it was given could account for.
  void integrate(float dt);
  void recordMotions(float dt);
  bool motionsCovered() const;
  void restoreMotions(float dt);
  void setSweeps(float dt);
  // Bodies tied together by contacts or links form an island; each island is
  // solved exactly, or iteratively once it has many bodies and contacts.
  int motionIndex(dBodyID body) const;
  const double* inverseMasses(dBodyID body) const;
  int islandOf(int motion);
  void join(dBodyID a, dBodyID b, int rows);
  void solveIslands(float dt);
  bool solveHere(int root, float dt, bool relaxed);
  void postStep(WorldObject& object);
  void reportRotation(WorldObject& object);

  const WorldData& data_;
  std::unique_ptr<Hud> hud_;
  WorldEvents* events_ = nullptr;
  int lastSceneNumber_ = 0;
  int lastObjectNumber_ = 0;
  dWorldID odeWorld_ = nullptr;
  dSpaceID space_ = nullptr;
  dJointGroupID contactGroup_ = nullptr;
  dContact contactBuffer_[32];
  bool stepping_ = false;

  // A body's state at the start of the step, and the speed its contacts
  // were found for.
  struct Motion {
    WorldObject* object;
    dReal position[3], quaternion[4], linear[3], angular[3], force[3], torque[3];
    float speed;
    double inverse[2];               // inverse mass and inertia about z
    int island;                      // union-find parent, a motion index
    int rows;                        // contact rows of the island, kept at its root
    int bodies;                      // bodies of the island, kept at its root
    bool inScale;                    // its inertia is in scale with its outline
    bool islandInScale;              // every body of the island is, kept at its root
    double mostGiving, leastGiving;  // the island's inverse masses, kept at its root
    bool planar;                     // it moves and turns in the plane only
    bool plain;                      // no links, every body planar; kept at its root
    int next;                        // the next motion of the same island, or -1
    int first;                       // the island's first motion, kept at its root
    int local;                       // its place among the island's bodies
    int solver;                      // how the island is solved, kept at its root
  };
  std::vector<Motion> motions_;
  // Contacts found in the step, handed to ODE or solved here by island.
  struct PendingContact {
    dBodyID body1, body2;
    dContact contact;
  };
  std::vector<PendingContact> pending_;
  std::vector<IslandBody> islandBodies_;
  std::vector<IslandRow> islandRows_;
  std::vector<int> rowNext_, rowFirst_;
  IslandWork islandWork_;
  float stepLength_ = 0;
  bool collideTriggers_ = true;
  std::vector<std::unique_ptr<WorldObject>> doomedObjects_;
  std::vector<std::unique_ptr<Link>> doomedLinks_;
};
