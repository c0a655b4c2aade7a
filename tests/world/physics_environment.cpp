// Initialises ODE once for the whole test run.
#include <gtest/gtest.h>

#include "world/physics.h"

namespace {

class PhysicsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { initPhysics(); }
  void TearDown() override { closePhysics(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new PhysicsEnvironment);

}  // namespace
