// The graphics device: window state, frames, the camera, texture upload and
// the contact log's per-frame reset.
#include "gfx/graphics.h"

#include <GL/gl.h>
#include <SDL.h>

#include <string>

#include "gfx/draw_world.h"
#include "gfx_window.h"
#include "world/contact_log.h"

namespace {

std::string caption() {
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  return window ? SDL_GetWindowTitle(window) : "<none>";
}

TEST(GraphicsDevice, WindowedModeOpensOnceResizableWithoutGrabbingInput) {
  REQUIRE_WINDOW();
  EXPECT_FALSE(initGraphics(true));  // already open
  EXPECT_FALSE(initGraphics(false));
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(SDL_GetWindowMouseGrab(window));
  EXPECT_FALSE(SDL_GetWindowKeyboardGrab(window));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  const Uint32 flags = SDL_GetWindowFlags(window);
  EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
  EXPECT_FALSE(flags & SDL_WINDOW_FULLSCREEN);
  EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
}

TEST(GraphicsDevice, CaptionDefaultsToTheEngineName) {
  REQUIRE_WINDOW();
  EXPECT_EQ(caption(), "Orvane Engine");
  setWindowCaption("Table One");
  EXPECT_EQ(caption(), "Table One");
  setWindowCaption(nullptr);
  EXPECT_EQ(caption(), "Orvane Engine");
}

TEST(GraphicsDevice, FixedStateForScreenSpaceDrawing) {
  REQUIRE_WINDOW();
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  GLfloat width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 2.0f);

  // One unit per pixel with y down: a 10 x 10 square at (0, 0) covers the
  // top-left pixels only.
  beginFrame();
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 0, 0);
  glRectf(0, 0, 10, 10);
  EXPECT_EQ(pixelAt(5, 5), (Rgb{255, 0, 0}));
  EXPECT_EQ(pixelAt(5, 12), (Rgb{0, 0, 0}));
  EXPECT_EQ(pixelAt(12, 5), (Rgb{0, 0, 0}));
  endFrame();
}

TEST(GraphicsDevice, BeginFrameClearsAndResetsBlending) {
  REQUIRE_WINDOW();
  beginFrame();
  glDisable(GL_TEXTURE_2D);
  glColor3f(0, 0, 1);
  glRectf(0, 0, 800, 600);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glTranslatef(50, 50, 0);
  endFrame();

  beginFrame();
  EXPECT_EQ(pixelAt(400, 300), (Rgb{0, 0, 0}));
  GLint source = 0, destination = 0;
  glGetIntegerv(GL_BLEND_SRC, &source);
  glGetIntegerv(GL_BLEND_DST, &destination);
  EXPECT_EQ(source, GL_SRC_ALPHA);
  EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
  GLfloat matrix[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
  EXPECT_EQ(matrix[12], 0.0f);
  EXPECT_EQ(matrix[13], 0.0f);
  endFrame();
}

TEST(GraphicsDevice, CameraPutsItsPointAtTheTopLeftCorner) {
  REQUIRE_WINDOW();
  beginFrame();
  applyCamera(100, 50);
  glDisable(GL_TEXTURE_2D);
  glColor3f(0, 1, 0);
  glRectf(100, 50, 104, 54);
  EXPECT_EQ(pixelAt(1, 1), (Rgb{0, 255, 0}));
  EXPECT_EQ(pixelAt(6, 1), (Rgb{0, 0, 0}));
  // The camera replaces any earlier translation rather than adding to it.
  applyCamera(0, 0);
  glColor3f(1, 0, 0);
  glRectf(100, 50, 104, 54);
  EXPECT_EQ(pixelAt(101, 51), (Rgb{255, 0, 0}));
  endFrame();
}

TEST(GraphicsDevice, UploadedTexturesKeepTheirFirstRowAtTheTop) {
  REQUIRE_WINDOW();
  Table table;
  const TextureDef* split = table.addSplitTexture("split", 8, 8, {255, 0, 0}, {0, 0, 255});
  ASSERT_NE(split->texture, 0u);
  const TextureDef* other = table.addTexture("other", 4, 4, {1, 2, 3});
  EXPECT_NE(other->texture, split->texture);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLuint(bound), other->texture);  // the last upload stays bound

  ObjectDef& def = table.addObject(table.addScene("s"), "o", split, 0, 0);
  beginFrame();
  drawObject(&def, 200, 200, 0, false);
  // Quad 8 x 8 centred at (200, 200): rows 196..199 red, 200..203 blue.
  EXPECT_EQ(pixelAt(200, 197), (Rgb{255, 0, 0}));
  EXPECT_EQ(pixelAt(200, 202), (Rgb{0, 0, 255}));
  endFrame();
}

TEST(GraphicsDevice, ContactLogIsEmptiedEveryFrameAndDrawnOnlyWithHelpers) {
  REQUIRE_WINDOW();
  DrawFlags flags;
  contactLog.count = 0;
  contactLog.add({300, 300}, {1, 0});
  contactLog.add({300, 400}, {0, -1});
  ASSERT_EQ(contactLog.count, 2);

  beginFrame();
  endFrame(flags);
  EXPECT_EQ(contactLog.count, 0);

  flags.debugHelpers = true;
  contactLog.add({300, 300}, {1, 0});
  contactLog.add({300, 400}, {0, -1});
  beginFrame();
  applyCamera(100, 0);  // the overlay is in world coordinates
  drawContactOverlay();
  // A green stroke 10 long along each normal, a yellow dot at each point.
  EXPECT_TRUE(colourNear(207, 300, {0, 255, 0}));
  EXPECT_TRUE(colourNear(200, 395, {0, 255, 0}));
  EXPECT_TRUE(colourNear(200, 300, {255, 255, 0}));
  EXPECT_TRUE(colourNear(200, 400, {255, 255, 0}));
  EXPECT_FALSE(colourNear(307, 300, {0, 255, 0}));
  endFrame(flags);
  EXPECT_EQ(contactLog.count, 0);
}

}  // namespace
