// Every number the contact model runs on, with its unit and the reason for
// it. docs/physics.md tells the model these belong to.
#pragma once

struct ContactTuning {
  // Contacts are found this far apart even at rest, px: a resting body keeps
  // its contacts from step to step instead of losing and finding them.
  float restReach = 0.5f;
  // Below this approach speed (px/s) nothing bounces: a body coming to rest
  // on a lively surface settles instead of trembling.
  float bounceSpeed = 50;
  // Contacts of a pair whose normals agree this closely (the cosine of the
  // angle between them) bounce together, as one flat face meeting another.
  double sameNormal = 0.99;
  // Of a pair with a material, a contact along another normal bounces only
  // where its gap is within this of the first contact's (px): farther, the
  // first bounce parts the pair before it closes.
  double bounceBand = 1;
  // A pair with a material that bounces goes on parting at least as fast as
  // it bounced for this long (s): a rubber stays on what it strikes for a
  // few milliseconds, so a ball met by a flipper still gathering speed is
  // carried along by it instead of bounced ahead to be struck again, which
  // turned a shot by tens of degrees between neighbouring spots on the blade.
  double bounceHold = 0.02;
  // The hold reaches across a gap this wide (px), wider by how far the pair
  // parts at its bounce speed in holdSpread (s), as a ball carried off
  // parts a little in each step. Across the reach it weakens to nothing, so
  // that a shot changes smoothly with the gap it is carried across.
  double holdReach = 3.5;
  double holdSpread = 0.005;
  // An outline of this many corners or more, each edge within this share of
  // a regular polygon's distance from the centre and the middle within this
  // share of the reach from it, stands for a circle.
  int roundCorners = 8;
  double roundness = 0.01;
  // Overlap left alone (px), so that resting contacts do not chatter.
  float slop = 0.1f;
  // Share of the overlap beyond the slop removed per step; harder against
  // objects that other scenes cannot move, which nothing may sink into.
  float pushOut = 0.2f, hardPushOut = 0.95f;
  // The push-out never parts a pair faster than this, px/s: a body found
  // deep inside another is eased out, not fired out.
  float maxPushOutSpeed = 600;
  // Constraint softness per unit of the contact's own mass (s), so that a
  // heavy ball sinks no deeper than a light one; a guard gives more, as it
  // only stops.
  double softness = 1e-3;
  double guardSoftness = 1e-2;
  // Runs of the step at most: the first and two with a longer reach, for a
  // body the solver sent farther than its contacts reached.
  int attempts = 3;
  // A side turning less than this in a step (rad) bends no contact's target
  // or face that matters: it is taken as not turning.
  double leastTurn = 1e-3;
  // A side turning more than this in a step (rad) is taken along straight:
  // faster than any flipper swings, and not likely to last the step.
  double maxTurn = 0.34;
  // A step in which a body of a bouncing island turns farther than this
  // (rad) is run again in halves, each half so again, mostHalvings times at
  // most.
  double halvingTurn = 0.25;
  int mostHalvings = 3;
  // The reach of a body's contacts is capped here (px): beyond, it is a
  // runaway speed, and the broad phase's box stays sane.
  float maxSweep = 10000;
  // Which solver an island gets; see chooseSolver.
  int exactRows = 24;        // contacts; beyond, exact solving costs with their cube
  int impactBodies = 3;      // bodies of an impact that stays exact
  double uneven = 10;        // mass ratio that makes an impact stay exact
  int mostRowsHere = 48;     // contacts solved exactly here at most
  int mostRowsRelaxed = 64;  // contacts of a pile relaxed here at most
  // Sweeps of the relaxation, here and in ODE's iterative solver alike: six
  // hold a pile of two hundred at rest, and each more costs a tenth.
  int relaxSweeps = 6;
  // A body is out of scale when turning it is this many times easier, at its
  // outline, than pushing it (damaged content): only ODE's exact solver
  // survives such islands.
  double outOfScale = 1e4;
  // Sweeps of the friction pass: each contact's sliding is stopped in turn,
  // within what its normal impulse allows; a ball on a flipper has one or two.
  int frictionSweeps = 4;
};

constexpr ContactTuning contactTuning{};
