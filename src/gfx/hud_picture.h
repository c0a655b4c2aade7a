// The HUD grid as one RGBA picture, each cell a copy of the lit or the unlit
// dot, so that the whole grid can be drawn as one textured quad rather than
// a quad per cell. Plain code: it says which rows of cells changed since
// they were last composed, and composes them; draw_hud.cpp uploads them.
#pragma once

#include <vector>

class GridPicture {
 public:
  // Starts afresh for a grid of columns x rows cells whose dots are w x h
  // pixels, given as RGBA bytes, first row first. Every row counts as
  // changed until it is composed.
  void reset(int columns, int rows, int w, int h, std::vector<unsigned char> lit,
             std::vector<unsigned char> unlit);
  // Whether row (of cells) differs from what was last composed for it.
  bool rowChanged(const unsigned char* cells, int row) const;
  // Composes row of cells into one strip of columns * w by h pixels and
  // remembers it as shown; the strip stays valid until the next call. A cell
  // that is neither 0 (unlit) nor 1 (lit) is left fully transparent, as it
  // shows nothing when drawn cell by cell.
  const unsigned char* composeRow(const unsigned char* cells, int row);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  int dotWidth() const { return w_; }
  int dotHeight() const { return h_; }
  // Whether both dots are opaque in every pixel.
  bool opaque() const { return opaque_; }

 private:
  int columns_ = 0, rows_ = 0, w_ = 0, h_ = 0;
  bool opaque_ = false;
  std::vector<unsigned char> lit_, unlit_;
  std::vector<unsigned char> shown_;  // rows * columns cells as last composed
  std::vector<bool> composed_;        // per row: shown_ holds it
  std::vector<unsigned char> strip_;
};
