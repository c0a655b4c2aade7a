// The window, the OpenGL context and the per-frame calls around drawing.
#pragma once

// The picture in pixels, whatever the size of the window or the display it
// is scaled to; the HUD grid spans its width.
constexpr int screenWidth = 800, screenHeight = 600;

// What the shell's engine keys switch on and off.
struct DrawFlags {
  bool debugHelpers = false;  // collision outlines and the contact overlay
  bool levelImages = true;    // the sprites
  bool errorPanel = true;     // the script errors over the picture (F9)
};

// Opens an 800x600 window the player may resize, or fills the display.
// clockwiseDegrees (0, 90, 180 or 270) turns the picture for a display on
// its side; any other value fails.
bool initGraphics(bool windowed, int clockwiseDegrees = 0);
const char* graphicsError();  // SDL's last error text
void shutdownGraphics();
// nullptr restores the default caption "Orvane Engine".
void setWindowCaption(const char* title);
unsigned uploadTexture(int width, int height, const unsigned char* rgba);
// The bound texture's filter: the nearest texel, or (as uploadTexture
// leaves it) a blend of the four nearest.
void setTextureFilter(bool nearest);
// Frees a texture made by uploadTexture (0 is ignored): a table reloaded
// while the engine runs frees the old catalog's textures.
void releaseTexture(unsigned name);
// How many textures releaseTexture has freed: a freed name may be handed out
// again for other pixels, so what was read from a texture by its name is
// stale once this count changes.
unsigned texturesReleased();
void beginFrame();
// Draws the contact overlay when debug helpers are on, empties the contact
// log and swaps the buffers.
void endFrame(const DrawFlags& flags = {});
void applyCamera(float x, float y);
// Whether the current frame shows the picture one drawable pixel per picture
// pixel (turned or not), so that every pixel centre falls on a texel centre
// of an image drawn at its own size on whole pixels.
bool pictureIsPixelForPixel();
// Keeps drawing out of the top pixels rows of the picture until
// showWholePicture, for what an opaque HUD will cover anyway. False, with
// nothing hidden, unless the picture is pixel for pixel and upright.
bool hidePictureTop(int pixels);
void showWholePicture();
