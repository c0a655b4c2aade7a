// The HUD grid drawn whole, from one texture of dots, gives the very pixels
// of the grid drawn a quad per cell: for dots of several sizes, translucent
// or opaque (when the world under them is left out), as cells change from
// frame to frame, and after another table's dots were freed.
#include <GL/gl.h>

#include <vector>

#include "gfx/draw_world.h"
#include "gfx/graphics.h"
#include "gfx/hud.h"
#include "gfx_window.h"

namespace {

// A dot whose texels all differ, some translucent unless opaque, so that a
// texel mixed with its neighbour, a cell out of place or a stale dot shows.
void addDot(Table& table, const char* name, int w, int h, int seed, bool opaque) {
  std::vector<unsigned char> pixels;
  for (int i = 0; i < w * h; ++i) {
    pixels.push_back((unsigned char)(seed + 37 * i));
    pixels.push_back((unsigned char)(255 - 11 * i));
    pixels.push_back((unsigned char)(seed * 3 + 5 * i));
    pixels.push_back((unsigned char)(opaque ? 255 : i % 4 == 0 ? 96 : 255 - i));
  }
  TextureDef def;
  def.name = name;
  def.width = w;
  def.height = h;
  def.texture = uploadTexture(w, h, pixels.data());
  table.data.textures.push_back(def);
}

std::vector<unsigned char> readPicture() {
  std::vector<unsigned char> rgba(size_t(screenWidth) * size_t(screenHeight) * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

// The frame drawn with the grid whole, then again, with the whole world
// under it, cell by cell: how many bytes of the picture differ.
int differingBytes(Table& table) {
  Hud& hud = table.world->hud();
  table.drawFrame();
  std::vector<unsigned char> whole = readPicture();
  table.finishFrame();
  hud.setVisible(false);
  table.drawFrame();
  hud.setVisible(true);
  drawHudCellByCell(hud);
  glFinish();
  std::vector<unsigned char> each = readPicture();
  table.finishFrame();
  int differing = 0;
  for (size_t i = 0; i < whole.size(); ++i) differing += whole[i] != each[i];
  return differing;
}

TEST(DrawHud, WholeGridMatchesTheGridDrawnCellByCell) {
  REQUIRE_WINDOW();
  struct Case {
    int w, h;
    bool opaque;
  };
  // Square, flat, odd (160 columns) and one that leaves 8 pixels uncovered.
  const Case cases[] = {{8, 8, false}, {8, 6, false}, {5, 7, false}, {9, 9, false},
                        {8, 6, true},  {5, 7, true},  {9, 9, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << (c.opaque ? " opaque" : "") << " dots");
    Table table;
    addDot(table, "Images\\hud-lit.png", c.w, c.h, 40 + c.w, c.opaque);
    addDot(table, "Images\\hud-unlit.png", c.w, c.h, 90 + c.h, c.opaque);
    // Something under the grid and below it, for the translucent texels to show.
    SceneDef& scene = table.addScene("s");
    table.addObject(scene, "back",
                    table.addSplitTexture("back", 300, 200, {200, 40, 10}, {10, 60, 220}), 200,
                    100);
    World& world = table.build();
    table.spawn(scene);
    Hud& hud = world.hud();
    ASSERT_EQ(hud.columns, screenWidth / c.w);

    for (size_t i = 0; i < hud.cells.size(); ++i) hud.cells[i] = i % 7 == 0 || i % 5 == 2;
    hud.cells[3] = 2;  // neither lit nor unlit: what is under it shows
    EXPECT_EQ(differingBytes(table), 0);

    // Some rows change, the others stay as they were uploaded.
    for (int j = 0; j < hud.columns; ++j) hud.cells[size_t(4 * hud.columns + j)] ^= 1;
    hud.cells[size_t(19 * hud.columns)] = 1;
    hud.cells[3] = 0;
    EXPECT_EQ(differingBytes(table), 0);
    EXPECT_EQ(hudCoverHeight(hud), c.opaque && c.w * hud.columns == screenWidth ? 20 * c.h : 0);

    // Freed names may come back for the next case's dots.
    for (const TextureDef& t : table.data.textures) releaseTexture(t.texture);
  }
}

}  // namespace
