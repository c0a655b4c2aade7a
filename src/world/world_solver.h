// The world's private side: ODE's world, space and contact joints, and the
// per-step state of the contact pass and the island solvers. Only src/world
// and its tests include it.
#pragma once

#include <ode/ode.h>

#include <algorithm>
#include <vector>

#include "world/island_solver.h"
#include "world/islands.h"
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
  // moved farther than the contacts it was given could account for, and in
  // halves when a body of a bouncing island turned farther than they follow.
  void integrate(float dt);
  // The near callback of the collision pass; data is the WorldSolver.
  static void collidePair(void* solver, dGeomID o1, dGeomID o2);
  void collide(dGeomID o1, dGeomID o2);

 private:
  // A body's state at the start of the step, and how far its contacts reach.
  struct Motion {
    Motion() {}  // left unset: every field is written where it is made
    WorldObject* object;
    dReal position[3], quaternion[4], linear[3], angular[3], force[3], torque[3];
    float speed;        // the speed its contacts are found for, px/s
    float sweep;        // how far they reach, px
    double inverse[2];  // inverse mass and inertia about z
    bool inScale;       // its inertia is in scale with its outline
    bool planar;        // it moves and turns in the plane only
    int local;          // its place among its island's bodies
  };
  // A contact as the step makes it, solved here or handed to ODE.
  struct ContactRow {
    ContactRow() {}        // left unset: every field is written where it is made
    dBodyID body1, body2;  // null: the fixed world, or a side the pair cannot move
    int motion1, motion2;  // the two bodies' motions; -1: no body, or one that sits out
    int motion() const {   // a body's motion, naming the island; -1: none moves
      return motion1 >= 0 ? motion1 : motion2;
    }
    double px, py;    // halfway between the two features
    double nx, ny;    // unit normal from body2 towards body1
    double depth;     // overlap; negative: the gap still open
    double target;    // the speed at which body1 must part from body2 at least
    double cfm;       // how much the contact gives per unit of impulse, times the step
    double friction;  // Coulomb's coefficient of the pair
  };

  // A pair with a material parting after a bounce, by its objects' numbers,
  // which are never reused: the speed it bounced at (px/s) and how long it
  // is held to it yet, this step included (s; whole steps of the length it
  // bounced in, so that a step run in halves counts its halves).
  struct HeldBounce {
    int a, b;  // a < b
    double speed;
    double left;
    static HeldBounce of(const WorldObject& o1, const WorldObject& o2) {
      HeldBounce h;
      h.a = std::min(o1.number, o2.number);
      h.b = std::max(o1.number, o2.number);
      return h;
    }
    static bool before(const HeldBounce& x, const HeldBounce& y) {
      return x.a < y.a || (x.a == y.a && x.b < y.b);
    }
  };
  const HeldBounce* heldBounce(const WorldObject& o1, const WorldObject& o2) const;
  // countTriggers: the triggers are counted in the first attempt.
  void run(float dt, bool countTriggers);
  void runInHalves(float dt, int halvings);
  bool turnedTooFar();
  void recordMotions(float dt);
  bool motionsCovered() const;
  void restoreMotions(float dt);
  // A body, or only its forces and torques, as the step found it.
  void putBack(const Motion& m);
  void putBackPushes(const Motion& m);
  void setSweeps(float dt);
  int motionOf(dBodyID body) const;
  float sweepOf(const WorldObject& object) const;
  void solveIslands(float dt);
  bool solveHere(int root, float dt, bool relaxed);
  void stepWithOde(IslandSolver solver, float dt);

  World& world_;
  const WorldData& data_;
  dWorldID odeWorld_ = nullptr;
  dSpaceID space_ = nullptr;
  dJointGroupID contactGroup_ = nullptr;

  std::vector<Motion> motions_;
  std::vector<ContactRow> rows_;
  Islands islands_;
  std::vector<IslandSolver> solvers_;  // by island root
  std::vector<IslandBody> islandBodies_;
  std::vector<IslandRow> islandRows_;
  IslandWork islandWork_;
  std::vector<HeldBounce> held_;      // from the last step, in order
  std::vector<HeldBounce> heldNext_;  // made by this run of the step
  float stepLength_ = 0;
  bool collideTriggers_ = true;
};
