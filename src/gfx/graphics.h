// The window, the OpenGL context and the per-frame calls around drawing.
#pragma once

// The window in pixels; the HUD grid spans its width.
constexpr int screenWidth = 800, screenHeight = 600;

// What the shell's engine keys switch on and off.
struct DrawFlags {
  bool debugHelpers = false;  // collision outlines and the contact overlay
  bool levelImages = true;    // the sprites
  bool errorPanel = true;     // the script errors over the picture (F9)
};

bool initGraphics(bool windowed);
const char* graphicsError();  // SDL's last error text
void shutdownGraphics();
// nullptr restores the default caption "Orvane Engine".
void setWindowCaption(const char* title);
unsigned uploadTexture(int width, int height, const unsigned char* rgba);
// Frees a texture made by uploadTexture (0 is ignored): a table reloaded
// while the engine runs frees the old catalog's textures.
void releaseTexture(unsigned name);
void beginFrame();
// Draws the contact overlay when debug helpers are on, empties the contact
// log and swaps the buffers.
void endFrame(const DrawFlags& flags = {});
void applyCamera(float x, float y);
