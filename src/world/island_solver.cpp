// Contacts as a linear complementarity problem: find impulses p >= 0 with
// w = K p + b >= 0 and p.w = 0, where K tells how each contact's parting
// speed answers to each impulse (plus the contact's softness on the
// diagonal, which keeps K positive definite) and b is how far each contact
// falls short of its target without them. For a positive definite K the
// answer is unique, and principal pivoting by least index finds it: solve
// for the contacts taken as pushing, then move the first contact that
// disagrees (a pull, or a gap closing too fast) to the other side.
#include "world/island_solver.h"

#include <cmath>

namespace {

// Body b's share of row r as its first (sign +1) or second (-1) side: the
// normal and arm it is pushed along, and how far a unit impulse moves and
// turns it. Written field by field into either kind of side, where it is
// kept.
template <class Side>
inline void shareOf(const IslandRow& r, const IslandBody& b, double sign, Side& out) {
  const double arm = (r.px - b.x) * r.ny - (r.py - b.y) * r.nx;
  out.nx = sign * r.nx;
  out.ny = sign * r.ny;
  out.arm = sign * arm;
  out.movedX = b.inverseMass * out.nx;
  out.movedY = b.inverseMass * out.ny;
  out.turned = b.inverseInertia * out.arm;
}

inline int shares(const IslandRow& r, const std::vector<IslandBody>& bodies, IslandShare out[2]) {
  int n = 0;
  for (int side = 0; side < 2; ++side) {
    const int i = side == 0 ? r.body1 : r.body2;
    if (i < 0) continue;
    IslandShare& share = out[n++];
    share.body = i;
    share.inverseMass = bodies[i].inverseMass;
    shareOf(r, bodies[i], side == 0 ? 1 : -1, share);
  }
  return n;
}

// Every row's two shares, a missing body marked -1.
inline IslandShare* rowShares(const std::vector<IslandBody>& bodies,
                              const std::vector<IslandRow>& rows, IslandWork& work) {
  work.shares.resize(2 * rows.size());
  IslandShare* share = work.shares.data();
  for (size_t i = 0; i < rows.size(); ++i) {
    IslandShare* si = share + 2 * i;
    for (int s = shares(rows[i], bodies, si); s < 2; ++s) si[s].body = -1;
  }
  return share;
}

// How fast the row's two bodies part along its normal now.
inline double parting(const IslandShare* si, const std::vector<IslandBody>& bodies) {
  double speed = 0;
  for (int s = 0; s < 2; ++s) {
    if (si[s].body < 0) continue;
    const IslandBody& body = bodies[si[s].body];
    speed += si[s].nx * body.vx + si[s].ny * body.vy + si[s].arm * body.spin;
  }
  return speed;
}

inline void push(const IslandShare* si, double impulse, std::vector<IslandBody>& bodies) {
  for (int s = 0; s < 2; ++s) {
    if (si[s].body < 0) continue;
    IslandBody& body = bodies[si[s].body];
    body.vx += si[s].movedX * impulse;
    body.vy += si[s].movedY * impulse;
    body.spin += si[s].turned * impulse;
  }
}

// std::fmax(0.0, x) to the bit, zero's sign and NaN included, without the
// call it costs in the innermost loop.
inline double notBelowZero(double x) {
  return x >= 0.0 ? x : 0.0;
}

// Cholesky factor of the active rows' block of k, in place in f (rows of
// stride n), from its row `from` on: the rows before it are those of a block
// that begins with the same rows. False when the block is not positive
// definite. A row whose first entries in k are zero (contacts sharing no
// body with the rows before) has zeros there in the factor too; start
// records where each row begins, and the sums leave out the products that
// are zero, which changes no sum but the sign of a zero.
bool factor(const std::vector<double>& k, int n, const std::vector<int>& rows, int m, int from,
            std::vector<double>& f, std::vector<int>& start) {
  for (int i = from; i < m; ++i) {
    const double* ki = &k[size_t(rows[i]) * n];
    double* fi = &f[size_t(i) * n];
    int s = 0;
    while (s < i && ki[rows[s]] == 0) fi[s++] = 0;
    start[i] = s;
    for (int j = s; j <= i; ++j) {
      const double* fj = &f[size_t(j) * n];
      double sum = ki[rows[j]];
      for (int q = s > start[j] ? s : start[j]; q < j; ++q) sum -= fi[q] * fj[q];
      if (i == j) {
        if (!(sum > 0)) return false;
        fi[i] = std::sqrt(sum);
      } else {
        fi[j] = sum / fj[j];
      }
    }
  }
  return true;
}

// The forward half of solving with the factor, for rows from `from` on: y
// holds the right-hand side's rows on entry and the answer's on return,
// the rows before `from` already solved.
void forwardSolve(const std::vector<double>& f, int n, const std::vector<int>& start, int from,
                  int m, double* y) {
  for (int i = from; i < m; ++i) {
    const double* fi = &f[size_t(i) * n];
    for (int q = start[i]; q < i; ++q) y[i] -= fi[q] * y[q];
    y[i] /= fi[i];
  }
}

void backwardSolve(const std::vector<double>& f, int n, int m, double* x) {
  for (int i = m - 1; i >= 0; --i) {
    for (int q = i + 1; q < m; ++q) x[i] -= f[q * n + i] * x[q];
    x[i] /= f[i * n + i];
  }
}

// Grows v to at least size, keeping what it holds: shrinking and growing
// again would clear what comes back.
template <class T>
void atLeast(std::vector<T>& v, size_t size) {
  if (v.size() < size) v.resize(size);
}

// How the parting speed of row i answers to an impulse at row j, through
// the bodies the two rows share.
inline double coupling(const IslandShare* si, const IslandShare* sj) {
  double sum = 0;
  for (int s = 0; s < 2; ++s) {
    const int body = si[s].body;
    if (body < 0 || (body != sj[0].body && body != sj[1].body)) continue;
    for (int t = 0; t < 2; ++t) {
      if (body != sj[t].body) continue;
      sum += si[s].inverseMass * (si[s].nx * sj[t].nx + si[s].ny * sj[t].ny) +
             si[s].turned * sj[t].arm;
    }
  }
  return sum;
}

// One push of relaxation on row r; twoBodies false: its second side is the
// body that stands still. That body's part of the parting speed is +0, and
// is left out: adding it would turn only a zero's sign, of a speed that then
// moves no impulse (a zero pushes nothing, and a row that pushed keeps its
// impulse either way). The two parts are added without starting from 0, one
// addition fewer on the path from one push to the next: that too turns only
// a zero's sign where the row's impulse is a zero, and then it stays as it is.
template <bool twoBodies>
inline void relaxRow(RelaxedRow& r) {
  // Over-relaxed a little, as a pile settles in fewer sweeps that way.
  constexpr double overRelax = 1.3;
  const RelaxedRow::Side &a = r.side[0], &b = r.side[1];
  IslandBody& pa = *a.body;
  double parting = a.nx * pa.vx + a.ny * pa.vy + a.arm * pa.spin;
  if (twoBodies) {
    const IslandBody& bb = *b.body;
    parting = parting + (b.nx * bb.vx + b.ny * bb.vy + b.arm * bb.spin);
  }
  const double speed = parting + r.softness * r.impulse - r.target;
  const double next = notBelowZero(r.impulse - overRelax * speed / r.diagonal);
  if (next == r.impulse) return;
  const double impulse = next - r.impulse;
  r.impulse = next;
  pa.vx += a.movedX * impulse;
  pa.vy += a.movedY * impulse;
  pa.spin += a.turned * impulse;
  if (!twoBodies) return;
  IslandBody& pb = *b.body;
  pb.vx += b.movedX * impulse;
  pb.vy += b.movedY * impulse;
  pb.spin += b.turned * impulse;
}

// An order of the rows that gives the same sweeps to the bit: a row reads and
// writes only its own bodies and impulse, so rows that share no body may be
// taken in either order, as long as each body's rows keep theirs. Each row
// goes one level past the last row of either of its bodies, and the rows are
// taken level by level, each level in the given order. Rows within a level
// share no body: the processor need not wait on one to push the next, as it
// must along the given order, where a body's rows mostly come together.
const std::vector<int>& relaxOrder(const std::vector<IslandRow>& rows, int bodyCount,
                                   IslandWork& work) {
  const int n = int(rows.size());
  std::vector<int>& level = work.rowLevel;
  std::vector<int>& next = work.bodyLevel;
  std::vector<int>& start = work.levelStart;
  std::vector<int>& order = work.order;
  level.resize(n);
  next.assign(bodyCount, 0);
  int levels = 0;
  for (int i = 0; i < n; ++i) {
    const int a = rows[i].body1, b = rows[i].body2;
    int l = a >= 0 ? next[a] : 0;
    if (b >= 0 && next[b] > l) l = next[b];
    level[i] = l;
    if (a >= 0) next[a] = l + 1;
    if (b >= 0) next[b] = l + 1;
    if (l + 1 > levels) levels = l + 1;
  }
  start.assign(levels + 1, 0);
  for (int i = 0; i < n; ++i) ++start[level[i] + 1];
  for (int l = 0; l < levels; ++l) start[l + 1] += start[l];
  order.resize(n);
  for (int i = 0; i < n; ++i) order[start[level[i]]++] = i;
  return order;
}

}  // namespace

bool solveIsland(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows,
                 IslandWork& work) {
  const int n = int(rows.size());
  if (n == 0) return true;
  const IslandShare* share = rowShares(bodies, rows, work);
  std::vector<double>& k = work.k;
  std::vector<double>& b = work.b;
  atLeast(k, size_t(n) * n);
  atLeast(b, n);
  for (int i = 0; i < n; ++i) b[i] = parting(share + 2 * i, bodies) - rows[i].target;
  for (int i = 0; i < n; ++i) {
    const IslandShare* si = share + 2 * i;
    for (int j = 0; j <= i; ++j) k[i * n + j] = k[j * n + i] = coupling(si, share + 2 * j);
    k[i * n + i] += rows[i].softness;
  }

  // Start from the contacts that fall short without any impulse: for a
  // body at rest on the floor that is the answer's own set.
  std::vector<char>& inSet = work.inSet;
  atLeast(inSet, n);
  for (int i = 0; i < n; ++i) inSet[i] = b[i] < 0;
  std::vector<double>& p = work.impulse;
  std::vector<int>& active = work.active;
  p.resize(n);
  atLeast(active, n);
  atLeast(work.trial, n);
  atLeast(work.forward, n);
  atLeast(work.factor, size_t(n) * n);
  atLeast(work.start, n);
  std::vector<int>& factored = work.factored;
  factored.clear();
  const int maxPivots = 4 * n + 20;
  bool solved = false;
  for (int pivot = 0; pivot < maxPivots && !solved; ++pivot) {
    int m = 0;
    for (int i = 0; i < n; ++i)
      if (inSet[i]) active[m++] = i;
    int kept = 0;
    while (kept < m && kept < int(factored.size()) && factored[kept] == active[kept]) ++kept;
    factored.assign(active.begin(), active.begin() + m);
    if (!factor(k, n, active, m, kept, work.factor, work.start)) return false;
    // The kept rows' forward half is the last pivot's: the same rows of the
    // same factor and the same right-hand side.
    double* y = work.forward.data();
    for (int i = kept; i < m; ++i) y[i] = -b[active[i]];
    forwardSolve(work.factor, n, work.start, kept, m, y);
    for (int i = 0; i < m; ++i) work.trial[i] = y[i];
    backwardSolve(work.factor, n, m, work.trial.data());
    for (int i = 0; i < n; ++i) p[i] = 0;
    for (int i = 0; i < m; ++i) p[active[i]] = work.trial[i];
    solved = true;
    for (int i = 0; i < n; ++i) {
      // Tolerances far below anything that moves a body visibly, so that
      // rounding does not pivot back and forth.
      const double scale = 1e-9 * (1 + std::fabs(b[i]));
      bool wrong;
      if (inSet[i]) {
        wrong = p[i] < -scale / k[i * n + i];
      } else {
        double w = b[i];
        for (int a = 0; a < m; ++a) w += k[i * n + active[a]] * p[active[a]];
        wrong = w < -scale;
      }
      if (wrong) {
        inSet[i] = !inSet[i];
        solved = false;
        break;
      }
    }
  }
  if (!solved) return false;

  for (int i = 0; i < n; ++i)
    if (p[i] > 0) push(share + 2 * i, p[i], bodies);
  return true;
}

void relaxIsland(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows, int sweeps,
                 IslandWork& work) {
  const int n = int(rows.size());
  // The body that stands still, for the sides without one; taken off again
  // before returning.
  bodies.push_back({0, 0, 0, 0, 0, 0, 0});
  IslandBody* still = &bodies.back();
  const std::vector<int>& order = relaxOrder(rows, int(bodies.size()), work);
  std::vector<RelaxedRow>& relaxed = work.relaxed;
  relaxed.resize(n);
  for (int k = 0; k < n; ++k) {
    const IslandRow& row = rows[order[k]];
    RelaxedRow& r = relaxed[k];
    double d = row.softness;
    // Each side written where it is kept: a side built aside and copied in
    // is read back in wider pieces than it was written in.
    int s = 0;
    for (int end = 0; end < 2; ++end) {
      const int i = end == 0 ? row.body1 : row.body2;
      if (i < 0) continue;
      IslandBody& body = bodies[i];
      RelaxedRow::Side& side = r.side[s++];
      side.body = &body;
      shareOf(row, body, end == 0 ? 1 : -1, side);
      d += body.inverseMass * (side.nx * side.nx + side.ny * side.ny) +
           body.inverseInertia * side.arm * side.arm;
    }
    for (; s < 2; ++s) r.side[s] = {still, 0, 0, 0, 0, 0, 0};
    r.softness = row.softness;
    r.target = row.target;
    r.diagonal = d;
    r.impulse = 0;
  }
  for (int sweep = 0; sweep < sweeps; ++sweep) {
    for (RelaxedRow& r : relaxed) {
      if (r.side[1].body == still) {
        relaxRow<false>(r);
      } else {
        relaxRow<true>(r);
      }
    }
  }
  bodies.pop_back();
  work.impulse.resize(n);
  for (int k = 0; k < n; ++k) work.impulse[order[k]] = relaxed[k].impulse;
}

void resistSliding(std::vector<IslandBody>& bodies, const std::vector<IslandRow>& rows, int sweeps,
                   IslandWork& work) {
  const int n = int(rows.size());
  if (n == 0 || int(work.impulse.size()) < n) return;
  // The solver's impulses along the normals bound the sliding ones.
  work.pushed.assign(work.impulse.begin(), work.impulse.begin() + n);
  work.slid.assign(n, 0.0);
  // Each row turned a quarter: its tangent, from the same point.
  work.shares.resize(2 * size_t(n));
  work.k.resize(n);
  for (int i = 0; i < n; ++i) {
    IslandRow along = rows[i];
    along.nx = -rows[i].ny;
    along.ny = rows[i].nx;
    IslandShare* si = work.shares.data() + 2 * i;
    for (int s = shares(along, bodies, si); s < 2; ++s) si[s].body = -1;
    double d = 0;
    for (int s = 0; s < 2; ++s) {
      if (si[s].body < 0) continue;
      const IslandBody& body = bodies[si[s].body];
      d += body.inverseMass + body.inverseInertia * si[s].arm * si[s].arm;
    }
    work.k[i] = d;
  }
  for (int sweep = 0; sweep < sweeps; ++sweep) {
    for (int i = 0; i < n; ++i) {
      const double limit = rows[i].friction * work.pushed[i];
      if (!(limit > 0) || !(work.k[i] > 0)) continue;
      const IslandShare* si = work.shares.data() + 2 * i;
      double next = work.slid[i] - parting(si, bodies) / work.k[i];
      next = std::fmax(-limit, std::fmin(limit, next));
      push(si, next - work.slid[i], bodies);
      work.slid[i] = next;
    }
  }
}
