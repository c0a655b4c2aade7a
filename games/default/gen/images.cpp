// The table's images: the playfield (with the walls of the table scene
// painted in from their outlines), sprites drawn from the outlines of the
// objects that wear them, shaded balls and bumpers, lamps and the HUD dots.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "gen.h"

namespace {

const float kPi = 3.14159265f;
// From the middle top lane's centre down to the lowest of its arrows, px.
const float kLaneArrowsBelow = 120;

std::vector<Pt> placed(const SceneObject& o) {
  std::vector<Pt> out;
  for (const Pt& p : o.outline) out.push_back({p.x + o.position.x, p.y + o.position.y});
  return out;
}

const SceneObject* find(const std::vector<SceneObject>& table, const std::string& name) {
  for (const SceneObject& o : table)
    if (o.name == name) return &o;
  return nullptr;
}

// The sprite box of an outline: the same rounding as spriteBox in shapes.lua.
void spriteBox(const std::vector<Pt>& pts, int& x0, int& y0, int& x1, int& y1) {
  float a = 1e9f, b = 1e9f, c = -1e9f, d = -1e9f;
  for (const Pt& p : pts)
    a = std::min(a, p.x), b = std::min(b, p.y), c = std::max(c, p.x), d = std::max(d, p.y);
  x0 = int(std::floor(a)) - 2, y0 = int(std::floor(b)) - 2, x1 = int(std::ceil(c)) + 2,
  y1 = int(std::ceil(d)) + 2;
}

// Draws text in the 5x7 face with round dots of the given pitch.
void dotText(Canvas& c, const std::string& text, float cx, float cy, float pitch, Rgba colour,
             float dotScale = 0.42f) {
  float width = text.size() * 6 * pitch - pitch;
  float x = cx - width / 2, y = cy - 3.5f * pitch;
  for (char ch : text) {
    if (const char* const* rows = faceRows(ch)) {
      for (int r = 0; r < 7; ++r)
        for (int k = 0; k < 5; ++k)
          if (rows[r][k] == '#')
            c.fillCircle(x + (k + 0.5f) * pitch, y + (r + 0.5f) * pitch, pitch * dotScale, colour);
    }
    x += 6 * pitch;
  }
}

// A rubber-and-plastic sprite for an outline: dark rim, coloured body, a
// highlight offset up and left.
bool outlineSprite(const std::string& path, const std::vector<Pt>& outline, Rgba body, Rgba rim,
                   float rimWidth) {
  int x0, y0, x1, y1;
  spriteBox(outline, x0, y0, x1, y1);
  Canvas c(x1 - x0, y1 - y0);
  c.setOrigin(float(x0), float(y0));
  c.fillPolygon(outline, rim);
  // Shrink towards the centroid for the body.
  Pt m;
  for (const Pt& p : outline) m.x += p.x / outline.size(), m.y += p.y / outline.size();
  std::vector<Pt> inner;
  for (const Pt& p : outline) {
    float dx = p.x - m.x, dy = p.y - m.y, len = std::sqrt(dx * dx + dy * dy);
    float k = len > rimWidth ? (len - rimWidth) / len : 0.f;
    inner.push_back({m.x + dx * k, m.y + dy * k});
  }
  c.fillPolygon(inner, body);
  std::vector<Pt> shine;
  for (const Pt& p : inner)
    shine.push_back({m.x + (p.x - m.x) * 0.55f - 1.5f, m.y + (p.y - m.y) * 0.45f - 1.5f});
  c.fillPolygon(shine, {1, 1, 1, 0.28f});
  return c.savePng(path);
}

bool playfield(const std::string& path, const std::vector<SceneObject>& table) {
  Canvas c(800, 1400);
  Rgba top = rgb(0x1b0f45), bottom = rgb(0x0a2c4e);
  c.shade([&](float x, float y) {
    Rgba base = mix(top, bottom, y / 1400);
    // Faint diagonal weave so the field does not look flat.
    float weave = 0.03f * std::sin((x + y) * 0.15f) * std::sin((x - y) * 0.15f);
    base.r += weave, base.g += weave, base.b += weave * 2;
    return base;
  });
  // Glow under the bumper cluster and rays fanning up from the flippers.
  c.shade([](float x, float y) {
    float dx = x - 366, dy = y - 370, d = std::sqrt(dx * dx + dy * dy);
    return Rgba{0.95f, 0.35f, 0.55f, 0.35f * std::max(0.f, 1 - d / 260)};
  });
  for (int i = 0; i < 13; ++i) {
    float a = kPi * (1.1f + 0.8f * i / 12);
    Pt from{366, 1180}, to{366 + 900 * std::cos(a), 1180 + 900 * std::sin(a)};
    c.line(from, to, 14, {1, 0.85f, 0.3f, i % 2 ? 0.05f : 0.09f});
  }
  // Title in dots across the middle of the field.
  dotText(c, "ORVANE", 366, 640, 9, rgb(0xffc040, 0.55f));
  dotText(c, "PINBALL", 366, 712, 5, rgb(0x70d0ff, 0.6f));
  // Arrows towards the orbit, the targets and the top lanes.
  auto arrow = [&](float x, float y, float angleDeg, Rgba col) {
    float a = angleDeg * kPi / 180, ca = std::cos(a), sa = std::sin(a);
    auto P = [&](float u, float v) { return Pt{x + u * ca - v * sa, y + u * sa + v * ca}; };
    c.fillPolygon({P(22, 0), P(-6, -16), P(-2, 0), P(-6, 16)}, col);
  };
  for (int i = 0; i < 3; ++i) arrow(82, 860 - i * 34.f, -90, rgb(0x40ff90, 0.5f + 0.15f * i));
  for (int i = 0; i < 3; ++i) arrow(560 + i * 30.f, 625, 0, rgb(0xffe040, 0.5f + 0.15f * i));
  // The lane arrows follow the middle top lane, wherever the scene puts it;
  // the highest points in between its posts, just below them.
  if (const SceneObject* lane = find(table, "TopLane2"))
    for (int i = 0; i < 3; ++i)
      arrow(lane->position.x, lane->position.y + kLaneArrowsBelow - i * 30.f, -90,
            rgb(0xff6080, 0.45f + 0.15f * i));
  // Shooter lane stripe and the apron below the flippers.
  c.fillPolygon({{716, 470}, {760, 470}, {760, 1330}, {716, 1330}}, rgb(0x000000, 0.25f));
  for (float y = 520; y < 1300; y += 60) arrow(738, y, -90, rgb(0xffffff, 0.12f));
  c.fillPolygon({{40, 1290}, {692, 1290}, {692, 1400}, {40, 1400}}, rgb(0x050510, 0.6f));
  // Walls: every static object without a sprite of its own.
  for (const SceneObject& o : table) {
    if (o.kind != 0 || !o.img.empty()) continue;
    std::vector<Pt> pts = placed(o);
    c.fillPolygon(pts, rgb(0x2b1a14));
    c.strokePolygon(pts, 4, rgb(0xd8962c));
    c.strokePolygon(pts, 1.5f, rgb(0xffe0a0, 0.8f));
  }
  // Red arrows down the outlanes: a ball there is lost.
  for (const SceneObject& o : table) {
    if (o.kind != 2 || o.name.rfind("Outlane", 0) != 0 || o.outline.empty()) continue;
    arrow(o.outline[0].x + o.position.x + 2, 1100, 90, rgb(0xff4040, 0.7f));
  }
  return c.savePng(path);
}

bool sphere(const std::string& path, int size, float radius, Rgba base, bool chrome) {
  Canvas c(size, size);
  float cx = size / 2.f, cy = size / 2.f;
  c.shade([&](float x, float y) {
    float dx = (x - cx) / radius, dy = (y - cy) / radius, d2 = dx * dx + dy * dy;
    if (d2 > 1.08f) return Rgba{};
    float edge = std::clamp((1.04f - std::sqrt(d2)) * radius, 0.f, 1.f);
    float nz = std::sqrt(std::max(0.f, 1 - d2));
    float light = std::max(0.f, (-dx * 0.5f - dy * 0.6f + nz * 0.62f));
    float spec = std::pow(light, 24.f);
    Rgba col = base;
    float k =
        chrome ? 0.35f + 0.5f * light + 0.25f * (dy > 0.1f ? 0.4f : 0.f) : 0.25f + 0.85f * light;
    col.r = std::min(1.f, col.r * k + spec), col.g = std::min(1.f, col.g * k + spec),
    col.b = std::min(1.f, col.b * k + spec);
    col.a = edge;
    return col;
  });
  return c.savePng(path);
}

bool bumper(const std::string& path, bool lit) {
  Canvas c(68, 68);
  float m = 34;
  c.fillCircle(m, m, 33, rgb(0x000000, 0.35f));            // shadow
  c.fillCircle(m, m, 31, rgb(lit ? 0xffffff : 0xb8c0d0));  // metal skirt
  c.ring(m, m, 28, 2, rgb(0x606878));
  c.fillCircle(m, m, 24, rgb(lit ? 0xffe040 : 0xc01830));  // cap
  c.fillCircle(m, m, 17, rgb(lit ? 0xfffff0 : 0xf4f0e8));
  for (int i = 0; i < 5; ++i) {  // star
    float a = -kPi / 2 + i * 2 * kPi / 5, b = a + kPi / 5;
    c.fillPolygon({{m, m},
                   {m + 13 * std::cos(a), m + 13 * std::sin(a)},
                   {m + 5 * std::cos(b), m + 5 * std::sin(b)}},
                  rgb(lit ? 0xff8000 : 0xc01830));
    c.fillPolygon({{m, m},
                   {m + 5 * std::cos(a - kPi / 5), m + 5 * std::sin(a - kPi / 5)},
                   {m + 13 * std::cos(a), m + 13 * std::sin(a)}},
                  rgb(lit ? 0xff8000 : 0xc01830));
  }
  c.fillCircle(m - 8, m - 9, 5, {1, 1, 1, 0.35f});
  if (lit)
    c.shade([&](float x, float y) {
      float d = std::sqrt((x - m) * (x - m) + (y - m) * (y - m));
      return Rgba{1, 0.9f, 0.3f, 0.5f * std::max(0.f, 1 - std::abs(d - 30) / 4)};
    });
  return c.savePng(path);
}

bool lamp(const std::string& path, int w, int h, Rgba colour, bool lit, const std::string& label,
          float pitch) {
  Canvas c(w, h);
  float rx = w / 2.f - 1, ry = h / 2.f - 1;
  std::vector<Pt> oval;
  for (int i = 0; i < 40; ++i)
    oval.push_back({w / 2.f + rx * std::cos(i * kPi / 20), h / 2.f + ry * std::sin(i * kPi / 20)});
  Rgba dim = mix(colour, rgb(0x000000), 0.7f);
  c.fillPolygon(oval, lit ? colour : dim);
  c.strokePolygon(oval, 1.5f, lit ? rgb(0xffffff) : rgb(0x202020));
  if (lit)
    c.shade([&](float x, float y) {
      float dx = (x - w / 2.f) / rx, dy = (y - h / 2.f) / ry;
      return Rgba{1, 1, 1, 0.45f * std::max(0.f, 1 - std::sqrt(dx * dx + dy * dy))};
    });
  if (!label.empty())
    dotText(c, label, w / 2.f, h / 2.f, pitch, lit ? rgb(0x200000) : rgb(0x000000, 0.6f), 0.5f);
  return c.savePng(path);
}

bool laneLamp(const std::string& path, bool lit) {
  Canvas c(20, 34);
  Rgba col = lit ? rgb(0xff5070) : rgb(0x501020);
  c.fillPolygon({{10, 1}, {19, 14}, {14, 14}, {14, 33}, {6, 33}, {6, 14}, {1, 14}}, col);
  c.strokePolygon({{10, 1}, {19, 14}, {14, 14}, {14, 33}, {6, 33}, {6, 14}, {1, 14}}, 1,
                  lit ? rgb(0xffffff) : rgb(0x100000));
  return c.savePng(path);
}

bool plunger(const std::string& path) {
  Canvas c(20, 100);
  c.fillPolygon({{7, 4}, {13, 4}, {13, 100}, {7, 100}}, rgb(0xc8ccd4));
  c.fillPolygon({{8, 4}, {10, 4}, {10, 100}, {8, 100}}, rgb(0xffffff, 0.6f));
  for (float y = 24; y < 70; y += 6) c.line({3, y}, {17, y + 3}, 2, rgb(0x9098a8));  // spring
  c.fillPolygon({{2, 0}, {18, 0}, {18, 6}, {2, 6}}, rgb(0x303030));                  // tip
  c.fillPolygon({{1, 84}, {19, 84}, {19, 100}, {1, 100}}, rgb(0xd02020));            // knob
  return c.savePng(path);
}

bool hudDot(const std::string& path, bool lit) {
  Canvas c(8, 6);
  c.fillPolygon({{0, 0}, {8, 0}, {8, 6}, {0, 6}}, rgb(0x000000));
  c.fillCircle(4, 3, 2.7f, lit ? rgb(0xff9a1a) : rgb(0x2a1606));
  if (lit) c.fillCircle(3.6f, 2.6f, 1.2f, rgb(0xffe0a0, 0.8f));
  return c.savePng(path);
}

}  // namespace

bool writeImages(const std::string& dir, const std::vector<SceneObject>& table) {
  std::string d = dir + "/images/";
  bool ok = true;
  auto need = [&](const char* name) -> const SceneObject* {
    const SceneObject* o = find(table, name);
    if (!o) {
      printf("gen: the table has no object '%s'\n", name);
      ok = false;
    }
    return o;
  };
  ok = hudDot(d + "hud-lit.png", true) && ok;
  ok = hudDot(d + "hud-unlit.png", false) && ok;
  need("TopLane2");  // the playfield's lane arrows point into it
  ok = playfield(d + "playfield.png", table) && ok;
  ok = sphere(d + "ball.png", 26, 12.5f, rgb(0xe8ecf4), true) && ok;
  ok = plunger(d + "plunger.png") && ok;
  ok = bumper(d + "bumper.png", false) && ok;
  ok = bumper(d + "bumper-lit.png", true) && ok;
  ok = laneLamp(d + "lane.png", false) && ok;
  ok = laneLamp(d + "lane-lit.png", true) && ok;
  if (const SceneObject* o = need("LeftFlipper"))
    ok =
        outlineSprite(d + "flipper-left.png", o->outline, rgb(0xf4f0e8), rgb(0xd01828), 3.5f) && ok;
  if (const SceneObject* o = need("RightFlipper"))
    ok = outlineSprite(d + "flipper-right.png", o->outline, rgb(0xf4f0e8), rgb(0xd01828), 3.5f) &&
         ok;
  for (const char* side : {"Left", "Right"}) {
    std::string lower = side[0] == 'L' ? "left" : "right";
    if (const SceneObject* o = need((std::string("Sling") + side).c_str())) {
      ok = outlineSprite(d + "sling-" + lower + ".png", o->outline, rgb(0x2050d0), rgb(0xf0f0f0),
                         4) &&
           ok;
      ok = outlineSprite(d + "sling-" + lower + "-lit.png", o->outline, rgb(0x80d0ff),
                         rgb(0xffff80), 4) &&
           ok;
    }
  }
  if (const SceneObject* o = need("LanePost1"))
    ok = outlineSprite(d + "post.png", o->outline, rgb(0xffd040), rgb(0x202020), 3) && ok;
  if (const SceneObject* o = need("Spinner"))
    ok = outlineSprite(d + "spinner.png", o->outline, rgb(0xe0e4ec), rgb(0x404858), 1.5f) && ok;
  std::vector<Pt> face = {{-8, -20}, {8, -20}, {8, 20}, {-8, 20}};
  ok = outlineSprite(d + "target.png", face, rgb(0xd0a010), rgb(0x202020), 2.5f) && ok;
  ok = outlineSprite(d + "target-lit.png", face, rgb(0xfff080), rgb(0xffffff), 2.5f) && ok;
  struct Insert {
    const char* file;
    int colour;
    const char* label;
  } inserts[] = {{"insert-extra", 0xff8020, "EXTRA"}, {"insert-multi", 0x30c0ff, "MULTI"},
                 {"insert-again", 0xff3030, "AGAIN"}, {"insert-2x", 0x40ff60, "2X"},
                 {"insert-3x", 0x40ff60, "3X"},       {"insert-4x", 0x40ff60, "4X"}};
  for (const Insert& in : inserts) {
    bool small = std::string(in.label).size() <= 2;
    int w = small ? 40 : 74, h = small ? 30 : 28;
    ok = lamp(d + in.file + ".png", w, h, rgb(in.colour), false, in.label, 2) && ok;
    ok = lamp(d + in.file + "-lit.png", w, h, rgb(in.colour), true, in.label, 2) && ok;
  }
  return ok;
}
