// Contacts and integration within one step. Solid pairs get contacts from
// their closest features, including features not touching yet but within
// the distance the two bodies can cover in the step; each contact lets the
// gap close and no more, so that nothing passes through anything however
// fast it moves. Should the solver send a body farther than its contacts
// reached (a ball struck by a flipper flies into a wall it had no contact
// with), the step is run again from its start with the longer reach.
#include <cmath>
#include <cstdint>
#include <utility>

#include "world/island_solver.h"
#include "world/polygon_geom.h"
#include "world/solid_contacts.h"
#include "world/trigger_record.h"
#include "world/world_solver.h"

namespace {

// Contacts are found this far apart even at rest, px.
constexpr float restReach = 0.5f;
// Share of the approach speed an impact gives back, above this speed (px/s).
constexpr float restitution = 0.2f;
constexpr float bounceSpeed = 50;
// Overlap left alone (px), the share of the rest removed per step, harder
// against objects that other scenes cannot move, and the speed cap of it.
constexpr float slop = 0.1f;
constexpr float pushOut = 0.2f, hardPushOut = 0.95f;
constexpr float maxPushOutSpeed = 600;
// Constraint softness relative to the contact's own mass, so that a heavy
// ball sinks no deeper than a light one.
constexpr double softness = 1e-3;
constexpr double guardSoftness = 1e-2;
// Runs of the step per step at most: the first and two with a longer reach.
constexpr int attempts = 3;
// Islands with more contacts than this are solved iteratively: the exact
// solver's cost grows with the cube of the contacts, and it may meet a set
// it cannot factor. A few sweeps hold a body against static shapes, a pile
// at rest, and bodies of like mass; but an impact of a few bodies of very
// unlike mass, a heavy ball struck by a light flipper or a light one by a
// heavy flipper, stays exact: a few sweeps would leave one pressed deep into
// the other. Unless a body's inertia is far out of scale with its outline
// (damaged content), which the exact solver may not survive.
constexpr int exactRows = 24;
constexpr int impactBodies = 3;
constexpr double uneven = 10;  // mass ratio
// Islands of bodies held by contacts alone are solved here, up to this many
// contacts; beyond, ODE's exact solver has them.
constexpr int mostRowsHere = 48;
// Bigger islands of that kind with more than one body (a pile) are relaxed
// here, up to this many contacts, with as many sweeps as ODE's iterative
// solver makes; a lone body with that many contacts stays with ODE.
constexpr int mostRowsRelaxed = 64;
constexpr int relaxSweeps = 6;
// A body is out of scale when turning it is this many times easier, at its
// outline, than pushing it.
constexpr double outOfScale = 1e4;
// Sweeps beyond this are runaway speeds; the box stays sane.
constexpr float maxSweep = 10000;

float length(const dReal* v) {
  return float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
}

// One side of a contact pair as the step finds it: where its body is, how
// it moves and how hard it is to move. A side without a body stands still
// and cannot be moved.
struct Side {
  double x = 0, y = 0, vx = 0, vy = 0, spin = 0, inverseMass = 0, inverseInertia = 0;
};

void inverseMassOf(dBodyID b, double& inverseMass, double& inverseInertia) {
  dMass m;
  dBodyGetMass(b, &m);
  inverseMass = m.mass > 0 ? 1 / m.mass : 0;
  inverseInertia = m.I[10] > 0 ? 1 / m.I[10] : 0;
}

// inverse: the body's inverse mass and inertia when the step has them at
// hand, or nullptr.
Side sideOf(dBodyID b, const double* inverse) {
  Side s;
  if (!b) return s;
  const dReal *p = dBodyGetPosition(b), *v = dBodyGetLinearVel(b);
  s.x = p[0], s.y = p[1], s.vx = v[0], s.vy = v[1], s.spin = dBodyGetAngularVel(b)[2];
  if (inverse) {
    s.inverseMass = inverse[0];
    s.inverseInertia = inverse[1];
  } else {
    inverseMassOf(b, s.inverseMass, s.inverseInertia);
  }
  return s;
}

// Velocity of the side's point p, and where p will be after h at that pace
// (turned with the body, not carried along a straight line).
void velocityAt(const Side& s, const double p[2], double v[2]) {
  v[0] = s.vx - s.spin * (p[1] - s.y);
  v[1] = s.vy + s.spin * (p[0] - s.x);
}
void carried(const Side& s, const double p[2], double h, double out[2]) {
  const double turn = s.spin * h, c = std::cos(turn), sn = std::sin(turn);
  const double rx = p[0] - s.x, ry = p[1] - s.y;
  out[0] = s.x + s.vx * h + c * rx - sn * ry;
  out[1] = s.y + s.vy * h + sn * rx + c * ry;
}

// Where p will be after h, turned with the side or not.
void alongStep(const Side& s, const double p[2], const double v[2], bool turning, double h,
               double out[2]) {
  if (turning) return carried(s, p, h, out);
  out[0] = p[0] + h * v[0];
  out[1] = p[1] + h * v[1];
}

// The speed the two must part at, target as the straight view of the step
// has it, corrected for a turning body carrying its edge round rather than
// straight along: a flipper swinging through a third of a radian in a step
// would otherwise press a pixel further into the ball with every step. The
// edge's normal turns with the side it belongs to (none: two corners), and so
// does the push the solver gives along it: only the cosine of the turn of it
// opens the gap at the end of the step.
constexpr double maxTurn = 0.34;  // rad per step

double turnedTarget(const Side& s1, const Side& s2, const double p1[2], const double p2[2],
                    const double n[2], double depth, int edgeOwner, double h, double target) {
  // Turning a thousandth of a radian in a step bends nothing that matters.
  if (std::fabs(s1.spin) * h < 1e-3 && std::fabs(s2.spin) * h < 1e-3) return target;
  double e1[2], e2[2], v1[2], v2[2];
  velocityAt(s1, p1, v1);
  velocityAt(s2, p2, v2);
  // Past a third of a radian in a step (faster than any flipper swings: a
  // small ball set spinning) a side's turn is not likely to last the step,
  // and a round outline's turn moves it little: that side is taken along
  // straight, as the solver sees it.
  const bool turns1 = std::fabs(s1.spin) * h <= maxTurn, turns2 = std::fabs(s2.spin) * h <= maxTurn;
  alongStep(s1, p1, v1, turns1, h, e1);
  alongStep(s2, p2, v2, turns2, h, e2);
  const double turn = edgeOwner == 1 && turns1   ? s1.spin * h
                      : edgeOwner == 2 && turns2 ? s2.spin * h
                                                 : 0;
  const double nx = std::cos(turn) * n[0] - std::sin(turn) * n[1];
  const double ny = std::sin(turn) * n[0] + std::cos(turn) * n[1];
  const double after = (e1[0] - e2[0]) * nx + (e1[1] - e2[1]) * ny;
  const double parting = (v1[0] - v2[0]) * n[0] + (v1[1] - v2[1]) * n[1];
  // The gap the straight view leaves at the end of the step, reached at the
  // speed it asks for.
  const double wanted = -depth + h * target;
  const double turned = parting + (wanted - after) / (h * std::cos(turn));
  // Where turning opens the gap instead, the straight target is kept: it
  // errs on the side of stopping early.
  return std::fmax(target, turned);
}

// How readily the side gives way along n when pushed at p.
double giving(const Side& s, const double p[2], const double n[2]) {
  const double arm = (p[0] - s.x) * n[1] - (p[1] - s.y) * n[0];
  return s.inverseMass + arm * arm * s.inverseInertia;
}

// How far the outline of a body may have moved between two poses: the way
// its origin went, and the turn (from the two quaternions) times its reach.
double distanceMoved(const dReal* p0, const dReal* q0, const dReal* p1, const dReal* q1,
                     float reach) {
  const double dot = std::fabs(q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3]);
  const double turn = 2 * std::acos(std::fmin(1.0, dot));
  return std::hypot(p1[0] - p0[0], p1[1] - p0[1]) + turn * reach;
}

}  // namespace

void WorldSolver::collidePair(void* solver, dGeomID o1, dGeomID o2) {
  static_cast<WorldSolver*>(solver)->collide(o1, o2);
}

void WorldSolver::collide(dGeomID o1, dGeomID o2) {
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

  // Triggers count objects whose outlines cross theirs, as they always have.
  if (w1->trigger || w2->trigger) {
    if (!collideTriggers_) return;
    if (dCollide(o1, o2, 32, &contactBuffer_[0].geom, int(sizeof(dContact))) <= 0) return;
    if (w1->trigger) w1->trigger->touch(w2->sceneNumber, w2->number);
    if (w2->trigger) w2->trigger->touch(w1->sceneNumber, w1->number);
    return;
  }

  bool hard = false;
  if (!sameScene) {
    if (w1->def->immovableByOtherScenes) {
      b1 = nullptr;
      hard = true;
    }
    if (w2->def->immovableByOtherScenes) {
      b2 = nullptr;
      hard = true;
    }
  }
  if (!b1 && !b2) return;

  const float reach = polygonGeomData(o1)->sweep + polygonGeomData(o2)->sweep;
  const bool smooth = w1->def->kind == KindStatic || w2->def->kind == KindStatic;
  SolidContact found[32];
  int n = collideSolids(o1, o2, reach, smooth, found, 32);
  const double h = stepLength_;
  const Side s1 = sideOf(b1, inverseMasses(b1)), s2 = sideOf(b2, inverseMasses(b2));
  for (int i = 0; i < n; ++i) {
    const SolidContact& f = found[i];
    dContact& contact = contactBuffer_[i];
    dContactGeom& c = contact.geom;
    c = dContactGeom();
    c.pos[0] = f.position.x;
    c.pos[1] = f.position.y;
    c.normal[0] = f.normal.x;
    c.normal[1] = f.normal.y;
    c.depth = f.depth;
    c.g1 = o1;
    c.g2 = o2;
    // The two features: the first side's is along the normal from the second's.
    const double p1[2] = {c.pos[0] - c.normal[0] * c.depth * 0.5,
                          c.pos[1] - c.normal[1] * c.depth * 0.5};
    const double p2[2] = {c.pos[0] + c.normal[0] * c.depth * 0.5,
                          c.pos[1] + c.normal[1] * c.depth * 0.5};
    double v1[2], v2[2];
    velocityAt(s1, p1, v1);
    velocityAt(s2, p2, v2);
    const double approach = -((v1[0] - v2[0]) * c.normal[0] + (v1[1] - v2[1]) * c.normal[1]);
    // The speed the two must part at (negative: how fast they may still close).
    double target;
    if (c.depth < 0) {
      target = c.depth / h;  // close the gap and no more
    } else {
      double over = c.depth - slop;
      target = over > 0 ? std::fmin((hard ? hardPushOut : pushOut) * over / h, maxPushOutSpeed) : 0;
    }
    target = turnedTarget(s1, s2, p1, p2, c.normal, c.depth, f.edgeOwner, h, target);
    if (!f.guard && approach > bounceSpeed && approach * h >= -c.depth) {
      target = std::fmax(target, restitution * approach);
    }
    const double cfm = (f.guard ? guardSoftness : softness) * h *
                       (giving(s1, c.pos, c.normal) + giving(s2, c.pos, c.normal));
    // A damaged outline (a NaN point) must not hand ODE a NaN to abort on.
    if (!std::isfinite(target + cfm + c.pos[0] + c.pos[1] + c.normal[0] + c.normal[1])) continue;
    dSurfaceParameters& surface = contact.surface;
    surface = dSurfaceParameters();
    surface.mode = dContactSoftERP | dContactSoftCFM | dContactMotionN;
    surface.mu = 0;
    surface.soft_erp = 0;  // the push-out is all in motionN
    surface.soft_cfm = cfm;
    surface.motionN = target;
    pending_.push_back({b1, b2, contact});
  }
  if (n > 0) join(b1, b2, n);
}

int WorldSolver::motionIndex(dBodyID b) const {
  if (!b) return -1;
  int i = int(reinterpret_cast<intptr_t>(dBodyGetData(b))) - 1;
  // Outside a step (a test colliding a pair by hand) the index may be stale.
  return i >= 0 && i < int(motions_.size()) && motions_[i].object->body == b ? i : -1;
}

const double* WorldSolver::inverseMasses(dBodyID b) const {
  int i = motionIndex(b);
  return i >= 0 ? motions_[i].inverse : nullptr;
}

int WorldSolver::islandOf(int motion) {
  while (motions_[motion].island != motion) {
    int up = motions_[motion].island;
    motions_[motion].island = motions_[up].island;
    motion = up;
  }
  return motion;
}

// The motion index of a body is kept in its user data during the step.
void WorldSolver::join(dBodyID a, dBodyID b, int rows) {
  int ia = motionIndex(a), ib = motionIndex(b);
  if (ia < 0 && ib < 0) return;
  if (ia < 0) std::swap(ia, ib);
  int ra = islandOf(ia);
  if (ib >= 0) {
    int rb = islandOf(ib);
    if (rb != ra) {
      // The lower index stays the root: the same islands whatever the order.
      if (rb < ra) std::swap(ra, rb);
      motions_[rb].island = ra;
      motions_[ra].rows += motions_[rb].rows;
      motions_[ra].bodies += motions_[rb].bodies;
      motions_[ra].islandInScale = motions_[ra].islandInScale && motions_[rb].islandInScale;
      motions_[ra].plain = motions_[ra].plain && motions_[rb].plain;
      motions_[ra].mostGiving = std::fmax(motions_[ra].mostGiving, motions_[rb].mostGiving);
      motions_[ra].leastGiving = std::fmin(motions_[ra].leastGiving, motions_[rb].leastGiving);
    }
  }
  motions_[ra].rows += rows;
}

enum Solver { SolvedHere, SolvedExactly, SolvedIteratively };

void WorldSolver::solveIslands(float dt) {
  const SlotList<Link>& links = world_.links_;
  for (int slot = 0; slot < links.capacity(); ++slot) {
    const Link* l = links.at(slot);
    if (!l || !l->joint || !dJointIsEnabled(l->joint)) continue;
    dBodyID a = dJointGetBody(l->joint, 0), b = dJointGetBody(l->joint, 1);
    join(a, b, 0);
    int m = motionIndex(a) >= 0 ? motionIndex(a) : motionIndex(b);
    if (m >= 0) motions_[islandOf(m)].plain = false;
  }
  // Each island's bodies and contacts as lists, in the order they were found.
  const int count = int(motions_.size());
  for (int i = 0; i < count; ++i) motions_[i].first = -1;
  for (int i = count - 1; i >= 0; --i) {
    Motion& root = motions_[islandOf(i)];
    motions_[i].next = root.first;
    root.first = i;
  }
  rowFirst_.assign(count, -1);
  rowNext_.resize(pending_.size());
  for (int c = int(pending_.size()) - 1; c >= 0; --c) {
    int m = motionIndex(pending_[c].body1);
    if (m < 0) m = motionIndex(pending_[c].body2);
    rowNext_[c] = -1;
    if (m < 0) continue;  // between bodies that sit this step out
    const int root = islandOf(m);
    rowNext_[c] = rowFirst_[root];
    rowFirst_[root] = c;
  }

  bool anyIterative = false, anyExact = false;
  for (int i = 0; i < count; ++i) {
    if (islandOf(i) != i) continue;
    Motion& root = motions_[i];
    const bool impact = root.bodies > 1 && root.bodies <= impactBodies && root.islandInScale &&
                        root.mostGiving > uneven * root.leastGiving;
    if (root.rows > exactRows && !impact) {
      if (root.plain && root.bodies > 1 && root.rows <= mostRowsRelaxed) {
        solveHere(i, dt, true);
        root.solver = SolvedHere;
      } else {
        root.solver = SolvedIteratively;
        anyIterative = true;
      }
    } else if (root.plain && root.rows <= mostRowsHere && solveHere(i, dt, false)) {
      root.solver = SolvedHere;
    } else {
      root.solver = SolvedExactly;
      anyExact = true;
    }
  }
  if (!anyIterative && !anyExact) return;
  for (int c = 0; c < int(pending_.size()); ++c) {
    PendingContact& pc = pending_[c];
    int m = motionIndex(pc.body1);
    if (m < 0) m = motionIndex(pc.body2);
    if (m >= 0 && motions_[islandOf(m)].solver == SolvedHere) continue;
    dJointID joint = dJointCreateContact(odeWorld_, contactGroup_, &pc.contact);
    dJointAttach(joint, pc.body1, pc.body2);
  }
  // The iterative solver takes its contacts in an order drawn from ODE's
  // process-wide random numbers; a fixed seed keeps every step reproducible
  // whatever ran before it.
  if (anyIterative) dRandSetSeed(0);
  // Each ODE solver in turn sees only its own islands.
  for (int solver : {SolvedExactly, SolvedIteratively}) {
    if (solver == SolvedExactly ? !anyExact : !anyIterative) continue;
    for (int i = 0; i < count; ++i) {
      if (motions_[islandOf(i)].solver == solver) {
        dBodyEnable(motions_[i].object->body);
      } else {
        dBodyDisable(motions_[i].object->body);
      }
    }
    if (solver == SolvedExactly) {
      dWorldStep(odeWorld_, dt);
    } else {
      dWorldQuickStep(odeWorld_, dt);
    }
  }
  for (const Motion& m : motions_) dBodyEnable(m.object->body);
}

// The island's velocities with forces, gravity and contacts, exactly or
// relaxed, then its moves: what ODE's steppers do, for bodies in the plane
// held by contacts alone.
bool WorldSolver::solveHere(int root, float dt, bool relaxed) {
  islandBodies_.clear();
  islandRows_.clear();
  dVector3 g;
  dWorldGetGravity(odeWorld_, g);
  for (int i = motions_[root].first; i >= 0; i = motions_[i].next) {
    Motion& m = motions_[i];
    m.local = int(islandBodies_.size());
    const double falls = dBodyGetGravityMode(m.object->body) ? dt : 0;
    islandBodies_.push_back(
        {m.position[0], m.position[1], m.linear[0] + dt * m.force[0] * m.inverse[0] + falls * g[0],
         m.linear[1] + dt * m.force[1] * m.inverse[0] + falls * g[1],
         m.angular[2] + dt * m.torque[2] * m.inverse[1], m.inverse[0], m.inverse[1]});
  }
  for (int c = rowFirst_[root]; c >= 0; c = rowNext_[c]) {
    const PendingContact& pc = pending_[c];
    const int m1 = motionIndex(pc.body1), m2 = motionIndex(pc.body2);
    const dContactGeom& geom = pc.contact.geom;
    islandRows_.push_back({m1 >= 0 ? motions_[m1].local : -1, m2 >= 0 ? motions_[m2].local : -1,
                           geom.pos[0], geom.pos[1], geom.normal[0], geom.normal[1],
                           pc.contact.surface.motionN, pc.contact.surface.soft_cfm / dt});
  }
  if (relaxed) {
    relaxIsland(islandBodies_, islandRows_, relaxSweeps, islandWork_);
  } else if (!solveIsland(islandBodies_, islandRows_, islandWork_)) {
    return false;
  }
  for (int i = motions_[root].first; i >= 0; i = motions_[i].next) {
    const Motion& m = motions_[i];
    const IslandBody& s = islandBodies_[m.local];
    dBodyID b = m.object->body;
    dBodySetLinearVel(b, s.vx, s.vy, 0);
    dBodySetAngularVel(b, 0, 0, s.spin);
    dBodySetPosition(b, m.position[0] + dt * s.vx, m.position[1] + dt * s.vy, m.position[2]);
    // Turning about z: the quaternion's rate is half the spin times it.
    const dReal* q = m.quaternion;
    const double half = 0.5 * dt * s.spin;
    dQuaternion turned = {q[0] - half * q[3], q[1] - half * q[2], q[2] + half * q[1],
                          q[3] + half * q[0]};
    dBodySetQuaternion(b, turned);  // normalised there
    dBodySetForce(b, 0, 0, 0);
    dBodySetTorque(b, 0, 0, 0);
  }
  return true;
}

void WorldSolver::integrate(float dt) {
  stepLength_ = dt;
  recordMotions(dt);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    setSweeps(dt);
    collideTriggers_ = attempt == 0;  // poses are the same each time
    for (int i = 0; i < int(motions_.size()); ++i) {
      motions_[i].island = i;
      motions_[i].rows = 0;
      motions_[i].bodies = 1;
      motions_[i].islandInScale = motions_[i].inScale;
      motions_[i].mostGiving = motions_[i].leastGiving = motions_[i].inverse[0];
      motions_[i].plain = motions_[i].planar;
    }
    pending_.clear();
    dSpaceCollide(space_, this, &WorldSolver::collidePair);
    solveIslands(dt);
    dJointGroupEmpty(contactGroup_);
    if (attempt + 1 == attempts || motionsCovered()) break;
    restoreMotions(dt);
  }
  collideTriggers_ = true;
}

void WorldSolver::recordMotions(float dt) {
  motions_.clear();
  dVector3 g;
  dWorldGetGravity(odeWorld_, g);
  const SlotList<WorldObject>& objects = world_.objects_;
  for (int slot = 0; slot < objects.capacity(); ++slot) {
    WorldObject* o = objects.at(slot);
    if (!o || !o->body || !dBodyIsEnabled(o->body)) continue;
    dBodyID b = o->body;
    Motion m;
    m.object = o;
    const dReal *p = dBodyGetPosition(b), *q = dBodyGetQuaternion(b), *v = dBodyGetLinearVel(b),
                *w = dBodyGetAngularVel(b), *f = dBodyGetForce(b), *t = dBodyGetTorque(b);
    for (int i = 0; i < 3; ++i) {
      m.position[i] = p[i];
      m.linear[i] = v[i];
      m.angular[i] = w[i];
      m.force[i] = f[i];
      m.torque[i] = t[i];
    }
    for (int i = 0; i < 4; ++i) m.quaternion[i] = q[i];
    // The speed it may reach from what pushes it before any contact does.
    inverseMassOf(b, m.inverse[0], m.inverse[1]);
    dReal ahead[3], turnAhead[3];
    for (int i = 0; i < 3; ++i) {
      ahead[i] = v[i] + f[i] * m.inverse[0] * dt + g[i] * dt;
      turnAhead[i] = w[i] + t[i] * m.inverse[1] * dt;
    }
    // Solved here only while nothing tilts it out of the plane.
    m.planar = p[2] == 0 && v[2] == 0 && f[2] == 0 && w[0] == 0 && w[1] == 0 && t[0] == 0 &&
               t[1] == 0 && q[1] == 0 && q[2] == 0 && g[2] == 0;
    float reach = polygonGeomData(o->geom)->reach;
    m.inScale = reach * reach * m.inverse[1] <= outOfScale * m.inverse[0];
    m.speed = std::fmax(length(v), length(ahead)) + std::fmax(length(w), length(turnAhead)) * reach;
    dBodySetData(b, reinterpret_cast<void*>(intptr_t(motions_.size() + 1)));
    motions_.push_back(m);
  }
}

void WorldSolver::setSweeps(float dt) {
  for (const Motion& m : motions_) {
    float sweep = restReach + m.speed * dt;
    polygonGeomData(m.object->geom)->sweep = sweep <= maxSweep ? sweep : maxSweep;
  }
}

bool WorldSolver::motionsCovered() const {
  bool covered = true;
  for (const Motion& m : motions_) {
    dBodyID b = m.object->body;
    const PolygonGeomData* g = polygonGeomData(m.object->geom);
    double moved = distanceMoved(m.position, m.quaternion, dBodyGetPosition(b),
                                 dBodyGetQuaternion(b), g->reach);
    if (moved > g->sweep) covered = false;
  }
  return covered;
}

void WorldSolver::restoreMotions(float dt) {
  for (Motion& m : motions_) {
    dBodyID b = m.object->body;
    // Wherever the first run sent it, its contacts should reach that far.
    double moved = distanceMoved(m.position, m.quaternion, dBodyGetPosition(b),
                                 dBodyGetQuaternion(b), polygonGeomData(m.object->geom)->reach);
    float speed = float(moved / dt) * 1.25f;
    if (speed > m.speed) m.speed = speed;
    dBodySetPosition(b, m.position[0], m.position[1], m.position[2]);
    dBodySetQuaternion(b, m.quaternion);
    dBodySetLinearVel(b, m.linear[0], m.linear[1], m.linear[2]);
    dBodySetAngularVel(b, m.angular[0], m.angular[1], m.angular[2]);
    dBodySetForce(b, m.force[0], m.force[1], m.force[2]);
    dBodySetTorque(b, m.torque[0], m.torque[1], m.torque[2]);
  }
}
