// Placeholder graphics device.
#include "gfx/graphics.h"
bool initGraphics(bool) { return false; }
const char* graphicsError() { return ""; }
void shutdownGraphics() {}
void setWindowCaption(const char*) {}
unsigned uploadTexture(int, int, const unsigned char*) { return 0; }
void beginFrame() {}
void endFrame() {}
void applyCamera(float, float) {}
