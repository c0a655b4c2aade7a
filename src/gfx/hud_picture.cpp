// Composing the HUD grid's picture row by row, from the two dot images.
#include "gfx/hud_picture.h"

#include <cstring>
#include <utility>

namespace {

constexpr int bytesPerPixel = 4;  // RGBA

}  // namespace

void GridPicture::reset(int columns, int rows, int w, int h, std::vector<unsigned char> lit,
                        std::vector<unsigned char> unlit) {
  columns_ = columns > 0 ? columns : 0;
  rows_ = rows > 0 ? rows : 0;
  w_ = w > 0 ? w : 0;
  h_ = h > 0 ? h : 0;
  size_t dotBytes = size_t(w_) * size_t(h_) * bytesPerPixel;
  lit.resize(dotBytes);
  unlit.resize(dotBytes);
  lit_ = std::move(lit);
  unlit_ = std::move(unlit);
  opaque_ = true;
  for (size_t i = 3; i < dotBytes; i += bytesPerPixel)
    if (lit_[i] != 255 || unlit_[i] != 255) opaque_ = false;
  shown_.assign(size_t(columns_) * size_t(rows_), 0);
  composed_.assign(size_t(rows_), false);
  strip_.assign(size_t(columns_) * dotBytes, 0);
}

bool GridPicture::rowChanged(const unsigned char* cells, int row) const {
  if (row < 0 || row >= rows_) return false;
  if (!composed_[size_t(row)]) return true;
  size_t start = size_t(row) * size_t(columns_);
  return std::memcmp(cells + start, shown_.data() + start, size_t(columns_)) != 0;
}

const unsigned char* GridPicture::composeRow(const unsigned char* cells, int row) {
  if (row < 0 || row >= rows_) return strip_.data();
  const unsigned char* rowCells = cells + size_t(row) * size_t(columns_);
  size_t dotRowBytes = size_t(w_) * bytesPerPixel;
  size_t stripRowBytes = size_t(columns_) * dotRowBytes;
  for (int j = 0; j < columns_; ++j) {
    unsigned char value = rowCells[j];
    const unsigned char* dot = value == 1 ? lit_.data() : value == 0 ? unlit_.data() : nullptr;
    for (int y = 0; y < h_; ++y) {
      unsigned char* out = strip_.data() + size_t(y) * stripRowBytes + size_t(j) * dotRowBytes;
      if (dot)
        std::memcpy(out, dot + size_t(y) * dotRowBytes, dotRowBytes);
      else
        std::memset(out, 0, dotRowBytes);
    }
  }
  std::memcpy(shown_.data() + size_t(row) * size_t(columns_), rowCells, size_t(columns_));
  composed_[size_t(row)] = true;
  return strip_.data();
}
