// The world's private side: ODE's world, space and contact joints, and the
// per-step state of the contact pass and the island solvers. Only src/world
// and its tests include it.
#pragma once

#include <ode/ode.h>

#include <vector>

#include "world/island_solver.h"
#include "world/world.h"

class WorldSolver {
 public:
  explicit WorldSolver(World& world);
  ~WorldSolver();
  WorldSolver(const WorldSolver&) = delete;
  WorldSolver& operator=(const WorldSolver&) = delete;

  // The solver and the slots of a world, for the tests that look inside.
  static WorldSolver& of(const World& world) { return *world.solver_; }
  static const SlotList<WorldObject>& objectSlots(const World& world) { return world.objects_; }
  static const SlotList<Link>& linkSlots(const World& world) { return world.links_; }

  dWorldID odeWorld() const { return odeWorld_; }
  dSpaceID space() const { return space_; }

  // Contacts and the ODE step, run again with a longer reach when a body
  // moved farther than the contacts it was given could account for.
  void integrate(float dt);
  // The near callback of the collision pass; data is the WorldSolver.
  static void collidePair(void* solver, dGeomID o1, dGeomID o2);
  void collide(dGeomID o1, dGeomID o2);

 private:
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

  World& world_;
  const WorldData& data_;
  dWorldID odeWorld_ = nullptr;
  dSpaceID space_ = nullptr;
  dJointGroupID contactGroup_ = nullptr;
  dContact contactBuffer_[32];

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
};
