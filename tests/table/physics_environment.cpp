// ODE is started once for the whole test binary and closed at its end: the
// polygon geom class is registered with ODE once per process, so ODE must
// not be closed and started again between tests.
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
