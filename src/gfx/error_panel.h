// The panel of script errors drawn over the picture, in a bitmap font of its
// own: the HUD belongs to the script, and may be what the error broke.
#pragma once

#include <string>

#include "gfx/graphics.h"

// Draws text (lines separated by '\n') in a box at the bottom left of the
// screen; nothing when text is empty or the panel is switched off (F9).
void drawErrorPanel(const std::string& text, const DrawFlags& flags);
