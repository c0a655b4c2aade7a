// The default table played from a test: its plunger, flippers and clock,
// all read from the console.
#include "default_table.h"

#include <algorithm>
#include <cstdlib>

namespace e2e {

int countContaining(const std::vector<std::string>& lines, const std::string& text, size_t from) {
  return int(
      std::count_if(lines.begin() + long(std::min(from, lines.size())), lines.end(),
                    [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

long lastNumberAfter(const std::vector<std::string>& lines, const std::string& prefix) {
  long value = -1;
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) value = std::atol(l.c_str() + prefix.size());
  return value;
}

int playSeconds(const std::vector<std::string>& lines) {
  return 10 * countContaining(lines, "[TABLE] fps ");
}

namespace {

bool servesBall(const std::string& line) {
  return (line.rfind("[TABLE] player ", 0) == 0 && line.find(" ball ") != std::string::npos) ||
         line == "[TABLE] ball saved" || line == "[TABLE] shoot again";
}

}  // namespace

int ballsServed(const std::vector<std::string>& lines) {
  return int(std::count_if(lines.begin(), lines.end(), servesBall));
}

bool pullPlunger(Engine& engine, int notches) {
  const size_t from = engine.lines().size();
  auto drained = [&] { return countContaining(engine.lines(), "[TABLE] ball drained", from) > 0; };
  auto pulled = [&](int n) {
    return [&, n] {
      return countContaining(engine.lines(), "Spawning scene 'Plunger'", from) >= n || drained();
    };
  };
  // The first notch is the sign that the table has the key; the rest is
  // the pull itself, so it is waited for with the key held.
  bool moved = engine.hold("Return", pulled(1)) &&
               engine.waitUntil(pulled(notches), "the plunger pulled back");
  // The key coming up is confirmed as well, by the rod springing back to
  // rest: on a loaded machine a release can go missing, and the next pull
  // would then start from this one.
  auto atRest = [&] {
    return countContaining(engine.lines(), "Spawning scene 'Plunger' at (738.00, 1330.00)", from) >
           0;
  };
  for (int tries = 0; tries < 3; ++tries)
    if (engine.release("Return") && engine.waitUntil(atRest, "the plunger back at rest", 5000))
      break;
  return moved && !drained();
}

bool launchBall(Engine& engine, int notches) {
  // A pull made while the table was between balls may have shot this one.
  auto launched = [&] {
    const std::vector<std::string> lines = engine.lines();
    auto served = std::find_if(lines.rbegin(), lines.rend(), servesBall).base();
    return countContaining(lines, "[TABLE] ball launched", size_t(served - lines.begin())) > 0;
  };
  for (int pull = 0; pull < 3 && !launched(); ++pull) {
    if (!pullPlunger(engine, notches)) break;
    // The ball flies on the step that sees the key come up; sixty frames
    // later it has flown, or it was still rolling.
    const long released = engine.frames();
    engine.waitUntil([&] { return launched() || engine.frames() >= released + 60; },
                     "the ball launched");
  }
  return launched();
}

void flip(Engine& engine, const std::string& keysym) {
  const long start = engine.frames();
  engine.hold(keysym, [&] { return engine.frames() >= start + 8; });
  engine.release(keysym);
  engine.waitUntil([&] { return engine.frames() >= start + 20; }, "frames after a flip");
}

bool playUntil(Engine& engine, const std::function<bool()>& done, int maxSeconds) {
  const int start = playSeconds(engine.lines());
  while (!done()) {
    const std::vector<std::string> lines = engine.lines();
    const int served = ballsServed(lines), seconds = playSeconds(lines);
    if (seconds - start >= maxSeconds) return false;
    auto goesOn = [&] {
      const std::vector<std::string> now = engine.lines();
      return done() || ballsServed(now) > served || playSeconds(now) > seconds;
    };
    if (!engine.waitUntil(goesOn, "a ball, or ten seconds of play", 120000)) return false;
    if (!done()) pullPlunger(engine, 9);
  }
  return true;
}

}  // namespace e2e
