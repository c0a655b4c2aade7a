// One number for the state of the world, so that a replay can tell whether
// it still runs the recorded game.
#pragma once

#include <cstdint>

class World;

// Covers every object's number, scene, lit flag and, for bodies, the exact
// position, velocity, rotation and spin that the physics carries from step
// to step; static objects by their pose. Also the camera.
uint64_t worldChecksum(const World& world);
