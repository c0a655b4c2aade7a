// Playing the default table from a test, as a player would: shoot each ball
// with the plunger, flip, and follow the game through its console lines.
// The table is played in its own time, read from its console, so a slow
// machine gets as much play as a fast one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// Lines from index `from` on that contain text.
int countContaining(const std::vector<std::string>& lines, const std::string& text,
                    size_t from = 0);
// The number after `prefix` on the last line that starts with it, or -1.
long lastNumberAfter(const std::vector<std::string>& lines, const std::string& prefix);

// Seconds of play so far: the table prints "[TABLE] fps N" every ten.
int playSeconds(const std::vector<std::string>& lines);
// Balls the table has put on the plunger: new balls, saved ones, extra ones.
int ballsServed(const std::vector<std::string>& lines);

// Pulls the plunger back `notches` of its ten and lets go. The table
// redraws the rod at each notch (a scene spawned on the console), so the
// pull is measured in its time. False when the rod did not move, or a drain
// ended the pull: the plunger only moves while a ball is in play.
bool pullPlunger(Engine& engine, int notches);
// Shoots the ball the table served last, unless it has flown already; a
// ball still rolling is not launched, so up to three pulls. True once
// "[TABLE] ball launched" has followed the ball's line.
bool launchBall(Engine& engine, int notches);
// Holds a flipper key for a few frames and lets go.
void flip(Engine& engine, const std::string& keysym);
// Plays on until done(): shoots each ball the table serves, and pulls
// again after every ten seconds of play, as a ball may have rolled back
// onto the plunger. False when done() is still false after maxSeconds of
// play, or when the table stops reporting its time.
bool playUntil(Engine& engine, const std::function<bool()>& done, int maxSeconds);

}  // namespace e2e
