// Drawing of the HUD grid in screen space: the unlit dots, then the lit ones,
// each image stretched to the lit image's size. Where the picture is shown
// pixel for pixel and both dots have one size, the grid is kept as one
// texture of dots, updated row by row as its cells change and drawn as one
// quad: the same pixels at a fraction of the software rasteriser's cost of
// two thousand small quads.
#include <GL/gl.h>

#include <utility>
#include <vector>

#include "content/world_data.h"
#include "gfx/draw_world.h"
#include "gfx/graphics.h"
#include "gfx/hud.h"
#include "gfx/hud_picture.h"
#include "gfx/sprite_batch.h"

namespace {

// The quads of a frame drawn cell by cell; kept, so that after the first
// frame no drawing allocates: the grid never has more than rows * columns.
std::vector<BatchVertex> dots;

// Writes a quad for each cell holding value, starting at out; returns where
// the next quad goes.
BatchVertex* addCells(const HudDisplay& hud, unsigned char value, float w, float h,
                      BatchVertex* out) {
  int columns = hud.columns, rows = hud.rows;
  const unsigned char* cells = hud.cells.data();
  float y0 = 0;
  for (int i = 0; i < rows; ++i) {
    float y1 = y0 + h;
    float x0 = 0;
    for (int j = 0; j < columns; ++j) {
      float x1 = x0 + w;
      if (cells[i * columns + j] == value) {
        *out++ = {x0, y0, 0, 0};
        *out++ = {x1, y0, 1, 0};
        *out++ = {x1, y1, 1, 1};
        *out++ = {x0, y1, 0, 1};
      }
      x0 = x1;
    }
    y0 = y1;
  }
  return out;
}

// What the grid texture was made from; any change remakes it.
struct GridSource {
  const TextureDef* lit = nullptr;
  const TextureDef* unlit = nullptr;
  unsigned litName = 0, unlitName = 0;
  int columns = 0, rows = 0, w = 0, h = 0;
  unsigned released = 0;  // texturesReleased() when it was read

  bool operator==(const GridSource& o) const {
    return lit == o.lit && unlit == o.unlit && litName == o.litName && unlitName == o.unlitName &&
           columns == o.columns && rows == o.rows && w == o.w && h == o.h && released == o.released;
  }
};

// The grid texture and what it shows. It is drawn only pixel for pixel, where
// every pixel centre is a texel centre: there the dots' linear filter gives
// each texel unmixed, and so does the nearest filter, at less cost. Its size
// is a power of two each way, so that the texture coordinates are exact.
struct GridTexture {
  unsigned name = 0;
  int width = 0, height = 0;  // texels
  bool usable = false;        // source could be read; otherwise draw cell by cell
  GridSource source;
  GridPicture picture;
};
GridTexture grid;

int powerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

// A dot image's pixels as OpenGL holds them, or nothing when the texture is
// not the size its record says (a damaged image uploads as none).
bool readDot(const TextureDef& image, std::vector<unsigned char>& pixels) {
  glBindTexture(GL_TEXTURE_2D, image.texture);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  if (image.texture == 0 || width != image.width || height != image.height) return false;
  pixels.assign(size_t(width) * size_t(height) * 4, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);  // rows of whole RGBA pixels
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return true;
}

// Remakes the grid texture for source: the dots read back once, the texture
// sized and cleared, every row to be composed.
void remakeGrid(const GridSource& source) {
  grid.source = source;
  grid.usable = false;
  std::vector<unsigned char> lit, unlit;
  if (!readDot(*source.lit, lit) || !readDot(*source.unlit, unlit)) return;
  int width = powerOfTwoAtLeast(source.columns * source.w);
  int height = powerOfTwoAtLeast(source.rows * source.h);
  GLint most = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
  if (width > most || height > most) return;
  if (width != grid.width || height != grid.height) {
    // Cleared, so that no texel outside the grid holds anything. Freed here
    // rather than by releaseTexture, which would mark the dots as stale.
    std::vector<unsigned char> clear(size_t(width) * size_t(height) * 4, 0);
    GLuint old = grid.name;
    if (old != 0) glDeleteTextures(1, &old);
    grid.name = uploadTexture(width, height, clear.data());
    setTextureFilter(true);
    grid.width = width;
    grid.height = height;
  }
  grid.picture.reset(source.columns, source.rows, source.w, source.h, std::move(lit),
                     std::move(unlit));
  grid.usable = true;
}

// Whether the HUD has images and a grid of its nominal size to draw.
bool hasGrid(const HudDisplay& hud) {
  if (!hud.litImage || !hud.unlitImage) return false;
  // The grid may be smaller than its nominal size if it was never allocated.
  if (hud.rows < 0 || hud.columns < 0) return false;
  return hud.cells.size() >= size_t(hud.rows) * size_t(hud.columns);
}

// Whether the grid can be drawn whole this frame, with the grid texture made
// for its dots; false when it must be drawn cell by cell.
bool gridReady(const HudDisplay& hud) {
  if (!hasGrid(hud)) return false;
  const TextureDef& lit = *hud.litImage;
  const TextureDef& unlit = *hud.unlitImage;
  // Otherwise the unlit dot is stretched, or the picture scaled, and the
  // filter would mix a dot's edge with its neighbour instead of the border.
  if (lit.width != unlit.width || lit.height != unlit.height || lit.width <= 0 || lit.height <= 0 ||
      !pictureIsPixelForPixel())
    return false;
  GridSource source{&lit,     &unlit,    lit.texture, unlit.texture,     hud.columns,
                    hud.rows, lit.width, lit.height,  texturesReleased()};
  if (!(source == grid.source)) remakeGrid(source);
  return grid.usable;
}

// Draws the grid as one quad of the grid texture; false when it cannot be
// drawn so and must be drawn cell by cell.
bool drawGridTexture(const HudDisplay& hud) {
  if (!gridReady(hud)) return false;
  glBindTexture(GL_TEXTURE_2D, grid.name);
  GridPicture& picture = grid.picture;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // rows of whole RGBA pixels
  for (int row = 0; row < picture.rows(); ++row) {
    if (!picture.rowChanged(hud.cells.data(), row)) continue;
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row * picture.dotHeight(),
                    picture.columns() * picture.dotWidth(), picture.dotHeight(), GL_RGBA,
                    GL_UNSIGNED_BYTE, picture.composeRow(hud.cells.data(), row));
  }
  float x1 = float(picture.columns() * picture.dotWidth());
  float y1 = float(picture.rows() * picture.dotHeight());
  float u1 = x1 / float(grid.width), v1 = y1 / float(grid.height);
  const BatchVertex quad[4] = {{0, 0, 0, 0}, {x1, 0, u1, 0}, {x1, y1, u1, v1}, {0, y1, 0, v1}};
  pointArraysAt(quad);
  glDrawArrays(GL_QUADS, 0, 4);
  releaseArrays();
  return true;
}

// The quads of the cells whose value is 0 (unlit) and 1 (lit), each with
// its image, both stretched to the lit image's size.
void drawEachCell(const HudDisplay& hud) {
  float w = float(hud.litImage->width), h = float(hud.litImage->height);
  size_t most = size_t(hud.rows) * size_t(hud.columns) * 4;
  if (dots.size() < most) dots.resize(most);
  BatchVertex* unlitEnd = addCells(hud, 0, w, h, dots.data());
  BatchVertex* litEnd = addCells(hud, 1, w, h, unlitEnd);
  int unlit = int(unlitEnd - dots.data()), lit = int(litEnd - unlitEnd);
  pointArraysAt(dots.data());
  // One draw per image, so that each is bound once per frame.
  glBindTexture(GL_TEXTURE_2D, hud.unlitImage->texture);
  drawArrays(GL_QUADS, 0, unlit);
  glBindTexture(GL_TEXTURE_2D, hud.litImage->texture);
  drawArrays(GL_QUADS, unlit, lit);
  releaseArrays();
}

// Screen space, normal blending, white, textured: the state both ways of
// drawing the grid need. False when there is no grid to draw.
bool beginHud(const HudDisplay& hud) {
  if (!hasGrid(hud)) return false;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  // Screen space: the HUD ignores the camera.
  glLoadIdentity();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  return true;
}

void endHud() {
  glPopMatrix();
}

}  // namespace

void drawHud(const HudDisplay& hud) {
  if (!beginHud(hud)) return;
  if (!drawGridTexture(hud)) drawEachCell(hud);
  endHud();
}

int hudCoverHeight(const HudDisplay& hud) {
  if (!hud.visible || !gridReady(hud) || !grid.picture.opaque()) return 0;
  const GridPicture& picture = grid.picture;
  if (picture.columns() * picture.dotWidth() != screenWidth) return 0;
  // A cell that is neither lit nor unlit shows what lies under it.
  size_t count = size_t(picture.columns()) * size_t(picture.rows());
  for (size_t i = 0; i < count; ++i)
    if (hud.cells[i] > 1) return 0;
  return picture.rows() * picture.dotHeight();
}

void drawHudCellByCell(const HudDisplay& hud) {
  if (!beginHud(hud)) return;
  drawEachCell(hud);
  endHud();
}

void releaseHudPicture() {
  GLuint name = grid.name;
  if (name != 0) glDeleteTextures(1, &name);
  grid = GridTexture();
}
