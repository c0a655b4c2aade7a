// The window and OpenGL context through SDL, the fixed GL state every draw
// relies on, texture upload and the calls that open and close each frame.
#include "gfx/graphics.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "gfx/draw_world.h"
#include "gfx/picture_fit.h"
#include "world/contact_log.h"

namespace {

constexpr const char* defaultCaption = "Orvane Engine";
// Freed heap kept for reuse rather than handed back to the kernel (bytes).
// Mesa's software rasteriser builds each frame's scene in fresh blocks, tens
// of kilobytes per change of texture or blend, and frees them at the swap;
// glibc's default of 128 KiB returned them every frame and took them back as
// new pages, a page fault per 4 KiB, which cost more than the drawing.
constexpr int keptFreeHeap = 64 << 20;

// Set once SDL_Init has succeeded, so that shutdown closes SDL even when the
// window failed afterwards, and a second start-up is refused.
bool initialised = false;
SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;

// How far the picture is turned, clockwise in degrees, for a display on its side.
int pictureTurn = 0;
// Where the last placing put the picture, and whether unscaled.
PictureFit placed;
bool pixelForPixel = false;
unsigned releasedTextures = 0;

// Full screen covers the desktop at its own resolution (no mode switch) and
// a window may be resized, so the 800x600 picture is scaled to fill the
// drawable with its aspect kept, black bars on the rest. The drawable is
// measured every frame: a window manager may size a full-screen window
// late, and a resize may come at any time. The scissor keeps wide lines and
// points near the picture's edges out of the bars.
PictureFit placePicture() {
  int width = screenWidth, height = screenHeight;
  SDL_GL_GetDrawableSize(window, &width, &height);
  PictureFit fit = fitPicture(width, height, screenWidth, screenHeight, pictureTurn);
  bool sideways = pictureTurn % 180 != 0;
  pixelForPixel = fit.width == (sideways ? screenHeight : screenWidth) &&
                  fit.height == (sideways ? screenWidth : screenHeight);
  placed = fit;
  glViewport(fit.x, fit.y, fit.width, fit.height);
  glScissor(fit.x, fit.y, fit.width, fit.height);
  return fit;
}

// When no display answers, SDL falls back to drivers that show nothing
// (offscreen, dummy); the player must hear that there is no display instead.
// Named in SDL_VIDEODRIVER, they are used.
bool showsNothing(const char* driver) {
  for (const char* blind : {"offscreen", "dummy", "evdev"})
    if (driver && SDL_strcmp(driver, blind) == 0) return true;
  return false;
}

void setFixedGlState() {
  glShadeModel(GL_SMOOTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0, 0, 0, 0);
  // Every textured draw (sprites, the HUD) is in white, so modulating the
  // texel by the colour would multiply by one: the texel as it is gives the
  // same pixels, and spares a software rasteriser that multiply per pixel.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(GL_SCISSOR_TEST);
  PictureFit fit = placePicture();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The turn comes last, in device coordinates, so that everything drawn
  // keeps its screen units whatever the display's orientation.
  if (pictureTurn != 0) {
    // Column by column: the images of the device x and y axes.
    const GLfloat turn[4][4] = {{GLfloat(fit.xx), GLfloat(fit.yx), 0, 0},
                                {GLfloat(fit.xy), GLfloat(fit.yy), 0, 0},
                                {0, 0, 1, 0},
                                {0, 0, 0, 1}};
    glMultMatrixf(&turn[0][0]);
  }
  // Top at 0: y grows down the screen, one unit per pixel of the picture.
  gluOrtho2D(0, screenWidth, screenHeight, 0);
  glLineWidth(2);
  glPointSize(2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace

bool initGraphics(bool windowed, int clockwiseDegrees) {
  if (initialised || !isPictureTurn(clockwiseDegrees)) return false;
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) return false;
  initialised = true;
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, keptFreeHeap);
#endif
  if (!SDL_getenv("SDL_VIDEODRIVER") && showsNothing(SDL_GetCurrentVideoDriver())) {
    SDL_SetError("No available video device");
    return false;
  }

  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // No version or profile is asked for, so SDL makes a legacy context: all of
  // OpenGL 1.1 with its immediate mode, on any driver.

  SDL_Rect place = {SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, screenWidth, screenHeight};
  Uint32 flags = SDL_WINDOW_OPENGL;
  if (windowed) {
    flags |= SDL_WINDOW_RESIZABLE;
    // A quarter turn stands the window on its side, so that it still shows
    // the picture pixel for pixel.
    if (clockwiseDegrees % 180 != 0) std::swap(place.w, place.h);
  } else {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // Full screen is left to the window manager; with none (a bare X server,
    // a cabinet) the window stays as made, so it is made to cover the display.
    SDL_Rect display;
    if (SDL_GetDisplayBounds(0, &display) == 0) place = display;
  }
  window = SDL_CreateWindow(defaultCaption, place.x, place.y, place.w, place.h, flags);
  if (!window) return false;
  context = SDL_GL_CreateContext(window);
  if (!context) return false;
  // The swap waits for the display where the driver can; where it cannot
  // (or refuses), the main loop's own pace keeps frames to the refresh rate.
  SDL_GL_SetSwapInterval(1);

  if (!windowed) {
    SDL_SetWindowMouseGrab(window, SDL_TRUE);
    SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
  }
  SDL_ShowCursor(SDL_DISABLE);
  // No text is read: key events are all the engine uses.
  SDL_StopTextInput();

  pictureTurn = clockwiseDegrees;
  setFixedGlState();
  return true;
}

const char* graphicsError() {
  return SDL_GetError();
}

void shutdownGraphics() {
  if (!initialised) return;
  initialised = false;
  if (context) releaseHudPicture();  // while its context is still current
  if (context) SDL_GL_DeleteContext(context);
  context = nullptr;
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
}

void setWindowCaption(const char* title) {
  if (window) SDL_SetWindowTitle(window, title ? title : defaultCaption);
}

unsigned uploadTexture(int width, int height, const unsigned char* rgba) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  setTextureFilter(false);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  // Left bound on purpose: nothing relies on the previous binding.
  return name;
}

void setTextureFilter(bool nearest) {
  const GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

void releaseTexture(unsigned name) {
  GLuint texture = name;
  if (texture == 0) return;
  glDeleteTextures(1, &texture);
  ++releasedTextures;
}

unsigned texturesReleased() {
  return releasedTextures;
}

void beginFrame() {
  placePicture();
  // The whole drawable, bars and all, is cleared to black.
  glDisable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // An additive sprite in the previous frame leaves the factors changed.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void endFrame(const DrawFlags& flags) {
  if (flags.debugHelpers) drawContactOverlay();
  // Emptied every frame so that turning the overlay on shows only the
  // contacts made since the previous frame.
  contactLog.count = 0;
  SDL_GL_SwapWindow(window);
}

void applyCamera(float x, float y) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-x, -y, 0);
}

bool pictureIsPixelForPixel() {
  return pixelForPixel;
}

bool hidePictureTop(int pixels) {
  if (!pixelForPixel || pictureTurn != 0 || pixels <= 0 || pixels > placed.height) return false;
  glScissor(placed.x, placed.y, placed.width, placed.height - pixels);
  return true;
}

void showWholePicture() {
  glScissor(placed.x, placed.y, placed.width, placed.height);
}
