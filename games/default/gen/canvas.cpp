// Anti-aliased rasterising for the art generator (see canvas.h).
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

Rgba mix(Rgba a, Rgba b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int width, int height) : w_(width), h_(height), px_(size_t(width) * height) {}

void Canvas::blend(int x, int y, Rgba c, float coverage) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  float a = std::clamp(c.a * coverage, 0.f, 1.f);
  if (a <= 0) return;
  Rgba& d = px_[size_t(y) * w_ + x];
  float outA = a + d.a * (1 - a);
  if (outA <= 0) return;
  d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
  d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
  d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
  d.a = outA;
}

void Canvas::fillPolygon(const std::vector<Pt>& poly, Rgba c) {
  if (poly.size() < 3) return;
  float minY = 1e9f, maxY = -1e9f;
  for (const Pt& p : poly) minY = std::min(minY, p.y - oy_), maxY = std::max(maxY, p.y - oy_);
  int y0 = std::max(0, int(std::floor(minY))), y1 = std::min(h_ - 1, int(std::ceil(maxY)));
  std::vector<float> cover(w_ + 2);
  std::vector<float> xs;
  const int sub = 4;
  for (int y = y0; y <= y1; ++y) {
    std::fill(cover.begin(), cover.end(), 0.f);
    bool any = false;
    for (int s = 0; s < sub; ++s) {
      float sy = y + (s + 0.5f) / sub;
      xs.clear();
      for (size_t i = 0; i < poly.size(); ++i) {
        Pt a = poly[i], b = poly[(i + 1) % poly.size()];
        a.x -= ox_, a.y -= oy_, b.x -= ox_, b.y -= oy_;
        if ((a.y <= sy) == (b.y <= sy)) continue;
        xs.push_back(a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x));
      }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        float xa = std::clamp(xs[i], 0.f, float(w_)), xb = std::clamp(xs[i + 1], 0.f, float(w_));
        if (xb <= xa) continue;
        any = true;
        int ia = int(xa), ib = int(xb);
        if (ia == ib) {
          cover[ia] += (xb - xa) / sub;
          continue;
        }
        cover[ia] += (ia + 1 - xa) / sub;
        for (int x = ia + 1; x < ib; ++x) cover[x] += 1.f / sub;
        if (ib < w_) cover[ib] += (xb - ib) / sub;
      }
    }
    if (!any) continue;
    for (int x = 0; x < w_; ++x)
      if (cover[x] > 0) blend(x, y, c, std::min(1.f, cover[x]));
  }
}

void Canvas::line(Pt a, Pt b, float width, Rgba c) {
  float dx = b.x - a.x, dy = b.y - a.y, len = std::sqrt(dx * dx + dy * dy);
  if (len < 1e-4f) return;
  float nx = -dy / len * width / 2, ny = dx / len * width / 2;
  fillPolygon(
      {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}, c);
}

void Canvas::strokePolygon(const std::vector<Pt>& poly, float width, Rgba c) {
  for (size_t i = 0; i < poly.size(); ++i) line(poly[i], poly[(i + 1) % poly.size()], width, c);
}

void Canvas::fillCircle(float cx, float cy, float r, Rgba c) {
  std::vector<Pt> pts;
  int n = std::max(12, int(r * 1.5f));
  for (int i = 0; i < n; ++i) {
    float a = 6.2831853f * i / n;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  fillPolygon(pts, c);
}

void Canvas::ring(float cx, float cy, float r, float width, Rgba c) {
  std::vector<Pt> pts;
  int n = std::max(12, int(r * 1.5f));
  for (int i = 0; i < n; ++i) {
    float a = 6.2831853f * i / n;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  strokePolygon(pts, width, c);
}

void Canvas::shade(const std::function<Rgba(float, float)>& shader) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) blend(x, y, shader(x + 0.5f + ox_, y + 0.5f + oy_));
}

bool Canvas::savePng(const std::string& path) const {
  std::vector<unsigned char> bytes(px_.size() * 4);
  for (size_t i = 0; i < px_.size(); ++i) {
    const Rgba& p = px_[i];
    bytes[i * 4 + 0] = (unsigned char)std::lround(std::clamp(p.r, 0.f, 1.f) * 255);
    bytes[i * 4 + 1] = (unsigned char)std::lround(std::clamp(p.g, 0.f, 1.f) * 255);
    bytes[i * 4 + 2] = (unsigned char)std::lround(std::clamp(p.b, 0.f, 1.f) * 255);
    bytes[i * 4 + 3] = (unsigned char)std::lround(std::clamp(p.a, 0.f, 1.f) * 255);
  }
  if (!stbi_write_png(path.c_str(), w_, h_, 4, bytes.data(), w_ * 4)) {
    printf("gen: cannot write '%s'\n", path.c_str());
    return false;
  }
  return true;
}
