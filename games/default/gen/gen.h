// The default table's asset generator: everything in data.dat that is not a
// scene file is drawn or synthesised here, so the table builds from source.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

// One object of a scene file, as the art needs it.
struct SceneObject {
  std::string name, img, litImg;
  int kind = 0;  // 0 static, 1 dynamic, 2 trigger, 3 marker, 4 prop
  Pt position;
  std::vector<Pt> outline;  // object coordinates
};

bool writeText(const std::string& path, const std::string& text);
bool writeFonts(const std::string& dir);
// The 7 rows of a 5x7 face glyph, or nullptr.
const char* const* faceRows(char c);
bool writeSounds(const std::string& dir);
bool writeImages(const std::string& dir, const std::vector<SceneObject>& table);
