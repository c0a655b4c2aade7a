// Shared pieces of the world tests: ODE set-up once per run, outline and
// catalog builders, and an event recorder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "content/world_data.h"
#include "world/polygon_geom.h"
#include "world/step_length.h"
#include "world/world_events.h"
#include "world/world_solver.h"

// Geoms outside any space, each placed at a position, destroyed with the
// test.
class GeomTest : public ::testing::Test {
 protected:
  ~GeomTest() override {
    for (dGeomID g : geoms) dGeomDestroy(g);
  }
  dGeomID make(const ObjectDef& def, float x = 0, float y = 0) {
    dGeomID g = createPolygonGeom(nullptr, &def);
    dGeomSetPosition(g, x, y, 0);
    geoms.push_back(g);
    return g;
  }
  std::vector<dGeomID> geoms;
};

// An axis-aligned rectangle wound counter-clockwise on the y-down screen.
inline std::vector<Float2> rectOutline(float x0, float y0, float x1, float y1) {
  return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
}

// Inserts points along every edge so that no edge is longer than step.
inline std::vector<Float2> subdivide(const std::vector<Float2>& outline, float step) {
  std::vector<Float2> out;
  for (size_t i = 0; i < outline.size(); ++i) {
    Float2 a = outline[i], b = outline[(i + 1) % outline.size()];
    float length = std::hypot(b.x - a.x, b.y - a.y);
    int parts = std::max(1, int(std::ceil(length / step)));
    for (int k = 0; k < parts; ++k) {
      out.push_back({a.x + (b.x - a.x) * k / parts, a.y + (b.y - a.y) * k / parts});
    }
  }
  return out;
}

// A regular polygon around the origin, wound as the collider wants.
inline std::vector<Float2> ballOutline(float radius, int sides = 16) {
  std::vector<Float2> points;
  for (int i = sides - 1; i >= 0; --i) {
    double a = (i + 0.5) * 2 * M_PI / sides;
    points.push_back({float(radius * std::cos(a)), float(radius * std::sin(a))});
  }
  return points;
}

inline ObjectDef objectDef(const std::string& name, int kind, Float2 position,
                           std::vector<Float2> outline = {}) {
  ObjectDef d;
  d.name = name;
  d.kind = ObjectKind(kind);
  d.position = position;
  d.outline = std::move(outline);
  d.mass = 1;
  d.inertiaRadius = 240;
  return d;
}

// A catalog with no archive behind it; tests push their own scenes.
struct TestCatalog {
  NullContentBackend backend;
  WorldData data{nullptr, backend};
  TestCatalog() {
    data.scenes.reserve(16);  // scenes are referenced while more are added
    for (uint32_t& m : data.collisionMasks) m = 0xFFFFFFFFu;
  }
  SceneDef& addScene(const std::string& name) {
    EXPECT_LT(data.scenes.size(), data.scenes.capacity());
    data.scenes.emplace_back();
    data.scenes.back().name = name;
    return data.scenes.back();
  }
};

struct RecordedEvent {
  int step;
  std::string what;
  bool operator==(const RecordedEvent& o) const { return step == o.step && what == o.what; }
};

inline std::ostream& operator<<(std::ostream& os, const RecordedEvent& e) {
  return os << "{" << e.step << ", " << e.what << "}";
}

// Records every event with the number of the step that raised it. Handlers
// in tests hook in through onEvent.
class RecordingEvents : public WorldEvents {
 public:
  int step = 0;
  std::vector<RecordedEvent> events;
  std::function<void(const std::string&)> onEvent;

  void callObjectEnter(int ts, int to, int os, int oo) override {
    add("object enter " + nums({ts, to, os, oo}));
  }
  void callObjectExit(int ts, int to, int os, int oo) override {
    add("object exit " + nums({ts, to, os, oo}));
  }
  void callSceneEnter(int ts, int to, int os) override { add("scene enter " + nums({ts, to, os})); }
  void callSceneExit(int ts, int to, int os) override { add("scene exit " + nums({ts, to, os})); }
  void callObjectRotated(int s, int o, float degrees) override {
    add("rotated " + nums({s, o, int(degrees)}));
  }
  void callScriptUpdate(float) override { ++step; }

 private:
  static std::string nums(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += (s.empty() ? "" : " ") + std::to_string(v);
    return s;
  }
  void add(const std::string& what) {
    events.push_back({step + 1, what});
    if (onEvent) onEvent(what);
  }
};
