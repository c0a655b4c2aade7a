// Bitmap text for the HUD: lays a string out in a catalog font, glyphs on a
// common baseline at the bottom, each followed by the font's spacing.
#include <algorithm>
#include <cstdint>

#include "gfx/hud.h"

namespace {

const Glyph* findGlyph(const FontDef& font, unsigned char code) {
  for (const Glyph& glyph : font.glyphs)
    if (glyph.code == code) return &glyph;
  return nullptr;
}

// Fonts come from the archive, so their numbers are not trusted: a negative
// width or advance counts as 0, which keeps the pen moving forward only.
int glyphWidth(const Glyph& glyph) {
  return std::max(glyph.width, 0);
}
int glyphHeight(const Glyph& glyph) {
  return std::max(glyph.height, 0);
}
int64_t spaceAdvance(const FontDef& font) {
  return std::max(font.spaceWidth, 0);
}
int64_t glyphAdvance(const FontDef& font, const Glyph& glyph) {
  return std::max<int64_t>(int64_t(glyphWidth(glyph)) + font.spacing, 0);
}

struct TextSize {
  int width = 0, height = 0;
};

TextSize measure(const FontDef& font, const unsigned char* text) {
  // 64-bit so that huge advances cannot wrap before the cap applies.
  int64_t pen = 0, right = 0;
  int height = 0;
  for (const unsigned char* c = text; *c && pen < maxTextWidth; ++c) {
    if (*c == ' ') {
      pen += spaceAdvance(font);
    } else if (const Glyph* glyph = findGlyph(font, *c)) {
      // With negative spacing a glyph may reach past the pen's final place.
      right = std::max(right, pen + glyphWidth(*glyph));
      pen += glyphAdvance(font, *glyph);
      height = std::max(height, glyphHeight(*glyph));
    }
    right = std::max(right, pen);
  }
  TextSize size;
  size.width = int(std::min<int64_t>(right, maxTextWidth));
  size.height = std::min(height, maxTextHeight);
  return size;
}

// Copies a glyph with its bottom row on the bitmap's bottom row, clipped.
void copyGlyph(const Glyph& glyph, int64_t pen, DotBitmap& out) {
  int gw = glyphWidth(glyph), gh = glyphHeight(glyph);
  // A record shorter than its stated size contributes only what it holds.
  if (int64_t(gw) * gh > int64_t(glyph.bitmap.size())) return;
  int top = out.height - gh;
  for (int i = 0; i < gh; ++i) {
    int row = top + i;
    if (row < 0) continue;
    for (int j = 0; j < gw; ++j) {
      int64_t column = pen + j;
      if (column >= out.width) break;
      out.cells[size_t(row) * out.width + size_t(column)] =
          glyph.bitmap[size_t(i) * gw + j] ? 1 : 0;
    }
  }
}

}  // namespace

void renderTextInto(const FontDef& font, const char* text, DotBitmap& out) {
  out.width = out.height = 0;
  out.cells.clear();
  if (!text) return;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  TextSize size = measure(font, bytes);
  out.width = size.width;
  out.height = size.height;
  out.cells.assign(size_t(size.width) * size.height, 0);
  if (out.cells.empty()) return;

  int64_t pen = 0;
  for (const unsigned char* c = bytes; *c && pen < out.width; ++c) {
    if (*c == ' ') {
      pen += spaceAdvance(font);
    } else if (const Glyph* glyph = findGlyph(font, *c)) {
      copyGlyph(*glyph, pen, out);
      pen += glyphAdvance(font, *glyph);
    }
  }
}

DotBitmap renderText(const FontDef& font, const char* text) {
  DotBitmap bitmap;
  renderTextInto(font, text, bitmap);
  return bitmap;
}
