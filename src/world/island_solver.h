// The exact answer for a small island of bodies in the plane held apart by
// contacts alone: the impulses that keep every contact at its target speed
// or parting faster, none of them pulling. A ball on the floor or against a
// wall is such an island; solving it here costs a fraction of handing it to
// ODE, whose general machinery is sized for joints and big islands.
#pragma once

#include <vector>

struct IslandBody {
  double x, y;          // centre of mass
  double vx, vy, spin;  // velocity with this step's forces and gravity applied
  double inverseMass, inverseInertia;
};

struct IslandRow {
  int body1, body2;     // indices into the bodies; -1 for the fixed world
  double px, py;        // the contact point
  double nx, ny;        // unit normal, from body2 towards body1
  double target;        // the speed at which body1 must part from body2 at least
  double softness;      // how much the contact gives per unit of impulse
  double friction = 0;  // Coulomb's coefficient
};

// A body's share of a contact: how the contact's parting speed moves with
// the body's velocity, along the normal and turning about the centre, and
// how the body's velocity moves with the contact's impulse (the products
// the solvers would otherwise form afresh for every push).
struct IslandShare {
  int body;  // -1: no body
  double nx, ny, arm;
  double inverseMass, movedX, movedY, turned;  // 1/m; nx/m, ny/m, arm/I
};

// A row as relaxation sweeps it: both sides' shares side by side with what
// the row needs at every push, so that a sweep reads one block per row. A
// side without a body points at a body that stands still, which adds
// nothing to the parting speed and takes the pushes meant for nobody.
struct RelaxedRow {
  struct Side {
    IslandBody* body;
    double nx, ny, arm, movedX, movedY, turned;
  } side[2];
  double softness, target, diagonal, impulse;
};

// Scratch space kept between calls, so that solving allocates nothing once
// it has grown.
struct IslandWork {
  std::vector<IslandShare> shares;
  std::vector<RelaxedRow> relaxed;
  std::vector<double> k, b, impulse, trial, forward, factor, pushed, slid;
  std::vector<int> active;
  std::vector<char> inSet;
  // The rows whose factor the last pivot left in factor: a pivot that keeps
  // the first of them keeps their part of the factor too.
  std::vector<int> factored;
  // Where each row of the factor begins: the entries before are zero, as are
  // the entries of k they come from (contacts that share no body).
  std::vector<int> start;
  // The order relaxation takes its rows in, and what it is worked out with:
  // each row's level, each body's next free level, where each level begins.
  std::vector<int> order, rowLevel, bodyLevel, levelStart;
};

// Adds the contact impulses to the bodies' velocities. False when no answer
// was found within the pivots allowed (a set of contacts it cannot factor);
// the bodies are then left as they were.
bool solveIsland(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows,
                 IslandWork& work);

// The same contacts relaxed a row at a time for the given number of sweeps
// instead: an approximate answer at a cost that grows only with the rows,
// for islands too big to solve exactly every step.
void relaxIsland(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows, int sweeps,
                 IslandWork& work);

// Friction after either solver: each contact's sliding stopped in turn, a
// row at a time for the given number of sweeps, no further than its
// coefficient times the impulse the solver just gave it along the normal.
// The contacts themselves must then be solved again, as friction at one
// point may press another.
void resistSliding(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows, int sweeps,
                   IslandWork& work);
