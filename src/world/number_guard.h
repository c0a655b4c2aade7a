// Keeps unusable numbers (NaN, infinities, zero masses) away from ODE,
// which aborts the process on some of them.
#pragma once

// Prints "[WORLD] Ignoring a non-finite <what>" the first time and then only
// at 10, 100, 1000... occurrences, so a script repeating the mistake every
// step cannot flood the console. what must be a string literal.
void reportNonFinite(const char* what);
// Same scheme for bodies whose numbers ran off towards infinity.
void reportRunaway(int objectNumber);

// A finite value, or 0 (and one warning naming field of object) otherwise.
float finiteOrZero(float v, const char* object, const char* field);

// Mass and inertia radius of a body, clamped to small positive minimums.
float usableMass(float mass, const char* object);
float usableInertiaRadius(float radius, const char* object);
