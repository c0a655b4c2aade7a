// A small RGBA drawing surface for the table's art generator: anti-aliased
// polygon fill, per-pixel shaders and PNG output.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;  // 0..1, straight (not premultiplied) alpha
};

inline Rgba rgb(int hex, float alpha = 1) {
  return {((hex >> 16) & 255) / 255.f, ((hex >> 8) & 255) / 255.f, (hex & 255) / 255.f, alpha};
}
Rgba mix(Rgba a, Rgba b, float t);

struct Pt {
  float x = 0, y = 0;
};

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return w_; }
  int height() const { return h_; }

  // Draws colour c over the pixel with the given coverage (0..1).
  void blend(int x, int y, Rgba c, float coverage = 1);
  // Even-odd fill, 4 sub-rows per pixel with exact horizontal coverage.
  void fillPolygon(const std::vector<Pt>& poly, Rgba c);
  // A line as a filled quad of the given width.
  void line(Pt a, Pt b, float width, Rgba c);
  // Closed outline stroke.
  void strokePolygon(const std::vector<Pt>& poly, float width, Rgba c);
  void fillCircle(float cx, float cy, float r, Rgba c);
  void ring(float cx, float cy, float r, float width, Rgba c);
  // Calls shade(x + 0.5, y + 0.5) for every pixel and blends the result.
  void shade(const std::function<Rgba(float, float)>& shader);
  // Shifts the drawing origin: everything drawn afterwards lands at p - origin.
  void setOrigin(float x, float y) { ox_ = x, oy_ = y; }

  bool savePng(const std::string& path) const;

 private:
  int w_, h_;
  float ox_ = 0, oy_ = 0;
  std::vector<Rgba> px_;
};
