// Contacts and integration within one step. Solid pairs get contacts from
// their closest features, including features not touching yet but within
// the distance the two bodies can cover in the step; each contact lets the
// gap close and no more, so that nothing passes through anything however
// fast it moves. Should the solver send a body farther than its contacts
// reached (a ball struck by a flipper flies into a wall it had no contact
// with), the step is run again from its start with the longer reach.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "world/contact_material.h"
#include "world/island_solver.h"
#include "world/polygon_geom.h"
#include "world/solid_contacts.h"
#include "world/trigger_record.h"
#include "world/world_solver.h"

namespace {

const ContactTuning& tuning = contactTuning;

// std::fmax of two lengths to the bit, a NaN giving way to the other,
// without the call: neither is ever -0.
inline float longer(float a, float b) {
  return b > a || a != a ? b : a;
}

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

// A side from its position, linear and angular velocity and inverse mass and
// inertia.
Side sideAt(const dReal* p, const dReal* v, const dReal* w, const double* inverse) {
  Side s;
  s.x = p[0], s.y = p[1], s.vx = v[0], s.vy = v[1], s.spin = w[2];
  s.inverseMass = inverse[0];
  s.inverseInertia = inverse[1];
  return s;
}

// A body the step keeps no motion of, as it is now.
Side sideOf(dBodyID b) {
  if (!b) return Side();
  double inverse[2];
  inverseMassOf(b, inverse[0], inverse[1]);
  return sideAt(dBodyGetPosition(b), dBodyGetLinearVel(b), dBodyGetAngularVel(b), inverse);
}

// Velocity of the side's point p, and where p will be after h at that pace
// (turned with the body, not carried along a straight line).
void velocityAt(const Side& s, const double p[2], double v[2]) {
  v[0] = s.vx - s.spin * (p[1] - s.y);
  v[1] = s.vy + s.spin * (p[0] - s.x);
}
// The cosine and sine of how far a side turns in h.
struct Turning {
  double c, s;
};
Turning turningOf(const Side& s, double h) {
  const double turn = s.spin * h;
  return {std::cos(turn), std::sin(turn)};
}
void carriedBy(const Side& s, const Turning& turning, const double p[2], double h, double out[2]) {
  const double c = turning.c, sn = turning.s;
  const double rx = p[0] - s.x, ry = p[1] - s.y;
  out[0] = s.x + s.vx * h + c * rx - sn * ry;
  out[1] = s.y + s.vy * h + sn * rx + c * ry;
}
void carried(const Side& s, const double p[2], double h, double out[2]) {
  carriedBy(s, turningOf(s, h), p, h, out);
}

// Whether either side turns enough in h to bend a contact's target.
bool bendsTargets(const Side& s1, const Side& s2, double h) {
  return !(std::fabs(s1.spin) * h < tuning.leastTurn && std::fabs(s2.spin) * h < tuning.leastTurn);
}

// Where p will be after h, turned with the side (by turning) or not.
void alongStep(const Side& s, const Turning& turning, const double p[2], const double v[2],
               bool turns, double h, double out[2]) {
  if (turns) return carriedBy(s, turning, p, h, out);
  out[0] = p[0] + h * v[0];
  out[1] = p[1] + h * v[1];
}

// The speed the two must part at, target as the straight view of the step
// has it, corrected for a turning body carrying its edge round rather than
// straight along: a flipper swinging through a third of a radian in a step
// would otherwise press a pixel further into the ball with every step. The
// edge's normal turns with the side it belongs to (none: two corners), and so
// does the push the solver gives along it: only the cosine of the turn of it
// opens the gap at the end of the step. t1 and t2 are the two sides' turns in
// h, the same for every contact of the pair and so found once for it; the
// caller asks only for a pair that turns enough to bend its targets.
double turnedTarget(const Side& s1, const Side& s2, const Turning& t1, const Turning& t2,
                    const double p1[2], const double p2[2], const double n[2], double depth,
                    int edgeOwner, double h, double target) {
  double e1[2], e2[2], v1[2], v2[2];
  velocityAt(s1, p1, v1);
  velocityAt(s2, p2, v2);
  // Past a third of a radian in a step (faster than any flipper swings: a
  // small ball set spinning) a side's turn is not likely to last the step,
  // and a round outline's turn moves it little: that side is taken along
  // straight, as the solver sees it.
  const bool turns1 = std::fabs(s1.spin) * h <= tuning.maxTurn,
             turns2 = std::fabs(s2.spin) * h <= tuning.maxTurn;
  alongStep(s1, t1, p1, v1, turns1, h, e1);
  alongStep(s2, t2, p2, v2, turns2, h, e2);
  // The edge's turn: its owner's, or none (cos 0 = 1 and sin 0 = 0 exactly).
  const Turning none{1, 0};
  const Turning& turn = edgeOwner == 1 && turns1 ? t1 : edgeOwner == 2 && turns2 ? t2 : none;
  const double nx = turn.c * n[0] - turn.s * n[1];
  const double ny = turn.s * n[0] + turn.c * n[1];
  const double after = (e1[0] - e2[0]) * nx + (e1[1] - e2[1]) * ny;
  const double parting = (v1[0] - v2[0]) * n[0] + (v1[1] - v2[1]) * n[1];
  // The gap the straight view leaves at the end of the step, reached at the
  // speed it asks for.
  const double wanted = -depth + h * target;
  const double turned = parting + (wanted - after) / (h * turn.c);
  // Where turning opens the gap instead, the straight target is kept: it
  // errs on the side of stopping early.
  return std::fmax(target, turned);
}

// Whether a body's outline stands for a circle about its centre. Its
// corners are then drawing, not shape: a ball struck on a corner half a face
// off its centre would be set spinning, and friction would turn the spin
// into a shot some degrees off, by which corner happened to be down.
bool isRound(const WorldObject& o, dBodyID body) {
  return body && o.outline->round;
}

// The contact moved along its face to the line through the round side's
// centre along the normal: where a circle would touch the face.
void underCentre(const Side& round, SolidContact& f) {
  const double along =
      (f.position.x - round.x) * f.normal.x + (f.position.y - round.y) * f.normal.y;
  f.position.x = float(round.x + f.normal.x * along);
  f.position.y = float(round.y + f.normal.y * along);
}

// A contact's two features: the first side's lies along the normal from
// the second's, the contact's point halfway.
void featuresOf(const SolidContact& f, double p1[2], double p2[2]) {
  const double half = f.depth * 0.5;
  p1[0] = f.position.x - f.normal.x * half, p1[1] = f.position.y - f.normal.y * half;
  p2[0] = f.position.x + f.normal.x * half, p2[1] = f.position.y + f.normal.y * half;
}

// How fast a contact's gap closes, from the two sides' motions at its two
// features.
double approachAt(const Side& s1, const Side& s2, const SolidContact& f) {
  double p1[2], p2[2];
  featuresOf(f, p1, p2);
  double v1[2], v2[2];
  velocityAt(s1, p1, v1);
  velocityAt(s2, p2, v2);
  return -((v1[0] - v2[0]) * f.normal.x + (v1[1] - v2[1]) * f.normal.y);
}

// Whether a contact lies on a face of the owner's.
bool onFaceOf(const SolidContact& f, int owner) {
  return !f.guard && f.edgeOwner == owner;
}

// The contact's normal and point as they will be after the owner of its
// face has turned for t.
void turnedFor(const Side& owner, double t, SolidContact& f) {
  const double turn = owner.spin * t, c = std::cos(turn), sn = std::sin(turn);
  const double nx = c * f.normal.x - sn * f.normal.y, ny = sn * f.normal.x + c * f.normal.y;
  const double p[2] = {f.position.x, f.position.y};
  double at[2];
  carried(owner, p, t, at);
  f.normal = {float(nx), float(ny)};
  f.position = {float(at[0]), float(at[1])};
}

// When f's gap closes within the step, at its approach: from 0 (touching
// already) to h, or -1 where it does not close or no bounce would be given.
double meetingTime(const Side& s1, const Side& s2, double h, const SolidContact& f) {
  const double approach = approachAt(s1, s2, f);
  if (!(approach > tuning.bounceSpeed) || approach * h < -f.depth) return -1;
  return f.depth < 0 ? -f.depth / approach : 0;
}

// A bounce is given in the step its gap closes in, before the two touch;
// a swinging flipper meanwhile turns its face, by a tenth of a radian in a
// step at full swing. The face's normal and point are taken as they will be
// when the gap closes, so that the ball leaves along the face that strikes
// it, whichever step that falls in. A face turns as a whole: the contacts
// along the normal of the one that touches first and closing within the
// step too turn by as much as that one. Those along it that do not close
// keep their pose and only guard the face as it is (guardOnly: no bounce of
// their own), else a ball's corners farther from the face would bounce it
// off the face unturned, and the shot would swing by whichever corners
// still close within the step. A contact along another normal turns by its
// own meeting time. Faces turning slower than the corrected targets bother
// with keep their pose, and so do a round side's, which stand for a circle.
// roundSide: which side is round (0: neither).
void whereTheyMeet(const Side& s1, const Side& s2, int roundSide, double h, SolidContact* found,
                   int n, bool* guardOnly) {
  for (int owner = 1; owner <= 2; ++owner) {
    const Side& s = owner == 1 ? s1 : s2;
    if (owner == roundSide) continue;
    if (std::fabs(s.spin) * h < tuning.leastTurn || std::fabs(s.spin) * h > tuning.maxTurn)
      continue;
    int first = -1;
    for (int i = 0; i < n; ++i)
      if (onFaceOf(found[i], owner) && (first < 0 || found[i].depth > found[first].depth))
        first = i;
    if (first < 0) continue;
    const Float2 face = found[first].normal;
    const double shared = meetingTime(s1, s2, h, found[first]);
    for (int i = 0; i < n; ++i) {
      SolidContact& f = found[i];
      if (!onFaceOf(f, owner)) continue;
      const bool alongFace = f.normal.x * face.x + f.normal.y * face.y >= tuning.sameNormal;
      const double own = meetingTime(s1, s2, h, f);
      if (alongFace && shared > 0 && own < 0) guardOnly[i] = true;
      const double t = alongFace && shared >= 0 ? shared : own;
      if (own >= 0 && t > 0) turnedFor(s, t, f);
    }
  }
}

// The speed contact i must part at to bounce (-infinity: none). A pair with
// a material bounces as one body off another: one change of speed, (1 + e)
// times the approach where they touch first, along that contact's normal.
// The contacts along about the same normal take up what that change gives
// along their own, not all of it: a ball meeting a post at corners a few
// degrees apart would otherwise leave faster than it came. Bouncing each
// contact by its own approach would demand of a ball on a swinging flipper a
// faster rebound at the corners nearer the tip, and the solver would spin
// the ball to give it. Plain contacts keep the bounce they always had, each
// by its own approach.
double bounceTarget(const PairMaterial& material, const SolidContact* found,
                    const double* approaches, int first, int i) {
  const double approach = approaches[i];
  if (material.sides == 0 || first < 0 || first == i || approaches[first] <= tuning.bounceSpeed)
    return material.restitution(approach) * approach;
  const SolidContact &f = found[i], &touch = found[first];
  const double a = approaches[first];
  const double along = f.normal.x * touch.normal.x + f.normal.y * touch.normal.y;
  if (along >= tuning.sameNormal) return (1 + material.restitution(a)) * a * along - approach;
  // Another feature, farther than the first: it is met after the first has
  // bounced the pair apart, if ever, and bouncing it now would kick the
  // pair sideways.
  if (f.depth < touch.depth - tuning.bounceBand) return -INFINITY;
  return material.restitution(approach) * approach;
}

// How readily the side gives way along n when pushed at p.
double giving(const Side& s, const double p[2], const double n[2]) {
  const double arm = (p[0] - s.x) * n[1] - (p[1] - s.y) * n[0];
  return s.inverseMass + arm * arm * s.inverseInertia;
}

// The cosine of half the turn between two orientations, as quaternions.
double halfTurnCosine(const dReal* q0, const dReal* q1) {
  return std::fabs(q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3]);
}

// The turn between two orientations (rad).
double turnBetween(const dReal* q0, const dReal* q1) {
  return 2 * std::acos(lesser(halfTurnCosine(q0, q1), 1.0));
}

// How far the outline of a body may have moved between two poses: the way
// its origin went, and the turn times its reach.
double distanceMoved(const dReal* p0, const dReal* q0, const dReal* p1, const dReal* q1,
                     float reach) {
  return std::hypot(p1[0] - p0[0], p1[1] - p0[1]) + turnBetween(q0, q1) * reach;
}

// Whether distanceMoved is within limit. Most bodies clear it by far, so the
// turn is first bounded without acos: acos x <= pi sqrt((1 - x) / 2) on
// [0, 1], so the turn, twice that, stays under 4.45 sqrt(1 - x); 4.5 leaves
// more room than rounding can take up. Only a body the bound does not clear
// is measured exactly. The way the origin went is bounded first without
// hypot, by a root of the sum of squares grown past any rounding of either
// (a few units in the last place, and what the squares lose below the
// smallest normal number): what clears the limit with that clears it with
// hypot, so the answer is the same, only sooner.
bool movedWithin(const dReal* p0, const dReal* q0, const dReal* p1, const dReal* q1, float reach,
                 double limit) {
  const double most = 4.5 * std::sqrt(1 - lesser(halfTurnCosine(q0, q1), 1.0));
  const double dx = p1[0] - p0[0], dy = p1[1] - p0[1];
  constexpr double grown = 1 + 0x1p-40, floor = 0x1p-500;
  const double atMost = std::sqrt(dx * dx + dy * dy) * grown + floor;
  if (reach >= 0 && (atMost + most * reach <= limit || std::hypot(dx, dy) + most * reach <= limit))
    return true;
  return !(distanceMoved(p0, q0, p1, q1, reach) > limit);
}

}  // namespace

void WorldSolver::collidePair(void* solver, dGeomID o1, dGeomID o2) {
  static_cast<WorldSolver*>(solver)->collide(o1, o2);
}

int WorldSolver::motionOf(dBodyID b) const {
  if (!b) return -1;
  const WorldObject* o = static_cast<const WorldObject*>(dBodyGetData(b));
  return o ? o->motion : -1;
}

float WorldSolver::sweepOf(const WorldObject& o) const {
  return o.motion >= 0 ? motions_[o.motion].sweep : 0;
}

void WorldSolver::collide(dGeomID o1, dGeomID o2) {
  WorldObject* w1 = static_cast<WorldObject*>(dGeomGetData(o1));
  WorldObject* w2 = static_cast<WorldObject*>(dGeomGetData(o2));
  if (!w1 || !w2) return;
  // An object's geom moves with its body, if it has one, from the start.
  dBodyID b1 = w1->body, b2 = w2->body;
  if (!b1 && !b2) return;  // static shapes and triggers never meet

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
    if (!outlinesCross(o1, o2)) return;
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

  const float reach = sweepOf(*w1) + sweepOf(*w2);
  const bool smooth = w1->def->kind == KindStatic || w2->def->kind == KindStatic;
  // Left unset: the collider writes every contact it counts, and setting
  // all 32 first cost more than colliding a resting pair.
  union Found {
    Found() {}
    SolidContact at[32];
  } buffer;
  SolidContact* found = buffer.at;
  int n = collideSolids(o1, w1->outline, o2, w2->outline, reach, smooth, found, 32);
  const double h = stepLength_;
  const int m1 = b1 ? w1->motion : -1, m2 = b2 ? w2->motion : -1;
  // A body with a motion stands where the motion has it: every run of the
  // step starts it there.
  auto side = [&](dBodyID b, int m) {
    if (m < 0) return sideOf(b);
    const Motion& at = motions_[m];
    return sideAt(at.position, at.linear, at.angular, at.inverse);
  };
  const Side s1 = side(b1, m1), s2 = side(b2, m2);
  const PairMaterial material =
      pairMaterial(w1->hasMaterial, w1->material, w2->hasMaterial, w2->material);
  const double friction = material.friction();
  // A round side is pushed through its centre, as the circle it stands for.
  // Plain contacts keep the corners they always had.
  bool guardOnly[32] = {};
  if (material.sides > 0) {
    const bool round1 = isRound(*w1, b1), round2 = !round1 && isRound(*w2, b2);
    // Swinging faces as they will be when the gap closes; a round side is
    // then pushed through its centre along them.
    whereTheyMeet(s1, s2, round1 ? 1 : round2 ? 2 : 0, h, found, n, guardOnly);
    if (round1 || round2)
      for (int i = 0; i < n; ++i) underCentre(round1 ? s1 : s2, found[i]);
  }
  // How fast each contact's gap closes, and the contact that touches first:
  // the one the pair's bounce is measured at.
  double approaches[32];
  int first = -1;
  bool bounced = false;  // a row of a pair with a material bounces
  for (int i = 0; i < n; ++i) {
    const SolidContact& f = found[i];
    approaches[i] = approachAt(s1, s2, f);
    if (!f.guard && (first < 0 || f.depth > found[first].depth)) first = i;
  }
  // A pair that bounced in the last few steps parts at least that fast yet.
  const HeldBounce* held = material.sides > 0 && first >= 0 ? heldBounce(*w1, *w2) : nullptr;
  // How close the hold reaches, and the speed the first contact bounces at
  // in this step (-1: none).
  const double holdBand = held ? tuning.holdReach + held->speed * tuning.holdSpread : 0;
  double bouncedAt = -1;
  // The sides' turns, for the targets of a pair that turns enough to bend them.
  Turning t1{1, 0}, t2{1, 0};
  const bool bends = n > 0 && bendsTargets(s1, s2, h);
  if (bends) {
    t1 = turningOf(s1, h);
    t2 = turningOf(s2, h);
  }
  for (int i = 0; i < n; ++i) {
    const SolidContact& f = found[i];
    // Written in place, as the island solve's bodies and rows are: a row
    // built aside and copied in is read back in wider pieces than it was
    // written in, which waits on every store.
    ContactRow& c = rows_.emplace_back();
    c.body1 = b1;
    c.body2 = b2;
    c.motion1 = m1;
    c.motion2 = m2;
    c.px = f.position.x;
    c.py = f.position.y;
    c.nx = f.normal.x;
    c.ny = f.normal.y;
    c.depth = f.depth;
    const double pos[2] = {c.px, c.py}, normal[2] = {c.nx, c.ny};
    const double approach = approaches[i];
    // The speed the two must part at (negative: how fast they may still close).
    double target;
    if (c.depth < 0) {
      target = c.depth / h;  // close the gap and no more
    } else {
      double over = c.depth - tuning.slop;
      // As std::fmin to the bit for this limit, a number other than zero.
      target = over > 0 ? lesser((hard ? tuning.hardPushOut : tuning.pushOut) * over / h,
                                 double(tuning.maxPushOutSpeed))
                        : 0;
    }
    if (bends) {
      double p1[2], p2[2];
      featuresOf(f, p1, p2);
      target = turnedTarget(s1, s2, t1, t2, p1, p2, normal, c.depth, f.edgeOwner, h, target);
    }
    // A bounce only where the gap closes within the step.
    if (!f.guard && !guardOnly[i] && approach > tuning.bounceSpeed && approach * h >= -c.depth) {
      const double bounce = bounceTarget(material, found, approaches, first, i);
      target = std::fmax(target, bounce);
      bounced = bounced || material.sides > 0;
      if (i == first && material.sides > 0) bouncedAt = bounce;
    }
    // Held, a contact along the first's parts as fast as the bounce did,
    // less the wider its gap, to nothing at the edge of the hold's reach.
    if (held && !f.guard) {
      const SolidContact& touch = found[first];
      const double along = f.normal.x * touch.normal.x + f.normal.y * touch.normal.y;
      const double gap = -c.depth;
      if (along >= tuning.sameNormal && gap < holdBand)
        target = std::fmax(target, held->speed * along * (gap > 0 ? 1 - gap / holdBand : 1));
    }
    c.target = target;
    // A side without a body gives +0 (it stands at the origin, its point
    // finite or the row dropped below), which adds nothing to the other's.
    const double given1 = b1 ? giving(s1, pos, normal) : 0.0;
    const double given2 = b2 ? giving(s2, pos, normal) : 0.0;
    c.cfm = (f.guard ? tuning.guardSoftness : tuning.softness) * h * (given1 + given2);
    // A guard only stops; sliding is the blended contact's to resist.
    c.friction = f.guard ? 0 : friction;
    // A damaged outline (a NaN point) must not hand a solver a NaN.
    if (!std::isfinite(c.target + c.cfm + c.px + c.py + c.nx + c.ny)) rows_.pop_back();
  }
  if (n > 0) islands_.join(m1, m2, n);
  if (bounced && (m1 >= 0 || m2 >= 0)) islands_.markBouncing(m1 >= 0 ? m1 : m2);
  // Kept while more than this step is left of it, by half a step's margin.
  if (bouncedAt > 0 || (held && held->left > 1.5 * h)) {
    HeldBounce& next = heldNext_.emplace_back(HeldBounce::of(*w1, *w2));
    next.speed = bouncedAt > 0 ? bouncedAt : held->speed;
    next.left =
        bouncedAt > 0 ? std::max(1l, std::lround(tuning.bounceHold / h)) * h : held->left - h;
  }
}

const WorldSolver::HeldBounce* WorldSolver::heldBounce(const WorldObject& o1,
                                                       const WorldObject& o2) const {
  if (held_.empty()) return nullptr;
  const HeldBounce key = HeldBounce::of(o1, o2);
  auto it = std::lower_bound(held_.begin(), held_.end(), key, HeldBounce::before);
  return it != held_.end() && it->a == key.a && it->b == key.b ? &*it : nullptr;
}

void WorldSolver::solveIslands(float dt) {
  const SlotList<Link>& links = world_.links_;
  for (int slot = 0; slot < links.capacity(); ++slot) {
    const Link* l = links.at(slot);
    if (!l || !l->joint || !dJointIsEnabled(l->joint)) continue;
    const int a = motionOf(dJointGetBody(l->joint, 0)), b = motionOf(dJointGetBody(l->joint, 1));
    islands_.join(a, b, 0);
    if (a >= 0 || b >= 0) islands_.markLinked(a >= 0 ? a : b);
  }
  islands_.gather(int(rows_.size()), [&](int row) { return rows_[row].motion(); });

  const int count = int(motions_.size());
  solvers_.resize(count);
  bool any[4] = {};
  for (int i = 0; i < count; ++i) {
    if (!islands_.isRoot(i)) continue;
    IslandSolver solver = chooseSolver(islands_.summary(i), tuning);
    if (solver == IslandSolver::Relaxed) {
      solveHere(i, dt, true);
    } else if (solver == IslandSolver::Exact && !solveHere(i, dt, false)) {
      solver = IslandSolver::OdeExact;
    }
    solvers_[i] = solver;
    any[int(solver)] = true;
  }
  const bool odeExact = any[int(IslandSolver::OdeExact)];
  const bool odeIterative = any[int(IslandSolver::OdeIterative)];
  if (!odeExact && !odeIterative) return;
  for (const ContactRow& c : rows_) {
    if (c.motion() >= 0) {
      const IslandSolver solver = solvers_[islands_.rootOf(c.motion())];
      if (solver == IslandSolver::Exact || solver == IslandSolver::Relaxed) continue;
    }
    dContact contact{};
    dContactGeom& g = contact.geom;
    g.pos[0] = c.px;
    g.pos[1] = c.py;
    g.normal[0] = c.nx;
    g.normal[1] = c.ny;
    g.depth = c.depth;
    dSurfaceParameters& surface = contact.surface;
    surface.mode = dContactSoftERP | dContactSoftCFM | dContactMotionN;
    // Friction bounded by the contact's own push, as the rows solved here.
    if (c.friction > 0) surface.mode |= dContactApprox1;
    surface.mu = c.friction;
    surface.soft_erp = 0;  // the push-out is all in the target speed
    surface.soft_cfm = c.cfm;
    surface.motionN = c.target;
    dJointAttach(dJointCreateContact(odeWorld_, contactGroup_, &contact), c.body1, c.body2);
  }
  // The iterative solver takes its contacts in an order drawn from ODE's
  // process-wide random numbers; a fixed seed keeps every step reproducible
  // whatever ran before it.
  if (odeIterative) dRandSetSeed(0);
  if (odeExact) stepWithOde(IslandSolver::OdeExact, dt);
  if (odeIterative) stepWithOde(IslandSolver::OdeIterative, dt);
  for (const Motion& m : motions_) dBodyEnable(m.object->body);
}

// ODE steps every enabled body: only the islands of the one solver are.
void WorldSolver::stepWithOde(IslandSolver solver, float dt) {
  for (int i = 0; i < int(motions_.size()); ++i) {
    if (solvers_[islands_.rootOf(i)] == solver) {
      dBodyEnable(motions_[i].object->body);
    } else {
      dBodyDisable(motions_[i].object->body);
    }
  }
  if (solver == IslandSolver::OdeExact) {
    dWorldStep(odeWorld_, dt);
  } else {
    dWorldQuickStep(odeWorld_, dt);
  }
}

// The island's velocities with forces, gravity and contacts, exactly or
// relaxed, then its moves: what ODE's steppers do, for bodies in the plane
// held by contacts alone.
bool WorldSolver::solveHere(int root, float dt, bool relaxed) {
  islandBodies_.clear();
  islandRows_.clear();
  dVector3 g;
  dWorldGetGravity(odeWorld_, g);
  for (int i = islands_.firstBody(root); i >= 0; i = islands_.nextBody(i)) {
    Motion& m = motions_[i];
    m.local = int(islandBodies_.size());
    const double falls = dBodyGetGravityMode(m.object->body) ? dt : 0;
    // Written in place: a body built aside and copied in is read back in
    // wider pieces than it was written in, which waits on every store.
    IslandBody& s = islandBodies_.emplace_back();
    s.x = m.position[0];
    s.y = m.position[1];
    s.vx = m.linear[0] + dt * m.force[0] * m.inverse[0] + falls * g[0];
    s.vy = m.linear[1] + dt * m.force[1] * m.inverse[0] + falls * g[1];
    s.spin = m.angular[2] + dt * m.torque[2] * m.inverse[1];
    s.inverseMass = m.inverse[0];
    s.inverseInertia = m.inverse[1];
  }
  bool sliding = false;
  for (int r = islands_.firstRow(root); r >= 0; r = islands_.nextRow(r)) {
    const ContactRow& c = rows_[r];
    // The motions the pair was found with: its bodies' own.
    const int m1 = c.motion1, m2 = c.motion2;
    IslandRow& row = islandRows_.emplace_back();
    row.body1 = m1 >= 0 ? motions_[m1].local : -1;
    row.body2 = m2 >= 0 ? motions_[m2].local : -1;
    row.px = c.px;
    row.py = c.py;
    row.nx = c.nx;
    row.ny = c.ny;
    row.target = c.target;
    row.softness = c.cfm / dt;
    row.friction = c.friction;
    sliding = sliding || c.friction > 0;
  }
  if (relaxed) {
    relaxIsland(islandBodies_, islandRows_, tuning.relaxSweeps, islandWork_);
  } else if (!solveIsland(islandBodies_, islandRows_, islandWork_)) {
    return false;
  }
  if (sliding) {
    // Friction within what each contact pushes, then the contacts again, so
    // that nothing friction did leaves a gap closing faster than allowed.
    resistSliding(islandBodies_, islandRows_, tuning.frictionSweeps, islandWork_);
    if (relaxed) {
      relaxIsland(islandBodies_, islandRows_, tuning.relaxSweeps, islandWork_);
    } else if (!solveIsland(islandBodies_, islandRows_, islandWork_)) {
      return false;
    }
  }
  for (int i = islands_.firstBody(root); i >= 0; i = islands_.nextBody(i)) {
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
  run(dt, true);
  if (tuning.mostHalvings > 0 && turnedTooFar()) runInHalves(dt, tuning.mostHalvings);
  for (const Motion& m : motions_) m.object->motion = -1;
}

// A body struck into a fast turn sweeps its outline round an arc, which the
// step's contacts take as the straight line of its motion at the start of
// the step: a flipper hammered round by a heavy ball runs its far end into a
// ball it had a gap to. The step is run again from its start in halves,
// each finding its contacts afresh; a half that turns too far is halved
// again. Forces act in each half as they would have in the whole step; the
// triggers keep what the first run counted at the step's start.
__attribute__((cold, noinline)) void WorldSolver::runInHalves(float dt, int halvings) {
  const std::vector<Motion> start = motions_;
  for (const Motion& m : start) putBack(m);
  // The run left the holds it found in heldNext_.
  held_.swap(heldNext_);
  for (int half = 0; half < 2; ++half) {
    if (half > 0)
      for (const Motion& m : start) putBackPushes(m);
    run(dt / 2, false);
    if (halvings > 1 && turnedTooFar()) runInHalves(dt / 2, halvings - 1);
  }
}

// Whether a body of an island that bounced off a material turned farther in
// the run than its contacts can follow. Round outlines turn in place.
bool WorldSolver::turnedTooFar() {
  if (!islands_.anyBouncing()) return false;
  for (int i = 0; i < int(motions_.size()); ++i) {
    const Motion& m = motions_[i];
    if (m.object->outline->round || !islands_.summary(islands_.rootOf(i)).bouncing) continue;
    if (turnBetween(m.quaternion, dBodyGetQuaternion(m.object->body)) > tuning.halvingTurn)
      return true;
  }
  return false;
}

void WorldSolver::run(float dt, bool countTriggers) {
  stepLength_ = dt;
  recordMotions(dt);
  for (int attempt = 0; attempt < tuning.attempts; ++attempt) {
    setSweeps(dt);
    collideTriggers_ = countTriggers && attempt == 0;  // poses are the same each time
    islands_.reset(int(motions_.size()));
    for (int i = 0; i < int(motions_.size()); ++i) {
      const Motion& m = motions_[i];
      islands_.setBody(i, m.inverse[0], m.inScale, m.planar);
    }
    rows_.clear();
    heldNext_.clear();
    openOutlinePass();
    dSpaceCollide(space_, this, &WorldSolver::collidePair);
    closeOutlinePass();
    solveIslands(dt);
    dJointGroupEmpty(contactGroup_);
    if (attempt + 1 == tuning.attempts || motionsCovered()) break;
    restoreMotions(dt);
  }
  collideTriggers_ = true;
  // The last run's holds are the step's, in order for the next step's search.
  held_.swap(heldNext_);
  std::sort(held_.begin(), held_.end(), HeldBounce::before);
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
    o->motion = int(motions_.size());
    // Written in place, for the same reason as the contact rows.
    Motion& m = motions_.emplace_back();
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
    float reach = o->outline->reach;
    m.inScale = reach * reach * m.inverse[1] <= tuning.outOfScale * m.inverse[0];
    m.speed = longer(length(v), length(ahead)) + longer(length(w), length(turnAhead)) * reach;
    m.sweep = 0;
    m.local = -1;
  }
}

// The broad phase pairs a body's box grown by its sweep, so that it meets
// what it may reach within the step.
void WorldSolver::setSweeps(float dt) {
  for (Motion& m : motions_) {
    const float sweep = tuning.restReach + m.speed * dt;
    m.sweep = sweep <= tuning.maxSweep ? sweep : tuning.maxSweep;
    m.object->outline->sweep = m.sweep;
  }
}

bool WorldSolver::motionsCovered() const {
  for (const Motion& m : motions_) {
    dBodyID b = m.object->body;
    if (!movedWithin(m.position, m.quaternion, dBodyGetPosition(b), dBodyGetQuaternion(b),
                     m.object->outline->reach, m.sweep))
      return false;
  }
  return true;
}

void WorldSolver::restoreMotions(float dt) {
  for (Motion& m : motions_) {
    dBodyID b = m.object->body;
    // Wherever the first run sent it, its contacts should reach that far.
    double moved = distanceMoved(m.position, m.quaternion, dBodyGetPosition(b),
                                 dBodyGetQuaternion(b), m.object->outline->reach);
    float speed = float(moved / dt) * 1.25f;
    if (speed > m.speed) m.speed = speed;
    putBack(m);
  }
}

void WorldSolver::putBack(const Motion& m) {
  dBodyID b = m.object->body;
  dBodySetPosition(b, m.position[0], m.position[1], m.position[2]);
  dBodySetQuaternion(b, m.quaternion);
  dBodySetLinearVel(b, m.linear[0], m.linear[1], m.linear[2]);
  dBodySetAngularVel(b, m.angular[0], m.angular[1], m.angular[2]);
  putBackPushes(m);
}

void WorldSolver::putBackPushes(const Motion& m) {
  dBodySetForce(m.object->body, m.force[0], m.force[1], m.force[2]);
  dBodySetTorque(m.object->body, m.torque[0], m.torque[1], m.torque[2]);
}
