// The contacts made since the last frame, for the debug overlay.
#pragma once

#include "content/world_data.h"

struct ContactLog {
  static constexpr int wrapAt = 1000;
  int count = 0;  // write index; wraps to 0 when it passes 1000
  Float2 positions[wrapAt + 1];
  Float2 normals[wrapAt + 1];

  void add(Float2 position, Float2 normal);
};

extern ContactLog contactLog;
