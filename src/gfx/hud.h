// The dot-matrix head-up display: a grid of lit and unlit cells showing the
// players' scores or a message in a bitmap font. Plain code; drawHud
// (draw_world.h) draws the grid with OpenGL.
#pragma once

#include <vector>

#include "content/world_data.h"

struct DotBitmap {
  int width = 0, height = 0;
  std::vector<unsigned char> cells;  // width*height, each 0 or 1, top row first
};

enum HudAlign { AlignCenterX = 1, AlignRight = 2, AlignCenterY = 4, AlignBottom = 8 };

// Lays text out in font on a common baseline; nullptr text gives 0x0.
// A damaged font never yields a negative size: advances stop at 0 and the
// bitmap is capped at maxTextWidth x maxTextHeight cells.
DotBitmap renderText(const FontDef& font, const char* text);
// The same into an existing bitmap, reusing its storage.
void renderTextInto(const FontDef& font, const char* text, DotBitmap& out);
constexpr int maxTextWidth = 1 << 16;
constexpr int maxTextHeight = 256;

class HudDisplay {
 public:
  virtual ~HudDisplay() = default;
  virtual void setVisible(bool visible) = 0;
  virtual void setPlayers(int count) = 0;
  virtual void setScore(int index, int value) = 0;
  virtual void clearText() = 0;
  virtual bool hasText() const = 0;
  virtual void showText(const char* text, float duration, float blinkPeriod, bool inverted) = 0;
  virtual void scrollText(const char* text, float speed, float blinkPeriod, bool inverted) = 0;
  virtual void update(float dt) = 0;

  // Copies the bitmap's whole rectangle into the grid, clipped to it.
  // Zero cells overwrite too.
  void blit(const DotBitmap* bitmap, int x, int y, int flags);

  int columns = 1;  // 800 / lit image width; 1 without a usable lit image
  int rows = 20;
  std::vector<unsigned char> cells;  // rows*columns; index row*columns + column
  const TextureDef* litImage = nullptr;
  const TextureDef* unlitImage = nullptr;
  bool visible = true;

 protected:
  explicit HudDisplay(const WorldData& data);
};

class Hud : public HudDisplay {
 public:
  explicit Hud(const WorldData& data);
  void setVisible(bool visible) override;
  void setPlayers(int count) override;
  void setScore(int index, int value) override;
  void clearText() override;
  bool hasText() const override;
  void showText(const char* text, float duration, float blinkPeriod, bool inverted) override;
  void scrollText(const char* text, float speed, float blinkPeriod, bool inverted) override;
  void update(float dt) override;

  const FontDef* smallFont = nullptr;
  const FontDef* bigFont = nullptr;
  int players = 0;
  int scores[4] = {};
  bool textShown = false;  // whether text holds a message
  DotBitmap text;
  bool scrolling = false;
  float textX = 0;
  float textTimer = 0;
  bool inverted = false;
  float blinkClock = 0;
  float blinkPeriod = 0;

 private:
  void startText(const char* text, float blinkPeriod, bool inverted);
  void drawText();
  void advanceText(float dt);
  void drawScores();

  DotBitmap scoreText_;  // reused every step for the score digits
};
