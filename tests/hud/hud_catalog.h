// A small catalog for HUD tests: the two dot images and two hand-made fonts
// whose layouts the tests compute by hand.
#pragma once

#include <string>
#include <vector>

#include "content/world_data.h"
#include "gfx/hud.h"
#include "world/step_length.h"

inline Glyph makeGlyph(unsigned char code, int width, int height,
                       std::vector<unsigned char> bitmap = {}) {
  Glyph glyph;
  glyph.code = code;
  glyph.width = width;
  glyph.height = height;
  glyph.bitmap = bitmap.empty() ? std::vector<unsigned char>(size_t(width * height), 1) : bitmap;
  return glyph;
}

// Small.txt: digits as solid 3x5 blocks, spacing 1.
inline FontDef smallFontDef() {
  FontDef font;
  font.name = "Small.txt";
  font.spacing = 1;
  font.spaceWidth = 2;
  for (unsigned char c = '0'; c <= '9'; ++c) font.glyphs.push_back(makeGlyph(c, 3, 5));
  return font;
}

// Big.txt: 'H' a solid 4x7 block, 'i' a solid 1x5 block, 'L' an L shape
// 2 wide and 3 high; spacing 1, space 3.
inline FontDef bigFontDef() {
  FontDef font;
  font.name = "Big.txt";
  font.spacing = 1;
  font.spaceWidth = 3;
  font.glyphs.push_back(makeGlyph('H', 4, 7));
  font.glyphs.push_back(makeGlyph('i', 1, 5));
  font.glyphs.push_back(makeGlyph('L', 2, 3, {1, 0, 1, 0, 1, 1}));
  return font;
}

struct HudCatalog {
  NullContentBackend backend;
  WorldData data{nullptr, backend};

  // litWidth < 0 leaves the lit image out; so do the flags for the others.
  explicit HudCatalog(int litWidth = 8, bool unlit = true, bool fonts = true) {
    if (litWidth >= 0) data.textures.push_back(texture("Images\\hud-lit.png", litWidth));
    if (unlit) data.textures.push_back(texture("Images\\hud-unlit.png", 8));
    if (fonts) {
      data.fonts.push_back(smallFontDef());
      data.fonts.push_back(bigFontDef());
    }
  }

  static TextureDef texture(const char* name, int width) {
    TextureDef def;
    def.name = name;
    def.width = width;
    def.height = 8;
    return def;
  }
};

inline int cellAt(const HudDisplay& hud, int column, int row) {
  return hud.cells[size_t(row * hud.columns + column)];
}

inline int litCount(const HudDisplay& hud) {
  int count = 0;
  for (unsigned char cell : hud.cells) count += cell;
  return count;
}

// True when exactly the cells of the rectangle are lit within the rows and
// columns of the given window (inclusive bounds).
inline bool onlyRectLit(const HudDisplay& hud, int x0, int y0, int x1, int y1) {
  for (int row = 0; row < hud.rows; ++row)
    for (int column = 0; column < hud.columns; ++column) {
      bool inside = column >= x0 && column <= x1 && row >= y0 && row <= y1;
      if (cellAt(hud, column, row) != (inside ? 1 : 0)) return false;
    }
  return true;
}

inline void runSteps(Hud& hud, int steps) {
  for (int i = 0; i < steps; ++i) hud.update(stepLength);
}
