// The window and OpenGL context through SDL, the fixed GL state every draw
// relies on, texture upload and the calls that open and close each frame.
#include "gfx/graphics.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include "gfx/draw_world.h"
#include "world/contact_log.h"

namespace {

constexpr const char* defaultCaption = "Orvane Engine";

// Set once SDL_Init has succeeded, so that shutdown closes SDL even when the
// mode set failed afterwards, and a second start-up is refused.
bool initialised = false;

void setFixedGlState() {
  glShadeModel(GL_SMOOTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0, 0, 0, 0);
  glViewport(0, 0, screenWidth, screenHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // Top at 0: y grows down the screen, one unit per pixel.
  gluOrtho2D(0, screenWidth, screenHeight, 0);
  glLineWidth(2);
  glPointSize(2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace

bool initGraphics(bool windowed) {
  if (initialised) return false;
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) return false;
  initialised = true;

  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

  Uint32 flags = SDL_OPENGL | SDL_ASYNCBLIT;
  if (!windowed) flags |= SDL_FULLSCREEN;
  if (!SDL_SetVideoMode(screenWidth, screenHeight, 32, flags)) return false;

  SDL_WM_SetCaption(defaultCaption, "");
  if (!windowed) SDL_WM_GrabInput(SDL_GRAB_ON);
  SDL_ShowCursor(SDL_DISABLE);

  setFixedGlState();
  return true;
}

const char* graphicsError() { return SDL_GetError(); }

void shutdownGraphics() {
  if (!initialised) return;
  initialised = false;
  SDL_Quit();
}

void setWindowCaption(const char* title) {
  SDL_WM_SetCaption(title ? title : defaultCaption, "");
}

unsigned uploadTexture(int width, int height, const unsigned char* rgba) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  // Left bound on purpose: nothing relies on the previous binding.
  return name;
}

void releaseTexture(unsigned name) {
  GLuint texture = name;
  if (texture != 0) glDeleteTextures(1, &texture);
}

void beginFrame() {
  glClear(GL_COLOR_BUFFER_BIT);
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
  SDL_GL_SwapBuffers();
}

void applyCamera(float x, float y) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-x, -y, 0);
}
