// Parser of the glyph text format. Rows belong to the glyph line above them
// until a blank line or the next glyph line. Other '#' lines are comments;
// between rows a comment needs a space, so a mistyped row is not swallowed.
#include "font_source.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "pack_content.h"

namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool isRow(const std::string& line) {
  return !line.empty() && line.find_first_not_of("#.") == std::string::npos;
}

// A whole-string integer in decimal or 0x hex; false for anything else.
bool parseInt(const std::string& s, long& value) {
  if (s.empty()) return false;
  const char* begin = s.c_str();
  char* end = nullptr;
  errno = 0;
  bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  value = std::strtol(hex ? begin + 2 : begin, &end, hex ? 16 : 10);
  if (hex && (s[2] == '-' || s[2] == '+')) return false;
  return errno == 0 && end && *end == '\0' && end != (hex ? begin + 2 : begin);
}

std::string codeLabel(int code) {
  char buf[32];
  if (code > 32 && code < 127)
    std::snprintf(buf, sizeof buf, "'%c'", code);
  else
    std::snprintf(buf, sizeof buf, "0x%02X", code);
  return buf;
}

}  // namespace

bool parseFontText(const std::string& text, const std::string& label, FontDef& font,
                   std::string& error, std::vector<std::string>& warnings) {
  font.glyphs.clear();
  font.spaceWidth = 0;
  font.spacing = 0;
  std::map<int, int> firstLine;  // glyph code -> line of its first definition
  bool inGlyph = false;
  int glyphLine = 0;
  int lineNo = 0;
  size_t pos = 0;
  auto fail = [&](const std::string& message) {
    error = label + ":" + std::to_string(lineNo) + ": " + message;
    return false;
  };
  auto finishGlyph = [&]() {
    if (!inGlyph) return;
    Glyph& g = font.glyphs.back();
    if (g.height == 0)
      warnings.push_back(label + ":" + std::to_string(glyphLine) + ": glyph " + codeLabel(g.code) +
                         " has no rows");
    inGlyph = false;
  };

  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = trim(text.substr(pos, nl - pos));
    pos = nl + 1;
    ++lineNo;
    if (line.empty()) {
      finishGlyph();
      continue;
    }
    if (inGlyph && isRow(line)) {
      Glyph& g = font.glyphs.back();
      if (g.height == 0) {
        if (line.size() > 255)
          return fail("row is " + std::to_string(line.size()) + " pixels wide (at most 255)");
        g.width = int(line.size());
      } else if (int(line.size()) != g.width) {
        return fail("row is " + std::to_string(line.size()) + " pixels wide, but glyph " +
                    codeLabel(g.code) + " is " + std::to_string(g.width) + " wide");
      }
      if (g.height == 255) return fail("glyph " + codeLabel(g.code) + " has more than 255 rows");
      for (char c : line) g.bitmap.push_back(c == '#' ? 1 : 0);
      ++g.height;
      continue;
    }
    if (isRow(line) && line.find('.') != std::string::npos)
      return fail("a row of pixels outside a glyph (a blank line ends a glyph)");
    // Between rows, "#x#" is far more likely a mistyped row than a comment.
    bool spaced = line.find_first_of(" \t") != std::string::npos;
    if (line[0] == '.' || (inGlyph && line[0] == '#' && !spaced))
      return fail("a glyph row may hold only '#' and '.' (a comment between rows needs a space)");
    if (line[0] == '#') continue;  // comment, or a separator made of '#'

    size_t sp = line.find_first_of(" \t");
    std::string key = line.substr(0, sp);
    std::string arg = sp == std::string::npos ? "" : trim(line.substr(sp));
    finishGlyph();
    if (key == "glyph") {
      long code = 0;
      if (arg.size() == 1) {
        code = static_cast<unsigned char>(arg[0]);
      } else if (!parseInt(arg, code) || code < 0 || code > 255) {
        return fail("glyph needs a single character or a code 0..255 (65 or 0x41), not '" + arg +
                    "'");
      }
      auto seen = firstLine.find(int(code));
      if (seen != firstLine.end())
        warnings.push_back(label + ":" + std::to_string(lineNo) + ": glyph " +
                           codeLabel(int(code)) + " was already defined at line " +
                           std::to_string(seen->second) + "; the first one is used");
      else
        firstLine[int(code)] = lineNo;
      if (font.glyphs.size() == 0xFFFF) return fail("more than 65535 glyphs");
      Glyph g;
      g.code = static_cast<unsigned char>(code);
      font.glyphs.push_back(g);
      inGlyph = true;
      glyphLine = lineNo;
    } else if (key == "spaceWidth" || key == "spacing") {
      long value = 0;
      if (!parseInt(arg, value) || value < -32768 || value > 32767)
        return fail(key + " needs a whole number in -32768..32767, not '" + arg + "'");
      (key == "spacing" ? font.spacing : font.spaceWidth) = int(value);
    } else {
      return fail("unknown line '" + line + "' (expected spaceWidth, spacing, glyph or a row)");
    }
  }
  finishGlyph();
  return true;
}

bool loadFontFile(const std::string& path, FontDef& font, std::string& error,
                  std::vector<std::string>& warnings) {
  std::vector<unsigned char> bytes;
  if (!readWholeFile(path, bytes, error)) return false;
  std::string text(bytes.begin(), bytes.end());
  return parseFontText(text, path, font, error, warnings);
}
