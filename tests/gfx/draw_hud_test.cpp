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

// The frame drawn with the grid whole, then again, with the whole world
// under it, cell by cell: how many bytes of the picture differ.
int wholeAgainstCellByCell(Table& table) {
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
  return differingBytes(whole, each);
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
    table.addPatternTexture("Images\\hud-lit.png", c.w, c.h, 40 + c.w, c.opaque);
    table.addPatternTexture("Images\\hud-unlit.png", c.w, c.h, 90 + c.h, c.opaque);
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
    EXPECT_EQ(wholeAgainstCellByCell(table), 0);

    // Some rows change, the others stay as they were uploaded.
    for (int j = 0; j < hud.columns; ++j) hud.cells[size_t(4 * hud.columns + j)] ^= 1;
    hud.cells[size_t(19 * hud.columns)] = 1;
    hud.cells[3] = 0;
    EXPECT_EQ(wholeAgainstCellByCell(table), 0);
    EXPECT_EQ(hudCoverHeight(hud), c.opaque && c.w * hud.columns == screenWidth ? 20 * c.h : 0);

    // Freed names may come back for the next case's dots.
    for (const TextureDef& t : table.data.textures) releaseTexture(t.texture);
  }
}

}  // namespace
