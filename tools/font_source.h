// The glyph text format of bitmap fonts: "spaceWidth N", "spacing N", and per
// glyph a "glyph C" line followed by rows of '#' (ink) and '.' (background).
#pragma once

#include <string>
#include <vector>

#include "content/world_data.h"

// Parses text into font's spacing and glyphs (font.name is left alone).
// Errors read "<label>:<line>: <message>"; warnings are added to warnings.
bool parseFontText(const std::string& text, const std::string& label, FontDef& font,
                   std::string& error, std::vector<std::string>& warnings);

// Reads the file at path and parses it, labelling messages with path.
bool loadFontFile(const std::string& path, FontDef& font, std::string& error,
                  std::vector<std::string>& warnings);
