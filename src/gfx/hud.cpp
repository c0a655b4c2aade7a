// The HUD grid: scores in the corners or a standing or scrolling message,
// rebuilt from scratch on every world step.
#include "gfx/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "gfx/graphics.h"

namespace {

// Past this many whole periods in one update, blinking is settled by parity
// instead of one flip at a time, so a tiny period cannot stall the step.
constexpr float maxBlinkFlipsPerUpdate = 64;

// Truncates toward zero, saturating where an int cannot hold the value.
int truncateToInt(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483520.0f) return INT32_MAX;
  if (value <= -2147483520.0f) return INT32_MIN;
  return int(value);
}

}  // namespace

HudDisplay::HudDisplay(const WorldData& data) {
  litImage = data.findTexture("Images\\hud-lit.png");
  unlitImage = data.findTexture("Images\\hud-unlit.png");
  if (!litImage) printf("WARNING: HUD texture 'Images\\hud-lit.png' not found!\n");
  if (!unlitImage) printf("WARNING: HUD texture 'Images\\hud-unlit.png' not found!\n");
  // A lit image without a positive width cannot size the grid: keep one
  // column rather than divide by zero or go negative.
  if (litImage && litImage->width > 0) columns = screenWidth / litImage->width;
  cells.assign(size_t(rows) * size_t(columns), 0);
}

void HudDisplay::blit(const DotBitmap* bitmap, int x, int y, int flags) {
  if (!bitmap) return;
  int width = bitmap->width, height = bitmap->height;
  if (width <= 0 || height <= 0) return;
  if (int64_t(bitmap->cells.size()) < int64_t(width) * height) return;

  int64_t left = x, top = y;
  if (flags & AlignCenterX) {
    left -= width / 2;
  } else if (flags & AlignRight) {
    left -= width;
  }
  if (flags & AlignCenterY) {
    top -= height / 2;
  } else if (flags & AlignBottom) {
    top -= height;
  }

  int64_t firstRow = std::max<int64_t>(0, -top), endRow = std::min<int64_t>(height, rows - top);
  int64_t firstColumn = std::max<int64_t>(0, -left);
  int64_t endColumn = std::min<int64_t>(width, columns - left);
  if (firstRow >= endRow || firstColumn >= endColumn) return;  // wholly outside
  for (int64_t i = firstRow; i < endRow; ++i) {
    const unsigned char* source = &bitmap->cells[size_t(i * width + firstColumn)];
    unsigned char* target = &cells[size_t((top + i) * columns + left + firstColumn)];
    for (int64_t j = firstColumn; j < endColumn; ++j) *target++ = *source++;
  }
}

Hud::Hud(const WorldData& data) : HudDisplay(data) {
  smallFont = data.findFont("Small.txt");
  bigFont = data.findFont("Big.txt");
}

void Hud::setVisible(bool shown) {
  visible = shown;
}

void Hud::setPlayers(int count) {
  players = count < 0 ? 0 : count > 4 ? 4 : count;
}

void Hud::setScore(int index, int value) {
  if (index >= 0 && index < 4) scores[index] = value;
}

void Hud::clearText() {
  textShown = false;
  text.width = text.height = 0;
  text.cells.clear();
}

bool Hud::hasText() const {
  return textShown;
}

// Shared by both kinds of message: returns with no message when there is
// no big font or no text.
void Hud::startText(const char* message, float period, bool invert) {
  clearText();
  if (!bigFont || !message) return;
  renderTextInto(*bigFont, message, text);
  textShown = true;
  inverted = invert;
  blinkClock = 0;
  blinkPeriod = period >= 0 ? period : 0;  // NaN fails the test too
}

void Hud::showText(const char* message, float duration, float period, bool invert) {
  startText(message, period, invert);
  if (!textShown) return;
  scrolling = false;
  textX = float(columns) * 0.5f;
  // A duration that is not a number would keep the message forever.
  textTimer = std::isnan(duration) ? 0 : duration;
}

void Hud::scrollText(const char* message, float speed, float period, bool invert) {
  startText(message, period, invert);
  if (!textShown) return;
  scrolling = true;
  textX = float(columns);  // just beyond the right edge
  textTimer = speed >= 0.01f ? speed : 0.01f;
}

void Hud::update(float dt) {
  std::fill(cells.begin(), cells.end(), 0);
  if (textShown) {
    drawText();
    advanceText(dt);
  } else {
    drawScores();
  }
}

void Hud::drawText() {
  int flags = scrolling ? AlignCenterY : AlignCenterX | AlignCenterY;
  blit(&text, truncateToInt(textX), rows / 2, flags);
  if (inverted)
    for (unsigned char& cell : cells) cell = cell == 0 ? 1 : 0;
}

void Hud::advanceText(float dt) {
  if (blinkPeriod > 0) {
    blinkClock += dt;
    if (blinkClock >= blinkPeriod) {
      float whole = std::floor(blinkClock / blinkPeriod);
      if (whole <= maxBlinkFlipsPerUpdate) {
        while (blinkClock >= blinkPeriod) {
          inverted = !inverted;
          blinkClock -= blinkPeriod;
        }
      } else {
        if (std::fmod(whole, 2.0f) == 1.0f) inverted = !inverted;
        blinkClock = std::fmod(blinkClock, blinkPeriod);
      }
    }
  }

  if (!scrolling) {
    textTimer -= dt;
    if (textTimer <= 0) clearText();
    return;
  }
  textX -= dt * textTimer;
  // Compared in double: a fast scroll may carry textX beyond any int.
  if (std::trunc(double(textX)) + text.width < 0 || std::isnan(textX)) clearText();
}

void Hud::drawScores() {
  if (!smallFont) return;
  struct Corner {
    int x, y, flags;
  };
  const Corner corners[4] = {
      {1, 1, 0},
      {columns - 1, 1, AlignRight},
      {1, rows - 1, AlignBottom},
      {columns - 1, rows - 1, AlignRight | AlignBottom},
  };
  char digits[16];
  for (int i = 0; i < players; ++i) {
    snprintf(digits, sizeof digits, "%d", scores[i]);
    renderTextInto(*smallFont, digits, scoreText_);
    blit(&scoreText_, corners[i].x, corners[i].y, corners[i].flags);
  }
}
